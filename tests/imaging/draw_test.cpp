// Drawing and output: rectangle copies, copies onto other images and onto Qt painters, and the
// line of text an exported page carries.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "FastDIB.h"

// Fontconfig keeps its configuration until the process ends; under LeakSanitizer (the
// sanitizer build) that is no leak of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace {

// Text needs Qt's font system, hence a QGuiApplication; only the tests that draw text or paint
// make one, on the offscreen platform, so the rest of the imaging tests run without it.
void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "imaging_tests";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

void FillRandom(TFastDIB& image, uint32_t seed, int low = 0, int high = 255) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(low, high);
  for (int32_t r = 0; r < image.AbsHeight; ++r)
    for (int32_t i = 0; i < image.Stride; ++i) image.Scanlines[r][i] = uint8_t(byte(random));
}

std::vector<uint8_t> AllBytes(const TFastDIB& image) {
  std::vector<uint8_t> out;
  for (int32_t r = 0; r < image.AbsHeight; ++r)
    out.insert(out.end(), image.Scanlines[r], image.Scanlines[r] + image.Stride);
  return out;
}

// Pixel (x, y) of the picture, y from the top.
const uint8_t* PicturePixel(const TFastDIB& image, int x, int y) {
  return image.Scanlines[image.AbsHeight - 1 - y] + x * (image.BitCount() / 8);
}

// The gray table every 8-bit image of the program carries.
void GiveGrayTable(TFastDIB& image) {
  for (int i = 0; i < 256; ++i) {
    const uint8_t v = uint8_t(i == 0 ? 0 : i == 255 ? 255 : i - 1);
    image.Colors[i] = PaletteEntry{v, v, v, 0};
  }
}

// --- CopyRectFrom ------------------------------------------------------------------------------

TEST(CopyRectFrom, TakesTheRectangleFromTheTopOfABottomUpSource) {
  TFastDIB source(100, 24, 50), target(30, 24, 20);
  // Every pixel names its memory row and column.
  for (int r = 0; r < 50; ++r)
    for (int x = 0; x < 100; ++x) {
      uint8_t* p = source.Scanlines[r] + 3 * x;
      p[0] = uint8_t(r), p[1] = uint8_t(x), p[2] = 7;
    }
  target.CopyRectFrom(source, 0, 0, 10, 5, 30, 20);
  for (int i = 0; i < 20; ++i)
    for (int k = 0; k < 30; ++k) {
      const uint8_t* p = target.Scanlines[i] + 3 * k;
      ASSERT_EQ(p[0], 25 + i) << i << "," << k;  // source memory rows 25 to 44
      ASSERT_EQ(p[1], 10 + k);
    }
  // The top picture row of the target is the source's picture row 5.
  EXPECT_EQ(PicturePixel(target, 0, 0)[0], 49 - 5);
}

struct RectCase {
  int depth, destX, destY, srcX, srcY, width, height;
};

// A coordinate in a test name: "Minus4" for -4.
std::string Coordinate(int v) { return (v < 0 ? "Minus" : "") + std::to_string(v < 0 ? -v : v); }

// "Bits24To3x4From30x2Size30x10".
std::string RectCaseName(const testing::TestParamInfo<RectCase>& info) {
  const RectCase& c = info.param;
  return "Bits" + std::to_string(c.depth) + "To" + Coordinate(c.destX) + "x" + Coordinate(c.destY) +
         "From" + Coordinate(c.srcX) + "x" + Coordinate(c.srcY) + "Size" + Coordinate(c.width) +
         "x" + Coordinate(c.height);
}

class CopyRectClipping : public testing::TestWithParam<RectCase> {};

// Clipping to both images in picture coordinates: a target pixel inside the placed rectangle
// whose source point lies inside the source is copied; every other pixel keeps its value.
TEST_P(CopyRectClipping, CopiesExactlyTheOverlapOfBothImages) {
  const RectCase c = GetParam();
  TFastDIB source(40, c.depth, 25), target(30, c.depth, 20);
  FillRandom(source, 1);
  FillRandom(target, 2);
  const std::vector<uint8_t> before = AllBytes(target);
  TFastDIB original(30, c.depth, 20);
  std::memcpy(original.Bits, target.Bits, before.size());

  target.CopyRectFrom(source, c.destX, c.destY, c.srcX, c.srcY, c.width, c.height);

  const int p = c.depth / 8;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const int sx = x - c.destX + c.srcX, sy = y - c.destY + c.srcY;
      const bool inside = x >= c.destX && x < c.destX + c.width && y >= c.destY &&
                          y < c.destY + c.height && sx >= 0 && sx < 40 && sy >= 0 && sy < 25;
      const uint8_t* expected =
          inside ? PicturePixel(source, sx, sy) : PicturePixel(original, x, y);
      ASSERT_EQ(0, std::memcmp(PicturePixel(target, x, y), expected, size_t(p)))
          << "pixel " << x << "," << y << (inside ? " copied" : " kept");
    }
  // Gaps are never written.
  for (int r = 0; r < 20; ++r)
    for (int i = 30 * p; i < target.Stride; ++i)
      ASSERT_EQ(target.Scanlines[r][i], before[size_t(r * target.Stride + i)]);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Rectangles, CopyRectClipping,
    testing::Values(RectCase{24, 0, 0, 10, 5, 30, 20},     // the whole target
                    RectCase{24, 3, 4, 30, 2, 30, 10},     // past the source's right edge
                    RectCase{8, 5, 2, 0, 20, 10, 10},      // past the source's bottom edge
                    RectCase{24, 25, 15, 0, 0, 10, 10},    // past the target's corner
                    RectCase{8, -4, -3, 2, 2, 12, 9},      // above and left of the target
                    RectCase{24, 2, 1, -5, -6, 15, 12},    // above and left of the source
                    RectCase{32, 1, 1, 3, 3, 7, 5},        // 32 bits
                    RectCase{24, 0, 0, 40, 0, 10, 10},     // srcX at the source width: nothing
                    RectCase{24, 0, 0, 0, 25, 10, 10},     // srcY at the source height: nothing
                    RectCase{24, 30, 0, 0, 0, 10, 10},     // destX at the target width: nothing
                    RectCase{24, -50, 0, 0, 0, 30, 10},    // width clipped below 0: nothing
                    RectCase{8, 0, -30, 0, 0, 10, 20},     // height clipped below 0: nothing
                    RectCase{24, 3, 3, 3, 3, 0, 5}),       // empty rectangle
    RectCaseName);
// clang-format on

TEST(CopyRectFrom, DifferentDepthsCopyNothing) {
  TFastDIB source(10, 8, 10), target(10, 24, 10);
  FillRandom(source, 3);
  FillRandom(target, 4);
  const auto before = AllBytes(target);
  target.CopyRectFrom(source, 0, 0, 0, 0, 10, 10);
  EXPECT_EQ(AllBytes(target), before);
}

// --- DrawTo onto another image -----------------------------------------------------------------

TEST(DrawToImage, PlacesThePictureUprightAndClipsIt) {
  struct Case {
    int depth, x, y;
  };
  for (const Case c : {Case{24, 0, 0}, Case{24, 5, 3}, Case{24, -4, -2}, Case{24, 20, 12},
                       Case{8, 1, 2}, Case{8, -3, 10}, Case{24, 40, 0}}) {
    TFastDIB cell(13, c.depth, 9), sheet(25, 24, 16);
    FillRandom(cell, 5);
    GiveGrayTable(cell);
    FillRandom(sheet, 6);
    TFastDIB original(25, 24, 16);
    std::memcpy(original.Bits, sheet.Bits, size_t(sheet.Stride) * 16);
    cell.DrawTo(sheet, c.x, c.y);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 25; ++x) {
        const int cx = x - c.x, cy = y - c.y;
        uint8_t expected[3];
        if (cx >= 0 && cx < 13 && cy >= 0 && cy < 9) {
          const uint8_t* p = PicturePixel(cell, cx, cy);
          if (c.depth == 8) {
            const PaletteEntry& e = cell.Colors[p[0]];
            expected[0] = e.Blue, expected[1] = e.Green, expected[2] = e.Red;
          } else {
            std::memcpy(expected, p, 3);
          }
        } else {
          std::memcpy(expected, PicturePixel(original, x, y), 3);
        }
        ASSERT_EQ(0, std::memcmp(PicturePixel(sheet, x, y), expected, 3))
            << c.depth << " bits at " << c.x << "," << c.y << ": pixel " << x << "," << y;
      }
  }
}

// --- DrawTo onto a painter ---------------------------------------------------------------------

QColor ExpectedColour(const TFastDIB& image, int x, int y) {
  const uint8_t* p = PicturePixel(image, x, y);
  if (image.BitCount() == 8) {
    const PaletteEntry& e = image.Colors[p[0]];
    return QColor(e.Red, e.Green, e.Blue);
  }
  return QColor(p[2], p[1], p[0]);
}

struct PaintCase {
  int depth;
  QImage::Format format;
};

std::string PaintCaseName(const testing::TestParamInfo<PaintCase>& info) {
  const char* format = "Other";
  switch (info.param.format) {
    case QImage::Format_RGB32:
      format = "RGB32";
      break;
    case QImage::Format_BGR888:
      format = "BGR888";
      break;
    case QImage::Format_RGB888:
      format = "RGB888";
      break;
    case QImage::Format_ARGB32_Premultiplied:
      format = "ARGB32Premultiplied";
      break;
    case QImage::Format_RGBX8888:
      format = "RGBX8888";
      break;
    case QImage::Format_RGBA8888:
      format = "RGBA8888";
      break;
    default:
      break;
  }
  return "Bits" + std::to_string(info.param.depth) + "To" + format;
}

class DrawToPainter : public testing::TestWithParam<PaintCase> {};

// A preview-sized picture onto a bitmap of the same size: every pixel upright and unscaled,
// whether it is written straight into the bitmap or drawn through the painter.
TEST_P(DrawToPainter, ReproducesAPreviewUprightAndUnscaled) {
  EnsureGuiApplication();
  const PaintCase c = GetParam();
  TFastDIB preview(420, c.depth, 594);
  FillRandom(preview, 8);
  GiveGrayTable(preview);
  QImage bitmap(420, 594, c.format);
  bitmap.fill(Qt::magenta);
  {
    QPainter painter(&bitmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(0.5);  // a plain copy ignores it
    preview.DrawTo(painter, 0, 0);
  }
  for (int y = 0; y < 594; ++y)
    for (int x = 0; x < 420; ++x)
      ASSERT_EQ(QColor(bitmap.pixel(x, y)), ExpectedColour(preview, x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, DrawToPainter,
    testing::Values(PaintCase{24, QImage::Format_RGB32}, PaintCase{24, QImage::Format_BGR888},
                    PaintCase{24, QImage::Format_RGB888},
                    PaintCase{24, QImage::Format_ARGB32_Premultiplied},
                    PaintCase{24, QImage::Format_RGBX8888},  // not written directly: drawImage
                    PaintCase{8, QImage::Format_RGB32}, PaintCase{8, QImage::Format_BGR888},
                    PaintCase{8, QImage::Format_RGBX8888}, PaintCase{32, QImage::Format_RGB32},
                    PaintCase{32, QImage::Format_RGBA8888}),
    PaintCaseName);

TEST(DrawToPainterPlacement, OffsetsClipAndRespectThePaintersTransformAndClip) {
  EnsureGuiApplication();
  TFastDIB cell(30, 24, 20);
  FillRandom(cell, 9);
  struct Case {
    int x, y;
    QPoint translate;
    bool clip;
  };
  for (const Case c : {Case{5, 7, {}, false}, Case{-10, -4, {}, false}, Case{40, 25, {}, false},
                       Case{2, 3, {6, 1}, false}, Case{5, 7, {}, true}}) {
    QImage bitmap(50, 30, QImage::Format_RGB32);
    bitmap.fill(Qt::magenta);
    const QRect clipRect(10, 10, 15, 8);
    {
      QPainter painter(&bitmap);
      painter.translate(c.translate);
      if (c.clip) painter.setClipRect(clipRect);
      cell.DrawTo(painter, c.x, c.y);
    }
    const int ox = c.x + c.translate.x(), oy = c.y + c.translate.y();
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 50; ++x) {
        const bool covered = x >= ox && x < ox + 30 && y >= oy && y < oy + 20 &&
                             (!c.clip || clipRect.contains(x, y));
        const QColor expected =
            covered ? ExpectedColour(cell, x - ox, y - oy) : QColor(Qt::magenta);
        ASSERT_EQ(QColor(bitmap.pixel(x, y)), expected)
            << "at " << c.x << "," << c.y << ": pixel " << x << "," << y;
      }
  }
}

TEST(ToQImage, GivesAnUprightCopyWithTheColourTable) {
  TFastDIB image(5, 8, 3);
  FillRandom(image, 10);
  GiveGrayTable(image);
  const QImage picture = ToQImage(image);
  ASSERT_EQ(picture.format(), QImage::Format_Indexed8);
  ASSERT_EQ(picture.size(), QSize(5, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(picture.pixelIndex(x, y), PicturePixel(image, x, y)[0]);
  EXPECT_EQ(picture.color(100), qRgb(99, 99, 99));
  EXPECT_TRUE(ToQImage(TFastDIB()).isNull());
}

// --- DrawTextLine ------------------------------------------------------------------------------

struct ChangedBox {
  int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;  // inclusive
};

// Checks that the changed pixels form one filled cell whose top-left is (x, y) clipped to the
// image: everything inside it ink or paper, everything outside untouched. Returns the cell.
ChangedBox CheckTextCell(const TFastDIB& image, const TFastDIB& original, int x, int y,
                         const uint8_t* ink, const uint8_t* paper) {
  const int p = image.BitCount() / 8;
  ChangedBox box;
  for (int yy = 0; yy < image.AbsHeight; ++yy)
    for (int xx = 0; xx < image.Width(); ++xx)
      if (std::memcmp(PicturePixel(image, xx, yy), PicturePixel(original, xx, yy), size_t(p))) {
        box.x0 = std::min(box.x0, xx), box.y0 = std::min(box.y0, yy);
        box.x1 = std::max(box.x1, xx), box.y1 = std::max(box.y1, yy);
      }
  EXPECT_EQ(box.x0, std::max(x, 0));
  EXPECT_EQ(box.y0, std::max(y, 0));
  int inkCount = 0, paperCount = 0;
  for (int yy = box.y0; yy <= box.y1; ++yy)
    for (int xx = box.x0; xx <= box.x1; ++xx) {
      const uint8_t* q = PicturePixel(image, xx, yy);
      const bool isInk = std::memcmp(q, ink, size_t(p)) == 0;
      const bool isPaper = std::memcmp(q, paper, size_t(p)) == 0;
      EXPECT_TRUE(isInk || isPaper) << "pixel " << xx << "," << yy;
      inkCount += isInk, paperCount += isPaper;
    }
  EXPECT_GT(inkCount, 20);
  EXPECT_GT(paperCount, inkCount);
  // Gaps stay as they were.
  const int used = image.Width() * p;
  for (int r = 0; r < image.AbsHeight; ++r)
    EXPECT_EQ(0, std::memcmp(image.Scanlines[r] + used, original.Scanlines[r] + used,
                             size_t(image.Stride - used)));
  return box;
}

TEST(DrawTextLine, FillsOnlyItsCellBlackOnWhiteWithinTwentyRows) {
  EnsureGuiApplication();
  const QString caption = QStringLiteral("Page 3 of 12 \u2014 Tavrolin");
  for (int depth : {24, 8}) {
    // Pixels never pure black or white, so every pixel of the cell shows up as changed.
    TFastDIB page(301, depth, 120), original(301, depth, 120);
    FillRandom(page, 11, 30, 200);
    GiveGrayTable(page);
    std::memcpy(original.Bits, page.Bits, size_t(page.Stride) * 120);
    const int x = 7, y = page.AbsHeight - 20;
    page.DrawTextLine(x, y, caption);
    const uint8_t ink24[3] = {0, 0, 0}, paper24[3] = {255, 255, 255};
    const uint8_t ink8[1] = {0}, paper8[1] = {255};
    const ChangedBox cell = CheckTextCell(page, original, x, y, depth == 24 ? ink24 : ink8,
                                          depth == 24 ? paper24 : paper8);
    EXPECT_LE(cell.y1, page.AbsHeight - 1);
    EXPECT_LE(cell.y1 - cell.y0 + 1, 20) << "the line must fit the rows a caption gets";
    EXPECT_GT(cell.x1 - cell.x0, 100) << "the cell spans the whole text";
  }
}

TEST(DrawTextLine, IsClippedAtTheImageEdges) {
  EnsureGuiApplication();
  for (QPoint at : {QPoint(70, 50), QPoint(-15, -6)}) {
    TFastDIB image(80, 24, 60), original(80, 24, 60);
    FillRandom(image, 12, 30, 200);
    std::memcpy(original.Bits, image.Bits, size_t(image.Stride) * 60);
    image.DrawTextLine(at.x(), at.y(), QStringLiteral("Wide text past the edge"));
    const uint8_t ink[3] = {0, 0, 0}, paper[3] = {255, 255, 255};
    const ChangedBox cell = CheckTextCell(image, original, at.x(), at.y(), ink, paper);
    if (at.x() > 0) {
      EXPECT_EQ(cell.x1, 79);
      EXPECT_EQ(cell.y1, 59);
    }
  }
}

TEST(DrawTextLine, EmptyTextAndFarPointsWriteNothing) {
  EnsureGuiApplication();
  TFastDIB image(40, 24, 30);
  FillRandom(image, 13);
  const auto before = AllBytes(image);
  image.DrawTextLine(3, 3, QString());
  image.DrawTextLine(40, 3, QStringLiteral("x"));
  image.DrawTextLine(3, -100, QStringLiteral("x"));
  image.DrawTextLine(INT32_MAX, INT32_MAX, QStringLiteral("x"));
  EXPECT_EQ(AllBytes(image), before);
}

}  // namespace
