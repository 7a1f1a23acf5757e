// The pixel threads: every pass split over 2, 3, 4 or 8 threads gives every byte it gives on the
// calling thread alone, and the pool itself hands out each row once, passes errors on, and copes
// with passes inside passes and passes of several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "FastDIB.h"
#include "ImagingTestSupport.h"

namespace {

// Puts the process-wide thread count back whatever a test set.
class ThreadCount : public testing::Test {
 protected:
  void SetUp() override { Saved = PixelThreads(); }
  void TearDown() override { SetPixelThreads(Saved); }
  int32_t Saved = 1;
};

// A source of 1001 x 713 at `depth` bits: over a megabyte at 24 bits, so that every pass below
// is cut into pieces for eight threads, in an uneven number of rows.
const TFastDIB& Source(int depth) {
  static TFastDIB* images[33] = {};
  if (!images[depth]) {
    images[depth] = new TFastDIB(1001, depth, 713);
    FillRandom(*images[depth], uint32_t(depth));
  }
  return *images[depth];
}

std::vector<uint8_t> Resampled(int depth, int32_t w, int32_t h, int filter) {
  TFastDIB target(w, depth, h);
  Source(depth).ResampleInto(target, filter);
  return AllBytes(target);
}

std::vector<uint8_t> QuickResized(int depth, int32_t w, int32_t h) {
  TFastDIB target(w, depth, h);
  Source(depth).QuickResizeInto(target);
  return AllBytes(target);
}

std::vector<uint8_t> Rotated(double angle) {
  const TFastDIB& s = Source(24);
  const bool quarter = angle == 90.0 || angle == -90.0;
  TFastDIB target(quarter ? s.AbsHeight : s.Width(), 24, quarter ? s.Width() : s.AbsHeight);
  s.RotateInto(target, 65536, angle);
  return AllBytes(target);
}

std::vector<uint8_t> Toned(int depth) {
  TFastDIB image(Source(depth).Width(), depth, Source(depth).AbsHeight);
  Source(depth).ConvertInto(image);
  image.ApplyBrightness(30, -40, 7);
  image.ApplyContrast(-20, 50, 130);
  image.ApplyGamma(0.7, 1.0, 1.6);
  return AllBytes(image);
}

std::vector<uint8_t> Gray() {
  TFastDIB gray;
  Source(24).ConvertToGray(gray);
  return AllBytes(gray);
}

std::vector<uint8_t> Painted(QImage::Format format, int x, int y) {
  static int argc = 1;
  static char name[] = "imaging_tests";
  static char* argv[] = {name, nullptr};
  if (QCoreApplication::instance() == nullptr) new QGuiApplication(argc, argv);
  QImage bitmap(1100, 760, format);
  bitmap.fill(Qt::magenta);
  {
    QPainter painter(&bitmap);
    Source(24).DrawTo(painter, x, y);
  }
  std::vector<uint8_t> bytes;
  const qsizetype used = qsizetype(bitmap.width()) * bitmap.depth() / 8;
  for (int line = 0; line < bitmap.height(); ++line)
    bytes.insert(bytes.end(), bitmap.constScanLine(line), bitmap.constScanLine(line) + used);
  return bytes;
}

struct PassCase {
  const char* name;
  std::function<std::vector<uint8_t>()> run;
};

// clang-format off
const PassCase kPasses[] = {
    {"ResampleBlackman24Down", [] { return Resampled(24, 420, 594, FilterBlackman); }},
    {"ResampleBox24Up",        [] { return Resampled(24, 1297, 910, FilterBox); }},
    {"ResampleLanczos8Down",   [] { return Resampled(8, 609, 402, FilterLanczos3); }},
    {"ResampleMitchell16Down", [] { return Resampled(16, 500, 300, FilterMitchell); }},
    {"ResampleTriangle32Down", [] { return Resampled(32, 731, 511, FilterTriangle); }},
    {"QuickResize24Down",      [] { return QuickResized(24, 731, 511); }},
    {"QuickResize24Up",        [] { return QuickResized(24, 1500, 1125); }},
    {"QuickResize8Down",       [] { return QuickResized(8, 640, 480); }},
    {"ConvertToGray24",        [] { return Gray(); }},
    {"Tone24",                 [] { return Toned(24); }},
    {"Tone32",                 [] { return Toned(32); }},
    {"Rotate90cw",             [] { return Rotated(90); }},
    {"Rotate90ccw",            [] { return Rotated(-90); }},
    {"Rotate180",              [] { return Rotated(180); }},
    {"Rotate33Degrees",        [] { return Rotated(33); }},
    {"DrawToRgb32",            [] { return Painted(QImage::Format_RGB32, 37, 21); }},
    {"DrawToBgr888Clipped",    [] { return Painted(QImage::Format_BGR888, 150, -40); }},
};
// clang-format on

class SplitPass : public ThreadCount, public testing::WithParamInterface<size_t> {};

TEST_P(SplitPass, GivesTheBytesOfOneThreadAtEveryThreadCount) {
  const PassCase& pass = kPasses[GetParam()];
  SetPixelThreads(1);
  const std::vector<uint8_t> alone = pass.run();
  for (int32_t threads : {2, 3, 4, 8}) {
    SetPixelThreads(threads);
    EXPECT_TRUE(pass.run() == alone) << pass.name << " at " << threads << " threads";
  }
}

INSTANTIATE_TEST_SUITE_P(Passes, SplitPass, testing::Range(size_t(0), std::size(kPasses)),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return std::string(kPasses[info.param].name);
                         });

class RowRanges : public ThreadCount {};

TEST_F(RowRanges, CoverEveryRowOnceAndPassErrorsOn) {
  for (int32_t threads : {2, 3, 4, 8}) {
    SetPixelThreads(threads);
    for (int32_t count : {1, 2, 3, 7, 1000, 1001}) {
      std::vector<std::atomic<int>> seen(static_cast<size_t>(count));
      std::atomic<int> calls{0};
      ForEachRowRange(count, int64_t(1) << 20, [&](int32_t begin, int32_t end) {
        ++calls;
        for (int32_t r = begin; r < end; ++r) seen[size_t(r)]++;
      });
      for (int32_t r = 0; r < count; ++r)
        ASSERT_EQ(seen[size_t(r)], 1)
            << "row " << r << " of " << count << ", " << threads << " threads";
      // A pass this large is cut into pieces for the helpers, whether or not they get to run.
      if (count >= 1000) {
        EXPECT_GT(calls, 1) << count << " rows, " << threads << " threads";
      }
    }
    // An error in any piece reaches the caller, after every thread has let go of the pass; the
    // helpers are free again for the next one.
    for (int32_t failing : {0, 500, 999}) {
      EXPECT_THROW(ForEachRowRange(1000, int64_t(1) << 20,
                                   [&](int32_t begin, int32_t end) {
                                     if (failing >= begin && failing < end)
                                       throw std::runtime_error("row failed");
                                   }),
                   std::runtime_error)
          << "row " << failing << ", " << threads << " threads";
    }
  }
  // One thread: the whole pass in one call on the caller.
  SetPixelThreads(1);
  std::vector<std::pair<int32_t, int32_t>> ranges;
  const std::thread::id caller = std::this_thread::get_id();
  ForEachRowRange(1000, int64_t(1) << 20, [&](int32_t begin, int32_t end) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    ranges.emplace_back(begin, end);
  });
  EXPECT_EQ(ranges, (std::vector<std::pair<int32_t, int32_t>>{{0, 1000}}));
}

TEST_F(RowRanges, PassesInsidePassesAndOnSeveralThreadsAtOnceNeverWaitForEachOther) {
  SetPixelThreads(4);
  // A pass inside a pass takes the helpers that are free, or runs alone.
  std::atomic<int> inner{0};
  ForEachRowRange(64, int64_t(1) << 20, [&](int32_t begin, int32_t end) {
    for (int32_t r = begin; r < end; ++r)
      ForEachRowRange(100, int64_t(1) << 20, [&](int32_t b, int32_t e) { inner += e - b; });
  });
  EXPECT_EQ(inner, 6400);
  // Passes started on three threads at once share the helpers between them.
  std::atomic<int> rows{0};
  std::vector<std::thread> callers;
  for (int k = 0; k < 3; ++k)
    callers.emplace_back([&rows] {
      for (int n = 0; n < 50; ++n)
        ForEachRowRange(500, int64_t(1) << 20, [&](int32_t b, int32_t e) { rows += e - b; });
    });
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(rows, 3 * 50 * 500);
}

TEST_F(RowRanges, SetPixelThreadsKeepsTheCountInItsRange) {
  for (auto [asked, kept] : {std::pair{0, 1}, std::pair{-5, 1}, std::pair{1, 1}, std::pair{3, 3},
                             std::pair{kMaxPixelThreads + 1, kMaxPixelThreads}}) {
    SetPixelThreads(asked);
    EXPECT_EQ(PixelThreads(), kept) << asked;
  }
}

}  // namespace
