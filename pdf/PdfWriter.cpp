// Invisible text uses Type 3 fonts whose glyphs draw nothing and are all one width: any Unicode
// text fits, no font file is embedded, and each font's /ToUnicode CMap gives extraction the text.
// Codes are 1-byte and handed out per page on first use, one more font for every 254 characters.
#include "PdfWriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include <QCryptographicHash>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

#include <zlib.h>

#include "PdfImages.h"
#include "Version.h"

namespace {

constexpr int kJpegQualityForPdf = 90;
// Glyph space of the invisible fonts: every glyph is 500 units wide and the font box runs from
// 350 below the baseline to 950 above it. poppler takes a Type 3 font's size from its glyphs'
// width against 0.5 and boxes words with its default ascent and descent (0.95 and 0.35); with
// these numbers its boxes, the font box and the recognised line all agree.
constexpr int kGlyphWidth = 500;
constexpr double kAscent = 0.95, kDescent = 0.35;
// Byte 32 is the one code a PDF treats specially (word spacing); it is kept for the space.
constexpr int kSpaceCode = 32;
constexpr int kLastCode = 255;

// A failure of the device itself, which WritePdfFile reports with the file's name.
class TPdfDeviceError : public std::runtime_error {
 public:
  explicit TPdfDeviceError(const QString& reason)
      : std::runtime_error(
            QStringLiteral("The PDF could not be written: %1").arg(reason).toStdString()),
        Reason(reason) {}
  QString Reason;
};

QString DeviceReason(const QIODevice& device, int savedErrno) {
  const QString said = device.errorString();
  if (savedErrno == ENOSPC || said == QString::fromLocal8Bit(std::strerror(ENOSPC)))
    return QStringLiteral("Disk full");
  if (savedErrno == EFBIG) return QStringLiteral("File too large");
  if (said.isEmpty() || said == QLatin1String("Unknown error"))
    return QStringLiteral("the device took no more data");
  return said;
}

// Numbers in the shortest fixed form with at most four decimals (PDF has no exponents).
QByteArray Num(double v) {
  if (!std::isfinite(v)) v = 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4f", v);
  QByteArray s(buffer);
  if (s.contains('.')) {
    while (s.endsWith('0')) s.chop(1);
    if (s.endsWith('.')) s.chop(1);
  }
  if (s == "-0") s = "0";
  return s;
}

QByteArray Int(int64_t v) { return QByteArray::number(static_cast<qlonglong>(v)); }

QByteArray Hex2(int v) {
  static const char digits[] = "0123456789ABCDEF";
  const char pair[2] = {digits[(v >> 4) & 15], digits[v & 15]};
  return QByteArray(pair, 2);
}

// A code point as UTF-16BE hex, a surrogate pair beyond the first plane.
QByteArray Utf16Hex(char32_t c) {
  QByteArray out;
  auto unit = [&out](uint32_t u) {
    out += Hex2(static_cast<int>(u >> 8)) + Hex2(static_cast<int>(u & 255));
  };
  if (c >= 0x10000) {
    const uint32_t v = c - 0x10000;
    unit(0xD800 + (v >> 10));
    unit(0xDC00 + (v & 0x3FF));
  } else {
    unit(c);
  }
  return out;
}

// A text string of /Info: literal when plain ASCII, else UTF-16BE with its byte order mark.
QByteArray TextString(const QString& text) {
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; });
  if (ascii) {
    QByteArray out = "(";
    for (QChar c : text) {
      const char b = static_cast<char>(c.unicode());
      if (b == '(' || b == ')' || b == '\\') out += '\\';
      out += b;
    }
    return out + ")";
  }
  QByteArray out = "<FEFF";
  for (QChar c : text) out += Hex2(c.unicode() >> 8) + Hex2(c.unicode() & 255);
  return out + ">";
}

QByteArray PdfDate(const QDateTime& given) {
  const QDateTime when = given.isValid() ? given : QDateTime::currentDateTime();
  QByteArray out = "(D:" + when.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
  const int offset = when.offsetFromUtc() / 60;
  if (offset == 0) {
    out += "Z";
  } else {
    const int a = std::abs(offset);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%c%02d'%02d'", offset < 0 ? '-' : '+', a / 60, a % 60);
    out += buffer;
  }
  return out + ")";
}

QByteArray Deflate(const QByteArray& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
  if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.constData()), static_cast<uLong>(data.size()),
                9) != Z_OK)
    throw std::runtime_error("zlib could not compress a page's text");
  out.resize(static_cast<qsizetype>(size));
  return out;
}

// One invisible font of a page: which character each code stands for.
struct TPageFont {
  int Number = 0;  // the name on the page is /T<Number>
  char32_t Char[kLastCode + 1] = {};
  int NextCode = 1;
  bool Full() const { return NextCode > kLastCode; }
};

struct TLine {
  std::vector<const TPdfWord*> Words;
  double Top = 0, Bottom = 0;
};

}  // namespace

struct TPdfWriter::TState {
  explicit TState(QIODevice& device) : Device(device) {}

  QIODevice& Device;
  int64_t Offset = 0;
  bool Failed = false;
  bool Finished = false;
  std::vector<int64_t> Offsets{0};  // by object number; 0: reserved, not yet written
  std::vector<int> PageObjects;
  int EmptyGlyph = 0;

  // The current page.
  bool InPage = false;
  double Width = 0, Height = 0;
  QByteArray Content;
  std::vector<std::pair<int, int>> Images;  // (name number, object)
  std::vector<TPageFont> Fonts;
  std::map<char32_t, std::pair<int, int>> Codes;  // character -> (font index, code)

  void Write(const char* data, int64_t size) {
    if (Failed) throw TPdfDeviceError(QStringLiteral("an earlier write failed"));
    if (size <= 0) return;
    errno = 0;
    const qint64 written = Device.write(data, size);
    if (written != size) {
      const int saved = errno;
      Failed = true;
      throw TPdfDeviceError(DeviceReason(Device, saved));
    }
    Offset += size;
  }
  void Write(const QByteArray& data) { Write(data.constData(), data.size()); }

  int Reserve() {
    Offsets.push_back(0);
    return static_cast<int>(Offsets.size() - 1);
  }
  void Begin(int object) {
    Offsets[static_cast<size_t>(object)] = Offset;
    Write(Int(object) + " 0 obj\n");
  }
  void End() { Write("endobj\n"); }
  void WriteObject(int object, const QByteArray& body) {
    Begin(object);
    Write(body + "\n");
    End();
  }
  void WriteStream(int object, const QByteArray& dictionary, const QByteArray& data) {
    Begin(object);
    Write("<< " + dictionary + " /Length " + Int(data.size()) + " >>\nstream\n");
    Write(data);
    Write("\nendstream\n");
    End();
  }

  void RequirePage(const char* what) const {
    if (Finished) throw std::runtime_error("The PDF is already complete");
    if (!InPage) throw std::runtime_error(std::string("A page must be added before ") + what);
  }

  // The font and code of `c` on this page, handed out on first use.
  std::pair<int, int> CodeOf(char32_t c) {
    const auto found = Codes.find(c);
    if (found != Codes.end()) return found->second;
    int font = -1, code = 0;
    if (c == U' ') {
      for (size_t k = 0; k < Fonts.size() && font < 0; ++k)
        if (Fonts[k].Char[kSpaceCode] == 0) font = static_cast<int>(k);
      code = kSpaceCode;
    } else if (!Fonts.empty() && !Fonts.back().Full()) {
      font = static_cast<int>(Fonts.size() - 1);
    }
    if (font < 0) {
      Fonts.emplace_back();
      Fonts.back().Number = static_cast<int>(Fonts.size());
      font = static_cast<int>(Fonts.size() - 1);
    }
    TPageFont& f = Fonts[static_cast<size_t>(font)];
    if (c != U' ') {
      code = f.NextCode++;
      if (code == kSpaceCode) code = f.NextCode++;
    }
    f.Char[code] = c;
    Codes[c] = {font, code};
    return {font, code};
  }

  // Shows `text` with the current text state: runs of one font each.
  void ShowText(const std::vector<char32_t>& text, double size, int& currentFont) {
    QByteArray run;
    auto flush = [&] {
      if (!run.isEmpty()) Content += "<" + run + "> Tj\n";
      run.clear();
    };
    for (char32_t c : text) {
      const auto [font, code] = CodeOf(c);
      if (font != currentFont) {
        flush();
        Content += "/T" + Int(Fonts[static_cast<size_t>(font)].Number) + " " + Num(size) + " Tf\n";
        currentFont = font;
      }
      run += Hex2(code);
    }
    flush();
  }

  void WriteFont(const TPageFont& font, int fontObject, int cmapObject) {
    QByteArray cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n";
    std::vector<int> used;
    for (int code = 1; code <= kLastCode; ++code)
      if (font.Char[code] != 0) used.push_back(code);
    // A bfchar block holds at most 100 entries.
    for (size_t start = 0; start < used.size(); start += 100) {
      const size_t end = std::min(used.size(), start + 100);
      cmap += Int(static_cast<int64_t>(end - start)) + " beginbfchar\n";
      for (size_t k = start; k < end; ++k)
        cmap += "<" + Hex2(used[k]) + "> <" + Utf16Hex(font.Char[used[k]]) + ">\n";
      cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    WriteStream(cmapObject, "/Filter /FlateDecode", Deflate(cmap));

    const int first = used.front(), last = used.back();
    QByteArray procs, differences, widths;
    int expected = -1;
    for (int code : used) {
      const QByteArray name = "/g" + Int(code);
      procs += name + " " + Int(EmptyGlyph) + " 0 R ";
      if (code != expected) differences += Int(code) + " ";
      differences += name + " ";
      expected = code + 1;
    }
    for (int code = first; code <= last; ++code) widths += Int(kGlyphWidth) + " ";
    WriteObject(fontObject,
                "<< /Type /Font /Subtype /Type3 /FontBBox [0 -350 500 950]"
                " /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs << " +
                    procs + ">> /Encoding << /Type /Encoding /Differences [" + differences +
                    "] >> /FirstChar " + Int(first) + " /LastChar " + Int(last) + " /Widths [" +
                    widths + "] /Resources << >> /ToUnicode " + Int(cmapObject) + " 0 R >>");
  }

  void FinishPage() {
    if (!InPage) return;
    InPage = false;
    const int contents = Reserve();
    WriteStream(contents, "/Filter /FlateDecode", Deflate(Content));
    QByteArray fonts;
    if (!Fonts.empty() && EmptyGlyph == 0) {
      EmptyGlyph = Reserve();
      WriteStream(EmptyGlyph, "", Int(kGlyphWidth) + " 0 d0");
    }
    for (const TPageFont& font : Fonts) {
      const int fontObject = Reserve(), cmapObject = Reserve();
      WriteFont(font, fontObject, cmapObject);
      fonts += "/T" + Int(font.Number) + " " + Int(fontObject) + " 0 R ";
    }
    QByteArray images;
    for (const auto& [name, object] : Images)
      images += "/Im" + Int(name) + " " + Int(object) + " 0 R ";
    QByteArray resources = "<< /ProcSet [/PDF /Text /ImageB /ImageC]";
    if (!images.isEmpty()) resources += " /XObject << " + images + ">>";
    if (!fonts.isEmpty()) resources += " /Font << " + fonts + ">>";
    resources += " >>";
    WriteObject(PageObjects.back(), "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + Num(Width) +
                                        " " + Num(Height) + "] /Resources " + resources +
                                        " /Contents " + Int(contents) + " 0 R >>");
    Content.clear();
    Images.clear();
    Fonts.clear();
    Codes.clear();
  }

  void AddLine(const TLine& line) {
    const double size = (line.Bottom - line.Top) / (kAscent + kDescent);
    const double baseline = Height - line.Bottom + kDescent * size;
    const double advance = size * kGlyphWidth / 1000.0;  // of one glyph at 100 % scaling
    int currentFont = -1;
    for (size_t k = 0; k < line.Words.size(); ++k) {
      const TPdfWord& word = *line.Words[k];
      std::vector<char32_t> text;
      for (char32_t c : word.Text.toUcs4())
        if (c >= 32 && c != 127) text.push_back(c);
      Content += "1 0 0 1 " + Num(word.Box.left()) + " " + Num(baseline) + " Tm\n";
      Content +=
          Num(100.0 * word.Box.width() / (static_cast<double>(text.size()) * advance)) + " Tz\n";
      ShowText(text, size, currentFont);
      if (k + 1 < line.Words.size()) {
        // The space reaches to the next word, so a viewer that joins by advances sees no gap.
        const double gap = std::max(line.Words[k + 1]->Box.left() - word.Box.right(), 0.01);
        Content += Num(100.0 * gap / advance) + " Tz\n";
        ShowText({U' '}, size, currentFont);
      }
    }
  }
};

TPdfWriter::TPdfWriter(QIODevice& device) : State(std::make_unique<TState>(device)) {
  State->Offsets.push_back(0);  // 1: the catalog
  State->Offsets.push_back(0);  // 2: the page tree
  State->Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

TPdfWriter::~TPdfWriter() = default;

int32_t TPdfWriter::PageCount() const { return static_cast<int32_t>(State->PageObjects.size()); }

void TPdfWriter::AddPage(double widthPt, double heightPt) {
  if (State->Finished) throw std::runtime_error("The PDF is already complete");
  if (!(widthPt > 0) || !(heightPt > 0) || widthPt > 14400 || heightPt > 14400)
    throw std::runtime_error("A PDF page must be between 0 and 14400 points on each side");
  State->FinishPage();
  State->PageObjects.push_back(State->Reserve());
  State->InPage = true;
  State->Width = widthPt;
  State->Height = heightPt;
}

void TPdfWriter::DrawImage(const TFastDIB& image, const QRectF& rectPt) {
  State->RequirePage("a picture is drawn");
  if (image.IsEmpty() || (image.BitCount() != 8 && image.BitCount() != 24))
    throw std::runtime_error("Only a non-empty 8- or 24-bit picture can be put on a PDF page");
  TState& s = *State;
  const int object = s.Reserve();
  const QByteArray common = "/Type /XObject /Subtype /Image /Width " + Int(image.Width()) +
                            " /Height " + Int(image.AbsHeight) + " /BitsPerComponent 8";
  if (IsGrayPicture(image)) {
    const int length = s.Reserve();
    s.Begin(object);
    s.Write("<< " + common +
            " /ColorSpace /DeviceGray /Filter /FlateDecode /DecodeParms << /Predictor 15"
            " /Colors 1 /BitsPerComponent 8 /Columns " +
            Int(image.Width()) + " >> /Length " + Int(length) + " 0 R >>\nstream\n");
    const int64_t size = DeflateGrayRows(image, TFlateSettings{},
                                         [&s](const char* data, int64_t n) { s.Write(data, n); });
    s.Write("\nendstream\n");
    s.End();
    s.WriteObject(length, Int(size));
  } else {
    s.WriteStream(object, common + " /ColorSpace /DeviceRGB /Filter /DCTDecode",
                  EncodeColorJpeg(image, kJpegQualityForPdf));
  }
  const int name = static_cast<int>(s.Images.size()) + 1;
  s.Images.emplace_back(name, object);
  s.Content += "q " + Num(rectPt.width()) + " 0 0 " + Num(rectPt.height()) + " " +
               Num(rectPt.left()) + " " + Num(s.Height - rectPt.bottom()) + " cm /Im" + Int(name) +
               " Do Q\n";
}

void TPdfWriter::AddInvisibleWords(const std::vector<TPdfWord>& words) {
  State->RequirePage("words are added");
  std::vector<TLine> lines;
  for (const TPdfWord& word : words) {
    const bool hasText = std::any_of(word.Text.begin(), word.Text.end(), [](QChar c) {
      return c.unicode() >= 32 && c.unicode() != 127;
    });
    if (!hasText || !(word.Box.width() > 0) || !(word.Box.height() > 0)) continue;
    const double middle = word.Box.center().y();
    bool newLine = lines.empty();
    if (!newLine) {
      const TLine& line = lines.back();
      const TPdfWord& previous = *line.Words.back();
      newLine =
          middle < line.Top || middle > line.Bottom || word.Box.left() < previous.Box.center().x();
    }
    if (newLine) {
      lines.push_back({{&word}, word.Box.top(), word.Box.bottom()});
    } else {
      TLine& line = lines.back();
      line.Words.push_back(&word);
      line.Top = std::min(line.Top, word.Box.top());
      line.Bottom = std::max(line.Bottom, word.Box.bottom());
    }
  }
  if (lines.empty()) return;
  State->Content += "BT\n3 Tr\n";
  for (const TLine& line : lines) State->AddLine(line);
  State->Content += "ET\n";
}

void TPdfWriter::Finish(const TPdfInfo& info) {
  TState& s = *State;
  if (s.Finished) throw std::runtime_error("The PDF is already complete");
  if (s.PageObjects.empty()) throw std::runtime_error("A PDF needs at least one page");
  s.FinishPage();
  s.WriteObject(1, "<< /Type /Catalog /Pages 2 0 R >>");
  QByteArray kids;
  for (int page : s.PageObjects) kids += Int(page) + " 0 R ";
  s.WriteObject(2, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                       Int(static_cast<int64_t>(s.PageObjects.size())) + " >>");
  const int infoObject = s.Reserve();
  const QByteArray date = PdfDate(info.Created);
  s.WriteObject(infoObject, "<< /Title " + TextString(info.Title) + " /Producer " +
                                TextString(QStringLiteral("Tavrolin " TAVROLIN_VERSION)) +
                                " /CreationDate " + date + " >>");
  const int64_t xref = s.Offset;
  QByteArray table =
      "xref\n0 " + Int(static_cast<int64_t>(s.Offsets.size())) + "\n0000000000 65535 f \n";
  for (size_t k = 1; k < s.Offsets.size(); ++k) {
    if (s.Offsets[k] == 0) throw std::logic_error("a PDF object was reserved and never written");
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(s.Offsets[k]));
    table += entry;
  }
  s.Write(table);
  const QByteArray id =
      QCryptographicHash::hash(info.Title.toUtf8() + date + Int(xref), QCryptographicHash::Md5)
          .toHex()
          .toUpper();
  s.Write("trailer\n<< /Size " + Int(static_cast<int64_t>(s.Offsets.size())) +
          " /Root 1 0 R /Info " + Int(infoObject) + " 0 R /ID [<" + id + "> <" + id +
          ">] >>\nstartxref\n" + Int(xref) + "\n%%EOF\n");
  // A file's last bytes may still sit in its buffer; a full disk shows only here.
  if (auto* file = qobject_cast<QFileDevice*>(&s.Device)) {
    errno = 0;
    if (!file->flush()) {
      const int saved = errno;
      s.Failed = true;
      throw TPdfDeviceError(DeviceReason(s.Device, saved));
    }
  }
  s.Finished = true;
}

void WritePdfFile(const QString& path, const TPdfInfo& info,
                  const std::function<void(TPdfWriter& writer)>& addPages) {
  const QString name = QFileInfo(path).fileName();
  auto fail = [&name](const QString& reason) {
    return std::runtime_error(
        QStringLiteral("Could not save the PDF file \"%1\": %2").arg(name, reason).toStdString());
  };
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) throw fail(file.errorString());
  try {
    TPdfWriter writer(file);
    addPages(writer);
    writer.Finish(info);
  } catch (const TPdfDeviceError& error) {
    file.cancelWriting();
    throw fail(error.Reason);
  } catch (...) {
    file.cancelWriting();
    throw;
  }
  errno = 0;
  if (!file.commit()) throw fail(DeviceReason(file, errno));
}
