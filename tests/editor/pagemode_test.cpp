// Page mode of the editor with real photo records: the photo as it lies with the round corner
// handles, dragging a corner, "Straighten", "Find page", and "Apply to many..." looking for pages.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "Codecs.h"
#include "EditorPage.h"
#include "EditorTestSupport.h"
#include "EditorWidgets.h"
#include "FormProps.h"
#include "ScriptedWait.h"

namespace {

class PageModeTest : public testing::Test {
 protected:
  void SetUp() override {
    Page = std::make_unique<TEditorPage>(Host);
    Page->show();
  }
  void TearDown() override { Page.reset(); }

  // 210 x 297 keeps the working JPEG at the photo's size: half the view in each direction.
  TShpora* Open(int width = 210, int height = 297) {
    TShpora* photo = Photos.Add(width, height);
    Host.List = Photos.All();
    Page->SelectPhoto(photo);
    return photo;
  }
  std::vector<TCornerHandle*> Corners() const {
    return {Page->pc1, Page->pc2, Page->pc3, Page->pc4};
  }
  std::vector<TCropHandle*> Bars() const { return {Page->pp1, Page->pp2, Page->pp3, Page->pp4}; }
  // Where a handle's centre is in the view (the image lies 2 pixels into the panel).
  static QPoint InView(const TCornerHandle* h) { return h->CentrePoint() - QPoint(2, 2); }

  // Drags a corner handle by (dx, dy) in steps, and releases it there.
  void Drag(TCornerHandle* h, std::vector<QPoint> moves) {
    const QPoint grab(TCornerHandle::kDiameter / 2, TCornerHandle::kDiameter / 2);
    Press(h, grab);
    // Each move is given relative to where the handle was grabbed, as the pointer goes.
    const QPoint start = h->pos();
    for (const QPoint& d : moves) MoveHeld(h, grab + start + d - h->pos());
    Release(h, grab + start + moves.back() - h->pos());
  }

  TPhotoSet Photos;
  TFakeHost Host;
  std::unique_ptr<TEditorPage> Page;
};

TEST_F(PageModeTest, NewControlsSitInTheFreeStripWithoutTouchingTheOthers) {
  EXPECT_EQ(Page->sCheckBoxStraighten->geometry(), QRect(280, 0, 121, 16));
  EXPECT_EQ(Page->sButtonPage->geometry(), QRect(280, 44, 44, 25));
  EXPECT_EQ(Page->sButtonFindPage->geometry(), QRect(328, 44, 73, 25));
  EXPECT_TRUE(Page->sButtonPage->isCheckable());
  const QList<QWidget*> mine{Page->sCheckBoxStraighten, Page->sButtonPage, Page->sButtonFindPage};
  for (QWidget* w : Page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (mine.contains(w) || w == Page->FormProps) continue;
    for (QWidget* m : mine)
      EXPECT_FALSE(m->geometry().intersects(w->geometry()))
          << m->metaObject()->className() << " over " << w->metaObject()->className();
  }
  // Nothing to act on until a photo is open.
  for (QWidget* m : mine) EXPECT_FALSE(m->isEnabled());
  Open();
  for (QWidget* m : mine) EXPECT_TRUE(m->isEnabled());
}

TEST_F(PageModeTest, PageModeShowsThePhotoAsItLiesWithCornersInsteadOfBars) {
  TShpora* photo = Open();
  photo->Rotation = 1;  // turned clockwise; the stored parameters are all the view follows
  photo->DropImages();
  Page->DrawEditorImage();
  const QImage processed = Page->ImageShpora->Picture;

  Page->sButtonPage->click();
  ASSERT_TRUE(Page->InPageMode());
  for (TCropHandle* b : Bars()) EXPECT_FALSE(b->isVisible());
  for (TCornerHandle* c : Corners()) EXPECT_TRUE(c->isVisible());
  EXPECT_EQ(Page->ImageShpora->Outline.size(), 4);

  // The working JPEG turned and stretched as the Preview is, but in colour and unfiltered.
  const auto decoded = DecodeJpegData(ReadWholeFile(photo->WorkFile), photo->WorkFile);
  TFastDIB turned(decoded->AbsHeight, 24, decoded->Width());
  decoded->RotateInto(turned, 65536, 90);
  TFastDIB view(420, 24, 594);
  turned.ResampleInto(view, FilterBlackman);
  EXPECT_TRUE(SamePixels(Page->ImageShpora->Picture, view));
  EXPECT_NE(Page->ImageShpora->Picture, processed);  // the photocopy filter is not applied

  // No corners yet: the defaults, shown where the turn takes them (the top-left one to the
  // view's top-right).
  EXPECT_FALSE(photo->Page.HasCorners);
  const TPageQuad defaults = DefaultPageCorners(210, 297);
  for (int i = 0; i < 4; ++i) {
    const TPagePoint v = PictureToView(defaults.Corners[i], 1, 210, 297);
    EXPECT_EQ(InView(Corners()[i]), QPoint(qRound(v.X), qRound(v.Y))) << i;
  }
  EXPECT_GT(InView(Page->pc1).x(), 300);
  EXPECT_LT(InView(Page->pc1).y(), 100);

  Page->sButtonPage->click();
  EXPECT_FALSE(Page->InPageMode());
  for (TCropHandle* b : Bars()) EXPECT_TRUE(b->isVisible());
  for (TCornerHandle* c : Corners()) EXPECT_FALSE(c->isVisible());
  EXPECT_TRUE(Page->ImageShpora->Outline.isEmpty());
  EXPECT_TRUE(SamePixels(Page->ImageShpora->Picture, *photo->Preview));

  // Closing the editor in Page mode hides the corners too.
  Page->sButtonPage->click();
  Page->SelectPhoto(nullptr);
  for (TCornerHandle* c : Corners()) EXPECT_FALSE(c->isVisible());
  for (TCropHandle* b : Bars()) EXPECT_FALSE(b->isVisible());
}

TEST_F(PageModeTest, PageModeOnAnUnreadablePhotoIsReportedAndLeftAgain) {
  TShpora* photo = Open();
  ASSERT_TRUE(QFile::remove(photo->WorkFile));
  Page->sButtonPage->click();
  EXPECT_EQ(Host.Errors.size(), 1);
  EXPECT_FALSE(Page->InPageMode());
  EXPECT_FALSE(Page->sButtonPage->isChecked());
  for (TCropHandle* b : Bars()) EXPECT_TRUE(b->isVisible());
}

struct DragCase {
  const char* Name;
  int32_t Rotation;
};

class CornerDrag : public PageModeTest, public testing::WithParamInterface<DragCase> {};

TEST_P(CornerDrag, MovesTheCornerByTheMappedAmountAndStoresItOnRelease) {
  TShpora* photo = Open();
  photo->Rotation = GetParam().Rotation;
  photo->DropImages();
  Page->sButtonPage->click();
  const TPageQuad before = Page->ShownCorners();
  const TFastDIB* preview = photo->Preview.get();

  const QPoint grab(TCornerHandle::kDiameter / 2, TCornerHandle::kDiameter / 2);
  Press(Page->pc3, grab);
  EXPECT_EQ(Page->DraggedCorner(), Page->pc3);
  EXPECT_EQ(Page->pc3->Colour(), QColor(0, 255, 0));
  MoveHeld(Page->pc3, grab + QPoint(-20, -30));
  // While dragging the record is untouched and the magnifier shows the corner with its mark.
  EXPECT_FALSE(photo->Page.HasCorners);
  ASSERT_FALSE(Host.LeftPages.empty());
  EXPECT_EQ(Host.LeftPages.back(), kLeftPagePreview);
  ASSERT_EQ(Host.ImagePage.size(), QSize(420, 594));
  Release(Page->pc3, grab);

  const TPagePoint v = PictureToView(before.Corners[2], photo->Rotation, 210, 297);
  const TPagePoint want = ViewToPicture({v.X - 20, v.Y - 30}, photo->Rotation, 210, 297);
  ASSERT_TRUE(photo->Page.HasCorners);
  EXPECT_NEAR(photo->Page.Corners.Corners[2].X, want.X, 1e-9);
  EXPECT_NEAR(photo->Page.Corners.Corners[2].Y, want.Y, 1e-9);
  for (int i : {0, 1, 3}) {
    EXPECT_EQ(photo->Page.Corners.Corners[i].X, before.Corners[i].X);
    EXPECT_EQ(photo->Page.Corners.Corners[i].Y, before.Corners[i].Y);
  }
  EXPECT_EQ(InView(Page->pc3), QPoint(qRound(v.X - 20), qRound(v.Y - 30)));
  EXPECT_EQ(Page->pc3->Colour(), QColor(255, 0, 0));
  // Not straightened: nothing to reprocess, the sheet is left alone.
  EXPECT_FALSE(photo->Page.Straighten);
  EXPECT_EQ(photo->Preview.get(), preview);
  EXPECT_EQ(Host.PrintPreviews, 0);
}

INSTANTIATE_TEST_SUITE_P(Rotations, CornerDrag,
                         testing::Values(DragCase{"None", 0}, DragCase{"Clockwise", 1},
                                         DragCase{"Counterclockwise", 2}, DragCase{"HalfTurn", 3}),
                         [](const testing::TestParamInfo<DragCase>& i) { return i.param.Name; });

TEST_F(PageModeTest, MagnifierFollowsTheDraggedCornerWithAMark) {
  Open(840, 1188);  // twice the view: the working picture has room around the corner
  Page->sButtonPage->click();
  const QPoint grab(TCornerHandle::kDiameter / 2, TCornerHandle::kDiameter / 2);
  Press(Page->pc1, grab);
  MoveHeld(Page->pc1, grab + QPoint(100, 150));
  const TPagePoint c = Page->ShownCorners().Corners[0];  // picture pixels, no turn
  const TZoomOrigin o = MagnifierOrigin(int(c.X), int(c.Y), 840, 1188, 840, 1188);
  const QImage& zoom = Host.ImagePage;
  ASSERT_EQ(zoom.size(), QSize(420, 594));
  // The cross beside the corner's pixel is red; the pixel itself is the picture's.
  const int cx = int(c.X) - o.Left, cy = int(c.Y) - o.Top;
  EXPECT_EQ(zoom.pixelColor(cx + 8, cy), QColor(255, 0, 0));
  EXPECT_EQ(zoom.pixelColor(cx, cy - 8), QColor(255, 0, 0));
  EXPECT_NE(zoom.pixelColor(cx, cy), QColor(255, 0, 0));
  Release(Page->pc1, grab + QPoint(100, 150));
  EXPECT_GE(Host.Restores, 1);
}

TEST_F(PageModeTest, ADragThatWouldSpoilTheQuadrilateralIsRefused) {
  TShpora* photo = Open();
  Page->sButtonPage->click();
  const QPoint grab(TCornerHandle::kDiameter / 2, TCornerHandle::kDiameter / 2);
  Press(Page->pc1, grab);
  MoveHeld(Page->pc1, grab + QPoint(10, 10));  // fine
  const TPageQuad good = Page->ShownCorners();
  const QPoint goodPlace = Page->pc1->pos();
  // Past the top-right corner: the sides would cross.
  MoveHeld(Page->pc1, grab + Page->pc2->pos() - Page->pc1->pos() + QPoint(60, 0));
  EXPECT_EQ(Page->pc1->pos(), goodPlace);
  // Onto the diagonal between its neighbours: no corner left there.
  const QPoint onDiagonal = (Page->pc2->pos() + Page->pc4->pos()) / 2;
  MoveHeld(Page->pc1, grab + onDiagonal - Page->pc1->pos());
  EXPECT_EQ(Page->pc1->pos(), goodPlace);
  Release(Page->pc1, grab);
  ASSERT_TRUE(photo->Page.HasCorners);
  EXPECT_EQ(photo->Page.Corners.Corners[0].X, good.Corners[0].X);
  EXPECT_EQ(photo->Page.Corners.Corners[0].Y, good.Corners[0].Y);
  EXPECT_TRUE(IsUsablePageQuad(photo->Page.Corners, 210, 297));
}

TEST_F(PageModeTest, StraightenSetsTheCornersWidensTheCropAndClearsAgain) {
  TShpora* photo = Open();
  photo->CropLeft = 50;
  photo->CropTop = 60;
  Page->SelectPhoto(photo);
  EXPECT_FALSE(Page->sCheckBoxStraighten->isChecked());
  ASSERT_EQ(photo->FullImage, nullptr);

  Page->sCheckBoxStraighten->click();  // outside Page mode, with no corners yet
  ASSERT_TRUE(photo->Page.Straightened());
  const TPageQuad defaults = DefaultPageCorners(210, 297);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(photo->Page.Corners.Corners[i].X, defaults.Corners[i].X);
  EXPECT_EQ(photo->CropLeft, 1);
  EXPECT_EQ(photo->CropRight, 416);
  EXPECT_EQ(photo->CropTop, 1);
  EXPECT_EQ(photo->CropBottom, 589);
  EXPECT_EQ(Page->pp1->y(), 1);
  EXPECT_EQ(Page->pp4->x(), 416);
  EXPECT_NE(photo->FullImage, nullptr);  // reprocessed, as a parameter change does
  EXPECT_EQ(Host.PrintPreviews, 1);

  photo->CropLeft = 30;  // a crop chosen afterwards stays when straightening is turned off
  Page->sCheckBoxStraighten->click();
  EXPECT_FALSE(photo->Page.Straighten);
  EXPECT_TRUE(photo->Page.HasCorners);
  EXPECT_EQ(photo->CropLeft, 30);
  EXPECT_EQ(Host.PrintPreviews, 2);
  EXPECT_TRUE(Host.Errors.isEmpty());

  // The box shows each photo's own state.
  TShpora* other = Photos.Add(210, 297);
  StraightenWith(*other, DefaultPageCorners(210, 297));
  Page->SelectPhoto(other);
  EXPECT_TRUE(Page->sCheckBoxStraighten->isChecked());
  Page->SelectPhoto(photo);
  EXPECT_FALSE(Page->sCheckBoxStraighten->isChecked());
}

TEST_F(PageModeTest, DraggingAStraightenedCornerReprocessesWithoutTouchingTheCrop) {
  TShpora* photo = Open();
  Page->sButtonPage->click();
  Page->sCheckBoxStraighten->click();
  photo->CropTop = 70;
  const int previews = Host.PrintPreviews;
  photo->DropFullImage();
  Drag(Page->pc2, {QPoint(-5, 4)});
  EXPECT_EQ(Host.PrintPreviews, previews + 1);
  EXPECT_NE(photo->FullImage, nullptr);
  EXPECT_EQ(photo->CropTop, 70);
  EXPECT_TRUE(photo->Page.Straightened());
}

TEST_F(PageModeTest, FindPageThatFindsNothingSaysSoAndChangesNothing) {
  TShpora* photo = Open();  // a smooth colour pattern: no sheet of paper in it
  photo->CropLeft = 44;
  const TShporaData before = *photo;
  const TFastDIB* preview = photo->Preview.get();
  QTest::mouseClick(Page->sButtonFindPage, Qt::LeftButton);
  ASSERT_EQ(Host.Messages.size(), 1);
  EXPECT_TRUE(Host.Messages[0].startsWith("No page was found in this photo."));
  EXPECT_TRUE(Host.Messages[0].contains("by hand"));
  EXPECT_TRUE(Host.Errors.isEmpty());
  EXPECT_EQ(photo->Page, before.Page);
  EXPECT_EQ(photo->CropLeft, 44);
  EXPECT_EQ(photo->Preview.get(), preview);
  EXPECT_EQ(Host.PrintPreviews, 0);
  EXPECT_FALSE(Page->sCheckBoxStraighten->isChecked());
}

TEST_F(PageModeTest, FindPageOnAnUnreadablePhotoIsAnError) {
  TShpora* photo = Open();
  ASSERT_TRUE(QFile::remove(photo->WorkFile));
  QTest::mouseClick(Page->sButtonFindPage, Qt::LeftButton);
  EXPECT_EQ(Host.Errors.size(), 1);
  EXPECT_TRUE(Host.Messages.isEmpty());
  EXPECT_FALSE(photo->Page.HasCorners);
}

// A white page on a dark desk photographed a little from below, in a 600 x 800 photo (kept at
// its size).
const TPageQuad kDeskPage{
    {TPagePoint{120, 100}, TPagePoint{480, 110}, TPagePoint{500, 690}, TPagePoint{100, 700}}};

TEST_F(PageModeTest, FindPageOnAnEasyPageStraightensByItsCorners) {
  TShpora* photo = Photos.AddPageOnDesk(600, 800, kDeskPage);
  Host.List = Photos.All();
  Page->SelectPhoto(photo);
  Page->sButtonPage->click();
  photo->DropFullImage();
  QTest::mouseClick(Page->sButtonFindPage, Qt::LeftButton);
  EXPECT_TRUE(Host.Messages.isEmpty());
  EXPECT_TRUE(Host.Errors.isEmpty());
  ASSERT_TRUE(photo->Page.Straightened());
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(photo->Page.Corners.Corners[i].X, kDeskPage.Corners[i].X, 4) << i;
    EXPECT_NEAR(photo->Page.Corners.Corners[i].Y, kDeskPage.Corners[i].Y, 4) << i;
  }
  EXPECT_EQ(photo->CropLeft, 1);
  EXPECT_EQ(photo->CropBottom, 589);
  EXPECT_TRUE(Page->sCheckBoxStraighten->isChecked());
  EXPECT_NE(photo->FullImage, nullptr);
  EXPECT_EQ(Host.PrintPreviews, 1);
  // The handles went to the corners found.
  const TPagePoint v = PictureToView(photo->Page.Corners.Corners[0], 0, 600, 800);
  EXPECT_EQ(InView(Page->pc1), QPoint(qRound(v.X), qRound(v.Y)));
}

// --- "Apply to many..." with "Page (find automatically)" ---

TEST(ApplyPageFind, LoopLooksInEveryPhotoInScopeAndCountsThoseWithoutAPage) {
  TPhotoSet photos;
  for (int i = 0; i < 5; ++i) photos.Add(120, 160);
  TScriptedWait wait;
  wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Processing images..."), 1, 5);
  TApplyOptions options;
  options.ApplyWhat = ApplyPageFind;
  options.ApplyScope = TApplyScope::Odd;
  TApplyCounts counts;
  const TShporaData source;
  std::vector<TShpora*> list = photos.All();
  list[0]->CropLeft = 33;  // no page found: its crop stays
  EXPECT_EQ(ApplyToMany(source, list, options, wait, &counts), 3);
  EXPECT_EQ(counts.Reprocessed, 3);
  EXPECT_EQ(counts.PagesSearched, 3);
  EXPECT_EQ(counts.PagesNotFound, 3);
  for (TShpora* p : list) EXPECT_FALSE(p->Page.HasCorners);
  EXPECT_EQ(list[0]->CropLeft, 33);
  EXPECT_EQ(PagesNotFoundText(counts).left(38), "No page was found in 3 of the 3 photos");

  // Without the group no page is looked for.
  options.ApplyWhat = ApplyBrightnessContrast;
  ApplyToMany(source, list, options, wait, &counts);
  EXPECT_EQ(counts.PagesSearched, 0);
  EXPECT_EQ(counts.Reprocessed, 3);

  // A working copy that cannot be read ends the loop; the counts say how far it came.
  options.ApplyWhat = ApplyPageFind;
  options.ApplyScope = TApplyScope::All;
  ASSERT_TRUE(QFile::remove(list[2]->WorkFile));
  EXPECT_THROW(ApplyToMany(source, list, options, wait, &counts), std::runtime_error);
  EXPECT_EQ(counts.PagesSearched, 2);
  EXPECT_EQ(counts.Reprocessed, 2);
}

TEST(ApplyPageFind, PagesFoundAreStraightenedTheOthersLeftAsTheyWere) {
  TPhotoSet photos;
  TShpora* page = photos.AddPageOnDesk(600, 800, kDeskPage);
  TShpora* plain = photos.Add(120, 160);
  TScriptedWait wait;
  wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Processing images..."), 1, 2);
  TApplyOptions options;
  options.ApplyWhat = ApplyPageFind | ApplyCropping;
  TShporaData source;
  source.CropLeft = 25;
  TApplyCounts counts;
  ApplyToMany(source, {page, plain}, options, wait, &counts);
  EXPECT_EQ(counts.PagesSearched, 2);
  EXPECT_EQ(counts.PagesNotFound, 1);
  EXPECT_TRUE(page->Page.Straightened());
  EXPECT_EQ(page->CropLeft, 1);  // straightening widens the crop it was given
  EXPECT_FALSE(plain->Page.HasCorners);
  EXPECT_EQ(plain->CropLeft, 25);
}

TEST(ApplyPageFind, MessageWords) {
  EXPECT_EQ(PagesNotFoundText({4, 4, 0}), "A page was found in all 4 photos.");
  EXPECT_EQ(PagesNotFoundText({1, 1, 0}), "The page was found in the photo.");
  EXPECT_TRUE(PagesNotFoundText({1, 1, 1}).startsWith("No page was found in the photo. Its "));
  EXPECT_TRUE(PagesNotFoundText({5, 5, 2}).startsWith("No page was found in 2 of the 5 photos."));
}

TEST_F(PageModeTest, DialogOffersThePageGroupUntickedAndReportsTheCount) {
  for (int i = 0; i < 3; ++i) Photos.Add(120, 160);
  TShpora* photo = Open();
  bool offered = false;
  WhenShown(Page->FormProps, [&](TFormProps& d) {
    EXPECT_EQ(d.sCheckBox5->text(), "Page (find automatically)");
    EXPECT_FALSE(d.sCheckBox5->isChecked());
    EXPECT_EQ(d.Options().ApplyWhat, ApplyBrightnessContrast | ApplyRotation);
    // Inside its panel, below "Cropping ".
    EXPECT_TRUE(d.sCheckBox5->parentWidget()->rect().contains(d.sCheckBox5->geometry()));
    EXPECT_GE(d.sCheckBox5->y(), d.sCheckBox3->geometry().bottom());
    d.sCheckBox5->setChecked(true);
    EXPECT_TRUE(d.Options().ApplyWhat & ApplyPageFind);
    offered = true;
    QTest::mouseClick(d.sSpeedButton1, Qt::LeftButton);
  });
  QTest::mouseClick(Page->sButtonApply, Qt::LeftButton);
  EXPECT_TRUE(offered);
  ASSERT_EQ(Host.Messages.size(), 1);
  EXPECT_TRUE(Host.Messages[0].startsWith("No page was found in 4 of the 4 photos."));
  EXPECT_TRUE(Host.Errors.isEmpty());
  EXPECT_EQ(Host.PrintPreviews, 1);
  EXPECT_EQ(Page->CurrentPhoto(), photo);
}

}  // namespace
