// The raster image itself: row layout, allocation, region views.
#include <gtest/gtest.h>

#include <string>

#include "FastDIB.h"

namespace {

struct LayoutCase {
  int32_t width, depth, stride, gap;
};

class RowLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(RowLayout, StrideAndGapFollowTheRowRule) {
  const LayoutCase c = GetParam();
  TFastDIB image(c.width, c.depth, 3);
  EXPECT_EQ(image.Stride, c.stride);
  EXPECT_EQ(image.Gap, c.gap);
  EXPECT_EQ(image.AbsHeight, 3);
  EXPECT_EQ(image.Header.Header.SizeImage, uint32_t(3 * c.stride));
  ASSERT_EQ(image.Scanlines.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(image.Scanlines[i], image.Bits + i * c.stride);
}

INSTANTIATE_TEST_SUITE_P(Widths, RowLayout,
                         testing::Values(LayoutCase{1, 8, 4, 3}, LayoutCase{1, 24, 4, 1},
                                         LayoutCase{420, 8, 420, 0}, LayoutCase{420, 24, 1260, 0},
                                         LayoutCase{421, 8, 424, 3}, LayoutCase{421, 24, 1264, 1},
                                         LayoutCase{3, 32, 12, 0}, LayoutCase{9, 1, 4, 2},
                                         LayoutCase{5, 4, 4, 1}, LayoutCase{3, 16, 8, 2}),
                         [](const testing::TestParamInfo<LayoutCase>& info) {
                           return "Width" + std::to_string(info.param.width) + "Bits" +
                                  std::to_string(info.param.depth);
                         });

TEST(FastDIB, EmptyImageHasNoRowsAndItsOwnZeroTable) {
  TFastDIB image;
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(), 0);
  EXPECT_EQ(image.BitCount(), 0);
  EXPECT_EQ(image.AbsHeight, 0);
  EXPECT_TRUE(image.Scanlines.empty());
  EXPECT_EQ(image.Surface, nullptr);
  EXPECT_EQ(image.Colors, image.Header.Colors);
  EXPECT_EQ(image.Header.Header.Size, 40);
  EXPECT_EQ(image.Header.Header.Planes, 1);
  EXPECT_FALSE(image.OwnsSurface || image.OwnsBits || image.OwnsBitmap);
}

TEST(FastDIB, NewPixelsAreZero) {
  TFastDIB image(7, 24, 5);
  for (int y = 0; y < 5; ++y)
    for (int i = 0; i < image.Stride; ++i) ASSERT_EQ(image.Scanlines[y][i], 0);
  EXPECT_TRUE(image.OwnsSurface && image.OwnsBitmap && !image.OwnsBits);
}

TEST(FastDIB, SetSizeKeepsPixelsOnlyWhenNothingChanges) {
  TFastDIB image(4, 24, 4);
  image.Scanlines[2][5] = 77;
  image.SetSize(4, 4, 24);
  EXPECT_EQ(image.Scanlines[2][5], 77);
  image.SetSize(4, 4, 8);
  EXPECT_EQ(image.Scanlines[2][5], 0);
  image.Scanlines[2][1] = 9;
  image.SetSize(4, -4, 8);  // a change of the height's sign is a change
  EXPECT_EQ(image.Height(), -4);
  EXPECT_EQ(image.AbsHeight, 4);
  EXPECT_EQ(image.Scanlines[2][1], 0);
  image.Scanlines[1][1] = 9;
  image.SetSize(5, -4, 8);
  EXPECT_EQ(image.Scanlines[1][1], 0);
}

TEST(FastDIB, LoadFromBitmapHandleCopiesEverything) {
  TBitmapInfo info;
  info.Header.Width = 3;
  info.Header.Height = 2;
  info.Header.BitCount = 8;
  info.Colors[5] = PaletteEntry{1, 2, 3, 0};
  TBitmapSection section(info);
  section.Bits[0] = 5;
  section.Bits[section.Stride + 2] = 200;
  TFastDIB image;
  image.LoadFromBitmapHandle(&section);
  EXPECT_EQ(image.Width(), 3);
  EXPECT_EQ(image.Height(), 2);
  EXPECT_EQ(image.BitCount(), 8);
  EXPECT_EQ(image.Scanlines[0][0], 5);
  EXPECT_EQ(image.Scanlines[1][2], 200);
  EXPECT_EQ(image.Colors[5].Red, 3);
  EXPECT_NE(image.Bits, section.Bits);
}

TEST(AttachRegion, TopRightCornerOfABottomUpSource) {
  TFastDIB source(100, 24, 50);
  TFastDIB view;
  view.AttachRegion(source, 90, 0, 20, 10);
  EXPECT_EQ(view.Width(), 10);
  EXPECT_EQ(view.AbsHeight, 10);
  EXPECT_EQ(view.Height(), 10);
  EXPECT_EQ(view.Stride, source.Stride);
  EXPECT_EQ(view.Gap, source.Stride - 30);
  EXPECT_EQ(view.Header.Header.SizeImage, 0u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(view.Scanlines[i], source.Scanlines[40 + i] + 270);
  EXPECT_EQ(view.Colors, source.Colors);
  EXPECT_EQ(view.Surface, source.Surface);
  EXPECT_FALSE(view.OwnsSurface || view.OwnsBitmap);
}

TEST(AttachRegion, NegativeTopClipsToTheTopRows) {
  TFastDIB source(100, 24, 50);
  TFastDIB view;
  view.AttachRegion(source, 0, -5, 100, 10);
  EXPECT_EQ(view.Width(), 100);
  EXPECT_EQ(view.AbsHeight, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(view.Scanlines[i], source.Scanlines[45 + i]);
}

TEST(AttachRegion, EightBitOffsetAndNegativeLeft) {
  TFastDIB source(20, 8, 10);
  TFastDIB view;
  view.AttachRegion(source, -3, 2, 8, 4);
  EXPECT_EQ(view.Width(), 5);
  EXPECT_EQ(view.AbsHeight, 4);
  EXPECT_EQ(view.Scanlines[0], source.Scanlines[4]);  // 10 - 4 - 2
}

TEST(AttachRegion, RectanglesThatClipToNothingLeaveTheViewEmpty) {
  TFastDIB source(100, 24, 50);
  TFastDIB empty;
  struct {
    int x, y, w, h;
  } cases[] = {{100, 0, 10, 10}, {0, 50, 10, 10}, {-20, 0, 10, 10},
               {0, 0, 0, 10},    {0, 0, 10, -1},  {0, -30, 10, 20}};
  for (auto c : cases) {
    TFastDIB view;
    view.AttachRegion(source, c.x, c.y, c.w, c.h);
    EXPECT_EQ(view.Width(), 0) << c.x << "," << c.y;
    EXPECT_TRUE(view.Scanlines.empty());
  }
  TFastDIB view;
  view.AttachRegion(empty, 0, 0, 10, 10);
  EXPECT_EQ(view.Bits, nullptr);
}

}  // namespace
