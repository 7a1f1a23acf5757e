// The page finder on drawn pictures: a light quadrilateral with print on a darker, noisy desk
// gives its corners back in picture order at both depths; flat or empty pictures give no page.
// The generated camera-like photos are tested beside their generator (bench/pagegen).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "PageFind.h"

namespace {

// Signed distance of (x, y) from the side a -> b, positive on the page's side (to the right of
// a -> b on the screen, y down, for corners in clockwise order).
double Inside(const TPagePoint& a, const TPagePoint& b, double x, double y) {
  const double dx = b.X - a.X, dy = b.Y - a.Y, len = std::hypot(dx, dy);
  return ((x - a.X) * dy - (y - a.Y) * dx) / -len;
}

// A desk of level `desk` with noise, the page at level 240 with edges smoothed over a pixel,
// and dark rules across the page a few pixels inside its top and bottom sides (a table's lines
// and lines of print that must not be taken for the page's edges).
std::unique_ptr<TFastDIB> DrawnPage(int w, int h, const TPageQuad& q, int desk) {
  auto image = std::make_unique<TFastDIB>(w, 24, h);
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0, 3);
  const auto& c = q.Corners;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<BgrPixel*>(image->Scanlines[size_t(h - 1 - y)]);
    for (int x = 0; x < w; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      double d = 1e9;
      for (int k = 0; k < 4; ++k)
        d = std::min(d, Inside(c[size_t(k)], c[size_t((k + 1) % 4)], px, py));
      const double cover = std::clamp(d + 0.5, 0.0, 1.0);
      double level = desk + cover * (240 - desk);
      const double fromTop = Inside(c[0], c[1], px, py), fromBottom = Inside(c[2], c[3], px, py);
      const bool rule = (std::abs(fromTop - 30) < 1.5 || std::abs(fromBottom - 30) < 1.5 ||
                         (fromTop > 60 && std::fmod(fromTop, 24) < 6)) &&
                        d > 25;
      if (rule) level = 60;
      const auto v = uint8_t(std::clamp(level + noise(random), 0.0, 255.0));
      row[x] = {v, v, v};
    }
  }
  return image;
}

double LargestError(const TPageQuad& found, const TPageQuad& truth) {
  double worst = 0;
  for (int k = 0; k < 4; ++k)
    worst = std::max(worst, std::hypot(found.Corners[size_t(k)].X - truth.Corners[size_t(k)].X,
                                       found.Corners[size_t(k)].Y - truth.Corners[size_t(k)].Y));
  return worst;
}

struct TDrawnCase {
  const char* Name;
  int Width, Height, Depth, Desk;
  TPageQuad Quad;
};

// clang-format off
const TDrawnCase DrawnCases[] = {
  {"PortraitPerspective24", 1125, 1500, 24,  60, {{{{180, 160}, {960, 120}, {1010, 1390}, {120, 1330}}}}},
  {"LandscapeTurned8",      1500, 1125,  8, 150, {{{{260, 170}, {1290, 120}, {1330, 930}, {220, 990}}}}},
  {"SmallPageOnPaleDesk",   1500, 1125, 24, 205, {{{{520, 260}, {1030, 300}, {1000, 900}, {480, 860}}}}},
};
// clang-format on

class PageFindDrawn : public testing::TestWithParam<TDrawnCase> {};

TEST_P(PageFindDrawn, FindsTheDrawnCorners) {
  const TDrawnCase& c = GetParam();
  auto colour = DrawnPage(c.Width, c.Height, c.Quad, c.Desk);
  TFastDIB gray;
  if (c.Depth == 8) colour->ConvertToGray(gray);
  const TFastDIB& picture = c.Depth == 8 ? gray : *colour;
  const TPageFindResult result = FindPage(picture);
  ASSERT_EQ(result.Outcome, TPageFindOutcome::Found) << "score " << result.Score;
  const double diagonal = std::hypot(c.Quad.Corners[0].X - c.Quad.Corners[2].X,
                                     c.Quad.Corners[0].Y - c.Quad.Corners[2].Y);
  EXPECT_LE(LargestError(result.Corners, c.Quad), 0.01 * diagonal);
}

INSTANTIATE_TEST_SUITE_P(Drawn, PageFindDrawn, testing::ValuesIn(DrawnCases),
                         [](const testing::TestParamInfo<TDrawnCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST(PageFindDrawn, FlatOrEmptyPictureHasNoPage) {
  EXPECT_EQ(FindPage(TFastDIB()).Outcome, TPageFindOutcome::NoPage);
  for (const int depth : {8, 24}) {
    TFastDIB flat(1500, depth, 1125);
    for (auto* row : flat.Scanlines) std::fill_n(row, flat.Stride, uint8_t(180));
    EXPECT_EQ(FindPage(flat).Outcome, TPageFindOutcome::NoPage) << depth << " bits";
  }
  // Too small to hold a page worth finding.
  TFastDIB tiny(20, 24, 20);
  EXPECT_EQ(FindPage(tiny).Outcome, TPageFindOutcome::NoPage);
}

}  // namespace
