// A disk that fills up in the middle of saving a document and of exporting pages: the user gets
// a message, the previous document (or the pages written before) stay intact, and nothing
// half-written is left under a user's file name or beside it.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>

#include "AppTestSupport.h"
#include "ExportImages.h"
#include "HardeningSupport.h"

namespace {

using apptest::AppTest;
using apptest::ReadAll;
using apptest::TDocBytes;
using hardening::FilesIn;
using hardening::TSmallDisk;

class DiskFull : public AppTest {
 protected:
  void RequireSmallDisk(const TSmallDisk& disk) {
    if (!disk.Usable())
      GTEST_SKIP() << "no small disk can be made here: " << disk.Why().toStdString();
  }
  // The message a full disk gives: "Disk full" on a real file system; under the file-size
  // limit the system says "File too large" instead.
  void ExpectDiskFullMessage(const TSmallDisk& disk, const QString& message) {
    if (disk.IsRealFileSystem()) {
      EXPECT_TRUE(message.contains(QStringLiteral("Disk full")) ||
                  message.contains(QStringLiteral("No space left on device")))
          << message.toStdString();
    } else {
      EXPECT_FALSE(message.isEmpty());
    }
  }
};

TEST_F(DiskFull, SavingKeepsThePreviousDocumentAndLeavesNoTemporaryFile) {
  FormWithRows({QStringLiteral("a"), QStringLiteral("b")});
  const QString docs = Env.Path(QStringLiteral("small"));
  TSmallDisk disk(docs, 256 * 1024);
  RequireSmallDisk(disk);
  const QString target = docs + QStringLiteral("/notes.TavDoc");
  const QByteArray old = TDocBytes().Header(2, 3, 1, 0).Bytes;
  apptest::WriteAll(target, old);
  const QString title = Form->windowTitle();

  disk.FillUp();
  Prompts.FileToSave.push_back(target);
  Form->SaveasTavrolinDocument1->trigger();
  disk.Release();

  ASSERT_EQ(Prompts.Errors().size(), 1);
  ExpectDiskFullMessage(disk, Prompts.Errors().front());
  EXPECT_EQ(ReadAll(target), old);
  EXPECT_EQ(FilesIn(docs), QStringList({QStringLiteral("notes.TavDoc")}));
  // Only a document that was written names the window; the list is as it was.
  EXPECT_EQ(Form->windowTitle(), title);
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.jpg")}));
  EXPECT_TRUE(Form->isEnabled());

  // With room again the same command succeeds.
  Prompts.FileToSave.push_back(target);
  Form->SaveasTavrolinDocument1->trigger();
  EXPECT_EQ(Prompts.Errors().size(), 1);
  EXPECT_GT(ReadAll(target).size(), old.size());
}

TEST_F(DiskFull, ExportingKeepsThePagesWrittenBeforeAndNoPartialPage) {
  FormWithRows(
      {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")});
  const QString root = Env.Path(QStringLiteral("small"));
  TSmallDisk disk(root, 4 * 1024 * 1024);
  RequireSmallDisk(disk);
  const QString folder = root + QStringLiteral("/pages");
  for (int32_t format : {ExportJpeg, ExportPng}) {
    SCOPED_TRACE(format);
    const QString ext = ExportExtension(format);
    // The disk fills up while the third page is being prepared.
    Wait.OnProgress = [&](int position) {
      if (position == 2) disk.FillUp();
    };
    std::string error;
    try {
      ExportImages(Form->Photos(), Wait, folder, QStringLiteral("TavDoc"), format);
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    disk.Release();
    Wait.OnProgress = {};
    ExpectDiskFullMessage(disk, QString::fromStdString(error));
    EXPECT_NE(error.find("TavDoc002" + ext.toStdString()), std::string::npos) << error;
    EXPECT_EQ(FilesIn(folder).filter(ext),
              QStringList({QStringLiteral("TavDoc000") + ext, QStringLiteral("TavDoc001") + ext}));
    for (const QString& page : FilesIn(folder).filter(ext))
      EXPECT_FALSE(QImage(folder + u'/' + page).isNull()) << page.toStdString();
    EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
    // Every photo keeps what it had: the list can be saved and exported again.
    for (TShpora* photo : Form->Photos()) EXPECT_TRUE(photo->Preview != nullptr);
  }
  EXPECT_EQ(FilesIn(folder).size(), 4);
}

}  // namespace
