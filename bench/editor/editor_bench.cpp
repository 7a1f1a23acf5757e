// The editor's costs on a real camera photo: one parameter change of the open photo (reprocessing
// from the working JPEG plus the editor redraw) and one magnifier movement.
//
// The photo comes from TAVROLIN_BENCH_PHOTO, or else the first JPEG in /work/shared/photos.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.
#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include "EditorPage.h"
#include "SpinEdit.h"
#include "WaitProtocol.h"

namespace {

class TQuietWait : public IWaitProtocol {
 public:
  void ShowWait(const QString&, const QString&, int, int) override {}
  void SetProgress(int) override {}
  bool Running() const override { return true; }
  void Close() override {}
};

// A window that draws nothing: what is measured is the editor's own work.
class TQuietHost : public IEditorHost {
 public:
  void ShowPrintPreview() override {}
  void ShowOnImagePage(const QImage& picture) override {
    benchmark::DoNotOptimize(picture.constBits());
  }
  void RestoreImagePage() override {}
  void ActivateLeftPage(int) override {}
  void ActivateRightPage(int) override {}
  std::vector<TShpora*> Photos() override { return List; }
  void SetMainWindowEnabled(bool) override {}
  IWaitProtocol& Wait() override { return Waiting; }
  void ShowError(const QString& message) override { Error = message; }
  std::vector<TShpora*> List;
  TQuietWait Waiting;
  QString Error;
};

QString BenchPhoto() {
  const QString chosen = qEnvironmentVariable("TAVROLIN_BENCH_PHOTO");
  if (!chosen.isEmpty()) return chosen;
  const QStringList found = QDir(QStringLiteral("/work/shared/photos"))
                                .entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
  return found.isEmpty() ? QString() : QStringLiteral("/work/shared/photos/") + found.first();
}

// The photo imported into a private work folder and opened in an editor page.
struct TOpenPhoto {
  QTemporaryDir Dir;
  TQuietHost Host;
  std::unique_ptr<TShpora> Photo;
  std::unique_ptr<TEditorPage> Page;

  bool Open(benchmark::State& state, int imageType) {
    const QString path = BenchPhoto();
    if (path.isEmpty()) {
      state.SkipWithError("no photo: set TAVROLIN_BENCH_PHOTO");
      return false;
    }
    Photo = TShpora::CreateFromPhoto(path, Dir.path() + QStringLiteral("/"));
    Photo->ImageType = imageType;
    Host.List = {Photo.get()};
    Page = std::make_unique<TEditorPage>(Host);
    Page->SelectPhoto(Photo.get());
    return true;
  }
};

void BM_ParameterChange(benchmark::State& state) {
  TOpenPhoto open;
  if (!open.Open(state, static_cast<int>(state.range(0)))) return;
  int value = 1;
  for (auto _ : state) {
    value = value == 1 ? 2 : 1;
    open.Page->sSpinEdit1->SetValue(value);  // one change: reprocess, redraw
  }
  if (!open.Host.Error.isEmpty()) state.SkipWithError(open.Host.Error.toStdString().c_str());
  state.SetLabel(QStringLiteral("%1 x %2 working picture, %3")
                     .arg(open.Photo->FullImage->Width())
                     .arg(open.Photo->FullImage->AbsHeight)
                     .arg(state.range(0) ? QStringLiteral("grayscale") : QStringLiteral("colour"))
                     .toStdString());
}
BENCHMARK(BM_ParameterChange)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_MagnifierMove(benchmark::State& state) {
  TOpenPhoto open;
  if (!open.Open(state, 1)) return;
  open.Page->ImageShporaMouseMove(0, 0);  // builds the full picture once
  int x = 0;
  for (auto _ : state) {
    x = (x + 37) % 420;
    open.Page->ImageShporaMouseMove(x, (x * 7) % 594);
  }
}
BENCHMARK(BM_MagnifierMove)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
