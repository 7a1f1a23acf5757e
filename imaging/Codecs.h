#pragma once
// JPEG and PNG files for TFastDIB, through libjpeg-turbo and libpng.
//
// Every codec error becomes a std::runtime_error whose message names the file and carries the
// library's own text; decoder objects are released and files closed on every path. Writers
// encode in memory and then replace the target file in one rename, so a failed write never
// leaves a partial file under the target name.
#include <functional>
#include <memory>
#include <string>

#include <QByteArray>
#include <QString>

#include "FastDIB.h"

struct JpegHeader {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Components = 0;
};

// Reads only the header of a JPEG file.
JpegHeader ReadJpegHeader(const QString& path);
// The same for a JPEG held in memory; `name` is used in error messages.
JpegHeader ReadJpegHeader(const QByteArray& data, const QString& name);

// Decodes a JPEG file into a 24-bit colour image whatever its colour space (grayscale, RGB,
// YCbCr, CMYK and YCCK, Adobe's inverted CMYK included). `chooseDenominator` gets the full-scale
// width and height from the header and returns the scale denominator 1, 2, 4 or 8; `fastIdct`
// selects the fast integer inverse transform instead of the accurate one.
std::unique_ptr<TFastDIB> DecodeJpegAsColor(
    const QString& path, const std::function<int(int32_t, int32_t)>& chooseDenominator,
    bool fastIdct);

// The import's decoding, reduction and encoding at once: decodes the photo as DecodeJpegAsColor
// does with the fast transform, reduces the picture with QuickResizeInto into an image of the
// size `reducedSize` gives for the decoded size, and encodes that as EncodeJpeg does at
// `quality`. The reduction and the encoding run beside the decoding on a helper thread, row by
// row as the decoder delivers them: the same picture and the same bytes as the three steps one
// after the other. Throws like DecodeJpegAsColor; an encoder failure leaves Jpeg empty and says
// why in EncodeError.
struct TReducedPhoto {
  int32_t DecodedWidth = 0, DecodedHeight = 0;
  std::unique_ptr<TFastDIB> Picture;  // the reduced picture, 24 bits
  QByteArray Jpeg;
  std::string EncodeError;
};
TReducedPhoto DecodeReduceEncode(const QString& path,
                                 const std::function<int(int32_t, int32_t)>& chooseDenominator,
                                 const std::function<void(int32_t w, int32_t h, int32_t& reducedW,
                                                          int32_t& reducedH)>& reducedSize,
                                 int quality);

// Decodes a JPEG held in memory at full scale with the accurate settings (24-bit for colour,
// 8-bit with the decoder's gray table for grayscale). `name` is used in error messages.
std::unique_ptr<TFastDIB> DecodeJpegData(const QByteArray& data, const QString& name);

// Encodes a 24-bit image as a baseline JPEG of the given quality (library defaults otherwise).
QByteArray EncodeJpeg(const TFastDIB& image, int quality);
// Encodes a 24-bit image as a 24-bit colour PNG.
QByteArray EncodePng(const TFastDIB& image);

// Writes `data` to `path` through a temporary file beside it and a rename; a failure leaves the
// previous file (if any) as it was and throws std::runtime_error.
void WriteFileSafely(const QString& path, const QByteArray& data);

// Encode + WriteFileSafely.
void SaveJpegFile(const TFastDIB& image, const QString& path, int quality);
void SavePngFile(const TFastDIB& image, const QString& path);

// Reads a whole file; throws std::runtime_error with a readable message on failure.
QByteArray ReadWholeFile(const QString& path);
