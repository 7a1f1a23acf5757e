#include <cstdio>

#include <QApplication>

#include "Program.h"

int main(int argc, char** argv) {
  // Without a display Qt would abort with a long message; one line tells what to do instead.
  if (!HasDisplay()) {
    std::fprintf(stderr, "%s\n", NoDisplayMessage().toLocal8Bit().constData());
    return 1;
  }
  QApplication app(argc, argv);
  return RunProgram(app);
}
