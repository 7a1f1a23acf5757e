// The editor's rules without widgets: handle clamps, the magnifier window, the apply scope and
// the copy of chosen groups.
#include <gtest/gtest.h>

#include <memory>

#include "CaseNames.h"
#include "EditorLogic.h"

namespace {

struct ClampCase {
  THandleEdge Edge;
  int32_t Raw, Opposite, Expected;
};

class HandleClamp : public testing::TestWithParam<ClampCase> {};

TEST_P(HandleClamp, FrameLimitFirstThenTheGapWins) {
  const ClampCase c = GetParam();
  EXPECT_EQ(ClampHandle(c.Edge, c.Raw, c.Opposite), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandleClamp,
    testing::Values(
        // top bar: stops at 1 above the panel, 20 above the bottom bar
        ClampCase{THandleEdge::Top, -300, 554, 1}, ClampCase{THandleEdge::Top, 0, 554, 1},
        ClampCase{THandleEdge::Top, 1, 554, 1}, ClampCase{THandleEdge::Top, 200, 554, 200},
        ClampCase{THandleEdge::Top, 534, 554, 534}, ClampCase{THandleEdge::Top, 900, 554, 534},
        // bottom bar: stops at 589 however far, 20 below the top bar
        ClampCase{THandleEdge::Bottom, 589, 40, 589}, ClampCase{THandleEdge::Bottom, 2000, 40, 589},
        ClampCase{THandleEdge::Bottom, 60, 40, 60}, ClampCase{THandleEdge::Bottom, -5, 40, 60},
        // left bar
        ClampCase{THandleEdge::Left, -7, 380, 1}, ClampCase{THandleEdge::Left, 379, 380, 360},
        // right bar: stops at 416, 20 right of the left bar
        ClampCase{THandleEdge::Right, 417, 40, 416}, ClampCase{THandleEdge::Right, 10, 40, 60},
        // a left edge at 400 (from a document): the gap rule pushes the right bar past 416
        ClampCase{THandleEdge::Right, 300, 400, 420}, ClampCase{THandleEdge::Right, 500, 400, 420},
        // and a bottom bar at 10 keeps the top bar above the frame limit
        ClampCase{THandleEdge::Top, 5, 10, -10}),
    [](const testing::TestParamInfo<ClampCase>& info) {
      const ClampCase& c = info.param;
      const char* edge = c.Edge == THandleEdge::Top      ? "Top"
                         : c.Edge == THandleEdge::Bottom ? "Bottom"
                         : c.Edge == THandleEdge::Left   ? "Left"
                                                         : "Right";
      return CaseName({edge, "At", c.Raw, "_Opposite", c.Opposite});
    });

struct OriginCase {
  int32_t X, Y, PictureW, PictureH, Left, Top;
};

class Magnifier : public testing::TestWithParam<OriginCase> {};

TEST_P(Magnifier, WindowCentredOnThePointAndKeptInside) {
  const OriginCase c = GetParam();
  const TZoomOrigin o = MagnifierOrigin(c.X, c.Y, 420, 594, c.PictureW, c.PictureH);
  EXPECT_EQ(o.Left, c.Left);
  EXPECT_EQ(o.Top, c.Top);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Magnifier,
    testing::Values(
        // 1125 x 1500: (210, 297) is the point (562, 750)
        OriginCase{210, 297, 1125, 1500, 352, 453}, OriginCase{0, 0, 1125, 1500, 0, 0},
        // (419, 593) is the point (1122, 1497): the window stops at the far edges
        OriginCase{419, 593, 1125, 1500, 705, 906},
        // a picture of exactly the window's size never moves
        OriginCase{300, 400, 420, 594, 0, 0},
        // smaller than the window: the upper limit applied last makes the origin negative
        OriginCase{0, 0, 300, 400, -120, -194}, OriginCase{419, 593, 300, 400, -120, -194},
        // narrower but taller: negative only across
        OriginCase{210, 297, 300, 1500, -120, 453}),
    [](const testing::TestParamInfo<OriginCase>& info) {
      const OriginCase& c = info.param;
      return CaseName({"Point", c.X, "x", c.Y, "_In", c.PictureW, "x", c.PictureH});
    });

// A 5 x 4 picture whose pixel (x, y) from the top is (blue x, green y, red 7).
std::unique_ptr<TFastDIB> SmallPicture() {
  auto p = std::make_unique<TFastDIB>(5, 24, 4);
  for (int y = 0; y < 4; ++y) {
    auto* row = reinterpret_cast<BgrPixel*>(p->Scanlines[3 - y]);
    for (int x = 0; x < 5; ++x) row[x] = BgrPixel{uint8_t(x), uint8_t(y), 7};
  }
  return p;
}

void ExpectWindow(const TFastDIB& source, TZoomOrigin o, const QImage& zoom) {
  for (int y = 0; y < zoom.height(); ++y) {
    const uint8_t* out = zoom.constScanLine(y);
    for (int x = 0; x < zoom.width(); ++x) {
      const int sx = o.Left + x, sy = o.Top + y;
      const bool inside = sx >= 0 && sx < source.Width() && sy >= 0 && sy < source.AbsHeight;
      const BgrPixel want =
          inside ? BgrPixel{uint8_t(sx), uint8_t(sy), 7} : BgrPixel{255, 255, 255};
      ASSERT_EQ(out[3 * x], want.Blue) << x << "," << y;
      ASSERT_EQ(out[3 * x + 1], want.Green) << x << "," << y;
      ASSERT_EQ(out[3 * x + 2], want.Red) << x << "," << y;
    }
  }
}

TEST(MagnifierCopy, CopiesOneToOneAndLeavesTheUncoveredPartWhite) {
  const auto source = SmallPicture();
  for (const TZoomOrigin o : {TZoomOrigin{0, 0}, TZoomOrigin{-2, -1}, TZoomOrigin{-3, -3},
                              TZoomOrigin{2, 1}, TZoomOrigin{-9, 0}, TZoomOrigin{0, 5}}) {
    QImage zoom(8, 6, QImage::Format_BGR888);
    zoom.fill(Qt::black);
    CopyZoomWindow(*source, o, zoom);
    SCOPED_TRACE(testing::Message() << "origin " << o.Left << "," << o.Top);
    ExpectWindow(*source, o, zoom);
  }
}

TEST(MagnifierCopy, WindowInsideALargerPicture) {
  const auto source = SmallPicture();
  QImage zoom(3, 2, QImage::Format_BGR888);
  CopyZoomWindow(*source, {1, 2}, zoom);
  ExpectWindow(*source, {1, 2}, zoom);
}

TEST(MagnifierCopy, NoPictureOrAnotherDepthGivesWhite) {
  QImage zoom(4, 3, QImage::Format_BGR888);
  const TFastDIB none;
  const TFastDIB gray(5, 8, 4);
  for (const TFastDIB* source : {&none, &gray}) {
    zoom.fill(Qt::black);
    CopyZoomWindow(*source, {0, 0}, zoom);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 12; ++x) ASSERT_EQ(zoom.constScanLine(y)[x], 255);
  }
}

TEST(ApplyScope, PositionsOfFivePhotos) {
  auto positions = [](TApplyScope scope) {
    std::vector<int> in;
    for (int p = 1; p <= 5; ++p)
      if (InApplyScope(scope, p)) in.push_back(p);
    return in;
  };
  EXPECT_EQ(positions(TApplyScope::All), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(positions(TApplyScope::Even), (std::vector<int>{2, 4}));
  EXPECT_EQ(positions(TApplyScope::Odd), (std::vector<int>{1, 3, 5}));
}

TEST(ApplyGroups, OnlyTheChosenGroupsAreCopied) {
  TShporaData source;
  source.Rotation = 3;
  source.ImageType = 0;
  source.Brightness = -7;
  source.Contrast = 12;
  source.CropLeft = 11;
  source.CropRight = 222;
  source.CropTop = 33;
  source.CropBottom = 444;
  const TShporaData before;  // the defaults: grayscale, 1, 1, no turn, 40/380/40/554
  struct Expected {
    int What;
    bool Type, Bc, Crop, Rot;
  };
  for (const Expected e : {Expected{0, false, false, false, false},
                           Expected{ApplyImageType, true, false, false, false},
                           Expected{ApplyBrightnessContrast, false, true, false, false},
                           Expected{ApplyCropping, false, false, true, false},
                           Expected{ApplyRotation, false, false, false, true},
                           Expected{ApplyCropping | ApplyRotation, false, false, true, true},
                           Expected{15, true, true, true, true}}) {
    SCOPED_TRACE(e.What);
    TShporaData t = before;
    CopyChosenGroups(source, t, e.What);
    EXPECT_EQ(t.ImageType, e.Type ? 0 : 1);
    EXPECT_EQ(t.Brightness, e.Bc ? -7 : 1);
    EXPECT_EQ(t.Contrast, e.Bc ? 12 : 1);
    EXPECT_EQ(t.Rotation, e.Rot ? 3 : 0);
    EXPECT_EQ(t.CropLeft, e.Crop ? 11 : 40);
    EXPECT_EQ(t.CropRight, e.Crop ? 222 : 380);
    EXPECT_EQ(t.CropTop, e.Crop ? 33 : 40);
    EXPECT_EQ(t.CropBottom, e.Crop ? 444 : 554);
  }
}

}  // namespace
