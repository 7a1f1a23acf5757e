// Rotation: which source pixel each target pixel takes, and which target pixels stay unwritten.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <utility>

#include "FastDIB.h"

namespace {

constexpr uint8_t Unwritten = 0xEE;

// Every byte of every source pixel tells where it came from.
void FillNumbered(TFastDIB& image) {
  const int bpp = image.BitCount() / 8;
  for (int y = 0; y < image.AbsHeight; ++y)
    for (int x = 0; x < image.Width(); ++x)
      for (int k = 0; k < bpp; ++k)
        image.Scanlines[y][x * bpp + k] = uint8_t(1 + x + 10 * y + 60 * k);
}

using Where = std::optional<std::pair<int, int>>;  // source (x, memory row), or unwritten

struct RotationCase {
  const char* name;
  int sw, sh, tw, th;
  double angle;
  std::function<Where(int col, int r)> source;
};

// clang-format off
const RotationCase Rotations[] = {
    {"QuarterTurn3x5", 3, 5, 5, 3, 90, [](int col, int r) { return Where{{2 - r, col}}; }},
    {"BackQuarterTurn3x5", 3, 5, 5, 3, -90, [](int col, int r) { return Where{{r, 4 - col}}; }},
    {"QuarterTurn4x2RowZeroUnwritten", 4, 2, 2, 4, 90,
     [](int col, int r) { return r == 0 ? Where{} : Where{{4 - r, col}}; }},
    {"QuarterTurn3x4ColumnZeroUnwritten", 3, 4, 4, 3, 90,
     [](int col, int r) { return col == 0 ? Where{} : Where{{2 - r, col - 1}}; }},
    {"HalfTurn4x2", 4, 2, 4, 2, 180,
     [](int col, int r) { return col == 0 || r == 0 ? Where{} : Where{{4 - col, 2 - r}}; }},
    {"HalfTurn3x3", 3, 3, 3, 3, 180, [](int col, int r) { return Where{{2 - col, 2 - r}}; }},
    {"NoTurn5x4", 5, 4, 5, 4, 0, [](int col, int r) { return Where{{col, r}}; }},
};
// clang-format on

class RotateExamples : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(RotateExamples, TargetPixelsTakeTheirSourcePixel) {
  const auto [index, depth] = GetParam();
  const RotationCase& c = Rotations[index];
  const int bpp = depth / 8;
  TFastDIB source(c.sw, depth, c.sh), target(c.tw, depth, c.th);
  FillNumbered(source);
  std::memset(target.Bits, Unwritten, size_t(target.Stride) * c.th);
  source.RotateInto(target, 65536, c.angle);
  for (int r = 0; r < c.th; ++r)
    for (int col = 0; col < c.tw; ++col) {
      const Where from = c.source(col, r);
      const uint8_t* got = target.Scanlines[r] + col * bpp;
      for (int k = 0; k < bpp; ++k) {
        const int expected =
            from ? source.Scanlines[from->second][from->first * bpp + k] : Unwritten;
        ASSERT_EQ(got[k], expected) << "col " << col << " row " << r << " byte " << k;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RotateExamples,
                         testing::Combine(testing::Range(0, int(std::size(Rotations))),
                                          testing::Values(8, 16, 24, 32)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                           return std::string(Rotations[std::get<0>(info.param)].name) + "Bits" +
                                  std::to_string(std::get<1>(info.param));
                         });

// The walk exactly as it reads, row after row, in 32-bit wrap-around arithmetic.
void ReferenceRotate(const TFastDIB& source, TFastDIB& target, int32_t scale, double angle) {
  const long double theta = static_cast<long double>(angle) * 3.1415926535897932385L / 180.0L;
  const int32_t cosStep = int32_t(std::nearbyint(scale * std::cos(theta)));
  const int32_t sinStep = int32_t(std::nearbyint(scale * std::sin(theta)));
  const int32_t sw = source.Width(), sh = source.AbsHeight;
  const int32_t tw = target.Width(), th = target.AbsHeight;
  const int bpp = target.BitCount() / 8;
  const int32_t cx = tw / 2, cy = th / 2;
  const int32_t dx = ((sw << 16) - (tw << 16)) / 2, dy = ((sh << 16) - (th << 16)) / 2;
  for (int32_t r = 0; r < th; ++r) {
    const int32_t v = cy - r;
    uint32_t X = uint32_t((int64_t(cx) << 16) - int64_t(cx) * cosStep + int64_t(v) * sinStep + dx);
    uint32_t Y = uint32_t((int64_t(cy) << 16) - int64_t(cx) * sinStep - int64_t(v) * cosStep + dy);
    for (int32_t col = 0; col < tw; ++col) {
      const uint32_t sx = X >> 16, sy = Y >> 16;
      if (sx < uint32_t(sw) && sy < uint32_t(sh))
        std::memcpy(target.Scanlines[r] + col * bpp, source.Scanlines[sy] + sx * bpp, bpp);
      X += uint32_t(cosStep);
      Y += uint32_t(sinStep);
    }
  }
}

TEST(RotateInto, WideImagesAndOtherAnglesMatchThePlainWalk) {
  struct Case {
    int sw, sh, tw, th, scale;
    double angle;
  };
  // clang-format off
  const Case cases[] = {
      {150, 97, 97, 150, 65536, 90},   {150, 97, 97, 150, 65536, -90},
      {150, 97, 150, 97, 65536, 180},  {130, 70, 140, 90, 65536, 30},
      {130, 70, 140, 90, 50000, -45},  {200, 3, 3, 200, 65536, 90},
      {64, 65, 129, 66, 98304, 271.5}, {40, 30, 100, 90, 65536, 90},
      {40, 30, 100, 90, 65536, 180},   {40, 30, 100, 90, 65536, 0},
      {101, 57, 23, 19, 65536, -90},   {33, 80, 81, 34, 65536, 270},
      {50, 50, 50, 50, -65536, 90},    {70, 20, 20, 70, 131072, 90},
      {41, 17, 41, 17, 65536, 360},    {17, 41, 41, 17, 65536, -270},
      {30, 5, 12, 40, 65536, 90},      {30, 5, 12, 40, 65536, -90},  // runs inside one band
      {5, 30, 12, 40, 65536, 180},     {5, 30, 12, 40, 65536, 0},
  };
  // clang-format on
  std::mt19937 random(42);
  for (int depth : {8, 16, 24, 32}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << depth << " bits " << c.sw << "x" << c.sh << " -> " << c.tw
                                      << "x" << c.th << " at " << c.angle);
      TFastDIB source(c.sw, depth, c.sh), fast(c.tw, depth, c.th), plain(c.tw, depth, c.th);
      for (int i = 0; i < source.Stride * c.sh; ++i) source.Bits[i] = uint8_t(random());
      std::memset(fast.Bits, Unwritten, size_t(fast.Stride) * c.th);
      std::memset(plain.Bits, Unwritten, size_t(plain.Stride) * c.th);
      source.RotateInto(fast, c.scale, c.angle);
      ReferenceRotate(source, plain, c.scale, c.angle);
      ASSERT_EQ(0, std::memcmp(fast.Bits, plain.Bits, size_t(fast.Stride) * c.th));
    }
  }
}

TEST(RotateInto, ARegionViewTurnsLikeACopyOfItsRectangle) {
  TFastDIB source(60, 24, 50);
  std::mt19937 random(9);
  for (int i = 0; i < source.Stride * 50; ++i) source.Bits[i] = uint8_t(random());
  TFastDIB view, copy(37, 24, 29);
  view.AttachRegion(source, 11, 7, 37, 29);
  view.ConvertInto(copy);
  for (double angle : {90.0, -90.0, 180.0, 0.0, 33.0}) {
    SCOPED_TRACE(angle);
    const bool quarter = angle == 90 || angle == -90;
    const int tw = quarter ? 29 : 37, th = quarter ? 37 : 29;
    TFastDIB fromView(tw, 24, th), fromCopy(tw, 24, th);
    view.RotateInto(fromView, 65536, angle);
    copy.RotateInto(fromCopy, 65536, angle);
    ASSERT_EQ(0, std::memcmp(fromView.Bits, fromCopy.Bits, size_t(fromView.Stride) * th));
  }
}

TEST(RotateInto, FourQuarterTurnsOfAnOddSquareGiveTheOriginal) {
  TFastDIB a(7, 24, 7), b(7, 24, 7), original(7, 24, 7);
  FillNumbered(a);
  FillNumbered(original);
  for (int i = 0; i < 2; ++i) {
    a.RotateInto(b, 65536, 90);
    b.RotateInto(a, 65536, 90);
  }
  EXPECT_EQ(0, std::memcmp(a.Bits, original.Bits, size_t(a.Stride) * 7));
}

TEST(RotateInto, MismatchedDepthsAndEmptyImagesWriteNothing) {
  TFastDIB source(4, 8, 4), wide(4, 24, 4), empty;
  FillNumbered(source);
  std::memset(wide.Bits, Unwritten, size_t(wide.Stride) * 4);
  source.RotateInto(wide, 65536, 90);
  empty.RotateInto(wide, 65536, 90);
  for (int i = 0; i < wide.Stride * 4; ++i) ASSERT_EQ(wide.Bits[i], Unwritten);
  source.RotateInto(empty, 65536, 90);
  EXPECT_EQ(empty.Bits, nullptr);
}

}  // namespace
