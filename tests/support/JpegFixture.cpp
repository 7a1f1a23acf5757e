#include "JpegFixture.h"

#include <QDir>
#include <QFileInfo>

#include "Codecs.h"

void WriteJpegFixture(const QString& path, int width, int height, const TPixelPattern& pattern,
                      int quality) {
  TFastDIB image(width, 24, height);
  for (int y = 0; y < height; ++y) {
    // Memory rows are bottom-up.
    auto* row = reinterpret_cast<BgrPixel*>(image.Scanlines[height - 1 - y]);
    for (int x = 0; x < width; ++x) row[x] = pattern(x, y);
  }
  QDir().mkpath(QFileInfo(path).absolutePath());
  SaveJpegFile(image, path, quality);
}
