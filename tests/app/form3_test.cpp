// The "Export resulted images" dialog driven through its own buttons, writing real files from
// real photo records (the sheets tests' fixtures).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include "AppTestSupport.h"
#include "ExportImages.h"
#include "Form3.h"
#include "SheetFixture.h"

namespace {

QStringList Files(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class Form3Test : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 3; ++k) Document.AddPhoto(kPalette[k], 300, 400);
    Photos = Document.Photos();
  }
  // Answers the folder browser that opens with the dialog, then presses a button of it.
  void Answer(const QString& folder, const std::function<void()>& then) {
    Prompts.FoldersToBrowse.push_back(folder);
    Prompts.AfterBrowse = then;
  }
  apptest::TPrivateEnvironment Env;  // first: the photos' folder is made inside it
  TColourPhotos Document;
  std::vector<TShpora*> Photos;
  TScriptedWait Wait;
  TScriptedPrompts Prompts;
};

TEST_F(Form3Test, ControlsAndDefaults) {
  TForm3 form(Prompts);
  EXPECT_EQ(form.windowTitle(), "Export resulted images");
  EXPECT_EQ(form.sEdit2->text(), "TavDoc");
  EXPECT_EQ(form.sPanel2->text(), "XXX");
  EXPECT_EQ(form.sPanel2->toolTip(), "Image number will be attached to the filename.");
  ASSERT_EQ(form.sComboExt->count(), 2);
  EXPECT_EQ(form.sComboExt->itemText(0), ".JPG");
  EXPECT_EQ(form.sComboExt->itemText(1), ".PNG");
  EXPECT_EQ(form.sComboExt->currentIndex(), 0);
  EXPECT_EQ(form.sButton1->text(), "&Export");
  EXPECT_TRUE(form.sButton1->isDefault());
  EXPECT_EQ(form.sButton2->text(), "&Cancel");
  EXPECT_EQ(form.sDirectoryEdit1->maxLength(), 255);
  EXPECT_FALSE(form.sDirectoryEdit1->text().isEmpty()) << "starts at the desktop folder";
  EXPECT_EQ(form.sComboSize->count(), 5);
  EXPECT_EQ(form.sComboSize->itemText(1), "Up to 1024x786");
  form.show();
  EXPECT_FALSE(form.sComboSize->isVisible());
  EXPECT_GE(form.width(), 353);
  EXPECT_GE(form.height(), 149);
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "a fixed border";
}

TEST_F(Form3Test, HintShowsAtOnce) {
  TForm3 form(Prompts);
  form.show();
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), form.sPanel2->mapToGlobal(QPointF(5, 5)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.sPanel2, &move);
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), "Image number will be attached to the filename.");
  QToolTip::hideText();
}

TEST_F(Form3Test, NoPhotosShowNoDialog) {
  TForm3 form(Prompts);
  EXPECT_EQ(ExportImagesCommand(form, Wait, {}, ExportPng), 0);
  EXPECT_TRUE(Prompts.BrowseStarts().isEmpty());
  EXPECT_EQ(Wait.Shows(), 0);
}

TEST_F(Form3Test, PngMenuThenJpegInTheDialogWritesJpegs) {
  TForm3 form(Prompts);
  const QString folder = Document.Path("chosen");
  Answer(folder, [&form] {
    EXPECT_EQ(form.sComboExt->currentIndex(), 1) << "the menu item preselects the format";
    form.sComboExt->setCurrentIndex(0);
    form.sButton1->click();
  });
  EXPECT_EQ(ExportImagesCommand(form, Wait, Photos, ExportPng), 3);
  EXPECT_EQ(Files(folder), (QStringList{"TavDoc000.jpg", "TavDoc001.jpg", "TavDoc002.jpg"}));
  ASSERT_EQ(Prompts.BrowseStarts().size(), 1) << "the browser opens as the dialog shows";
  EXPECT_EQ(Prompts.BrowseStarts()[0], form.InitialBrowseFolder());
}

TEST_F(Form3Test, EntriesAreKeptForTheRunAndCancelExportsNothing) {
  TForm3 form(Prompts);
  const QString folder = Document.Path("kept");
  QDir().mkpath(folder);
  Answer(folder, [&form] {
    form.sEdit2->setText("Scan-");
    form.sButton1->click();
  });
  EXPECT_EQ(ExportImagesCommand(form, Wait, Photos, ExportJpeg), 3);
  EXPECT_TRUE(QFile::exists(folder + "/Scan-002.jpg"));

  // Next time: the browser starts in the folder chosen before, the prefix is still there; the
  // browser cancelled keeps the folder, and "&Cancel" ends the command.
  Answer(QString(), [&form] {
    EXPECT_EQ(form.sEdit2->text(), "Scan-");
    form.sButton2->click();
  });
  EXPECT_EQ(ExportImagesCommand(form, Wait, Photos, ExportPng), 0);
  ASSERT_EQ(Prompts.BrowseStarts().size(), 2);
  EXPECT_EQ(Prompts.BrowseStarts()[1], folder);
  EXPECT_EQ(form.OutputFolder(), folder);
  EXPECT_EQ(Files(folder).size(), 3);
  EXPECT_EQ(Wait.Shows(), 1);
}
