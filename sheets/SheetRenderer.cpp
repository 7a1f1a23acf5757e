#include "SheetRenderer.h"

#include <array>
#include <stdexcept>

#include <QFontMetrics>
#include <QPainter>

#include "Shpora.h"

namespace {

// Font sizes asked for are cell heights up to t = 3 s; s = 12 gives 36. Larger heights are
// measured each time.
constexpr int32_t kCachedHeights = 64;

int32_t FontHeightAtPixelSize(int32_t pixelSize) {
  QFont font(QStringLiteral("Calibri"));
  font.setPixelSize(pixelSize);
  return QFontMetrics(font).height();
}

int32_t FindPixelSize(int32_t cellHeight) {
  int32_t best = 1;
  // A font's cell height is always at least its pixel size, so no size above the height fits.
  for (int32_t size = 1; size <= cellHeight; ++size) {
    if (FontHeightAtPixelSize(size) > cellHeight) break;
    best = size;
  }
  return best;
}

int32_t PixelSizeForCellHeight(int32_t cellHeight) {
  if (cellHeight <= 1) return 1;
  if (cellHeight >= kCachedHeights) return FindPixelSize(cellHeight);
  // Each thread keeps its own table, so the command line may render off the window's thread.
  thread_local std::array<int32_t, kCachedHeights> cache{};
  int32_t& size = cache[static_cast<size_t>(cellHeight)];
  if (size == 0) size = FindPixelSize(cellHeight);
  return size;
}

bool Is24Bit(const QImage& image) {
  return image.format() == QImage::Format_RGB888 || image.format() == QImage::Format_BGR888;
}

void PrepareBitmap(QImage& bitmap, const TSheetGeometry& g) {
  if (bitmap.width() == g.Width && bitmap.height() == g.Height && Is24Bit(bitmap)) return;
  bitmap = QImage(g.Width, g.Height, QImage::Format_RGB888);
  if (bitmap.isNull())
    throw std::runtime_error("Not enough memory for a sheet of " + std::to_string(g.Width) + " x " +
                             std::to_string(g.Height) + " pixels.");
}

// Text is placed by the top-left corner of its cell, as the sheet's layout measures it; Qt
// places it by the baseline, one ascent lower.
void DrawTextAtTop(QPainter& painter, int32_t x, int32_t y, const QString& text) {
  painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

// The margin text runs upward from (x, y), rotated a quarter turn counter-clockwise: its top
// faces left, so its cell covers columns x to x + h - 1 and it ends above row y.
void DrawMarginText(QPainter& painter, int32_t x, int32_t y, int32_t height, const QString& text) {
  painter.save();
  painter.setFont(SheetFont(height));
  painter.translate(x, y);
  painter.rotate(-90.0);
  DrawTextAtTop(painter, 0, 0, text);
  painter.restore();
}

void DrawNumber(QPainter& painter, int32_t x, int32_t y, int32_t strip, int32_t number) {
  const QString digits = QString::number(number);
  painter.setFont(SheetFont(strip));
  const int32_t width = painter.fontMetrics().horizontalAdvance(digits);
  DrawTextAtTop(painter, x + NumberOffset(strip, width, number), y, digits);
}

// One filled cell of the printed sheet: the photo right of the strip, from its full picture,
// which is released at once so the sheet holds at most one; then the texts and the frame.
void DrawPrintedCell(QPainter& painter, const TSheetGeometry& g, int32_t x, int32_t y,
                     TShpora& photo, int32_t photoIndex, const TSheetTexts& texts,
                     int32_t textHeight) {
  const int32_t t = g.Strip;
  photo.DrawCell(painter, x + t, y, g.CellWidth - t, g.CellHeight, true, true);
  photo.DropFullImage();

  painter.setBackgroundMode(Qt::TransparentMode);
  painter.setPen(Qt::black);
  if (texts.SheetTextCount() > 0)
    DrawMarginText(painter, x + (t - textHeight) / 2, y + g.CellHeight, textHeight,
                   texts.TextForPhoto(photoIndex));
  DrawNumber(painter, x, y, t, photoIndex + 1);
}

}  // namespace

QFont SheetFont(int32_t cellHeight) {
  QFont font(QStringLiteral("Calibri"));
  font.setPixelSize(PixelSizeForCellHeight(cellHeight));
  return font;
}

int32_t SheetTextWidth(const QString& text, int32_t cellHeight) {
  return QFontMetrics(SheetFont(cellHeight)).horizontalAdvance(text);
}

int32_t FitMarginTextHeight(const TSheetTexts& texts, const TSheetGeometry& geometry,
                            const TTextWidth& textWidth) {
  const int32_t s = geometry.Scale;
  const int32_t room = geometry.CellHeight - (9 * s / 2);
  const int32_t smallest = 3 * s / 2;
  auto allFit = [&](int32_t height) {
    for (int32_t i = 0; i < texts.SheetTextCount(); ++i)
      if (textWidth(texts.Text(i), height) >= room) return false;
    return true;
  };
  int32_t height = geometry.Strip;
  while (!allFit(height) && height > smallest) --height;
  return height;
}

int32_t NumberOffset(int32_t strip, int32_t numberWidth, int32_t number) {
  const int32_t offset = (strip - numberWidth) / 2;
  return (offset < 5 && number >= 100) ? 5 : offset;
}

void FillRing(QPainter& painter, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
              const QColor& color) {
  const int32_t w = x1 - x0;
  const int32_t h = y1 - y0;
  if (w <= 0 || h <= 0 || width <= 0) return;
  if (2 * width >= w || 2 * width >= h) {
    painter.fillRect(x0, y0, w, h, color);
    return;
  }
  painter.fillRect(x0, y0, w, width, color);                              // top
  painter.fillRect(x0, y1 - width, w, width, color);                      // bottom
  painter.fillRect(x0, y0 + width, width, h - 2 * width, color);          // left
  painter.fillRect(x1 - width, y0 + width, width, h - 2 * width, color);  // right
}

void DrawSheet(QImage& bitmap, int32_t scale, int32_t sheetIndex, const TSheetLayout& layout,
               const std::vector<TShpora*>& photos, const TSheetTexts& texts,
               const TShpora* currentPhoto) {
  const TSheetGeometry g = SheetGeometry(scale, layout);
  PrepareBitmap(bitmap, g);
  const int32_t rows = layout.SafeRows();
  const int32_t cols = layout.SafeCols();
  const int32_t count = static_cast<int32_t>(photos.size());

  QPainter painter(&bitmap);
  // Every edge lies on whole pixels and the cells are plain copies: nothing may be blended.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.fillRect(0, 0, g.Width, g.Height, Qt::white);
  FillRing(painter, 0, 0, g.Width, g.Height, 1, Qt::black);

  // Only the printed sheet carries texts, so only it needs their height.
  const int32_t textHeight = g.PrintMode() ? FitMarginTextHeight(texts, g) : g.Strip;

  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const int32_t k = CellPhotoIndex(layout, sheetIndex, i, j);
      if (k < 0 || k >= count || photos[static_cast<size_t>(k)] == nullptr) continue;
      TShpora& photo = *photos[static_cast<size_t>(k)];
      const int32_t x = g.CellX(j);
      const int32_t y = g.CellY(i);
      if (g.PrintMode())
        DrawPrintedCell(painter, g, x, y, photo, k, texts, textHeight);
      else
        photo.DrawCell(painter, x, y, g.CellWidth, g.CellHeight, false, true);
      FillRing(painter, x, y, x + g.CellWidth, y + g.CellHeight, 1, Qt::black);
    }
  }

  if (g.PrintMode() || currentPhoto == nullptr) return;
  // The mark of the photo being edited is the 4-pixel ring just outside its cell, drawn last so
  // that no neighbouring cell covers it.
  constexpr int32_t kMark = 4;
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const int32_t k = CellPhotoIndex(layout, sheetIndex, i, j);
      if (k < 0 || k >= count || photos[static_cast<size_t>(k)] != currentPhoto) continue;
      const int32_t x = g.CellX(j);
      const int32_t y = g.CellY(i);
      FillRing(painter, x - kMark, y - kMark, x + g.CellWidth + kMark, y + g.CellHeight + kMark,
               kMark, Qt::red);
    }
  }
}
