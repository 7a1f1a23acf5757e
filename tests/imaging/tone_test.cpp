// Tone tables and their application at every depth, and the in-place smoothing pass.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "FastDIB.h"

namespace {

// --- Tables, read back through the colour table of an 8-bit image whose entry i is gray i ---

enum class Tone { Brightness, Contrast, Gamma };

struct Range {
  int from, to, value;  // value -1: the identity over from..to
};

struct ToneCase {
  Tone tone;
  double amount;
  std::vector<Range> ranges;
};

std::string Name(const ToneCase& c) {
  const char* names[] = {"brightness", "contrast", "gamma"};
  return std::string(names[int(c.tone)]) + " " + std::to_string(c.amount);
}

void Apply(TFastDIB& image, Tone tone, double amount) {
  const int a = int(amount);
  switch (tone) {
    case Tone::Brightness:
      image.ApplyBrightness(a, a, a);
      break;
    case Tone::Contrast:
      image.ApplyContrast(a, a, a);
      break;
    case Tone::Gamma:
      image.ApplyGamma(amount, amount, amount);
      break;
  }
}

TFastDIB* IdentityPaletteImage(TFastDIB& image) {
  for (int i = 0; i < 256; ++i)
    image.Header.Colors[i] = PaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  return &image;
}

// clang-format off
const ToneCase ToneCases[] = {
    {Tone::Brightness,    0, {{0, 255, -1}}},
    {Tone::Brightness,   10, {{0, 1, 10}, {255, 255, 255}}},
    {Tone::Brightness,  -10, {{0, 1, 0}, {255, 255, 245}}},
    {Tone::Brightness,  200, {{0, 0, 200}, {255, 255, 255}}},
    {Tone::Brightness, -200, {{0, 0, 0}, {255, 255, 55}}},
    {Tone::Brightness,  300, {{0, 255, 255}}},                        // beyond 255: all white
    {Tone::Contrast,      0, {{0, 255, -1}}},
    {Tone::Contrast,     10, {{0, 10, 0}, {12, 12, 2}, {245, 255, 255}}},
    {Tone::Contrast,    120, {{0, 120, 0}, {122, 122, 34}, {135, 255, 255}}},
    {Tone::Contrast,    200, {{0, 55, 0}, {56, 255, 255}}},
    {Tone::Contrast,    -10, {{0, 0, 10}, {255, 255, 245}}},
    {Tone::Contrast,   -128, {{0, 255, 128}}},
    {Tone::Contrast,   -200, {{0, 0, 200}, {255, 255, 56}}},          // inverted
    {Tone::Gamma,         1, {{0, 255, -1}}},
    {Tone::Gamma,       0.5, {{0, 0, 0}, {128, 128, 64}, {255, 255, 255}}},
    {Tone::Gamma,         2, {{0, 0, 0}, {1, 1, 16}, {64, 64, 128}, {255, 255, 255}}},
    {Tone::Gamma,       0.1, {{0, 0, 0}, {128, 128, 0}, {255, 255, 255}}},
    {Tone::Gamma,         0, {{0, 255, -1}}},                          // no table: unchanged
    {Tone::Gamma,        -1, {{0, 255, -1}}},
};
// clang-format on

TEST(ToneTables, ExampleValues) {
  for (const ToneCase& c : ToneCases) {
    SCOPED_TRACE(Name(c));
    TFastDIB image(3, 8, 2);
    Apply(*IdentityPaletteImage(image), c.tone, c.amount);
    for (const Range& r : c.ranges)
      for (int i = r.from; i <= r.to; ++i) {
        const int expected = r.value < 0 ? i : r.value;
        ASSERT_EQ(image.Colors[i].Blue, expected) << "entry " << i;
        ASSERT_EQ(image.Colors[i].Green, expected) << "entry " << i;
        ASSERT_EQ(image.Colors[i].Red, expected) << "entry " << i;
      }
  }
}

TEST(ToneTables, ContrastRampIsMonotoneAndGammaRoundsToNearest) {
  TFastDIB image(1, 8, 1);
  Apply(*IdentityPaletteImage(image), Tone::Contrast, 50);
  for (int i = 1; i < 256; ++i) ASSERT_GE(image.Colors[i].Red, image.Colors[i - 1].Red) << i;
  // Gamma 2 is 255 x sqrt(i / 255) = sqrt(255 i): entry 2 is 22.58 -> 23, entry 3 is 27.66 -> 28.
  TFastDIB gamma(1, 8, 1);
  Apply(*IdentityPaletteImage(gamma), Tone::Gamma, 2);
  EXPECT_EQ(gamma.Colors[2].Red, 23);
  EXPECT_EQ(gamma.Colors[3].Red, 28);
  EXPECT_EQ(gamma.Colors[254].Red, 254);
}

// --- Where the tables go, by depth ---

TEST(ApplyChannelTables, ChannelsComeInTheOrderRedGreenBlue) {
  TFastDIB image(1, 24, 1);
  image.Scanlines[0][0] = 255;  // blue
  image.Scanlines[0][1] = 100;  // green
  image.Scanlines[0][2] = 0;    // red
  image.ApplyBrightness(200, 0, -200);
  EXPECT_EQ(image.Scanlines[0][0], 55);
  EXPECT_EQ(image.Scanlines[0][1], 100);
  EXPECT_EQ(image.Scanlines[0][2], 200);

  TFastDIB gamma(1, 24, 1);
  gamma.Scanlines[0][0] = 128, gamma.Scanlines[0][1] = 77, gamma.Scanlines[0][2] = 64;
  gamma.ApplyGamma(2, 1, 0.5);
  EXPECT_EQ(gamma.Scanlines[0][0], 64);
  EXPECT_EQ(gamma.Scanlines[0][1], 77);
  EXPECT_EQ(gamma.Scanlines[0][2], 128);
}

TEST(ApplyChannelTables, TwentyFourBitsChangesPixelsButNotTheGaps) {
  TFastDIB image(5, 24, 3);  // 15 bytes of pixels and one gap byte a row
  std::mt19937 random(3);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 16; ++i) image.Scanlines[y][i] = uint8_t(random());
  std::vector<uint8_t> before(image.Bits, image.Bits + 3 * 16);
  uint8_t red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) red[i] = uint8_t(255 - i), green[i] = uint8_t(i / 2), blue[i] = 7;
  image.ApplyChannelTables(red, green, blue);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(image.Scanlines[y][3 * x], 7);
      EXPECT_EQ(image.Scanlines[y][3 * x + 1], before[16 * y + 3 * x + 1] / 2);
      EXPECT_EQ(image.Scanlines[y][3 * x + 2], 255 - before[16 * y + 3 * x + 2]);
    }
    EXPECT_EQ(image.Scanlines[y][15], before[16 * y + 15]) << "gap";
  }
  for (const auto& e : image.Header.Colors) ASSERT_EQ(e.Blue, 0) << "no table at 24 bits";
}

TEST(ApplyChannelTables, ThirtyTwoBitsKeepsTheFourthByte) {
  TFastDIB image(2, 32, 1);
  const uint8_t pixels[8] = {0, 0, 0, 9, 255, 255, 255, 200};
  std::memcpy(image.Bits, pixels, 8);
  image.ApplyBrightness(10, 20, 30);
  const std::vector<int> after(image.Bits, image.Bits + 8);
  EXPECT_EQ(after, (std::vector<int>{30, 20, 10, 9, 255, 255, 255, 200}));
}

TEST(ApplyChannelTables, SixteenBitsTranslatesWidenedComponents) {
  struct Case {
    uint16_t before, after;
  };
  // Brightness 200: a 0 component widens to 0, becomes 200 and packs to 25; 31 stays 31.
  // Gamma 0.5 on blue only: 16 widens to 132, 132^2/255 = 68.3 -> 68 packs to 8.
  const Case brightness[] = {{0x0000, 0x6739}, {0x8000, 0xE739}, {0x7FFF, 0x7FFF}};
  const Case gamma[] = {{0x0010, 0x0008}, {0x8010, 0x8008}, {0x4200, 0x4200}, {0x7FFF, 0x7FFF}};
  auto run = [](const Case* cases, int n, const std::function<void(TFastDIB&)>& op) {
    TFastDIB image(n, 16, 1);
    for (int x = 0; x < n; ++x) {
      image.Scanlines[0][2 * x] = uint8_t(cases[x].before);
      image.Scanlines[0][2 * x + 1] = uint8_t(cases[x].before >> 8);
    }
    op(image);
    for (int x = 0; x < n; ++x)
      EXPECT_EQ(image.Scanlines[0][2 * x] | (image.Scanlines[0][2 * x + 1] << 8), cases[x].after)
          << std::hex << cases[x].before;
  };
  run(brightness, 3, [](TFastDIB& i) { i.ApplyBrightness(200, 200, 200); });
  run(gamma, 4, [](TFastDIB& i) { i.ApplyGamma(1, 1, 0.5); });
}

TEST(ApplyChannelTables, PaletteDepthsChangeOnlyTheirColourTable) {
  for (int depth : {1, 4, 8}) {
    SCOPED_TRACE(depth);
    TFastDIB image(9, depth, 4);
    std::mt19937 random(depth);
    for (int y = 0; y < 4; ++y)
      for (int i = 0; i < image.Stride; ++i) image.Scanlines[y][i] = uint8_t(random());
    IdentityPaletteImage(image);
    const std::vector<uint8_t> pixels(image.Bits, image.Bits + 4 * image.Stride);
    image.ApplyContrast(-10, -10, -10);
    EXPECT_EQ(std::vector<uint8_t>(image.Bits, image.Bits + 4 * image.Stride), pixels);
    const int entries = 1 << depth;
    EXPECT_EQ(image.Colors[0].Red, 10);
    EXPECT_EQ(image.Colors[entries - 1].Green, depth == 8 ? 245 : entries - 1 == 1 ? 10 : 23);
    if (entries < 256) {
      EXPECT_EQ(image.Colors[entries].Blue, entries) << "entries past the depth's own stay";
    }
  }
}

TEST(ApplyChannelTables, EightBitGrayReachesTwentyFourBitsThroughConvertInto) {
  TFastDIB gray(2, 8, 1);
  const BgrPixel ends[] = {{0, 0, 0}, {255, 255, 255}};
  gray.FillPaletteGradient(0, 255, ends, 2);
  gray.Scanlines[0][0] = 0;
  gray.Scanlines[0][1] = 255;
  gray.ApplyBrightness(-10, -10, -10);
  gray.ApplyContrast(-10, -10, -10);
  EXPECT_EQ(gray.Scanlines[0][1], 255);
  TFastDIB colour(2, 24, 1);
  gray.ConvertInto(colour);
  // White: brightness -10 gives 245, contrast -10 maps 245 to 10 + 245 x 236 / 255 -> 236.
  EXPECT_EQ(colour.Scanlines[0][3], 236);
  EXPECT_EQ(colour.Scanlines[0][0], 10);
}

TEST(ApplyChannelTables, EmptyImageIsLeftAlone) {
  TFastDIB empty;
  empty.ApplyBrightness(10, 10, 10);
  empty.ApplyGamma(2, 2, 2);
  empty.SmoothPass(3);
  EXPECT_EQ(empty.Colors[0].Red, 0);
}

// --- SmoothPass ---

TEST(SmoothPass, DistanceOneReadsItsAlreadySmoothedNeighbours) {
  TFastDIB image(12, 8, 3);
  image.Scanlines[0][5] = 200;
  image.SmoothPass(1);
  // Memory rows 0 to 2. A pass over an unchanged copy would give 50 at x = 4 and x = 6 of row 0.
  // clang-format off
  const int expected[3][12] = {
      {0, 0, 0, 0,  50, 12, 3,  0, 0, 0, 0, 0},
      {0, 0, 0, 12, 3,  13, 3,  0, 0, 0, 0, 0},
      {0, 0, 3, 1,  6,  3,  4,  1, 0, 0, 0, 0},
  };
  // clang-format on
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(image.Scanlines[y][x], expected[y][x]) << x << "," << y;
}

// The pass exactly as it reads: one pixel after the other, in place.
void ReferencePass(TFastDIB& image, int d) {
  const int w = image.Width(), h = image.AbsHeight, bpp = image.BitCount() / 8;
  auto widen = [](int c) { return (c << 3) | (c >> 2); };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int y0 = std::max(y - d, 0), y1 = std::min(y + d, h - 1);
      const int x0 = std::max(x - d, 0), x1 = std::min(x + d, w - 1);
      uint8_t* p = image.Scanlines[y] + x * bpp;
      const uint8_t* corner[4] = {image.Scanlines[y0] + x0 * bpp, image.Scanlines[y0] + x1 * bpp,
                                  image.Scanlines[y1] + x0 * bpp, image.Scanlines[y1] + x1 * bpp};
      if (bpp == 2) {
        int sum[3] = {0, 0, 0};
        for (const uint8_t* c : corner) {
          const int v = c[0] | (c[1] << 8);
          for (int k = 0; k < 3; ++k) sum[k] += widen((v >> (5 * k)) & 31);
        }
        int v = (p[0] | (p[1] << 8)) & 0x8000;
        for (int k = 0; k < 3; ++k) v |= ((sum[k] / 4) >> 3) << (5 * k);
        p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
      } else {
        for (int k = 0; k < std::min(bpp, 3); ++k)
          p[k] = uint8_t((corner[0][k] + corner[1][k] + corner[2][k] + corner[3][k]) / 4);
      }
    }
}

class SmoothPassDepth : public testing::TestWithParam<int> {};

TEST_P(SmoothPassDepth, MatchesThePlainPassAtEverySizeAndDistance) {
  const int depth = GetParam();
  struct Size {
    int w, h;
  };
  const Size sizes[] = {{1, 1},  {1, 9},   {9, 1},   {2, 2},    {3, 5},
                        {17, 9}, {40, 33}, {67, 23}, {130, 12}, {45, 140}};
  std::mt19937 random(1234 + depth);
  for (const Size s : sizes)
    for (int d = 0; d <= 22; ++d) {
      const int distance = d == 22 ? 1000 : d;
      SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << " d=" << distance);
      TFastDIB fast(s.w, depth, s.h), plain(s.w, depth, s.h);
      const size_t bytes = size_t(fast.Stride) * size_t(s.h);
      for (size_t i = 0; i < bytes; ++i) fast.Bits[i] = uint8_t(random());  // gaps too
      std::memcpy(plain.Bits, fast.Bits, bytes);
      fast.SmoothPass(distance);
      ReferencePass(plain, distance);
      ASSERT_EQ(0, std::memcmp(fast.Bits, plain.Bits, bytes));
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, SmoothPassDepth, testing::Values(8, 16, 24, 32),
                         [](const testing::TestParamInfo<int>& info) {
                           return "Bits" + std::to_string(info.param);
                         });

TEST(SmoothPass, NegativeDistanceAndOtherDepthsLeaveTheImageAlone) {
  for (auto [depth, distance] : {std::pair{8, -1}, std::pair{24, -5}, std::pair{4, 2}}) {
    SCOPED_TRACE(testing::Message() << depth << " d=" << distance);
    TFastDIB image(6, depth, 4);
    std::mt19937 random(5);
    for (int i = 0; i < image.Stride * 4; ++i) image.Bits[i] = uint8_t(random());
    const std::vector<uint8_t> before(image.Bits, image.Bits + image.Stride * 4);
    image.SmoothPass(distance);
    EXPECT_EQ(std::vector<uint8_t>(image.Bits, image.Bits + image.Stride * 4), before);
  }
}

}  // namespace
