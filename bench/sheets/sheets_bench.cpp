// What a sheet costs: the 420 x 594 preview of a full 5 x 5 sheet from cached previews, the
// 2520 x 3564 printed sheet whose 25 cells each rebuild the full picture from the working JPEG,
// and printing a 50-photo document at 5 x 5 to PDF.
//
// Photos come from TAVROLIN_BENCH_PHOTOS (a folder), or else /work/shared/photos; each is
// imported once and the document cycles through them. Run with QT_QPA_PLATFORM=offscreen where
// there is no display.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPrinter>
#include <QTemporaryDir>

#include "FastDIB.h"
#include "Printing.h"
#include "SheetRenderer.h"
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

// The imported camera photos, made once for the whole run.
class TBenchDocument {
 public:
  static TBenchDocument& Get() {
    static TBenchDocument document;
    return document;
  }

  bool Empty() const { return Records.empty(); }
  // `count` photos cycling through the imported ones.
  std::vector<TShpora*> Photos(int count) const {
    std::vector<TShpora*> photos;
    for (int k = 0; k < count && !Records.empty(); ++k)
      photos.push_back(Records[static_cast<size_t>(k) % Records.size()].get());
    return photos;
  }
  QString Path(const QString& name) const { return Work.filePath(name); }

 private:
  TBenchDocument() {
    const QDir folder(PhotoFolder());
    for (const QString& name : folder.entryList({"*.jpg", "*.jpeg", "*.JPG"}, QDir::Files))
      Records.push_back(TShpora::CreateFromPhoto(folder.filePath(name), Work.path() + "/"));
  }
  QTemporaryDir Work;
  std::vector<std::unique_ptr<TShpora>> Records;
};

TSheetLayout FiveByFive() {
  TSheetLayout layout;
  layout.Rows = 5;
  layout.Cols = 5;
  return layout;
}

TSheetTexts MarginTexts() {
  TSheetTexts texts;
  texts.ClearSheetTexts();
  texts.AddSheetText("http://tavrolin.example");
  texts.AddSheetText("Photocopies of books, documents and notes");
  return texts;
}

double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// A value of /proc/self/status in MiB ("VmRSS", "VmHWM").
double StatusMiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  return 0;
}

// Starts the peak resident size (VmHWM) afresh from the current size.
void ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

void BM_DrawSheetPreview(benchmark::State& state) {
  const TBenchDocument& document = TBenchDocument::Get();
  if (document.Empty()) return state.SkipWithError("no photos in the photo folder");
  const std::vector<TShpora*> photos = document.Photos(25);
  const TSheetTexts texts = MarginTexts();
  QImage bitmap;
  for (auto _ : state) {
    DrawSheet(bitmap, 2, 0, FiveByFive(), photos, texts, photos[12]);
    benchmark::DoNotOptimize(bitmap.constBits());
  }
}
BENCHMARK(BM_DrawSheetPreview)->Unit(benchmark::kMillisecond);

void BM_DrawSheetPrint(benchmark::State& state) {
  const TBenchDocument& document = TBenchDocument::Get();
  if (document.Empty()) return state.SkipWithError("no photos in the photo folder");
  const std::vector<TShpora*> photos = document.Photos(25);
  const TSheetTexts texts = MarginTexts();
  QImage bitmap;
  DrawSheet(bitmap, 12, 0, FiveByFive(), photos, texts, nullptr);  // the bitmap, once
  const long faults = MinorFaults();
  for (auto _ : state) {
    DrawSheet(bitmap, 12, 0, FiveByFive(), photos, texts, nullptr);
    benchmark::DoNotOptimize(bitmap.constBits());
  }
  state.counters["faults"] = double(MinorFaults() - faults) / double(state.iterations());
  state.counters["peak_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_DrawSheetPrint)->Unit(benchmark::kMillisecond);

// 50 photos at 5 x 5: two sheets, one job.
void BM_PrintToPdf(benchmark::State& state) {
  const TBenchDocument& document = TBenchDocument::Get();
  if (document.Empty()) return state.SkipWithError("no photos in the photo folder");
  const std::vector<TShpora*> photos = document.Photos(50);
  const TSheetTexts texts = MarginTexts();
  const TSheetLayout layout = FiveByFive();
  const int sheets = SheetCount(static_cast<int>(photos.size()), layout);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(document.Path("bench.pdf"));
  for (auto _ : state)
    PrintSheets(printer, TPrintSource{photos, layout, texts}, TPrintRange{1, sheets}, 1,
                "Tavrolin benchmark");
  state.SetItemsProcessed(state.iterations() * sheets);
  // Seconds per printed sheet.
  state.counters["s_per_sheet"] = benchmark::Counter(
      sheets, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["peak_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_PrintToPdf)->Unit(benchmark::kMillisecond);

// Memory while printing a document of n photos (5 x 5, every sheet, to PDF): the document is
// opened as a reader would (working JPEGs copied, Reload(false) for each, so each holds its
// Preview), then the peak resident size is started afresh and the print runs. print_MiB is the
// peak above the size before printing: it must not grow with the number of photos.
void BM_PrintMemory(benchmark::State& state) {
  const TBenchDocument& document = TBenchDocument::Get();
  if (document.Empty()) return state.SkipWithError("no photos in the photo folder");
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir work;
  std::vector<std::unique_ptr<TShpora>> records;
  for (int k = 0; k < count; ++k) {
    const TShpora* source = document.Photos(count)[static_cast<size_t>(k)];
    const QString path = work.filePath(QString::number(k) + ".jpg");
    QFile::copy(source->WorkFile, path);
    auto record = TShpora::CreateForWorkFile(path);
    static_cast<TShporaData&>(*record) = *source;
    record->Reload(false);
    records.push_back(std::move(record));
  }
  std::vector<TShpora*> photos;
  for (auto& r : records) photos.push_back(r.get());
  const TSheetTexts texts = MarginTexts();
  const TSheetLayout layout = FiveByFive();
  const int sheets = SheetCount(count, layout);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(work.filePath("memory.pdf"));
  const double before = StatusMiB("VmRSS");
  ResetPeakResident();
  const long faults = MinorFaults();
  for (auto _ : state)
    PrintSheets(printer, TPrintSource{photos, layout, texts}, TPrintRange{1, sheets}, 1,
                "Tavrolin benchmark");
  const double peak = StatusMiB("VmHWM");
  state.counters["photos"] = count;
  state.counters["document_MiB"] = before;
  state.counters["peak_MiB"] = peak;
  state.counters["print_MiB"] = peak - before;
  state.counters["faults_per_sheet"] =
      double(MinorFaults() - faults) / double(state.iterations() * sheets);
  state.counters["s_per_sheet"] = benchmark::Counter(
      sheets, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
// What rendering one printed sheet adds to the resident size, without a printer: the sheet
// bitmap (2520 x 3564 x 3 bytes, 25.7 MiB) and what the cells need while they are drawn, one
// full picture at a time with its working images.
void BM_DrawSheetMemory(benchmark::State& state) {
  const TBenchDocument& document = TBenchDocument::Get();
  if (document.Empty()) return state.SkipWithError("no photos in the photo folder");
  const std::vector<TShpora*> photos = document.Photos(25);
  const TSheetTexts texts = MarginTexts();
  double added = 0;
  for (auto _ : state) {
    const double before = StatusMiB("VmRSS");
    ResetPeakResident();
    QImage bitmap;
    DrawSheet(bitmap, 12, 0, FiveByFive(), photos, texts, nullptr);
    added = StatusMiB("VmHWM") - before;
  }
  state.counters["sheet_MiB"] = 2520.0 * 3564 * 3 / (1 << 20);
  state.counters["added_MiB"] = added;
}
BENCHMARK(BM_DrawSheetMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PrintMemory)
    ->Arg(25)
    ->Arg(100)
    ->Arg(400)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
