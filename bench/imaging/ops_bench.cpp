// Conversion, smoothing and rotation at the sizes a photo has after import (1500 pixels on its
// longer side). Items processed are pixels, so items per second read as pixels per second.
//
// The pictures are cut from a real photo when one is at hand (TAVROLIN_BENCH_PHOTO, or the
// shared photo folder of the development machines); otherwise they are filled with noise. None
// of these operations' speed depends on the picture.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "FastDIB.h"

namespace {

const TFastDIB* Photo() {
  static const std::unique_ptr<TFastDIB> photo = []() -> std::unique_ptr<TFastDIB> {
    const char* env = std::getenv("TAVROLIN_BENCH_PHOTO");
    const QString path =
        env ? QString::fromLocal8Bit(env)
            : QStringLiteral("/work/shared/photos/picosdeeuropa_by_Aitzol_Berasategi.jpg");
    try {
      return TFastDIB::LoadFromJpegFile(path);
    } catch (...) {
      return nullptr;
    }
  }();
  return photo.get();
}

// A width x height 24-bit picture: the top-left corner of the photo, or noise.
std::unique_ptr<TFastDIB> Picture24(int width, int height) {
  auto image = std::make_unique<TFastDIB>(width, 24, height);
  const TFastDIB* photo = Photo();
  if (photo && photo->BitCount() == 24 && photo->Width() >= width && photo->AbsHeight >= height) {
    TFastDIB view;
    view.AttachRegion(*photo, 0, 0, width, height);
    view.ConvertInto(*image);
  } else {
    std::mt19937 random(1);
    for (int y = 0; y < height; ++y)
      for (int i = 0; i < 3 * width; ++i) image->Scanlines[y][i] = uint8_t(random());
  }
  return image;
}

std::unique_ptr<TFastDIB> Picture8(int width, int height) {
  auto gray = std::make_unique<TFastDIB>();
  Picture24(width, height)->ConvertToGray(*gray);
  return gray;
}

void SetPixels(benchmark::State& state, int width, int height) {
  state.SetItemsProcessed(state.iterations() * int64_t(width) * height);
  state.counters["MPix/s"] = benchmark::Counter(double(state.iterations()) * width * height / 1e6,
                                                benchmark::Counter::kIsRate);
}

void BM_SmoothPass8(benchmark::State& state) {
  const int distance = int(state.range(0));
  auto image = Picture8(1125, 1500);
  for (auto _ : state) {
    image->SmoothPass(distance);
    benchmark::DoNotOptimize(image->Bits);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 1125, 1500);
}
BENCHMARK(BM_SmoothPass8)->Arg(1)->Arg(21)->Unit(benchmark::kMillisecond);

void BM_ConvertToGray24(benchmark::State& state) {
  auto image = Picture24(1125, 1500);
  TFastDIB gray;
  for (auto _ : state) {
    image->ConvertToGray(gray);
    benchmark::DoNotOptimize(gray.Bits);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 1125, 1500);
}
BENCHMARK(BM_ConvertToGray24)->Unit(benchmark::kMillisecond);

void BM_RotateInto90(benchmark::State& state) {
  auto image = Picture24(1500, 1125);
  TFastDIB turned(1125, 24, 1500);
  for (auto _ : state) {
    image->RotateInto(turned, 65536, 90);
    benchmark::DoNotOptimize(turned.Bits);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 1500, 1125);
}
BENCHMARK(BM_RotateInto90)->Unit(benchmark::kMillisecond);

// The same quarter turn as the page processing meets it: source and target not in the caches
// (pictures of 5 MB each, eight of them in turn, more than a processor's last-level cache).
void BM_RotateInto90Cold(benchmark::State& state) {
  constexpr int kPairs = 8;
  std::vector<std::unique_ptr<TFastDIB>> sources, targets;
  for (int i = 0; i < kPairs; ++i) {
    sources.push_back(Picture24(1500, 1125));
    targets.push_back(std::make_unique<TFastDIB>(1125, 24, 1500));
  }
  int next = 0;
  for (auto _ : state) {
    sources[size_t(next)]->RotateInto(*targets[size_t(next)], 65536, 90);
    benchmark::DoNotOptimize(targets[size_t(next)]->Bits);
    benchmark::ClobberMemory();
    next = (next + 1) % kPairs;
  }
  SetPixels(state, 1500, 1125);
}
BENCHMARK(BM_RotateInto90Cold)->Unit(benchmark::kMillisecond);

}  // namespace
