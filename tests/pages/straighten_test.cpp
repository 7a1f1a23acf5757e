// Straightening a page: a photo whose page corners are known is flattened before everything else
// processing does, and a photo without them (or with straightening off, or with corners that do
// not fit its picture) is processed exactly as before.
#include <gtest/gtest.h>

#include <cstdlib>

#include "PagesTestSupport.h"
#include "Shpora.h"
#include "SyntheticPage.h"

using namespace pagestest;

namespace {

class Straighten : public WorkFolderTest {
 protected:
  // An imported photo of the page (portrait, so not turned by the import).
  std::unique_ptr<TShpora> Imported(const synthpage::TPagePhoto& shot) {
    const synthpage::Matrix back = synthpage::Inverse(shot.Map());
    const QString path = PathOf(QStringLiteral("page.jpg"));
    EXPECT_TRUE(WriteBytes(path, EncodeJpegWithLibjpeg(shot.PhotoW, shot.PhotoH, [&](int x, int y) {
                             return shot.PhotoColour(x, y, back);
                           })));
    auto record = TShpora::CreateFromPhoto(path, Folder());
    record->ImageType = 0;  // colour, neutral tables: the page's own colours come through
    record->Brightness = 0;
    record->Contrast = 0;
    return record;
  }
};

int Luma(const BgrPixel& p) { return (p.Blue + p.Green + p.Red) / 3; }

struct ShotCase {
  const char* name;
  double pitch, yaw, pageW, pageH;
};

TEST_F(Straighten, TheProcessedPageHasThePagesAspectAndContent) {
  const ShotCase cases[] = {
      {"TiltedBothWays", 20, 10, 700, 1000},
      {"TiltedTowardsTheUser", 25, 0, 700, 1000},
      {"SquarishPage", -15, 12, 900, 1000},
  };
  for (const ShotCase& c : cases) {
    synthpage::TPagePhoto shot;
    shot.Pitch = c.pitch;
    shot.Yaw = c.yaw;
    shot.PageW = c.pageW;
    shot.PageH = c.pageH;
    auto record = Imported(shot);
    record->Page.HasCorners = true;
    record->Page.Corners = shot.Corners();
    record->Page.Straighten = true;
    record->Reload(true);
    const TFastDIB& full = *record->FullImage;
    const double aspect = double(full.Width()) / full.AbsHeight;
    const double truth = c.pageW / c.pageH;
    EXPECT_NEAR(aspect, truth, 0.01 * truth) << c.name;
    EXPECT_EQ(full.AbsHeight, shot.PhotoH) << c.name;  // the longer side stays the photo's

    // Sample the middle of each feature of the page, and paper between them.
    const auto at = [&](double u, double v) {
      return PixelAt(full, int(u * full.Width()), int(v * full.AbsHeight));
    };
    EXPECT_LT(Luma(at(0.22, 0.2)), 80) << c.name << ": the dark square";
    EXPECT_GT(Luma(at(0.7, 0.2)), 200) << c.name << ": paper right of it";
    EXPECT_GT(Luma(at(0.5, 0.5)), 200) << c.name << ": paper in the middle";
    const BgrPixel bar = at(0.5, 0.85);
    EXPECT_GT(bar.Red, 180) << c.name << ": the red bar";
    EXPECT_LT(bar.Blue, 90) << c.name << ": the red bar";
    // The page fills the picture: no desk at its edges.
    EXPECT_GT(Luma(at(0.02, 0.5)), 180) << c.name;
    EXPECT_GT(Luma(at(0.98, 0.5)), 180) << c.name;
    EXPECT_GT(Luma(at(0.5, 0.02)), 180) << c.name;
    EXPECT_GT(Luma(at(0.5, 0.98)), 180) << c.name;
  }
}

// Geometry that does not straighten leaves every processed byte as it is without any.
TEST_F(Straighten, WithoutStraighteningThePicturesAreThoseOfAPhotoWithoutCorners) {
  const synthpage::TPagePhoto shot;
  auto plain = Imported(shot);
  plain->Reload(true);
  const std::unique_ptr<TFastDIB> full = CopyOf(*plain->FullImage);
  const std::unique_ptr<TFastDIB> preview = CopyOf(*plain->Preview);

  TPageGeometry off;
  off.HasCorners = true;
  off.Corners = shot.Corners();
  off.Straighten = false;
  TPageGeometry unusable = off;
  unusable.Straighten = true;
  std::swap(unusable.Corners.Corners[1], unusable.Corners.Corners[3]);  // the wrong way round
  TPageGeometry outside = off;
  outside.Straighten = true;
  outside.Corners.Corners[2] = {5000, 8000};
  TPageGeometry switchedOnWithoutCorners;
  switchedOnWithoutCorners.Straighten = true;
  const struct {
    const char* name;
    TPageGeometry page;
  } cases[] = {{"StraightenOff", off},
               {"CornersInTheWrongOrder", unusable},
               {"CornerFarOutside", outside},
               {"SwitchWithoutCorners", switchedOnWithoutCorners}};
  for (const auto& c : cases) {
    plain->Page = c.page;
    ASSERT_NO_THROW(plain->Reload(true)) << c.name;
    EXPECT_TRUE(SamePixels(*plain->FullImage, *full)) << c.name;
    EXPECT_TRUE(SamePixels(*plain->Preview, *preview)) << c.name;
  }
}

// The preview kept from the last Reload stands only for the geometry it was made with.
TEST_F(Straighten, ThePreviewFollowsTheSwitch) {
  const synthpage::TPagePhoto shot;
  auto record = Imported(shot);
  record->Reload(false);
  const std::unique_ptr<TFastDIB> asItLies = CopyOf(*record->Preview);
  record->Page.HasCorners = true;
  record->Page.Corners = shot.Corners();
  record->Page.Straighten = true;
  record->Reload(false);
  EXPECT_FALSE(SamePixels(*record->Preview, *asItLies));
  const std::unique_ptr<TFastDIB> straight = CopyOf(*record->Preview);
  record->Page.Straighten = false;
  record->Reload(false);
  EXPECT_TRUE(SamePixels(*record->Preview, *asItLies));
  record->Page.Straighten = true;
  record->Reload(true);
  EXPECT_TRUE(SamePixels(*record->Preview, *straight));
}

// The import's hook sees the reduced picture before the record is processed, and what it sets
// is what the preview is made with.
TEST_F(Straighten, TheImportHookStraightensBeforeThePreviewIsMade) {
  synthpage::TPagePhoto shot;
  shot.PhotoW = 1800;  // decoded by the import at half its size
  shot.PhotoH = 2400;
  const synthpage::Matrix back = synthpage::Inverse(shot.Map());
  const QString path = PathOf(QStringLiteral("big.jpg"));
  ASSERT_TRUE(WriteBytes(path, EncodeJpegWithLibjpeg(shot.PhotoW, shot.PhotoH, [&](int x, int y) {
                           return shot.PhotoColour(x, y, back);
                         })));
  int seenW = 0, seenH = 0;
  TPageQuad corners = shot.Corners();
  for (TPagePoint& p : corners.Corners) p = {p.X / 2, p.Y / 2};
  auto record =
      TShpora::CreateFromPhoto(path, Folder(), [&](const TFastDIB& picture, TShporaData& data) {
        seenW = picture.Width();
        seenH = picture.AbsHeight;
        data.Page.HasCorners = true;
        data.Page.Corners = corners;
        data.Page.Straighten = true;
      });
  EXPECT_EQ(seenW, 900);
  EXPECT_EQ(seenH, 1200);
  const std::unique_ptr<TFastDIB> imported = CopyOf(*record->Preview);
  // The same from the working copy: the imported preview was made straightened too.
  record->Reload(true);
  EXPECT_NEAR(double(record->FullImage->Width()) / record->FullImage->AbsHeight, 0.7, 0.007);
  double difference = 0;
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x)
      difference +=
          std::abs(Luma(PixelAt(*imported, x, y)) - Luma(PixelAt(*record->Preview, x, y)));
  EXPECT_LT(difference / (kFrameWidth * kFrameHeight), 3);
}

}  // namespace

namespace {

// The page the document and command-line tests import with finding: the finder must see it.
TEST_F(Straighten, TheFinderFindsTheDrawnPage) {
  const synthpage::TPagePhoto shot = synthpage::EasyShot();
  auto record = Imported(shot);
  const TPageFindResult found = record->FindPageInWorkingCopy();
  ASSERT_TRUE(found.Found()) << PageFindOutcomeText(found.Outcome).toStdString() << " score "
                             << found.Score;
  const TPageQuad truth = shot.Corners();
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(found.Corners.Corners[i].X, truth.Corners[i].X, 12) << i;
    EXPECT_NEAR(found.Corners.Corners[i].Y, truth.Corners[i].Y, 12) << i;
  }
}

}  // namespace
