#pragma once
// JPEGs written with libjpeg itself, not through the program's codecs: for pictures that the
// code under test must not have made, such as its decoder's input or the reference its own
// encoder must match byte for byte. Everything else uses WriteJpegFixture (JpegFixture.h).
#include <cstdio>  // jpeglib.h needs FILE
#include <functional>

#include <QByteArray>

#include <jpeglib.h>

struct TLibjpegSettings {
  // The samples' order: JCS_GRAYSCALE, JCS_RGB, JCS_EXT_BGR or JCS_CMYK.
  J_COLOR_SPACE Space = JCS_RGB;
  int Quality = 90;
  bool Progressive = false;
};

// The samples of picture row `y` (0 at the top): width x components bytes in the order of the
// colour space, into `row`.
using TRowFiller = std::function<void(int y, unsigned char* row)>;

// Encodes width x height samples with libjpeg's defaults but for `settings`.
QByteArray EncodeWithLibjpeg(int width, int height, const TLibjpegSettings& settings,
                             const TRowFiller& fill);

// Samples per pixel of the colour spaces above.
int ComponentsOf(J_COLOR_SPACE space);
