#pragma once
// The command line of tavrolin-cli taken apart: options and their values are checked here, before
// any photo or document is touched, so a mistyped command changes nothing. Every check that
// fails throws TUsageError, which the program reports with exit status 2.
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <vector>

#include <QString>
#include <QStringList>

#include "PageWarp.h"

// A command line that cannot be carried out as written.
class TUsageError : public std::runtime_error {
 public:
  explicit TUsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// One option a subcommand accepts: "--rows N" has a value, "--json" has none. `ShortName` is an
// optional one-letter alias such as "-o".
struct TOptionSpec {
  TOptionSpec(const QString& name, bool takesValue = true, const QString& shortName = QString())
      : Name(name), TakesValue(takesValue), ShortName(shortName) {}
  QString Name;
  bool TakesValue = true;
  QString ShortName;
};

// A subcommand's arguments sorted into positional arguments and options.
struct TParsedArgs {
  QStringList Positional;
  std::map<QString, QString> Values;  // option name (with "--") -> value; "" for flags
  bool Help = false;

  bool Has(const QString& name) const { return Values.count(name) != 0; }
  QString Value(const QString& name) const;
};

// Splits `args` by `specs`. Accepts "--name value", "--name=value" and the short alias followed
// by its value; "--help" and "-h" anywhere set Help; "--" ends the options. An unknown option,
// a missing value, a value given to a flag or an option given twice is a usage error.
TParsedArgs SplitArguments(const QStringList& args, const std::vector<TOptionSpec>& specs);

// A whole number in lo..hi for `option`, in plain decimal with an optional sign.
int32_t ParseIntInRange(const QString& option, const QString& text, int32_t lo, int32_t hi);

// "rows" -> 0, "columns" -> 1: the item index of the fill order.
int32_t ParseOrder(const QString& text);
// "colored" -> 0, "grayscale" -> 1: the item index of the image type.
int32_t ParseImageType(const QString& text);
// "no" -> 0, "90cw" -> 1, "90ccw" -> 2, "180" -> 3: the item index of the rotation.
int32_t ParseRotation(const QString& text);

// Which photos `set` changes: all, the odd or even list positions (counted from 1, as
// "Apply to many..." counts them), or a list of positions.
struct TPhotoSelection {
  enum class Kind { All, Odd, Even, List };
  Kind What = Kind::All;
  std::vector<int32_t> Positions;  // 1-based, for List, in the order given, no duplicates
};
TPhotoSelection ParsePhotoSelection(const QString& text);
// The 0-based list indexes the selection picks in a document of `count` photos, ascending.
// A position beyond the document is a usage error.
std::vector<int32_t> SelectedIndexes(const TPhotoSelection& selection, int32_t count);

// The four crop edges in the 420 x 594 reference frame.
struct TCropEdges {
  int32_t Left = 0, Right = 0, Top = 0, Bottom = 0;
};
// "LEFT,RIGHT,TOP,BOTTOM", each edge where the editor's handles can put it: left and top from 1,
// right up to 416, bottom up to 589, and opposite edges at least 20 units apart.
TCropEdges ParseCrop(const QString& text);

// --straighten: find the page (auto), drop the corners (off), or these corners.
struct TStraightenChoice {
  enum class Kind { Auto, Off, Corners };
  Kind What = Kind::Auto;
  TPageQuad Corners;  // for Corners: top-left, top-right, bottom-right, bottom-left
};
// "auto", "off" or "X1,Y1,X2,Y2,X3,Y3,X4,Y4" (finite numbers, working-JPEG pixels).
TStraightenChoice ParseStraighten(const QString& text);

// "A-B" or "A": sheets A to B, 1-based, A <= B.
struct TSheetRange {
  int32_t First = 1, Last = 1;
};
TSheetRange ParseSheetRange(const QString& text);

// The range's sheets must exist in a document of `sheetCount` sheets.
void CheckSheetRange(const TSheetRange& range, int32_t sheetCount);

// "jpg" -> 0, "png" -> 1: the export format index.
int32_t ParseExportFormat(const QString& text);
