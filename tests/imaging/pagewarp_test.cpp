// The page warp: which quadrilaterals are refused, the page's aspect recovered from a photographed
// page (and when the side lengths stand in), the output size, and the warp's pixels: the
// picture's own corners give it back, a synthetic page photographed at a tilt comes back flat,
// and the thread count changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "CaseNames.h"
#include "FastDIB.h"
#include "ImagingTestSupport.h"
#include "PageWarp.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

// Picture row y from the top, column x.
uint8_t* At(TFastDIB& image, int x, int y) {
  return image.Scanlines[size_t(image.AbsHeight - 1 - y)] + size_t(x) * (image.BitCount() / 8);
}

TPageQuad Corners(int w, int h) {
  return {{{{0, 0}, {double(w), 0}, {double(w), double(h)}, {0, double(h)}}}};
}

// --- Quadrilaterals that cannot be a page ---

struct BadQuadCase {
  const char* name;
  TPageQuad quad;
};

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// In a 400 x 300 picture.
const BadQuadCase UnusableQuads[] = {
    {"SidesCross", {{{{50, 50}, {350, 250}, {350, 50}, {50, 250}}}}},
    {"MirroredOrder", {{{{50, 50}, {50, 250}, {350, 250}, {350, 50}}}}},
    {"BendsInwards", {{{{50, 50}, {350, 50}, {200, 100}, {50, 250}}}}},
    {"ThreeCornersInLine", {{{{50, 50}, {200, 50}, {350, 50}, {50, 250}}}}},
    {"AllCornersAtOnePoint", {{{{80, 80}, {80, 80}, {80, 80}, {80, 80}}}}},
    {"TwoCornersTogether", {{{{50, 50}, {50.5, 50}, {350, 250}, {50, 250}}}}},
    {"CornerFarOutside", {{{{-50, 50}, {350, 50}, {350, 250}, {50, 250}}}}},
    {"CornerNotANumber", {{{{NaN, 50}, {350, 50}, {350, 250}, {50, 250}}}}},
    {"NearlyFlatCorner", {{{{50, 50}, {200, 52}, {350, 50}, {200, 250}}}}},
};

class BadQuads : public testing::TestWithParam<BadQuadCase> {};

TEST_P(BadQuads, AreRefusedWithAReason) {
  const TPageQuad& quad = GetParam().quad;
  EXPECT_FALSE(IsUsablePageQuad(quad, 400, 300));
  EXPECT_FALSE(PageQuadProblem(quad, 400, 300).isEmpty());
  EXPECT_THROW(EstimatePageAspect(quad, 400, 300), std::runtime_error);
  TFastDIB source(400, 24, 300), target(100, 24, 100);
  try {
    WarpPageInto(source, quad, target);
    FAIL() << "warp accepted the quadrilateral";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(QString::fromStdString(e.what()), PageQuadProblem(quad, 400, 300));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BadQuads, testing::ValuesIn(UnusableQuads),
                         [](const testing::TestParamInfo<BadQuadCase>& info) {
                           return CaseName({info.param.name});
                         });

TEST(PageQuad, AcceptsAPageSlightlyBeyondThePicture) {
  // 10% of the longer side (40 pixels) is allowed outside.
  const TPageQuad quad{{{{-39, -5}, {439, 10}, {380, 339}, {20, 290}}}};
  EXPECT_EQ(PageQuadProblem(quad, 400, 300), QString());
  EXPECT_FALSE(IsUsablePageQuad(quad, 0, 300));
}

// --- Warp: errors and empty images ---

TEST(WarpErrors, RefusesDepthsItCannotReadAndEmptyImagesDoNothing) {
  TFastDIB gray(40, 8, 30), colour(40, 24, 30), wide(40, 32, 30), wideTarget(20, 32, 20);
  TFastDIB grayTarget(20, 8, 20), empty;
  const TPageQuad quad = Corners(40, 30);
  EXPECT_THROW(WarpPageInto(colour, quad, grayTarget), std::runtime_error);
  EXPECT_THROW(WarpPageInto(wide, quad, wideTarget), std::runtime_error);
  EXPECT_THROW(WarpPageInto(gray, quad, gray), std::runtime_error);

  std::memset(grayTarget.Bits, 0x5A, size_t(grayTarget.Stride) * 20);
  const std::vector<uint8_t> before = PixelBytes(grayTarget);
  EXPECT_NO_THROW(WarpPageInto(empty, quad, grayTarget));
  EXPECT_NO_THROW(WarpPageInto(gray, quad, empty));
  EXPECT_EQ(PixelBytes(grayTarget), before);
}

// --- Output size and the map ---

struct SizeCase {
  double aspect;
  int32_t longSide;
  int32_t width, height;
};

TEST(PageOutputSize, LongSideGivenOtherRoundedToNearest) {
  // clang-format off
  const SizeCase cases[] = {
      {std::sqrt(2.0), 1500,   1500, 1061},
      {1 / std::sqrt(2.0), 1500,   1061, 1500},
      {1.0,          7,        7,    7},
      {2.0,          3,        3,    2},   // 1.5 rounds away from zero
      {1e6,          1500,   1500,    1},   // never below one pixel
      {0.0,          1500,      0,    0},
      {-1.0,         1500,      0,    0},
      {NaN,          1500,      0,    0},
      {1.5,          0,         0,    0},
  };
  // clang-format on
  for (const SizeCase& c : cases) {
    const TPageSize size = PageOutputSize(c.aspect, c.longSide);
    EXPECT_EQ(size.Width, c.width) << c.aspect << " " << c.longSide;
    EXPECT_EQ(size.Height, c.height) << c.aspect << " " << c.longSide;
  }
}

TEST(PageHomography, TakesTheRectanglesCornersToTheQuads) {
  const TPageQuad quads[] = {
      {{{{180, 90}, {1350, 160}, {1420, 1040}, {120, 980}}}},
      {{{{10.25, 3.5}, {90, 20}, {70.75, 60}, {0, 44}}}},
      Corners(30, 20),
  };
  for (const TPageQuad& quad : quads) {
    const THomography map = PageHomography(quad, 300, 200);
    const double corners[4][2] = {{0, 0}, {300, 0}, {300, 200}, {0, 200}};
    for (int i = 0; i < 4; ++i) {
      const TPagePoint p = MapPoint(map, corners[i][0], corners[i][1]);
      EXPECT_NEAR(p.X, quad.Corners[size_t(i)].X, 1e-9) << i;
      EXPECT_NEAR(p.Y, quad.Corners[size_t(i)].Y, 1e-9) << i;
    }
  }
  EXPECT_THROW(PageHomography(UnusableQuads[3].quad, 300, 200), std::runtime_error);
}

// --- The fallback to side lengths ---

double SideAspect(const TPageQuad& q) {
  const auto d = [&](int a, int b) {
    return std::hypot(q.Corners[size_t(a)].X - q.Corners[size_t(b)].X,
                      q.Corners[size_t(a)].Y - q.Corners[size_t(b)].Y);
  };
  return (d(0, 1) + d(3, 2)) / (d(0, 3) + d(1, 2));
}

TEST(PageAspect, NearlyAffineQuadsUseTheSideLengths) {
  const BadQuadCase cases[] = {
      // Both pairs of sides parallel: both vanishing points at infinity.
      {"Parallelogram", {{{{100, 100}, {600, 140}, {650, 500}, {150, 460}}}}},
      // Both vanishing points finite but on the same side of the centre: no real focal length.
      {"ImaginaryFocalLength", {{{{100, 100}, {500, 150}, {520, 350}, {100, 500}}}}},
  };
  for (const BadQuadCase& c : cases) {
    ASSERT_TRUE(IsUsablePageQuad(c.quad, 800, 600)) << c.name;
    const TPageAspect aspect = EstimatePageAspect(c.quad, 800, 600);
    EXPECT_EQ(aspect.Method, TAspectMethod::SideLengths) << c.name;
    EXPECT_DOUBLE_EQ(aspect.Aspect, SideAspect(c.quad)) << c.name;
    EXPECT_EQ(aspect.FocalLength, 0) << c.name;
  }
}

// --- Identity ---

class WarpIdentity : public testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(WarpIdentity, ThePicturesOwnCornersGiveThePictureBack) {
  const auto [depth, w, h] = GetParam();
  TFastDIB source(w, depth, h);
  FillRandom(source, uint32_t(w * 31 + h));
  const TPageQuad quad = Corners(w, h);
  const TPageAspect aspect = EstimatePageAspect(quad, w, h);
  const TPageSize size = PageOutputSize(aspect.Aspect, std::max(w, h));
  ASSERT_EQ(size.Width, w);
  ASSERT_EQ(size.Height, h);
  TFastDIB target(w, depth, h);
  WarpPageInto(source, quad, target);
  // At whole-pixel positions the cubic's taps are 0, 1, 0, 0: no rounding at all.
  EXPECT_EQ(PixelBytes(target), PixelBytes(source));
}

INSTANTIATE_TEST_SUITE_P(Sizes, WarpIdentity,
                         testing::Combine(testing::Values(8, 24), testing::Values(1, 3, 61),
                                          testing::Values(1, 2, 45)),
                         [](const testing::TestParamInfo<std::tuple<int, int, int>>& info) {
                           return CaseName({"Bits", std::get<0>(info.param), "_",
                                            std::get<1>(info.param), "x", std::get<2>(info.param)});
                         });

// --- A page photographed at a tilt ---

// An A4 page, 420 x 594: squares of 42 pixels, each of its own colour, so that a page put back a
// square out of place, turned or mirrored differs everywhere.
constexpr int PageW = 420, PageH = 594;

void DrawPage(TFastDIB& page) {
  for (int y = 0; y < PageH; ++y)
    for (int x = 0; x < PageW; ++x) {
      const int cx = x / 42, cy = y / 42;
      uint8_t* p = At(page, x, y);
      p[0] = uint8_t(30 + 20 * cx);
      p[1] = uint8_t(40 + 14 * cy);
      p[2] = ((cx + cy) & 1) ? 220 : 50;
    }
}

using Matrix = std::array<double, 9>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k)
        m[size_t(3 * i + j)] += a[size_t(3 * i + k)] * b[size_t(3 * k + j)];
  return m;
}

Matrix Inverse(const Matrix& m) {
  const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
               i = m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
          (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
          (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

std::array<double, 2> Apply(const Matrix& m, double x, double y) {
  const double w = m[6] * x + m[7] * y + m[8];
  return {(m[0] * x + m[1] * y + m[2]) / w, (m[3] * x + m[4] * y + m[5]) / w};
}

// A camera of focal length f (pixels) with its axis through the picture's centre looks at the
// page, turned by `pitch` about the page's horizontal axis, `yaw` about its vertical one and
// `roll` in its plane, centred `distance` pixels ahead: the map from page points to the picture.
Matrix CameraMap(double pitch, double yaw, double roll, double f, double distance, int w, int h) {
  const double a = pitch * Pi / 180, b = yaw * Pi / 180, c = roll * Pi / 180;
  const Matrix rx{1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)};
  const Matrix ry{std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b)};
  const Matrix rz{std::cos(c), -std::sin(c), 0, std::sin(c), std::cos(c), 0, 0, 0, 1};
  const Matrix r = Multiply(rz, Multiply(ry, rx));
  // Page (X, Y) sits at r (X - PageW / 2, Y - PageH / 2, 0) + (0, 0, distance) before the lens.
  const double tx = -r[0] * PageW / 2 - r[1] * PageH / 2;
  const double ty = -r[3] * PageW / 2 - r[4] * PageH / 2;
  const double tz = -r[6] * PageW / 2 - r[7] * PageH / 2 + distance;
  const Matrix onPlane{r[0], r[1], tx, r[3], r[4], ty, r[6], r[7], tz};
  const Matrix lens{f, 0, w / 2.0, 0, f, h / 2.0, 0, 0, 1};
  return Multiply(lens, onPlane);
}

// The photo: each pixel centre traced back onto the page and sampled there bilinearly (a
// sampler of its own, not the warp's), the background where it misses the page.
void Photograph(const TFastDIB& page, const Matrix& map, TFastDIB& photo) {
  const Matrix back = Inverse(map);
  for (int y = 0; y < photo.AbsHeight; ++y)
    for (int x = 0; x < photo.Width(); ++x) {
      const auto [px, py] = Apply(back, x + 0.5, y + 0.5);
      uint8_t* out = At(photo, x, y);
      if (!(px >= 0 && px < PageW && py >= 0 && py < PageH)) {
        out[0] = 90, out[1] = 160, out[2] = 60;
        continue;
      }
      const double sx = std::clamp(px - 0.5, 0.0, PageW - 1.0);
      const double sy = std::clamp(py - 0.5, 0.0, PageH - 1.0);
      const int x0 = std::min(int(sx), PageW - 2), y0 = std::min(int(sy), PageH - 2);
      const double fx = sx - x0, fy = sy - y0;
      TFastDIB& source = const_cast<TFastDIB&>(page);
      for (int k = 0; k < 3; ++k) {
        const double top = At(source, x0, y0)[k] * (1 - fx) + At(source, x0 + 1, y0)[k] * fx;
        const double bottom =
            At(source, x0, y0 + 1)[k] * (1 - fx) + At(source, x0 + 1, y0 + 1)[k] * fx;
        out[k] = uint8_t(std::lround(top * (1 - fy) + bottom * fy));
      }
    }
}

struct TiltCase {
  const char* name;
  double pitch, yaw, roll;
  TAspectMethod method;
};

// clang-format off
const TiltCase Tilts[] = {
    {"Level",              0,   0,   0, TAspectMethod::SideLengths},
    {"SlightTilt",         2,   1.5, 4, TAspectMethod::SideLengths},
    {"Moderate",          15,  12,   5, TAspectMethod::FocalLength},
    {"TurnedOnTheTable",  20, -15,  35, TAspectMethod::FocalLength},
    {"Strong",            40,  30, -10, TAspectMethod::FocalLength},
    {"StrongUpsideDown", -35, -40, 170, TAspectMethod::FocalLength},
};
// clang-format on

constexpr int PhotoW = 900, PhotoH = 675;
constexpr double FocalLength = 800;

// A page tilted about one axis only: one pair of sides stays parallel in the picture, and the
// aspect rests on the assumed focal length. The cameras span what phones have, from the widest
// main camera to a mild zoom, in units of the picture's longer side.
struct SingleAxisCase {
  const char* name;
  double pitch, yaw, roll, focal;
  double tolerance;  // of the aspect, relative
};

// A camera of the assumed focal length gives the aspect back exactly but for the corners'
// rounding; one 10% off it costs about 1% at 20 degrees and 3% at 30.
// clang-format off
const SingleAxisCase SingleAxisTilts[] = {
    {"Pitch5",              5,   0,  0, 0.80, 0.02},
    {"Pitch10",            10,   0,  0, 0.80, 0.02},
    {"Pitch20",            20,   0,  0, 0.80, 0.02},
    {"Pitch25",            25,   0,  0, 0.80, 0.02},
    {"Pitch30",            30,   0,  0, 0.80, 0.02},
    {"PitchBack25",       -25,   0,  0, 0.80, 0.02},
    {"Yaw25",               0,  25,  0, 0.80, 0.02},
    {"Yaw30RolledOnDesk",   0, -30, 12, 0.80, 0.02},
    {"Pitch20WideLens",    20,   0,  0, 0.72, 0.02},
    {"Pitch20Longer",      20,   0,  0, 0.90, 0.02},
    {"Pitch30WideLens",    30,   0,  0, 0.72, 0.035},
    {"Pitch30Longer",      30,   0,  0, 0.90, 0.035},
};
// clang-format on

TEST(PageAspect, SingleAxisTiltUsesTheAssumedFocalLength) {
  for (const SingleAxisCase& c : SingleAxisTilts) {
    const double f = c.focal * PhotoW;
    // Far enough that the page fills about two thirds of the picture, as a page photographed.
    const Matrix map = CameraMap(c.pitch, c.yaw, c.roll, f, 1.6 * f, PhotoW, PhotoH);
    TPageQuad quad;
    const double pageCorners[4][2] = {{0, 0}, {PageW, 0}, {PageW, PageH}, {0, PageH}};
    for (int i = 0; i < 4; ++i) {
      const auto [x, y] = Apply(map, pageCorners[i][0], pageCorners[i][1]);
      quad.Corners[size_t(i)] = {x, y};
    }
    ASSERT_TRUE(IsUsablePageQuad(quad, PhotoW, PhotoH))
        << c.name << ": " << PageQuadProblem(quad, PhotoW, PhotoH).toStdString();
    const TPageAspect aspect = EstimatePageAspect(quad, PhotoW, PhotoH);
    const double truth = double(PageW) / PageH;
    EXPECT_EQ(aspect.Method, TAspectMethod::AssumedFocalLength) << c.name;
    EXPECT_NEAR(aspect.Aspect, truth, c.tolerance * truth) << c.name;
    if (c.focal == kAssumedFocalLength) EXPECT_NEAR(aspect.Aspect, truth, 0.002 * truth) << c.name;
    EXPECT_DOUBLE_EQ(aspect.FocalLength, kAssumedFocalLength * PhotoW) << c.name;
    // What the side lengths alone would say is off by far more at the stronger tilts.
    if (std::abs(c.pitch) + std::abs(c.yaw) >= 25)
      EXPECT_GT(std::abs(SideAspect(quad) - truth), 0.05 * truth) << c.name;
  }
}

class TiltedPage : public testing::TestWithParam<TiltCase> {};

TEST_P(TiltedPage, ComesBackFlatWithItsAspect) {
  const TiltCase& c = GetParam();
  static TFastDIB page(PageW, 24, PageH);
  static const bool drawn = (DrawPage(page), true);
  (void)drawn;
  const Matrix map = CameraMap(c.pitch, c.yaw, c.roll, FocalLength, 1100, PhotoW, PhotoH);
  TPageQuad quad;
  const double pageCorners[4][2] = {{0, 0}, {PageW, 0}, {PageW, PageH}, {0, PageH}};
  for (int i = 0; i < 4; ++i) {
    const auto [x, y] = Apply(map, pageCorners[i][0], pageCorners[i][1]);
    quad.Corners[size_t(i)] = {x, y};
    ASSERT_TRUE(x > 0 && x < PhotoW && y > 0 && y < PhotoH) << "the page leaves the photo";
  }
  ASSERT_TRUE(IsUsablePageQuad(quad, PhotoW, PhotoH))
      << PageQuadProblem(quad, PhotoW, PhotoH).toStdString();

  const TPageAspect aspect = EstimatePageAspect(quad, PhotoW, PhotoH);
  EXPECT_EQ(aspect.Method, c.method);
  EXPECT_NEAR(aspect.Aspect, double(PageW) / PageH, 0.01 * PageW / PageH);
  if (c.method == TAspectMethod::FocalLength) {
    EXPECT_NEAR(aspect.FocalLength, FocalLength, 1);
  }

  TFastDIB photo(PhotoW, 24, PhotoH);
  Photograph(page, map, photo);
  const TPageSize size = PageOutputSize(aspect.Aspect, PageH);
  ASSERT_NEAR(size.Width, PageW, 4);
  ASSERT_EQ(size.Height, PageH);
  // Into the page's own size, so that pixels compare one to one.
  TFastDIB flat(PageW, 24, PageH);
  WarpPageInto(photo, quad, flat);
  double sum = 0;
  for (int y = 0; y < PageH; ++y)
    for (int x = 0; x < PageW; ++x)
      for (int k = 0; k < 3; ++k) sum += std::abs(At(flat, x, y)[k] - At(page, x, y)[k]);
  // Two resamplings blur the squares' edges by a pixel or so, which gives 1.3 to 1.9 here; the
  // same page put back one pixel to the side gives 2.9 to 3.6, a square off or mirrored tens.
  EXPECT_LT(sum / (3.0 * PageW * PageH), 2.3);
}

INSTANTIATE_TEST_SUITE_P(Tilts, TiltedPage, testing::ValuesIn(Tilts),
                         [](const testing::TestParamInfo<TiltCase>& info) {
                           return CaseName({info.param.name});
                         });

// --- Invariants of the pixels ---

TEST(WarpPixels, AUniformPictureStaysUniform) {
  const TPageQuad quad{{{{31.3, 12.9}, {170.2, 40.1}, {150.7, 118.4}, {5.5, 99.0}}}};
  for (int depth : {8, 24}) {
    TFastDIB source(180, depth, 120), target(97, depth, 71);
    std::memset(source.Bits, 173, size_t(source.Stride) * 120);
    WarpPageInto(source, quad, target);
    for (uint8_t b : PixelBytes(target)) ASSERT_EQ(b, 173) << depth;
  }
}

// Puts the process-wide thread count and vector setting back whatever a test set.
class WarpFastForms : public testing::Test {
 protected:
  void SetUp() override { Saved = PixelThreads(); }
  void TearDown() override {
    SetPixelThreads(Saved);
    SetVectorLoopsEnabled(true);
  }
  int32_t Saved = 1;
};

TEST_F(WarpFastForms, ThreadCountsAndVectorLoopsGiveThePlainLoopsBytes) {
  struct Case {
    int depth, sw, sh, tw, th;
    TPageQuad quad;
  };
  // Pages reaching past the picture's edges, so that every tap path is taken: inside, at the
  // edges, and the last columns where the vector loop would read past the row.
  const Case cases[] = {
      {24, 640, 460, 611, 433, {{{{-40, 20}, {700, -30}, {610, 470}, {35, 430}}}}},
      {8, 640, 460, 611, 433, {{{{-40, 20}, {700, -30}, {610, 470}, {35, 430}}}}},
      {24, 9, 7, 23, 18, {{{{-0.5, 0.2}, {9.7, 0.1}, {9.2, 7.5}, {0.3, 6.6}}}}},
      {8, 9, 7, 23, 18, {{{{-0.5, 0.2}, {9.7, 0.1}, {9.2, 7.5}, {0.3, 6.6}}}}},
  };
  for (const Case& c : cases) {
    TFastDIB source(c.sw, c.depth, c.sh);
    FillRandom(source, uint32_t(c.depth + c.sw));
    const auto warped = [&](bool vector, int threads) {
      SetVectorLoopsEnabled(vector);
      SetPixelThreads(threads);
      TFastDIB target(c.tw, c.depth, c.th);
      WarpPageInto(source, c.quad, target);
      return PixelBytes(target);
    };
    const std::vector<uint8_t> plain = warped(false, 1);
    EXPECT_EQ(warped(false, 4), plain) << c.depth << " " << c.sw;
    EXPECT_EQ(warped(true, 1), plain) << c.depth << " " << c.sw;
    EXPECT_EQ(warped(true, 4), plain) << c.depth << " " << c.sw;
  }
}

}  // namespace
