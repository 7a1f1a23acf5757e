// The editor's rules without widgets: handle clamps, the magnifier window, where a page corner
// appears in the view, the apply scope and the copy of chosen groups.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <utility>

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

// --- Page corners in the view, for every rotation code (7 is stored by no editor: no turn) ---

struct TurnCase {
  const char* Name;
  int32_t Rotation;
  // Where the picture's top-left, top-right, bottom-right and bottom-left corners land in the view,
  // as (0 or 1, 0 or 1) fractions of its width and height, give or take the one-pixel shift of
  // the turn.
  std::array<std::array<int, 2>, 4> Lands;
};

// Turns a w x h picture whose pixel (x, y) is (blue x, green y) as the processing does and checks
// that every pixel centre maps into the turned pixel holding that pixel. Where the turn shifts the
// picture by a pixel, a source row, a column or both fall off its edges: at most those may map
// outside.
void ExpectCentresOnTurnedPixels(int32_t rotation, int w, int h) {
  TFastDIB source(w, 24, h);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<BgrPixel*>(source.Scanlines[h - 1 - y]);
    for (int x = 0; x < w; ++x) row[x] = BgrPixel{uint8_t(x), uint8_t(y), 9};
  }
  const bool sideways = rotation == 1 || rotation == 2;
  const int tw = sideways ? h : w, th = sideways ? w : h;
  TFastDIB turned(tw, 24, th);
  if (rotation >= 1 && rotation <= 3)
    source.RotateInto(turned, 65536, rotation == 1 ? 90 : rotation == 2 ? -90 : 180);
  else
    source.DrawTo(turned, 0, 0);
  int dropped = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TPagePoint v = PictureToView({x + 0.5, y + 0.5}, rotation, w, h, tw, th);
      const int u = static_cast<int>(std::floor(v.X)), t = static_cast<int>(std::floor(v.Y));
      if (u < 0 || u >= tw || t < 0 || t >= th) {
        ++dropped;
        continue;
      }
      const auto* row = reinterpret_cast<const BgrPixel*>(turned.Scanlines[th - 1 - t]);
      EXPECT_EQ(row[u].Blue, x) << x << "," << y;
      EXPECT_EQ(row[u].Green, y) << x << "," << y;
    }
  EXPECT_LE(dropped, w + h - 1);
}

class PageCornerMapping : public testing::TestWithParam<TurnCase> {};

TEST_P(PageCornerMapping, PictureCornersLandOnTheTurnedViewsCorners) {
  const TurnCase c = GetParam();
  const TPageQuad own{
      {TPagePoint{0, 0}, TPagePoint{1000, 0}, TPagePoint{1000, 1500}, TPagePoint{0, 1500}}};
  const double pixel = 594.0 / 1000 * 1.001;  // one picture pixel, the most the view shifts
  for (int i = 0; i < 4; ++i) {
    const TPagePoint v = PictureToView(own.Corners[i], c.Rotation, 1000, 1500);
    EXPECT_NEAR(v.X, c.Lands[i][0] * 420.0, pixel) << "corner " << i;
    EXPECT_NEAR(v.Y, c.Lands[i][1] * 594.0, pixel) << "corner " << i;
  }
}

TEST_P(PageCornerMapping, ViewToPictureUndoesPictureToView) {
  const TurnCase c = GetParam();
  for (const auto& [w, h] : {std::pair{210, 297}, std::pair{1061, 1500}, std::pair{1, 3}})
    for (const TPagePoint p : {TPagePoint{0, 0}, TPagePoint{17.25, 3.5}, TPagePoint{w, h},
                               TPagePoint{-12.5, h + 40.0}, TPagePoint{w * 0.7, h * 0.1}}) {
      const TPagePoint v = PictureToView(p, c.Rotation, w, h, 420, 594);
      const TPagePoint back = ViewToPicture(v, c.Rotation, w, h, 420, 594);
      EXPECT_NEAR(back.X, p.X, 1e-9) << w << "x" << h;
      EXPECT_NEAR(back.Y, p.Y, 1e-9) << w << "x" << h;
    }
}

// The map must agree with the turn the processing makes: each source pixel's centre maps to the
// pixel of the turned picture that holds it.
TEST_P(PageCornerMapping, PixelCentresGoWhereRotateIntoPutsThePixels) {
  const TurnCase c = GetParam();
  for (const auto& [w, h] : {std::pair{7, 4}, std::pair{6, 4}, std::pair{7, 5}, std::pair{6, 9}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    ExpectCentresOnTurnedPixels(c.Rotation, w, h);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, PageCornerMapping,
    testing::Values(TurnCase{"None", 0, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}},
                    // clockwise: the picture's top-left corner goes to the top-right one
                    TurnCase{"Clockwise", 1, {{{1, 0}, {1, 1}, {0, 1}, {0, 0}}}},
                    TurnCase{"Counterclockwise", 2, {{{0, 1}, {0, 0}, {1, 0}, {1, 1}}}},
                    TurnCase{"HalfTurn", 3, {{{1, 1}, {0, 1}, {0, 0}, {1, 0}}}},
                    TurnCase{"UnknownCode", 7, {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}}),
    [](const testing::TestParamInfo<TurnCase>& i) { return std::string(i.param.Name); });

TEST(PageCornerMapping, DefaultCornersAreInsetAndUsable) {
  const TPageQuad q = DefaultPageCorners(200, 300);
  EXPECT_DOUBLE_EQ(q.Corners[0].X, 10);
  EXPECT_DOUBLE_EQ(q.Corners[0].Y, 15);
  EXPECT_DOUBLE_EQ(q.Corners[2].X, 190);
  EXPECT_DOUBLE_EQ(q.Corners[2].Y, 285);
  EXPECT_DOUBLE_EQ(q.Corners[1].X, 190);
  EXPECT_DOUBLE_EQ(q.Corners[3].Y, 285);
  EXPECT_TRUE(IsUsablePageQuad(q, 200, 300));
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
