#pragma once
// DrawSheet: the one renderer of a sheet, for the screen preview and for the printer alike. It
// needs no widget: the main window, the command line and the tests all render through it.
//
// Two modes, chosen by the scale. The preview (s <= 3) draws every photo from its cached
// 420 x 594 Preview and marks the photo being edited with a red 4-pixel ring. The printed sheet
// (s > 3) draws every photo from its full picture, rebuilt for the cell and released straight
// after (so a sheet never holds more than one), with a strip at the cell's left that carries the
// photo's number at the top and a margin text running up from the bottom.
//
// Rectangles given by two corners exclude their right and bottom edges: an outline from (x0, y0)
// to (x1, y1) covers columns x0 and x1 - 1 and rows y0 and y1 - 1, so a cell's frame lies on
// the cell's own outermost pixels and two neighbouring cells meet in a 2-pixel line.
#include <cstdint>
#include <functional>
#include <vector>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include "SheetLayout.h"
#include "SheetTexts.h"

class QPainter;
class TShpora;

// The "Calibri" font (Carlito through fontconfig) whose cell height, ascent plus descent, is
// `cellHeight` pixels: the largest pixel size that does not exceed it, since the font's heights
// step unevenly. At least pixel size 1.
QFont SheetFont(int32_t cellHeight);

// The advance width in pixels of `text` in SheetFont(cellHeight).
int32_t SheetTextWidth(const QString& text, int32_t cellHeight);

using TTextWidth = std::function<int32_t(const QString& text, int32_t cellHeight)>;

// The margin-text height for a sheet: from t down to 3 s div 2, the first height at which every
// text is narrower than the cell height less 9 s div 2. When none fits the smallest is used
// anyway (the text then runs past the top of the cell); with no texts it stays t.
int32_t FitMarginTextHeight(const TSheetTexts& texts, const TSheetGeometry& geometry,
                            const TTextWidth& textWidth = SheetTextWidth);

// Where the photo number starts inside the strip: centred, (t - w) div 2, even when that puts a
// wide number partly left of the cell; but numbers of three digits or more start 5 pixels in.
int32_t NumberOffset(int32_t strip, int32_t numberWidth, int32_t number);

// Fills the `width`-pixel ring just inside the rectangle (x0, y0)-(x1, y1), right and bottom
// edges exclusive. Width 1 is a plain 1-pixel outline.
void FillRing(QPainter& painter, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t width,
              const QColor& color);

// Renders sheet `sheetIndex` (from 0) of the document at `scale` pixels per millimetre into
// `bitmap`, which becomes 210 s x 297 s pixels at 24 bits when it is not already (its own 24-bit
// format, RGB888 or BGR888, is kept). `photos` are the document's photos in list order;
// `currentPhoto` is the one open in the editor (compared by identity; may be null).
// It changes nothing but the bitmap and the photos' cached pictures. Throws std::runtime_error
// when a photo's picture cannot be rebuilt (its working JPEG missing or damaged) or the bitmap
// cannot be allocated; the bitmap then holds a partly drawn sheet.
void DrawSheet(QImage& bitmap, int32_t scale, int32_t sheetIndex, const TSheetLayout& layout,
               const std::vector<TShpora*>& photos, const TSheetTexts& texts,
               const TShpora* currentPhoto);
