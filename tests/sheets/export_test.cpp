// The export: the loop over real photo records writing real JPEG and PNG files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageReader>

#include "ExportImages.h"
#include "SheetFixture.h"

namespace {

QStringList Files(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QSize ImageSize(const QString& file, const QByteArray& format) {
  QImageReader reader(file);
  if (reader.format() != format) return QSize();
  return reader.size();
}

}  // namespace

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 3; ++k) Document.AddPhoto(kPalette[k], 300, 400);
    Photos = Document.Photos();
  }
  TColourPhotos Document;
  std::vector<TShpora*> Photos;
  TScriptedWait Wait;
};

TEST_F(ExportTest, NumberedFilesInBothFormats) {
  // A 300 x 400 photo with the default crop exports at 242 x 346: its own cropped size.
  const QSize cropped(340 * 300 / 420, 514 * 400 / 594);
  struct Case {
    int format;
    const char* extension;
    QByteArray reader;
  };
  for (const Case& c : {Case{ExportJpeg, ".jpg", "jpeg"}, Case{ExportPng, ".png", "png"}}) {
    const QString folder = Document.Path(QStringLiteral("out%1").arg(c.format));
    EXPECT_EQ(ExportImages(Photos, Wait, folder, "TavDoc", c.format), 3);
    const QStringList expected = {QString("TavDoc000") + c.extension,
                                  QString("TavDoc001") + c.extension,
                                  QString("TavDoc002") + c.extension};
    EXPECT_EQ(Files(folder), expected);
    for (const QString& name : expected)
      EXPECT_EQ(ImageSize(folder + "/" + name, c.reader), cropped) << name.toStdString();
  }
  EXPECT_EQ(Wait.Caption(), "Please wait...");
  EXPECT_EQ(Wait.Text(), "Exporting images......");
  EXPECT_EQ(Wait.Minimum(), 0);
  EXPECT_EQ(Wait.Maximum(), 2);
  EXPECT_EQ(Wait.Shows(), 2);
  EXPECT_EQ(Wait.Closes(), 2);
  for (TShpora* photo : Photos) EXPECT_EQ(photo->FullImage, nullptr);

  // Exporting again overwrites without asking.
  const QString again = Document.Path("out0/TavDoc001.jpg");
  QFile::resize(again, 10);
  EXPECT_EQ(ExportImages(Photos, Wait, Document.Path("out0"), "TavDoc", ExportJpeg), 3);
  EXPECT_EQ(ImageSize(again, "jpeg"), cropped);
}

TEST_F(ExportTest, NamesAndFolders) {
  EXPECT_EQ(ExportNumber(0), "000");
  EXPECT_EQ(ExportNumber(42), "042");
  EXPECT_EQ(ExportNumber(1234), "1234");
  EXPECT_EQ(ExportExtension(0), ".jpg");
  EXPECT_EQ(ExportExtension(1), ".png");
  EXPECT_EQ(ExportExtension(2), "");

  // Missing parents are created; a trailing "/" is added only when missing.
  const QString nested = Document.Path("a/b/c");
  EXPECT_EQ(PrepareExportFolder(nested), nested + "/");
  EXPECT_TRUE(QDir(nested).exists());
  EXPECT_EQ(PrepareExportFolder(nested + "/"), nested + "/");
  EXPECT_EQ(ExportImages(Photos, Wait, nested + "/", "p", ExportJpeg), 3);
  EXPECT_TRUE(QFile::exists(nested + "/p000.jpg"));

  // A format other than the two writes nothing.
  EXPECT_EQ(ExportImages(Photos, Wait, Document.Path("none"), "TavDoc", 5), 0);
  EXPECT_TRUE(Files(Document.Path("none")).isEmpty());
}

TEST_F(ExportTest, EmptyFolderTextFailsBeforeTheWaitDialog) {
  try {
    ExportImages(Photos, Wait, "", "TavDoc", ExportJpeg);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unable to create directory");
  }
  EXPECT_EQ(Wait.Shows(), 0);

  // A folder that cannot exist (its parent is a file) fails the same way, naming it.
  QFile file(Document.Path("plain"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_THROW(ExportImages(Photos, Wait, Document.Path("plain/sub"), "TavDoc", ExportJpeg),
               std::runtime_error);
  EXPECT_EQ(Wait.Shows(), 0);
}

TEST_F(ExportTest, WriteFailureKeepsEarlierPagesAndClosesTheWaitDialog) {
  // The name of page 1 is taken by a folder, which no file write can replace (root or not).
  const QString folder = Document.Path("blocked");
  ASSERT_TRUE(QDir().mkpath(folder + "/TavDoc001.jpg"));
  EXPECT_THROW(ExportImages(Photos, Wait, folder, "TavDoc", ExportJpeg), std::runtime_error);
  EXPECT_EQ(Files(folder), (QStringList{"TavDoc000.jpg", "TavDoc001.jpg"}));
  EXPECT_EQ(ImageSize(folder + "/TavDoc000.jpg", "jpeg").isValid(), true);
  EXPECT_EQ(Wait.Shows(), 1);
  EXPECT_EQ(Wait.Closes(), 1);
}

TEST_F(ExportTest, CancelDuringPositionFourKeepsZeroToFour) {
  for (int k = 3; k < 7; ++k) Photos.push_back(Document.AddPhoto(kPalette[k], 30, 42));
  // A press while page 4 is written arrives with the events of the next step, SetProgress(5).
  Wait.CancelAfter = 6;
  const QString folder = Document.Path("cancelled");
  EXPECT_EQ(ExportImages(Photos, Wait, folder, "TavDoc", ExportPng), 5);
  EXPECT_EQ(Files(folder), (QStringList{"TavDoc000.png", "TavDoc001.png", "TavDoc002.png",
                                        "TavDoc003.png", "TavDoc004.png"}));
  EXPECT_EQ(Wait.Progress(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(Wait.Maximum(), 6);
  EXPECT_EQ(Wait.Closes(), 1);
}
