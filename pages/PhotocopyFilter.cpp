// The photocopy filter: a colour photo of a page under uneven light becomes black writing on
// white paper. Each pixel is measured against the brightest paper around it (the background),
// near-paper values go to white, near-ink values to black, and a gamma curve sets the mid-tones.
#include "PhotocopyFilter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "Shpora.h"

namespace {

constexpr int kWhiteAbove = 230;  // normalised values above this are paper
constexpr int kBlackBelow = 20;   // and below this ink

// Round to nearest, exact halves to the even neighbour, whatever the FPU's rounding mode.
double RoundHalfEven(double q) {
  const double f = std::floor(q);
  const double rest = q - f;  // exact for the magnitudes used here
  if (rest > 0.5) return f + 1;
  if (rest < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

uint8_t NormalisedValue(int v, int b) {
  const int k = (3 * b) / 10;  // the black point: 30 per cent of the local background
  if (b - k == 0) return 255;
  // Numerator and denominator are small integers, so their double quotient is never within
  // rounding distance of a half unless it is one: rounding it gives the exact rational result.
  const double r = RoundHalfEven(static_cast<double>((v - k) * 255) / static_cast<double>(b - k));
  if (r > kWhiteAbove) return 255;
  if (r < kBlackBelow) return 0;
  return static_cast<uint8_t>(r);
}

}  // namespace

const uint8_t* NormalisationTable() {
  // 64 KB, built once on first use (thread-safe static initialisation); every later filter
  // call replaces its 1.7 million divisions by lookups.
  static const std::array<uint8_t, 256 * 256> table = [] {
    std::array<uint8_t, 256 * 256> t{};
    for (int b = 0; b < 256; ++b)
      for (int v = 0; v < 256; ++v) t[b * 256 + v] = NormalisedValue(v, b);
    return t;
  }();
  return table.data();
}

namespace {

using U8x16 = uint8_t __attribute__((vector_size(16)));
using U16x8 = uint16_t __attribute__((vector_size(16)));

// column[x] = max(column[x], row[x]), sixteen at a time.
void MaxInto(uint8_t* column, const uint8_t* row, int32_t w) {
  int32_t x = 0;
  for (; x + 16 <= w; x += 16) {
    U8x16 a, b;
    std::memcpy(&a, column + x, 16);
    std::memcpy(&b, row + x, 16);
    a = a > b ? a : b;
    std::memcpy(column + x, &a, 16);
  }
  for (; x < w; ++x) column[x] = std::max(column[x], row[x]);
}

// The tiles of one band from its column maxima: every pixel of a tile gets the tile's largest
// value. Tiles of two pixels, the usual size, go sixteen bytes at a time.
void SpreadTileMaxima(const uint8_t* column, uint8_t* out, int32_t w, int32_t side) {
  int32_t x = 0;
  if (side == 2) {
    for (; x + 16 <= w; x += 16) {
      U16x8 v;
      std::memcpy(&v, column + x, 16);
      const U16x8 low = v & 0xFF, high = v >> 8;
      const U16x8 m = low > high ? low : high;
      const U16x8 both = m | (m << 8);
      std::memcpy(out + x, &both, 16);
    }
  }
  while (x < w) {
    const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t(x) + side, w));
    uint8_t m = 0;
    for (int32_t i = x; i < end; ++i) m = std::max(m, column[i]);
    for (int32_t i = x; i < end; ++i) out[i] = m;
    x = end;
  }
}

}  // namespace

void TileMaxima(const TFastDIB& gray, TFastDIB& background, int blockSize) {
  const int32_t w = gray.Width();
  const int32_t h = gray.AbsHeight;
  if (w <= 0 || h <= 0 || background.Width() != w || background.AbsHeight != h) return;
  const int32_t side = std::max(blockSize, 1);
  if (side == 1) {
    for (int32_t y = 0; y < h; ++y) std::memcpy(background.Scanlines[y], gray.Scanlines[y], w);
    return;
  }
  // One pass over gray: each band of rows is reduced to its column maxima, then to its tiles,
  // and the band's tile row is copied into each of its rows.
  // The bands are disjoint, so they may split between two threads.
  const int32_t bands = static_cast<int32_t>((int64_t(h) + side - 1) / side);
  ForEachRowRange(bands, int64_t(w) * side, [&](int32_t first, int32_t last) {
    std::vector<uint8_t> column(static_cast<size_t>(w)), tiles(static_cast<size_t>(w));
    for (int32_t band = first; band < last; ++band) {
      const int32_t y0 = static_cast<int32_t>(int64_t(band) * side);
      const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(int64_t(y0) + side, h));
      std::memcpy(column.data(), gray.Scanlines[y0], static_cast<size_t>(w));
      for (int32_t y = y0 + 1; y < y1; ++y) MaxInto(column.data(), gray.Scanlines[y], w);
      SpreadTileMaxima(column.data(), tiles.data(), w, side);
      for (int32_t y = y0; y < y1; ++y)
        std::memcpy(background.Scanlines[y], tiles.data(), static_cast<size_t>(w));
    }
  });
}

void Normalise(const TFastDIB& gray, TFastDIB& background) {
  const int32_t w = gray.Width();
  const int32_t h = gray.AbsHeight;
  if (w <= 0 || h <= 0 || background.Width() != w || background.AbsHeight != h) return;
  const uint8_t* table = NormalisationTable();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* g = gray.Scanlines[y];
    uint8_t* b = background.Scanlines[y];
    for (int32_t x = 0; x < w; ++x) b[x] = table[(static_cast<unsigned>(b[x]) << 8) | g[x]];
  }
}

bool GrayShades(const TFastDIB& image, uint8_t* shade) {
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& c = image.Colors[i];
    if (c.Blue != c.Green || c.Green != c.Red) return false;
    shade[i] = c.Blue;
  }
  return true;
}

namespace {

// NormaliseInto's rows begin..end-1. Everything the loop needs is a local of its own, so that
// the byte stores into the picture cannot make the compiler read it again.
void NormaliseRows(const TFastDIB& gray, const TFastDIB& background, const uint8_t* shade,
                   const uint8_t* table, TFastDIB& picture, int32_t begin, int32_t end) {
  const int32_t w = gray.Width();
  for (int32_t y = begin; y < end; ++y) {
    const uint8_t* g = gray.Scanlines[y];
    const uint8_t* b = background.Scanlines[y];
    uint8_t* out = picture.Scanlines[y];
    // Four bytes at a time, the fourth being the next pixel's blue, written again right after;
    // the last pixel of the row gets its three alone.
    for (int32_t x = 0; x + 1 < w; ++x, out += 3) {
      const uint32_t c = shade[table[(static_cast<unsigned>(b[x]) << 8) | g[x]]];
      const uint32_t bytes = c * 0x01010101u;
      std::memcpy(out, &bytes, 4);
    }
    const uint8_t c = shade[table[(static_cast<unsigned>(b[w - 1]) << 8) | g[w - 1]]];
    out[0] = out[1] = out[2] = c;
  }
}

}  // namespace

void NormaliseInto(const TFastDIB& gray, const TFastDIB& background, const uint8_t* shade,
                   TFastDIB& picture) {
  const int32_t w = gray.Width();
  const int32_t h = gray.AbsHeight;
  if (w <= 0 || h <= 0 || background.Width() != w || background.AbsHeight != h ||
      picture.Width() != w || picture.AbsHeight != h || picture.BitCount() != 24)
    return;
  const uint8_t* table = NormalisationTable();
  // Every pixel is its own: the rows may split.
  ForEachRowRange(h, int64_t(w) * 3, [&](int32_t begin, int32_t end) {
    NormaliseRows(gray, background, shade, table, picture, begin, end);
  });
}

void TShpora::PhotocopyFilter(TFastDIB& picture) const {
  if (picture.IsEmpty()) return;
  if (picture.BitCount() != 24)
    throw std::runtime_error("The photocopy filter needs a 24-bit colour picture.");
  // Gray is written whole before it is read (it is already of its size, so the conversion keeps
  // the block).
  TFastDIB gray(picture.Width(), 8, picture.Height(), TFastDIB::TUncleared{});
  picture.ConvertToGray(gray);
  PhotocopyFromGray(gray, picture);
}

void TShpora::PhotocopyFromGray(const TFastDIB& gray, TFastDIB& picture) const {
  const int32_t w = picture.Width();
  const int32_t h = picture.AbsHeight;
  const int32_t longer = std::max(w, h);

  // A block as large as the picture makes one tile, so the background is uniform and stays so
  // through every smoothing pass: larger blocks (only a damaged document holds them) give the
  // same picture, and the passes can be skipped.
  const int64_t block = int64_t(std::max(Brightness, 0)) + 1;
  const bool wholePicture = block >= longer;
  const int32_t blockSize = wholePicture ? longer : static_cast<int32_t>(block);
  const int32_t k = std::clamp(Contrast, -9, 9);
  const double gamma = 1.0 - k / 10.0;

  // Background is written whole by the tile maxima before it is read.
  TFastDIB background(w, 8, picture.Height(), TFastDIB::TUncleared{});
  const BgrPixel blackToWhite[2] = {{0, 0, 0}, {255, 255, 255}};
  background.FillPaletteGradient(0, 255, blackToWhite, 2);

  TileMaxima(gray, background, blockSize);
  if (!wholePicture)
    for (int32_t d = 1; d <= blockSize; ++d) background.SmoothPass(d);
  // The gamma curve goes into Background's colour table, so the conversion back to 24 bits
  // applies gray ramp and gamma in one lookup per pixel. It touches only the table, so it may
  // come before the normalisation as well as after it.
  background.ApplyGamma(gamma, gamma, gamma);
  uint8_t shade[256];
  if (GrayShades(background, shade)) {
    NormaliseInto(gray, background, shade, picture);
  } else {
    Normalise(gray, background);
    background.ConvertInto(picture);
  }
}
