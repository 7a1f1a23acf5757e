// The editor page with real photo records: opening and closing a photo, the crop handles, the
// magnifier and the parameter controls.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QTest>

#include "EditorPage.h"
#include "EditorTestSupport.h"
#include "EditorWidgets.h"
#include "SpinEdit.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kLime(0, 255, 0);

class EditorPageTest : public testing::Test {
 protected:
  void SetUp() override {
    Page = std::make_unique<TEditorPage>(Host);
    Page->show();
  }
  void TearDown() override { Page.reset(); }

  // A new photo in the list, opened in the editor.
  TShpora* Open(int width = 240, int height = 320) {
    TShpora* photo = Photos.Add(width, height);
    Host.List = Photos.All();
    Page->SelectPhoto(photo);
    return photo;
  }
  void Hover(int x, int y) {
    SendMouse(Page->ImageShpora, QEvent::MouseMove, QPoint(x, y), Qt::NoButton, Qt::NoButton);
  }
  void Leave() {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Page->ImageShpora, &leave);
  }

  TPhotoSet Photos;
  TFakeHost Host;
  std::unique_ptr<TEditorPage> Page;
};

TEST_F(EditorPageTest, SelectPhotoLoadsControlsAndHandlesWithoutReprocessing) {
  TShpora* photo = Photos.Add(240, 320);
  photo->ImageType = 0;
  photo->Rotation = 2;
  photo->Brightness = -3;
  photo->Contrast = 50;  // from a document: shown clamped, kept as stored
  photo->CropLeft = 50;
  photo->CropRight = 300;
  photo->CropTop = 60;
  photo->CropBottom = 500;
  const TFastDIB* preview = photo->Preview.get();
  Page->SelectPhoto(photo);

  EXPECT_EQ(Page->CurrentPhoto(), photo);
  EXPECT_EQ(Page->sComboBox2->currentText(), "Colored");
  EXPECT_EQ(Page->sComboBox1->currentIndex(), 2);
  EXPECT_EQ(Page->sComboBox1->currentText(), QString::fromUtf8("90 \xD0\xA1\xD0\xA1W"));
  EXPECT_EQ(Page->sSpinEdit1->text(), "-3");
  EXPECT_EQ(Page->sSpinEdit2->text(), "20");
  EXPECT_EQ(photo->Contrast, 50);
  EXPECT_EQ(photo->Preview.get(), preview);
  EXPECT_EQ(Host.PrintPreviews, 0);

  EXPECT_EQ(Page->pp1->geometry(), QRect(2, 60, 420, 6));
  EXPECT_EQ(Page->pp2->geometry(), QRect(2, 500, 420, 6));
  EXPECT_EQ(Page->pp3->geometry(), QRect(50, 1, 6, 594));
  EXPECT_EQ(Page->pp4->geometry(), QRect(300, 1, 6, 594));
  for (TCropHandle* h : {Page->pp1, Page->pp2, Page->pp3, Page->pp4}) EXPECT_TRUE(h->isVisible());
  EXPECT_EQ(Page->ImageShpora->geometry(), QRect(2, 2, 420, 594));
  EXPECT_TRUE(SamePixels(Page->ImageShpora->Picture, *photo->Preview));
  ASSERT_FALSE(Host.RightPages.empty());
  EXPECT_EQ(Host.RightPages.back(), kRightPageEditPhotos);

  Page->SelectPhoto(nullptr);
  EXPECT_EQ(Page->CurrentPhoto(), nullptr);
  for (TCropHandle* h : {Page->pp1, Page->pp2, Page->pp3, Page->pp4}) EXPECT_FALSE(h->isVisible());
  EXPECT_EQ(Host.RightPages.back(), kRightPageHowToUse);
  // The last picture stays, for a user who brings the tab to the front anyway.
  EXPECT_TRUE(SamePixels(Page->ImageShpora->Picture, *photo->Preview));
}

TEST_F(EditorPageTest, StoredCodesOutsideTheListsShowWhatTheyMean) {
  TShpora* photo = Photos.Add(240, 320);
  photo->Rotation = 7;   // turns nothing
  photo->ImageType = 5;  // the photocopy
  Page->SelectPhoto(photo);
  EXPECT_EQ(Page->sComboBox1->currentText(), "No");
  EXPECT_EQ(Page->sComboBox2->currentText(), "Grayscale");
}

TEST_F(EditorPageTest, HandlesKeepTheirKindCursorAndColour) {
  Open();
  EXPECT_EQ(Page->pp1->Tag, 0);
  EXPECT_EQ(Page->pp2->Tag, 0);
  EXPECT_EQ(Page->pp3->Tag, 1);
  EXPECT_EQ(Page->pp4->Tag, 1);
  EXPECT_EQ(Page->pp2->cursor().shape(), Qt::SizeVerCursor);
  EXPECT_EQ(Page->pp4->cursor().shape(), Qt::SizeHorCursor);
  EXPECT_EQ(Page->pp3->Colour(), kRed);

  SendMouse(Page->pp3, QEvent::MouseButtonPress, QPoint(3, 9), Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(Page->DraggedHandle(), Page->pp3);  // any button drags
  EXPECT_EQ(Page->pp3->Colour(), kLime);
  Release(Page->pp3, QPoint(3, 9));
  EXPECT_EQ(Page->DraggedHandle(), nullptr);
  EXPECT_EQ(Page->pp3->Colour(), kRed);
}

TEST_F(EditorPageTest, DraggedHandlesStopAtTheFrameAndTheGap) {
  TShpora* photo = Open();  // default crop 40, 380, 40, 554

  // The grabbed point stays under the pointer.
  Press(Page->pp1, QPoint(10, 4));
  MoveHeld(Page->pp1, QPoint(10, 14));
  EXPECT_EQ(Page->pp1->y(), 50);
  MoveHeld(Page->pp1, QPoint(10, -500));
  EXPECT_EQ(Page->pp1->y(), 1);
  MoveHeld(Page->pp1, QPoint(10, 1000));
  EXPECT_EQ(Page->pp1->y(), 534);  // 20 above the bottom bar
  // Nothing is written while dragging.
  EXPECT_EQ(photo->CropTop, 40);
  EXPECT_EQ(Host.PrintPreviews, 0);
  Release(Page->pp1, QPoint(10, 4));
  EXPECT_EQ(photo->CropTop, 534);
  EXPECT_EQ(Host.PrintPreviews, 1);

  Press(Page->pp2, QPoint(100, 2));
  MoveHeld(Page->pp2, QPoint(100, 3000));
  EXPECT_EQ(Page->pp2->y(), 589);
  MoveHeld(Page->pp2, QPoint(100, -3000));
  EXPECT_EQ(Page->pp2->y(), 554);  // 20 below the top bar at 534
  Release(Page->pp2, QPoint(0, 0));

  Press(Page->pp4, QPoint(2, 100));
  MoveHeld(Page->pp4, QPoint(3000, 100));
  EXPECT_EQ(Page->pp4->x(), 416);
  Release(Page->pp4, QPoint(0, 0));
  Press(Page->pp3, QPoint(2, 100));
  MoveHeld(Page->pp3, QPoint(-3000, 100));
  EXPECT_EQ(Page->pp3->x(), 1);
  MoveHeld(Page->pp3, QPoint(3000, 100));
  EXPECT_EQ(Page->pp3->x(), 396);
  Release(Page->pp3, QPoint(0, 0));

  EXPECT_EQ(photo->CropTop, 534);
  EXPECT_EQ(photo->CropBottom, 554);
  EXPECT_EQ(photo->CropLeft, 396);
  EXPECT_EQ(photo->CropRight, 416);
  EXPECT_EQ(Host.PrintPreviews, 4);
  // The handles only move; the pictures are not rebuilt for a crop.
  EXPECT_EQ(photo->FullImage, nullptr);
}

TEST_F(EditorPageTest, GapRuleCarriesTheRightHandleBeyondTheFrame) {
  TShpora* photo = Photos.Add(240, 320);
  photo->CropLeft = 400;  // only a document can hold this
  photo->CropRight = 410;
  Page->SelectPhoto(photo);
  Press(Page->pp4, QPoint(3, 50));
  MoveHeld(Page->pp4, QPoint(-100, 50));
  EXPECT_EQ(Page->pp4->x(), 420);
  Release(Page->pp4, QPoint(-100, 50));
  EXPECT_EQ(photo->CropRight, 420);
  EXPECT_EQ(photo->CropLeft, 400);
}

TEST_F(EditorPageTest, PressAndReleaseWithoutMovingWritesAllFourEdges) {
  TShpora* photo = Open();
  // Changed behind the editor's back: the release puts every edge back to its handle.
  photo->CropLeft = 7;
  photo->CropRight = 8;
  photo->CropTop = 9;
  photo->CropBottom = 10;
  const TFastDIB* preview = photo->Preview.get();
  Press(Page->pp2, QPoint(50, 3));
  Release(Page->pp2, QPoint(50, 3));
  EXPECT_EQ(photo->CropLeft, 40);
  EXPECT_EQ(photo->CropRight, 380);
  EXPECT_EQ(photo->CropTop, 40);
  EXPECT_EQ(photo->CropBottom, 554);
  EXPECT_EQ(Host.PrintPreviews, 1);
  EXPECT_EQ(photo->Preview.get(), preview);
}

TEST_F(EditorPageTest, MagnifierShowsTheFullPictureAroundThePointer) {
  TShpora* photo = Open(900, 1200);
  ASSERT_EQ(photo->FullImage, nullptr);
  Hover(210, 297);
  ASSERT_NE(photo->FullImage, nullptr);
  const TFastDIB* full = photo->FullImage.get();
  ASSERT_EQ(full->Width(), 900);
  ASSERT_EQ(full->AbsHeight, 1200);
  ASSERT_FALSE(Host.LeftPages.empty());
  EXPECT_EQ(Host.LeftPages.back(), kLeftPagePreview);
  EXPECT_EQ(Host.Shown, 1);
  EXPECT_EQ(Host.ImagePage.size(), QSize(420, 594));
  // The point (450, 600), the window from (240, 303).
  EXPECT_TRUE(ShowsWindowOf(Host.ImagePage, *full, 240, 303));

  Hover(419, 593);
  EXPECT_EQ(photo->FullImage.get(), full);  // built once
  EXPECT_TRUE(ShowsWindowOf(Host.ImagePage, *full, 480, 606));

  Leave();
  EXPECT_EQ(Host.Restores, 1);
  EXPECT_TRUE(Host.ImagePage.isNull());
}

TEST_F(EditorPageTest, MagnifierOverASmallPhotoShowsWhiteAroundIt) {
  TShpora* photo = Open(240, 320);
  Hover(100, 100);
  ASSERT_NE(photo->FullImage, nullptr);
  EXPECT_TRUE(ShowsWindowOf(Host.ImagePage, *photo->FullImage, 240 - 420, 320 - 594));
}

TEST_F(EditorPageTest, MagnifierDoesNothingWithoutAPhotoButLeavingRestores) {
  Hover(100, 100);
  EXPECT_TRUE(Host.LeftPages.empty());
  EXPECT_EQ(Host.Shown, 0);
  Leave();
  EXPECT_EQ(Host.Restores, 1);
}

TEST_F(EditorPageTest, MagnifierReportsAnUnreadablePhotoOnce) {
  TShpora* photo = Open();
  const QImage before = Page->ImageShpora->Picture;
  ASSERT_TRUE(QFile::remove(photo->WorkFile));
  Hover(10, 10);
  Hover(20, 20);
  Hover(30, 30);
  EXPECT_EQ(Host.Errors.size(), 1);
  EXPECT_EQ(Host.Shown, 0);
  EXPECT_EQ(Page->CurrentPhoto(), photo);
  EXPECT_NE(photo->Preview, nullptr);
  EXPECT_EQ(Page->ImageShpora->Picture, before);
}

TEST_F(EditorPageTest, ListSwitchKeepsTheFullPictureAndClosingReleasesIt) {
  TShpora* a = Open();
  TShpora* b = Photos.Add(240, 320);
  Host.List = Photos.All();
  Hover(50, 50);
  ASSERT_NE(a->FullImage, nullptr);

  // What the list does when its selection moves: forget the photo, then open the new one.
  Page->ClearCurrentPhoto();
  Page->SelectPhoto(b);
  EXPECT_NE(a->FullImage, nullptr);
  EXPECT_EQ(Page->CurrentPhoto(), b);
  Hover(50, 50);
  ASSERT_NE(b->FullImage, nullptr);

  Page->SelectPhoto(a);  // directly: the photo shown before loses its full picture
  EXPECT_EQ(b->FullImage, nullptr);
  Page->SelectPhoto(nullptr);
  EXPECT_EQ(a->FullImage, nullptr);
}

TEST_F(EditorPageTest, RotationChangeReprocessesKeepsTheCropAndRedraws) {
  TShpora* photo = Photos.Add(240, 320);
  photo->Brightness = 50;  // shown as 20; any change stores what the controls show
  Page->SelectPhoto(photo);
  Page->sComboBox1->setCurrentIndex(1);  // "90 CW"
  EXPECT_EQ(photo->Rotation, 1);
  EXPECT_EQ(photo->Brightness, 20);
  ASSERT_NE(photo->FullImage, nullptr);  // kept for the magnifier
  EXPECT_EQ(photo->FullImage->Width(), 320);
  EXPECT_EQ(photo->FullImage->AbsHeight, 240);
  ASSERT_NE(photo->Preview, nullptr);
  EXPECT_TRUE(SamePixels(Page->ImageShpora->Picture, *photo->Preview));
  EXPECT_EQ(Host.PrintPreviews, 1);
  EXPECT_EQ(photo->CropLeft, 40);
  EXPECT_EQ(photo->CropBottom, 554);

  Page->sComboBox2->setCurrentIndex(0);
  EXPECT_EQ(photo->ImageType, 0);
  EXPECT_EQ(Host.PrintPreviews, 2);
}

TEST_F(EditorPageTest, ChangeOnAnUnreadablePhotoIsReportedAndTheWindowGoesOn) {
  TShpora* photo = Open();
  ASSERT_TRUE(QFile::remove(photo->WorkFile));
  Page->sComboBox1->setCurrentIndex(3);
  EXPECT_EQ(photo->Rotation, 3);  // the value is taken, the picture cannot be made
  EXPECT_EQ(Host.Errors.size(), 1);
  EXPECT_EQ(Host.PrintPreviews, 0);
  EXPECT_EQ(Page->CurrentPhoto(), photo);
  // Opening it again fails the same way, for the caller to report.
  Page->SelectPhoto(nullptr);
  EXPECT_THROW(Page->SelectPhoto(photo), std::runtime_error);
  EXPECT_EQ(Page->CurrentPhoto(), photo);
}

}  // namespace
