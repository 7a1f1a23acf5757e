// A working copy whose header declares a picture larger than the import ever writes is damaged:
// Reload refuses it by its header, before decoding, and the record keeps its pictures.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include <QFile>

#include "PagesTestSupport.h"
#include "Shpora.h"

using namespace pagestest;

namespace {

// The JPEG with the height and width of its frame header (SOF0 to SOF2) replaced. The segments
// before the frame are walked by their lengths, so no byte of their data is taken for a marker.
QByteArray WithDeclaredSize(QByteArray jpeg, int width, int height) {
  int at = 2;  // past the start-of-image marker
  while (at + 9 < jpeg.size() && uint8_t(jpeg[at]) == 0xFF) {
    const uint8_t marker = uint8_t(jpeg[at + 1]);
    if (marker >= 0xC0 && marker <= 0xC2) {
      jpeg[at + 5] = char(height >> 8);
      jpeg[at + 6] = char(height & 0xFF);
      jpeg[at + 7] = char(width >> 8);
      jpeg[at + 8] = char(width & 0xFF);
      return jpeg;
    }
    at += 2 + (uint8_t(jpeg[at + 2]) << 8 | uint8_t(jpeg[at + 3]));
  }
  ADD_FAILURE() << "no frame header found";
  return jpeg;
}

class OversizedWorkingCopy : public WorkFolderTest {};

TEST_F(OversizedWorkingCopy, IsReportedDamagedByItsHeaderAndTheRecordKeepsItsPictures) {
  const QByteArray small = EncodeJpegWithLibjpeg(64, 48, Structured);
  struct {
    int width, height;
  } cases[] = {{16000, 16000}, {1501, 10}, {10, 1501}, {1501, 1501}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    const QString path = PathOf(QStringLiteral("0.jpg"));
    ASSERT_TRUE(WriteBytes(path, small));
    auto record = TShpora::CreateForWorkFile(path);
    record->Reload(true);
    const TFastDIB* preview = record->Preview.get();
    const TFastDIB* full = record->FullImage.get();

    ASSERT_TRUE(WriteBytes(path, WithDeclaredSize(small, c.width, c.height)));
    try {
      record->Reload(true);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      // Named like the other damaged working copies, and refused by the header rather than by
      // the decoder running out of data.
      const std::string what = e.what();
      EXPECT_NE(what.find("0.jpg: the working copy is damaged"), std::string::npos) << what;
      EXPECT_NE(what.find(std::to_string(c.width) + " x " + std::to_string(c.height)),
                std::string::npos)
          << what;
    }
    EXPECT_EQ(record->Preview.get(), preview);
    EXPECT_EQ(record->FullImage.get(), full);
  }
}

TEST_F(OversizedWorkingCopy, AWorkingCopyOfTheLargestImportedSizeStillLoads) {
  for (auto [w, h] : {std::pair{1500, 16}, std::pair{16, 1500}}) {
    const QString path = PathOf(QStringLiteral("1.jpg"));
    ASSERT_TRUE(WriteBytes(path, EncodeJpegWithLibjpeg(w, h, Structured)));
    auto record = TShpora::CreateForWorkFile(path);
    record->Reload(true);
    ASSERT_NE(record->FullImage, nullptr);
    EXPECT_EQ(record->FullImage->Width(), w);
    EXPECT_EQ(record->FullImage->AbsHeight, h);
  }
}

}  // namespace
