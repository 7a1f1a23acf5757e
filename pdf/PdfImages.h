#pragma once
// How a page picture is stored in a PDF: gray pictures losslessly as 8-bit samples through PNG
// row predictors and deflate, colour pictures as JPEG. The writer uses these; the benchmark
// calls them directly to compare the deflate settings.
#include <cstdint>
#include <functional>
#include <vector>

#include <QByteArray>

#include "FastDIB.h"

// Whether every pixel of `image` is gray (blue == green == red): 24 bits compares the three
// bytes of every pixel, 8 bits looks each pixel's index up in the colour table. Other depths and
// an empty image are not gray.
bool IsGrayPicture(const TFastDIB& image);

// The PNG row filter each row of the deflated data starts with: None alone; per row the one
// whose filtered bytes, read as signed, have the smallest sum of magnitudes (the usual
// heuristic, ties to the lower filter number); or Auto, whichever of the two deflates a sample
// of the rows (every eighth band of 32) smaller. Photocopies of photos carry grain that the
// predictors amplify, so None wins there (8 % smaller on a sheet of them), while smooth scans
// favour the predictors: neither is right for every page.
enum class TPngRowFilter { None, Adaptive, Auto };

struct TFlateSettings {
  int Level = 9;  // zlib's 0..9
  TPngRowFilter Filter = TPngRowFilter::Auto;
};

// The filter Auto settles on for `image` (None or Adaptive).
TPngRowFilter ChooseRowFilter(const TFastDIB& image);

// Deflates the gray samples of a gray picture (IsGrayPicture), top row first, each row prefixed
// with its PNG filter byte as /Predictor 15 expects, handing the compressed bytes to `sink` in
// pieces as they come (so the whole stream is never held). Returns the number of compressed
// bytes. An 8-bit picture gives its colour table's gray values. Throws std::runtime_error when
// zlib fails; exceptions of `sink` pass through.
int64_t DeflateGrayRows(const TFastDIB& image, const TFlateSettings& settings,
                        const std::function<void(const char* data, int64_t size)>& sink);

// The JPEG of a colour picture for /DCTDecode: 24 bits directly, 8 bits through its colour
// table. Throws std::runtime_error for other depths or an empty image.
QByteArray EncodeColorJpeg(const TFastDIB& image, int quality);
