// bench_fingerprint: one line per result of every hot path, on the real camera photos: a name and
// a 64-bit hash of the pixels (or bytes) it produced. An optimisation must leave every line as it
// was, so the output of a build before the change and after it are compared with diff:
//
//   bench_fingerprint > before.txt   ...change, rebuild...   bench_fingerprint | diff before.txt -
//
// The lines of the current code are kept in expected.txt beside this file, and the test
// `fingerprint` (with fingerprint_plain and fingerprint_one_thread) compares a run with them:
// a change that alters a line on purpose updates the file in the same commit.
//
// With --plain the vector loops are switched off, so the plain loops are compared as well;
// with --one-thread every pixel pass stays on the calling thread.
// It covers what the tests check on small pictures at the sizes the program meets: the import
// (working JPEG and preview), processing with both image types over a spread of parameters and
// every rotation, reloads, printed and previewed sheets, page exports, the resampling kernels,
// smoothing, rotation and the tone tables.
// Photos come from the folder TAVROLIN_BENCH_PHOTOS names (the tests pass ../shared/photos beside
// the source tree).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include "Codecs.h"
#include "FastDIB.h"
#include "SheetRenderer.h"
#include "Shpora.h"

namespace {

uint64_t Fnv(uint64_t h, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

uint64_t Hash(const TFastDIB& image) {
  uint64_t h = 14695981039346656037ull;
  const size_t used = size_t(RowBytesUsed(image.Width(), image.BitCount()));
  for (int32_t y = 0; y < image.AbsHeight; ++y) h = Fnv(h, image.Scanlines[size_t(y)], used);
  if (image.BitCount() <= 8) h = Fnv(h, reinterpret_cast<const uint8_t*>(image.Colors), 1024);
  return h;
}

uint64_t Hash(const QImage& image) {
  uint64_t h = 14695981039346656037ull;
  const size_t used = size_t(image.width()) * size_t(image.depth() / 8);
  for (int y = 0; y < image.height(); ++y) h = Fnv(h, image.constScanLine(y), used);
  return h;
}

uint64_t Hash(const QByteArray& bytes) {
  return Fnv(14695981039346656037ull, reinterpret_cast<const uint8_t*>(bytes.constData()),
             size_t(bytes.size()));
}

void Line(const QString& name, uint64_t h) {
  std::printf("%-60s %016llx\n", name.toUtf8().constData(), static_cast<unsigned long long>(h));
}

QString PhotoFolder() { return qEnvironmentVariable("TAVROLIN_BENCH_PHOTOS"); }

void Kernels(const QString& tag, const TFastDIB& upright) {
  // Every kernel, down to the preview and up from a small crop, at 24 bits; the preview kernel
  // and the cell kernel at 8 and 32 bits too.
  for (int filter = 0; filter <= 15; ++filter) {
    TFastDIB down(420, 24, 594);
    upright.ResampleInto(down, filter);
    Line(QStringLiteral("%1 resample f%2 down 420x594").arg(tag).arg(filter), Hash(down));
    TFastDIB crop;
    crop.AttachRegion(upright, 301, 407, 213, 171);
    TFastDIB up(611, 24, 493);
    crop.ResampleInto(up, filter);
    Line(QStringLiteral("%1 resample f%2 up 611x493").arg(tag).arg(filter), Hash(up));
  }
  TFastDIB gray;
  upright.ConvertToGray(gray);
  Line(tag + QStringLiteral(" gray"), Hash(gray));
  TFastDIB wide(upright.Width(), 32, upright.Height());
  upright.ConvertInto(wide);
  for (int filter : {1, 15}) {
    TFastDIB g(420, 8, 594), w(487, 32, 751), cell(609, 8, 792);
    gray.ResampleInto(g, filter);
    wide.ResampleInto(w, filter);
    gray.ResampleInto(cell, filter);
    Line(QStringLiteral("%1 resample f%2 8-bit").arg(tag).arg(filter), Hash(g));
    Line(QStringLiteral("%1 resample f%2 32-bit").arg(tag).arg(filter), Hash(w));
    Line(QStringLiteral("%1 resample f%2 8-bit cell").arg(tag).arg(filter), Hash(cell));
  }
  for (int d : {1, 2, 7, 21}) {
    TFastDIB s(gray.Width(), 8, gray.Height());
    gray.ConvertInto(s);
    s.SmoothPass(d);
    Line(QStringLiteral("%1 smooth8 d%2").arg(tag).arg(d), Hash(s));
    TFastDIB c(upright.Width(), 24, upright.Height());
    upright.ConvertInto(c);
    c.SmoothPass(d);
    Line(QStringLiteral("%1 smooth24 d%2").arg(tag).arg(d), Hash(c));
  }
  for (double angle : {90.0, -90.0, 180.0, 30.0}) {
    const bool quarter = angle == 90.0 || angle == -90.0;
    TFastDIB t(quarter ? upright.AbsHeight : upright.Width(), 24,
               quarter ? upright.Width() : upright.AbsHeight);
    upright.RotateInto(t, 65536, angle);
    Line(QStringLiteral("%1 rotate %2").arg(tag).arg(angle), Hash(t));
  }
  TFastDIB q(731, 24, 977);
  upright.QuickResizeInto(q);
  Line(tag + QStringLiteral(" quickresize 731x977"), Hash(q));
  for (int a : {-200, -60, 0, 30, 130}) {
    TFastDIB c(upright.Width(), 24, upright.Height());
    upright.ConvertInto(c);
    c.ApplyBrightness(a, a, a);
    c.ApplyContrast(a / 2, a, -a);
    c.ApplyGamma(0.7, 1.0, 1.6);
    Line(QStringLiteral("%1 tone %2").arg(tag).arg(a), Hash(c));
  }
}

struct TParams {
  int32_t Rotation, ImageType, Brightness, Contrast;
};

void Records(const QString& tag, TShpora& record) {
  const TParams params[] = {{1, 1, 1, 1},    {0, 1, 1, 1},    {2, 1, 0, 0}, {3, 1, 20, 9},
                            {1, 1, -5, -9},  {1, 1, 7, 4},    {1, 0, 0, 0}, {0, 0, 3, -2},
                            {2, 0, -20, 20}, {3, 0, 20, -20}, {1, 1, 2, 12}};
  const TShporaData saved = record;
  for (const TParams& p : params) {
    record.Rotation = p.Rotation;
    record.ImageType = p.ImageType;
    record.Brightness = p.Brightness;
    record.Contrast = p.Contrast;
    record.DropImages();
    record.Reload(true);
    const QString name = QStringLiteral("%1 r%2 t%3 b%4 c%5")
                             .arg(tag)
                             .arg(p.Rotation)
                             .arg(p.ImageType)
                             .arg(p.Brightness)
                             .arg(p.Contrast);
    Line(name + QStringLiteral(" full"), Hash(*record.FullImage));
    Line(name + QStringLiteral(" preview"), Hash(*record.Preview));
    record.Reload(false);
    Line(name + QStringLiteral(" preview again"),
         Hash(*record.Preview) ^ (record.FullImage ? 1 : 0));
  }
  static_cast<TShporaData&>(record) = saved;
  record.DropImages();
  record.Reload(false);
}

void Sheets(const std::vector<TShpora*>& photos, const std::vector<TShpora*>& distinct,
            const QTemporaryDir& dir) {
  TSheetTexts texts;
  texts.ClearSheetTexts();
  texts.AddSheetText(QStringLiteral("http://tavrolin.example"));
  texts.AddSheetText(QStringLiteral("Photocopies of books, documents and notes"));
  for (int n : {1, 2, 4, 5}) {
    TSheetLayout layout;
    layout.Rows = n;
    layout.Cols = n == 2 ? 3 : n;
    layout.Order = n == 4 ? 1 : 0;
    QImage print, preview;
    DrawSheet(print, 12, 0, layout, photos, texts, nullptr);
    Line(QStringLiteral("sheet print %1x%2").arg(layout.Rows).arg(layout.Cols), Hash(print));
    DrawSheet(preview, 2, 0, layout, photos, texts, photos[0]);
    Line(QStringLiteral("sheet preview %1x%2").arg(layout.Rows).arg(layout.Cols), Hash(preview));
    bool anyFull = false;
    for (TShpora* p : photos) anyFull = anyFull || p->FullImage != nullptr;
    Line(QStringLiteral("sheet print %1x%2 leaves full images").arg(layout.Rows).arg(layout.Cols),
         anyFull);
  }
  int k = 0;
  for (TShpora* p : distinct) {
    const QString png = dir.filePath(QStringLiteral("page%1.png").arg(k));
    const QString jpg = dir.filePath(QStringLiteral("page%1.jpg").arg(k));
    p->ExportPage(png, true, 0, 0);
    p->ExportPage(jpg, false, 640, 480);
    Line(QStringLiteral("export png %1").arg(k), Hash(ReadWholeFile(png)));
    Line(QStringLiteral("export jpg sized %1").arg(k), Hash(ReadWholeFile(jpg)));
    ++k;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (PhotoFolder().isEmpty()) {
    std::fprintf(stderr, "TAVROLIN_BENCH_PHOTOS names no folder of photos\n");
    return 1;
  }
  if (QCoreApplication::arguments().contains(QStringLiteral("--plain")))
    SetVectorLoopsEnabled(false);
  if (QCoreApplication::arguments().contains(QStringLiteral("--one-thread"))) SetPixelThreads(1);
  QTemporaryDir dir;
  const QString work = dir.path() + QStringLiteral("/work/");
  QDir().mkpath(work);
  const QDir source(PhotoFolder());
  std::vector<std::unique_ptr<TShpora>> records;
  for (const QString& name : source.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name)) {
    const QString tag = name.section(QLatin1Char('_'), 0, 0);
    auto record = TShpora::CreateFromPhoto(source.filePath(name), work);
    Line(tag + QStringLiteral(" import working jpeg"), Hash(ReadWholeFile(record->WorkFile)));
    Line(tag + QStringLiteral(" import preview"), Hash(*record->Preview));
    Line(tag + QStringLiteral(" import rotation"), uint64_t(record->Rotation));
    record->Reload(true);
    Kernels(tag, *record->FullImage);
    record->DropFullImage();
    Records(tag, *record);
    records.push_back(std::move(record));
  }
  if (records.empty()) {
    std::fprintf(stderr, "no photos in %s\n", PhotoFolder().toUtf8().constData());
    return 1;
  }
  std::vector<TShpora*> photos, distinct;
  for (int k = 0; k < 25; ++k) photos.push_back(records[size_t(k) % records.size()].get());
  for (auto& r : records) distinct.push_back(r.get());
  // Every cell its own crop, so that the cells differ.
  for (size_t k = 0; k < records.size(); ++k) {
    records[k]->CropLeft = 13 + int32_t(k) * 17;
    records[k]->CropTop = 29 + int32_t(k) * 11;
  }
  Sheets(photos, distinct, dir);
  return 0;
}
