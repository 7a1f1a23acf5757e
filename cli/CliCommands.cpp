#include "CliCommands.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <stdexcept>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

#include "ApplyToMany.h"
#include "CliArgs.h"
#include "Codecs.h"
#include "CropRules.h"
#include "ExportImages.h"
#include "PageFind.h"
#include "PhotoDocument.h"
#include "PhotoOrder.h"
#include "Printing.h"
#include "SheetRenderer.h"
#include "Site.h"
#include "TerminalWait.h"

namespace {

const QString kProgram = QStringLiteral("tavrolin-cli");

// The editor's ranges for the two adjustment values and the layout.
// Copies are separate print jobs; a number beyond this is a typing mistake, not a wish.
constexpr int32_t kMaxCopies = 999;
// The sheet scales a user can ask for: the preview's and the printer's.
constexpr int32_t kPreviewScale = 2;

const char* const kProgramHelp =
    "Usage: tavrolin-cli COMMAND [ARGUMENTS]\n"
    "\n"
    "Makes paper photocopies from photos of pages without a window: the same import,\n"
    "processing, sheets, printing and export as Tavrolin, for scripts and batches.\n"
    "\n"
    "Commands:\n"
    "  new DOC.TavDoc PHOTO.jpg...   import photos into a new document\n"
    "  add DOC.TavDoc PHOTO.jpg...   add photos to a document\n"
    "  info DOC.TavDoc [--json]      show the layout and every photo's settings\n"
    "  set DOC.TavDoc OPTIONS        change photo settings and the layout\n"
    "  sheet DOC.TavDoc --page N -o SHEET.png\n"
    "                                draw one sheet into a PNG file\n"
    "  print DOC.TavDoc (--pdf OUT.pdf | --printer NAME)\n"
    "                                print the sheets, or write them as PDF\n"
    "  export DOC.TavDoc FOLDER      write every page as a numbered JPG or PNG file\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help; 'tavrolin-cli COMMAND --help' shows a command's help\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 on success, 1 when the work failed, 2 when the command line is wrong.\n";

const char* const kLayoutOptionsHelp =
    "  --rows N              rows of photos on a sheet, 1 to 5 (new documents: 4)\n"
    "  --columns N           columns of photos on a sheet, 1 to 5 (new documents: 4)\n"
    "  --order rows|columns  fill the sheets row by row or column by column\n"
    "                        (new documents: rows)\n";

const char* const kImportStraightenHelp =
    "  --straighten auto     look for the page in every photo and straighten the photo by\n"
    "                        it; the photos where no page is found are added as they lie\n"
    "                        and named, and the exit status is then 1\n";

const std::map<QString, QString>& CommandHelps() {
  static const std::map<QString, QString> helps = {
      {QStringLiteral("new"),
       QStringLiteral(
           "Usage: tavrolin-cli new DOC.TavDoc PHOTO.jpg... [--rows N] [--columns N]\n"
           "                        [--order rows|columns] [--straighten auto]\n"
           "\n"
           "Imports the photos into a new document, in the order \"Add photos\" gives them:\n"
           "sorted by name, ignoring letter case. Names that do not end in .jpg or .jpeg are\n"
           "skipped with a warning. An existing DOC is never replaced; a DOC without an\n"
           "extension gets \".TavDoc\".\n"
           "\n") +
           QLatin1String(kLayoutOptionsHelp) + QLatin1String(kImportStraightenHelp)},
      {QStringLiteral("add"),
       QStringLiteral(
           "Usage: tavrolin-cli add DOC.TavDoc PHOTO.jpg... [--straighten auto]\n"
           "\n"
           "Adds the photos to the document the way Tavrolin adds photos to an opened\n"
           "document: sorted by name, each goes before the first photo whose \"Path\" column\n"
           "sorts after the new photo's full path. Photos read from a document show the\n"
           "document's name in that column, and a full path (starting with \"/\") sorts before\n"
           "any name, so the new photos come before the document's own. Names that do not end\n"
           "in .jpg or .jpeg are skipped with a warning. The document is saved in place.\n"
           "\n") +
           QLatin1String(kImportStraightenHelp)},
      {QStringLiteral("info"),
       QStringLiteral(
           "Usage: tavrolin-cli info DOC.TavDoc [--json]\n"
           "\n"
           "Shows the layout (rows, columns, fill order, number of sheets) and, for every photo\n"
           "in order, its title, its eight parameters (rotation, image type, brightness,\n"
           "contrast, and the crop edges left, right, top and bottom in the 420 x 594 frame),\n"
           "its page corners and whether it is straightened by them, and the size in bytes and\n"
           "pixels of its working JPEG. Corners are in the working JPEG's pixels, x to the right\n"
           "and y down from its top-left corner, before any rotation.\n"
           "\n"
           "  --json    the same as one JSON object on standard output\n")},
      {QStringLiteral("set"),
       QStringLiteral(
           "Usage: tavrolin-cli set DOC.TavDoc [--photos all|odd|even|N[,M...]]\n"
           "           [--type colored|grayscale] [--rotate no|90cw|90ccw|180]\n"
           "           [--brightness V] [--contrast V] [--crop LEFT,RIGHT,TOP,BOTTOM]\n"
           "           [--straighten auto|off|X1,Y1,X2,Y2,X3,Y3,X4,Y4]\n"
           "           [--rows N] [--columns N] [--order rows|columns]\n"
           "\n"
           "Changes the settings of some photos, or the layout, and saves the document in\n"
           "place. Values are checked against the editor's ranges.\n"
           "\n"
           "  --photos WHICH        the photos to change: all (the default), odd or even\n"
           "                        positions (1st, 3rd, ... or 2nd, 4th, ...), or photo\n"
           "                        numbers counted from 1, separated by commas\n"
           "  --type colored|grayscale\n"
           "                        colour, or the black-on-white photocopy rendering\n"
           "  --rotate no|90cw|90ccw|180\n"
           "                        a quarter turn clockwise or counter-clockwise, or a half turn\n"
           "  --brightness V        -20 to 20\n"
           "  --contrast V          -20 to 20\n"
           "  --crop L,R,T,B        the crop edges in the 420 x 594 frame of the page: left and\n"
           "                        top at least 1, right at most 416, bottom at most 589, and\n"
           "                        opposite edges at least 20 apart\n"
           "  --straighten auto     find the page in each photo and straighten the photo by its\n"
           "                        corners (the crop is widened to the whole page); photos\n"
           "                        where no page is found are named and stay as they are, and\n"
           "                        the exit status is then 1\n"
           "  --straighten off      process the photos as they lie and forget their corners\n"
           "  --straighten X1,Y1,X2,Y2,X3,Y3,X4,Y4\n"
           "                        straighten by these corners: top-left, top-right,\n"
           "                        bottom-right, bottom-left of the page, in the working JPEG's\n"
           "                        pixels (as 'info' shows them); a corner may lie outside the\n"
           "                        picture by a tenth of its longer side\n") +
           QLatin1String(kLayoutOptionsHelp)},
      {QStringLiteral("sheet"),
       QStringLiteral(
           "Usage: tavrolin-cli sheet DOC.TavDoc --page N [--scale 2|12] -o SHEET.png\n"
           "\n"
           "Draws sheet N (counted from 1) into a PNG file: at scale 2 (the default) as the\n"
           "page preview shows it, 420 x 594 pixels; at scale 12 as the printer receives it,\n"
           "2520 x 3564 pixels, with photo numbers and margin texts.\n"
           "\n"
           "  --page N              the sheet, 1 to the number of sheets\n"
           "  --scale 2|12          pixels per millimetre\n"
           "  -o, --output FILE     the PNG file to write (replaced if it exists)\n")},
      {QStringLiteral("print"),
       QStringLiteral(
           "Usage: tavrolin-cli print DOC.TavDoc (--pdf OUT.pdf | --printer NAME)\n"
           "           [--pages A-B] [--copies N]\n"
           "\n"
           "Prints the sheets as \"Print photocopy\" does: every sheet at 12 pixels per\n"
           "millimetre over the whole printable area of an A4 page in portrait orientation,\n"
           "one print job per copy.\n"
           "\n"
           "  --pdf OUT.pdf         write the job to a PDF file instead; every copy is its own\n"
           "                        job and so its own file: with more than one copy, copy 1\n"
           "                        is OUT.pdf and copy K is OUT-K.pdf\n"
           "  --printer NAME        the printer (CUPS queue) to print on\n"
           "  --pages A-B           sheets A to B (default: all); one number prints one sheet\n"
           "  --copies N            1 to 999 copies (default 1)\n")},
      {QStringLiteral("export"),
       QStringLiteral(
           "Usage: tavrolin-cli export DOC.TavDoc FOLDER [--prefix P] [--format jpg|png]\n"
           "\n"
           "Writes every page, processed and cropped, at its full size with the caption line,\n"
           "as FOLDER/P000.jpg, P001.jpg, ...: the number is the photo's position counted from\n"
           "0, at least three digits. Files of those names are replaced; FOLDER is created when\n"
           "missing.\n"
           "\n"
           "  --prefix P            the file name prefix (default \"TavDoc\")\n"
           "  --format jpg|png      JPEG at quality 90 (the default) or PNG\n")},
  };
  return helps;
}

const std::vector<TOptionSpec>& CommandOptions(const QString& command) {
  static const std::vector<TOptionSpec> layout = {
      {QStringLiteral("--rows")}, {QStringLiteral("--columns")}, {QStringLiteral("--order")}};
  static const std::vector<TOptionSpec> newOptions = {{QStringLiteral("--rows")},
                                                      {QStringLiteral("--columns")},
                                                      {QStringLiteral("--order")},
                                                      {QStringLiteral("--straighten")}};
  static const std::map<QString, std::vector<TOptionSpec>> options = {
      {QStringLiteral("new"), newOptions},
      {QStringLiteral("add"), {{QStringLiteral("--straighten")}}},
      {QStringLiteral("info"), {TOptionSpec(QStringLiteral("--json"), false)}},
      {QStringLiteral("set"),
       {{QStringLiteral("--photos")},
        {QStringLiteral("--type")},
        {QStringLiteral("--rotate")},
        {QStringLiteral("--brightness")},
        {QStringLiteral("--contrast")},
        {QStringLiteral("--crop")},
        {QStringLiteral("--straighten")},
        {QStringLiteral("--rows")},
        {QStringLiteral("--columns")},
        {QStringLiteral("--order")}}},
      {QStringLiteral("sheet"),
       {{QStringLiteral("--page")},
        {QStringLiteral("--scale")},
        TOptionSpec(QStringLiteral("--output"), true, QStringLiteral("-o"))}},
      {QStringLiteral("print"),
       {{QStringLiteral("--pdf")},
        {QStringLiteral("--printer")},
        {QStringLiteral("--pages")},
        {QStringLiteral("--copies")}}},
      {QStringLiteral("export"), {{QStringLiteral("--prefix")}, {QStringLiteral("--format")}}},
  };
  return options.at(command);
}

// --- Small helpers ---

void ExpectPositional(const TParsedArgs& args, qsizetype least, qsizetype most,
                      const QString& what) {
  const qsizetype n = args.Positional.size();
  if (n < least) throw TUsageError(QStringLiteral("missing %1").arg(what));
  if (most >= 0 && n > most) {
    throw TUsageError(QStringLiteral("unexpected argument \"%1\"").arg(args.Positional[most]));
  }
}

// The layout options over `layout`; returns whether any was given.
bool ApplyLayoutOptions(const TParsedArgs& args, TDocumentLayout& layout) {
  bool any = false;
  if (args.Has(QStringLiteral("--rows"))) {
    layout.Rows = ParseIntInRange(QStringLiteral("--rows"), args.Value(QStringLiteral("--rows")),
                                  kLayoutMinCells, kLayoutMaxCells);
    any = true;
  }
  if (args.Has(QStringLiteral("--columns"))) {
    layout.Columns =
        ParseIntInRange(QStringLiteral("--columns"), args.Value(QStringLiteral("--columns")),
                        kLayoutMinCells, kLayoutMaxCells);
    any = true;
  }
  if (args.Has(QStringLiteral("--order"))) {
    layout.Order = ParseOrder(args.Value(QStringLiteral("--order")));
    any = true;
  }
  return any;
}

// The photos must be there before any of them is imported: a missing tenth photo should not
// cost the time of importing nine.
void CheckPhotoFiles(const QStringList& names) {
  for (const QString& name : names) {
    if (!IsJpegName(name)) continue;
    const QFileInfo info(name);
    if (!info.exists()) {
      throw std::runtime_error(QStringLiteral("%1: File not found").arg(name).toStdString());
    }
    if (!info.isFile() || !info.isReadable()) {
      throw std::runtime_error(QStringLiteral("%1: File access denied").arg(name).toStdString());
    }
  }
}

void ThrowIfInterrupted(const TPhotoDocument& document, const QString& what) {
  if (!document.Complete() || InterruptRequested()) {
    throw std::runtime_error(QStringLiteral("interrupted; %1").arg(what).toStdString());
  }
}

// Opens the document at `path` for a command. A file that is not a document, or of another
// version, is an error here (the window ignores it silently; a command must say why it did
// nothing). A command that writes the document back holds its lock from before the reading to
// the end of the writing, so no other writer's change can slip in between.
void OpenDocument(TPhotoDocument& document, const QString& path, TCliIo& io,
                  TPhotoDocument::TLockUse lock = TPhotoDocument::TLockUse::None) {
  const TPhotoDocument::TOpenResult opened = document.Open(path, io.Wait, {}, lock);
  if (opened.What == TPhotoDocument::TOpenResult::NotDocument) {
    throw NamedError(path, QStringLiteral("not a Tavrolin document"));
  }
  if (opened.What == TPhotoDocument::TOpenResult::OtherVersion) {
    throw NamedError(path,
                     QStringLiteral("document version %1 is not supported").arg(opened.Version));
  }
  ThrowIfInterrupted(document, QStringLiteral("nothing was written"));
  if (!opened.Warning.isEmpty()) {
    io.Err << kProgram << ": warning: " << opened.Warning << "\n";
    io.Err.flush();
  }
}

// "--straighten auto" is all an import can be asked for: corners typed by hand belong to one
// photo already in a document.
bool ImportStraightens(const TParsedArgs& args) {
  if (!args.Has(QStringLiteral("--straighten"))) return false;
  if (ParseStraighten(args.Value(QStringLiteral("--straighten"))).What !=
      TStraightenChoice::Kind::Auto)
    throw TUsageError(
        QStringLiteral("--straighten: photos being imported can only be straightened by the page "
                       "found in them (auto); use 'tavrolin-cli set' for corners of your own"));
  return true;
}

// Imports the photos; with `straighten`, `pageless` receives the titles of the photos in which
// no page was found.
int32_t AddPhotos(TPhotoDocument& document, const QStringList& names, TCliIo& io,
                  bool straighten = false, QStringList* pageless = nullptr) {
  TAddPhotoOptions options;
  options.StraightenFound = straighten;
  const auto added = [&](int32_t row) {
    if (straighten && pageless && !document.Photo(row)->Page.HasCorners)
      *pageless << document.Row(row).Title;
  };
  const int32_t count = document.AddPhotoFiles(
      names, io.Wait, added,
      [&](const QString& name) {
        io.Err << kProgram << ": skipped " << name << ": not a JPEG file by name\n";
        io.Err.flush();
      },
      options);
  ThrowIfInterrupted(document, QStringLiteral("nothing was written"));
  return count;
}

// The exit status once the document is written: 1, naming them, when some photos had no page.
int ReportPageless(const QStringList& pageless, const QString& what, TCliIo& io) {
  if (pageless.isEmpty()) return kExitOk;
  io.Err << kProgram << ": no page found in " << pageless.join(QStringLiteral(", ")) << "; " << what
         << "\n";
  io.Err.flush();
  return kExitFailed;
}

QString DocumentTitle(const QString& path) {
  return QStringLiteral("Tavrolin ") + tavrolin::ProgramVersion() + QStringLiteral(" - [") +
         QFileInfo(path).fileName() + QStringLiteral("]");
}

TSheetTexts MarginTexts() {
  TSheetTexts texts;
  texts.ClearSheetTexts();
  texts.AddSheetText(tavrolin::SiteAddress());
  return texts;
}

QString OrderName(int32_t order) {
  return order == 0 ? QStringLiteral("by rows") : QStringLiteral("by columns");
}

QString RotationName(int32_t rotation) {
  switch (rotation) {
    case 1:
      return QStringLiteral("90cw");
    case 2:
      return QStringLiteral("90ccw");
    case 3:
      return QStringLiteral("180");
    default:
      return QStringLiteral("no");
  }
}

QString TypeName(int32_t type) {
  return type == 0 ? QStringLiteral("colored") : QStringLiteral("grayscale");
}

// A stored value outside the editor's choices is shown with its number, since it is kept as is.
QString Choice(const QString& name, int32_t value, int32_t first, int32_t last) {
  if (value >= first && value <= last) return name;
  return QStringLiteral("%1 (%2)").arg(name).arg(value);
}

struct TJpegFacts {
  int64_t Bytes = 0;
  int32_t Width = 0, Height = 0;
  QString Problem;  // why the header could not be read; empty when it could
};

TJpegFacts JpegFacts(const QString& path) {
  TJpegFacts facts;
  facts.Bytes = QFileInfo(path).size();
  try {
    const JpegHeader header = ReadJpegHeader(path);
    facts.Width = header.Width;
    facts.Height = header.Height;
  } catch (const std::exception& e) {
    facts.Problem = QString::fromStdString(e.what());
  }
  return facts;
}

// "-" without corners; otherwise "on" or "off" and the four corners as x,y pairs.
QString PageText(const TPageGeometry& page) {
  if (!page.HasCorners) return QStringLiteral("-");
  QStringList corners;
  for (const TPagePoint& c : page.Corners.Corners)
    corners << QStringLiteral("%1,%2").arg(c.X, 0, 'g', 7).arg(c.Y, 0, 'g', 7);
  return (page.Straighten ? QStringLiteral("on ") : QStringLiteral("off ")) + corners.join(u' ');
}

QJsonValue CornersJson(const TPageGeometry& page) {
  if (!page.HasCorners) return QJsonValue();
  QJsonArray corners;
  for (const TPagePoint& c : page.Corners.Corners) corners.append(QJsonArray{c.X, c.Y});
  return corners;
}

// --- The subcommands ---

int RunNew(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, -1, QStringLiteral("the document to create"));
  ExpectPositional(args, 2, -1, QStringLiteral("the photos to import"));
  QString path = args.Positional[0];
  if (IsJpegName(path)) {
    throw TUsageError(QStringLiteral("%1 is a photo's name; the first argument names the "
                                     "document to create, such as book.TavDoc")
                          .arg(path));
  }
  // As the save dialog does: a name typed without an extension gets the document's.
  if (FileExtension(QFileInfo(path).fileName()).isEmpty()) path += QStringLiteral(".TavDoc");
  TPhotoDocument document;
  ApplyLayoutOptions(args, document.Layout);
  const bool straighten = ImportStraightens(args);
  // Held from before the name is found free: a second "new" of the same name waits, then finds
  // the first one's document there instead of writing over it.
  document.LockFile(path);
  if (QFileInfo::exists(path)) {
    throw std::runtime_error(
        QStringLiteral("%1 exists already; use 'tavrolin-cli add' to add photos to it")
            .arg(path)
            .toStdString());
  }
  // The folder must be there before the photos are imported, not found missing afterwards.
  const QFileInfo target(path);
  if (!target.absoluteDir().exists()) {
    throw std::runtime_error(
        QStringLiteral("%1: the folder does not exist").arg(target.absolutePath()).toStdString());
  }
  const QStringList photos = args.Positional.mid(1);
  CheckPhotoFiles(photos);
  QStringList pageless;
  if (AddPhotos(document, photos, io, straighten, &pageless) == 0) {
    throw std::runtime_error("no photos to import: none of the names ends in .jpg or .jpeg");
  }
  document.Save(path);
  return ReportPageless(pageless, QStringLiteral("they are imported as they lie"), io);
}

int RunAdd(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, -1, QStringLiteral("the document"));
  ExpectPositional(args, 2, -1, QStringLiteral("the photos to add"));
  const QString path = args.Positional[0];
  const QStringList photos = args.Positional.mid(1);
  const bool straighten = ImportStraightens(args);
  CheckPhotoFiles(photos);
  TPhotoDocument document;
  OpenDocument(document, path, io, TPhotoDocument::TLockUse::Required);
  QStringList pageless;
  if (AddPhotos(document, photos, io, straighten, &pageless) == 0) {
    throw std::runtime_error(
        "no photos to add: none of the names ends in .jpg or .jpeg; the document is unchanged");
  }
  document.Save(path);
  return ReportPageless(pageless, QStringLiteral("they are added as they lie"), io);
}

void PrintInfoText(const TPhotoDocument& document, const QString& path, QTextStream& out) {
  const TDocumentLayout& layout = document.Layout;
  out << "Document: " << QFileInfo(path).fileName() << "\n";
  const auto plural = [](int32_t n, const char* word) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? "" : "s");
  };
  out << "Layout:   " << plural(layout.Rows, "row") << " x " << plural(layout.Columns, "column")
      << ", " << Choice(OrderName(layout.Order), layout.Order, 0, 1) << "\n";
  out << "Photos:   " << document.Count() << "\n";
  out << "Sheets:   " << document.SheetCount() << "\n";
  if (document.Count() == 0) return;

  const QStringList heads = {QStringLiteral("#"),
                             QStringLiteral("Title"),
                             QStringLiteral("Rotate"),
                             QStringLiteral("Type"),
                             QStringLiteral("Bright."),
                             QStringLiteral("Contr."),
                             QStringLiteral("Crop L,R,T,B"),
                             QStringLiteral("Straighten, corners TL TR BR BL"),
                             QStringLiteral("Working JPEG")};
  std::vector<QStringList> lines;
  for (int32_t i = 0; i < document.Count(); ++i) {
    const TPhotoRow& row = document.Row(i);
    const TShpora& p = *row.Photo;
    const TJpegFacts jpeg = JpegFacts(p.WorkFile);
    const QString size =
        jpeg.Problem.isEmpty()
            ? QStringLiteral("%1 bytes, %2 x %3").arg(jpeg.Bytes).arg(jpeg.Width).arg(jpeg.Height)
            : QStringLiteral("%1 bytes, unreadable").arg(jpeg.Bytes);
    lines.push_back({QString::number(i + 1), row.Title,
                     Choice(RotationName(p.Rotation), p.Rotation, 0, 3),
                     Choice(TypeName(p.ImageType), p.ImageType, 0, 1),
                     QString::number(p.Brightness), QString::number(p.Contrast),
                     QStringLiteral("%1,%2,%3,%4")
                         .arg(p.CropLeft)
                         .arg(p.CropRight)
                         .arg(p.CropTop)
                         .arg(p.CropBottom),
                     PageText(p.Page), size});
  }
  std::vector<qsizetype> widths(heads.size());
  for (qsizetype c = 0; c < heads.size(); ++c) {
    widths[c] = heads[c].size();
    for (const QStringList& line : lines) widths[c] = std::max(widths[c], line[c].size());
  }
  auto writeLine = [&](const QStringList& cells) {
    QString text;
    for (qsizetype c = 0; c < cells.size(); ++c) {
      text += c + 1 == cells.size() ? cells[c] : cells[c].leftJustified(widths[c] + 2);
    }
    out << text << "\n";
  };
  out << "\n";
  writeLine(heads);
  for (const QStringList& line : lines) writeLine(line);
}

void PrintInfoJson(const TPhotoDocument& document, const QString& path, QTextStream& out) {
  QJsonArray photos;
  for (int32_t i = 0; i < document.Count(); ++i) {
    const TPhotoRow& row = document.Row(i);
    const TShpora& p = *row.Photo;
    const TJpegFacts jpeg = JpegFacts(p.WorkFile);
    QJsonObject photo{{"number", i + 1},
                      {"title", row.Title},
                      {"rotation", p.Rotation},
                      {"imageType", p.ImageType},
                      {"brightness", p.Brightness},
                      {"contrast", p.Contrast},
                      {"cropLeft", p.CropLeft},
                      {"cropRight", p.CropRight},
                      {"cropTop", p.CropTop},
                      {"cropBottom", p.CropBottom},
                      {"jpegBytes", static_cast<qint64>(jpeg.Bytes)},
                      {"corners", CornersJson(p.Page)},
                      {"straighten", p.Page.Straightened()}};
    if (jpeg.Problem.isEmpty()) {
      photo["width"] = jpeg.Width;
      photo["height"] = jpeg.Height;
    } else {
      photo["width"] = QJsonValue();
      photo["height"] = QJsonValue();
      photo["error"] = jpeg.Problem;
    }
    photos.append(photo);
  }
  const QJsonObject root{{"document", QFileInfo(path).fileName()}, {"rows", document.Layout.Rows},
                         {"columns", document.Layout.Columns},     {"order", document.Layout.Order},
                         {"sheets", document.SheetCount()},        {"photos", photos}};
  out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

int RunInfo(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, 1, QStringLiteral("the document"));
  const QString path = args.Positional[0];
  TPhotoDocument document;
  OpenDocument(document, path, io);
  if (args.Has(QStringLiteral("--json"))) {
    PrintInfoJson(document, path, io.Out);
  } else {
    PrintInfoText(document, path, io.Out);
  }
  return kExitOk;
}

// The parameters `set` was asked to change; each photo keeps the others.
struct TParameterChange {
  std::optional<int32_t> ImageType, Rotation, Brightness, Contrast;
  std::optional<TCropEdges> Crop;
  std::optional<TStraightenChoice> Straighten;

  bool Any() const { return ImageType || Rotation || Brightness || Contrast || Crop || Straighten; }

  // The groups of "Apply to many..." this change touches.
  int Groups() const {
    int groups = 0;
    if (ImageType) groups |= ApplyImageType;
    if (Rotation) groups |= ApplyRotation;
    if (Brightness || Contrast) groups |= ApplyBrightnessContrast;
    if (Crop) groups |= ApplyCropping;
    return groups;
  }

  // The photo's parameters with the change made: the source the groups are copied from.
  TShporaData Over(const TShporaData& photo) const {
    TShporaData source = photo;
    if (ImageType) source.ImageType = *ImageType;
    if (Rotation) source.Rotation = *Rotation;
    if (Brightness) source.Brightness = *Brightness;
    if (Contrast) source.Contrast = *Contrast;
    if (Crop) {
      source.CropLeft = Crop->Left;
      source.CropRight = Crop->Right;
      source.CropTop = Crop->Top;
      source.CropBottom = Crop->Bottom;
    }
    return source;
  }
};

TParameterChange ParseParameterChange(const TParsedArgs& args) {
  TParameterChange change;
  if (args.Has(QStringLiteral("--type")))
    change.ImageType = ParseImageType(args.Value(QStringLiteral("--type")));
  if (args.Has(QStringLiteral("--rotate")))
    change.Rotation = ParseRotation(args.Value(QStringLiteral("--rotate")));
  if (args.Has(QStringLiteral("--brightness")))
    change.Brightness =
        ParseIntInRange(QStringLiteral("--brightness"), args.Value(QStringLiteral("--brightness")),
                        kParamMin, kParamMax);
  if (args.Has(QStringLiteral("--contrast")))
    change.Contrast =
        ParseIntInRange(QStringLiteral("--contrast"), args.Value(QStringLiteral("--contrast")),
                        kParamMin, kParamMax);
  if (args.Has(QStringLiteral("--crop")))
    change.Crop = ParseCrop(args.Value(QStringLiteral("--crop")));
  if (args.Has(QStringLiteral("--straighten")))
    change.Straighten = ParseStraighten(args.Value(QStringLiteral("--straighten")));
  return change;
}

int RunSet(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, 1, QStringLiteral("the document"));
  const QString path = args.Positional[0];
  const TParameterChange change = ParseParameterChange(args);
  const TPhotoSelection selection =
      args.Has(QStringLiteral("--photos"))
          ? ParsePhotoSelection(args.Value(QStringLiteral("--photos")))
          : TPhotoSelection{};
  TDocumentLayout newLayout;
  const bool layoutChanged = ApplyLayoutOptions(args, newLayout);
  if (args.Has(QStringLiteral("--photos")) && !change.Any()) {
    throw TUsageError(
        QStringLiteral("--photos chooses the photos that --type, --rotate, "
                       "--brightness, --contrast, --crop or --straighten change; none is given"));
  }
  if (!change.Any() && !layoutChanged) {
    throw TUsageError(
        QStringLiteral("nothing to change: give at least one of --type, --rotate, "
                       "--brightness, --contrast, --crop, --straighten, --rows, --columns, "
                       "--order"));
  }

  TPhotoDocument document;
  OpenDocument(document, path, io, TPhotoDocument::TLockUse::Required);
  const std::vector<int32_t> indexes = SelectedIndexes(selection, document.Count());
  // Corners of one's own are checked on every photo before any is changed.
  if (change.Straighten && change.Straighten->What == TStraightenChoice::Kind::Corners) {
    for (int32_t i : indexes) {
      const TJpegFacts jpeg = JpegFacts(document.Photo(i)->WorkFile);
      if (!jpeg.Problem.isEmpty())
        throw std::runtime_error(QStringLiteral("photo %1 (%2): %3")
                                     .arg(i + 1)
                                     .arg(document.Row(i).Title, jpeg.Problem)
                                     .toStdString());
      const QString problem = PageQuadProblem(change.Straighten->Corners, jpeg.Width, jpeg.Height);
      if (!problem.isEmpty())
        throw TUsageError(QStringLiteral("--straighten: photo %1 (%2 x %3 pixels): %4")
                              .arg(i + 1)
                              .arg(jpeg.Width)
                              .arg(jpeg.Height)
                              .arg(problem));
    }
  }
  QStringList pageless;
  for (int32_t i : indexes) {
    TShpora& photo = *document.Photo(i);
    // Straightening widens the crop; a --crop given with it is applied after and wins.
    if (change.Straighten) {
      switch (change.Straighten->What) {
        case TStraightenChoice::Kind::Off:
          photo.Page = TPageGeometry();
          break;
        case TStraightenChoice::Kind::Corners:
          StraightenWith(photo, change.Straighten->Corners);
          break;
        case TStraightenChoice::Kind::Auto: {
          const TPageFindResult found = photo.FindPageInWorkingCopy();
          if (found.Found())
            StraightenWith(photo, found.Corners);
          else
            // "Unsure" is worth telling apart: the user may find the corners by eye.
            pageless
                << (found.Outcome == TPageFindOutcome::Unsure
                        ? QStringLiteral("photo %1 (%2: %3)")
                              .arg(i + 1)
                              .arg(document.Row(i).Title, PageFindOutcomeText(found.Outcome))
                        : QStringLiteral("photo %1 (%2)").arg(i + 1).arg(document.Row(i).Title));
          break;
        }
      }
    }
    CopyChosenGroups(change.Over(photo), photo, change.Groups());
  }
  // Only the values given change; a stored value the options do not mention stays as it is.
  TDocumentLayout& layout = document.Layout;
  if (args.Has(QStringLiteral("--rows"))) layout.Rows = newLayout.Rows;
  if (args.Has(QStringLiteral("--columns"))) layout.Columns = newLayout.Columns;
  if (args.Has(QStringLiteral("--order"))) layout.Order = newLayout.Order;
  document.Save(path);
  return ReportPageless(pageless, QStringLiteral("they are left as they were"), io);
}

QByteArray EncodeSheetPng(const QImage& sheet) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  if (!sheet.save(&buffer, "PNG"))
    throw std::runtime_error("the sheet could not be encoded as PNG");
  return data;
}

int RunSheet(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, 1, QStringLiteral("the document"));
  if (!args.Has(QStringLiteral("--page"))) throw TUsageError(QStringLiteral("missing --page N"));
  if (!args.Has(QStringLiteral("--output")))
    throw TUsageError(QStringLiteral("missing -o SHEET.png"));
  const QString output = args.Value(QStringLiteral("--output"));
  if (FileExtension(QFileInfo(output).fileName()).toLower() != QLatin1String(".png")) {
    throw TUsageError(QStringLiteral("-o: sheets are written as PNG; give a name ending in .png"));
  }
  int32_t scale = kPreviewScale;
  if (args.Has(QStringLiteral("--scale"))) {
    scale = ParseIntInRange(QStringLiteral("--scale"), args.Value(QStringLiteral("--scale")), 1,
                            kPrintScale);
    if (scale != kPreviewScale && scale != kPrintScale) {
      throw TUsageError(
          QStringLiteral("--scale: %1 is neither 2 (the preview) nor 12 (the printer)").arg(scale));
    }
  }
  const int32_t page =
      ParseIntInRange(QStringLiteral("--page"), args.Value(QStringLiteral("--page")), 1,
                      std::numeric_limits<int32_t>::max());
  const QString path = args.Positional[0];
  TPhotoDocument document;
  OpenDocument(document, path, io);
  // A document without photos still has the one blank sheet the preview shows.
  const int32_t sheets = std::max(document.SheetCount(), 1);
  if (page > sheets) {
    throw TUsageError(QStringLiteral("--page: the document has %1 sheet%2")
                          .arg(sheets)
                          .arg(sheets == 1 ? QString() : QStringLiteral("s")));
  }
  QImage sheet;
  // No photo is open in an editor here, so the preview carries no red mark.
  DrawSheet(sheet, scale, page - 1, document.SheetLayout(), document.Photos(), MarginTexts(),
            nullptr);
  WriteFileSafely(output, EncodeSheetPng(sheet));
  return kExitOk;
}

// Copy 1 keeps the name asked for; copy k >= 2 goes beside it as NAME-k.pdf.
QString CopyFileName(const QString& path, int32_t copy) {
  if (copy <= 1) return path;
  const QFileInfo info(path);
  const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
  const QString stem = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
  return info.dir().filePath(QStringLiteral("%1-%2%3").arg(stem).arg(copy).arg(suffix));
}

std::unique_ptr<QPrinter> MakePrinter(const TParsedArgs& args) {
  if (args.Has(QStringLiteral("--pdf"))) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(args.Value(QStringLiteral("--pdf")));
    // The sheet carries its own margins; a file has the whole page to print on.
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    return printer;
  }
  const QString name = args.Value(QStringLiteral("--printer"));
  const QPrinterInfo info = QPrinterInfo::printerInfo(name);
  if (info.isNull()) {
    const QStringList names = QPrinterInfo::availablePrinterNames();
    throw std::runtime_error(
        (QStringLiteral("there is no printer named \"%1\"").arg(name) +
         (names.isEmpty() ? QStringLiteral("; no printer is set up")
                          : QStringLiteral("; printers: ") + names.join(QStringLiteral(", "))))
            .toStdString());
  }
  auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  printer->setPageSize(QPageSize(QPageSize::A4));
  return printer;
}

int RunPrint(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, 1, QStringLiteral("the document"));
  const bool pdf = args.Has(QStringLiteral("--pdf"));
  if (pdf == args.Has(QStringLiteral("--printer"))) {
    throw TUsageError(QStringLiteral("give either --pdf OUT.pdf or --printer NAME"));
  }
  if (pdf && args.Value(QStringLiteral("--pdf")).isEmpty())
    throw TUsageError(QStringLiteral("--pdf: empty file name"));
  const int32_t copies =
      args.Has(QStringLiteral("--copies"))
          ? ParseIntInRange(QStringLiteral("--copies"), args.Value(QStringLiteral("--copies")), 1,
                            kMaxCopies)
          : 1;
  std::optional<TSheetRange> asked;
  if (args.Has(QStringLiteral("--pages")))
    asked = ParseSheetRange(args.Value(QStringLiteral("--pages")));

  const QString path = args.Positional[0];
  TPhotoDocument document;
  OpenDocument(document, path, io);
  const int32_t sheets = document.SheetCount();
  if (sheets == 0) throw std::runtime_error("the document has no photos; nothing to print");
  const TSheetRange range = asked.value_or(TSheetRange{1, sheets});
  CheckSheetRange(range, sheets);

  std::unique_ptr<QPrinter> printer = MakePrinter(args);
  const QString target = pdf ? args.Value(QStringLiteral("--pdf")) : QString();
  const std::vector<TShpora*> photos = document.Photos();
  const TSheetTexts texts = MarginTexts();
  const TPrintSource source{photos, document.SheetLayout(), texts};
  TPrintJobHook hook;
  if (pdf && copies > 1) {
    hook = [&](QPrinter& p, int32_t copy) { p.setOutputFileName(CopyFileName(target, copy)); };
  }
  PrintSheets(*printer, source, TPrintRange{range.First, range.Last}, copies, DocumentTitle(path),
              hook);
  return kExitOk;
}

int RunExport(const TParsedArgs& args, TCliIo& io) {
  ExpectPositional(args, 1, -1, QStringLiteral("the document"));
  ExpectPositional(args, 2, 2, QStringLiteral("the folder to export into"));
  const int32_t format = args.Has(QStringLiteral("--format"))
                             ? ParseExportFormat(args.Value(QStringLiteral("--format")))
                             : ExportJpeg;
  const QString prefix = args.Has(QStringLiteral("--prefix"))
                             ? args.Value(QStringLiteral("--prefix"))
                             : QStringLiteral("TavDoc");
  if (prefix.contains(u'/'))
    throw TUsageError(QStringLiteral("--prefix: a file name prefix has no \"/\""));
  const QString path = args.Positional[0];
  const QString folder = args.Positional[1];
  TPhotoDocument document;
  OpenDocument(document, path, io);
  if (document.Count() == 0)
    throw std::runtime_error("the document has no photos; nothing to export");
  const int32_t written = ExportImages(document.Photos(), io.Wait, folder, prefix, format);
  if (written < document.Count()) {
    throw std::runtime_error(QStringLiteral("interrupted after %1 of %2 pages")
                                 .arg(written)
                                 .arg(document.Count())
                                 .toStdString());
  }
  return kExitOk;
}

using TCommand = std::function<int(const TParsedArgs&, TCliIo&)>;

const std::map<QString, TCommand>& Commands() {
  static const std::map<QString, TCommand> commands = {
      {QStringLiteral("new"), RunNew},       {QStringLiteral("add"), RunAdd},
      {QStringLiteral("info"), RunInfo},     {QStringLiteral("set"), RunSet},
      {QStringLiteral("sheet"), RunSheet},   {QStringLiteral("print"), RunPrint},
      {QStringLiteral("export"), RunExport},
  };
  return commands;
}

int ReportUsage(TCliIo& io, const QString& message, const QString& command) {
  io.Err << kProgram << ": " << message << "\n";
  io.Err << "Try '" << kProgram << (command.isEmpty() ? QString() : QStringLiteral(" ") + command)
         << " --help' for more information.\n";
  io.Err.flush();
  return kExitUsage;
}

}  // namespace

QString ProgramHelp() { return QLatin1String(kProgramHelp); }

QString CommandHelp(const QString& command) {
  const auto found = CommandHelps().find(command);
  return found == CommandHelps().end() ? QString() : found->second;
}

QString VersionText() { return kProgram + QStringLiteral(" ") + tavrolin::ProgramVersion(); }

int RunCli(const QStringList& args, TCliIo& io) {
  if (args.isEmpty()) {
    io.Err << ProgramHelp();
    io.Err.flush();
    return kExitUsage;
  }
  const QString first = args[0];
  if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
    io.Out << ProgramHelp();
    return kExitOk;
  }
  if (first == QLatin1String("--version")) {
    io.Out << VersionText() << "\n";
    return kExitOk;
  }
  if (first == QLatin1String("help")) {
    if (args.size() == 1) {
      io.Out << ProgramHelp();
      return kExitOk;
    }
    const QString help = CommandHelp(args[1]);
    if (help.isEmpty())
      return ReportUsage(io, QStringLiteral("unknown command \"%1\"").arg(args[1]), {});
    io.Out << help;
    return kExitOk;
  }
  const auto command = Commands().find(first);
  if (command == Commands().end()) {
    return ReportUsage(io,
                       first.startsWith(u'-') ? QStringLiteral("unknown option %1").arg(first)
                                              : QStringLiteral("unknown command \"%1\"").arg(first),
                       {});
  }
  try {
    const TParsedArgs parsed = SplitArguments(args.mid(1), CommandOptions(first));
    if (parsed.Help) {
      io.Out << CommandHelp(first);
      return kExitOk;
    }
    const int status = command->second(parsed, io);
    io.Out.flush();
    return status;
  } catch (const TUsageError& e) {
    io.Out.flush();
    return ReportUsage(io, QString::fromStdString(e.what()), first);
  } catch (const std::exception& e) {
    io.Out.flush();
    io.Err << kProgram << ": " << QString::fromStdString(e.what()) << "\n";
    io.Err.flush();
    return kExitFailed;
  }
}
