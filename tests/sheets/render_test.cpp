// DrawSheet on real photo records: the preview compared pixel for pixel with what the geometry
// dictates, and the printed sheet checked for the placement of its strips, numbers and texts.
#include <gtest/gtest.h>

#include <QFile>
#include <QFontMetrics>

#include "SheetFixture.h"
#include "SheetRenderer.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);

// The preview sheet as the geometry defines it, built pixel by pixel: white, the outermost
// pixels black, each filled cell's picture with a frame on its own outermost pixels, and the
// 4-pixel red ring just outside the current photo's cell.
QImage ExpectedPreview(const TSheetLayout& layout, int sheet, const std::vector<TShpora*>& photos,
                       const TShpora* current) {
  const int cw = 406 / layout.Cols, ch = 528 / layout.Rows;
  QImage image(420, 594, QImage::Format_RGB888);
  image.fill(kWhite);
  for (int x = 0; x < 420; ++x) image.setPixel(x, 0, kBlack), image.setPixel(x, 593, kBlack);
  for (int y = 0; y < 594; ++y) image.setPixel(0, y, kBlack), image.setPixel(419, y, kBlack);
  std::vector<QPoint> marks;
  for (int i = 0; i < layout.Rows; ++i) {
    for (int j = 0; j < layout.Cols; ++j) {
      const int first = sheet * layout.Rows * layout.Cols;
      const int k = layout.Order == 0 ? first + i * layout.Cols + j : first + j * layout.Rows + i;
      if (k >= static_cast<int>(photos.size())) continue;
      const int x0 = 4 + j * cw, y0 = 6 + i * ch;
      const QImage cell = CellPicture(*photos[k], cw, ch);
      for (int y = 0; y < ch; ++y) {
        for (int x = 0; x < cw; ++x) {
          const bool frame = x == 0 || y == 0 || x == cw - 1 || y == ch - 1;
          image.setPixel(x0 + x, y0 + y, frame ? kBlack : cell.pixel(x, y));
        }
      }
      if (photos[k] == current) marks.emplace_back(x0, y0);
    }
  }
  for (const QPoint& m : marks) {
    for (int y = m.y() - 4; y < m.y() + ch + 4; ++y) {
      for (int x = m.x() - 4; x < m.x() + cw + 4; ++x) {
        const bool inside = x >= m.x() && x < m.x() + cw && y >= m.y() && y < m.y() + ch;
        if (!inside && image.rect().contains(x, y)) image.setPixel(x, y, kRed);
      }
    }
  }
  return image;
}

// Where two pictures differ: the count and the first position, for a readable failure.
::testing::AssertionResult SamePixels(const QImage& actual, const QImage& expected) {
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height();
  int differing = 0;
  QPoint first;
  for (int y = 0; y < expected.height(); ++y)
    for (int x = 0; x < expected.width(); ++x)
      if (actual.pixel(x, y) != expected.pixel(x, y) && differing++ == 0) first = QPoint(x, y);
  if (differing == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << differing << " pixels differ, first at (" << first.x() << ", " << first.y()
         << "): " << std::hex << actual.pixel(first) << " instead of " << expected.pixel(first);
}

int CountPixels(const QImage& image, const std::function<bool(int r, int g, int b)>& match) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  int count = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* p = rgb.constScanLine(y);
    for (int x = 0; x < rgb.width(); ++x, p += 3) count += match(p[0], p[1], p[2]) ? 1 : 0;
  }
  return count;
}

bool IsRed(int r, int g, int b) { return r > 180 && g < 90 && b < 90; }

}  // namespace

class PreviewSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 5; ++k) Document.AddPhoto(kPalette[k]);
  }
  TColourPhotos Document;
  TSheetTexts Texts;
};

TEST_F(PreviewSheetTest, MatchesTheGeometryPixelForPixel) {
  // 2 x 3 by rows with 5 photos: the last cell stays empty and unframed. The mark is checked
  // in the sheet's corner (over the sheet's border), in the middle (over its neighbours' frames
  // and pictures) and absent.
  const TSheetLayout layout = Layout(2, 3, 0);
  const std::vector<TShpora*> photos = Document.Photos();
  for (const TShpora* current :
       {static_cast<const TShpora*>(nullptr), static_cast<const TShpora*>(photos[0]),
        static_cast<const TShpora*>(photos[4])}) {
    QImage bitmap;
    DrawSheet(bitmap, 2, 0, layout, photos, Texts, current);
    EXPECT_TRUE(bitmap.format() == QImage::Format_RGB888 ||
                bitmap.format() == QImage::Format_BGR888);
    EXPECT_TRUE(SamePixels(bitmap, ExpectedPreview(layout, 0, photos, current)))
        << "current photo " << (current ? current->WorkFile.toStdString() : "none");
  }
}

TEST_F(PreviewSheetTest, ByColumnsAndPartSheets) {
  std::vector<TShpora*> photos = Document.Photos();
  photos.push_back(Document.AddPhoto(kPalette[5]));
  // 6 photos, 3 x 2 by columns: column 0 holds photos 1, 2, 3 and column 1 photos 4, 5, 6.
  QImage bitmap;
  DrawSheet(bitmap, 2, 0, Layout(3, 2, 1), photos, Texts, nullptr);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j)
      EXPECT_TRUE(Near(bitmap.pixel(4 + j * 203 + 101, 6 + i * 176 + 88), kPalette[j * 3 + i]))
          << "cell " << i << "," << j;
  EXPECT_TRUE(SamePixels(bitmap, ExpectedPreview(Layout(3, 2, 1), 0, photos, nullptr)));

  // 17 photos at 4 x 4: sheet 2 shows photo 17 top-left, the other 15 cells without frames.
  std::vector<TShpora*> seventeen(17, photos[0]);
  seventeen[16] = photos[2];
  DrawSheet(bitmap, 2, 1, Layout(4, 4, 0), seventeen, Texts, nullptr);
  EXPECT_TRUE(SamePixels(bitmap, ExpectedPreview(Layout(4, 4, 0), 1, seventeen, nullptr)));
  EXPECT_TRUE(Near(bitmap.pixel(50, 60), kPalette[2]));
  EXPECT_EQ(bitmap.pixel(4 + 101, 6), kWhite) << "no frame on the empty second cell";
}

TEST_F(PreviewSheetTest, NoPhotosGiveABorderedWhiteSheet) {
  QImage bitmap(7, 9, QImage::Format_ARGB32);  // wrong size and depth: replaced
  DrawSheet(bitmap, 2, 0, Layout(4, 4, 0), {}, Texts, nullptr);
  EXPECT_TRUE(SamePixels(bitmap, ExpectedPreview(Layout(4, 4, 0), 0, {}, nullptr)));

  QImage bgr(420, 594, QImage::Format_BGR888);  // the right size at 24 bits: kept as it is
  const uchar* before = bgr.constBits();
  DrawSheet(bgr, 2, 0, Layout(4, 4, 0), {}, Texts, nullptr);
  EXPECT_EQ(bgr.format(), QImage::Format_BGR888);
  EXPECT_EQ(bgr.constBits(), before);
  EXPECT_TRUE(SamePixels(bgr, ExpectedPreview(Layout(4, 4, 0), 0, {}, nullptr)));
}

TEST_F(PreviewSheetTest, PreviewDrawsFromPreviewAndRebuildsAMissingOne) {
  std::vector<TShpora*> photos = Document.Photos();
  photos[1]->DropImages();
  QImage bitmap;
  DrawSheet(bitmap, 2, 0, Layout(4, 4, 0), photos, Texts, nullptr);
  EXPECT_NE(photos[1]->Preview, nullptr);
  for (TShpora* photo : photos) EXPECT_EQ(photo->FullImage, nullptr);

  // A photo whose picture cannot be rebuilt fails the render with a readable error.
  photos[3]->DropImages();
  QFile::remove(photos[3]->WorkFile);
  EXPECT_THROW(DrawSheet(bitmap, 2, 0, Layout(4, 4, 0), photos, Texts, nullptr),
               std::runtime_error);
}

class PrintedSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Pale = Document.AddPhoto(kPaleYellow);
    Texts.ClearSheetTexts();
    // The first text is too long for the full strip height at 5 x 5 and gets a smaller one; the
    // second, all dots, shows which side the text's baseline lies on.
    Texts.AddSheetText("Photocopies of books, documents and notes, made from photos of pages");
    Texts.AddSheetText(QString(30, QLatin1Char('.')));
  }
  static constexpr TRgb kPaleYellow{250, 245, 170};
  TColourPhotos Document;
  TShpora* Pale = nullptr;
  TSheetTexts Texts;
};

TEST_F(PrintedSheetTest, StripNumberTextAndFramePlacement) {
  const TSheetLayout layout = Layout(5, 5, 0);
  const TSheetGeometry g = SheetGeometry(12, layout);
  const int t = g.Strip, cw = g.CellWidth, ch = g.CellHeight;
  const std::vector<TShpora*> photos(3, Pale);
  QImage sheet;
  DrawSheet(sheet, 12, 0, layout, photos, Texts, Pale);
  ASSERT_EQ(sheet.size(), QSize(2520, 3564));
  EXPECT_EQ(Pale->FullImage, nullptr) << "released after its cell";
  EXPECT_EQ(CountPixels(sheet, IsRed), 0) << "no mark of the edited photo on paper";

  const int h = FitMarginTextHeight(Texts, g);
  ASSERT_LT(h, t);
  const int bandLeft = (t - h) / 2;
  const int ascent = QFontMetrics(SheetFont(h)).ascent();
  const int numberAscent = QFontMetrics(SheetFont(t)).ascent();
  QRect textBoxes[3];
  for (int k = 0; k < 3; ++k) {
    const int x = g.CellX(k), y = g.CellY(0);
    SCOPED_TRACE("cell " + std::to_string(k));
    // The frame encloses strip and photo; the photo starts right of the strip.
    for (int yy : {y, y + ch / 2, y + ch - 1}) {
      EXPECT_EQ(sheet.pixel(x, yy), kBlack);
      EXPECT_EQ(sheet.pixel(x + cw - 1, yy), kBlack);
    }
    EXPECT_EQ(sheet.pixel(x + cw / 2, y), kBlack);
    EXPECT_EQ(sheet.pixel(x + cw / 2, y + ch - 1), kBlack);
    if (k == 2) {
      EXPECT_EQ(sheet.pixel(x + cw, y + ch / 2), kWhite) << "the next cell is empty";
    }
    EXPECT_TRUE(Near(sheet.pixel(x + t, y + t + 2), kPaleYellow));
    EXPECT_TRUE(Near(sheet.pixel(x + cw - 2, y + ch - 2), kPaleYellow));
    EXPECT_EQ(sheet.pixel(x + t - 1, y + t + 2), kWhite) << "the strip is not covered";

    // The number k + 1: centred in the strip, at its top.
    const QRect number = InkBox(sheet, QRect(x + 1, y + 1, t - 1, t - 1));
    ASSERT_FALSE(number.isNull());
    EXPECT_NEAR(number.center().x(), x + t / 2, 3);
    EXPECT_GE(number.top(), y + 2);
    EXPECT_LE(number.bottom(), y + numberAscent + 1) << "digits end on the baseline";

    // The margin text runs up from the cell's bottom edge inside its band of the strip.
    const QRect text = InkBox(sheet, QRect(x + 1, y + t, t - 1, ch - t - 1));
    ASSERT_FALSE(text.isNull());
    EXPECT_GE(text.left(), x + bandLeft);
    EXPECT_LE(text.right(), x + bandLeft + h - 1);
    EXPECT_GE(text.bottom(), y + ch - 8) << "starts at the bottom edge";
    const int width = SheetTextWidth(Texts.TextForPhoto(k), h);
    EXPECT_NEAR(text.bottom() - text.top(), width, 8) << "runs upward over its own width";
    textBoxes[k] = text.translated(-x, 0);
  }
  // Texts alternate by photo position; the dots sit on the baseline, the right side of a text
  // turned counter-clockwise.
  EXPECT_EQ(textBoxes[0], textBoxes[2]);
  EXPECT_NE(textBoxes[0].height(), textBoxes[1].height());
  EXPECT_GT(textBoxes[1].left(), bandLeft + h / 2);
  EXPECT_LE(textBoxes[1].right(), bandLeft + ascent + 1);

  // Empty cells get nothing, not even a frame.
  EXPECT_EQ(sheet.pixel(g.CellX(3), g.CellY(0) + ch / 2), kWhite);
  EXPECT_EQ(sheet.pixel(g.CellX(0) + cw / 2, g.CellY(1) - 1), kBlack) << "the first row's bottom";
  EXPECT_EQ(sheet.pixel(g.CellX(0) + cw / 2, g.CellY(1)), kWhite) << "the empty row below";
}

TEST_F(PrintedSheetTest, ThreeDigitNumbersStartFivePixelsIn) {
  const TSheetLayout layout = Layout(5, 5, 0);
  const TSheetGeometry g = SheetGeometry(12, layout);
  const std::vector<TShpora*> photos(100, Pale);
  QImage sheet;
  DrawSheet(sheet, 12, 3, layout, photos, Texts, nullptr);  // photos 76 to 100
  const QFontMetrics metrics(SheetFont(g.Strip));
  ASSERT_GT(metrics.horizontalAdvance("100"), g.Strip - 10) << "the number is wider than that";

  const int x100 = g.CellX(4), y100 = g.CellY(4);
  const QRect hundred = InkBox(sheet, QRect(x100 + 1, y100 + 1, 80, g.Strip - 1));
  ASSERT_FALSE(hundred.isNull());
  const int bearing = metrics.leftBearing(QLatin1Char('1'));
  EXPECT_NEAR(hundred.left(), x100 + 5 + bearing, 1);

  // Two digits stay centred.
  const int x99 = g.CellX(3), y99 = g.CellY(4);
  const QRect ninetyNine = InkBox(sheet, QRect(x99 + 1, y99 + 1, g.Strip - 1, g.Strip - 1));
  EXPECT_NEAR(ninetyNine.center().x(), x99 + g.Strip / 2, 3);
}

TEST_F(PrintedSheetTest, WithoutTextsOnlyNumbers) {
  TSheetTexts none;
  const TSheetLayout layout = Layout(1, 1, 0);
  const TSheetGeometry g = SheetGeometry(12, layout);
  QImage sheet;
  DrawSheet(sheet, 12, 0, layout, {Pale}, none, nullptr);
  EXPECT_FALSE(InkBox(sheet, QRect(g.CellX(0) + 1, g.CellY(0) + 1, g.Strip - 1, g.Strip)).isNull());
  EXPECT_TRUE(InkBox(sheet, QRect(g.CellX(0) + 1, g.CellY(0) + g.Strip + 1, g.Strip - 1,
                                  g.CellHeight - g.Strip - 2))
                  .isNull());
}
