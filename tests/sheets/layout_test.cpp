// The layout rule: sheet counts, fill orders, the preview's click geometry, the page selector,
// the margin texts and the fitting of their height.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "SheetFixture.h"
#include "SheetLayout.h"
#include "SheetRenderer.h"
#include "SheetTexts.h"

TEST(SheetCountTest, CountsWholeAndPartSheets) {
  struct Case {
    int photos, rows, cols, sheets;
  };
  const Case cases[] = {
      {0, 4, 4, 0},  {1, 4, 4, 1}, {16, 4, 4, 1}, {17, 4, 4, 2}, {32, 4, 4, 2},
      {33, 4, 4, 3}, {6, 3, 2, 1}, {7, 3, 2, 2},  {25, 5, 5, 1}, {3, 1, 1, 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SheetCount(c.photos, Layout(c.rows, c.cols, 0)), c.sheets)
        << c.photos << " photos at " << c.rows << " x " << c.cols;
}

TEST(SheetCountTest, DamagedLayoutValuesNeverDivideByZero) {
  EXPECT_EQ(SheetCount(3, Layout(0, 0, 0)), 3);   // taken as 1 x 1
  EXPECT_EQ(SheetCount(30, Layout(9, 9, 0)), 2);  // taken as 5 x 5
  EXPECT_EQ(SheetGeometry(2, Layout(0, -3, 0)).CellWidth, 406);
}

TEST(FillOrderTest, ByRowsAndByColumns) {
  // 17 photos at 4 x 4: sheet 2 holds photo 17 (position 16) in its top-left cell only.
  const TSheetLayout rows44 = Layout(4, 4, 0);
  EXPECT_EQ(CellPhotoIndex(rows44, 1, 0, 0), 16);
  EXPECT_EQ(CellPhotoIndex(rows44, 1, 0, 1), 17);
  EXPECT_EQ(CellPhotoIndex(rows44, 0, 1, 2), 6);

  // 6 photos, 3 rows x 2 columns, by columns: column 0 holds 1, 2, 3 and column 1 holds 4, 5, 6.
  // clang-format off
  const int byColumns[3][2] = {
      {0, 3},
      {1, 4},
      {2, 5},
  };
  const int byRows[3][2] = {
      {0, 1},
      {2, 3},
      {4, 5},
  };
  // clang-format on
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 2; ++j) {
      EXPECT_EQ(CellPhotoIndex(Layout(3, 2, 1), 0, i, j), byColumns[i][j]) << i << "," << j;
      EXPECT_EQ(CellPhotoIndex(Layout(3, 2, 0), 0, i, j), byRows[i][j]) << i << "," << j;
    }
  }
  // Any order other than 0 fills by columns.
  EXPECT_EQ(CellPhotoIndex(Layout(3, 2, 7), 1, 2, 1), 6 + 5);
}

TEST(SheetGeometryTest, PreviewAndPrintNumbers) {
  const TSheetGeometry preview = SheetGeometry(2, Layout(4, 4, 0));
  EXPECT_EQ(preview.Width, 420);
  EXPECT_EQ(preview.Height, 594);
  EXPECT_EQ(preview.CellWidth, 406 / 4);
  EXPECT_EQ(preview.CellHeight, 528 / 4);
  EXPECT_EQ(preview.CellX(3), 4 + 3 * 101);
  EXPECT_EQ(preview.CellY(2), 6 + 2 * 132);
  EXPECT_FALSE(preview.PrintMode());

  const TSheetGeometry print = SheetGeometry(12, Layout(5, 3, 0));
  EXPECT_EQ(print.Width, 2520);
  EXPECT_EQ(print.Height, 3564);
  EXPECT_EQ(print.Strip, 36);
  EXPECT_EQ(print.CellWidth, 2436 / 3);
  EXPECT_EQ(print.CellHeight, 3168 / 5);
  EXPECT_EQ(print.CellX(1), 24 + 812);
  EXPECT_EQ(print.CellY(1), 36 + 633);
  EXPECT_TRUE(print.PrintMode());
  EXPECT_FALSE(SheetGeometry(3, Layout(1, 1, 0)).PrintMode());
  EXPECT_TRUE(SheetGeometry(4, Layout(1, 1, 0)).PrintMode());
}

TEST(PreviewHitTestTest, ClicksPickTheirPhoto) {
  // 4 x 4: click cells are 100 x 131 pixels behind a 10-pixel offset.
  struct Case {
    int order, page, photos, x, y, expected;
    const char* what;
  };
  const Case cases[] = {
      {0, 1, 20, 0, 0, 0, "top-left corner: the 10-pixel band counts as cell 0"},
      {0, 1, 20, 9, 9, 0, "inside the band"},
      {0, 1, 20, 110, 10, 1, "second column"},
      {0, 1, 20, 109, 141, 4, "second row, first column"},
      {1, 1, 20, 110, 10, 4, "by columns: second column starts at photo 5"},
      {1, 1, 20, 10, 141, 1, "by columns: second row"},
      {0, 2, 20, 10, 10, 16, "sheet 2 starts at photo 17"},
      {0, 2, 17, 110, 10, -1, "beyond the last photo"},
      {0, 1, 20, 415, 10, 4, "right margin by rows: first cell of the next row"},
      {0, 1, 20, 250, 580, 18, "bottom margin below column 2: row 0, column 2 of sheet 2"},
      {0, 1, 18, 250, 580, -1, "the same when that photo does not exist"},
      {1, 1, 20, 10, 580, 4, "bottom margin by columns: top of the next column"},
      {0, 1, 0, 10, 10, -1, "no photos"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PreviewHitTest(Layout(4, 4, c.order), c.page, c.photos, c.x, c.y), c.expected)
        << c.what;
}

TEST(PageSelectorTest, OneSheetDisablesAndTheValueFallsBackToOne) {
  for (int sheets : {0, 1}) {
    const TPageSelectorState state = PageSelectorState(sheets, 3);
    EXPECT_FALSE(state.Enabled);
    EXPECT_EQ(state.TotalText, "---");
    EXPECT_EQ(state.Value, 1);
  }
  const TPageSelectorState two = PageSelectorState(2, 2);
  EXPECT_TRUE(two.Enabled);
  EXPECT_EQ(two.TotalText, "2");
  EXPECT_EQ(two.Maximum, 2);
  EXPECT_EQ(two.Value, 2);
  // Showing sheet 3 of 3, then only 2 remain: back to the first sheet, not the last.
  EXPECT_EQ(PageSelectorState(2, 3).Value, 1);
}

TEST(SheetTextsTest, EntriesCycleByPhotoPosition) {
  TSheetTexts texts;
  EXPECT_EQ(texts.SheetTextCount(), 0);
  EXPECT_EQ(texts.TextForPhoto(3), QString());
  texts.ClearSheetTexts();
  texts.AddSheetText("first");
  texts.AddSheetText("second");
  EXPECT_EQ(texts.SheetTextCount(), 2);
  // Positions 0, 2, 4 carry the first text and 1, 3, 5 the second, across sheets.
  for (int k = 0; k < 40; ++k)
    EXPECT_EQ(texts.TextForPhoto(k), k % 2 == 0 ? "first" : "second") << k;

  texts.ClearSheetTexts();
  EXPECT_EQ(texts.SheetTextCount(), 0);
  for (int i = 0; i < 25; ++i) texts.AddSheetText(QString::number(i));
  EXPECT_EQ(texts.SheetTextCount(), TSheetTexts::kCapacity);  // the rest is dropped, not overrun
  EXPECT_EQ(texts.Text(19), "19");
}

TEST(MarginTextFitTest, HeightRule) {
  // Width = characters x height, so the rule's numbers can be followed by hand. At 5 x 5 and
  // s = 12 the cell is 633 pixels high and the room 633 - 54 = 579; heights run 36 down to 18.
  const TSheetGeometry g = SheetGeometry(12, Layout(5, 5, 0));
  const TTextWidth width = [](const QString& text, int32_t h) {
    return static_cast<int32_t>(text.size()) * h;
  };
  struct Case {
    std::vector<int> lengths;
    int expected;
    const char* what;
  };
  const Case cases[] = {
      {{}, 36, "no texts: t"},
      {{16}, 36, "16 x 36 = 576 < 579 fits at once"},
      {{17}, 34, "17 x 34 = 578 is the first height that fits"},
      {{4, 24}, 24, "the widest text decides: 24 x 24 = 576"},
      {{40}, 18, "too long even at 18: 18 is used anyway"},
  };
  for (const Case& c : cases) {
    TSheetTexts texts;
    texts.ClearSheetTexts();
    for (int n : c.lengths) texts.AddSheetText(QString(n, QLatin1Char('x')));
    EXPECT_EQ(FitMarginTextHeight(texts, g, width), c.expected) << c.what;
  }
  // At 2 x 2 the room is 1584 - 54 = 1530: 51 characters at 30 make exactly that, which does
  // not count as narrower.
  TSheetTexts exact;
  exact.AddSheetText(QString(51, QLatin1Char('x')));
  EXPECT_EQ(FitMarginTextHeight(exact, SheetGeometry(12, Layout(2, 2, 0)), width), 29);
  // The preview scale has its own bounds: t = 6 down to 3 s div 2 = 3, room 528 - 9 = 519.
  TSheetTexts preview;
  preview.AddSheetText(QString(100, QLatin1Char('x')));
  EXPECT_EQ(FitMarginTextHeight(preview, SheetGeometry(2, Layout(1, 1, 0)), width), 5);
  preview.AddSheetText(QString(193, QLatin1Char('x')));
  EXPECT_EQ(FitMarginTextHeight(preview, SheetGeometry(2, Layout(1, 1, 0)), width), 3);
}

TEST(MarginTextFitTest, RealFontHeightIsTheLargestThatFits) {
  const TSheetGeometry g = SheetGeometry(12, Layout(5, 5, 0));
  const int room = g.CellHeight - 54;
  TSheetTexts texts;
  texts.AddSheetText("http://tavrolin.example");
  texts.AddSheetText("A somewhat longer advertising text, for a look at the fit");
  const int h = FitMarginTextHeight(texts, g);
  ASSERT_GE(h, 18);
  ASSERT_LT(h, 36);
  for (int i = 0; i < texts.SheetTextCount(); ++i)
    EXPECT_LT(SheetTextWidth(texts.Text(i), h), room);
  EXPECT_GE(SheetTextWidth(texts.Text(1), h + 1), room);
}

TEST(SheetFontTest, CellHeightsMatchTheFontMetrics) {
  EXPECT_EQ(QFontInfo(SheetFont(36)).family(), "Carlito") << "Calibri must map to Carlito";
  for (int h = 3; h <= 80; ++h) {
    const QFont font = SheetFont(h);
    EXPECT_LE(QFontMetrics(font).height(), h) << h;
    QFont larger = font;
    larger.setPixelSize(font.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(larger).height(), h) << h << ": a larger size would still fit";
  }
  // The heights the sheets use can be met exactly.
  for (int h : {6, 36}) EXPECT_EQ(QFontMetrics(SheetFont(h)).height(), h);
}

TEST(NumberOffsetTest, CentredExceptWideThreeDigitNumbers) {
  EXPECT_EQ(NumberOffset(36, 10, 7), 13);
  EXPECT_EQ(NumberOffset(36, 40, 42), -2) << "two digits stay centred, partly left of the cell";
  EXPECT_EQ(NumberOffset(36, 45, 100), 5);
  EXPECT_EQ(NumberOffset(36, 27, 100), 5) << "an offset of 4 also moves a three-digit number";
  EXPECT_EQ(NumberOffset(36, 27, 99), 4);
  EXPECT_EQ(NumberOffset(36, 20, 123), 8);
  EXPECT_EQ(NumberOffset(36, 37, 9), 0) << "(36 - 37) div 2 truncates toward zero";
}
