// Pixel format conversion: ramps, the gray table, gray conversion and copies between depths.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include "FastDIB.h"

// Found by argument-dependent lookup, so beside BgrPixel; static keeps them to this file.
static bool operator==(BgrPixel a, BgrPixel b) {
  return a.Blue == b.Blue && a.Green == b.Green && a.Red == b.Red;
}
static void PrintTo(BgrPixel c, std::ostream* os) {
  *os << "(" << int(c.Blue) << "," << int(c.Green) << "," << int(c.Red) << ")";
}

namespace {

constexpr BgrPixel Black{0, 0, 0};
constexpr BgrPixel White{255, 255, 255};

void SetBgr(TFastDIB& image, int x, int y, BgrPixel c) {
  uint8_t* p = image.Scanlines[y] + x * (image.BitCount() / 8);
  p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red;
}

BgrPixel GetBgr(const TFastDIB& image, int x, int y) {
  const uint8_t* p = image.Scanlines[y] + x * (image.BitCount() / 8);
  return {p[0], p[1], p[2]};
}

// --- MakeRampTable ---

TEST(MakeRampTable, RisingRampIsTheGrayWeightTable) {
  uint8_t t[256];
  MakeRampTable(t, 0, 0, 85, 255);
  for (int v = 0; v < 256; ++v) ASSERT_EQ(t[v], (v * 22102) >> 16) << v;
  const std::vector<int> start(t, t + 8);
  EXPECT_EQ(start, (std::vector<int>{0, 0, 0, 1, 1, 1, 2, 2}));
  EXPECT_EQ(t[252], 84);
  EXPECT_EQ(t[253], 85);
  EXPECT_EQ(t[255], 85);
}

TEST(MakeRampTable, FallingRampEndsOneAboveItsEnd) {
  uint8_t t[256];
  MakeRampTable(t, 0, 200, 55, 255);
  EXPECT_EQ(t[0], 200);
  EXPECT_EQ(t[255], 56);
  for (int i = 1; i < 256; ++i) ASSERT_LE(t[i], t[i - 1]) << i;
}

TEST(MakeRampTable, WritesOnlyFirstToLast) {
  struct Case {
    int first, start, end, last;
    int firstValue, lastValue;  // -1: nothing written
  };
  // clang-format off
  const Case cases[] = {
      {10,   0, 255,  10,  -1,  -1},   // last = first
      {20,   0, 255,  10,  -1,  -1},   // last < first
      {10,   0, 255,  20,   0, 255},   // a part of the table
      { 0,   0, 127, 128,   0, 128},   // exact multiple: one above the end
      { 0,   0, 255,   1,   0, 255},   // 256 capped to 255
      {100, 50,  50, 200,  50,  50},   // flat
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << " " << c.start << " " << c.end << " " << c.last);
    uint8_t t[256];
    std::memset(t, 0xA5, sizeof t);
    MakeRampTable(t, c.first, c.start, c.end, c.last);
    for (int i = 0; i < 256; ++i) {
      if (c.firstValue < 0 || i < c.first || i > c.last) {
        ASSERT_EQ(t[i], 0xA5) << i;
      }
    }
    if (c.firstValue >= 0) {
      EXPECT_EQ(t[c.first], c.firstValue);
      EXPECT_EQ(t[c.last], c.lastValue);
    }
  }
}

// --- FillPaletteGradient ---

TEST(FillPaletteGradient, BlackToWhiteIsTheGrayTable) {
  TFastDIB image(4, 8, 4);
  for (auto& e : image.Header.Colors) e.Reserved = 7;
  image.FillPaletteGradient(0, 255, std::vector<BgrPixel>{Black, White}.data(), 2);
  for (int k = 0; k < 256; ++k) {
    const int expected = k == 0 ? 0 : k == 255 ? 255 : k - 1;
    const PaletteEntry& e = image.Colors[k];
    ASSERT_EQ(e.Blue, expected) << k;
    ASSERT_EQ(e.Green, expected) << k;
    ASSERT_EQ(e.Red, expected) << k;
    ASSERT_EQ(e.Reserved, 7) << "the reserved byte is not the gradient's";
  }
  EXPECT_EQ(image.Colors[128].Red, 127);
  EXPECT_EQ(image.Colors[254].Red, 253);
}

TEST(FillPaletteGradient, ThroughMiddleGrayStartsAndEndsOnTheIndex) {
  TFastDIB image(4, 8, 4);
  const BgrPixel colours[] = {Black, {128, 128, 128}, White};
  image.FillPaletteGradient(0, 255, colours, 3);
  std::vector<int> blue;
  for (const auto& e : image.Header.Colors) blue.push_back(e.Blue);
  EXPECT_EQ(std::vector<int>(blue.begin(), blue.begin() + 4), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(std::vector<int>(blue.end() - 4, blue.end()), (std::vector<int>{252, 253, 254, 255}));
  EXPECT_EQ(blue[128], 128);
}

TEST(FillPaletteGradient, PartOfTheTableAndChannelsApart) {
  TFastDIB image(4, 8, 4);
  const BgrPixel colours[] = {{10, 20, 30}, {30, 20, 10}};
  image.FillPaletteGradient(100, 102, colours, 2);
  EXPECT_EQ(image.Colors[99].Blue, 0);
  EXPECT_EQ(image.Colors[103].Blue, 0);
  EXPECT_EQ(image.Colors[100].Blue, 10);
  EXPECT_EQ(image.Colors[100].Red, 30);
  EXPECT_EQ(image.Colors[101].Blue, 20);  // half way, step 32768: blended
  EXPECT_EQ(image.Colors[102].Blue, 30);
  EXPECT_EQ(image.Colors[102].Red, 10);
}

TEST(FillPaletteGradient, InvalidArgumentsWriteNothing) {
  TFastDIB image(4, 8, 4);
  const BgrPixel colours[] = {White, White};
  image.FillPaletteGradient(10, 10, colours, 2);
  image.FillPaletteGradient(20, 10, colours, 2);
  image.FillPaletteGradient(0, 255, colours, 0);
  image.FillPaletteGradient(-1, 255, colours, 2);
  image.FillPaletteGradient(0, 256, colours, 2);
  for (const auto& e : image.Header.Colors) ASSERT_EQ(e.Blue, 0);
}

// --- ConvertToGray ---

TEST(ConvertToGray, ExamplePixelsAtTwentyFourBits) {
  TFastDIB source(5, 24, 2);
  // clang-format off
  const BgrPixel pixels[2][5] = {
      {{255, 0, 0}, {255, 255, 255}, {1, 1, 1},   {128, 128, 128}, {0, 0, 255}},
      {{0, 255, 0}, {0, 0, 0},       {10, 20, 30}, {254, 254, 254}, {3, 3, 3}},
  };
  const int gray[2][5] = {
      {85,  255, 0,  129, 85},
      {85,  0,   19, 255, 3},
  };
  // clang-format on
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) SetBgr(source, x, y, pixels[y][x]);
  TFastDIB target;
  source.ConvertToGray(target);
  ASSERT_EQ(target.BitCount(), 8);
  ASSERT_EQ(target.Width(), 5);
  ASSERT_EQ(target.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(target.Scanlines[y][x], gray[y][x]) << x << "," << y;
  EXPECT_EQ(target.Colors[100].Red, 99);  // the gray table
  EXPECT_EQ(target.Colors[255].Red, 255);
}

TEST(ConvertToGray, ThirtyTwoBitsIgnoresTheFourthByte) {
  TFastDIB source(3, 32, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      uint8_t* p = source.Scanlines[y] + 4 * x;
      p[0] = 255, p[1] = uint8_t(x == 1 ? 255 : 0), p[2] = uint8_t(y == 1 ? 255 : 0), p[3] = 255;
    }
  TFastDIB target;
  source.ConvertToGray(target);
  EXPECT_EQ(target.Scanlines[0][0], 85);
  EXPECT_EQ(target.Scanlines[0][1], 170);
  EXPECT_EQ(target.Scanlines[1][0], 170);
  EXPECT_EQ(target.Scanlines[1][1], 255);
}

TEST(ConvertToGray, SixteenBitsWidensEachComponent) {
  struct Case {
    uint16_t pixel;
    int gray;
  };
  // 7 widens to 57 (T 19), 16 to 132 (T 44); the top bit is no component.
  const Case cases[] = {{0x7FFF, 255}, {0x001F, 85}, {0x8000, 0},  {0x0000, 0},
                        {0x4210, 132}, {0x00E0, 19}, {0x1C00, 19}, {0x40FF, 148}};
  const int n = int(std::size(cases));
  TFastDIB source(n, 16, 1);
  for (int x = 0; x < n; ++x) {
    source.Scanlines[0][2 * x] = uint8_t(cases[x].pixel);
    source.Scanlines[0][2 * x + 1] = uint8_t(cases[x].pixel >> 8);
  }
  TFastDIB target;
  source.ConvertToGray(target);
  for (int x = 0; x < n; ++x) EXPECT_EQ(target.Scanlines[0][x], cases[x].gray) << cases[x].pixel;
}

TEST(ConvertToGray, EightBitsGoesThroughTheColourTable) {
  TFastDIB source(5, 8, 1);
  source.Header.Colors[1] = PaletteEntry{255, 0, 0, 0};
  source.Header.Colors[2] = PaletteEntry{128, 128, 128, 0};
  source.Header.Colors[200] = PaletteEntry{255, 255, 255, 0};
  const uint8_t indices[5] = {0, 1, 2, 200, 3};
  std::memcpy(source.Scanlines[0], indices, 5);
  TFastDIB target;
  source.ConvertToGray(target);
  const std::vector<int> gray(target.Scanlines[0], target.Scanlines[0] + 5);
  EXPECT_EQ(gray, (std::vector<int>{0, 85, 129, 255, 0}));
}

TEST(ConvertToGray, KeepsTheHeightSignAndRowOrder) {
  TFastDIB source(3, 24, -2);
  SetBgr(source, 1, 0, White);
  TFastDIB target;
  source.ConvertToGray(target);
  EXPECT_EQ(target.Height(), -2);
  EXPECT_EQ(target.Scanlines[0][1], 255);
  EXPECT_EQ(target.Scanlines[1][1], 0);
}

TEST(ConvertToGray, AReusedTargetGetsTheGrayTableAndNewValues) {
  TFastDIB source(6, 24, 3);
  std::mt19937 random(7);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 18; ++i) source.Scanlines[y][i] = uint8_t(random());
  TFastDIB fresh;
  source.ConvertToGray(fresh);
  TFastDIB reused(6, 8, 3);
  for (int y = 0; y < 3; ++y) std::memset(reused.Scanlines[y], 0x77, 6);
  for (auto& e : reused.Header.Colors) e = PaletteEntry{9, 9, 9, 0};
  source.ConvertToGray(reused);
  for (int y = 0; y < 3; ++y)
    EXPECT_EQ(0, std::memcmp(reused.Scanlines[y], fresh.Scanlines[y], 6)) << y;
  EXPECT_EQ(reused.Colors[0].Red, 0);
  EXPECT_EQ(reused.Colors[254].Red, 253);
}

TEST(ConvertToGray, DepthsWithoutAConversionGiveBlack) {
  TFastDIB source(6, 4, 2);
  std::memset(source.Bits, 0x12, size_t(source.Stride) * 2);
  source.Header.Colors[1] = PaletteEntry{255, 255, 255, 0};
  TFastDIB target(6, 8, 2);
  std::memset(target.Bits, 0x99, size_t(target.Stride) * 2);
  source.ConvertToGray(target);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(target.Scanlines[y][x], 0);
}

TEST(ConvertToGray, EmptyAndSelfAreHandled) {
  TFastDIB empty, target(2, 24, 2);
  empty.ConvertToGray(target);
  EXPECT_EQ(target.BitCount(), 24);  // untouched
  TFastDIB image(2, 8, 2);
  EXPECT_THROW(image.ConvertToGray(image), std::runtime_error);
  EXPECT_EQ(image.Width(), 2);
}

// --- ConvertInto ---

TEST(ConvertInto, EightToTwentyFourThroughTheCurrentTable) {
  TFastDIB source(5, 8, 2);
  source.FillPaletteGradient(0, 255, std::vector<BgrPixel>{Black, White}.data(), 2);
  source.Header.Colors[7] = PaletteEntry{1, 2, 3, 0};
  // clang-format off
  const uint8_t indices[2][5] = {
      {100, 255, 0,   7, 1},
      {128, 254, 100, 2, 255},
  };
  const BgrPixel expected[2][5] = {
      {{99, 99, 99},   {255, 255, 255}, {0, 0, 0},    {1, 2, 3}, {0, 0, 0}},
      {{127, 127, 127}, {253, 253, 253}, {99, 99, 99}, {1, 1, 1}, {255, 255, 255}},
  };
  // clang-format on
  for (int y = 0; y < 2; ++y) std::memcpy(source.Scanlines[y], indices[y], 5);
  TFastDIB target(5, 24, 2);
  target.Scanlines[0][15] = 0x5A;  // the row's gap byte
  source.ConvertInto(target);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(GetBgr(target, x, y), expected[y][x]) << x << "," << y;
  EXPECT_EQ(target.Scanlines[0][15], 0x5A);
  for (const auto& e : target.Header.Colors) ASSERT_EQ(e.Red, 0) << "target table untouched";
}

TEST(ConvertInto, SameDepthCopiesThePixels) {
  for (int depth : {8, 16, 24, 32}) {
    SCOPED_TRACE(depth);
    TFastDIB source(7, depth, 3), target(7, depth, 3);
    std::mt19937 random(depth);
    for (int y = 0; y < 3; ++y)
      for (int i = 0; i < RowBytesUsed(7, depth); ++i) source.Scanlines[y][i] = uint8_t(random());
    source.ConvertInto(target);
    for (int y = 0; y < 3; ++y)
      EXPECT_EQ(0, std::memcmp(source.Scanlines[y], target.Scanlines[y], RowBytesUsed(7, depth)));
  }
}

TEST(ConvertInto, SameDepthFromARegionViewCopiesItsRectangle) {
  TFastDIB source(10, 24, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) SetBgr(source, x, y, {uint8_t(x), uint8_t(y), 77});
  TFastDIB view;
  view.AttachRegion(source, 2, 1, 5, 4);  // picture rows 1..4: memory rows 3..6
  TFastDIB target(5, 24, 4);
  view.ConvertInto(target);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(GetBgr(target, x, y), (BgrPixel{uint8_t(x + 2), uint8_t(y + 3), 77}));
}

TEST(ConvertInto, ASmallerTargetGetsTheCommonPart) {
  TFastDIB source(6, 8, 4);
  for (int y = 0; y < 4; ++y) std::memset(source.Scanlines[y], 255, 6);
  source.FillPaletteGradient(0, 255, std::vector<BgrPixel>{Black, White}.data(), 2);
  TFastDIB target(3, 24, 2);
  source.ConvertInto(target);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(GetBgr(target, x, y), White);
}

// The rest of the family, each pair on a 5 x 3 picture of four colours that every layout holds
// exactly (57 and 132 survive the 5-bit components of 16 bits).
constexpr BgrPixel Colours[4] = {{0, 0, 0}, {255, 255, 255}, {132, 57, 255}, {57, 255, 0}};

int ColourIndex(int x, int y, int depth) { return (x + 2 * y) % (depth == 1 ? 2 : 4); }

void PutPixel(TFastDIB& image, int x, int y, int index) {
  uint8_t* row = image.Scanlines[y];
  const BgrPixel c = Colours[index];
  switch (image.BitCount()) {
    case 1:
      row[x / 8] |= uint8_t(index << (7 - x % 8));
      break;
    case 4:
      row[x / 2] |= uint8_t(index << (x % 2 ? 0 : 4));
      break;
    case 8:
      row[x] = uint8_t(index);
      break;
    case 16: {
      const int p = ((c.Red >> 3) << 10) | ((c.Green >> 3) << 5) | (c.Blue >> 3);
      row[2 * x] = uint8_t(p), row[2 * x + 1] = uint8_t(p >> 8);
      break;
    }
    case 24:
      SetBgr(image, x, y, c);
      break;
    case 32:
      SetBgr(image, x, y, c), row[4 * x + 3] = 0xEE;
      break;
  }
}

BgrPixel ReadPixel(const TFastDIB& image, int x, int y) {
  const uint8_t* row = image.Scanlines[y];
  if (image.BitCount() == 16) {
    const int p = row[2 * x] | (row[2 * x + 1] << 8);
    auto widen = [](int c) { return uint8_t((c << 3) | (c >> 2)); };
    return {widen(p & 31), widen((p >> 5) & 31), widen((p >> 10) & 31)};
  }
  return GetBgr(image, x, y);
}

struct Pair {
  int source, target;
};

class ConvertFamily : public testing::TestWithParam<Pair> {};

TEST_P(ConvertFamily, EveryPixelKeepsItsColour) {
  const Pair pair = GetParam();
  TFastDIB source(5, pair.source, 3);
  for (int i = 0; i < 4; ++i)
    source.Header.Colors[i] = PaletteEntry{Colours[i].Blue, Colours[i].Green, Colours[i].Red, 0};
  for (int i = 4; i < 256; ++i) source.Header.Colors[i] = PaletteEntry{1, 2, 3, 0};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) PutPixel(source, x, y, ColourIndex(x, y, pair.source));
  TFastDIB target(5, pair.target, 3);
  for (int y = 0; y < 3; ++y) std::memset(target.Scanlines[y], 0xCC, size_t(target.Stride));
  source.ConvertInto(target);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const int index = ColourIndex(x, y, pair.source);
      if (pair.target == 8) {
        ASSERT_EQ(target.Scanlines[y][x], index) << x << "," << y;
      } else {
        ASSERT_EQ(ReadPixel(target, x, y), Colours[index]) << x << "," << y;
      }
      if (pair.target == 32) {
        ASSERT_EQ(target.Scanlines[y][4 * x + 3], 0);
      }
    }
  if (pair.target == 8) {
    const int entries = 1 << pair.source;
    for (int i = 0; i < entries; ++i) EXPECT_EQ(target.Colors[i].Red, source.Colors[i].Red) << i;
    EXPECT_EQ(target.Colors[entries].Red, 0) << "only the source's own entries are copied";
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, ConvertFamily,
                         testing::Values(Pair{1, 24}, Pair{4, 24}, Pair{16, 24}, Pair{32, 24},
                                         Pair{1, 32}, Pair{4, 32}, Pair{8, 32}, Pair{16, 32},
                                         Pair{24, 32}, Pair{1, 16}, Pair{4, 16}, Pair{8, 16},
                                         Pair{24, 16}, Pair{32, 16}, Pair{1, 8}, Pair{4, 8}),
                         [](const testing::TestParamInfo<Pair>& info) {
                           return "From" + std::to_string(info.param.source) + "To" +
                                  std::to_string(info.param.target);
                         });

TEST(ConvertInto, PairsWithoutAConverterLeaveTheTargetAlone) {
  TFastDIB source(4, 24, 2), target(4, 8, 2);
  std::memset(source.Bits, 0x40, size_t(source.Stride) * 2);
  source.ConvertInto(target);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(target.Scanlines[y][x], 0);
}

}  // namespace
