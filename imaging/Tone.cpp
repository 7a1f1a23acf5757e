// Tone tables (brightness, contrast, gamma), their application, and the smoothing pass.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "FastDIB.h"

namespace {

// A 5-bit component of a 16-bit pixel (x555) widened to 8 bits by repeating its top bits.
constexpr uint32_t Widen5(uint32_t c) { return (c << 3) | (c >> 2); }

// --- Tables ---

void BrightnessTable(uint8_t* table, int amount) {
  if (amount < 0) {
    MakeRampTable(table, 0, 0, (amount + 255) & 0xFF, 255);
  } else {
    MakeRampTable(table, 0, std::min(amount, 255), 255, 255);
  }
}

void ContrastTable(uint8_t* table, int amount) {
  if (amount < 0) {
    // Unsigned negation: even the most negative amount wraps like a byte instead of overflowing.
    MakeRampTable(table, 0, static_cast<int>((0u - static_cast<unsigned>(amount)) & 0xFF),
                  (amount + 255) & 0xFF, 255);
    return;
  }
  const int a = std::min(amount, 255);
  std::memset(table, 0, static_cast<size_t>(a));
  MakeRampTable(table, a, 0, 255, 255 - a);
  // The white end is written last so that it wins where the two ends overlap (a >= 128).
  std::memset(table + 256 - a, 255, static_cast<size_t>(a));
}

// Fills the gamma table; a gamma that defines none (zero, negative or not a number) gets the
// identity instead, and the result is false.
bool GammaTable(uint8_t* table, double gamma) {
  if (!(gamma > 0)) {
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    return false;
  }
  const long double exponent = 1.0L / static_cast<long double>(gamma);
  table[0] = 0;
  for (int i = 1; i < 256; ++i) {
    const long double v =
        std::exp(exponent * std::log(static_cast<long double>(i) / 255.0L)) * 255.0L;
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    table[i] = static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0L, 255.0L));
  }
  return true;
}

// --- Applying the tables ---

// Rows begin..end-1; the tables and the width are locals of their own, so that the byte stores
// cannot make the compiler read them again.
template <int BytesPerPixel>
void TableRows(uint8_t* const* rows, int32_t width, const uint8_t* red, const uint8_t* green,
               const uint8_t* blue, int32_t begin, int32_t end) {
  for (int32_t y = begin; y < end; ++y) {
    uint8_t* p = rows[y];
    for (int32_t x = 0; x < width; ++x, p += BytesPerPixel) {
      p[0] = blue[p[0]];
      p[1] = green[p[1]];
      p[2] = red[p[2]];
    }
  }
}

template <int BytesPerPixel>
void TablesOnBgr(TFastDIB& image, const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
  const int32_t width = image.Width();
  uint8_t* const* rows = image.Scanlines.data();
  // Every pixel is its own: the rows may split.
  ForEachRowRange(image.AbsHeight, int64_t(width) * BytesPerPixel, [=](int32_t begin, int32_t end) {
    TableRows<BytesPerPixel>(rows, width, red, green, blue, begin, end);
  });
}

void TablesOn555(TFastDIB& image, const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
  // One translation of every pixel value, built before the pass; the unused top bit stays.
  std::vector<uint16_t> translate(65536);
  for (uint32_t v = 0; v < 65536; ++v) {
    const uint32_t b = blue[Widen5(v & 31)] >> 3;
    const uint32_t g = green[Widen5((v >> 5) & 31)] >> 3;
    const uint32_t r = red[Widen5((v >> 10) & 31)] >> 3;
    translate[v] = static_cast<uint16_t>((v & 0x8000) | (r << 10) | (g << 5) | b);
  }
  const int32_t width = image.Width();
  for (int32_t y = 0; y < image.AbsHeight; ++y) {
    uint8_t* p = image.Scanlines[y];
    for (int32_t x = 0; x < width; ++x, p += 2) {
      const uint16_t v = translate[p[0] | (p[1] << 8)];
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
    }
  }
}

void TablesOnPalette(TFastDIB& image, const uint8_t* red, const uint8_t* green,
                     const uint8_t* blue) {
  const int entries = 1 << image.BitCount();
  for (int i = 0; i < entries; ++i) {
    PaletteEntry& c = image.Colors[i];
    c.Blue = blue[c.Blue];
    c.Green = green[c.Green];
    c.Red = red[c.Red];
  }
  if (image.Surface) image.UpdateSurfacePalette();
}

// --- Smoothing ---
//
// Each pixel becomes the truncated mean of the four corners of the square of half-side d around
// it, clipped to the image, read from the image being written. A row y with 0 < y < h - 1 reads
// only row max(y - d, 0), already smoothed, and row min(y + d, h - 1), not yet reached, never
// itself, so its pixels do not depend on each other and are computed many at a time. The first
// and the last row read their own row, including their already smoothed left neighbours, and
// are walked one pixel after the other.

using U8x16 = uint8_t __attribute__((vector_size(16)));
using U16x16 = uint16_t __attribute__((vector_size(32)));
using U16x8 = uint16_t __attribute__((vector_size(16)));

// 8, 24 and 32 bits: every byte is the mean of the same byte of the four corner pixels; at 32
// bits the fourth byte of each pixel keeps its value.
template <int PixelSize>
struct TSmoothBytes {
  static constexpr int BytesPerPixel = PixelSize;
  static constexpr bool KeepFourth = PixelSize == 4;

  // One pixel from the corner pixels a0, a1 (row y0) and b0, b1 (row y1); out may be one of
  // them, and each byte is read before it is written.
  static void Pixel(uint8_t* out, const uint8_t* a0, const uint8_t* a1, const uint8_t* b0,
                    const uint8_t* b1) {
    for (int c = 0; c < (KeepFourth ? 3 : BytesPerPixel); ++c)
      out[c] = static_cast<uint8_t>((a0[c] + a1[c] + b0[c] + b1[c]) >> 2);
  }

  // Pixels begin..end-1 of a row that reads rows a and b only, with x - d and x + d inside.
  static void Run(uint8_t* __restrict out, const uint8_t* __restrict a, const uint8_t* __restrict b,
                  int32_t begin, int32_t end, int32_t d) {
    const ptrdiff_t k = static_cast<ptrdiff_t>(d) * BytesPerPixel;
    ptrdiff_t i = static_cast<ptrdiff_t>(begin) * BytesPerPixel;
    const ptrdiff_t stop = static_cast<ptrdiff_t>(end) * BytesPerPixel;
    // begin * 4 is a multiple of 4, so lane j of every block holds byte j % 4 of a pixel.
    const U8x16 keep = {0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
    for (; i + 16 <= stop; i += 16) {
      U8x16 a0, a1, b0, b1;
      std::memcpy(&a0, a + i - k, 16);
      std::memcpy(&a1, a + i + k, 16);
      std::memcpy(&b0, b + i - k, 16);
      std::memcpy(&b1, b + i + k, 16);
      const U16x16 sum = __builtin_convertvector(a0, U16x16) + __builtin_convertvector(a1, U16x16) +
                         __builtin_convertvector(b0, U16x16) + __builtin_convertvector(b1, U16x16);
      U8x16 mean = __builtin_convertvector(sum >> 2, U8x16);
      if constexpr (KeepFourth) {
        U8x16 self;
        std::memcpy(&self, out + i, 16);
        mean = (mean & ~keep) | (self & keep);
      }
      std::memcpy(out + i, &mean, 16);
    }
    for (; i < stop; ++i) {
      if (KeepFourth && (i & 3) == 3) continue;
      out[i] = static_cast<uint8_t>((a[i - k] + a[i + k] + b[i - k] + b[i + k]) >> 2);
    }
  }
};

// 16 bits (x555): the components are widened to 8 bits, averaged and packed again; the unused
// top bit keeps its value.
struct TSmooth555 {
  static constexpr int BytesPerPixel = 2;

  static uint32_t Load(const uint8_t* p) { return p[0] | (p[1] << 8); }
  static uint32_t Mean(uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3, int shift) {
    const uint32_t sum = Widen5((p0 >> shift) & 31) + Widen5((p1 >> shift) & 31) +
                         Widen5((p2 >> shift) & 31) + Widen5((p3 >> shift) & 31);
    return ((sum >> 2) >> 3) << shift;
  }
  static void Pixel(uint8_t* out, const uint8_t* a0, const uint8_t* a1, const uint8_t* b0,
                    const uint8_t* b1) {
    const uint32_t p0 = Load(a0), p1 = Load(a1), p2 = Load(b0), p3 = Load(b1);
    const uint32_t v = (Load(out) & 0x8000) | Mean(p0, p1, p2, p3, 0) | Mean(p0, p1, p2, p3, 5) |
                       Mean(p0, p1, p2, p3, 10);
    out[0] = static_cast<uint8_t>(v);
    out[1] = static_cast<uint8_t>(v >> 8);
  }

  static U16x8 WidenLanes(U16x8 p, int shift) {
    const U16x8 c = (p >> shift) & 31;
    return (c << 3) | (c >> 2);
  }
  static U16x8 MeanLanes(U16x8 p0, U16x8 p1, U16x8 p2, U16x8 p3, int shift) {
    const U16x8 sum = WidenLanes(p0, shift) + WidenLanes(p1, shift) + WidenLanes(p2, shift) +
                      WidenLanes(p3, shift);
    return ((sum >> 2) >> 3) << shift;
  }
  static void Run(uint8_t* __restrict out, const uint8_t* __restrict a, const uint8_t* __restrict b,
                  int32_t begin, int32_t end, int32_t d) {
    const ptrdiff_t k = static_cast<ptrdiff_t>(d) * 2;
    ptrdiff_t i = static_cast<ptrdiff_t>(begin) * 2;
    const ptrdiff_t stop = static_cast<ptrdiff_t>(end) * 2;
    for (; i + 16 <= stop; i += 16) {
      U16x8 p0, p1, p2, p3, self;
      std::memcpy(&p0, a + i - k, 16);
      std::memcpy(&p1, a + i + k, 16);
      std::memcpy(&p2, b + i - k, 16);
      std::memcpy(&p3, b + i + k, 16);
      std::memcpy(&self, out + i, 16);
      const U16x8 v = (self & 0x8000) | MeanLanes(p0, p1, p2, p3, 0) |
                      MeanLanes(p0, p1, p2, p3, 5) | MeanLanes(p0, p1, p2, p3, 10);
      std::memcpy(out + i, &v, 16);
    }
    for (; i < stop; i += 2) Pixel(out + i, a + i - k, a + i + k, b + i - k, b + i + k);
  }
};

template <class Kernel>
void SmoothImage(TFastDIB& image, int32_t d) {
  constexpr int bpp = Kernel::BytesPerPixel;
  const int32_t w = image.Width();
  const int32_t h = image.AbsHeight;
  // Columns whose square lies inside the row on both sides.
  const int32_t inBegin = std::min(d, w);
  const int32_t inEnd = std::max(w - d, inBegin);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t y0 = std::max(y - d, 0);
    const int32_t y1 = std::min(y + d, h - 1);
    uint8_t* out = image.Scanlines[y];
    const uint8_t* a = image.Scanlines[y0];
    const uint8_t* b = image.Scanlines[y1];
    auto edge = [&](int32_t x) {
      const int32_t x0 = std::max(x - d, 0) * bpp;
      const int32_t x1 = std::min(x + d, w - 1) * bpp;
      Kernel::Pixel(out + x * bpp, a + x0, a + x1, b + x0, b + x1);
    };
    if (y0 < y && y < y1) {
      for (int32_t x = 0; x < inBegin; ++x) edge(x);
      Kernel::Run(out, a, b, inBegin, inEnd, d);
      for (int32_t x = inEnd; x < w; ++x) edge(x);
    } else {
      for (int32_t x = 0; x < w; ++x) edge(x);
    }
  }
}

}  // namespace

void TFastDIB::ApplyChannelTables(const uint8_t* red, const uint8_t* green, const uint8_t* blue) {
  if (IsEmpty()) return;
  switch (BitCount()) {
    case 24:
      TablesOnBgr<3>(*this, red, green, blue);
      break;
    case 32:
      TablesOnBgr<4>(*this, red, green, blue);
      break;
    case 16:
      TablesOn555(*this, red, green, blue);
      break;
    case 1:
    case 4:
    case 8:
      TablesOnPalette(*this, red, green, blue);
      break;
    default:
      break;
  }
}

void TFastDIB::ApplyBrightness(int red, int green, int blue) {
  uint8_t r[256], g[256], b[256];
  BrightnessTable(r, red);
  BrightnessTable(g, green);
  BrightnessTable(b, blue);
  ApplyChannelTables(r, g, b);
}

void TFastDIB::ApplyContrast(int red, int green, int blue) {
  uint8_t r[256], g[256], b[256];
  ContrastTable(r, red);
  ContrastTable(g, green);
  ContrastTable(b, blue);
  ApplyChannelTables(r, g, b);
}

void TFastDIB::ApplyGamma(double red, double green, double blue) {
  // A gamma without a table leaves its channel as it is, so three of them leave the image alone.
  uint8_t r[256], g[256], b[256];
  const bool redTable = GammaTable(r, red);
  const bool greenTable = GammaTable(g, green);
  const bool blueTable = GammaTable(b, blue);
  if (redTable || greenTable || blueTable) ApplyChannelTables(r, g, b);
}

void TFastDIB::SmoothPass(int distance) {
  // Distance 0 is the identity; a negative one has no square and leaves the image alone too.
  if (IsEmpty() || distance <= 0) return;
  // Any distance beyond the image's size reaches the same corners; capping keeps y + d in range.
  const int32_t d = std::min(distance, std::max(Width(), AbsHeight));
  switch (BitCount()) {
    case 8:
      SmoothImage<TSmoothBytes<1>>(*this, d);
      break;
    case 24:
      SmoothImage<TSmoothBytes<3>>(*this, d);
      break;
    case 32:
      SmoothImage<TSmoothBytes<4>>(*this, d);
      break;
    case 16:
      SmoothImage<TSmooth555>(*this, d);
      break;
    default:
      break;
  }
}
