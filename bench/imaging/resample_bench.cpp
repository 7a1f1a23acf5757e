// Resizing and resampling at the sizes the program uses, and reloading a working JPEG.
//
// Resizes count the source's pixels (the work grows with them; a comparison with other
// resamplers quotes the same figure): items per second and "MPix/s" are source megapixels per
// second. The JPEG load counts decoded pixels.
//
// Pictures come from a real photo when one is at hand (TAVROLIN_BENCH_PHOTO, or the shared photo
// folder of the development machines), brought to size with QuickResizeInto; otherwise from
// smooth synthetic gradients with a little noise, so the JPEG still compresses like a picture.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>

#include <QTemporaryDir>

#include "Codecs.h"
#include "FastDIB.h"

namespace {

// TAVROLIN_PIXEL_THREADS=1 keeps every pixel pass on one thread, to compare with the default.
const bool kPixelThreadsFromEnvironment = [] {
  if (const char* threads = std::getenv("TAVROLIN_PIXEL_THREADS"))
    SetPixelThreads(std::atoi(threads));
  return true;
}();

const TFastDIB* SourcePhoto() {
  static const std::unique_ptr<TFastDIB> photo = []() -> std::unique_ptr<TFastDIB> {
    const char* env = std::getenv("TAVROLIN_BENCH_PHOTO");
    const QString path =
        env ? QString::fromLocal8Bit(env)
            : QStringLiteral("/work/shared/photos/picosdeeuropa_by_Aitzol_Berasategi.jpg");
    try {
      const auto fullScale = [](int32_t, int32_t) { return 1; };
      auto image = DecodeJpegAsColor(path, fullScale, false);
      return image && image->BitCount() == 24 ? std::move(image) : nullptr;
    } catch (...) {
      return nullptr;
    }
  }();
  return photo.get();
}

void FillSynthetic(TFastDIB& image) {
  std::mt19937 random(1);
  for (int32_t y = 0; y < image.AbsHeight; ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      uint8_t* p = image.Scanlines[y] + 3 * x;
      const int noise = int(random() % 9);
      p[0] = uint8_t((x * 255 / image.Width() + noise) & 0xFF);
      p[1] = uint8_t((y * 255 / image.AbsHeight + noise) & 0xFF);
      p[2] = uint8_t(((x + y) / 4 + noise) & 0xFF);
    }
}

// A 24-bit width x height picture: the photo (its central part with the picture's aspect ratio)
// resized to it.
std::unique_ptr<TFastDIB> Picture(int32_t width, int32_t height) {
  auto image = std::make_unique<TFastDIB>(width, 24, height);
  const TFastDIB* photo = SourcePhoto();
  if (photo == nullptr) {
    FillSynthetic(*image);
    return image;
  }
  int32_t cropW = photo->Width(), cropH = int32_t(int64_t(cropW) * height / width);
  if (cropH > photo->AbsHeight) {
    cropH = photo->AbsHeight;
    cropW = int32_t(int64_t(cropH) * width / height);
  }
  TFastDIB crop;
  crop.AttachRegion(*photo, (photo->Width() - cropW) / 2, (photo->AbsHeight - cropH) / 2, cropW,
                    cropH);
  crop.QuickResizeInto(*image);
  return image;
}

void CountPixels(benchmark::State& state, int64_t pixels) {
  state.SetItemsProcessed(state.iterations() * pixels);
  state.counters["MPix/s"] = benchmark::Counter(double(state.iterations()) * double(pixels) / 1e6,
                                                benchmark::Counter::kIsRate);
  state.SetLabel(SourcePhoto() ? "photo" : "synthetic");
}

// The import: a decoded photo brought down to 1500 pixels on its longer side.
void BM_QuickResizeInto_2000x1500_to_1500x1125(benchmark::State& state) {
  auto source = Picture(2000, 1500);
  TFastDIB target(1500, 24, 1125);
  for (auto _ : state) {
    source->QuickResizeInto(target);
    benchmark::DoNotOptimize(target.Bits);
    benchmark::ClobberMemory();
  }
  CountPixels(state, 2000 * 1500);
}
BENCHMARK(BM_QuickResizeInto_2000x1500_to_1500x1125)->Unit(benchmark::kMillisecond);

void Resample(benchmark::State& state, int32_t sw, int32_t sh, int32_t dw, int32_t dh, int filter) {
  auto source = Picture(sw, sh);
  TFastDIB target(dw, 24, dh);
  for (auto _ : state) {
    source->ResampleInto(target, filter);
    benchmark::DoNotOptimize(target.Bits);
    benchmark::ClobberMemory();
  }
  CountPixels(state, int64_t(sw) * sh);
}

// The 420 x 594 preview of an imported portrait photo.
void BM_ResampleInto_Blackman_1125x1500_to_420x594(benchmark::State& state) {
  Resample(state, 1125, 1500, 420, 594, FilterBlackman);
}
BENCHMARK(BM_ResampleInto_Blackman_1125x1500_to_420x594)->Unit(benchmark::kMillisecond);

// A crop drawn into one cell of a printed sheet of 2 x 4 cells (2436 / 4 x 3168 / 4).
void BM_ResampleInto_Box_1297x910_to_609x792(benchmark::State& state) {
  Resample(state, 1297, 910, 609, 792, FilterBox);
}
BENCHMARK(BM_ResampleInto_Box_1297x910_to_609x792)->Unit(benchmark::kMillisecond);

// Reloading a working JPEG (1500 x 1125, quality 90) at full scale.
void BM_LoadFromJpegFile_1500x1125(benchmark::State& state) {
  QTemporaryDir folder;
  if (!folder.isValid()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const QString path = folder.filePath(QStringLiteral("work.jpg"));
  SaveJpegFile(*Picture(1500, 1125), path, 90);
  for (auto _ : state) {
    auto image = TFastDIB::LoadFromJpegFile(path);
    benchmark::DoNotOptimize(image->Bits);
  }
  CountPixels(state, 1500 * 1125);
}
BENCHMARK(BM_LoadFromJpegFile_1500x1125)->Unit(benchmark::kMillisecond);

}  // namespace
