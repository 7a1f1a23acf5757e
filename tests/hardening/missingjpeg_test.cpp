// A working JPEG deleted behind the program's back. The list keeps its rows and previews; every
// command that has to read the lost file says which photo it was and leaves the rest intact:
// the sheet preview (once the picture must be rebuilt), the export and saving. (Printing such a
// photo is covered with the printing tests.)
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "AppTestSupport.h"
#include "ExportImages.h"
#include "HardeningSupport.h"

namespace {

using apptest::AppTest;
using apptest::ReadAll;
using apptest::TDocBytes;
using hardening::FilesIn;

class MissingWorkingJpeg : public AppTest {
 protected:
  void SetUp() override {
    FormWithRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    Lost = Form->Photo(1);
    ASSERT_TRUE(QFile::remove(Lost->WorkFile));
    Kept = {Form->Photo(0)->WorkFile, Form->Photo(2)->WorkFile};
  }
  void ExpectTheRestIntact() {
    EXPECT_EQ(Titles(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg"),
                                     QStringLiteral("c.jpg")}));
    for (const QString& file : Kept) EXPECT_TRUE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_TRUE(Form->Photo(0)->Preview && Form->Photo(2)->Preview);
    EXPECT_TRUE(Form->isEnabled());
    EXPECT_FALSE(Form->ListChangesRefused());
  }
  // The one error shown since `before` errors, naming the lost working copy.
  void ExpectOneErrorAboutTheLostFile(int before) {
    ASSERT_EQ(Prompts.Errors().size(), before + 1) << Prompts.Errors().join(u'\n').toStdString();
    const QString error = Prompts.Errors().back();
    EXPECT_TRUE(error.contains(QFileInfo(Lost->WorkFile).fileName())) << error.toStdString();
  }
  TShpora* Lost = nullptr;
  QStringList Kept;
};

TEST_F(MissingWorkingJpeg, PreviewWithTheCachedPictureStillWorksARebuildSaysWhichFile) {
  Form->RunHandler([&] { Form->ShowPrintPreview(); });
  EXPECT_TRUE(Prompts.Errors().isEmpty());
  // An edit drops the pictures; the next preview has to read the file.
  Lost->DropImages();
  Form->RunHandler([&] { Form->ShowPrintPreview(); });
  ExpectOneErrorAboutTheLostFile(0);
  ExpectTheRestIntact();
}

TEST_F(MissingWorkingJpeg, ExportWritesThePagesBeforeAndStopsAtTheLostOne) {
  const QString folder = Env.Path(QStringLiteral("exported"));
  try {
    ExportImages(Form->Photos(), Wait, folder, QStringLiteral("TavDoc"), ExportJpeg);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(QFileInfo(Lost->WorkFile).fileName().toStdString()),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(FilesIn(folder), QStringList({QStringLiteral("TavDoc000.jpg")}));
  EXPECT_FALSE(QImage(folder + QStringLiteral("/TavDoc000.jpg")).isNull());
  EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
  ExpectTheRestIntact();
}

TEST_F(MissingWorkingJpeg, SavingFailsAndKeepsThePreviousDocument) {
  const QString doc = Env.Path(QStringLiteral("docs/notes.TavDoc"));
  const QByteArray old = TDocBytes().Header(1, 1, 0, 0).Bytes;
  apptest::WriteAll(doc, old);
  const QString title = Form->windowTitle();
  Prompts.FileToSave.push_back(doc);
  Form->SaveasTavrolinDocument1->trigger();
  ExpectOneErrorAboutTheLostFile(0);
  EXPECT_EQ(ReadAll(doc), old);
  EXPECT_EQ(FilesIn(Env.Path(QStringLiteral("docs"))),
            QStringList({QStringLiteral("notes.TavDoc")}));
  EXPECT_EQ(Form->windowTitle(), title);
  ExpectTheRestIntact();
}

}  // namespace
