// What a photo page costs: the import of a camera photo (whole, and step by step), processing in
// both image types, reloading from the working JPEG, and drawing a print-sized cell.
//
// Photos come from TAVROLIN_BENCH_PHOTOS (a folder), or else /work/shared/photos. Camera JPEGs
// are baseline; a progressive file is also measured as a lossless baseline copy made in memory.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <jpeglib.h>

#include "Codecs.h"
#include "FastDIB.h"
#include "Shpora.h"

namespace {

// TAVROLIN_PIXEL_THREADS=1 keeps every pixel pass on one thread, to compare with the default.
const bool kPixelThreadsFromEnvironment = [] {
  if (const char* threads = std::getenv("TAVROLIN_PIXEL_THREADS"))
    SetPixelThreads(std::atoi(threads));
  return true;
}();

QString PhotoFolder() {
  const QString chosen = qEnvironmentVariable("TAVROLIN_BENCH_PHOTOS");
  return chosen.isEmpty() ? QStringLiteral("/work/shared/photos") : chosen;
}

// The same coefficients written as a baseline JPEG: what a camera would have stored.
QByteArray BaselineCopy(const QByteArray& jpeg) {
  jpeg_decompress_struct in{};
  jpeg_compress_struct out{};
  jpeg_error_mgr inErr{}, outErr{};
  in.err = jpeg_std_error(&inErr);
  out.err = jpeg_std_error(&outErr);
  jpeg_create_decompress(&in);
  jpeg_create_compress(&out);
  jpeg_mem_src(&in, reinterpret_cast<const unsigned char*>(jpeg.constData()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&in, TRUE);
  jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&in);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&out, &buffer, &size);
  jpeg_copy_critical_parameters(&in, &out);
  jpeg_write_coefficients(&out, coefficients);
  jpeg_finish_compress(&out);
  jpeg_finish_decompress(&in);
  jpeg_destroy_compress(&out);
  jpeg_destroy_decompress(&in);
  QByteArray result(reinterpret_cast<char*>(buffer), static_cast<qsizetype>(size));
  std::free(buffer);
  return result;
}

// A private folder holding the benchmark's photos and work files for the whole run.
struct TBenchFiles {
  QTemporaryDir Dir;
  std::map<QString, QString> Photos;  // label -> path

  TBenchFiles() {
    const QDir source(PhotoFolder());
    for (const QString& name : source.entryList({QStringLiteral("*.jpg")}, QDir::Files)) {
      QFile f(source.filePath(name));
      if (!f.open(QIODevice::ReadOnly)) continue;
      const QByteArray original = f.readAll();
      const QString stem = QFileInfo(name).completeBaseName().section(QLatin1Char('_'), 0, 0);
      const QString baseline = Dir.filePath(stem + QStringLiteral(".jpg"));
      WriteFileSafely(baseline, BaselineCopy(original));
      Photos[stem] = baseline;
      const QString progressive = Dir.filePath(stem + QStringLiteral("-as-shipped.jpg"));
      WriteFileSafely(progressive, original);
      Photos[stem + QStringLiteral("-as-shipped")] = progressive;
    }
  }
  QString Folder() const { return Dir.path() + QStringLiteral("/work/"); }
};

TBenchFiles& Files() {
  static TBenchFiles files;
  QDir().mkpath(files.Folder());
  return files;
}

// The working picture of a photo, as the import leaves it (1500 on the longer side, colour).
std::unique_ptr<TFastDIB> WorkingPicture(const QString& photo, int& rotation) {
  auto decoded = DecodeJpegAsColor(photo, TShpora::ImportScaleDenominator, true);
  const int32_t w = decoded->Width(), h = decoded->AbsHeight, longer = std::max(w, h);
  rotation = w > h ? 1 : 0;
  auto reduced = std::make_unique<TFastDIB>(int32_t(int64_t(w) * 1500 / longer), 24,
                                            int32_t(int64_t(h) * 1500 / longer));
  decoded->QuickResizeInto(*reduced);
  return reduced;
}

// The 1125 x 1500 page every processing benchmark starts from: the camera photo, imported and
// turned upright.
const TFastDIB& UprightPage() {
  static std::unique_ptr<TFastDIB> page = [] {
    int rotation = 0;
    auto working = WorkingPicture(Files().Photos[QStringLiteral("picosdeeuropa")], rotation);
    auto upright = std::make_unique<TFastDIB>(working->AbsHeight, 24, working->Width());
    working->RotateInto(*upright, 65536, 90);
    return upright;
  }();
  return *page;
}

std::unique_ptr<TFastDIB> Copy(const TFastDIB& image) {
  auto copy = std::make_unique<TFastDIB>(image.Width(), 24, image.Height());
  image.ConvertInto(*copy);
  return copy;
}

// Page faults per iteration (first touches of fresh memory), as a counter beside the time.
class TFaultCounter {
 public:
  explicit TFaultCounter(benchmark::State& state) : State(state), Start(MinorFaults()) {}
  ~TFaultCounter() {
    if (State.iterations() > 0)
      State.counters["faults"] = double(MinorFaults() - Start) / double(State.iterations());
  }

 private:
  static long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
  }
  benchmark::State& State;
  long Start;
};

bool NeedPhoto(benchmark::State& state, const QString& label) {
  if (Files().Photos.count(label)) return true;
  state.SkipWithError(
      ("no photo " + label.toStdString() + " in " + PhotoFolder().toStdString()).c_str());
  return false;
}

// ---------------------------------------------------------------------------------------------
// The whole import of one photo: decode at the chosen scale, resize, working JPEG, processing
// (turn, photocopy filter, preview). The record is destroyed, and its file deleted, each time.
void BM_CreateFromPhoto(benchmark::State& state, const char* label) {
  if (!NeedPhoto(state, QString::fromLatin1(label))) return;
  const QString photo = Files().Photos[QString::fromLatin1(label)];
  const QString folder = Files().Folder();
  TFaultCounter faults(state);
  for (auto _ : state) {
    auto record = TShpora::CreateFromPhoto(photo, folder);
    benchmark::DoNotOptimize(record->Preview->Bits);
  }
}
BENCHMARK_CAPTURE(BM_CreateFromPhoto, picosdeeuropa, "picosdeeuropa")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CreateFromPhoto, picosdeeuropa_progressive, "picosdeeuropa-as-shipped")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CreateFromPhoto, Kleiber, "Kleiber")->Unit(benchmark::kMillisecond);

// The import's steps one by one, on the same photo.
void BM_ImportDecode(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  const QString photo = Files().Photos[QStringLiteral("picosdeeuropa")];
  TFaultCounter faults(state);
  for (auto _ : state) {
    auto decoded = DecodeJpegAsColor(photo, TShpora::ImportScaleDenominator, true);
    benchmark::DoNotOptimize(decoded->Bits);
  }
}
BENCHMARK(BM_ImportDecode)->Unit(benchmark::kMillisecond);

void BM_ImportResize(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  auto decoded = DecodeJpegAsColor(Files().Photos[QStringLiteral("picosdeeuropa")],
                                   TShpora::ImportScaleDenominator, true);
  const int32_t w = decoded->Width(), h = decoded->AbsHeight, longer = std::max(w, h);
  TFaultCounter faults(state);
  for (auto _ : state) {
    TFastDIB reduced(int32_t(int64_t(w) * 1500 / longer), 24, int32_t(int64_t(h) * 1500 / longer));
    decoded->QuickResizeInto(reduced);
    benchmark::DoNotOptimize(reduced.Bits);
  }
}
BENCHMARK(BM_ImportResize)->Unit(benchmark::kMillisecond);

void BM_ImportEncode(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  int rotation = 0;
  auto working = WorkingPicture(Files().Photos[QStringLiteral("picosdeeuropa")], rotation);
  const QString target = Files().Folder() + QStringLiteral("encode.jpg");
  TFaultCounter faults(state);
  for (auto _ : state) SaveJpegFile(*working, target, kJpegQuality);
  QFile::remove(target);
}
BENCHMARK(BM_ImportEncode)->Unit(benchmark::kMillisecond);

// The processing the import ends with, split into its turn, its filter and its preview.
void BM_ImportRotate(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  int rotation = 0;
  auto working = WorkingPicture(Files().Photos[QStringLiteral("picosdeeuropa")], rotation);
  TFaultCounter faults(state);
  for (auto _ : state) {
    TFastDIB turned(working->AbsHeight, 24, working->Width());
    working->RotateInto(turned, 65536, 90);
    benchmark::DoNotOptimize(turned.Bits);
  }
}
BENCHMARK(BM_ImportRotate)->Unit(benchmark::kMillisecond);

void BM_PhotocopyFilter(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  auto record = TShpora::CreateForWorkFile(QString());
  record->ImageType = 1;
  record->Brightness = static_cast<int32_t>(state.range(0));
  record->Contrast = 1;
  auto page = Copy(UprightPage());
  TFaultCounter faults(state);
  for (auto _ : state) {
    state.PauseTiming();
    UprightPage().ConvertInto(*page);
    state.ResumeTiming();
    record->PhotocopyFilter(*page);
  }
}
BENCHMARK(BM_PhotocopyFilter)->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_Preview(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  TFaultCounter faults(state);
  for (auto _ : state) {
    TFastDIB preview(kFrameWidth, 24, kFrameHeight);
    UprightPage().ResampleInto(preview, FilterBlackman);
    benchmark::DoNotOptimize(preview.Bits);
  }
}
BENCHMARK(BM_Preview)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------------------
// Process(keepFull false) on the upright 1125 x 1500 page: grayscale with Brightness 1 and 20
// (2 and 21 smoothing passes), and colour. The copy handed over is made outside the timing.
void BM_Process(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  auto record = TShpora::CreateForWorkFile(QString());
  record->ImageType = static_cast<int32_t>(state.range(0));
  record->Brightness = static_cast<int32_t>(state.range(1));
  record->Contrast = 1;
  TFaultCounter faults(state);
  for (auto _ : state) {
    state.PauseTiming();
    auto picture = Copy(UprightPage());
    state.ResumeTiming();
    record->Process(std::move(picture), false);
    benchmark::DoNotOptimize(record->Preview->Bits);
  }
}
BENCHMARK(BM_Process)
    ->ArgNames({"type", "brightness"})
    ->Args({1, 1})
    ->Args({1, 20})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond);

// A record of the camera photo, imported into the work folder.
TShpora& ImportedRecord() {
  static std::unique_ptr<TShpora> record =
      TShpora::CreateFromPhoto(Files().Photos[QStringLiteral("picosdeeuropa")], Files().Folder());
  return *record;
}

// Reload(false) as opening a document does it for every photo: the record has no pictures yet.
void BM_ReloadPreview(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  TShpora& record = ImportedRecord();
  TFaultCounter faults(state);
  for (auto _ : state) {
    record.DropImages();
    record.Reload(false);
  }
}
BENCHMARK(BM_ReloadPreview)->Unit(benchmark::kMillisecond);

// Reload(true) as the editor does it after a parameter change: both pictures rebuilt from the
// working JPEG (1500 x 1125, grayscale type, turned upright).
void BM_ReloadFull(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  TShpora& record = ImportedRecord();
  TFaultCounter faults(state);
  for (auto _ : state) {
    record.DropImages();
    record.Reload(true);
  }
  record.DropFullImage();
}
BENCHMARK(BM_ReloadFull)->Unit(benchmark::kMillisecond);

// The import's input and output alone, as the libjpeg-turbo floor measures them: decode at the
// import's scale with the fast transform, reduce to 1500 on the longer side, encode at quality
// 90 into memory, as the import does it (DecodeReduceEncode: the reduction and the encoding
// beside the decoding). The file is read each time, as the import does.
void ReducedSizeOf(int32_t w, int32_t h, int32_t& rw, int32_t& rh) {
  const int32_t longer = std::max(w, h);
  rw = longer > 1500 ? int32_t(int64_t(w) * 1500 / longer) : w;
  rh = longer > 1500 ? int32_t(int64_t(h) * 1500 / longer) : h;
}

void BM_ImportIO(benchmark::State& state, const char* label) {
  if (!NeedPhoto(state, QString::fromLatin1(label))) return;
  const QString photo = Files().Photos[QString::fromLatin1(label)];
  TFaultCounter faults(state);
  for (auto _ : state) {
    const TReducedPhoto reduced =
        DecodeReduceEncode(photo, TShpora::ImportScaleDenominator, ReducedSizeOf, kJpegQuality);
    benchmark::DoNotOptimize(reduced.Jpeg.constData());
  }
}

// The same three steps one after the other on one thread, for comparison.
void BM_ImportIOSteps(benchmark::State& state, const char* label) {
  if (!NeedPhoto(state, QString::fromLatin1(label))) return;
  const QString photo = Files().Photos[QString::fromLatin1(label)];
  TFaultCounter faults(state);
  for (auto _ : state) {
    auto decoded = DecodeJpegAsColor(photo, TShpora::ImportScaleDenominator, true);
    int32_t rw = 0, rh = 0;
    ReducedSizeOf(decoded->Width(), decoded->AbsHeight, rw, rh);
    TFastDIB reduced(rw, 24, rh, TFastDIB::TUncleared{});
    decoded->QuickResizeInto(reduced);
    decoded.reset();
    const QByteArray jpeg = EncodeJpeg(reduced, kJpegQuality);
    benchmark::DoNotOptimize(jpeg.constData());
  }
}
BENCHMARK_CAPTURE(BM_ImportIOSteps, picosdeeuropa, "picosdeeuropa")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportIOSteps, Kleiber, "Kleiber")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportIO, picosdeeuropa, "picosdeeuropa")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ImportIO, Kleiber, "Kleiber")->Unit(benchmark::kMillisecond);

// One printed cell: 609 x 792 from the cached FullImage onto a print-sized sheet.
void BM_DrawCellForPrint(benchmark::State& state) {
  if (!NeedPhoto(state, QStringLiteral("picosdeeuropa"))) return;
  TShpora& record = ImportedRecord();
  record.Reload(true);
  QImage sheet(2520, 3564, QImage::Format_RGB32);
  sheet.fill(Qt::white);
  QPainter painter(&sheet);
  TFaultCounter faults(state);
  for (auto _ : state) record.DrawCell(painter, 120, 96, 609, 792, true, true);
  painter.end();
  record.DropFullImage();
}
BENCHMARK(BM_DrawCellForPrint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
