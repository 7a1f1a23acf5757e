// The page photo generator: the same photo every time, corners where the page's edges are, a
// table that holds every condition, and files a decoder reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include "Codecs.h"
#include "PageGen.h"

namespace {

struct TLevel {
  double Luma, Chroma;  // Chroma: the largest channel minus the smallest
};

// The photo at continuous point (x, y), pixel centres at +0.5, read bilinearly.
TLevel LevelAt(const TFastDIB& photo, double x, double y) {
  const int w = photo.Width(), h = photo.AbsHeight;
  x = std::clamp(x - 0.5, 0.0, w - 1.001);
  y = std::clamp(y - 0.5, 0.0, h - 1.001);
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  const double tx = x - ix, ty = y - iy;
  double rgb[3] = {0, 0, 0};
  for (int dy = 0; dy < 2; ++dy)
    for (int dx = 0; dx < 2; ++dx) {
      const auto* p =
          reinterpret_cast<const BgrPixel*>(photo.Scanlines[h - 1 - (iy + dy)]) + ix + dx;
      const double weight = (dx ? tx : 1 - tx) * (dy ? ty : 1 - ty);
      rgb[0] += weight * p->Red;
      rgb[1] += weight * p->Green;
      rgb[2] += weight * p->Blue;
    }
  return {0.299 * rgb[0] + 0.587 * rgb[1] + 0.114 * rgb[2],
          *std::max_element(rgb, rgb + 3) - *std::min_element(rgb, rgb + 3)};
}

QPointF Centre(const std::array<QPointF, 4>& c) { return (c[0] + c[1] + c[2] + c[3]) / 4.0; }

double Cross(QPointF a, QPointF b) { return a.x() * b.y() - a.y() * b.x(); }

// Across the page's edge from corner k to corner k + 1: the levels outside and inside, and where
// between them the photo crosses their middle, in pixels along the inward normal from the true
// edge (0 when the truth is exact). Each reading averages a stretch along the edge against the
// noise.
struct TEdgeProfile {
  TLevel Outside, Inside;
  double Crossing;
};

TEdgeProfile Profile(const TPagePhoto& photo, int k) {
  const QPointF a = photo.Corners[k], b = photo.Corners[(k + 1) % 4];
  const QPointF along = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
  QPointF inward(-along.y(), along.x());
  const QPointF mid = (a + b) / 2.0;
  if (QPointF::dotProduct(inward, Centre(photo.Corners) - mid) < 0) inward = -inward;
  auto reading = [&](double d) {
    TLevel sum{0, 0};
    for (int s = -8; s <= 8; s += 2) {
      const QPointF p = mid + inward * d + along * s;
      const TLevel l = LevelAt(*photo.Photo, p.x(), p.y());
      sum.Luma += l.Luma / 9;
      sum.Chroma += l.Chroma / 9;
    }
    return sum;
  };
  TEdgeProfile profile{reading(-5), reading(5), NAN};
  const double middle = 0.5 * (profile.Outside.Luma + profile.Inside.Luma);
  const double sign = profile.Inside.Luma > profile.Outside.Luma ? 1 : -1;
  double previous = reading(-4).Luma;
  for (double d = -3.9; d <= 4.0; d += 0.1) {
    const double now = reading(d).Luma;
    if (sign * (now - middle) >= 0) {
      profile.Crossing = d - 0.1 * (now - middle) / (now - previous);
      break;
    }
    previous = now;
  }
  return profile;
}

}  // namespace

TEST(PageGen, SameIndexGivesSameBytesAndOtherIndexAnotherPhoto) {
  const TPagePhoto a = GeneratePagePhoto(5, 320), b = GeneratePagePhoto(5, 320),
                   c = GeneratePagePhoto(29, 320);
  EXPECT_EQ(a.Jpeg, b.Jpeg);
  EXPECT_EQ(a.Corners, b.Corners);
  // Photo 29 repeats row 5 of the table with its own seed: the same conditions, another photo.
  EXPECT_NE(a.Jpeg, c.Jpeg);
  EXPECT_NE(a.Corners, c.Corners);
  EXPECT_THROW(GeneratePagePhoto(-1), std::invalid_argument);
}

TEST(PageGen, TableHoldsEveryCondition) {
  std::set<int> papers, tones, desks, tops, lights, shadows, tables, edges, photos;
  double minFill = 1, maxFill = 0, maxRotation = 0, maxTilt = 0;
  ASSERT_GE(PagePlanCount(), 24);
  for (int i = 0; i < PagePlanCount(); ++i) {
    const TPhotoPlan p = PagePlan(i);
    papers.insert(int(p.Paper));
    tones.insert(int(p.Tone));
    desks.insert(int(p.Desk));
    tops.insert(int(p.Top));
    lights.insert(int(p.Light));
    shadows.insert(p.Shadow);
    tables.insert(p.Table);
    edges.insert(p.EdgeText);
    photos.insert(p.PortraitPhoto);
    minFill = std::min(minFill, p.Fill);
    maxFill = std::max(maxFill, p.Fill);
    maxRotation = std::max(maxRotation, std::abs(p.RotationDeg));
    maxTilt = std::max({maxTilt, std::abs(p.PitchDeg), std::abs(p.YawDeg)});
    EXPECT_GE(p.Quality, 80);
    EXPECT_LE(p.Quality, 85);
  }
  EXPECT_EQ(papers.size(), 3u);
  EXPECT_EQ(tones.size(), 2u);
  EXPECT_EQ(desks.size(), 5u);
  EXPECT_EQ(tops.size(), 4u);
  EXPECT_EQ(lights.size(), 3u);
  for (const auto* both : {&shadows, &tables, &edges, &photos}) EXPECT_EQ(both->size(), 2u);
  EXPECT_LE(minFill, 0.5);
  EXPECT_GE(maxFill, 0.95);
  EXPECT_GE(maxRotation, 7.5);
  EXPECT_LE(maxRotation, 8.0);
  EXPECT_GE(maxTilt, 20.0);
}

// Every photo of the table, small: the corners lie in the photo in the page's own clockwise
// order, the page's top-left corner sits where its top faces, and the page fills the photo as
// planned.
TEST(PageGen, CornersFollowThePlan) {
  for (int i = 0; i < PagePlanCount(); ++i) {
    SCOPED_TRACE(i);
    const TPagePhoto photo = GeneratePagePhoto(i, 200);
    const int w = photo.Photo->Width(), h = photo.Photo->AbsHeight;
    EXPECT_EQ(std::max(w, h), 200);
    EXPECT_EQ(photo.Plan.PortraitPhoto, h > w);
    double left = w, right = 0, top = h, bottom = 0;
    for (int k = 0; k < 4; ++k) {
      const QPointF p = photo.Corners[k];
      EXPECT_TRUE(p.x() > 0 && p.x() < w && p.y() > 0 && p.y() < h) << p.x() << "," << p.y();
      // With y down, clockwise on the photo turns with a positive cross product.
      EXPECT_GT(Cross(photo.Corners[(k + 1) % 4] - p,
                      photo.Corners[(k + 2) % 4] - photo.Corners[(k + 1) % 4]),
                0);
      left = std::min(left, p.x()), right = std::max(right, p.x());
      top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
    }
    EXPECT_NEAR(std::max((right - left) / w, (bottom - top) / h), photo.Plan.Fill, 1e-9);
    const QPointF fromCentre = photo.Corners[0] - Centre(photo.Corners);
    // clang-format off
    const int expected[4][2] = {  // signs of x and y of the top-left corner by the page's top
      {-1, -1},  // up
      {+1, -1},  // right
      {+1, +1},  // down
      {-1, +1},  // left
    };
    // clang-format on
    const int* sign = expected[int(photo.Plan.Top)];
    EXPECT_GT(sign[0] * fromCentre.x(), 0);
    EXPECT_GT(sign[1] * fromCentre.y(), 0);
  }
}

// Photos of each desk without a shadow or text at the edges: along every edge the photo steps
// from desk to paper within a fraction of a pixel of the true edge, and inside it is paper.
TEST(PageGen, PageEdgesAreWhereTheCornersSay) {
  struct TCase {
    int Index;
    double MinContrast;  // paper over desk, in luma levels
    // The desk's contact shadow darkens it next to the page, which moves the middle level a
    // little inwards where paper and desk are close.
    double Tolerance;  // pixels
  };
  // dark, wood, pale, off-white, checks (whose pale bands come close to the paper)
  const TCase cases[] = {{0, 80, 0.2}, {1, 40, 0.25}, {3, 20, 0.45}, {4, 8, 0.55}, {17, -1, 0.5}};
  for (const TCase& c : cases) {
    const TPagePhoto photo = GeneratePagePhoto(c.Index, 640);
    ASSERT_FALSE(photo.Plan.Shadow || photo.Plan.EdgeText) << c.Index;
    int measured = 0;
    for (int k = 0; k < 4; ++k) {
      SCOPED_TRACE(testing::Message() << "photo " << c.Index << " edge " << k);
      const TEdgeProfile p = Profile(photo, k);
      EXPECT_GT(p.Inside.Luma, 150);
      EXPECT_LT(p.Inside.Chroma, 30);
      const double contrast = p.Inside.Luma - p.Outside.Luma;
      if (c.MinContrast >= 0) {
        EXPECT_GT(contrast, c.MinContrast);
      }
      if (std::abs(contrast) < 8) continue;
      ++measured;
      EXPECT_LT(std::abs(p.Crossing), c.Tolerance) << "contrast " << contrast;
    }
    EXPECT_GE(measured, 2) << c.Index;
  }
}

TEST(PageGen, WrittenSetDecodesAndMatchesTheTruth) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  WritePageSet(dir.path() + "/set", 2, 240);
  QFile truthFile(dir.path() + "/set/truth.json");
  ASSERT_TRUE(truthFile.open(QIODevice::ReadOnly));
  const QJsonArray truth = QJsonDocument::fromJson(truthFile.readAll()).array();
  ASSERT_EQ(truth.size(), 2);
  for (int i = 0; i < 2; ++i) {
    const QJsonObject entry = truth[i].toObject();
    const TPagePhoto expected = GeneratePagePhoto(i, 240);
    ASSERT_EQ(entry["file"].toString(), QStringLiteral("page-0%1.jpg").arg(i));
    const QByteArray jpeg = ReadWholeFile(dir.path() + "/set/" + entry["file"].toString());
    EXPECT_EQ(jpeg, expected.Jpeg);
    const auto decoded =
        TFastDIB::LoadFromJpegFile(dir.path() + "/set/" + entry["file"].toString());
    EXPECT_EQ(decoded->BitCount(), 24);
    EXPECT_EQ(decoded->Width(), entry["width"].toInt());
    EXPECT_EQ(decoded->AbsHeight, entry["height"].toInt());
    // Phone-like chroma: the first component sampled 2 x 2, the other two 1 x 1 (4:2:0).
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GE(frame, 0);
    EXPECT_EQ(uint8_t(jpeg[frame + 11]), 0x22);
    EXPECT_EQ(uint8_t(jpeg[frame + 14]), 0x11);
    EXPECT_EQ(uint8_t(jpeg[frame + 17]), 0x11);
    const QJsonArray corners = entry["corners"].toArray();
    ASSERT_EQ(corners.size(), 4);
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(corners[k].toArray()[0].toDouble(), expected.Corners[k].x());
      EXPECT_EQ(corners[k].toArray()[1].toDouble(), expected.Corners[k].y());
    }
    EXPECT_EQ(entry["aspect"].toDouble(), expected.Aspect);
    EXPECT_EQ(entry["conditions"].toObject(), PlanConditions(expected.Plan));
  }
}
