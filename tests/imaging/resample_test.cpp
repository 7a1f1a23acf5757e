// Resampling: QuickResizeInto and ResampleInto, against the worked examples and against a slow
// reference that builds its contributors tap by tap with plain division.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "FastDIB.h"
#include "ImagingTestSupport.h"

namespace {

void FillUniform(TFastDIB& image, const std::vector<uint8_t>& pixel) {
  const int32_t bytes = image.BitCount() / 8;
  for (int32_t r = 0; r < image.AbsHeight; ++r)
    for (int32_t x = 0; x < image.Width(); ++x)
      std::memcpy(image.Scanlines[r] + x * bytes, pixel.data(), size_t(bytes));
}

// A one-row 8-bit image holding `values`.
std::unique_ptr<TFastDIB> Row8(const std::vector<uint8_t>& values) {
  auto image = std::make_unique<TFastDIB>(int32_t(values.size()), 8, 1);
  std::memcpy(image->Scanlines[0], values.data(), values.size());
  return image;
}

// --- QuickResizeInto ---------------------------------------------------------------------------

class QuickResizeDepth : public testing::TestWithParam<int> {};

TEST_P(QuickResizeDepth, FourByFourToTwoByTwoAveragesEachBlock) {
  const int depth = GetParam();
  TFastDIB source(4, depth, 4), target(2, depth, 2);
  FillRandom(source, 7);
  if (depth == 16)  // components with their low bits zero, so the averages are exact 5-bit sums
    for (int r = 0; r < 4; ++r)
      for (int x = 0; x < 4; ++x) source.Scanlines[r][2 * x + 1] &= 0x7F;
  source.QuickResizeInto(target);
  // Weights 16384 each: (a + b + c + d + 2) >> 2 on every byte, or on every widened 5-5-5
  // component packed back by dropping the low bits.
  for (int r = 0; r < 2; ++r)
    for (int x = 0; x < 2; ++x) {
      if (depth == 16) {
        auto component = [&](int rr, int xx, int shift) {
          const uint8_t* p = source.Scanlines[rr] + 2 * xx;
          return int((((p[0] | (p[1] << 8)) >> shift) & 31) << 3);
        };
        const uint8_t* t = target.Scanlines[r] + 2 * x;
        const int packed = t[0] | (t[1] << 8);
        for (int shift : {0, 5, 10}) {
          const int sum = component(2 * r, 2 * x, shift) + component(2 * r, 2 * x + 1, shift) +
                          component(2 * r + 1, 2 * x, shift) +
                          component(2 * r + 1, 2 * x + 1, shift);
          EXPECT_EQ((packed >> shift) & 31, ((sum + 2) >> 2) >> 3) << r << "," << x;
        }
        EXPECT_EQ(packed & 0x8000, 0);
        continue;
      }
      const int bytes = depth / 8;
      for (int b = 0; b < bytes; ++b) {
        const int sum = source.Scanlines[2 * r][(2 * x) * bytes + b] +
                        source.Scanlines[2 * r][(2 * x + 1) * bytes + b] +
                        source.Scanlines[2 * r + 1][(2 * x) * bytes + b] +
                        source.Scanlines[2 * r + 1][(2 * x + 1) * bytes + b];
        EXPECT_EQ(target.Scanlines[r][x * bytes + b], (sum + 2) >> 2) << r << "," << x << "," << b;
      }
    }
}

TEST_P(QuickResizeDepth, SameSizeCopiesEveryPixel) {
  const int depth = GetParam();
  TFastDIB source(13, depth, 7), target(13, depth, 7);
  FillRandom(source, 11);
  if (depth == 16)
    for (int r = 0; r < 7; ++r)
      for (int x = 0; x < 13; ++x) source.Scanlines[r][2 * x + 1] &= 0x7F;
  source.QuickResizeInto(target);
  EXPECT_EQ(PixelBytes(target), PixelBytes(source));
}

TEST_P(QuickResizeDepth, OnePixelUpscaledFillsEveryTargetPixel) {
  const int depth = GetParam();
  TFastDIB source(1, depth, 1), target(3, depth, 3);
  const std::vector<uint8_t> pixel = {0x35, 0x5A, 0xC7, 0x81};
  std::memcpy(source.Scanlines[0], pixel.data(), size_t(depth / 8));
  source.QuickResizeInto(target);
  for (int r = 0; r < 3; ++r)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(
          0, std::memcmp(target.Scanlines[r] + x * (depth / 8), pixel.data(), size_t(depth / 8)));
}

INSTANTIATE_TEST_SUITE_P(Depths, QuickResizeDepth, testing::Values(8, 16, 24, 32),
                         [](const testing::TestParamInfo<int>& info) {
                           return "Bits" + std::to_string(info.param);
                         });

// The bilinear rule written out per pixel in 32-bit steps (64-bit products).
std::vector<uint8_t> QuickReference(const TFastDIB& s, int32_t dw, int32_t dh) {
  const int bytes = s.BitCount() / 8;
  const int32_t sw = s.Width(), sh = s.AbsHeight;
  const int32_t xstep = (sw << 16) / dw, ystep = (sh << 16) / dh;
  std::vector<uint8_t> out;
  int32_t y = (ystep >> 1) - 32768;
  for (int32_t row = 0; row < dh; ++row, y += ystep) {
    int32_t row0 = 0, fy = 0, wy0 = 65536;
    if (y >= 0) row0 = y >> 16, fy = y & 0xFFFF, wy0 = 65536 - fy;
    const int32_t row1 = row0 < sh - 1 ? row0 + 1 : row0;
    int32_t x = (xstep >> 1) - 32768;
    for (int32_t n = 0; n < dw; ++n, x += xstep) {
      int32_t col0 = 0, fx = 0;
      if (x >= 0) col0 = x >> 16, fx = x & 0xFFFF;
      const int32_t col1 = col0 < sw - 1 ? col0 + 1 : col0;
      const int64_t w01 = (int64_t(wy0) * fx) >> 16, w00 = wy0 - w01;
      const int64_t w11 = (int64_t(fy) * fx) >> 16, w10 = fy - w11;
      EXPECT_EQ(w00 + w01 + w10 + w11, 65536);
      for (int b = 0; b < bytes; ++b)
        out.push_back(uint8_t((w00 * s.Scanlines[row0][col0 * bytes + b] +
                               w01 * s.Scanlines[row0][col1 * bytes + b] +
                               w10 * s.Scanlines[row1][col0 * bytes + b] +
                               w11 * s.Scanlines[row1][col1 * bytes + b] + 32768) >>
                              16));
    }
  }
  return out;
}

TEST(QuickResize, MatchesThePerPixelRuleUpAndDown) {
  struct Case {
    int depth, sw, sh, dw, dh;
  };
  for (const Case c : {Case{24, 13, 9, 5, 4}, Case{24, 5, 4, 13, 9}, Case{8, 17, 3, 4, 11},
                       Case{32, 7, 7, 9, 2}, Case{24, 2000, 3, 1500, 2}}) {
    TFastDIB source(c.sw, c.depth, c.sh), target(c.dw, c.depth, c.dh);
    FillRandom(source, uint32_t(c.sw * 31 + c.dw));
    source.QuickResizeInto(target);
    EXPECT_EQ(PixelBytes(target), QuickReference(source, c.dw, c.dh))
        << c.depth << " bits " << c.sw << "x" << c.sh << " to " << c.dw << "x" << c.dh;
  }
}

TEST(QuickResize, EmptyImagesWriteNothingAndOtherDepthsAreRefused) {
  TFastDIB empty, target(3, 24, 3);
  FillRandom(target, 3);
  const auto before = AllBytes(target);
  empty.QuickResizeInto(target);
  TFastDIB source(4, 24, 4), emptyTarget;
  source.QuickResizeInto(emptyTarget);
  EXPECT_EQ(AllBytes(target), before);

  // An 8-bit source read as 24 bits would run past its rows.
  TFastDIB gray(4, 8, 4);
  EXPECT_THROW(gray.QuickResizeInto(target), std::runtime_error);
  EXPECT_THROW(gray.ResampleInto(target, FilterBox), std::runtime_error);
  EXPECT_EQ(AllBytes(target), before);
}

// --- Kernels -----------------------------------------------------------------------------------

// The kernel table, written out once more in extended precision.
long double RefSinc(long double x) {
  if (x == 0) return 1;
  const long double pi = 3.141592653589793238462643383279502884L;
  const double px = double(pi * x);
  return sinl(px) / px;
}

long double RefKernel(int filter, long double a) {
  const long double pi = 3.141592653589793238462643383279502884L;
  const long double a2 = a * a, a3 = a2 * a;
  // clang-format off
  switch (filter) {
    case 0: return 1;
    case 1: return a <= 0.5L ? 1 : 0;
    case 2: return a < 1 ? 1 - a : 0;
    case 3: return a < 1 ? 0.5L + 0.5L * cosl(pi * a) : 0;
    case 4: return a < 1 ? 0.54L + 0.46L * cosl(pi * a) : 0;
    case 5: return a < 1 ? 2 * a3 - 3 * a2 + 1 : 0;
    case 6: return a < 0.5L ? 0.75L - a2 : a < 1.5L ? 0.5L * (a - 1.5L) * (a - 1.5L) : 0;
    case 7: return a < 1 ? (3 * a3 - 5 * a2 + 2) / 2 : a < 2 ? (-a3 + 5 * a2 - 8 * a + 4) / 2 : 0;
    case 8: return a < 1 ? (3 * a3 - 6 * a2 + 4) / 6 : a < 2 ? (2 - a) * (2 - a) * (2 - a) / 6 : 0;
    case 9: {
      const long double b = a - 1;
      return a < 1 ? a3 - 1.8L * a2 - 0.2L * a + 1
                   : a < 2 ? -b * b * b / 3 + 0.8L * b * b - 7 * b / 15 : 0;
    }
    case 10:
      return a < 1 ? 7 * a3 / 6 - 2 * a2 + 8.0L / 9
                   : a < 2 ? -7 * a3 / 18 + 2 * a2 - 10 * a / 3 + 16.0L / 9 : 0;
    case 11: return a < 2 ? expl(-2 * a2) * sqrtl(2 / pi) : 0;
    case 12: {
      const long double b = a - 1, t = a - 2;
      if (a < 1) return 13 * a3 / 11 - 453 * a2 / 209 - 3 * a / 209 + 1;
      if (a < 2) return -6 * b * b * b / 11 + 270 * b * b / 209 - 156 * b / 209;
      if (a < 3) return t * t * t / 11 - 45 * t * t / 209 + 26 * t / 209;
      return 0;
    }
    case 13: return a < 3 ? RefSinc(a) : 0;
    case 14: return a < 3 ? RefSinc(a) * RefSinc(a / 3) : 0;
    case 15:
      return a < 3 ? (0.42L + 0.5L * cosl(pi * a / 3) + 0.08L * cosl(2 * pi * a / 3)) * RefSinc(a)
                   : 0;
  }
  // clang-format on
  return 0;
}

TEST(ResampleKernels, MatchTheFormulasAndVanishOutsideTheirSupport) {
  const double supports[16] = {0, 0.5, 1, 1, 1, 1, 1.5, 2, 2, 2, 2, 2, 3, 3, 3, 3};
  const double points[] = {0,   0.1,  0.25, 0.4999, 0.5,  0.75, 1, 1.2, 1.5,
                           1.7, 1.99, 2,    2.3,    2.75, 2.99, 3, 3.5, 7};
  for (int filter = 0; filter < 16; ++filter) {
    EXPECT_EQ(ResampleKernelSupport(filter), supports[filter]) << filter;
    for (double x : points)
      for (double signedX : {x, -x}) {
        const double expected = double(RefKernel(filter, fabsl(signedX)));
        // Independent extended evaluations may part in the last bits before rounding to double.
        EXPECT_EQ(ResampleKernelValue(filter, signedX), expected)
            << "filter " << filter << " at " << signedX;
        if (filter > 1 && std::fabs(signedX) >= supports[filter]) {
          EXPECT_EQ(ResampleKernelValue(filter, signedX), 0.0) << filter << " at " << signedX;
        }
      }
  }
  // Values a reader can check by hand.
  EXPECT_EQ(ResampleKernelValue(FilterBox, 0.5), 1.0);
  EXPECT_EQ(ResampleKernelValue(FilterBox, 0.50000000000000011), 0.0);
  EXPECT_EQ(ResampleKernelValue(FilterTriangle, -0.25), 0.75);
  EXPECT_EQ(ResampleKernelValue(FilterBell, 1), 0.125);
  EXPECT_EQ(ResampleKernelValue(FilterCatmullRom, 1), 0.0);
  EXPECT_EQ(ResampleKernelValue(FilterBSpline, 0), 4.0 / 6);
  EXPECT_EQ(ResampleKernelValue(FilterGaussian, 0), 0.7978845608028654);
  EXPECT_EQ(ResampleKernelValue(FilterBlackman, 0), 1.0);
  EXPECT_EQ(ResampleKernelValue(FilterLanczos3, 0), 1.0);
  EXPECT_NEAR(ResampleKernelValue(FilterSinc, 0.5), 2 / M_PI, 1e-16);
  EXPECT_EQ(ResampleKernelSupport(16), 0);
  EXPECT_EQ(ResampleKernelValue(16, 0), 0);
}

// --- ResampleInto: worked examples -----------------------------------------------------------

TEST(Resample, BoxHalvingAveragesPairsAndNormalisesTheEdge) {
  const std::vector<uint8_t> values = {10, 20, 31, 40, 100, 0, 255, 254, 7, 200};
  auto source = Row8(values);
  TFastDIB target(5, 8, 1);
  source->ResampleInto(target, FilterBox);
  // Taps 2n and 2n + 1 at 32768 each, the third at 0: (a + b + 1) >> 1. Column 4's third tap
  // lies outside the source.
  const uint8_t expected[5] = {15, 36, 50, 255, 104};
  for (int n = 0; n < 5; ++n) EXPECT_EQ(target.Scanlines[0][n], expected[n]) << n;
}

TEST(Resample, BoxDoublingTakesTheNearestSourcePixel) {
  auto source = Row8({10, 20, 30, 40, 50});
  TFastDIB target(10, 8, 1);
  source->ResampleInto(target, FilterBox);
  // Centres -0.25, 0.25, 0.75, ...: columns 1 and 5 take source pixels 0 and 2.
  const uint8_t expected[10] = {10, 10, 20, 20, 30, 30, 40, 40, 50, 50};
  for (int n = 0; n < 10; ++n) EXPECT_EQ(target.Scanlines[0][n], expected[n]) << n;
}

TEST(Resample, BoxWorksOnBothAxesOfColourImages) {
  // 24 bits, 2 x 4 to 1 x 2: each target pixel is the average of a 2 x 2 block.
  TFastDIB source(2, 24, 4), target(1, 24, 2);
  FillRandom(source, 5);
  source.ResampleInto(target, FilterBox);
  for (int r = 0; r < 2; ++r)
    for (int b = 0; b < 3; ++b) {
      // Horizontal pass rounds first, then the vertical pass.
      const int top = (source.Scanlines[2 * r][b] + source.Scanlines[2 * r][3 + b] + 1) >> 1;
      const int bottom =
          (source.Scanlines[2 * r + 1][b] + source.Scanlines[2 * r + 1][3 + b] + 1) >> 1;
      EXPECT_EQ(target.Scanlines[r][b], (top + bottom + 1) >> 1);
    }
}

TEST(Resample, WeightsRoundHalvesToTheEvenNeighbour) {
  // Triangle, 2 to 131072 pixels: target column 65536 has centre 0.5 + 2^-17, so its two taps
  // are 32767.5 and 32768.5 before rounding. Ties to even give 32768 + 32768 and the plain
  // average 128; rounding halves away from zero would give a divisor of 65537 and 127.
  auto source = Row8({255, 0});
  TFastDIB target(131072, 8, 1);
  source->ResampleInto(target, FilterTriangle);
  EXPECT_EQ(target.Scanlines[0][65536], 128);
}

TEST(Resample, BlackmanKeepsAUniformImageUniform) {
  struct Case {
    int depth, sw, sh, dw, dh;
    std::vector<uint8_t> pixel;
  };
  const Case cases[] = {{24, 40, 30, 420, 594, {37, 128, 250}},
                        {24, 1125, 1500, 420, 594, {1, 254, 99}},
                        {24, 300, 200, 7, 3, {0, 255, 128}},
                        {8, 50, 60, 1, 1, {200}},
                        {8, 9, 9, 100, 3, {255}},
                        {8, 33, 17, 33, 17, {0}},
                        {32, 20, 10, 45, 11, {10, 20, 30, 40}},
                        {24, 1, 1, 5, 9, {90, 91, 92}}};
  for (const Case& c : cases) {
    TFastDIB source(c.sw, c.depth, c.sh), target(c.dw, c.depth, c.dh);
    FillUniform(source, c.pixel);
    source.ResampleInto(target, FilterBlackman);
    TFastDIB expected(c.dw, c.depth, c.dh);
    FillUniform(expected, c.pixel);
    EXPECT_EQ(PixelBytes(target), PixelBytes(expected))
        << c.depth << " bits " << c.sw << "x" << c.sh << " to " << c.dw << "x" << c.dh;
  }
}

TEST(Resample, NearestAtTheSameSizeIsAnExactCopy) {
  for (int depth : {8, 24, 32}) {
    TFastDIB source(21, depth, 13), target(21, depth, 13);
    FillRandom(source, uint32_t(depth));
    source.ResampleInto(target, FilterNearest);
    EXPECT_EQ(PixelBytes(target), PixelBytes(source)) << depth;
  }
}

TEST(Resample, UnknownFiltersAndEmptyImagesWriteNothing) {
  TFastDIB source(8, 24, 8), target(5, 24, 5), empty;
  FillRandom(source, 1);
  FillRandom(target, 2);
  const auto before = AllBytes(target);
  source.ResampleInto(target, 16);
  source.ResampleInto(target, -1);
  empty.ResampleInto(target, FilterBox);
  source.ResampleInto(empty, FilterBox);
  EXPECT_EQ(AllBytes(target), before);
  EXPECT_TRUE(empty.Scanlines.empty());
}

// --- ResampleInto against the reference -------------------------------------------------------

// The contributors of one axis exactly as the text builds them: T entries per target
// coordinate, out-of-range entries with weight 0, and the divisor.
struct RefEntry {
  int index, weight;
};
struct RefAxis {
  std::vector<std::vector<RefEntry>> entries;
  std::vector<int> divisors;
};

RefAxis RefContributors(int srcSize, int dstSize, int filter) {
  RefAxis axis;
  const double scale = (double)dstSize / srcSize;
  const double R = ResampleKernelSupport(filter);
  const double r = scale >= 1 ? R : R / scale;
  const int T = 2 * (int)std::trunc(r) + 1;
  for (int n = 0; n < dstSize; ++n) {
    const double centre = n / scale - (1 - 1 / scale) * 0.5;
    const int first = T <= 1 ? (int)std::nearbyint(centre) : (int)std::ceil(centre - r);
    std::vector<RefEntry> run;
    int sum = 0;
    for (int j = first; j < first + T; ++j) {
      RefEntry e{-1, 0};
      if (j >= 0 && j <= srcSize - 1) {
        e.index = j;
        e.weight = scale >= 1
                       ? (int)std::nearbyint(ResampleKernelValue(filter, centre - j) * 65536)
                       : (int)std::nearbyint(ResampleKernelValue(filter, (centre - j) * scale) *
                                             scale * 65536);
      }
      sum += e.weight;
      run.push_back(e);
    }
    axis.entries.push_back(run);
    axis.divisors.push_back(sum > 0 ? sum : 1);
  }
  return axis;
}

uint8_t RefValue(const std::vector<RefEntry>& run, int divisor, const std::function<int(int)>& at) {
  int s = 0;
  for (const RefEntry& e : run)
    if (e.weight != 0) s += e.weight * at(e.index);
  const int v = (s + (divisor >> 1)) / divisor;
  return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Both passes over `channels` bytes per pixel read through `get(row, column, channel)`.
std::vector<std::vector<uint8_t>> RefResample(int sw, int sh, int dw, int dh, int channels,
                                              int filter,
                                              const std::function<int(int, int, int)>& get) {
  const RefAxis h = RefContributors(sw, dw, filter), v = RefContributors(sh, dh, filter);
  std::vector<std::vector<uint8_t>> inter(size_t(sh), std::vector<uint8_t>(size_t(dw * channels)));
  for (int row = 0; row < sh; ++row)
    for (int n = 0; n < dw; ++n)
      for (int c = 0; c < channels; ++c)
        inter[row][n * channels + c] =
            RefValue(h.entries[n], h.divisors[n], [&](int j) { return get(row, j, c); });
  std::vector<std::vector<uint8_t>> out(size_t(dh), std::vector<uint8_t>(size_t(dw * channels)));
  for (int n = 0; n < dw * channels; ++n)
    for (int m = 0; m < dh; ++m)
      out[m][n] = RefValue(v.entries[m], v.divisors[m], [&](int j) { return inter[j][n]; });
  return out;
}

// The reference result in the target's own layout (16 bits: widened 5-5-5, packed back).
std::vector<uint8_t> RefResampleImage(const TFastDIB& s, int dw, int dh, int filter) {
  const int depth = s.BitCount();
  if (depth == 16) {
    auto get = [&](int row, int x, int c) {
      const uint8_t* p = s.Scanlines[row] + 2 * x;
      return (((p[0] | (p[1] << 8)) >> (5 * c)) & 31) << 3;
    };
    const auto rows = RefResample(s.Width(), s.AbsHeight, dw, dh, 3, filter, get);
    std::vector<uint8_t> out;
    for (const auto& row : rows)
      for (int x = 0; x < dw; ++x) {
        const int packed =
            (row[3 * x] >> 3) | ((row[3 * x + 1] >> 3) << 5) | ((row[3 * x + 2] >> 3) << 10);
        out.push_back(uint8_t(packed));
        out.push_back(uint8_t(packed >> 8));
      }
    return out;
  }
  const int channels = depth / 8;
  auto get = [&](int row, int x, int c) { return int(s.Scanlines[row][x * channels + c]); };
  const auto rows = RefResample(s.Width(), s.AbsHeight, dw, dh, channels, filter, get);
  std::vector<uint8_t> out;
  for (const auto& row : rows) out.insert(out.end(), row.begin(), row.end());
  return out;
}

struct SizeCase {
  int depth, sw, sh, dw, dh;
};

class ResampleAgainstReference : public testing::TestWithParam<int> {};

TEST_P(ResampleAgainstReference, UpAndDownscalesMatchTapByTap) {
  const int filter = GetParam();
  // clang-format off
  const SizeCase cases[] = {{24, 37, 23, 16, 41}, {24, 9, 7, 31, 29}, {8, 45, 3, 7, 10},
                            {32, 11, 13, 5, 6},   {16, 14, 9, 23, 4}, {24, 3, 2, 2, 3},
                            {8, 100, 1, 1, 1},    {24, 2, 2, 1000, 3}};
  // clang-format on
  for (const SizeCase& c : cases) {
    TFastDIB source(c.sw, c.depth, c.sh), target(c.dw, c.depth, c.dh);
    FillRandom(source, uint32_t(filter * 1000 + c.sw));
    source.ResampleInto(target, filter);
    EXPECT_EQ(PixelBytes(target), RefResampleImage(source, c.dw, c.dh, filter))
        << "filter " << filter << ", " << c.depth << " bits " << c.sw << "x" << c.sh << " to "
        << c.dw << "x" << c.dh;
  }
}

std::string FilterName(const testing::TestParamInfo<int>& info) {
  static const char* const names[16] = {"Nearest",  "Box",      "Triangle", "Hann",
                                        "Hamming",  "Hermite",  "Bell",     "CatmullRom",
                                        "BSpline",  "Spline16", "Mitchell", "Gaussian",
                                        "Spline36", "Sinc",     "Lanczos3", "Blackman"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(AllFilters, ResampleAgainstReference, testing::Range(0, 16), FilterName);

TEST(Resample, TheSizesThePagesUseMatchTheReference) {
  // The preview (Blackman, 1125 x 1500 to 420 x 594) and a sheet cell (Box, a crop of 1297 x 910
  // into a 609 x 792 cell): wide kernels, long runs of taps, divisors far from 65536.
  const SizeCase cases[] = {{24, 1125, 1500, 420, 594}, {24, 1297, 910, 609, 792}};
  const int filters[] = {FilterBlackman, FilterBox};
  for (int i = 0; i < 2; ++i) {
    const SizeCase& c = cases[i];
    TFastDIB source(c.sw, c.depth, c.sh), target(c.dw, c.depth, c.dh);
    FillRandom(source, 99);
    source.ResampleInto(target, filters[i]);
    EXPECT_EQ(PixelBytes(target), RefResampleImage(source, c.dw, c.dh, filters[i]))
        << c.sw << "x" << c.sh;
  }
}

TEST(Resample, ARegionViewResamplesLikeACopyOfTheRegion) {
  for (int depth : {8, 24}) {
    TFastDIB photo(301, depth, 203);
    FillRandom(photo, 42);
    TFastDIB crop;
    crop.AttachRegion(photo, 17, 30, 250, 150);
    ASSERT_EQ(crop.Width(), 250);
    TFastDIB copy(250, depth, 150);
    copy.CopyRectFrom(photo, 0, 0, 17, 30, 250, 150);
    for (int filter : {FilterBox, FilterBlackman, FilterMitchell}) {
      TFastDIB fromView(97, depth, 131), fromCopy(97, depth, 131);
      crop.ResampleInto(fromView, filter);
      copy.ResampleInto(fromCopy, filter);
      EXPECT_EQ(PixelBytes(fromView), PixelBytes(fromCopy)) << depth << " bits, " << filter;
      EXPECT_EQ(PixelBytes(fromView), RefResampleImage(crop, 97, 131, filter));
    }
  }
}

}  // namespace
