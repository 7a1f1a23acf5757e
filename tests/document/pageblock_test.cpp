// The page corners after the photos: written only when a photo is straightened, read back by the
// model, invisible to a reader that reads the photos and stops, and never a reason to lose a
// photo when the block is damaged.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include "../pages/SyntheticPage.h"
#include "CropRules.h"
#include "Document.h"
#include "JpegFixture.h"
#include "PhotoDocument.h"
#include "ScriptedWait.h"
#include "TestFiles.h"

namespace {

using testfiles::ReadAll;
using testfiles::TDocBytes;
using testfiles::TPrivateEnvironment;
using testfiles::WriteAll;

QByteArray Written(const std::vector<TDocumentEntry>& entries) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  WriteDocumentTo(buffer, {4, 4, 0}, entries);
  return bytes;
}

TPageQuad Quad(double base) {
  TPageQuad q;
  q.Corners = {{{base + 10.25, 20.5}, {base + 300.125, 25}, {base + 310, 400.75}, {base, 390}}};
  return q;
}

QByteArray Double(double v) {
  char b[8];
  qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(v), b);
  return QByteArray(b, 8);
}

// A page block entry as the format describes it.
QByteArray Entry(int32_t photo, int32_t flags, const TPageQuad& q) {
  TDocBytes e;
  e.Int(photo).Int(flags);
  for (const TPagePoint& p : q.Corners) e.Raw(Double(p.X)).Raw(Double(p.Y));
  return e.Bytes;
}

QByteArray Block(int32_t tag, int32_t version, const QByteArray& payload) {
  return TDocBytes().Int(tag).Int(version).Int(int32_t(payload.size())).Raw(payload).Bytes;
}

class PageBlock : public testing::Test {
 protected:
  void SetUp() override {
    // Three real photos' working copies, with parameters of their own.
    for (int i = 0; i < 3; ++i) {
      Work << Env.Path(QStringLiteral("work/%1.jpg").arg(i));
      WriteJpegFixture(Work.back(), 40 + 8 * i, 30, [i](int x, int y) {
        return BgrPixel{uint8_t(x * 5), uint8_t(y * 7), uint8_t(i * 60)};
      });
      Params[i].Brightness = i - 3;
      Params[i].CropLeft = 10 + i;
    }
  }
  std::vector<TDocumentEntry> Entries() const {
    std::vector<TDocumentEntry> e;
    for (int i = 0; i < 3; ++i) e.push_back({&Params[i], QStringLiteral("p%1").arg(i), Work[i]});
    return e;
  }
  // The document's photos followed by `after`, opened by the model.
  TPhotoDocument::TOpenResult Open(TPhotoDocument& document, const QByteArray& bytes) {
    const QString path = Env.Path(QStringLiteral("doc.TavDoc"));
    WriteAll(path, bytes);
    TScriptedWait wait;
    return document.Open(path, wait, {}, TPhotoDocument::TLockUse::None);
  }

  TPrivateEnvironment Env;
  QStringList Work;
  TShporaData Params[3];
};

TEST_F(PageBlock, WrittenOnlyWhenAPhotoIsStraightened) {
  const QByteArray plain = Written(Entries());
  // Corners kept with the switch off are not worth a block: the bytes stay those of the first
  // version of the format, photo by photo.
  Params[1].Page.HasCorners = true;
  Params[1].Page.Corners = Quad(5);
  EXPECT_EQ(Written(Entries()), plain);
  TDocBytes expected;
  expected.Header(4, 4, 0, 3);
  for (int i = 0; i < 3; ++i) {
    const TShporaData& p = Params[i];
    expected
        .Parameters({p.Rotation, p.ImageType, p.Brightness, p.Contrast, p.CropLeft, p.CropRight,
                     p.CropTop, p.CropBottom})
        .Title(QStringLiteral("p%1").arg(i))
        .Jpeg(ReadAll(Work[i]));
  }
  EXPECT_EQ(plain, expected.Bytes);

  // One straightened photo: every photo with corners is in the block, in file order.
  StraightenWith(Params[2], Quad(7));
  const QByteArray withBlock = Written(Entries());
  const QByteArray payload = TDocBytes().Int(2).Bytes + Entry(1, 0, Quad(5)) + Entry(2, 1, Quad(7));
  TDocBytes again;
  again.Header(4, 4, 0, 3);
  for (int i = 0; i < 3; ++i) {
    const TShporaData& p = Params[i];
    again
        .Parameters({p.Rotation, p.ImageType, p.Brightness, p.Contrast, p.CropLeft, p.CropRight,
                     p.CropTop, p.CropBottom})
        .Title(QStringLiteral("p%1").arg(i))
        .Jpeg(ReadAll(Work[i]));
  }
  EXPECT_EQ(withBlock, again.Bytes + Block(0x45474150, 1, payload));
  EXPECT_EQ(withBlock.mid(again.Bytes.size(), 4), QByteArray("PAGE"));
}

// A reader that reads `count` photos and stops (the format's first version) sees the same photos
// whatever follows them, and leaves the block unread.
TEST_F(PageBlock, TheRecordsAloneReadTheSameWithOrWithoutTheBlock) {
  StraightenWith(Params[0], Quad(1));
  Params[2].Page.HasCorners = true;
  Params[2].Page.Corners = Quad(3);
  const QByteArray withBlock = Written(Entries());
  Params[0].Page.Straighten = false;
  const QByteArray plain = Written(Entries());
  Params[0].Page.Straighten = true;
  ASSERT_GT(withBlock.size(), plain.size());
  for (const QByteArray& bytes : {plain, withBlock, plain + QByteArray("trailing bytes")}) {
    QByteArray data = bytes;
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    TDocumentReader reader(in);
    ASSERT_TRUE(reader.ReadMagic());
    ASSERT_EQ(reader.ReadInt32(), kDocumentVersion);
    reader.ReadLayout();
    ASSERT_EQ(reader.ReadCount(), 3);
    for (int i = 0; i < 3; ++i) {
      QString title;
      const std::unique_ptr<TShpora> photo =
          ReadDocumentPhoto(reader, Env.Path(QStringLiteral("read/")), title);
      EXPECT_EQ(title, QStringLiteral("p%1").arg(i));
      EXPECT_EQ(photo->Brightness, Params[i].Brightness);
      EXPECT_EQ(photo->CropLeft, Params[i].CropLeft);
      EXPECT_EQ(photo->CropRight, Params[i].CropRight);
      EXPECT_FALSE(photo->Page.HasCorners);
      EXPECT_EQ(ReadAll(photo->WorkFile), ReadAll(Work[i]));
    }
    EXPECT_EQ(reader.Remaining(), bytes.size() - plain.size());
  }
}

TEST_F(PageBlock, RoundTripKeepsTheCornersAndTheSwitch) {
  StraightenWith(Params[0], Quad(1));
  Params[2].Page.HasCorners = true;
  Params[2].Page.Corners = Quad(1.0 / 3);  // not a short binary fraction
  TPhotoDocument document;
  // An unknown block before ours and after it: skipped by its length.
  const QByteArray bytes = Written(Entries());
  const qsizetype photosEnd = Written({}).size() + (bytes.size() - Written({}).size()) -
                              (12 + 4 + 2 * kPageBlockEntryBytes);
  const QByteArray mixed = bytes.left(photosEnd) + Block(0x4F4D4F5A, 1, "future things") +
                           bytes.mid(photosEnd) + Block(kPageBlockTag, 2, "a later version");
  for (const QByteArray& file : {bytes, mixed}) {
    TPhotoDocument read;
    const auto result = Open(read, file);
    EXPECT_EQ(result.What, TPhotoDocument::TOpenResult::Read);
    EXPECT_TRUE(result.Warning.isEmpty()) << result.Warning.toStdString();
    ASSERT_EQ(read.Count(), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_TRUE(read.Photo(i)->Page == Params[i].Page) << i;
      EXPECT_EQ(read.Photo(i)->CropLeft, Params[i].CropLeft) << i;
    }
    EXPECT_TRUE(read.Photo(0)->Page.Straightened());
    EXPECT_FALSE(read.Photo(1)->Page.HasCorners);
    EXPECT_TRUE(read.Photo(2)->Page.HasCorners);
    EXPECT_FALSE(read.Photo(2)->Page.Straighten);
  }
}

// Indexes in the block count the file's photos, not the rows of a list they are appended to.
TEST_F(PageBlock, OpeningIntoAListAppliesTheCornersToTheRowsRead) {
  StraightenWith(Params[1], Quad(2));
  const QByteArray bytes = Written(Entries());
  TPhotoDocument document;
  Open(document, Written(Entries()));
  Open(document, bytes);
  ASSERT_EQ(document.Count(), 6);
  for (int row = 0; row < 6; ++row)
    EXPECT_EQ(document.Photo(row)->Page.Straightened(), row == 1 || row == 4) << row;
}

TEST_F(PageBlock, ADamagedBlockLosesNoPhoto) {
  StraightenWith(Params[0], Quad(1));
  const QByteArray photos = Written(Entries()).left(Written(std::vector<TDocumentEntry>{}).size());
  QByteArray records = Written(Entries());
  records.chop(12 + 4 + kPageBlockEntryBytes);
  const QByteArray good = TDocBytes().Int(1).Bytes + Entry(0, 1, Quad(1));
  QByteArray nan = good;
  nan.replace(4 + 8 + 8 * 3, 8, Double(std::numeric_limits<double>::quiet_NaN()));
  QByteArray infinite = good;
  infinite.replace(4 + 8, 8, Double(-std::numeric_limits<double>::infinity()));
  const struct {
    const char* name;
    QByteArray after;
  } cases[] = {
      {"CutInsideTheHeader", Block(kPageBlockTag, 1, good).left(7)},
      {"CutInsideThePayload", Block(kPageBlockTag, 1, good).left(40)},
      {"LengthPastTheEnd", TDocBytes().Int(kPageBlockTag).Int(1).Int(5000).Bytes + good},
      {"NegativeLength", TDocBytes().Int(kPageBlockTag).Int(1).Int(-8).Bytes + good},
      {"HugeLength", TDocBytes().Int(kPageBlockTag).Int(1).Int(0x7FFFFFFF).Bytes + good},
      {"CountTooLarge", Block(kPageBlockTag, 1, TDocBytes().Int(2).Bytes + good.mid(4))},
      {"NegativeCount", Block(kPageBlockTag, 1, TDocBytes().Int(-1).Bytes + good.mid(4))},
      {"HugeCount", Block(kPageBlockTag, 1, TDocBytes().Int(0x7FFFFFFF).Bytes + good.mid(4))},
      {"EmptyPayload", Block(kPageBlockTag, 1, QByteArray())},
      {"IndexPastThePhotos",
       Block(kPageBlockTag, 1, TDocBytes().Int(1).Bytes + Entry(3, 1, Quad(1)))},
      {"NegativeIndex", Block(kPageBlockTag, 1, TDocBytes().Int(1).Bytes + Entry(-1, 1, Quad(1)))},
      {"NotANumber", Block(kPageBlockTag, 1, nan)},
      {"Infinite", Block(kPageBlockTag, 1, infinite)},
      // A good block first, then a damaged one: the good one stands.
      {"GoodThenCut", Block(kPageBlockTag, 1, good) + QByteArray("\x01\x02", 2)},
  };
  for (const auto& c : cases) {
    TPhotoDocument document;
    TPhotoDocument::TOpenResult result;
    ASSERT_NO_THROW(result = Open(document, records + c.after)) << c.name;
    EXPECT_EQ(result.What, TPhotoDocument::TOpenResult::Read) << c.name;
    ASSERT_EQ(document.Count(), 3) << c.name;
    EXPECT_FALSE(result.Warning.isEmpty()) << c.name;
    const bool keeps = QByteArray(c.name).startsWith("GoodThen");
    EXPECT_EQ(document.Photo(0)->Page.Straightened(), keeps) << c.name;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(document.Photo(i)->Brightness, Params[i].Brightness) << c.name;
      EXPECT_NO_THROW(document.ReloadRow(i)) << c.name;
    }
  }
  (void)photos;
}

// Corners that do not fit the working copy (a forged block) open, and the photo is processed as
// it lies.
TEST_F(PageBlock, CornersThatDoNotFitThePictureAreIgnoredWhenProcessing) {
  TPageQuad far;
  far.Corners = {{{0, 0}, {9000, 0}, {9000, 9000}, {0, 9000}}};
  StraightenWith(Params[0], far);
  TPhotoDocument document;
  Open(document, Written(Entries()));
  ASSERT_TRUE(document.Photo(0)->Page.Straightened());
  ASSERT_NO_THROW(document.ReloadRow(0));
  document.Photo(0)->Reload(true);
  EXPECT_EQ(document.Photo(0)->FullImage->Width(), 40);
  EXPECT_EQ(document.Photo(0)->FullImage->AbsHeight, 30);
}

}  // namespace

namespace {

// The import looks for the page only when asked, straightens the photo by what it finds, and
// the document keeps that.
TEST_F(PageBlock, AddingWithFindingStraightensPagesItFinds) {
  const synthpage::TPagePhoto shot = synthpage::EasyShot();
  const synthpage::Matrix back = synthpage::Inverse(shot.Map());
  const QString page = Env.Path(QStringLiteral("photos/page.jpg"));
  WriteJpegFixture(page, shot.PhotoW, shot.PhotoH,
                   [&](int x, int y) { return shot.PhotoColour(x, y, back); });
  const QString blank = Env.Path(QStringLiteral("photos/blank.jpg"));
  WriteJpegFixture(blank, 300, 400, [](int, int) { return BgrPixel{128, 128, 128}; });

  TPhotoDocument plain;
  TScriptedWait wait;
  plain.AddPhotoFiles({page}, wait);
  EXPECT_FALSE(plain.Photo(0)->Page.HasCorners);
  EXPECT_EQ(plain.Photo(0)->CropLeft, TShporaData().CropLeft);

  TPhotoDocument document;
  TAddPhotoOptions options;
  options.StraightenFound = true;
  EXPECT_EQ(document.AddPhotoFiles({blank, page}, wait, {}, {}, options), 2);
  ASSERT_EQ(document.Row(1).Title, QStringLiteral("page.jpg"));
  const TShpora& found = *document.Photo(1);
  ASSERT_TRUE(found.Page.Straightened());
  const TPageQuad truth = shot.Corners();
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(found.Page.Corners.Corners[i].X, truth.Corners[i].X, 12) << i;
    EXPECT_NEAR(found.Page.Corners.Corners[i].Y, truth.Corners[i].Y, 12) << i;
  }
  EXPECT_EQ(found.CropLeft, kHandleLowLimit);
  EXPECT_EQ(found.CropRight, kHandleRightLimit);
  EXPECT_EQ(found.CropTop, kHandleLowLimit);
  EXPECT_EQ(found.CropBottom, kHandleBottomLimit);
  EXPECT_FALSE(document.Photo(0)->Page.HasCorners);
  // The imported preview is the straightened page's: the same as its reload gives, near enough
  // (the import's picture is not the working JPEG's decoding).
  ASSERT_TRUE(found.Preview);

  const QString path = Env.Path(QStringLiteral("found.TavDoc"));
  document.Save(path);
  TPhotoDocument read;
  read.Open(path, wait, {}, TPhotoDocument::TLockUse::None);
  ASSERT_EQ(read.Count(), 2);
  EXPECT_TRUE(read.Photo(1)->Page == found.Page);
  EXPECT_FALSE(read.Photo(0)->Page.HasCorners);
}

}  // namespace
