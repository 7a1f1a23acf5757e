// The page finder on generated photos at the working size: the corners where the page is, in
// the picture's own order, on the hard conditions; no page on a desk, a flat picture or noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "PageFind.h"
#include "PageGen.h"

namespace {

constexpr int kWorkingSide = 1500;

// The largest corner distance in units of the page's diagonal, the truth (by the page's own
// top) turned to the finder's picture order first.
double CornerError(const TPagePhoto& photo, const TPageQuad& quad) {
  const auto& t = photo.Corners;
  const double diagonal = std::hypot(t[0].x() - t[2].x(), t[0].y() - t[2].y());
  double best = 1e9;
  for (int shift = 0; shift < 4; ++shift) {
    double worst = 0;
    for (int k = 0; k < 4; ++k) {
      const QPointF& truth = t[size_t((k + shift) % 4)];
      worst = std::max(worst, std::hypot(quad.Corners[size_t(k)].X - truth.x(),
                                         quad.Corners[size_t(k)].Y - truth.y()));
    }
    best = std::min(best, worst);
  }
  return best / diagonal;
}

struct TPlanCase {
  const char* Name;
  int Index;
};

// clang-format off
const TPlanCase PlanCases[] = {
  {"WhitePageOffWhiteDesk",        4},
  {"EdgeTextOnChecks",             2},
  {"TableOnWoodFillingThePhoto",  11},
  {"TableOnWoodTopRightShadow",   16},
  {"OffWhiteOnWoodSmallPage",     21},
  {"TableOnChecksTopRight",       22},
};
// clang-format on

class PageFindPlans : public testing::TestWithParam<TPlanCase> {};

TEST_P(PageFindPlans, FindsTheCornersWithinOnePercentInPictureOrder) {
  const TPagePhoto photo = GeneratePagePhoto(GetParam().Index, kWorkingSide);
  const TPageFindResult result = FindPage(*photo.Photo);
  ASSERT_EQ(result.Outcome, TPageFindOutcome::Found) << "score " << result.Score;
  EXPECT_LE(CornerError(photo, result.Corners), 0.01);
  EXPECT_TRUE(IsUsablePageQuad(result.Corners, photo.Photo->Width(), photo.Photo->AbsHeight));
  // The first corner is the one nearest the picture's top-left, whichever way the page faces.
  const auto& c = result.Corners.Corners;
  for (int k = 1; k < 4; ++k) EXPECT_LT(c[0].X + c[0].Y, c[size_t(k)].X + c[size_t(k)].Y);
  EXPECT_GT(result.Score, 0.4);
}

INSTANTIATE_TEST_SUITE_P(Generated, PageFindPlans, testing::ValuesIn(PlanCases),
                         [](const testing::TestParamInfo<TPlanCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST(PageFind, GrayPictureWorksAsWell) {
  const TPagePhoto photo = GeneratePagePhoto(6, kWorkingSide);
  TFastDIB gray;
  photo.Photo->ConvertToGray(gray);
  ASSERT_EQ(gray.BitCount(), 8);
  const TPageFindResult result = FindPage(gray);
  ASSERT_TRUE(result.Found());
  EXPECT_LE(CornerError(photo, result.Corners), 0.01);
}

std::unique_ptr<TFastDIB> Crop(const TFastDIB& source, int x, int y, int w, int h) {
  TFastDIB view;
  view.AttachRegion(source, x, y, w, h);
  auto copy = std::make_unique<TFastDIB>(view.Width(), source.BitCount(), view.AbsHeight);
  view.ConvertInto(*copy);
  return copy;
}

std::unique_ptr<TFastDIB> Filled(int w, int h, int seed) {
  auto image = std::make_unique<TFastDIB>(w, 24, h);
  std::mt19937 random(uint32_t(seed > 0 ? seed : 1));
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < 3 * w; ++i)
      image->Scanlines[size_t(y)][size_t(i)] = seed > 0 ? uint8_t(random()) : uint8_t(200);
  return image;
}

TEST(PageFind, NoPageIsNotFound) {
  // Desks cut from photos away from their pages: the gingham's bands and the wood's planks are
  // long straight edges with a lighter side.
  const TPagePhoto checks = GeneratePagePhoto(22, kWorkingSide);  // page below y = 900
  const TPagePhoto wood = GeneratePagePhoto(21, kWorkingSide);    // page left of x = 700
  struct {
    const char* Name;
    std::unique_ptr<TFastDIB> Picture;
  } cases[] = {
      {"checks desk", Crop(*checks.Photo, 0, 0, 1125, 840)},
      {"wood desk", Crop(*wood.Photo, 720, 0, 780, 1125)},
      {"uniform", Filled(1500, 1125, 0)},
      {"noise", Filled(1500, 1125, 7)},
  };
  for (const auto& c : cases) {
    const TPageFindResult result = FindPage(*c.Picture);
    EXPECT_FALSE(result.Found()) << c.Name << ", score " << result.Score;
  }
}

TEST(PageFind, EmptyPictureHasNoPage) {
  const TFastDIB empty;
  EXPECT_EQ(FindPage(empty).Outcome, TPageFindOutcome::NoPage);
  EXPECT_EQ(PageFindOutcomeText(TPageFindOutcome::Unsure),
            QStringLiteral("not sure where the page is"));
}

}  // namespace
