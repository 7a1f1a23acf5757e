// bench_pagegen OUTDIR [COUNT]: writes the page photos and their truth.json (see PageGen.h).
#include <cstdio>
#include <exception>

#include <QString>

#include "PageGen.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr,
                 "usage: %s OUTDIR [COUNT]   (COUNT defaults to %d, the rows of the table)\n",
                 argv[0], PagePlanCount());
    return 2;
  }
  int count = PagePlanCount();
  if (argc == 3) {
    bool ok = false;
    count = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    if (!ok || count < 1) {
      std::fprintf(stderr, "%s: COUNT must be a positive number\n", argv[0]);
      return 2;
    }
  }
  try {
    WritePageSet(QString::fromLocal8Bit(argv[1]), count);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
