#pragma once
// Photos for the tests, written through the program's own encoder (SaveJpegFile): a picture
// drawn pixel by pixel from a pattern, at the quality a test asks for.
#include <functional>

#include <QString>

#include "FastDIB.h"

// The colour of picture pixel (x, y), y from the top.
using TPixelPattern = std::function<BgrPixel(int x, int y)>;

// Writes a width x height colour JPEG at `path`; the folders on the way are created.
void WriteJpegFixture(const QString& path, int width, int height, const TPixelPattern& pattern,
                      int quality = 90);
