#include "SheetLayout.h"

#include <algorithm>

namespace {

// The click geometry of the preview picture, kept apart from the drawn one on purpose: users
// have always clicked against these numbers.
constexpr int32_t kHitOffset = 10;
constexpr int32_t kHitWidth = 400;
constexpr int32_t kHitHeight = 524;

}  // namespace

int32_t TSheetLayout::SafeRows() const {
  return std::clamp(Rows, kLayoutMinCells, kLayoutMaxCells);
}
int32_t TSheetLayout::SafeCols() const {
  return std::clamp(Cols, kLayoutMinCells, kLayoutMaxCells);
}

int32_t SheetCount(int32_t photoCount, const TSheetLayout& layout) {
  if (photoCount <= 0) return 0;
  const int32_t per = layout.PerSheet();
  return (photoCount + per - 1) / per;
}

int32_t CellPhotoIndex(const TSheetLayout& layout, int32_t sheet, int32_t row, int32_t col) {
  const int32_t rows = layout.SafeRows();
  const int32_t cols = layout.SafeCols();
  const int32_t first = sheet * rows * cols;
  return layout.ByRows() ? first + row * cols + col : first + col * rows + row;
}

TSheetGeometry SheetGeometry(int32_t scale, const TSheetLayout& layout) {
  TSheetGeometry g;
  g.Scale = scale;
  g.Width = 210 * scale;
  g.Height = 297 * scale;
  g.LeftMargin = 2 * scale;
  g.TopMargin = 3 * scale;
  g.Strip = 3 * scale;
  // Right margin 5 mm, bottom margin 30 mm.
  g.CellWidth = (g.Width - 2 * scale - 5 * scale) / layout.SafeCols();
  g.CellHeight = (g.Height - 3 * scale - 30 * scale) / layout.SafeRows();
  return g;
}

int32_t PreviewHitTest(const TSheetLayout& layout, int32_t pageNumber, int32_t photoCount,
                       int32_t x, int32_t y) {
  const int32_t rows = layout.SafeRows();
  const int32_t cols = layout.SafeCols();
  const int32_t px = x - kHitOffset;
  const int32_t py = y - kHitOffset;
  const int32_t cw = kHitWidth / cols;
  const int32_t ch = kHitHeight / rows;
  // Truncation toward zero puts the 10-pixel band at the left and top into column and row 0.
  const int32_t col = px / cw;
  const int32_t row = py / ch;
  const int32_t first = (pageNumber - 1) * rows * cols;
  const int32_t k = layout.ByRows() ? first + col + row * cols : first + col * rows + row;
  return (k >= 0 && k < photoCount) ? k : -1;
}

TPageSelectorState PageSelectorState(int32_t sheetCount, int32_t currentValue) {
  TPageSelectorState state;
  if (sheetCount <= 1) {
    state.TotalText = QStringLiteral("---");
    return state;
  }
  state.Enabled = true;
  state.TotalText = QString::number(sheetCount);
  state.Maximum = sheetCount;
  state.Value = (currentValue > sheetCount || currentValue < 1) ? 1 : currentValue;
  return state;
}
