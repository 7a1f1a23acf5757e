#pragma once
// Text recognition of page pictures through Tesseract 5, for the invisible text of saved PDFs.
//
// Every call makes its own recogniser and drops it before returning, so calls share nothing and
// may run at once on several pages from several threads. Languages are Tesseract's names
// ("eng", "deu", "fra", "rus"; several joined with '+', "deu+eng"), each an installed
// <name>.traineddata of the data folder. Failures throw std::runtime_error with a message a
// user can read.
#include <cstdint>
#include <optional>
#include <vector>

#include <QRect>
#include <QString>
#include <QStringList>

#include "FastDIB.h"

// One recognised word: its text, its box in picture pixels (y from the top), Tesseract's
// confidence 0..100 and the number of its text line on the page, from 0 in reading order.
struct TOcrWord {
  QString Text;
  QRect Box;
  float Confidence = 0;
  int32_t Line = 0;
};

// The folder of the language data: TESSDATA_PREFIX when set (the folder itself, or one with a
// tessdata folder inside), else the first of Debian's folders that exists; empty when none does.
QString OcrDataFolder();

// The installed recognition languages, sorted ("deu", "eng", ...); the orientation data ("osd")
// is not a language and is left out. Empty without a data folder.
QStringList InstalledOcrLanguages();

// Recognises the words of an 8-bit (through its colour table) or 24-bit page picture whose
// resolution is `dpi`, in reading order. An empty picture gives no words. Throws for another
// depth and for a language that is not installed.
std::vector<TOcrWord> RecogniseWords(const TFastDIB& page, const QString& language, int dpi = 300);

// How far the page's text is turned clockwise: 0, 90, 180 or 270 (turning the picture back by
// as much counter-clockwise sets it upright), or nothing when the orientation cannot be told
// (too little text, a picture without writing). Throws like RecogniseWords when the orientation
// data ("osd") is not installed.
std::optional<int> DetectPageTurn(const TFastDIB& page, int dpi = 300);
