// The photocopy filter: background by tile maxima and smoothing, normalisation, thresholds and
// the gamma curve, bit for bit; and the fast filter against a plain reference.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ostream>
#include <random>
#include <vector>

#include "CaseNames.h"
#include "PagesTestSupport.h"
#include "PhotocopyFilter.h"
#include "Shpora.h"

using namespace pagestest;

namespace {

// The gray conversion weighs each channel through T[v] = (v * 22102) >> 16 (0..85).
int ChannelWeight(int v) { return (v * 22102) >> 16; }

// The smallest channel byte whose weight is t.
uint8_t ByteOfWeight(int t) {
  int v = 0;
  while (ChannelWeight(v) < t) ++v;
  return static_cast<uint8_t>(v);
}

// A colour pixel whose gray value is exactly g (0..255).
BgrPixel PixelOfGray(int g) {
  const int third = g / 3;
  return BgrPixel{ByteOfWeight(third), ByteOfWeight(third), ByteOfWeight(g - 2 * third)};
}

std::unique_ptr<TShpora> FilterRecord(int brightness, int contrast) {
  auto record = TShpora::CreateForWorkFile(QString());
  record->ImageType = 1;
  record->Brightness = brightness;
  record->Contrast = contrast;
  return record;
}

// The filter's output as gray values in memory order; fails the test if a pixel is not gray.
std::vector<uint8_t> Filtered(const TFastDIB& source, int brightness, int contrast) {
  auto picture = CopyOf(source);
  FilterRecord(brightness, contrast)->PhotocopyFilter(*picture);
  std::vector<uint8_t> out;
  for (int y = 0; y < picture->AbsHeight; ++y) {
    const auto* row = reinterpret_cast<const BgrPixel*>(picture->Scanlines[y]);
    for (int x = 0; x < picture->Width(); ++x) {
      EXPECT_TRUE(row[x].Blue == row[x].Green && row[x].Green == row[x].Red)
          << "pixel " << x << ", row " << y << " is not gray";
      out.push_back(row[x].Green);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// A plain reference: every step written out straight from its definition, no tables, no
// shortcuts.
std::vector<uint8_t> ReferencePhotocopy(const TFastDIB& picture, int brightness, int contrast) {
  const int w = picture.Width(), h = picture.AbsHeight;
  const int L = std::max(brightness, 0) + 1;
  const int K = std::clamp(contrast, -9, 9);
  const double g = 1.0 - K / 10.0;
  std::vector<int> gray(size_t(w) * h), bg(size_t(w) * h);
  auto at = [w](std::vector<int>& v, int x, int y) -> int& { return v[size_t(y) * w + x]; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const BgrPixel p = reinterpret_cast<const BgrPixel*>(picture.Scanlines[y])[x];
      at(gray, x, y) = ChannelWeight(p.Blue) + ChannelWeight(p.Green) + ChannelWeight(p.Red);
    }
  for (int ty = 0; ty < h; ty += L)
    for (int tx = 0; tx < w; tx += L) {
      int t = 0;
      for (int y = ty; y < std::min(ty + L, h); ++y)
        for (int x = tx; x < std::min(tx + L, w); ++x) t = std::max(t, at(gray, x, y));
      for (int y = ty; y < std::min(ty + L, h); ++y)
        for (int x = tx; x < std::min(tx + L, w); ++x) at(bg, x, y) = t;
    }
  for (int d = 1; d <= L; ++d)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int y0 = std::max(y - d, 0), y1 = std::min(y + d, h - 1);
        const int x0 = std::max(x - d, 0), x1 = std::min(x + d, w - 1);
        at(bg, x, y) = (at(bg, x0, y0) + at(bg, x1, y0) + at(bg, x0, y1) + at(bg, x1, y1)) >> 2;
      }
  auto P = [](int i) { return i == 0 ? 0 : i == 255 ? 255 : i - 1; };
  int G[256];
  G[0] = 0;
  for (int i = 1; i < 256; ++i) {
    const long double e = std::exp((1.0L / g) * std::log(i / 255.0L)) * 255.0L;
    G[i] = static_cast<int>(std::clamp(std::nearbyint(e), 0.0L, 255.0L));
  }
  std::vector<uint8_t> out(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int v = at(gray, x, y), b = at(bg, x, y), k = (3 * b) / 10;
      double r = 255;
      if (b - k != 0) r = std::nearbyint(double((v - k) * 255) / double(b - k));
      if (r > 230) r = 255;
      if (r < 20) r = 0;
      out[size_t(y) * w + x] = static_cast<uint8_t>(G[P(static_cast<int>(r))]);
    }
  return out;
}

// A page under uneven light: paper brightening from one corner, dark strokes, a little noise.
std::unique_ptr<TFastDIB> DocumentLike(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  return MakePicture(w, h, [&](int x, int y) {
    int paper = 120 + (110 * (x + y)) / (w + h);
    if ((x % 13 < 2) || (y % 9 == 4 && x % 17 < 12)) paper = 35 + int(rng() % 50);
    const int n = int(rng() % 21) - 10;
    auto c = [&](int v) { return static_cast<uint8_t>(std::clamp(v + n, 0, 255)); };
    return BgrPixel{c(paper - 6), c(paper), c(paper + 4)};
  });
}

std::unique_ptr<TFastDIB> Noise(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  return MakePicture(w, h, [&](int, int) {
    const uint32_t v = rng();
    return BgrPixel{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
  });
}

struct ReferenceCase {
  int brightness, contrast;
};

void PrintTo(const ReferenceCase& c, std::ostream* os) {
  *os << "Brightness " << c.brightness << ", Contrast " << c.contrast;
}

class AgainstReference : public testing::TestWithParam<ReferenceCase> {};

TEST_P(AgainstReference, FastFilterEqualsThePlainDefinition) {
  const ReferenceCase c = GetParam();
  // Odd sizes: row gaps, and tiles cut off at the right and top edges.
  auto page = DocumentLike(97, 61, 7);
  EXPECT_EQ(Filtered(*page, c.brightness, c.contrast),
            ReferencePhotocopy(*page, c.brightness, c.contrast));
  auto noise = Noise(61, 47, 12345);
  EXPECT_EQ(Filtered(*noise, c.brightness, c.contrast),
            ReferencePhotocopy(*noise, c.brightness, c.contrast));
}

INSTANTIATE_TEST_SUITE_P(
    Parameters, AgainstReference,
    testing::Values(ReferenceCase{1, 1}, ReferenceCase{0, 0}, ReferenceCase{-7, -3},
                    ReferenceCase{2, 5}, ReferenceCase{5, -9}, ReferenceCase{8, 9},
                    ReferenceCase{20, 20}, ReferenceCase{3, -20}, ReferenceCase{13, 2},
                    ReferenceCase{60, 1},   // one block larger than the picture
                    ReferenceCase{96, 0}),  // block exactly the picture's longer side
    [](const testing::TestParamInfo<ReferenceCase>& info) {
      return CaseName({"Brightness", info.param.brightness, "_Contrast", info.param.contrast});
    });

TEST(NormalisationTable, EqualsTheDoubleDivisionForEveryBackgroundAndGray) {
  const uint8_t* table = NormalisationTable();
  for (int b = 0; b < 256; ++b)
    for (int v = 0; v < 256; ++v) {
      const int k = (3 * b) / 10;
      double r = 255;
      if (b - k != 0) r = std::nearbyint(double((v - k) * 255) / double(b - k));
      const int expected = r > 230 ? 255 : r < 20 ? 0 : int(r);
      ASSERT_EQ(table[b * 256 + v], expected) << "b " << b << ", v " << v;
    }
}

// ---------------------------------------------------------------------------------------------
// The worked examples: a 4 x 4 picture of gray b with one pixel of gray v. With Brightness 1 the
// tiles are 2 x 2 and each holds a pixel of b, so the background is b everywhere and stays so
// through the smoothing; the test pixel's normalised value is exactly the one of (v, b).
struct PixelCase {
  int v, b, contrast, expected;
};

void PrintTo(const PixelCase& c, std::ostream* os) {
  *os << "gray " << c.v << " on " << c.b << ", Contrast " << c.contrast;
}

class OnePixel : public testing::TestWithParam<PixelCase> {};

TEST_P(OnePixel, NormalisesAgainstItsBackgroundThenAppliesTheCurve) {
  const PixelCase c = GetParam();
  auto picture = MakePicture(4, 4, [&](int x, int y) {
    return PixelOfGray(x == 0 && y == 3 ? c.v : c.b);  // y = 3 from the top: memory row 0
  });
  const std::vector<uint8_t> out = Filtered(*picture, 1, c.contrast);
  EXPECT_EQ(out[0], c.expected);
  for (size_t i = 1; i < out.size(); ++i) EXPECT_EQ(out[i], 255) << "pixel " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, OnePixel,
    testing::Values(PixelCase{150, 200, 0, 163}, PixelCase{150, 200, 1, 155},  // r = 164
                    PixelCase{100, 200, 0, 72},                                // r = 73
                    PixelCase{187, 200, 0, 255}, PixelCase{187, 200, 1, 255},  // r = 231
                    PixelCase{186, 200, 0, 229}, PixelCase{186, 200, 1, 226},  // r = 230
                    PixelCase{71, 200, 0, 19}, PixelCase{71, 200, 1, 14},      // r = 20
                    PixelCase{72, 205, 0, 0}, PixelCase{72, 205, 1, 0},        // r = 19
                    PixelCase{59, 200, 0, 0},                                  // below k
                    PixelCase{1, 2, 0, 127}),                                  // 127.5 -> 128
    [](const testing::TestParamInfo<PixelCase>& info) {
      const PixelCase& c = info.param;
      return CaseName({"Gray", c.v, "On", c.b, "_Contrast", c.contrast});
    });

TEST(Photocopy, UniformPicturesComeOutWhite) {
  const BgrPixel colours[] = {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}, {10, 200, 90}};
  for (const BgrPixel colour : colours)
    for (int brightness : {-3, 1, 4}) {
      auto picture = MakePicture(7, 5, [&](int, int) { return colour; });
      const std::vector<uint8_t> out = Filtered(*picture, brightness, 1);
      for (uint8_t v : out) ASSERT_EQ(v, 255) << int(colour.Blue) << "," << int(colour.Green);
    }
}

TEST(Photocopy, SaturatedParametersBehaveAlike) {
  auto page = DocumentLike(80, 50, 3);
  const auto b0 = Filtered(*page, 0, 1);
  EXPECT_EQ(Filtered(*page, -5, 1), b0);
  EXPECT_EQ(Filtered(*page, -20, 1), b0);
  EXPECT_NE(Filtered(*page, 1, 1), b0);

  const auto c9 = Filtered(*page, 1, 9);
  EXPECT_EQ(Filtered(*page, 1, 12), c9);
  EXPECT_EQ(Filtered(*page, 1, 20), c9);
  EXPECT_NE(Filtered(*page, 1, 8), c9);
  EXPECT_EQ(Filtered(*page, 1, -20), Filtered(*page, 1, -9));

  // A damaged document's block size must neither overflow nor run two billion passes: any block
  // covering the whole picture gives the same uniform background.
  EXPECT_EQ(Filtered(*page, INT_MAX, 1), Filtered(*page, 80, 1));
  EXPECT_EQ(Filtered(*page, 1, INT_MIN), Filtered(*page, 1, -9));
}

TEST(Photocopy, KeepsTheSizeAndRefusesOtherDepths) {
  auto picture = DocumentLike(33, 21, 5);
  FilterRecord(1, 1)->PhotocopyFilter(*picture);
  EXPECT_EQ(picture->Width(), 33);
  EXPECT_EQ(picture->Height(), 21);
  EXPECT_EQ(picture->BitCount(), 24);

  TFastDIB gray(8, 8, 8);
  EXPECT_THROW(FilterRecord(1, 1)->PhotocopyFilter(gray), std::runtime_error);
  TFastDIB empty;
  EXPECT_NO_THROW(FilterRecord(1, 1)->PhotocopyFilter(empty));
}

TEST(TileMaxima, TilesAreLaidFromMemoryRowZeroAndCutOffAtTheEdges) {
  // 3 x 5 gray values 10 * memory row + column; tiles of 2: columns 0-1 and 2, memory rows 0-1,
  // 2-3 and 4 (the last, one row high, is the top row of the displayed picture).
  TFastDIB gray(3, 8, 5), background(3, 8, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) gray.Scanlines[y][x] = uint8_t(10 * y + x);
  TileMaxima(gray, background, 2);
  // clang-format off
  const uint8_t expected[5][3] = {
      {11, 11, 12},   // memory row 0
      {11, 11, 12},
      {31, 31, 32},
      {31, 31, 32},
      {41, 41, 42},   // memory row 4
  };
  // clang-format on
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(background.Scanlines[y][x], expected[y][x]) << "x " << x << ", row " << y;

  TileMaxima(gray, background, 1);  // single-pixel tiles copy gray
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(background.Scanlines[y][x], gray.Scanlines[y][x]);
}

}  // namespace
