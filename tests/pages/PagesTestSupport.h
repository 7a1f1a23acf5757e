#pragma once
// Shared fixtures of the page tests: JPEG files written and read with libjpeg itself (not through
// the code under test), pictures with a recognisable pattern, and a private work folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <jpeglib.h>

#include "FastDIB.h"
#include "LibjpegEncoder.h"
#include "Shpora.h"

namespace pagestest {

// Colour of picture pixel (x, y), y from the top, as blue, green, red.
using Pattern = std::function<BgrPixel(int x, int y)>;

inline BgrPixel Structured(int x, int y) {
  return BgrPixel{static_cast<uint8_t>((x * 3 + y) & 0xFF), static_cast<uint8_t>((x ^ y) & 0xFF),
                  static_cast<uint8_t>(((x / 7) * (y / 5)) & 0xFF)};
}

// Encodes w x h pixels with libjpeg, top row first. `space` JCS_RGB, JCS_GRAYSCALE (the green
// channel) or JCS_CMYK (a fixed K of 40).
inline QByteArray EncodeJpegWithLibjpeg(int w, int h, const Pattern& pattern,
                                        J_COLOR_SPACE space = JCS_RGB, int quality = 90) {
  const int components = ComponentsOf(space);
  return EncodeWithLibjpeg(w, h, {space, quality}, [&](int y, unsigned char* row) {
    for (int x = 0; x < w; ++x, row += components) {
      const BgrPixel p = pattern(x, y);
      if (components == 1) {
        row[0] = p.Green;
        continue;
      }
      row[0] = p.Red;
      row[1] = p.Green;
      row[2] = p.Blue;
      if (components == 4) row[3] = 40;
    }
  });
}

// What the import's own settings must produce: the working copy's encoding, quality 90 and
// libjpeg's defaults, from a bottom-up 24-bit picture.
inline QByteArray EncodeWorkingJpeg(const TFastDIB& image) {
  const size_t bytes = static_cast<size_t>(image.Width()) * 3;
  return EncodeWithLibjpeg(image.Width(), image.AbsHeight, {JCS_EXT_BGR, 90},
                           [&](int y, unsigned char* row) {
                             std::memcpy(row, image.Scanlines[image.AbsHeight - 1 - y], bytes);
                           });
}

struct JpegInfo {
  int Width = 0, Height = 0, Components = 0;
};

inline QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray();
  return f.readAll();
}

inline bool WriteBytes(const QString& path, const QByteArray& data) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  return f.write(data) == data.size();
}

// Starts libjpeg's decoder on `data` and reads the header; the caller destroys `d`.
inline void StartLibjpegDecoder(jpeg_decompress_struct& d, jpeg_error_mgr& err,
                                const QByteArray& data) {
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&d, TRUE);
}

inline JpegInfo ReadJpegInfo(const QString& path) {
  const QByteArray data = ReadBytes(path);
  JpegInfo info;
  if (data.isEmpty()) return info;
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  StartLibjpegDecoder(d, err, data);
  info =
      JpegInfo{static_cast<int>(d.image_width), static_cast<int>(d.image_height), d.num_components};
  jpeg_destroy_decompress(&d);
  return info;
}

// Decodes a colour JPEG with libjpeg at 1/denominator into a bottom-up 24-bit picture.
inline std::unique_ptr<TFastDIB> DecodeWithLibjpeg(const QByteArray& data, int denominator,
                                                   bool fastIdct) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  StartLibjpegDecoder(d, err, data);
  d.out_color_space = JCS_EXT_BGR;
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(denominator);
  d.dct_method = fastIdct ? JDCT_IFAST : JDCT_ISLOW;
  jpeg_start_decompress(&d);
  auto image = std::make_unique<TFastDIB>(static_cast<int>(d.output_width), 24,
                                          static_cast<int>(d.output_height));
  while (d.output_scanline < d.output_height) {
    JSAMPROW r = image->Scanlines[image->AbsHeight - 1 - static_cast<int>(d.output_scanline)];
    jpeg_read_scanlines(&d, &r, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return image;
}

// A bottom-up 24-bit picture filled from a pattern (y from the top).
inline std::unique_ptr<TFastDIB> MakePicture(int w, int h, const Pattern& pattern) {
  auto image = std::make_unique<TFastDIB>(w, 24, h);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<BgrPixel*>(image->Scanlines[h - 1 - y]);
    for (int x = 0; x < w; ++x) row[x] = pattern(x, y);
  }
  return image;
}

// Picture pixel (x, y), y from the top.
inline BgrPixel PixelAt(const TFastDIB& image, int x, int y) {
  return reinterpret_cast<const BgrPixel*>(image.Scanlines[image.AbsHeight - 1 - y])[x];
}

inline bool SamePixels(const TFastDIB& a, const TFastDIB& b) {
  if (a.Width() != b.Width() || a.AbsHeight != b.AbsHeight || a.BitCount() != b.BitCount())
    return false;
  const size_t bytes = static_cast<size_t>(RowBytesUsed(a.Width(), a.BitCount()));
  for (int y = 0; y < a.AbsHeight; ++y)
    if (std::memcmp(a.Scanlines[y], b.Scanlines[y], bytes) != 0) return false;
  return true;
}

inline std::unique_ptr<TFastDIB> CopyOf(const TFastDIB& image) {
  auto copy = std::make_unique<TFastDIB>(image.Width(), image.BitCount(), image.Height());
  image.ConvertInto(*copy);
  return copy;
}

// A private work folder (with its trailing separator, as the import expects it).
class WorkFolderTest : public testing::Test {
 protected:
  QTemporaryDir Dir;
  QString Folder() const { return Dir.path() + QLatin1Char('/'); }
  QString PathOf(const QString& name) const { return Dir.filePath(name); }

  // Writes a photo of w x h with the structured pattern (or `pattern`) and returns its path.
  QString WritePhoto(const QString& name, int w, int h, const Pattern& pattern = Structured,
                     J_COLOR_SPACE space = JCS_RGB) {
    const QString path = Dir.filePath(QStringLiteral("photos/") + name);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(WriteBytes(path, EncodeJpegWithLibjpeg(w, h, pattern, space)));
    return path;
  }

  // Working files in the work folder (the photos live in a subfolder of their own).
  QStringList WorkFiles() const {
    return QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  }
};

}  // namespace pagestest
