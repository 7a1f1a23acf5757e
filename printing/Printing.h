#pragma once
// Printing: every chosen sheet rendered at 12 pixels per millimetre (2520 x 3564) and stretched
// over the printable area of one page, one print job per copy.
//
// The print dialog is asked through IUserPrompts; what follows it needs only a QPrinter that is
// already set up (a CUPS printer, or PDF output for "Print to File" and the tests).
#include <cstdint>
#include <functional>
#include <vector>

#include <QString>

#include "Prompts.h"
#include "SheetLayout.h"
#include "SheetTexts.h"

class QPrinter;
class QWidget;
class TShpora;

// Printed sheets are rendered at 12 pixels per millimetre, about 305 dots per inch.
constexpr int32_t kPrintScale = 12;

// Sheets First..Last, 1-based; empty when Last < First.
struct TPrintRange {
  int32_t First = 1;
  int32_t Last = 0;
  bool IsEmpty() const { return Last < First; }
};

// The sheets the dialog's answer asks for: all pages (or a selection) means MinPage..MaxPage, a
// page range means FromPage..ToPage, kept inside MinPage..MaxPage so that no sheet beyond the
// document is printed.
TPrintRange PrintRange(const IUserPrompts::PrintChoice& choice);

// What is printed: the document's photos in list order, its layout and the margin texts.
struct TPrintSource {
  const std::vector<TShpora*>& Photos;
  TSheetLayout Layout;
  const TSheetTexts& Texts;
};

// Called before each job begins, with the copy's number from 1. The program passes none; tests
// give each copy's PDF its own file name.
using TPrintJobHook = std::function<void(QPrinter& printer, int32_t copy)>;

// Prints `range` `copies` times (nothing for an empty range or fewer than one copy): portrait,
// `title` as the job title, the printer's own copy count held at 1, one job per copy, one page
// per sheet and no trailing empty page. Photo pictures are rebuilt cell by cell and released
// again, so at most one full picture is held at a time.
// Before the first job every photo of the range is checked to have a readable working file, so
// the usual failure sends no job at all. A failure while a job runs (a damaged working file, the
// printer refusing a page) aborts that job and rethrows; PDF output is written beside the target
// and renamed over it only when the job is complete, so a failed job leaves no half-written
// file. Throws std::runtime_error with a readable message.
void PrintSheets(QPrinter& printer, const TPrintSource& source, const TPrintRange& range,
                 int32_t copies, const QString& title, const TPrintJobHook& beforeJob = {});

// The "Print photocopy" command: with no photos nothing is offered and no job is sent. Otherwise
// the dialog opens reset every time (copies 1, pages 1 to the sheet count, all pages) and, when
// the user confirms, the chosen sheets are printed. Returns whether anything was printed.
bool PrintDocument(IUserPrompts& prompts, QWidget* parent, QPrinter& printer,
                   const TPrintSource& source, const QString& title,
                   const TPrintJobHook& beforeJob = {});
