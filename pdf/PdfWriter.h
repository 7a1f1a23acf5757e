#pragma once
// TPdfWriter: a PDF of picture pages with an invisible text layer, written object by object
// onto a device, with a classic cross-reference table.
//
// Each page holds pictures and, over them, invisible words (text render mode 3) that viewers
// search, select and copy. A gray picture is stored losslessly as 8-bit gray (deflate with PNG
// row predictors), any other as JPEG (PdfImages.h). Pictures are written out as soon as they are
// drawn; only the current page's small content stream and fonts wait for the page's end.
//
// Coordinates are PDF points (1/72 inch) with y measured from the top of the page, as on the
// pictures. Every failure throws std::runtime_error with a message a user can read; a writer
// that has thrown writes nothing more.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QDateTime>
#include <QRectF>
#include <QString>

#include "FastDIB.h"

class QIODevice;

// A4 in points.
constexpr double kA4WidthPt = 595.2756;   // 210 mm
constexpr double kA4HeightPt = 841.8898;  // 297 mm

// One recognised word: its text (any Unicode) and its box on the page.
struct TPdfWord {
  QString Text;
  QRectF Box;  // points, y from the top of the page
};

// What the document's /Info says besides the producer, which is always "Tavrolin <version>".
struct TPdfInfo {
  QString Title;
  QDateTime Created = QDateTime::currentDateTime();
};

class TPdfWriter {
 public:
  // Writes onto `device`, which is open for writing and outlives the writer.
  explicit TPdfWriter(QIODevice& device);
  ~TPdfWriter();
  TPdfWriter(const TPdfWriter&) = delete;
  TPdfWriter& operator=(const TPdfWriter&) = delete;

  // Starts a page of the given size in points (both positive); the previous page is complete.
  void AddPage(double widthPt, double heightPt);
  // Draws an 8- or 24-bit picture stretched over `rectPt` of the current page. Throws without
  // a current page, for an empty picture or another depth.
  void DrawImage(const TFastDIB& image, const QRectF& rectPt);
  // Lays invisible words over the current page, in reading order. A word that starts left of
  // the middle of the previous one or whose middle lies outside its line's height starts a new
  // line; the words of
  // a line share one font size (the line's height) and are joined by spaces, each word's
  // letters stretched to fill its box. Words with no text or an empty box are left out.
  void AddInvisibleWords(const std::vector<TPdfWord>& words);
  // Completes the file: the last page, the page tree, /Info and the cross-reference table.
  // A document without pages is refused (std::runtime_error), as viewers reject one.
  void Finish(const TPdfInfo& info);

  int32_t PageCount() const;

 private:
  struct TState;
  std::unique_ptr<TState> State;
};

// Writes a whole PDF file at `path`: `addPages` fills the writer, then it is finished. The file
// is written beside its target and renamed over it only when complete, so a failure (a full
// disk, an exception from `addPages`) leaves any previous file as it was and no new one.
// Failures of the writing throw std::runtime_error naming the file and the reason ("Disk full");
// exceptions from `addPages` pass through unchanged.
void WritePdfFile(const QString& path, const TPdfInfo& info,
                  const std::function<void(TPdfWriter& writer)>& addPages);
