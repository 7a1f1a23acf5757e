// Processing a page: rotation, colour tables or the photocopy filter, the preview; reloading from
// the working JPEG; drawing a cropped cell; exporting a page with its caption.
#include <gtest/gtest.h>

#include <climits>
#include <ostream>
#include <stdexcept>
#include <string>

#include <QImage>
#include <QPainter>

#include "CaseNames.h"
#include "PagesTestSupport.h"
#include "Shpora.h"
#include "Site.h"

using namespace pagestest;

namespace {

// A record around a working JPEG of w x h written by the test, with colour type and neutral
// tables unless the test changes them.
class Pages : public WorkFolderTest {
 protected:
  std::unique_ptr<TShpora> RecordWithWorkFile(int w, int h, const Pattern& pattern = Structured) {
    const QString path = PathOf(QStringLiteral("0.jpg"));
    EXPECT_TRUE(WriteBytes(path, EncodeJpegWithLibjpeg(w, h, pattern)));
    auto record = TShpora::CreateForWorkFile(path);
    record->CropLeft = 40;
    record->CropRight = 380;
    record->CropTop = 40;
    record->CropBottom = 554;
    return record;
  }

  // An imported record (grayscale type, default crop) of a 1200 x 1600 photo: a 1125 x 1500
  // working copy that is not turned.
  std::unique_ptr<TShpora> ImportedPortrait() {
    return TShpora::CreateFromPhoto(WritePhoto(QStringLiteral("p.jpg"), 1200, 1600), Folder());
  }
};

BgrPixel Encoded(int x, int y) {
  return BgrPixel{static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                  static_cast<uint8_t>(x + 7 * y)};
}

// ---------------------------------------------------------------------------------------------
struct CropCase {
  int w, h;
  TCropRect expected;
};

TEST(MapCrop, DefaultCropOnThePictureSizesOfThePages) {
  auto record = TShpora::CreateForWorkFile(QString());
  record->CropLeft = 40;
  record->CropRight = 380;
  record->CropTop = 40;
  record->CropBottom = 554;
  const CropCase cases[] = {{1125, 1500, {107, 101, 910, 1297}},
                            {1500, 1125, {142, 75, 1214, 973}},
                            {420, 594, {40, 40, 340, 514}}};
  for (const CropCase& c : cases) {
    const TCropRect r = record->MapCrop(c.w, c.h);
    EXPECT_EQ(r.X0, c.expected.X0) << c.w << " x " << c.h;
    EXPECT_EQ(r.Y0, c.expected.Y0) << c.w << " x " << c.h;
    EXPECT_EQ(r.W, c.expected.W) << c.w << " x " << c.h;
    EXPECT_EQ(r.H, c.expected.H) << c.w << " x " << c.h;
  }
  // Width and height come from the differences: 3 * 100 div 420 = 0 although the mapped edges
  // 100 * 41 div 420 = 9 and 100 * 44 div 420 = 10 differ.
  record->CropLeft = 41;
  record->CropRight = 44;
  EXPECT_EQ(record->MapCrop(100, 100).W, 0);
}

// ---------------------------------------------------------------------------------------------
struct RotationCase {
  int code, fullW, fullH;
  // Source memory position (x, row) that lands at target memory position (col, r), for a 3 x 5
  // source.
  int (*sourceX)(int col, int r);
  int (*sourceRow)(int col, int r);
};

void PrintTo(const RotationCase& c, std::ostream* os) { *os << "Rotation " << c.code; }

class Rotations : public Pages, public testing::WithParamInterface<RotationCase> {};

TEST_P(Rotations, TurnByTheCodesAngleBeforeAnythingElse) {
  const RotationCase c = GetParam();
  auto record = TShpora::CreateForWorkFile(QString());  // colour, brightness and contrast 0
  record->Rotation = c.code;
  auto source = std::make_unique<TFastDIB>(3, 24, 5);
  for (int r = 0; r < 5; ++r)
    for (int x = 0; x < 3; ++x)
      reinterpret_cast<BgrPixel*>(source->Scanlines[r])[x] = Encoded(x, r);
  record->Process(std::move(source), true);
  ASSERT_NE(record->FullImage, nullptr);
  const TFastDIB& full = *record->FullImage;
  ASSERT_EQ(full.Width(), c.fullW);
  ASSERT_EQ(full.AbsHeight, c.fullH);
  for (int r = 0; r < c.fullH; ++r)
    for (int col = 0; col < c.fullW; ++col) {
      const BgrPixel got = reinterpret_cast<const BgrPixel*>(full.Scanlines[r])[col];
      const BgrPixel want = Encoded(c.sourceX(col, r), c.sourceRow(col, r));
      ASSERT_TRUE(got.Blue == want.Blue && got.Green == want.Green && got.Red == want.Red)
          << "rotation " << c.code << " at col " << col << ", row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Rotations,
    testing::Values(
        RotationCase{0, 3, 5, [](int col, int) { return col; }, [](int, int r) { return r; }},
        RotationCase{1, 5, 3, [](int, int r) { return 2 - r; }, [](int col, int) { return col; }},
        RotationCase{2, 5, 3, [](int, int r) { return r; }, [](int col, int) { return 4 - col; }},
        RotationCase{3, 3, 5, [](int col, int) { return 2 - col; },
                     [](int, int r) { return 4 - r; }},
        RotationCase{7, 3, 5, [](int col, int) { return col; }, [](int, int r) { return r; }}),
    [](const testing::TestParamInfo<RotationCase>& info) {
      return CaseName({"Code", info.param.code});
    });

TEST_F(Pages, FullImageSizesFollowTheRotationCode) {
  const struct {
    int code, w, h;
  } cases[] = {{0, 1500, 1125}, {1, 1125, 1500}, {2, 1125, 1500}, {3, 1500, 1125}};
  for (const auto& c : cases) {
    auto record = TShpora::CreateForWorkFile(QString());
    record->Rotation = c.code;
    auto picture = std::make_unique<TFastDIB>(1500, 24, 1125);
    TFastDIB* raw = picture.get();
    record->Process(std::move(picture), true);
    EXPECT_EQ(record->FullImage->Width(), c.w) << "rotation " << c.code;
    EXPECT_EQ(record->FullImage->Height(), c.h) << "rotation " << c.code;
    if (c.code == 0) {
      EXPECT_EQ(record->FullImage.get(), raw);  // the picture itself
    }
  }
}

TEST_F(Pages, ColourPagesTakeBrightnessThenContrast) {
  auto record = TShpora::CreateForWorkFile(QString());
  auto source = MakePicture(64, 40, Structured);
  auto neutral = CopyOf(*source);
  record->Process(CopyOf(*source), true);
  EXPECT_TRUE(SamePixels(*record->FullImage, *neutral)) << "0 and 0 must be the identity";

  record->Brightness = 2;
  record->Contrast = 3;
  source->Scanlines[0][0] = 0;  // black: brightness 20 lifts it to 20, contrast 30 drops it to 0
  auto expected = CopyOf(*source);
  expected->ApplyBrightness(20, 20, 20);
  expected->ApplyContrast(30, 30, 30);
  record->Process(CopyOf(*source), true);
  EXPECT_TRUE(SamePixels(*record->FullImage, *expected));
  EXPECT_EQ(record->FullImage->Scanlines[0][0], 0);
}

TEST_F(Pages, PreviewIsTheTurnedProcessedPictureAt420By594) {
  // Wider than high, left half white, right half black; turned clockwise, the white half is on
  // top.
  auto record = TShpora::CreateForWorkFile(QString());
  record->Rotation = 1;
  auto picture = MakePicture(600, 400, [](int x, int) {
    const uint8_t v = x < 300 ? 255 : 0;
    return BgrPixel{v, v, v};
  });
  record->Process(std::move(picture), false);
  EXPECT_EQ(record->FullImage, nullptr);
  ASSERT_NE(record->Preview, nullptr);
  const TFastDIB& preview = *record->Preview;
  EXPECT_EQ(preview.Width(), 420);
  EXPECT_EQ(preview.Height(), 594);
  EXPECT_EQ(PixelAt(preview, 200, 10).Green, 255);
  EXPECT_EQ(PixelAt(preview, 200, 580).Green, 0);

  // The photocopy type makes a uniform page white, preview included.
  record->Rotation = 0;  // a quarter turn of even sizes leaves one edge row unwritten (black)
  record->ImageType = 1;
  record->Brightness = 1;
  record->Contrast = 1;
  record->Process(MakePicture(300, 200, [](int, int) { return BgrPixel{90, 120, 140}; }), true);
  for (const TFastDIB* image : {record->FullImage.get(), record->Preview.get()})
    for (int y = 0; y < image->AbsHeight; y += 37)
      for (int x = 0; x < image->Width(); x += 29) ASSERT_EQ(PixelAt(*image, x, y).Red, 255);
}

// ---------------------------------------------------------------------------------------------
TEST_F(Pages, ReloadKeepsFullImageOnlyWhenAsked) {
  auto record = ImportedPortrait();
  EXPECT_EQ(record->FullImage, nullptr);
  record->Reload(true);
  ASSERT_NE(record->FullImage, nullptr);
  EXPECT_EQ(record->FullImage->Width(), 1125);
  EXPECT_EQ(record->FullImage->Height(), 1500);
  EXPECT_NE(record->Preview, nullptr);
  record->Reload(false);
  EXPECT_EQ(record->FullImage, nullptr);
  EXPECT_NE(record->Preview, nullptr);
}

TEST_F(Pages, ReloadOfABrokenWorkingCopyFailsAndKeepsThePictures) {
  const QByteArray good = EncodeJpegWithLibjpeg(300, 400, Structured);
  struct {
    const char* what;
    QByteArray bytes;
    bool present;
  } cases[] = {{"missing", QByteArray(), false},
               {"truncated", good.left(good.size() / 3), true},
               {"not a JPEG", QByteArray(5000, 'x'), true}};
  for (const auto& c : cases) {
    auto record = RecordWithWorkFile(300, 400);
    record->Reload(true);
    const TFastDIB* preview = record->Preview.get();
    const TFastDIB* full = record->FullImage.get();
    QFile::remove(record->WorkFile);
    if (c.present) {
      ASSERT_TRUE(WriteBytes(record->WorkFile, c.bytes));
    }
    try {
      record->Reload(false);
      ADD_FAILURE() << "no error for a " << c.what << " working copy";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("0.jpg"), std::string::npos) << e.what();
    }
    EXPECT_EQ(record->Preview.get(), preview) << c.what;
    EXPECT_EQ(record->FullImage.get(), full) << c.what;
  }
}

TEST_F(Pages, AGrayWorkingCopyFromAnotherProgramIsProcessedInColour) {
  const QString path = PathOf(QStringLiteral("3.jpg"));
  ASSERT_TRUE(WriteBytes(path, EncodeJpegWithLibjpeg(50, 70, Structured, JCS_GRAYSCALE)));
  auto record = TShpora::CreateForWorkFile(path);
  record->Reload(true);
  EXPECT_EQ(record->FullImage->BitCount(), 24);
  EXPECT_EQ(record->FullImage->Width(), 50);
  EXPECT_EQ(record->Preview->BitCount(), 24);
}

// ---------------------------------------------------------------------------------------------
// Sheet bitmaps are QImages painted white first.
QImage WhiteSheet(int w, int h) {
  QImage sheet(w, h, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  return sheet;
}

bool SameColour(QRgb sheet, BgrPixel p) {
  return qRed(sheet) == p.Red && qGreen(sheet) == p.Green && qBlue(sheet) == p.Blue;
}

TEST_F(Pages, DrawCellCopiesTheCropOfThePreviewAtItsOwnSize) {
  auto record = RecordWithWorkFile(420, 594, Encoded);
  record->Reload(false);
  QImage sheet = WhiteSheet(400, 560);
  {
    QPainter painter(&sheet);
    record->DrawCell(painter, 10, 20, 340, 514, false, true);
  }
  const TFastDIB& preview = *record->Preview;
  for (int j = 0; j < 514; j += 3)
    for (int i = 0; i < 340; i += 3)
      ASSERT_TRUE(SameColour(sheet.pixel(10 + i, 20 + j), PixelAt(preview, 40 + i, 40 + j)))
          << "cell pixel " << i << ", " << j;
  EXPECT_EQ(sheet.pixel(9, 100), qRgb(255, 255, 255));
  EXPECT_EQ(sheet.pixel(350, 100), qRgb(255, 255, 255));
  EXPECT_EQ(sheet.pixel(100, 19), qRgb(255, 255, 255));
  EXPECT_EQ(sheet.pixel(100, 534), qRgb(255, 255, 255));
  EXPECT_EQ(record->FullImage, nullptr);

  // Without the crop the whole preview is drawn.
  QImage whole = WhiteSheet(420, 594);
  {
    QPainter painter(&whole);
    record->DrawCell(painter, 0, 0, 420, 594, false, false);
  }
  for (int y = 0; y < 594; y += 7)
    for (int x = 0; x < 420; x += 5)
      ASSERT_TRUE(SameColour(whole.pixel(x, y), PixelAt(preview, x, y))) << x << ", " << y;
}

TEST_F(Pages, DrawCellRebuildsWhatIsMissingAndLeavesFullImageInPlace) {
  auto record = RecordWithWorkFile(300, 400);
  QImage sheet = WhiteSheet(200, 200);
  QPainter painter(&sheet);
  record->DrawCell(painter, 0, 0, 100, 120, false, true);  // no Preview yet
  EXPECT_NE(record->Preview, nullptr);
  EXPECT_EQ(record->FullImage, nullptr);

  record->DrawCell(painter, 0, 0, 100, 120, true, true);
  ASSERT_NE(record->FullImage, nullptr);  // only the caller's DropFullImage releases it
  EXPECT_NE(record->Preview, nullptr);
  const TFastDIB* full = record->FullImage.get();
  record->DrawCell(painter, 100, 0, 100, 120, true, true);
  EXPECT_EQ(record->FullImage.get(), full);  // reused, not rebuilt
}

TEST_F(Pages, DrawCellOfAnEmptyCropIsBlack) {
  auto record = RecordWithWorkFile(300, 400);
  record->CropRight = record->CropLeft;  // only a damaged document holds such edges
  QImage sheet = WhiteSheet(100, 100);
  {
    QPainter painter(&sheet);
    record->DrawCell(painter, 10, 10, 50, 60, true, true);
  }
  for (int y = 10; y < 70; ++y)
    for (int x = 10; x < 60; ++x) ASSERT_EQ(sheet.pixel(x, y), qRgb(0, 0, 0)) << x << ", " << y;
  EXPECT_EQ(sheet.pixel(60, 30), qRgb(255, 255, 255));
  EXPECT_EQ(sheet.pixel(30, 70), qRgb(255, 255, 255));
}

TEST_F(Pages, DrawCellWithABrokenWorkingCopyThrowsAndDrawsNothing) {
  auto record = RecordWithWorkFile(300, 400);
  QFile::remove(record->WorkFile);
  QImage sheet = WhiteSheet(100, 100);
  {
    QPainter painter(&sheet);
    EXPECT_THROW(record->DrawCell(painter, 0, 0, 50, 50, false, true), std::runtime_error);
  }
  EXPECT_EQ(sheet.pixel(10, 10), qRgb(255, 255, 255));
}

// ---------------------------------------------------------------------------------------------
// Caption rows: the text's top lies 20 rows above the bottom edge, black on an opaque white cell.
void ExpectCaptionOnlyInTheBottomRows(const QImage& page, const TFastDIB& full, TCropRect crop) {
  const int top = page.height() - 20;
  for (int y = 0; y < top; y += 3)
    for (int x = 0; x < page.width(); x += 11)
      ASSERT_TRUE(SameColour(page.pixel(x, y), PixelAt(full, crop.X0 + x, crop.Y0 + y)))
          << "page pixel " << x << ", " << y << " is not the photo's";
  int black = 0, white = 0;
  for (int y = top; y < page.height(); ++y)
    for (int x = 0; x < 200; ++x) {
      const QRgb p = page.pixel(x, y);
      if (qGray(p) < 60) ++black;
      if (p == qRgb(255, 255, 255)) ++white;
    }
  EXPECT_GT(black, 20) << "no caption text in the bottom rows";
  EXPECT_GT(white, 200) << "no white caption cell";
}

TEST_F(Pages, ExportedPageHasTheCropsSizeAndTheCaptionAtTheBottom) {
  // A colour page, so that the white caption cell stands out from it.
  auto record = RecordWithWorkFile(1125, 1500, [](int x, int y) {
    return BgrPixel{uint8_t(60 + x % 50), uint8_t(80 + y % 40), uint8_t(100)};
  });
  const QString png = PathOf(QStringLiteral("page.png"));
  record->ExportPage(png, true, 0, 0);
  EXPECT_EQ(record->FullImage, nullptr);  // released after the export
  EXPECT_NE(record->Preview, nullptr);

  const QImage page(png);
  ASSERT_EQ(page.width(), 910);
  ASSERT_EQ(page.height(), 1297);  // the caption's top at y = 1277
  record->Reload(true);
  ExpectCaptionOnlyInTheBottomRows(page, *record->FullImage, record->MapCrop(1125, 1500));

  const QString jpg = PathOf(QStringLiteral("page.jpg"));
  record->ExportPage(jpg, false, 0, 0);
  const JpegInfo info = ReadJpegInfo(jpg);
  EXPECT_EQ(info.Width, 910);
  EXPECT_EQ(info.Height, 1297);
  EXPECT_EQ(info.Components, 3);
}

TEST_F(Pages, ExportCaptionNamesTheSite) {
  EXPECT_EQ(ExportCaption(), QStringLiteral("Generated by Tavrolin (") + tavrolin::SiteAddress() +
                                 QStringLiteral(")"));
  EXPECT_TRUE(ExportCaption().startsWith(QStringLiteral("Generated by Tavrolin (http://")));
}

TEST_F(Pages, SizedExportsAreResampledAndASecondExportOverwrites) {
  auto record = ImportedPortrait();
  const QString name = PathOf(QStringLiteral("out.png"));
  record->ExportPage(name, true, 300, 400);
  EXPECT_EQ(QImage(name).size(), QSize(300, 400));
  record->ExportPage(name, true, 200, 150);
  EXPECT_EQ(QImage(name).size(), QSize(200, 150));
  record->ExportPage(name, true, 0, 0);
  EXPECT_EQ(QImage(name).size(), QSize(910, 1297));
  EXPECT_EQ(WorkFiles(), (QStringList{QStringLiteral("0.jpg"), QStringLiteral("out.png")}));
}

TEST_F(Pages, ExportOfAnEmptyCropFailsNamingTheFileAndWritesNothing) {
  auto record = RecordWithWorkFile(300, 400);
  record->CropBottom = record->CropTop - 5;
  const QString fresh = PathOf(QStringLiteral("fresh.jpg"));
  const QString existing = PathOf(QStringLiteral("existing.png"));
  ASSERT_TRUE(WriteBytes(existing, QByteArray("earlier export")));
  for (const QString& name : {fresh, existing}) {
    try {
      record->ExportPage(name, name.endsWith(QStringLiteral(".png")), 0, 0);
      ADD_FAILURE() << "no error for " << name.toStdString();
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(QFileInfo(name).fileName().toStdString()),
                std::string::npos)
          << e.what();
    }
  }
  EXPECT_FALSE(QFileInfo::exists(fresh));
  EXPECT_EQ(ReadBytes(existing), QByteArray("earlier export"));

  // Edges far outside the frame would ask for a page of billions of pixels: a clear error too.
  record->CropBottom = 554;
  record->CropRight = INT32_MAX;
  try {
    record->ExportPage(fresh, false, 0, 0);
    ADD_FAILURE() << "no error for a giant page";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("fresh.jpg"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(QFileInfo::exists(fresh));
}

TEST_F(Pages, AFailedWriteKeepsFullImageAndLeavesNoFile) {
  auto record = RecordWithWorkFile(300, 400);
  const QString target = PathOf(QStringLiteral("missing folder/page.jpg"));
  EXPECT_THROW(record->ExportPage(target, false, 0, 0), std::runtime_error);
  EXPECT_NE(record->FullImage, nullptr);
  EXPECT_FALSE(QFileInfo::exists(target));

  // A working copy gone missing ends the export before anything is written.
  record->DropFullImage();
  QFile::remove(record->WorkFile);
  const QString page = PathOf(QStringLiteral("page.png"));
  EXPECT_THROW(record->ExportPage(page, true, 0, 0), std::runtime_error);
  EXPECT_FALSE(QFileInfo::exists(page));
}

}  // namespace
