#pragma once
// Runs poppler's and qpdf's command-line tools on a written PDF.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "FastDIB.h"

namespace pdftools {

struct TToolRun {
  bool Started = false;
  int ExitCode = -1;
  QByteArray Out, Err;
};

// Runs `program` with `arguments` (at most a minute); Started is false when it is not installed.
TToolRun RunTool(const QString& program, const QStringList& arguments);
// Whether `program` is on the PATH.
bool Installed(const QString& program);

// A gray ramp with a seeded scatter of dark specks, at `depth` 8 (gray table) or 24 bits
// (B == G == R): gray as far as the writer is concerned, and not trivially compressible.
std::unique_ptr<TFastDIB> GrayPicture(int32_t width, int32_t height, int32_t depth);
// The same picture with a coloured band across the middle.
std::unique_ptr<TFastDIB> ColourPicture(int32_t width, int32_t height);

}  // namespace pdftools

// Skips the test when a tool is missing.
#define PDF_REQUIRE_TOOL(program, package)                                               \
  do {                                                                                   \
    if (!pdftools::Installed(program))                                                   \
      GTEST_SKIP() << program << " is not installed (Debian package " << package << ")"; \
  } while (false)
