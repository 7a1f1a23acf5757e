// The fast forms of the pixel loops against their plain forms: the AVX2 loops and the row passes
// split between two threads must give every byte the plain loop on one thread gives, at the
// edges of rows and images, in region views, and for every kernel and depth.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "FastDIB.h"
#include "ImagingTestSupport.h"

namespace {

// Runs `make` (which builds and returns a result image's bytes) the plain way, on one thread
// with the plain loops, and the fast way, with the vector loops and two threads, and puts the
// settings back afterwards.
class FastForms : public testing::Test {
 protected:
  void SetUp() override {
    Threads = PixelThreads();
    SetVectorLoopsEnabled(true);
    if (!VectorLoopsEnabled())
      GTEST_SKIP() << "this processor has no AVX2: only the plain loops run";
  }
  void TearDown() override {
    SetVectorLoopsEnabled(true);
    SetPixelThreads(Threads);
  }
  int32_t Threads = 1;

  static std::vector<uint8_t> Plain(const std::function<std::vector<uint8_t>()>& make) {
    SetVectorLoopsEnabled(false);
    SetPixelThreads(1);
    return make();
  }
  static std::vector<uint8_t> Fast(const std::function<std::vector<uint8_t>()>& make) {
    SetVectorLoopsEnabled(true);
    SetPixelThreads(2);
    return make();
  }
};

struct SizeCase {
  int depth, sw, sh, dw, dh;
};

TEST_F(FastForms, ResampleIntoEveryKernelDepthAndSize) {
  // clang-format off
  const SizeCase cases[] = {
      {24, 1125, 1500, 420, 594},  // the preview
      {24, 910, 1297, 451, 633},   // a printed 5 x 5 cell: weights just inside 16 bits
      {24, 910, 1297, 573, 792},   // a 4 x 4 cell: weights beyond 16 bits, split
      {24, 37, 23, 16, 41},  {24, 9, 7, 31, 29},  {24, 3, 2, 11, 1},  {24, 40, 5, 10, 3},
      {24, 11, 4, 12, 4},    {32, 33, 17, 11, 40}, {32, 5, 3, 9, 2},  {16, 29, 13, 12, 30},
      {8, 45, 9, 7, 33},     {24, 1, 1, 17, 3},    {24, 640, 480, 1000, 750},
  };
  // clang-format on
  for (const SizeCase& c : cases) {
    TFastDIB source(c.sw, c.depth, c.sh);
    FillRandom(source, uint32_t(c.sw * 7 + c.dh));
    const int filters[] = {FilterNearest,  FilterBox,      FilterTriangle, FilterHermite,
                           FilterBell,     FilterMitchell, FilterGaussian, FilterSpline36,
                           FilterLanczos3, FilterBlackman};
    for (int filter : filters) {
      if (c.sw * c.sh > 500000 && filter != FilterBox && filter != FilterBlackman) continue;
      auto make = [&] {
        TFastDIB target(c.dw, c.depth, c.dh);
        source.ResampleInto(target, filter);
        return AllBytes(target);
      };
      EXPECT_EQ(Plain(make), Fast(make)) << "filter " << filter << ", " << c.depth << " bits "
                                         << c.sw << "x" << c.sh << " to " << c.dw << "x" << c.dh;
    }
  }
}

TEST_F(FastForms, ResampleIntoFromViewsAtEveryEdgeOfTheirSource) {
  // Views whose rows end at the right edge of the source, and a view of the source's last rows:
  // the loops must read only the view's own pixels, and give what a copy of them gives.
  TFastDIB photo(203, 24, 157);
  FillRandom(photo, 5);
  const int rects[][4] = {
      {150, 0, 53, 157}, {0, 100, 203, 57}, {1, 1, 201, 155}, {190, 150, 13, 7}};
  for (const auto& r : rects) {
    TFastDIB view;
    view.AttachRegion(photo, r[0], r[1], r[2], r[3]);
    TFastDIB copy(view.Width(), 24, view.AbsHeight);
    copy.CopyRectFrom(photo, 0, 0, r[0], r[1], r[2], r[3]);
    for (int filter : {FilterBox, FilterBlackman, FilterCatmullRom}) {
      auto fromView = [&] {
        TFastDIB target(47, 24, 61);
        view.ResampleInto(target, filter);
        return AllBytes(target);
      };
      auto fromCopy = [&] {
        TFastDIB target(47, 24, 61);
        copy.ResampleInto(target, filter);
        return AllBytes(target);
      };
      EXPECT_EQ(Fast(fromView), Plain(fromCopy)) << r[0] << "," << r[1] << " filter " << filter;
    }
  }
}

TEST_F(FastForms, QuickResizeIntoAtTheImportsSizesAndTheEdges) {
  const SizeCase cases[] = {
      {24, 1632, 1224, 1500, 1125}, {24, 1507, 848, 1500, 844}, {24, 2000, 1500, 1500, 1125},
      {24, 17, 9, 16, 8},           {24, 9, 9, 8, 3},           {24, 3, 5, 30, 7},
      {24, 100, 1, 9, 1},           {8, 300, 200, 211, 150}};
  for (const SizeCase& c : cases) {
    TFastDIB source(c.sw, c.depth, c.sh);
    FillRandom(source, uint32_t(c.sw + c.dw));
    auto make = [&] {
      TFastDIB target(c.dw, c.depth, c.dh);
      source.QuickResizeInto(target);
      return AllBytes(target);
    };
    EXPECT_EQ(Plain(make), Fast(make)) << c.sw << "x" << c.sh << " to " << c.dw << "x" << c.dh;
  }
}

TEST_F(FastForms, ConvertToGrayRotateIntoAndTheToneTables) {
  for (int w : {1, 15, 16, 17, 33, 1125}) {
    TFastDIB colour(w, 24, w == 1125 ? 1500 : 5);
    FillRandom(colour, uint32_t(w));
    auto gray = [&] {
      TFastDIB target;
      colour.ConvertToGray(target);
      return AllBytes(target);
    };
    EXPECT_EQ(Plain(gray), Fast(gray)) << "gray, width " << w;
    for (double angle : {90.0, -90.0, 180.0, 33.0}) {
      const bool quarter = angle == 90.0 || angle == -90.0;
      auto turned = [&] {
        TFastDIB target(quarter ? colour.AbsHeight : w, 24, quarter ? w : colour.AbsHeight);
        colour.RotateInto(target, 65536, angle);
        return AllBytes(target);
      };
      EXPECT_EQ(Plain(turned), Fast(turned)) << "rotation " << angle << ", width " << w;
    }
    auto toned = [&] {
      TFastDIB target(w, 24, colour.AbsHeight);
      colour.ConvertInto(target);
      target.ApplyBrightness(30, -40, 0);
      target.ApplyContrast(-20, 50, 130);
      return AllBytes(target);
    };
    EXPECT_EQ(Plain(toned), Fast(toned)) << "tone tables, width " << w;
  }
}

TEST_F(FastForms, DrawToWritesABitmapOfEveryByteOrder) {
  // A painter on a QImage needs Qt's gui part.
  static int argc = 1;
  static char name[] = "imaging_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  for (int w : {1, 5, 6, 7, 11, 16, 17, 451}) {
    TFastDIB cell(w, 24, 9);
    FillRandom(cell, uint32_t(w));
    for (QImage::Format format :
         {QImage::Format_RGB888, QImage::Format_BGR888, QImage::Format_RGB32}) {
      for (int x : {0, 3, -2, 460 - w}) {
        auto make = [&] {
          QImage bitmap(462, 12, format);
          bitmap.fill(Qt::magenta);
          {
            QPainter painter(&bitmap);
            cell.DrawTo(painter, x, 2);
          }
          // The pixels of each line: QImage leaves the padding at the line ends unset.
          std::vector<uint8_t> bytes;
          const qsizetype used = qsizetype(bitmap.width()) * bitmap.depth() / 8;
          for (int line = 0; line < bitmap.height(); ++line)
            bytes.insert(bytes.end(), bitmap.constScanLine(line),
                         bitmap.constScanLine(line) + used);
          return bytes;
        };
        EXPECT_EQ(Plain(make), Fast(make)) << "width " << w << " at " << x << ", format " << format;
      }
    }
  }
}

}  // namespace
