// Adding 20 camera photos, and opening and saving a document of 100 photos, through the real
// main window and wait dialog on the offscreen platform, in private folders. Peak memory is
// measured from outside: /usr/bin/time -v bench_app --benchmark_filter=...
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Document.h"
#include "FastDIB.h"
#include "FormMain.h"
#include "FormWait.h"
#include "Prompts.h"

namespace {

// TAVROLIN_PIXEL_THREADS=1 keeps every pixel pass on one thread, to compare with the default.
const bool kPixelThreadsFromEnvironment = [] {
  if (const char* threads = std::getenv("TAVROLIN_PIXEL_THREADS"))
    SetPixelThreads(std::atoi(threads));
  return true;
}();

// Benchmarks never ask the user anything; an error is printed.
class TSilentPrompts : public IUserPrompts {
 public:
  Answer Message(QWidget*, const QString&, const QString& text, Buttons, Icon) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return Answer::No;
  }
  QStringList OpenFiles(QWidget*, const QString&, const QString&) override { return {}; }
  QString OpenFile(QWidget*, const QString&, const QString&) override { return {}; }
  QString SaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString BrowseFolder(QWidget*, const QString&, const QString&) override { return {}; }
  bool Print(QWidget*, QPrinter&, PrintChoice&) override { return false; }
};

QStringList CameraPhotos() {
  const QByteArray env = qgetenv("TAVROLIN_BENCH_PHOTOS");
  const QDir dir(env.isEmpty() ? QStringLiteral("/work/shared/photos")
                               : QString::fromLocal8Bit(env));
  QStringList photos;
  for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) {
    photos << dir.filePath(name);
  }
  return photos;
}

// Private folders and one window for the whole run.
struct TBench {
  QTemporaryDir Root;
  TSilentPrompts Prompts;
  std::unique_ptr<TFormWait> Wait;
  std::unique_ptr<TFormMain> Form;
  QString Document100;

  TBench() {
    for (const char* name : {"TMPDIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
      const QString folder = Root.path() + u'/' + QLatin1String(name);
      QDir().mkpath(folder);
      qputenv(name, QFile::encodeName(folder));
    }
    Wait = std::make_unique<TFormWait>();
    Form = std::make_unique<TFormMain>(Prompts);
    Form->SetWaitDialog(*Wait);
    Form->show();
  }

  // A 100-photo document whose working JPEGs are the imports of the camera photos, in turn.
  const QString& Document() {
    if (!Document100.isEmpty()) return Document100;
    Form->AddFileList(CameraPhotos());
    std::vector<TDocumentEntry> entries;
    for (int i = 0; i < 100; ++i) {
      const int row = i % Form->PhotoCount();
      entries.push_back(
          {Form->Photo(row), QStringLiteral("IMG_%1.jpg").arg(i), Form->Photo(row)->WorkFile});
    }
    Document100 = Root.path() + QStringLiteral("/hundred.TavDoc");
    SaveDocumentFile(Document100, {4, 4, 0}, entries);
    Form->ClearDocument();
    return Document100;
  }
};

// Made on first use and destroyed by main while the application still exists: the window must
// not outlive it.
std::unique_ptr<TBench>& BenchHolder() {
  static std::unique_ptr<TBench> bench;
  return bench;
}

TBench& Bench() {
  if (!BenchHolder()) BenchHolder() = std::make_unique<TBench>();
  return *BenchHolder();
}

void BM_AddCameraPhotos20(benchmark::State& state) {
  const QStringList photos = CameraPhotos();
  if (photos.isEmpty()) {
    state.SkipWithError("no camera photos (set TAVROLIN_BENCH_PHOTOS)");
    return;
  }
  QStringList twenty;
  for (int i = 0; i < 20; ++i) twenty << photos[i % photos.size()];
  TFormMain& form = *Bench().Form;
  for (auto _ : state) {
    form.AddFileList(twenty);
    state.PauseTiming();
    form.ClearDocument();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 20);
}
BENCHMARK(BM_AddCameraPhotos20)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenDocument100(benchmark::State& state) {
  if (CameraPhotos().isEmpty()) {
    state.SkipWithError("no camera photos (set TAVROLIN_BENCH_PHOTOS)");
    return;
  }
  const QString doc = Bench().Document();
  TFormMain& form = *Bench().Form;
  state.counters["document MB"] = double(QFileInfo(doc).size()) / 1e6;
  for (auto _ : state) {
    form.OpenDocument(doc);
    state.PauseTiming();
    if (form.PhotoCount() != 100) state.SkipWithError("the document did not open");
    form.ClearDocument();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_OpenDocument100)->Unit(benchmark::kMillisecond)->Iterations(3);

// What opening costs per photo beside reading the document: Reload(false) of a photo of the
// opened document, from no pictures, as the reader does it. The photos are taken in turn, so
// the figure is their mean; opening the document costs at most 1.3 x 100 of it.
void BM_ReloadPreviewOfOpenedPhoto(benchmark::State& state) {
  if (CameraPhotos().isEmpty()) {
    state.SkipWithError("no camera photos (set TAVROLIN_BENCH_PHOTOS)");
    return;
  }
  const QString doc = Bench().Document();
  TFormMain& form = *Bench().Form;
  form.OpenDocument(doc);
  int next = 0;
  for (auto _ : state) {
    TShpora& photo = *form.Photo(next);
    next = (next + 1) % form.PhotoCount();
    photo.DropImages();
    photo.Reload(false);
  }
  form.ClearDocument();
}
BENCHMARK(BM_ReloadPreviewOfOpenedPhoto)->Unit(benchmark::kMillisecond);

void BM_SaveDocument100(benchmark::State& state) {
  if (CameraPhotos().isEmpty()) {
    state.SkipWithError("no camera photos (set TAVROLIN_BENCH_PHOTOS)");
    return;
  }
  const QString doc = Bench().Document();
  TFormMain& form = *Bench().Form;
  form.OpenDocument(doc);
  const QString target = Bench().Root.path() + QStringLiteral("/saved.TavDoc");
  for (auto _ : state) form.WriteDocument(target);
  state.SetBytesProcessed(state.iterations() * QFileInfo(target).size());
  form.ClearDocument();
}
BENCHMARK(BM_SaveDocument100)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  BenchHolder().reset();
  return 0;
}
