// Work that Reload skips: a Preview made from the working file with the record's current values
// stays, and it is always the Preview the full work would have made again.
#include <gtest/gtest.h>

#include <memory>

#include <QImage>
#include <QPainter>

#include "PagesTestSupport.h"
#include "Shpora.h"

using namespace pagestest;

namespace {

class PreviewReuse : public WorkFolderTest {
 protected:
  void SetUp() override {
    Record = TShpora::CreateFromPhoto(WritePhoto(QStringLiteral("page.jpg"), 900, 700), Folder());
  }

  // The Preview that a record with `record`'s values makes from its working file when it has no
  // pictures at all: a record of its own around a copy of the file.
  std::unique_ptr<TFastDIB> FreshPreview(const TShpora& record) {
    const QString copy = PathOf(QStringLiteral("fresh.jpg"));
    QFile::remove(copy);
    EXPECT_TRUE(QFile::copy(record.WorkFile, copy));
    auto fresh = TShpora::CreateForWorkFile(copy);
    static_cast<TShporaData&>(*fresh) = record;
    fresh->Reload(false);
    return CopyOf(*fresh->Preview);
  }

  std::unique_ptr<TShpora> Record;
};

TEST_F(PreviewReuse, APrintedCellKeepsThePreviewTheWorkingFileMade) {
  // The import's Preview comes from the picture before it was encoded, not from the working
  // file: the first reload builds a new one.
  const TFastDIB* imported = Record->Preview.get();
  Record->Reload(true);
  ASSERT_NE(Record->Preview.get(), imported);
  const TFastDIB* reloaded = Record->Preview.get();
  EXPECT_TRUE(SamePixels(*Record->Preview, *FreshPreview(*Record)));

  // Printing: a cell rebuilds FullImage and drops it; the Preview stays as it was.
  QImage sheet(400, 300, QImage::Format_RGB888);
  QPainter painter(&sheet);
  for (int cell = 0; cell < 3; ++cell) {
    Record->DrawCell(painter, 10, 10, 200, 150, true, true);
    Record->DropFullImage();
    EXPECT_EQ(Record->Preview.get(), reloaded);
  }
  Record->Reload(false);
  EXPECT_EQ(Record->Preview.get(), reloaded);
  EXPECT_EQ(Record->FullImage, nullptr);
  EXPECT_TRUE(SamePixels(*Record->Preview, *FreshPreview(*Record)));
}

TEST_F(PreviewReuse, AnyValueThatShapesThePictureMakesItAnew) {
  Record->Reload(false);
  struct Change {
    const char* what;
    void (*apply)(TShpora&);
  };
  const Change changes[] = {
      {"rotation", [](TShpora& r) { r.Rotation = 3; }},
      {"image type", [](TShpora& r) { r.ImageType = 0; }},
      {"brightness", [](TShpora& r) { r.Brightness = 4; }},
      {"contrast", [](TShpora& r) { r.Contrast = -3; }},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    // Changed without dropping the pictures, which the editor always does: the values the
    // Preview was made with no longer match, so it is made again.
    const TFastDIB* before = Record->Preview.get();
    c.apply(*Record);
    Record->Reload(true);
    EXPECT_NE(Record->Preview.get(), before);
    EXPECT_TRUE(SamePixels(*Record->Preview, *FreshPreview(*Record)));
  }
  // The crop edges are applied only when drawing: the Preview stays.
  const TFastDIB* before = Record->Preview.get();
  Record->CropLeft = 100;
  Record->CropBottom = 300;
  Record->Reload(true);
  EXPECT_EQ(Record->Preview.get(), before);
}

TEST_F(PreviewReuse, OtherPicturesAndOtherFilesAreNeverTakenForTheWorkingFile) {
  Record->Reload(false);
  // A picture handed to Process is not the working file, whatever it shows.
  const TFastDIB* before = Record->Preview.get();
  Record->Process(TFastDIB::LoadFromJpegFile(Record->WorkFile), false);
  // (A new Preview is made while the old one still exists, so a new one has a new address.)
  const TFastDIB* processed = Record->Preview.get();
  EXPECT_NE(processed, before);
  Record->Reload(false);  // from the file again: made anew, then kept
  const TFastDIB* fromFile = Record->Preview.get();
  EXPECT_NE(fromFile, processed);
  Record->Reload(true);
  EXPECT_EQ(Record->Preview.get(), fromFile);

  // A Preview put in place by anyone else is not the one the file made either.
  Record->Preview = std::make_unique<TFastDIB>(kFrameWidth, 24, kFrameHeight);
  Record->Reload(true);
  EXPECT_TRUE(SamePixels(*Record->Preview, *FreshPreview(*Record)));

  // Another working file of another picture, under another name.
  const QString other = PathOf(QStringLiteral("other.jpg"));
  ASSERT_TRUE(WriteBytes(other, EncodeJpegWithLibjpeg(500, 800, Structured)));
  Record->WorkFile = other;
  Record->Reload(false);
  EXPECT_EQ(Record->Preview->Width(), kFrameWidth);
  EXPECT_TRUE(SamePixels(*Record->Preview, *FreshPreview(*Record)));
}

TEST_F(PreviewReuse, AKeptPreviewStillNeedsAReadableWorkingFile) {
  Record->Reload(false);
  const TFastDIB* kept = Record->Preview.get();
  ASSERT_TRUE(QFile::remove(Record->WorkFile));
  EXPECT_THROW(Record->Reload(false), std::runtime_error);
  EXPECT_THROW(Record->Reload(true), std::runtime_error);
  EXPECT_EQ(Record->Preview.get(), kept);
  EXPECT_EQ(Record->FullImage, nullptr);
}

}  // namespace
