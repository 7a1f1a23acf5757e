#include "Printing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>

#include "SheetRenderer.h"
#include "Shpora.h"

namespace {

std::runtime_error PrintError(const QString& text) {
  return std::runtime_error(text.toStdString());
}

// PDF output goes to a temporary file beside the target and replaces the target only when the
// job ends complete: a job aborted half-way must not leave a half-written file where the user's
// file stood. Printers other than PDF files are left as they are.
class TPdfOutputJob {
 public:
  explicit TPdfOutputJob(QPrinter& printer) : Printer(printer) {
    if (printer.outputFormat() != QPrinter::PdfFormat || printer.outputFileName().isEmpty()) return;
    Target = printer.outputFileName();
    QTemporaryFile temp(Target + QStringLiteral(".XXXXXX"));
    temp.setAutoRemove(false);
    if (!temp.open())
      throw PrintError(
          QStringLiteral("Unable to write the file \"%1\": %2").arg(Target, temp.errorString()));
    Temp = temp.fileName();
    temp.close();
    // A temporary file is private (0600); the finished PDF gets the mode any new file of the
    // user gets, as if it had been written in place.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(QFile::encodeName(Temp).constData(), 0666 & ~mask);
    Printer.setOutputFileName(Temp);
  }

  ~TPdfOutputJob() {
    if (Temp.isEmpty()) return;
    Printer.setOutputFileName(Target);
    QFile::remove(Temp);
  }

  TPdfOutputJob(const TPdfOutputJob&) = delete;
  TPdfOutputJob& operator=(const TPdfOutputJob&) = delete;

  // The job has ended complete: the finished file replaces the target in one rename.
  void Commit() {
    if (Temp.isEmpty()) return;
    Printer.setOutputFileName(Target);
    if (std::rename(QFile::encodeName(Temp).constData(), QFile::encodeName(Target).constData()) !=
        0)
      throw PrintError(QStringLiteral("Unable to write the file \"%1\".").arg(Target));
    Temp.clear();
  }

 private:
  QPrinter& Printer;
  QString Target;
  QString Temp;
};

// A working file that vanished is the one failure that can be seen before any job starts.
void CheckWorkFiles(const TPrintSource& source, const TPrintRange& range) {
  const int32_t per = source.Layout.PerSheet();
  const int64_t count = static_cast<int64_t>(source.Photos.size());
  const int64_t first = static_cast<int64_t>(range.First - 1) * per;
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(range.Last) * per, count);
  for (int64_t k = std::max<int64_t>(first, 0); k < end; ++k) {
    const TShpora* photo = source.Photos[static_cast<size_t>(k)];
    if (photo == nullptr) continue;
    const QFileInfo info(photo->WorkFile);
    if (!info.isFile() || !info.isReadable())
      throw PrintError(QStringLiteral("Unable to print: the picture of photo %1 cannot be read "
                                      "(\"%2\" is missing).")
                           .arg(k + 1)
                           .arg(photo->WorkFile));
  }
}

void PrintOneJob(QPrinter& printer, QImage& sheet, const TPrintSource& source,
                 const TPrintRange& range) {
  TPdfOutputJob output(printer);
  QPainter painter;
  if (!painter.begin(&printer))
    throw PrintError(QStringLiteral("The printer \"%1\" could not start the print job.")
                         .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                              : printer.printerName()));
  try {
    // The sheet is stretched over the printable area as it is, aspect ratio uncorrected, and
    // copied pixel for pixel: no smoothing.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRect page(0, 0, printer.width(), printer.height());
    for (int32_t i = range.First; i <= range.Last; ++i) {
      DrawSheet(sheet, kPrintScale, i - 1, source.Layout, source.Photos, source.Texts, nullptr);
      painter.drawImage(page, sheet, sheet.rect());
      if (i != range.Last && !printer.newPage())
        throw PrintError(QStringLiteral("The printer refused a new page."));
    }
  } catch (...) {
    // Not every printing service can cancel a job once it runs; the job is ended either way so
    // that none stays open, and a PDF file in the making is thrown away.
    printer.abort();
    painter.end();
    throw;
  }
  if (!painter.end()) throw PrintError(QStringLiteral("The print job could not be finished."));
  output.Commit();
}

}  // namespace

TPrintRange PrintRange(const IUserPrompts::PrintChoice& choice) {
  TPrintRange range;
  if (choice.AllPages) {
    range.First = choice.MinPage;
    range.Last = choice.MaxPage;
  } else {
    range.First = std::max(choice.FromPage, choice.MinPage);
    range.Last = std::min(choice.ToPage, choice.MaxPage);
  }
  return range;
}

void PrintSheets(QPrinter& printer, const TPrintSource& source, const TPrintRange& range,
                 int32_t copies, const QString& title, const TPrintJobHook& beforeJob) {
  if (range.IsEmpty() || copies < 1 || source.Photos.empty()) return;
  CheckWorkFiles(source, range);

  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setDocName(title);
  // Copies are separate jobs; a printer that also made its own copies would multiply them.
  printer.setCopyCount(1);

  QImage sheet;  // one 2520 x 3564 bitmap for the whole command, sized by DrawSheet
  for (int32_t copy = 1; copy <= copies; ++copy) {
    if (beforeJob) beforeJob(printer, copy);
    PrintOneJob(printer, sheet, source, range);
  }
}

bool PrintDocument(IUserPrompts& prompts, QWidget* parent, QPrinter& printer,
                   const TPrintSource& source, const QString& title,
                   const TPrintJobHook& beforeJob) {
  const int32_t sheets = SheetCount(static_cast<int32_t>(source.Photos.size()), source.Layout);
  if (sheets <= 0) return false;

  // The dialog forgets the last choice: every print starts from one copy of all sheets.
  IUserPrompts::PrintChoice choice;
  choice.MinPage = 1;
  choice.MaxPage = sheets;
  choice.FromPage = 1;
  choice.ToPage = sheets;
  choice.Copies = 1;
  choice.AllPages = true;
  printer.setCopyCount(1);
  printer.setPrintRange(QPrinter::AllPages);
  printer.setFromTo(1, sheets);
  if (!prompts.Print(parent, printer, choice)) return false;

  const TPrintRange range = PrintRange(choice);
  if (range.IsEmpty() || choice.Copies < 1) return false;
  PrintSheets(printer, source, range, choice.Copies, title, beforeJob);
  return true;
}
