// One A4 page as our PDF writer stores it, against what other ways of making a PDF from the
// same pixels give: img2pdf from a PNG (lossless; its row is left out when img2pdf is missing)
// and the print-to-file PDF (QPrinter, the picture drawn over the A4 page).
//
// The pages are printed sheets (2520 x 3564 at 12 px/mm) of 25 photos, as the photocopy filter
// makes them (every pixel gray) and in colour. Photos come from TAVROLIN_BENCH_PHOTOS (a folder),
// or else /work/shared/photos. Sizes are counters in KB (1000 bytes). Run with
// QT_QPA_PLATFORM=offscreen where there is no display.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "FastDIB.h"
#include "PdfImages.h"
#include "PdfWriter.h"
#include "SheetRenderer.h"
#include "Shpora.h"

namespace {

QString PhotoFolder() {
  const QString chosen = qEnvironmentVariable("TAVROLIN_BENCH_PHOTOS");
  return chosen.isEmpty() ? QStringLiteral("/work/shared/photos") : chosen;
}

std::unique_ptr<TFastDIB> ToFastDIB(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_BGR888);
  auto dib = std::make_unique<TFastDIB>(image.width(), 24, image.height());
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(dib->Scanlines[static_cast<size_t>(image.height() - 1 - y)], image.constScanLine(y),
                static_cast<size_t>(image.width()) * 3);
  return dib;
}

// The two printed sheets, rendered once for the whole run.
struct TSheets {
  static TSheets& Get() {
    static TSheets sheets;
    return sheets;
  }
  std::unique_ptr<TFastDIB> Gray, Colour;
  QImage GrayImage, ColourImage;
  QTemporaryDir Work;

 private:
  TSheets() {
    std::vector<std::unique_ptr<TShpora>> records;
    const QDir folder(PhotoFolder());
    for (const QString& name : folder.entryList({"*.jpg", "*.jpeg", "*.JPG"}, QDir::Files))
      records.push_back(TShpora::CreateFromPhoto(folder.filePath(name), Work.path() + "/"));
    if (records.empty()) return;
    std::vector<TShpora*> photos;
    for (size_t k = 0; k < 25; ++k) photos.push_back(records[k % records.size()].get());
    TSheetLayout layout;
    layout.Rows = layout.Cols = 5;
    TSheetTexts texts;
    texts.ClearSheetTexts();
    texts.AddSheetText("Photocopies of books, documents and notes");
    auto render = [&](int imageType, QImage& image) {
      for (TShpora* photo : photos) {
        photo->ImageType = imageType;
        photo->Reload(false);
      }
      DrawSheet(image, 12, 0, layout, photos, texts, nullptr);
      return ToFastDIB(image);
    };
    Gray = render(1, GrayImage);
    Colour = render(0, ColourImage);
    records.clear();  // the photos' work files go before the folder
  }
};

const TFastDIB* Sheet(benchmark::State& state) {
  TSheets& sheets = TSheets::Get();
  const TFastDIB* sheet = state.range(0) == 0 ? sheets.Gray.get() : sheets.Colour.get();
  if (!sheet) state.SkipWithError("no photos in the photo folder");
  return sheet;
}

void Label(benchmark::State& state, const TFastDIB& sheet) {
  state.SetLabel(std::string(state.range(0) == 0 ? "photocopies" : "colour") +
                 (IsGrayPicture(sheet) ? ", every pixel gray" : ", colour pixels"));
}

void BM_PdfPage(benchmark::State& state) {
  const TFastDIB* sheet = Sheet(state);
  if (!sheet) return;
  qint64 size = 0;
  for (auto _ : state) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    TPdfWriter writer(buffer);
    writer.AddPage(kA4WidthPt, kA4HeightPt);
    writer.DrawImage(*sheet, QRectF(0, 0, kA4WidthPt, kA4HeightPt));
    writer.Finish({QStringLiteral("Sheet"), QDateTime::currentDateTime()});
    size = buffer.data().size();
  }
  state.counters["KB"] = static_cast<double>(size) / 1000.0;
  Label(state, *sheet);
}
BENCHMARK(BM_PdfPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The gray picture alone through the row filters and zlib levels the writer could use.
void BM_GrayFlate(benchmark::State& state) {
  state.SetLabel("photocopies");
  TSheets& sheets = TSheets::Get();
  if (!sheets.Gray) return state.SkipWithError("no photos in the photo folder");
  const TPngRowFilter filters[] = {TPngRowFilter::None, TPngRowFilter::Adaptive,
                                   TPngRowFilter::Auto};
  const TFlateSettings settings{static_cast<int>(state.range(0)),
                                filters[static_cast<size_t>(state.range(1))]};
  int64_t size = 0;
  for (auto _ : state) size = DeflateGrayRows(*sheets.Gray, settings, [](const char*, int64_t) {});
  state.counters["KB"] = static_cast<double>(size) / 1000.0;
}
BENCHMARK(BM_GrayFlate)
    ->ArgNames({"level", "filter"})  // filter 0 None, 1 Adaptive, 2 Auto
    ->ArgsProduct({{1, 6, 9}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// img2pdf from a PNG of the same pixels (8-bit gray for the photocopies, 24-bit RGB for
// colour); the time includes writing the PNG.
void BM_Img2pdf(benchmark::State& state) {
  const TFastDIB* sheet = Sheet(state);
  if (!sheet) return;
  const QString program = QStandardPaths::findExecutable("img2pdf");
  if (program.isEmpty()) return state.SkipWithError("img2pdf is not installed");
  TSheets& sheets = TSheets::Get();
  const QImage picture = state.range(0) == 0
                             ? sheets.GrayImage.convertToFormat(QImage::Format_Grayscale8)
                             : sheets.ColourImage.convertToFormat(QImage::Format_RGB888);
  QTemporaryDir dir;
  const QString png = dir.filePath("sheet.png"), pdf = dir.filePath("sheet.pdf");
  for (auto _ : state) {
    picture.save(png, "PNG");
    QProcess process;
    process.start(program, {"--pagesize", "A4", "-o", pdf, png});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
      return state.SkipWithError("img2pdf failed");
  }
  state.counters["KB"] = static_cast<double>(QFile(pdf).size()) / 1000.0;
  state.counters["png_KB"] = static_cast<double>(QFile(png).size()) / 1000.0;
  Label(state, *sheet);
}
BENCHMARK(BM_Img2pdf)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// Today's print to file: the sheet drawn over an A4 page of Qt's PDF printer.
void BM_PrintToFile(benchmark::State& state) {
  const TFastDIB* sheet = Sheet(state);
  if (!sheet) return;
  TSheets& sheets = TSheets::Get();
  const QImage& picture = state.range(0) == 0 ? sheets.GrayImage : sheets.ColourImage;
  QTemporaryDir dir;
  const QString pdf = dir.filePath("printed.pdf");
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setFullPage(true);
    QPainter painter(&printer);
    painter.drawImage(QRect(0, 0, printer.width(), printer.height()), picture);
    painter.end();
  }
  state.counters["KB"] = static_cast<double>(QFile(pdf).size()) / 1000.0;
  Label(state, *sheet);
}
BENCHMARK(BM_PrintToFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
