// The "Page Preview" tab of the real window and the editor beside it: the sheet count in the
// label and the page selector, the preview drawn for the selected sheet, a click on the preview
// opening a photo in the editor, the magnifier borrowing the preview image, and the preview
// following every change made in the editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "EditorPage.h"
#include "EditorWidgets.h"
#include "ImagePage.h"
#include "SheetRenderer.h"
#include "SpinEdit.h"

namespace {

using apptest::AppTest;

QImage Rgb(const QImage& image) { return image.convertToFormat(QImage::Format_RGB888); }

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

class PagePreview : public AppTest {
 protected:
  // A shown window with `count` photos named p01, p02, ... in that order.
  void ShowWithPhotos(int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i) names << QStringLiteral("p%1").arg(i, 2, 10, QChar(u'0'));
    FormWithRows(names);
    ShowForm();
  }
  // What the preview of the 0-based sheet must show for the window's photos, layout, margin
  // texts and open photo now.
  QImage Expected(int sheet) const {
    QImage sheetImage;
    DrawSheet(sheetImage, 2, sheet, Form->Layout(), Form->Photos(), Form->SheetTexts,
              Form->CurrentPhoto());
    return Rgb(sheetImage);
  }
  QImage Shown() const { return Rgb(Form->ImagePage->Picture()); }
  void ExpectSelector(const QString& total, bool enabled, int maximum, int value) {
    EXPECT_EQ(Form->sLabel4->text(), total);
    EXPECT_EQ(Form->sSpinPageNumber->isEnabled(), enabled);
    EXPECT_EQ(Form->sSpinPageNumber->maximum(), maximum);
    EXPECT_EQ(Form->sSpinPageNumber->value(), value);
  }
};

TEST_F(PagePreview, ControlsOfTheTab) {
  ShowForm();
  struct Place {
    QWidget* Control;
    QRect Geometry;
  };
  const Place places[] = {
      {Form->sSpinRows, QRect(8, 19, 44, 24)},
      {Form->sSpinColls, QRect(59, 19, 46, 24)},
      {Form->sComboOrder, QRect(8, 43, 97, 22)},
      {Form->sSpinPageNumber, QRect(128, 19, 49, 24)},
      {Form->sSpeedButton13, QRect(336, 8, 89, 57)},
      {Form->ImagePage, QRect(2, 2, 420, 594)},
  };
  for (const Place& place : places) EXPECT_EQ(place.Control->geometry(), place.Geometry);
  EXPECT_EQ(Form->ImagePage->parentWidget()->geometry(), QRect(1, 73, 425, 599));
  EXPECT_EQ(Form->sLabel14->text(), QStringLiteral("Total:"));
  EXPECT_EQ(Form->sLabel14->pos(), QPoint(125, 46));
  EXPECT_EQ(Form->sLabel4->pos(), QPoint(161, 46));
  EXPECT_EQ(Form->sSpeedButton13->toolTip(), QStringLiteral("Print photocopy"));
  EXPECT_EQ(Form->sSpinRows->minimum(), 1);
  EXPECT_EQ(Form->sSpinRows->maximum(), 5);
  EXPECT_EQ(Form->sSpinRows->value(), 4);
  EXPECT_EQ(Form->sSpinColls->maximum(), 5);
  EXPECT_EQ(Form->sSpinColls->value(), 4);
  ASSERT_EQ(Form->sComboOrder->count(), 2);
  EXPECT_EQ(Form->sComboOrder->itemText(0), QStringLiteral("by rows"));
  EXPECT_EQ(Form->sComboOrder->itemText(1), QStringLiteral("by columns"));
  EXPECT_EQ(Form->sComboOrder->currentIndex(), 0);
  QStringList captions;
  for (const QLabel* label : Form->TabPreview->findChildren<QLabel*>()) captions << label->text();
  for (const char* caption : {"Rows", "Columns", "Page"})
    EXPECT_TRUE(captions.contains(QString::fromUtf8(caption))) << caption;

  // No photos: no sheets, and the preview is a white sheet with a black border.
  EXPECT_EQ(Form->SheetCount, 0);
  ExpectSelector(QStringLiteral("---"), false, 1, 1);
  const QImage shown = Shown();
  ASSERT_EQ(shown.size(), QSize(420, 594));
  EXPECT_EQ(shown, Expected(0));
  EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(shown.pixel(419, 593), qRgb(0, 0, 0));
  EXPECT_EQ(shown.pixel(210, 297), qRgb(255, 255, 255));
}

TEST_F(PagePreview, SheetCountFollowsTheListAndTheLayout) {
  ShowWithPhotos(17);
  EXPECT_EQ(Form->SheetCount, 2);
  ExpectSelector(QStringLiteral("2"), true, 2, 1);

  // The last photo removed: one sheet's worth, disabled exactly as for none.
  Form->SelectRows({16});
  Form->RemoveSelectedClick();
  EXPECT_EQ(Form->SheetCount, 1);
  ExpectSelector(QStringLiteral("---"), false, 1, 1);

  // The layout controls recompute at once: 1 x 3 needs 6 sheets, 5 x 5 one.
  Form->sSpinRows->setValue(1);
  Form->sSpinColls->setValue(3);
  EXPECT_EQ(Form->SheetCount, 6);
  ExpectSelector(QStringLiteral("6"), true, 6, 1);
  Form->sSpinRows->setValue(5);
  Form->sSpinColls->setValue(5);
  ExpectSelector(QStringLiteral("---"), false, 1, 1);
  EXPECT_EQ(Shown(), Expected(0));
}

TEST_F(PagePreview, TheSelectorShowsItsSheetAndFallsBackToTheFirst) {
  ShowWithPhotos(5);
  Form->sSpinRows->setValue(1);
  Form->sSpinColls->setValue(2);
  ExpectSelector(QStringLiteral("3"), true, 3, 1);
  Form->sSpinPageNumber->setValue(3);
  EXPECT_EQ(Shown(), Expected(2));
  EXPECT_NE(Shown(), Expected(0));

  // 2 x 2 leaves two sheets: the selector goes back to sheet 1, not to sheet 2.
  Form->sSpinRows->setValue(2);
  ExpectSelector(QStringLiteral("2"), true, 2, 1);
  EXPECT_EQ(Shown(), Expected(0));

  // "by columns" is drawn at once as well.
  const QImage byRows = Shown();
  Form->sComboOrder->setCurrentIndex(1);
  EXPECT_EQ(Form->LayoutOrder(), 1);
  EXPECT_EQ(Shown(), Expected(0));
  EXPECT_NE(Shown(), byRows);
}

TEST_F(PagePreview, ClickingAPhotoOpensItInTheEditor) {
  ShowWithPhotos(5);
  Form->sSpinRows->setValue(2);
  Form->sSpinColls->setValue(2);
  Form->LeftTabs->setCurrentWidget(Form->TabPreview);
  Form->SelectRows({0, 3});

  // The hit test's cells are 200 x 262 behind a 10-pixel band: (50, 322) is row 1, column 0.
  QTest::mouseClick(Form->ImagePage, Qt::LeftButton, {}, QPoint(50, 322));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>{2});
  EXPECT_EQ(Form->CurrentPhoto(), Form->Photo(2));
  EXPECT_EQ(Form->RightTabs->currentWidget(), Form->TabEdit);
  EXPECT_EQ(Form->Editor->sSpinEdit1->text(), QString::number(Form->Photo(2)->Brightness));
  // The red mark is on the photo's cell: the drawn cell of row 1, column 0 starts at (4, 270).
  EXPECT_EQ(Shown(), Expected(0));
  EXPECT_EQ(Shown().pixel(2, 300), qRgb(255, 0, 0));
  EXPECT_EQ(Shown().pixel(4 + 203 + 1, 300), qRgb(255, 0, 0));

  // Sheet 2 holds photo 5 alone: the top-left corner selects it, any other cell nothing.
  Form->sSpinPageNumber->setValue(2);
  QTest::mouseClick(Form->ImagePage, Qt::RightButton, {}, QPoint(300, 50));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>{2});
  EXPECT_EQ(Shown(), Expected(1));
  QTest::mouseClick(Form->ImagePage, Qt::LeftButton, {}, QPoint(1, 1));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>{4});
  EXPECT_EQ(Form->CurrentPhoto(), Form->Photo(4));
  EXPECT_EQ(Shown(), Expected(1));
}

TEST_F(PagePreview, TheMagnifierBorrowsThePreviewImageUntilThePointerLeaves) {
  ShowWithPhotos(2);
  Form->SelectRows({1});
  ASSERT_EQ(Form->CurrentPhoto(), Form->Photo(1));
  Form->LeftTabs->setCurrentWidget(Form->TabFiles);
  const QImage sheet = Expected(0);  // with the red mark of the open photo

  // Over the editor image the left side turns to "Page Preview", whose sheet is drawn and then
  // gives way to the magnified picture.
  SendMouse(Form->Editor->ImageShpora, QEvent::MouseMove, QPoint(210, 297), Qt::NoButton,
            Qt::NoButton);
  EXPECT_EQ(Form->LeftTabs->currentWidget(), Form->TabPreview);
  EXPECT_EQ(Form->ImagePage->Picture(), Form->Editor->ZoomBitmap);
  EXPECT_EQ(Rgb(Form->SheetBitmap), sheet);
  EXPECT_NE(Shown(), sheet);

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(Form->Editor->ImageShpora, &leave);
  EXPECT_EQ(Shown(), sheet);
  EXPECT_EQ(Form->LeftTabs->currentWidget(), Form->TabPreview);
}

TEST_F(PagePreview, EveryChangeInTheEditorRedrawsThePreview) {
  ShowWithPhotos(2);
  Form->sSpinRows->setValue(1);
  Form->sSpinColls->setValue(1);
  Form->SelectRows({0});
  const QImage before = Shown();

  // Image type: the photo is reprocessed and its cell drawn again.
  Form->Editor->sComboBox2->setCurrentIndex(Form->Photo(0)->ImageType == 0 ? 1 : 0);
  const QImage retyped = Shown();
  EXPECT_NE(retyped, before);
  EXPECT_EQ(retyped, Expected(0));

  // A crop edge dragged 60 units down and released.
  TCropHandle* top = Form->Editor->pp1;
  const int32_t cropTop = Form->Photo(0)->CropTop;
  SendMouse(top, QEvent::MouseButtonPress, QPoint(100, 3), Qt::LeftButton, Qt::LeftButton);
  SendMouse(top, QEvent::MouseMove, QPoint(100, 63), Qt::NoButton, Qt::LeftButton);
  SendMouse(top, QEvent::MouseButtonRelease, QPoint(100, 63), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Form->Photo(0)->CropTop, cropTop + 60);
  EXPECT_NE(Shown(), retyped);
  EXPECT_EQ(Shown(), Expected(0));

  // Reordering does not redraw; showing the tab does.
  Form->LeftTabs->setCurrentWidget(Form->TabFiles);
  Form->sSpeedButtonDownClick();  // the selected first photo goes second: the sheet shows p02
  const QImage stale = Shown();
  EXPECT_NE(stale, Expected(0));
  Form->LeftTabs->setCurrentWidget(Form->TabPreview);
  EXPECT_EQ(Shown(), Expected(0));
}

TEST_F(PagePreview, FindPageWithoutAPageTellsTheUserInAnInformationBox) {
  ShowWithPhotos(1);
  Form->SelectRows({0});
  const TPageGeometry before = Form->Photo(0)->Page;
  QTest::mouseClick(Form->Editor->sButtonFindPage, Qt::LeftButton);
  ASSERT_EQ(Prompts.Messages.size(), 1u);
  EXPECT_EQ(Prompts.Messages[0].Caption, QLatin1String(kMainCaption));
  EXPECT_TRUE(Prompts.Messages[0].Text.startsWith("No page was found in this photo."));
  EXPECT_EQ(Prompts.Messages[0].Icon, IUserPrompts::Icon::Information);
  EXPECT_EQ(Prompts.Messages[0].Buttons, IUserPrompts::Buttons::Ok);
  EXPECT_EQ(Form->Photo(0)->Page, before);
}

}  // namespace
