// Drawing and output: 1:1 copies onto Qt painters and other images, one line of text into the
// pixel block, and clipped rectangle copies between images of the same depth.
//
// Images are bottom-up in memory; everything here that takes a point measures y from the top of
// the picture, as a drawing surface does, and converts to memory rows.
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "FastDIB.h"

namespace {

// Memory row of picture row r (counted from the top).
inline int32_t MemoryRow(const TFastDIB& image, int32_t r) {
  return image.Height() > 0 ? image.AbsHeight - 1 - r : r;
}

bool HasPixels(const TFastDIB& image) {
  return image.Bits != nullptr && image.Width() > 0 && image.AbsHeight > 0;
}

// The part of a w x h picture placed at (x, y) that falls inside a targetW x targetH surface, as
// a span of target columns and rows. Computed in 64 bits so that far-off points cannot wrap.
struct TClip {
  int32_t X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
  bool Empty() const { return X0 >= X1 || Y0 >= Y1; }
};

TClip ClipPlacement(int x, int y, int32_t w, int32_t h, int32_t targetW, int32_t targetH) {
  TClip c;
  c.X0 = int32_t(std::max<int64_t>(x, 0));
  c.Y0 = int32_t(std::max<int64_t>(y, 0));
  c.X1 = int32_t(std::min<int64_t>(int64_t(x) + w, targetW));
  c.Y1 = int32_t(std::min<int64_t>(int64_t(y) + h, targetH));
  return c;
}

// ---------------------------------------------------------------------------------------------
// Row converters for DrawTo onto a QImage: each reads `count` source pixels and writes them in
// the target's format. One is chosen per call, so the loops never branch on a format.

using TArgbTable = uint32_t[256];

inline uint32_t Argb(uint32_t blue, uint32_t green, uint32_t red) {
  return 0xFF000000u | (red << 16) | (green << 8) | blue;
}

struct TSrc8 {
  static uint32_t Read(const uint8_t* p, int32_t x, const TArgbTable& table) { return table[p[x]]; }
};
struct TSrc24 {
  static uint32_t Read(const uint8_t* p, int32_t x, const TArgbTable&) {
    p += 3 * x;
    return Argb(p[0], p[1], p[2]);
  }
};
struct TSrc32 {
  static uint32_t Read(const uint8_t* p, int32_t x, const TArgbTable&) {
    p += 4 * x;
    return Argb(p[0], p[1], p[2]);
  }
};

// QImage::Format_RGB32 and the ARGB32 formats: one native 32-bit word 0xAARRGGBB per pixel.
struct TDstXrgb32 {
  static void Write(uint8_t* row, int32_t x, uint32_t argb) { std::memcpy(row + 4 * x, &argb, 4); }
};
// Format_BGR888: blue, green, red bytes, like a 24-bit image.
struct TDstBgr888 {
  static void Write(uint8_t* row, int32_t x, uint32_t argb) {
    row += 3 * x;
    row[0] = uint8_t(argb);
    row[1] = uint8_t(argb >> 8);
    row[2] = uint8_t(argb >> 16);
  }
};
// Format_RGB888: red, green, blue bytes.
struct TDstRgb888 {
  static void Write(uint8_t* row, int32_t x, uint32_t argb) {
    row += 3 * x;
    row[0] = uint8_t(argb >> 16);
    row[1] = uint8_t(argb >> 8);
    row[2] = uint8_t(argb);
  }
};

using TRowConverter = void (*)(const uint8_t*, uint8_t*, int32_t, const TArgbTable&);

template <class Src, class Dst>
void ConvertRow(const uint8_t* src, uint8_t* dst, int32_t count, const TArgbTable& table) {
  for (int32_t x = 0; x < count; ++x) Dst::Write(dst, x, Src::Read(src, x, table));
}

void CopyBgrRow(const uint8_t* src, uint8_t* dst, int32_t count, const TArgbTable&) {
  std::memcpy(dst, src, size_t(count) * 3);
}

#if defined(__x86_64__)
// Format_RGB888 from 24-bit pixels, five pixels a step: each 16-byte store swaps blue and red of
// five pixels and leaves a sixteenth byte that the next step writes again. The last steps of a
// row go pixel by pixel, so nothing beyond the row's pixels is read or written.
__attribute__((target("avx2"))) void BgrToRgbRowAvx2(const uint8_t* src, uint8_t* dst,
                                                     int32_t count, const TArgbTable&) {
  const __m128i swap = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  int32_t x = 0;
  for (; x + 6 <= count; x += 5) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * x), _mm_shuffle_epi8(v, swap));
  }
  for (; x < count; ++x) {
    dst[3 * x] = src[3 * x + 2];
    dst[3 * x + 1] = src[3 * x + 1];
    dst[3 * x + 2] = src[3 * x];
  }
}
#endif

template <class Src>
TRowConverter ConverterTo(QImage::Format format) {
  switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:  // opaque pixels are the same premultiplied
      return ConvertRow<Src, TDstXrgb32>;
    case QImage::Format_BGR888:
      return ConvertRow<Src, TDstBgr888>;
    case QImage::Format_RGB888:
      return ConvertRow<Src, TDstRgb888>;
    default:
      return nullptr;
  }
}

TRowConverter DirectConverter(int32_t depth, QImage::Format format) {
  switch (depth) {
    case 8:
      return ConverterTo<TSrc8>(format);
    case 24:
      if (format == QImage::Format_BGR888) return CopyBgrRow;
#if defined(__x86_64__)
      if (format == QImage::Format_RGB888 && VectorLoopsEnabled()) return BgrToRgbRowAvx2;
#endif
      return ConverterTo<TSrc24>(format);
    case 32:
      return ConverterTo<TSrc32>(format);
    default:
      return nullptr;
  }
}

// Writes the image straight into the painter's QImage when nothing the painter would do can
// differ from a plain copy: no transform, no clip, a format we can write. The pixels are reached
// through constBits() so that the device image is not detached under the active painter; the
// painter's own engine writes into this very buffer.
bool DrawDirect(const TFastDIB& image, QPainter& painter, int x, int y) {
  QPaintDevice* device = painter.device();
  if (device == nullptr || device->devType() != QInternal::Image) return false;
  if (painter.hasClipping() || painter.deviceTransform().type() != QTransform::TxNone) return false;
  QImage& target = *static_cast<QImage*>(device);
  const TRowConverter convert = DirectConverter(image.BitCount(), target.format());
  if (convert == nullptr) return false;

  TArgbTable table = {};
  if (image.BitCount() == 8)
    for (int i = 0; i < 256; ++i)
      table[i] = Argb(image.Colors[i].Blue, image.Colors[i].Green, image.Colors[i].Red);

  const TClip clip =
      ClipPlacement(x, y, image.Width(), image.AbsHeight, target.width(), target.height());
  if (clip.Empty()) return true;
  uint8_t* bits = const_cast<uint8_t*>(target.constBits());
  const qsizetype bytesPerLine = target.bytesPerLine();
  const int32_t sourceBytes = image.BitCount() / 8, targetBytes = target.depth() / 8;
  // Every row is a copy of its own: the rows may split.
  ForEachRowRange(clip.Y1 - clip.Y0, int64_t(clip.X1 - clip.X0) * targetBytes,
                  [&, convert](int32_t begin, int32_t end) {
                    for (int32_t ty = clip.Y0 + begin; ty < clip.Y0 + end; ++ty) {
                      const uint8_t* src = image.Scanlines[size_t(MemoryRow(image, ty - y))] +
                                           ptrdiff_t(clip.X0 - x) * sourceBytes;
                      uint8_t* dst = bits + ty * bytesPerLine + ptrdiff_t(clip.X0) * targetBytes;
                      convert(src, dst, clip.X1 - clip.X0, table);
                    }
                  });
  return true;
}

// ---------------------------------------------------------------------------------------------
// Text

// A plain sans font whose line fits into the 20 rows a caption gets; without smoothing, so the
// line is pure black and white at every depth, as on a fresh drawing surface.
QFont CaptionFont() {
  QFont font = QGuiApplication::font();
  font.setStyleStrategy(QFont::NoAntialias);
  for (int size = 13; size >= 6; --size) {
    font.setPixelSize(size);
    if (QFontMetrics(font).height() <= 20) break;
  }
  return font;
}

// The colour-table entry nearest to (blue, green, red): how an 8-bit image shows black and white.
uint8_t NearestEntry(const PaletteEntry* colors, int blue, int green, int red) {
  int best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int i = 0; i < 256; ++i) {
    const int db = colors[i].Blue - blue, dg = colors[i].Green - green, dr = colors[i].Red - red;
    const int64_t distance = int64_t(db) * db + int64_t(dg) * dg + int64_t(dr) * dr;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return uint8_t(best);
}

// How black and white pixels are stored at the image's depth; false for depths without text.
bool InkAndPaper(const TFastDIB& image, uint8_t* ink, uint8_t* paper) {
  switch (image.BitCount()) {
    case 8:
      ink[0] = NearestEntry(image.Colors, 0, 0, 0);
      paper[0] = NearestEntry(image.Colors, 255, 255, 255);
      return true;
    case 16:  // 5-5-5
      ink[0] = ink[1] = 0;
      paper[0] = 0xFF, paper[1] = 0x7F;
      return true;
    case 24:
    case 32:  // the fourth byte is left 0, as a text call leaves it
      std::memset(ink, 0, 4);
      std::memset(paper, 0xFF, 3);
      paper[3] = 0;
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Image to image

using TImageRowCopy = void (*)(const uint8_t*, uint8_t*, int32_t, const PaletteEntry*);

template <int BytesPerPixel>
void CopySameDepth(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry*) {
  std::memcpy(dst, src, size_t(count) * BytesPerPixel);
}

void Copy8To24(const uint8_t* src, uint8_t* dst, int32_t count, const PaletteEntry* colors) {
  for (int32_t x = 0; x < count; ++x, dst += 3) {
    const PaletteEntry& c = colors[src[x]];
    dst[0] = c.Blue;
    dst[1] = c.Green;
    dst[2] = c.Red;
  }
}

TImageRowCopy ImageRowCopy(int32_t sourceDepth, int32_t targetDepth) {
  if (sourceDepth == 8 && targetDepth == 24) return Copy8To24;
  if (sourceDepth != targetDepth) return nullptr;
  // clang-format off
  switch (sourceDepth) {
    case 8: return CopySameDepth<1>;
    case 16: return CopySameDepth<2>;
    case 24: return CopySameDepth<3>;
    case 32: return CopySameDepth<4>;
    default: return nullptr;
  }
  // clang-format on
}

}  // namespace

QImage ToQImage(const TFastDIB& image) {
  if (!HasPixels(image)) return QImage();
  QImage::Format format;
  // clang-format off
  switch (image.BitCount()) {
    case 8: format = QImage::Format_Indexed8; break;
    case 16: format = QImage::Format_RGB555; break;
    case 24: format = QImage::Format_BGR888; break;
    case 32: format = QImage::Format_RGB32; break;
    default: return QImage();
  }
  // clang-format on
  QImage picture(image.Width(), image.AbsHeight, format);
  if (picture.isNull()) throw std::runtime_error("Not enough memory to draw the image.");
  const int32_t width = image.Width();
  const size_t rowBytes = size_t(RowBytesUsed(width, image.BitCount()));
  for (int32_t r = 0; r < image.AbsHeight; ++r) {
    uint8_t* dst = picture.scanLine(r);
    std::memcpy(dst, image.Scanlines[size_t(MemoryRow(image, r))], rowBytes);
    if (format == QImage::Format_RGB32) {
      // The fourth byte of a 32-bit image means nothing; Qt wants it opaque.
      for (int32_t x = 0; x < width; ++x) dst[4 * x + 3] = 0xFF;
    } else if (format == QImage::Format_RGB555) {
      for (int32_t x = 0; x < width; ++x) dst[2 * x + 1] &= 0x7F;
    }
  }
  if (format == QImage::Format_Indexed8) {
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
      table[i] = qRgb(image.Colors[i].Red, image.Colors[i].Green, image.Colors[i].Blue);
    picture.setColorTable(table);
  }
  return picture;
}

void TFastDIB::DrawTo(QPainter& painter, int x, int y) const {
  if (!HasPixels(*this) || !painter.isActive()) return;
  if (DrawDirect(*this, painter, x, y)) return;
  const QImage picture = ToQImage(*this);
  if (picture.isNull()) return;
  painter.save();
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.setOpacity(1.0);
  painter.drawImage(QPoint(x, y), picture);
  painter.restore();
}

void TFastDIB::DrawTo(TFastDIB& target, int x, int y) const {
  if (!HasPixels(*this) || !HasPixels(target)) return;
  const TImageRowCopy copy = ImageRowCopy(BitCount(), target.BitCount());
  if (copy == nullptr) return;
  const TClip clip = ClipPlacement(x, y, Width(), AbsHeight, target.Width(), target.AbsHeight);
  if (clip.Empty()) return;
  const int32_t sourceBytes = BitCount() / 8, targetBytes = target.BitCount() / 8;
  for (int32_t ty = clip.Y0; ty < clip.Y1; ++ty) {
    const uint8_t* src =
        Scanlines[size_t(MemoryRow(*this, ty - y))] + ptrdiff_t(clip.X0 - x) * sourceBytes;
    uint8_t* dst =
        target.Scanlines[size_t(MemoryRow(target, ty))] + ptrdiff_t(clip.X0) * targetBytes;
    copy(src, dst, clip.X1 - clip.X0, Colors);
  }
}

void TFastDIB::DrawTextLine(int x, int y, const QString& text) {
  if (!HasPixels(*this) || text.isEmpty()) return;
  uint8_t ink[4], paper[4];
  if (!InkAndPaper(*this, ink, paper)) return;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
    throw std::runtime_error("Text cannot be drawn: the program has no font system.");

  const QFont font = CaptionFont();
  const QFontMetrics metrics(font);
  // The cell the text fills: its advance wide, one line high, top-left at (x, y).
  const TClip clip =
      ClipPlacement(x, y, metrics.horizontalAdvance(text), metrics.height(), Width(), AbsHeight);
  if (clip.Empty()) return;

  // Render only the visible part of the cell, then set every pixel of it to ink or paper.
  QImage mask(clip.X1 - clip.X0, clip.Y1 - clip.Y0, QImage::Format_Grayscale8);
  if (mask.isNull()) throw std::runtime_error("Not enough memory to draw the text.");
  mask.fill(255);
  {
    QPainter painter(&mask);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(x - clip.X0, y - clip.Y0 + metrics.ascent(), text);
  }

  const int32_t bytesPerPixel = BitCount() / 8;
  for (int32_t ty = clip.Y0; ty < clip.Y1; ++ty) {
    const uchar* m = mask.constScanLine(ty - clip.Y0);
    uint8_t* dst = Scanlines[size_t(MemoryRow(*this, ty))] + ptrdiff_t(clip.X0) * bytesPerPixel;
    for (int32_t i = 0; i < clip.X1 - clip.X0; ++i, dst += bytesPerPixel)
      std::memcpy(dst, m[i] < 128 ? ink : paper, size_t(bytesPerPixel));
  }
}

void TFastDIB::CopyRectFrom(const TFastDIB& source, int destX, int destY, int srcX, int srcY,
                            int width, int height) {
  if (!HasPixels(*this) || !HasPixels(source)) return;
  if (BitCount() != source.BitCount() || BitCount() < 8) return;
  // 64 bits so that far-off rectangles clip instead of wrapping; the steps are those of the
  // 32-bit arithmetic for every rectangle near the images.
  int64_t dx = destX, dy = destY, sx = srcX, sy = srcY, w = width, h = height;
  // Memory rows of the rectangle's lowest row, from the unclipped height.
  if (Height() > 0) dy = AbsHeight - h - dy;
  if (source.Height() > 0) sy = source.Height() - h - sy;
  if (dx < 0) sx -= dx, w += dx, dx = 0;
  if (dy < 0) sy -= dy, h += dy, dy = 0;
  if (sx < 0) dx -= sx, w += sx, sx = 0;
  if (sy < 0) dy -= sy, h += sy, sy = 0;
  if (sx >= source.Width() || sy >= source.AbsHeight || dx >= Width() || dy >= AbsHeight) return;
  if (sx + w >= source.Width()) w = source.Width() - sx;
  if (sy + h >= source.AbsHeight) h = source.AbsHeight - sy;
  if (w + dx >= Width()) w = Width() - dx;
  if (dy + h >= AbsHeight) h = AbsHeight - dy;
  // A width clipped to nothing copies nothing, like a height; a negative length must never reach
  // the row copy.
  if (w <= 0 || h <= 0) return;
  const int64_t p = BitCount() / 8;
  for (int64_t i = 0; i < h; ++i)
    std::memmove(Scanlines[size_t(dy + i)] + dx * p, source.Scanlines[size_t(sy + i)] + sx * p,
                 size_t(w * p));
}
