// The document model as both front ends use it: photos in, rows in order, a document written
// and read back, the lock between two writers, and the work folder's life.
#include <gtest/gtest.h>

#include <unistd.h>

#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "JpegFixture.h"
#include "PhotoDocument.h"
#include "ScriptedWait.h"

namespace {

class PhotoDocumentTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    qputenv("TMPDIR", QFile::encodeName(Dir.filePath(QStringLiteral("tmp"))));
    QDir().mkpath(Dir.filePath(QStringLiteral("tmp")));
    QDir().mkpath(Dir.filePath(QStringLiteral("photos")));
  }
  void TearDown() override { qunsetenv("TMPDIR"); }

  // A small photo, `w` x `h`, of a gradient.
  QString Photo(const QString& name, int w = 64, int h = 48) {
    const QString path = Dir.filePath(QStringLiteral("photos/") + name);
    WriteJpegFixture(path, w, h, [](int x, int y) {
      return BgrPixel{uint8_t(x * 5), uint8_t(y * 3), uint8_t(x + y)};
    });
    return path;
  }
  QString Path(const QString& name) const { return Dir.filePath(name); }

  QTemporaryDir Dir;
};

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(PhotoDocumentTest, AddsInTheListOrderAndReadsBackWhatItWrote) {
  TPhotoDocument document;
  TScriptedWait wait;
  QStringList added, skipped;
  const QStringList names{Photo(QStringLiteral("b.jpg")), Photo(QStringLiteral("A.JPEG"), 48, 64),
                          Path(QStringLiteral("notes.txt")), Photo(QStringLiteral("c.jpg"))};
  EXPECT_EQ(document.AddPhotoFiles(
                names, wait, [&](int32_t row) { added << document.Row(row).Title; },
                [&](const QString& name) { skipped << QFileInfo(name).fileName(); }),
            3);
  EXPECT_TRUE(document.Complete());
  EXPECT_EQ(wait.Shows(), 1);
  EXPECT_EQ(wait.Text(), QStringLiteral("Adding files..."));
  EXPECT_EQ(wait.Closes(), 1);
  EXPECT_EQ(added, (QStringList{"A.JPEG", "b.jpg", "c.jpg"}));  // sorted ignoring case
  EXPECT_EQ(skipped, QStringList{QStringLiteral("notes.txt")});
  EXPECT_EQ(document.Titles(), (QStringList{"A.JPEG", "b.jpg", "c.jpg"}));
  EXPECT_EQ(document.Row(0).SecondColumn, Dir.filePath(QStringLiteral("photos")) + u'/');
  // A photo wider than high is marked for a quarter turn, the other is not.
  EXPECT_EQ(document.Photo(0)->Rotation, 0);
  EXPECT_EQ(document.Photo(1)->Rotation, 1);

  document.Photo(2)->Brightness = 7;
  document.Layout = {2, 3, 1};
  const QString saved = Path(QStringLiteral("d.TavDoc"));
  document.Save(saved);
  EXPECT_EQ(document.FilePath(), saved);

  TPhotoDocument reread;
  TScriptedWait openWait;
  std::vector<int32_t> read;
  TPhotoDocument::TOpenHooks hooks;
  hooks.PhotoRead = [&](int32_t row) { read.push_back(row); };
  EXPECT_EQ(reread.Open(saved, openWait, hooks, TPhotoDocument::TLockUse::None).What,
            TPhotoDocument::TOpenResult::Read);
  EXPECT_EQ(read, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(openWait.Text(), QStringLiteral("Opening d.TavDoc..."));
  EXPECT_EQ(reread.Titles(), document.Titles());
  EXPECT_EQ(reread.Row(1).SecondColumn, QStringLiteral("d.TavDoc"));
  EXPECT_EQ(reread.Photo(2)->Brightness, 7);
  EXPECT_EQ(reread.Layout.Rows, 2);
  EXPECT_EQ(reread.Layout.Columns, 3);
  EXPECT_EQ(reread.Layout.Order, 1);
  // Written again, the document is the same to the byte.
  reread.Save(Path(QStringLiteral("e.TavDoc")));
  EXPECT_EQ(Bytes(Path(QStringLiteral("e.TavDoc"))), Bytes(saved));
}

TEST_F(PhotoDocumentTest, RowsMoveAndGoWithTheirRecords) {
  TPhotoDocument document;
  for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"}) {
    document.AddPhotoFile(Photo(QString::fromLatin1(name)));
  }
  const TShpora* third = document.Photo(2);
  const TRowOrder order = document.MoveUp({false, false, true, true});
  EXPECT_EQ(document.Titles(), (QStringList{"1.jpg", "3.jpg", "4.jpg", "2.jpg"}));
  EXPECT_EQ(document.Photo(1), third);
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order[1].Row, 2);
  EXPECT_TRUE(order[1].Selected);
  document.SortByTitle({false, false, false, false});
  EXPECT_EQ(document.Titles(), (QStringList{"1.jpg", "2.jpg", "3.jpg", "4.jpg"}));

  const QString removedFile = document.Photo(1)->WorkFile;
  document.RemoveRows({1, 3});
  EXPECT_EQ(document.Titles(), (QStringList{"1.jpg", "3.jpg"}));
  EXPECT_FALSE(QFileInfo::exists(removedFile));
  EXPECT_EQ(document.Photo(2), nullptr);
}

TEST_F(PhotoDocumentTest, WorkFolderIsReplacedWhenItVanishesAndRemovedAtTheEnd) {
  QString first, second;
  {
    TPhotoDocument document;
    EXPECT_TRUE(document.WorkFolder().Path().isEmpty());  // made on first need
    document.AddPhotoFile(Photo(QStringLiteral("a.jpg")));
    first = document.WorkFolder().Path();
    ASSERT_TRUE(QFileInfo(first).isDir());
    // A cleaner of the temporary folder takes the folder and its files while the program runs.
    ASSERT_TRUE(QDir(first).removeRecursively());
    document.AddPhotoFile(Photo(QStringLiteral("b.jpg")));
    second = document.WorkFolder().Path();
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFileInfo::exists(document.Photo(1)->WorkFile));
    EXPECT_TRUE(document.Photo(1)->WorkFile.startsWith(second));
  }
  EXPECT_FALSE(QFileInfo::exists(second));
  EXPECT_FALSE(QFileInfo::exists(first));
}

TEST_F(PhotoDocumentTest, OpenTellsWhatItFound) {
  TScriptedWait wait;
  const QString text = Path(QStringLiteral("text.TavDoc"));
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a document at all");
  file.close();
  TPhotoDocument document;
  EXPECT_EQ(document.Open(text, wait).What, TPhotoDocument::TOpenResult::NotDocument);

  const QString other = Path(QStringLiteral("v2.TavDoc"));
  QFile v2(other);
  ASSERT_TRUE(v2.open(QIODevice::WriteOnly));
  const int32_t header[2] = {kDocumentMagic, 2};  // little-endian on every machine we build for
  v2.write(reinterpret_cast<const char*>(header), sizeof header);
  v2.close();
  const TPhotoDocument::TOpenResult result = document.Open(other, wait);
  EXPECT_EQ(result.What, TPhotoDocument::TOpenResult::OtherVersion);
  EXPECT_EQ(result.Version, 2);
  EXPECT_EQ(document.Count(), 0);
  EXPECT_TRUE(document.FilePath().isEmpty());

  EXPECT_THROW(document.Open(Path(QStringLiteral("missing.TavDoc")), wait), std::runtime_error);
}

TEST_F(PhotoDocumentTest, OpenStopsBetweenPhotosWhenTheWaitStops) {
  TPhotoDocument document;
  for (const char* name : {"1.jpg", "2.jpg", "3.jpg"}) {
    document.AddPhotoFile(Photo(QString::fromLatin1(name)));
  }
  document.Save(Path(QStringLiteral("d.TavDoc")));
  TPhotoDocument reread;
  TScriptedWait stopAtTwo;
  stopAtTwo.CancelAfter = 2;
  reread.Open(Path(QStringLiteral("d.TavDoc")), stopAtTwo);
  EXPECT_FALSE(reread.Complete());
  EXPECT_EQ(reread.Count(), 1);
}

TEST_F(PhotoDocumentTest, ASecondWriterFailsNamingTheFirstAndWritesNothing) {
  TPhotoDocument first;
  first.AddPhotoFile(Photo(QStringLiteral("a.jpg")));
  const QString path = Path(QStringLiteral("d.TavDoc"));
  first.Save(path);
  const QByteArray before = Bytes(path);
  EXPECT_TRUE(QFileInfo::exists(TDocumentLock::LockFileName(path)));
  EXPECT_TRUE(QFileInfo(TDocumentLock::LockFileName(path)).fileName().startsWith(u'.'));

  // A second writer that reads the document while the first holds it gets the photos...
  TPhotoDocument second;
  second.LockWaitMs = 100;
  TScriptedWait wait;
  EXPECT_EQ(second.Open(path, wait).What, TPhotoDocument::TOpenResult::Read);
  second.AddPhotoFile(Photo(QStringLiteral("b.jpg")));
  // ...but cannot write it back over the first one's changes.
  const QString pid = QString::number(::getpid());
  try {
    second.Save(path);
    ADD_FAILURE() << "the second save went through";
  } catch (const std::runtime_error& e) {
    const QString message = QString::fromUtf8(e.what());
    EXPECT_TRUE(message.startsWith(QStringLiteral("d.TavDoc is in use by "))) << e.what();
    EXPECT_TRUE(message.contains(QStringLiteral("(process ") + pid + u')')) << e.what();
  }
  EXPECT_EQ(Bytes(path), before);
  // One that must hold the lock to read it (a command that writes back) is refused at once.
  TPhotoDocument third;
  third.LockWaitMs = 100;
  EXPECT_THROW(third.Open(path, wait, {}, TPhotoDocument::TLockUse::Required), std::runtime_error);
  EXPECT_EQ(third.Count(), 0);

  // Once the first lets go, the second may write.
  first.Clear();
  EXPECT_FALSE(QFileInfo::exists(TDocumentLock::LockFileName(path)));
  second.Save(path);
  TPhotoDocument check;
  check.Open(path, wait, {}, TPhotoDocument::TLockUse::None);
  EXPECT_EQ(check.Count(), 2);
}

}  // namespace
