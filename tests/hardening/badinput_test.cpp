// Photos and documents that are not what their names say, through the main window: every file of
// the fuzzing corpus (crashers found by fuzzing included) and damaged files made here. Each is
// either taken or refused with a message; the rows before it stay, every row keeps its own
// working file and no other file is left in the work folder, and memory stays bounded.
#include <gtest/gtest.h>

#include <map>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include "Ads.h"
#include "AppTestSupport.h"
#include "HardeningSupport.h"
#include "Update.h"

namespace {

using apptest::AppTest;
using apptest::ReadAll;
using apptest::TDocBytes;
using hardening::FilesIn;

class BadInput : public AppTest {
 protected:
  // Every row owns exactly one working file, and the work folder holds nothing else.
  void ExpectWorkFolderMatchesTheRows(const std::string& context) {
    QStringList own;
    for (int i = 0; i < Form->PhotoCount(); ++i) {
      const QString file = Form->Photo(i)->WorkFile;
      EXPECT_TRUE(QFileInfo::exists(file)) << context << ": row " << i;
      own << QFileInfo(file).fileName();
    }
    own.sort();
    if (!Form->WorkFolder().isEmpty()) {
      EXPECT_EQ(FilesIn(Form->WorkFolder()), own) << context;
    }
    EXPECT_TRUE(Form->isEnabled()) << context;
    EXPECT_FALSE(Form->Busy()) << context;
  }
};

// What the seed photos of the fuzzer are: taken (a row) or refused (a message naming the file).
TEST_F(BadInput, EveryCorpusPhotoIsTakenOrRefusedAndTheRowsBeforeStay) {
  const std::map<QString, bool> taken = {
      {QStringLiteral("wide.jpg"), true},
      {QStringLiteral("tall-progressive.jpg"), true},
      {QStringLiteral("gray.jpg"), true},
      {QStringLiteral("cmyk.jpg"), true},
      {QStringLiteral("one-pixel.jpg"), true},
      {QStringLiteral("truncated.jpg"), false},
      {QStringLiteral("png-renamed.jpg"), false},
      {QStringLiteral("empty.jpg"), false},
      {QStringLiteral("3000x1-header.jpg"), false},
      {QStringLiteral("65500x65500-header.jpg"), false},
      {QStringLiteral("65500x65500-progressive-header.jpg"), false},
  };
  const QString corpus = hardening::FuzzCorpus(QStringLiteral("photo"));
  const QStringList files = QDir(corpus).entryList(QDir::Files, QDir::Name);
  ASSERT_FALSE(files.isEmpty()) << corpus.toStdString();
  const QString first = MakePhoto(QStringLiteral("0-good.jpg"));
  MakeForm();
  Form->AddFileList({first});
  const int64_t memoryBefore = hardening::PeakResidentMiB();
  int rows = 1;
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    // Under a name that sorts after the good photo, as a user's camera files would.
    const QString copy = Env.Path(QStringLiteral("photos/x-") + name);
    QFile::copy(corpus + u'/' + name, copy);
    const int errors = Prompts.Errors().size();
    Form->RunHandler([&] { Form->AddFileList({copy}); });
    const auto known = taken.find(name);
    const bool added = Form->PhotoCount() == rows + 1;
    if (known != taken.end()) {
      EXPECT_EQ(added, known->second);
    }
    if (added) {
      ++rows;
      EXPECT_EQ(Prompts.Errors().size(), errors);
    } else {
      ASSERT_EQ(Prompts.Errors().size(), errors + 1);
      EXPECT_TRUE(Prompts.Errors().back().contains(QFileInfo(copy).fileName()))
          << Prompts.Errors().back().toStdString();
    }
    EXPECT_EQ(Form->RowTitle(0), QStringLiteral("0-good.jpg"));
    ExpectWorkFolderMatchesTheRows(name.toStdString());
  }
  // A forged 65500 x 65500 header is refused without the gigabytes it asks for.
  EXPECT_LT(hardening::PeakResidentMiB() - memoryBefore, 512);
}

// A camera-sized photo cut off in the middle of its data (an interrupted copy from a card).
TEST_F(BadInput, ATruncatedCameraPhotoIsRefusedAndTheListStays) {
  const QString whole = MakePhoto(QStringLiteral("whole.jpg"), 3000, 2000, 5);
  const QString cut = Env.Path(QStringLiteral("photos/IMG_0002.jpg"));
  const QByteArray bytes = ReadAll(whole);
  apptest::WriteAll(cut, bytes.left(bytes.size() * 2 / 3));
  FormWithRows({QStringLiteral("IMG_0001")});
  Form->RunHandler([&] { Form->AddFileList({cut}); });
  ASSERT_EQ(Prompts.Errors().size(), 1);
  EXPECT_TRUE(Prompts.Errors().front().contains(QStringLiteral("IMG_0002.jpg")));
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("IMG_0001.jpg")}));
  ExpectWorkFolderMatchesTheRows("truncated");
}

// Every document of the fuzzing corpus, opened one after another in the same window, then each
// photo read drawn into a cell and exported, as the sheet preview and the export would.
TEST_F(BadInput, EveryCorpusDocumentOpensOrFailsCleanly) {
  struct Expect {
    int Rows;    // photos added by the document
    bool Error;  // a message is shown
  };
  const std::map<QString, Expect> known = {
      {QStringLiteral("one-photo.TavDoc"), {1, false}},
      {QStringLiteral("three-photos.TavDoc"), {3, false}},
      {QStringLiteral("no-photos.TavDoc"), {0, false}},
      {QStringLiteral("other-version.TavDoc"), {0, false}},
      {QStringLiteral("not-a-document.TavDoc"), {0, false}},
      {QStringLiteral("short.TavDoc"), {0, false}},
      {QStringLiteral("negative-count.TavDoc"), {0, true}},
      {QStringLiteral("huge-count.TavDoc"), {1, true}},
      {QStringLiteral("negative-title.TavDoc"), {0, true}},
      {QStringLiteral("huge-title.TavDoc"), {0, true}},
      {QStringLiteral("negative-jpeg.TavDoc"), {0, true}},
      {QStringLiteral("jpeg-past-end.TavDoc"), {0, true}},
      {QStringLiteral("parameters-cut.TavDoc"), {0, true}},
      {QStringLiteral("not-a-jpeg-inside.TavDoc"), {1, true}},
      {QStringLiteral("extreme-parameters.TavDoc"), {1, false}},
  };
  const QString corpus = hardening::FuzzCorpus(QStringLiteral("document"));
  const QStringList files = QDir(corpus).entryList(QDir::Files, QDir::Name);
  ASSERT_GE(files.size(), int(known.size())) << corpus.toStdString();
  MakeForm();
  const QString exported = Env.Path(QStringLiteral("exported/"));
  QDir().mkpath(exported);
  for (const QString& name : files) {
    SCOPED_TRACE(name.toStdString());
    // Each into an empty list, so that a message belongs to this document: a photo that cannot
    // be decoded stays a row and is reported again at every redraw of the sheets.
    Form->ClearDocument();
    const int rowsBefore = Form->PhotoCount();
    const int errors = Prompts.Errors().size();
    Form->RunHandler([&] { Form->OpenDocument(corpus + u'/' + name); });
    const auto expect = known.find(name);
    if (expect != known.end()) {
      EXPECT_EQ(Form->PhotoCount() - rowsBefore, expect->second.Rows);
      EXPECT_EQ(Prompts.Errors().size() - errors, expect->second.Error ? 1 : 0)
          << Prompts.Errors().join(u'\n').toStdString();
    }
    EXPECT_LE(Prompts.Errors().size() - errors, 1);
    ExpectWorkFolderMatchesTheRows(name.toStdString());
    // The layout controls hold their ranges whatever the file said.
    EXPECT_GE(Form->LayoutRows(), 1);
    EXPECT_LE(Form->LayoutRows(), 5);
    for (int i = rowsBefore; i < Form->PhotoCount(); ++i) {
      TShpora* photo = Form->Photo(i);
      QImage sheet(120, 160, QImage::Format_RGB888);
      try {
        QPainter painter(&sheet);
        photo->DrawCell(painter, 3, 4, 50, 70, false, true);
        photo->DrawCell(painter, 0, 0, 120, 160, true, true);
      } catch (const std::runtime_error&) {
        // A photo whose picture cannot be decoded says so; it is still a row.
      }
      try {
        photo->ExportPage(exported + QStringLiteral("page.png"), true, 60, 80);
      } catch (const std::runtime_error&) {
      }
      photo->DropFullImage();
    }
  }
  Form->ClearDocument();
  EXPECT_EQ(Form->PhotoCount(), 0);
  if (!Form->WorkFolder().isEmpty()) {
    EXPECT_EQ(FilesIn(Form->WorkFolder()), QStringList());
  }
}

// Hand-made documents whose length fields lie in every way, on top of a good first photo: the
// photos before the damaged one stay, the reader neither loops nor allocates what is claimed.
TEST_F(BadInput, LengthFieldsNegativeHugeOrPastTheEnd) {
  const QByteArray jpeg = ReadAll(MakePhoto(QStringLiteral("p.jpg"), 16, 24));
  const std::vector<int32_t> p{0, 1, 1, 1, 40, 380, 40, 554};
  const TDocBytes good = TDocBytes().Parameters(p).Title(QStringLiteral("good")).Jpeg(jpeg);
  struct Case {
    const char* Name;
    QByteArray Rest;  // what follows the good photo
  } const cases[] = {
      {"title length -1", TDocBytes().Parameters(p).Int(-1).Bytes},
      {"title length 2^31-1", TDocBytes().Parameters(p).Int(0x7FFFFFFF).Bytes},
      {"title past the end", TDocBytes().Parameters(p).Int(50).Raw("ab").Bytes},
      {"jpeg length -2^31", TDocBytes().Parameters(p).Title("t").Int(int32_t(0x80000000)).Bytes},
      {"jpeg length 2^31-1", TDocBytes().Parameters(p).Title("t").Int(0x7FFFFFFF).Raw(jpeg).Bytes},
      {"jpeg past the end",
       TDocBytes().Parameters(p).Title("t").Int(jpeg.size() + 1).Raw(jpeg).Bytes},
      {"parameters cut", TDocBytes().Int(1).Int(2).Bytes},
      {"nothing more", QByteArray()},
  };
  MakeForm();
  for (int32_t count : {2, 0x7FFFFFFF}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Name) + ", count " + std::to_string(count));
      Form->ClearDocument();
      const QString doc = Env.Path(QStringLiteral("docs/bad.TavDoc"));
      apptest::WriteAll(doc, TDocBytes().Header(2, 2, 0, count).Raw(good.Bytes).Raw(c.Rest).Bytes);
      const int errors = Prompts.Errors().size();
      const int64_t memoryBefore = hardening::PeakResidentMiB();
      Form->RunHandler([&] { Form->OpenDocument(doc); });
      EXPECT_EQ(Titles(), QStringList({QStringLiteral("good")}));
      ASSERT_EQ(Prompts.Errors().size(), errors + 1);
      EXPECT_EQ(Prompts.Errors().back(), QStringLiteral("Read beyond end of file"));
      EXPECT_LT(hardening::PeakResidentMiB() - memoryBefore, 256);
      ExpectWorkFolderMatchesTheRows(c.Name);
    }
  }
}

// Addresses from the settings file that would name no file, the cache folder or its parent
// (found by fuzzing): they still give plain names inside the data folder.
TEST(BadAddresses, CacheAndInstallerNamesStayPlainNames) {
  for (const char* url : {"http://", "http://.", "http://..", "..", ".", "http://a/..",
                          "http://a/.", "http://a/", "http://", "/"}) {
    SCOPED_TRACE(url);
    for (const QString& name :
         {UrlToFileName(QString::fromUtf8(url)), InstallerFileName(QString::fromUtf8(url))}) {
      EXPECT_FALSE(name.isEmpty());
      EXPECT_NE(name, QStringLiteral("."));
      EXPECT_NE(name, QStringLiteral(".."));
      EXPECT_FALSE(name.contains(u'/'));
    }
  }
  EXPECT_EQ(UrlToFileName(QStringLiteral("http://")), QStringLiteral("-"));
  EXPECT_EQ(UrlToFileName(QStringLiteral("http://..")), QStringLiteral("--"));
  EXPECT_EQ(UrlToFileName(QStringLiteral("http://host/ads/a.jpg")),
            QStringLiteral("host-ads-a.jpg"));
}

}  // namespace
