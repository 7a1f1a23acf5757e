// The photo page record: the import of a photo, working-file names, defaults and lifetime.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ostream>
#include <stdexcept>
#include <string>

#include <QDir>
#include <QFile>

#include "CaseNames.h"
#include "PagesTestSupport.h"
#include "Shpora.h"

using namespace pagestest;

namespace {

class Import : public WorkFolderTest {};

struct ImportCase {
  int photoW, photoH;
  int denominator;  // the scale the import must decode at
  int rotation;
  int workW, workH;
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.photoW << "x" << c.photoH; }

class ImportSizes : public WorkFolderTest, public testing::WithParamInterface<ImportCase> {};

// The working JPEG must be exactly: the photo decoded at the chosen scale with the fast integer
// transform, brought down by QuickResizeInto, encoded at quality 90 with libjpeg's defaults.
TEST_P(ImportSizes, DecodesAtTheChosenScaleAndWritesTheReducedWorkingCopy) {
  const ImportCase c = GetParam();
  const QString photo = WritePhoto(QStringLiteral("photo.jpg"), c.photoW, c.photoH);
  auto record = TShpora::CreateFromPhoto(photo, Folder());

  EXPECT_EQ(record->Rotation, c.rotation);
  EXPECT_EQ(record->WorkFile, PathOf(QStringLiteral("0.jpg")));
  const JpegInfo work = ReadJpegInfo(record->WorkFile);
  EXPECT_EQ(work.Width, c.workW);
  EXPECT_EQ(work.Height, c.workH);
  EXPECT_EQ(work.Components, 3);

  auto decoded = DecodeWithLibjpeg(ReadBytes(photo), c.denominator, true);
  TFastDIB reduced(c.workW, 24, c.workH);
  decoded->QuickResizeInto(reduced);
  EXPECT_TRUE(ReadBytes(record->WorkFile) == EncodeWorkingJpeg(reduced))
      << "working JPEG differs from decode 1/" << c.denominator << " + resize + quality 90";

  ASSERT_NE(record->Preview, nullptr);
  EXPECT_EQ(record->Preview->Width(), 420);
  EXPECT_EQ(record->Preview->Height(), 594);
  EXPECT_EQ(record->Preview->BitCount(), 24);
  EXPECT_EQ(record->FullImage, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Photos, ImportSizes,
    testing::Values(ImportCase{4000, 3000, 2, 1, 1500, 1125},  // ratio 2.67
                    ImportCase{1200, 1600, 1, 0, 1125, 1500},  // ratio 1.07
                    ImportCase{9000, 6000, 8, 1, 1125, 750},   // ratio exactly 6
                    ImportCase{2250, 1700, 2, 1, 1125, 850},   // ratio exactly 1.5
                    ImportCase{4499, 1000, 2, 1, 1500, 333},   // ratio just below 3
                    ImportCase{1000, 1000, 1, 0, 1000, 1000},  // square keeps rotation 0
                    ImportCase{4000, 2, 2, 1, 1500, 1}),       // never a side of 0 pixels
    [](const testing::TestParamInfo<ImportCase>& info) {
      return CaseName({"Photo", info.param.photoW, "x", info.param.photoH});
    });

TEST(ImportScale, RatioBoundariesChooseTheDenominator) {
  struct {
    int w, h, denominator;
  } cases[] = {{2249, 100, 1}, {2250, 100, 2}, {100, 4499, 2}, {4500, 10, 4},
               {8999, 10, 4},  {9000, 10, 8},  {60000, 5, 8},  {1, 1, 1}};
  for (const auto& c : cases)
    EXPECT_EQ(TShpora::ImportScaleDenominator(c.w, c.h), c.denominator) << c.w << " x " << c.h;
}

TEST_F(Import, GrayAndCmykPhotosBecomeColourWorkingCopies) {
  const J_COLOR_SPACE spaces[] = {JCS_GRAYSCALE, JCS_CMYK};
  for (J_COLOR_SPACE space : spaces) {
    const QString photo = WritePhoto(QStringLiteral("odd.jpg"), 300, 200, Structured, space);
    auto record = TShpora::CreateFromPhoto(photo, Folder());
    const JpegInfo work = ReadJpegInfo(record->WorkFile);
    EXPECT_EQ(work.Width, 300);
    EXPECT_EQ(work.Height, 200);
    EXPECT_EQ(work.Components, 3);
    EXPECT_EQ(record->Rotation, 1);
    EXPECT_NE(record->Preview, nullptr);
  }
}

TEST_F(Import, NewRecordsHaveTheDefaultParameters) {
  auto record = TShpora::CreateFromPhoto(WritePhoto(QStringLiteral("p.jpg"), 120, 160), Folder());
  EXPECT_EQ(record->Rotation, 0);
  EXPECT_EQ(record->ImageType, 1);
  EXPECT_EQ(record->Brightness, 1);
  EXPECT_EQ(record->Contrast, 1);
  EXPECT_EQ(record->CropLeft, 40);
  EXPECT_EQ(record->CropRight, 380);
  EXPECT_EQ(record->CropTop, 40);
  EXPECT_EQ(record->CropBottom, 554);

  // A record for a document being opened holds zeros and nothing else until the reader fills it.
  auto opened = TShpora::CreateForWorkFile(PathOf(QStringLiteral("7.jpg")));
  EXPECT_EQ(opened->WorkFile, PathOf(QStringLiteral("7.jpg")));
  const int32_t params[] = {opened->Rotation, opened->ImageType, opened->Brightness,
                            opened->Contrast, opened->CropLeft,  opened->CropRight,
                            opened->CropTop,  opened->CropBottom};
  for (int32_t p : params) EXPECT_EQ(p, 0);
  EXPECT_EQ(opened->Preview, nullptr);
  EXPECT_EQ(opened->FullImage, nullptr);
}

TEST_F(Import, FreeNamesAreTakenInOrderAndReusedAfterADestroy) {
  const QString photo = WritePhoto(QStringLiteral("p.jpg"), 64, 48);
  auto r0 = TShpora::CreateFromPhoto(photo, Folder());
  auto r1 = TShpora::CreateFromPhoto(photo, Folder());
  auto r2 = TShpora::CreateFromPhoto(photo, Folder());
  EXPECT_EQ(QFileInfo(r0->WorkFile).fileName(), QStringLiteral("0.jpg"));
  EXPECT_EQ(QFileInfo(r1->WorkFile).fileName(), QStringLiteral("1.jpg"));
  EXPECT_EQ(QFileInfo(r2->WorkFile).fileName(), QStringLiteral("2.jpg"));

  r0.reset();  // destruction deletes the working file
  EXPECT_FALSE(QFileInfo::exists(PathOf(QStringLiteral("0.jpg"))));
  auto r3 = TShpora::CreateFromPhoto(photo, Folder());
  EXPECT_EQ(QFileInfo(r3->WorkFile).fileName(), QStringLiteral("0.jpg"));

  // A folder of that name is not free either.
  ASSERT_TRUE(QDir().mkdir(PathOf(QStringLiteral("3.jpg"))));
  EXPECT_EQ(TShpora::FindFreeFileName(Folder(), QStringLiteral(".jpg")),
            PathOf(QStringLiteral("4.jpg")));
}

TEST_F(Import, AFailedDeleteOfTheWorkingFileIsIgnored) {
  // A non-empty folder under the working file's name cannot be removed as a file.
  const QString blocked = PathOf(QStringLiteral("5.jpg"));
  ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
  auto record = TShpora::CreateForWorkFile(blocked);
  EXPECT_NO_THROW(record.reset());
  EXPECT_TRUE(QFileInfo(blocked).isDir());
}

TEST_F(Import, UnreadablePhotosFailWithTheirNameAndLeaveNothing) {
  const QByteArray good = EncodeJpegWithLibjpeg(200, 150, Structured);
  QDir().mkpath(PathOf(QStringLiteral("photos")));
  struct {
    const char* name;
    QByteArray bytes;
    bool write;
  } cases[] = {
      {"missing.jpg", QByteArray(), false},
      {"empty.jpg", QByteArray(), true},
      {"half.jpg", good.left(good.size() / 2), true},
      {"letter.jpg", QByteArray("Dear reader, this is text."), true},
  };
  for (const auto& c : cases) {
    const QString path = PathOf(QStringLiteral("photos/") + QLatin1String(c.name));
    if (c.write) {
      ASSERT_TRUE(WriteBytes(path, c.bytes));
    }
    try {
      TShpora::CreateFromPhoto(path, Folder());
      ADD_FAILURE() << "no error for " << c.name;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << e.what();
    }
  }
  EXPECT_TRUE(WorkFiles().isEmpty()) << WorkFiles().join(QLatin1Char(' ')).toStdString();
}

TEST_F(Import, AnUnwritableWorkFolderFailsWithThePhotosName) {
  const QString photo = WritePhoto(QStringLiteral("page 1.jpg"), 80, 60);
  const QString gone = PathOf(QStringLiteral("no such folder/"));
  try {
    TShpora::CreateFromPhoto(photo, gone);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("page 1.jpg"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(QFileInfo::exists(gone));
  EXPECT_TRUE(WorkFiles().isEmpty());
}

TEST_F(Import, AFullWorkFolderFailsClearlyAndOverwritesNothing) {
  // A hundred thousand files: in memory when the machine offers a tmpfs, the disk is slow at it.
  std::unique_ptr<QTemporaryDir> full;
  if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
    full = std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/pages_tests-XXXXXX"));
  if (!full || !full->isValid()) full = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(full->isValid());
  const QString work = full->path() + QLatin1Char('/');
  const std::string folder = work.toStdString();
  for (int n = 0; n <= 99999; ++n) {
    const int fd = ::open((folder + std::to_string(n) + ".jpg").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    if (n == 0) {
      ASSERT_EQ(::write(fd, "keep", 4), 4);
    }
    ::close(fd);
  }
  EXPECT_TRUE(TShpora::FindFreeFileName(work, QStringLiteral(".jpg")).isEmpty());
  const QString photo = WritePhoto(QStringLiteral("p.jpg"), 64, 48);
  try {
    TShpora::CreateFromPhoto(photo, work);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("p.jpg"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("free name"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadBytes(work + QStringLiteral("0.jpg")), QByteArray("keep"));
  EXPECT_EQ(QDir(work).entryList(QDir::Files | QDir::Hidden).size(), 100000);
}

}  // namespace
