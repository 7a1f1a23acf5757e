// The storage of page pictures: which pictures count as gray, and that the predicted, deflated
// gray samples inflate and unfilter back to exactly the picture's gray values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include <zlib.h>

#include "PdfImages.h"
#include "PdfTools.h"

namespace {

// Inflates a zlib stream and undoes the PNG row filters: width x height samples, top row first.
std::vector<uint8_t> InflateAndUnfilter(const QByteArray& stream, int32_t width, int32_t height) {
  const size_t w = static_cast<size_t>(width);
  std::vector<uint8_t> filtered((w + 1) * static_cast<size_t>(height));
  uLongf size = static_cast<uLongf>(filtered.size());
  EXPECT_EQ(uncompress(filtered.data(), &size, reinterpret_cast<const Bytef*>(stream.constData()),
                       static_cast<uLong>(stream.size())),
            Z_OK);
  EXPECT_EQ(size, filtered.size());
  std::vector<uint8_t> samples(w * static_cast<size_t>(height));
  for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
    const uint8_t* in = &filtered[y * (w + 1)];
    uint8_t* out = &samples[y * w];
    const uint8_t* up = y > 0 ? &samples[(y - 1) * w] : nullptr;
    for (size_t x = 0; x < w; ++x) {
      const int a = x > 0 ? out[x - 1] : 0, b = up ? up[x] : 0, c = (up && x > 0) ? up[x - 1] : 0;
      int predicted = 0;
      switch (in[0]) {
        case 0:
          predicted = 0;
          break;
        case 1:
          predicted = a;
          break;
        case 2:
          predicted = b;
          break;
        case 3:
          predicted = (a + b) / 2;
          break;
        case 4: {
          const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
          break;
        }
        default:
          ADD_FAILURE() << "row " << y << " has filter " << int(in[0]);
          return samples;
      }
      out[x] = static_cast<uint8_t>(in[1 + x] + predicted);
    }
  }
  return samples;
}

// The gray value at picture (x, y), y from the top.
uint8_t GrayAt(const TFastDIB& image, int32_t x, int32_t y) {
  const uint8_t* row = image.Scanlines[static_cast<size_t>(image.AbsHeight - 1 - y)];
  return image.BitCount() == 24 ? row[3 * x] : image.Colors[row[x]].Red;
}

TEST(PdfGrayTest, GrayMeansEveryPixelGray) {
  const auto gray24 = pdftools::GrayPicture(33, 9, 24);
  const auto gray8 = pdftools::GrayPicture(33, 9, 8);
  EXPECT_TRUE(IsGrayPicture(*gray24));
  EXPECT_TRUE(IsGrayPicture(*gray8));
  EXPECT_FALSE(IsGrayPicture(TFastDIB()));

  // One channel of the last pixel of the top row (the last memory row) off by one.
  for (int channel = 0; channel < 3; ++channel) {
    auto spot = pdftools::GrayPicture(33, 9, 24);
    uint8_t* last = spot->Scanlines.back() + 3 * 32 + channel;
    *last = static_cast<uint8_t>(*last ^ 1);
    EXPECT_FALSE(IsGrayPicture(*spot)) << "channel " << channel;
  }
  // An 8-bit picture is gray by the entries it uses: a coloured entry no pixel uses is harmless.
  auto indexed = pdftools::GrayPicture(33, 9, 8);
  indexed->Colors[255] = {0, 0, 255, 0};
  for (uint8_t* row : indexed->Scanlines)
    for (int32_t x = 0; x < 33; ++x)
      if (row[x] == 255) row[x] = 254;
  EXPECT_TRUE(IsGrayPicture(*indexed));
  indexed->Scanlines[4][5] = 255;
  EXPECT_FALSE(IsGrayPicture(*indexed));
}

struct TDeflateCase {
  const char* Name;
  int32_t Width, Height, Depth;
  TFlateSettings Settings;
  bool InvertedTable;  // an 8-bit picture whose table runs from white to black
};

class PdfDeflateTest : public ::testing::TestWithParam<TDeflateCase> {};

TEST_P(PdfDeflateTest, InflatesToTheGrayValues) {
  const TDeflateCase& c = GetParam();
  auto image = pdftools::GrayPicture(c.Width, c.Height, c.Depth);
  if (c.InvertedTable)
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<uint8_t>(255 - i);
      image->Colors[i] = {v, v, v, 0};
    }
  QByteArray stream;
  int pieces = 0;
  const int64_t total = DeflateGrayRows(*image, c.Settings, [&](const char* data, int64_t n) {
    stream.append(data, static_cast<qsizetype>(n));
    ++pieces;
  });
  EXPECT_EQ(total, stream.size());
  const std::vector<uint8_t> samples = InflateAndUnfilter(stream, c.Width, c.Height);
  for (int32_t y = 0; y < c.Height; ++y)
    for (int32_t x = 0; x < c.Width; ++x)
      ASSERT_EQ(samples[static_cast<size_t>(y * c.Width + x)], GrayAt(*image, x, y))
          << "at " << x << ", " << y;
}

const TFlateSettings kAdaptive{9, TPngRowFilter::Adaptive};
const TFlateSettings kNone{6, TPngRowFilter::None};
const TFlateSettings kAuto{9, TPngRowFilter::Auto};
INSTANTIATE_TEST_SUITE_P(
    Pictures, PdfDeflateTest,
    ::testing::Values(TDeflateCase{"Gray24_Adaptive_37x23", 37, 23, 24, kAdaptive, false},
                      TDeflateCase{"Gray8_Adaptive_37x23", 37, 23, 8, kAdaptive, false},
                      TDeflateCase{"Gray8Inverted_Adaptive_37x23", 37, 23, 8, kAdaptive, true},
                      TDeflateCase{"Gray24_None_37x23", 37, 23, 24, kNone, false},
                      TDeflateCase{"Gray8_Auto_37x300", 37, 300, 8, kAuto, false},
                      TDeflateCase{"Gray8_Adaptive_1x1", 1, 1, 8, kAdaptive, false},
                      TDeflateCase{"Gray24_Adaptive_1x300", 1, 300, 24, kAdaptive, false},
                      // Large enough for several output pieces of the deflater.
                      TDeflateCase{"Gray24_Adaptive_900x700", 900, 700, 24, kAdaptive, false}),
    [](const auto& info) { return std::string(info.param.Name); });

// A smooth ramp predicts well; lone specks on white do not, as each speck spoils the
// prediction of its neighbours too.
TEST(PdfDeflateTest, AutoPicksTheFilterThatSuitsThePicture) {
  TFastDIB ramp(600, 8, 400), specks(600, 8, 400);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    ramp.Colors[i] = specks.Colors[i] = {v, v, v, 0};
  }
  std::mt19937 random(5);
  for (int32_t y = 0; y < 400; ++y)
    for (int32_t x = 0; x < 600; ++x) {
      ramp.Scanlines[static_cast<size_t>(y)][x] = static_cast<uint8_t>((x * 7 + y * 3) / 8);
      specks.Scanlines[static_cast<size_t>(y)][x] = random() % 40 == 0 ? 0 : 255;
    }
  EXPECT_EQ(ChooseRowFilter(ramp), TPngRowFilter::Adaptive);
  EXPECT_EQ(ChooseRowFilter(specks), TPngRowFilter::None);
}

TEST(PdfDeflateTest, RefusesEmptyAndOtherDepths) {
  const auto sink = [](const char*, int64_t) {};
  EXPECT_THROW(DeflateGrayRows(TFastDIB(), {}, sink), std::runtime_error);
  EXPECT_THROW(DeflateGrayRows(TFastDIB(4, 32, 4), {}, sink), std::runtime_error);
}

}  // namespace
