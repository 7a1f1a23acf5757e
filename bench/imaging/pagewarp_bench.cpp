// The page warp on a 1500 x 1125 picture (the size of an imported photo), beside a general
// purpose cubic projective warp with replicated edges doing the same job when that library is
// at hand (TAVROLIN_BENCH_OPENCV). Both run at one thread and at the machine's thread count
// (the argument; 0 is the machine's), timed by the clock since helper threads do part of the
// work. Items processed are output pixels.
//
// The picture is the top-left of a real photo when one is at hand (TAVROLIN_BENCH_PHOTO or the
// shared photo folder), otherwise noise; the warp's speed hardly depends on it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>

#include "FastDIB.h"
#include "PageWarp.h"

#ifdef TAVROLIN_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kWidth = 1500, kHeight = 1125;

std::unique_ptr<TFastDIB> Picture24() {
  auto image = std::make_unique<TFastDIB>(kWidth, 24, kHeight);
  std::unique_ptr<TFastDIB> photo;
  const char* env = std::getenv("TAVROLIN_BENCH_PHOTO");
  try {
    photo = TFastDIB::LoadFromJpegFile(
        env ? QString::fromLocal8Bit(env)
            : QStringLiteral("/work/shared/photos/picosdeeuropa_by_Aitzol_Berasategi.jpg"));
  } catch (...) {
  }
  if (photo && photo->BitCount() == 24 && photo->Width() >= kWidth && photo->AbsHeight >= kHeight) {
    TFastDIB view;
    view.AttachRegion(*photo, 0, 0, kWidth, kHeight);
    view.ConvertInto(*image);
  } else {
    std::mt19937 random(1);
    for (int y = 0; y < kHeight; ++y)
      for (int i = 0; i < 3 * kWidth; ++i)
        image->Scanlines[size_t(y)][size_t(i)] = uint8_t(random());
  }
  return image;
}

std::unique_ptr<TFastDIB> Picture(int depth) {
  auto colour = Picture24();
  if (depth == 24) return colour;
  auto gray = std::make_unique<TFastDIB>();
  colour->ConvertToGray(*gray);
  return gray;
}

// A page photographed from above and a little to the side, filling most of the picture.
TPageQuad Page() { return {{{{180, 90}, {1350, 160}, {1420, 1040}, {120, 980}}}}; }

TPageSize OutputSize() {
  return PageOutputSize(EstimatePageAspect(Page(), kWidth, kHeight).Aspect, kWidth);
}

int Threads(const benchmark::State& state) {
  const int asked = int(state.range(1));
  return asked > 0 ? asked : int(std::max(1u, std::thread::hardware_concurrency()));
}

void SetPixels(benchmark::State& state, TPageSize size) {
  state.SetItemsProcessed(state.iterations() * int64_t(size.Width) * size.Height);
}

void BM_WarpPage(benchmark::State& state) {
  const int depth = int(state.range(0));
  auto source = Picture(depth);
  const TPageSize size = OutputSize();
  TFastDIB target(size.Width, depth, size.Height);
  const int32_t before = PixelThreads();
  SetPixelThreads(Threads(state));
  SetVectorLoopsEnabled(state.range(2) != 0);
  for (auto _ : state) {
    WarpPageInto(*source, Page(), target);
    benchmark::DoNotOptimize(target.Bits);
    benchmark::ClobberMemory();
  }
  SetVectorLoopsEnabled(true);
  SetPixelThreads(before);
  SetPixels(state, size);
}
// vector:0 is the plain loop, for a processor without AVX2.
BENCHMARK(BM_WarpPage)
    ->ArgNames({"bits", "threads", "vector"})
    ->ArgsProduct({{24, 8}, {1, 0}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

#ifdef TAVROLIN_BENCH_OPENCV
// The same map for the other warp: it takes memory rows (bottom-up here) and pixel indices
// (centres at whole numbers), so the page map is wrapped in both conversions.
cv::Mat MemoryIndexMap(const THomography& page, int sourceRows, int targetRows) {
  const auto& m = page.M;
  const cv::Matx33d map(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]);
  // Target memory index (u, r) to picture point (u + 0.5, targetRows - r - 0.5).
  const cv::Matx33d in(1, 0, 0.5, 0, -1, targetRows - 0.5, 0, 0, 1);
  // Picture point (x, y) to source memory index (x - 0.5, sourceRows - y - 0.5).
  const cv::Matx33d out(1, 0, -0.5, 0, -1, sourceRows - 0.5, 0, 0, 1);
  return cv::Mat(out * map * in);
}

void BM_WarpPageOpenCV(benchmark::State& state) {
  const int depth = int(state.range(0));
  auto source = Picture(depth);
  const TPageSize size = OutputSize();
  TFastDIB target(size.Width, depth, size.Height);
  const int type = depth == 24 ? CV_8UC3 : CV_8UC1;
  const cv::Mat in(source->AbsHeight, source->Width(), type, source->Bits, size_t(source->Stride));
  cv::Mat out(target.AbsHeight, target.Width(), type, target.Bits, size_t(target.Stride));
  const int before = cv::getNumThreads();
  cv::setNumThreads(Threads(state));
  for (auto _ : state) {
    const cv::Mat map =
        MemoryIndexMap(PageHomography(Page(), size.Width, size.Height), kHeight, size.Height);
    cv::warpPerspective(in, out, map, out.size(), cv::INTER_CUBIC | cv::WARP_INVERSE_MAP,
                        cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(target.Bits);
    benchmark::ClobberMemory();
  }
  cv::setNumThreads(before);
  SetPixels(state, size);

  // How far the two warps' pixels lie apart (their kernels differ a little), to show that both
  // did the same job.
  TFastDIB ours(size.Width, depth, size.Height);
  WarpPageInto(*source, Page(), ours);
  double sum = 0;
  const int bytes = size.Width * depth / 8;
  for (int r = 0; r < size.Height; ++r)
    for (int i = 0; i < bytes; ++i)
      sum += std::abs(int(ours.Scanlines[size_t(r)][size_t(i)]) -
                      int(target.Scanlines[size_t(r)][size_t(i)]));
  state.counters["MeanAbsDiff"] = sum / (double(bytes) * size.Height);
}
BENCHMARK(BM_WarpPageOpenCV)
    ->ArgNames({"bits", "threads"})
    ->ArgsProduct({{24, 8}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
#endif

}  // namespace
