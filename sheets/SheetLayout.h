#pragma once
// The layout of photos on A4 sheets: how many sheets a document needs, which photo goes into
// which cell, where the cells are at a given scale, and which photo a click on the preview picks.
//
// The geometry is defined in millimetres of an A4 sheet (210 x 297 mm) and rendered at a scale of
// s whole pixels per millimetre: s = 2 is the 420 x 594 screen preview, s = 12 the printed sheet.
// Every division truncates toward zero, as the sheet's integer geometry has always done; whatever
// a division leaves over stays blank at the right and bottom of the sheet.
#include <cstdint>

#include <QString>

// A sheet holds 1 to 5 rows and 1 to 5 columns of photos: the window's controls, the command
// line's options and the sheet geometry all keep to these limits.
constexpr int32_t kLayoutMinCells = 1;
constexpr int32_t kLayoutMaxCells = 5;

// The three values of the "Page Preview" tab (and of the document file).
struct TSheetLayout {
  int32_t Rows = 4;   // 1..5
  int32_t Cols = 4;   // 1..5
  int32_t Order = 0;  // 0: by rows; any other value: by columns

  bool ByRows() const { return Order == 0; }
  // Rows and columns brought into 1..5. A damaged document may carry 0 or a huge value; the
  // controls never show one, and every formula below divides by them.
  int32_t SafeRows() const;
  int32_t SafeCols() const;
  int32_t PerSheet() const { return SafeRows() * SafeCols(); }
};

// Number of sheets for n photos: 0 for no photos.
int32_t SheetCount(int32_t photoCount, const TSheetLayout& layout);

// The list position of the photo in row i, column j (from 0) of sheet p (from 0), by the fill
// order. It may lie at or beyond the number of photos: that cell stays empty.
int32_t CellPhotoIndex(const TSheetLayout& layout, int32_t sheet, int32_t row, int32_t col);

// The pixel geometry of a sheet at scale s.
struct TSheetGeometry {
  int32_t Scale = 2;
  int32_t Width = 0;       // W = 210 s
  int32_t Height = 0;      // H = 297 s
  int32_t LeftMargin = 0;  // 2 s
  int32_t TopMargin = 0;   // 3 s
  int32_t Strip = 0;       // t = 3 s: the number strip's width and the number's text height
  int32_t CellWidth = 0;   // (W - 2 s - 5 s) div cols
  int32_t CellHeight = 0;  // (H - 3 s - 30 s) div rows

  int32_t CellX(int32_t col) const { return LeftMargin + col * CellWidth; }
  int32_t CellY(int32_t row) const { return TopMargin + row * CellHeight; }
  // Scales up to 3 pixels per millimetre are the screen preview; above, the printed sheet.
  bool PrintMode() const { return Scale > 3; }
};

TSheetGeometry SheetGeometry(int32_t scale, const TSheetLayout& layout);

// The photo under a click at (x, y) of the preview picture on the 1-based sheet `pageNumber`, or
// -1 when that position holds no photo. The click uses its own geometry (a 10-pixel offset and
// cells of 400 div cols by 524 div rows), not the drawn one, and is not clamped to the grid: a
// click in the right or bottom margin falls on a later cell.
int32_t PreviewHitTest(const TSheetLayout& layout, int32_t pageNumber, int32_t photoCount,
                       int32_t x, int32_t y);

// What the page selector shows for a sheet count and the selector's current value.
struct TPageSelectorState {
  bool Enabled = false;
  QString TotalText;  // the count, or "---" for at most one sheet
  int32_t Maximum = 1;
  int32_t Value = 1;
};

// One sheet or none: disabled, "---", at 1. More: enabled, the count, and back to the first
// sheet (not the last) when the value now lies beyond the count.
TPageSelectorState PageSelectorState(int32_t sheetCount, int32_t currentValue);
