#include "PdfTools.h"

#include <random>

#include <QProcess>
#include <QStandardPaths>

namespace pdftools {

bool Installed(const QString& program) {
  return !QStandardPaths::findExecutable(program).isEmpty();
}

TToolRun RunTool(const QString& program, const QStringList& arguments) {
  TToolRun run;
  if (!Installed(program)) return run;
  QProcess process;
  process.start(program, arguments);
  run.Started = process.waitForStarted(10000);
  if (!run.Started) return run;
  process.waitForFinished(60000);
  run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.Out = process.readAllStandardOutput();
  run.Err = process.readAllStandardError();
  return run;
}

std::unique_ptr<TFastDIB> GrayPicture(int32_t width, int32_t height, int32_t depth) {
  auto image = std::make_unique<TFastDIB>(width, depth, height);
  if (depth == 8)
    for (int i = 0; i < 256; ++i)
      image->Colors[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                          0};
  std::mt19937 random(17);
  const int bytes = depth / 8;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = image->Scanlines[static_cast<size_t>(y)];
    for (int32_t x = 0; x < width; ++x) {
      int v = 255 - (x * 200) / std::max(width, 1) + (y % 7);
      if (random() % 11 == 0) v = static_cast<int>(random() % 60);
      for (int b = 0; b < bytes; ++b)
        row[x * bytes + b] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  }
  return image;
}

std::unique_ptr<TFastDIB> ColourPicture(int32_t width, int32_t height) {
  auto image = GrayPicture(width, height, 24);
  for (int32_t y = height / 3; y < 2 * height / 3; ++y) {
    uint8_t* row = image->Scanlines[static_cast<size_t>(y)];
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = 40;       // blue
      row[3 * x + 1] = 90;   // green
      row[3 * x + 2] = 220;  // red
    }
  }
  return image;
}

}  // namespace pdftools
