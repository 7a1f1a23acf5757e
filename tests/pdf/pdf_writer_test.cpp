// Whole PDFs read back by qpdf and poppler: the structure is clean, the pictures come out as
// they went in (gray losslessly, colour as JPEG), /Info says what it should, the invisible words
// come back in reading order in every script, and failures leave no file behind.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <string>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

#include "PdfTools.h"
#include "PdfWriter.h"

namespace {

using pdftools::RunTool;

// Words of equal-width letters laid out line by line from (left, top), as a recogniser would
// report them.
std::vector<TPdfWord> LayOut(const QStringList& lines, double left = 50, double top = 80,
                             double letter = 7, double height = 14) {
  std::vector<TPdfWord> words;
  double y = top;
  for (const QString& line : lines) {
    double x = left;
    for (const QString& word : line.split(' ', Qt::SkipEmptyParts)) {
      const double width = letter * static_cast<double>(word.toUcs4().size());
      words.push_back({word, QRectF(x, y, width, height)});
      x += width + letter;
    }
    y += height * 1.5;
  }
  return words;
}

class PdfWriterTest : public ::testing::Test {
 protected:
  QString Path(const QString& name) const { return Dir.filePath(name); }
  // Writes a one-page A4 PDF with `words` over an optional picture.
  QString WriteWords(const std::vector<TPdfWord>& words, const QString& name = "words.pdf") {
    const QString path = Path(name);
    WritePdfFile(path, {QStringLiteral("Words"), QDateTime::currentDateTime()},
                 [&](TPdfWriter& writer) {
                   writer.AddPage(kA4WidthPt, kA4HeightPt);
                   writer.AddInvisibleWords(words);
                 });
    return path;
  }
  // pdftotext's text of the file, with its checks that it succeeded silently.
  QString TextOf(const QString& path) {
    const auto run = RunTool("pdftotext", {"-enc", "UTF-8", path, "-"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Err, QByteArray()) << "pdftotext warned";
    return QString::fromUtf8(run.Out);
  }
  QTemporaryDir Dir;
};

// The lines of pdftotext's output, blank ones and the page break dropped.
QStringList Lines(const QString& text) {
  QStringList lines;
  for (QString line : text.split('\n')) {
    line.remove(QChar('\f'));
    if (!line.trimmed().isEmpty()) lines << line.trimmed();
  }
  return lines;
}

struct TImageCase {
  const char* Name;
  int Depth;  // 8 or 24
  bool Colour;
  const char* Shown;  // pdfimages -list: colour, components, bits, encoding
};

class PdfImageTest : public PdfWriterTest, public ::testing::WithParamInterface<TImageCase> {};

TEST_P(PdfImageTest, StoredAsItsColoursNeed) {
  PDF_REQUIRE_TOOL("pdfimages", "poppler-utils");
  const TImageCase& c = GetParam();
  std::unique_ptr<TFastDIB> image;
  if (!c.Colour) {
    image = pdftools::GrayPicture(301, 203, c.Depth);
  } else if (c.Depth == 24) {
    image = pdftools::ColourPicture(301, 203);
  } else {
    image = pdftools::GrayPicture(301, 203, 8);
    image->Colors[0] = {255, 0, 0, 0};  // index 0 is blue, and the specks use it
    image->Scanlines[5][7] = 0;
  }
  const QString path = Path("image.pdf");
  WritePdfFile(path, {}, [&](TPdfWriter& writer) {
    writer.AddPage(kA4WidthPt, kA4HeightPt);
    writer.DrawImage(*image, QRectF(20, 30, 301, 203));
  });
  const auto list = RunTool("pdfimages", {"-list", path});
  ASSERT_EQ(list.ExitCode, 0);
  EXPECT_EQ(list.Err, QByteArray());
  const QStringList rows = QString::fromUtf8(list.Out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 3) << list.Out.toStdString();
  // page num type width height color comp bpc enc interp object ID x-ppi y-ppi size ratio
  const QStringList fields = rows[2].simplified().split(' ');
  EXPECT_EQ(fields.mid(3, 2).join(' '), "301 203");
  EXPECT_EQ(fields.mid(5, 4).join(' '), c.Shown) << rows[2].toStdString();
  // 301 points for 301 pixels is 72 pixels per inch.
  EXPECT_EQ(fields.mid(12, 2).join(' '), "72 72");

  if (c.Colour) return;
  // The gray picture decodes to exactly its pixels.
  const auto extract = RunTool("pdfimages", {"-png", path, Path("out")});
  ASSERT_EQ(extract.ExitCode, 0);
  QImage back(Path("out-000.png"));
  ASSERT_FALSE(back.isNull());
  ASSERT_EQ(back.format(), QImage::Format_Grayscale8);
  ASSERT_EQ(back.size(), QSize(301, 203));
  for (int y = 0; y < 203; ++y) {
    const uint8_t* row = image->Scanlines[static_cast<size_t>(202 - y)];
    for (int x = 0; x < 301; ++x) {
      const uint8_t want = c.Depth == 24 ? row[3 * x] : image->Colors[row[x]].Red;
      ASSERT_EQ(back.constScanLine(y)[x], want) << "at " << x << ", " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, PdfImageTest,
                         ::testing::Values(TImageCase{"Gray24", 24, false, "gray 1 8 image"},
                                           TImageCase{"Gray8", 8, false, "gray 1 8 image"},
                                           TImageCase{"Colour24", 24, true, "rgb 3 8 jpeg"},
                                           TImageCase{"Colour8", 8, true, "rgb 3 8 jpeg"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PdfWriterTest, ColourJpegKeepsRedAsRed) {
  PDF_REQUIRE_TOOL("pdftoppm", "poppler-utils");
  const auto image = pdftools::ColourPicture(120, 90);
  const QString path = Path("colour.pdf");
  WritePdfFile(path, {}, [&](TPdfWriter& writer) {
    writer.AddPage(120, 90);
    writer.DrawImage(*image, QRectF(0, 0, 120, 90));
  });
  ASSERT_EQ(RunTool("pdftoppm", {"-r", "72", "-png", "-singlefile", path, Path("page")}).ExitCode,
            0);
  const QImage page(Path("page.png"));
  ASSERT_EQ(page.size(), QSize(120, 90));
  // The band is red 220, green 90, blue 40; JPEG at quality 90 stays within a few levels.
  const QColor middle = page.pixelColor(60, 45);
  EXPECT_NEAR(middle.red(), 220, 6);
  EXPECT_NEAR(middle.green(), 90, 6);
  EXPECT_NEAR(middle.blue(), 40, 6);
}

TEST_F(PdfWriterTest, CleanStructureAndInfo) {
  PDF_REQUIRE_TOOL("qpdf", "qpdf");
  PDF_REQUIRE_TOOL("pdfinfo", "poppler-utils");
  const QString path = Path("document.pdf");
  const QString title = QString::fromUtf8("Konspekt: Grüße — Тест (1)\\");
  const QDateTime created(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone(3600 * 5 + 1800));
  WritePdfFile(path, {title, created}, [&](TPdfWriter& writer) {
    writer.AddPage(kA4WidthPt, kA4HeightPt);
    writer.DrawImage(*pdftools::GrayPicture(210, 297, 8), QRectF(0, 0, kA4WidthPt, kA4HeightPt));
    writer.AddInvisibleWords(LayOut({"first page"}));
    writer.AddPage(kA4HeightPt, kA4WidthPt);
    writer.DrawImage(*pdftools::ColourPicture(297, 210), QRectF(0, 0, kA4HeightPt, kA4WidthPt));
    writer.DrawImage(*pdftools::GrayPicture(40, 40, 24), QRectF(10, 10, 40, 40));
    writer.AddPage(100, 100);  // a page with nothing on it
    EXPECT_EQ(writer.PageCount(), 3);
  });
  const auto check = RunTool("qpdf", {"--check", path});
  EXPECT_EQ(check.ExitCode, 0) << check.Out.toStdString() << check.Err.toStdString();
  EXPECT_TRUE(check.Out.contains("No syntax or stream encoding errors found"));
  EXPECT_EQ(check.Err, QByteArray());

  const auto info = RunTool("pdfinfo", {"-isodates", path});
  ASSERT_EQ(info.ExitCode, 0);
  EXPECT_EQ(info.Err, QByteArray());
  const QString out = QString::fromUtf8(info.Out);
  EXPECT_TRUE(out.contains(QRegularExpression("^Title: +" + QRegularExpression::escape(title) + "$",
                                              QRegularExpression::MultilineOption)))
      << info.Out.toStdString();
  EXPECT_TRUE(out.contains(QRegularExpression("^Producer: +Tavrolin 1\\.0\\.0\\.1$",
                                              QRegularExpression::MultilineOption)));
  EXPECT_TRUE(out.contains(QRegularExpression("^CreationDate: +2026-03-04T05:06:07\\+05:30$",
                                              QRegularExpression::MultilineOption)))
      << info.Out.toStdString();
  EXPECT_TRUE(out.contains(QRegularExpression("^Pages: +3$", QRegularExpression::MultilineOption)));
  EXPECT_TRUE(out.contains(QRegularExpression("^Page size: +595\\.276 x 841\\.89 pts \\(A4\\)$",
                                              QRegularExpression::MultilineOption)));
}

struct TWordsCase {
  const char* Name;
  QStringList Lines;
};

class PdfWordsTest : public PdfWriterTest, public ::testing::WithParamInterface<TWordsCase> {};

TEST_P(PdfWordsTest, ComeBackInReadingOrder) {
  PDF_REQUIRE_TOOL("pdftotext", "poppler-utils");
  const QString path = WriteWords(LayOut(GetParam().Lines));
  EXPECT_EQ(Lines(TextOf(path)), GetParam().Lines);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, PdfWordsTest,
    ::testing::Values(TWordsCase{"English", {"The quick brown fox", "jumps over the lazy dog."}},
                      TWordsCase{"German",
                                 {QString::fromUtf8("Grüße aus Köln: Straße, Öl, Ärger"),
                                  QString::fromUtf8("Übermäßig schön")}},
                      TWordsCase{"French",
                                 {QString::fromUtf8("Où est l'élève ? Déjà vu,"),
                                  QString::fromUtf8("garçon, être, Noël, cœur")}},
                      TWordsCase{"Russian",
                                 {QString::fromUtf8("Съешь же ещё этих мягких"),
                                  QString::fromUtf8("французских булок, да выпей чаю. Ёж")}},
                      // Beyond the first plane: surrogate pairs in the CMap.
                      TWordsCase{"Astral",
                                 {QString::fromUtf8("math \U0001D538\U0001D539 and \U0001F600")}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PdfWriterTest, ManyDistinctCharactersUseSeveralFonts) {
  PDF_REQUIRE_TOOL("pdftotext", "poppler-utils");
  // 600 distinct letters (Latin Extended, Greek, Cyrillic, CJK), ten to a word.
  QStringList lines;
  const char32_t starts[] = {0x100, 0x391, 0x410, 0x4E00};
  for (char32_t start : starts) {
    QString line;
    for (char32_t c = start; c < start + 150; ++c) {
      if ((c - start) % 10 == 0 && c != start) line += ' ';
      line += QString::fromUcs4(&c, 1);
    }
    lines << line;
  }
  const QString path = WriteWords(LayOut(lines, 20, 80, 3.5, 10));
  EXPECT_EQ(Lines(TextOf(path)), lines);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_GE(file.readAll().count("/Subtype /Type3"), 3);
}

TEST_F(PdfWriterTest, WordsFillTheirBoxes) {
  PDF_REQUIRE_TOOL("pdftotext", "poppler-utils");
  // Two lines; in the second, words of very different widths and a wide gap.
  const std::vector<TPdfWord> words = {
      {"Alpha", QRectF(100, 100, 80, 20)},
      {"be", QRectF(190, 102, 60, 16)},
      {"Gamma", QRectF(72, 200, 30, 10)},
      {"delta", QRectF(300, 198, 150, 14)},
  };
  const QString path = WriteWords(words);
  const auto run = RunTool("pdftotext", {"-bbox", path, "-"});
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Err, QByteArray());
  const QRegularExpression wordRow(
      "<word xMin=\"([-0-9.]+)\" yMin=\"([-0-9.]+)\" xMax=\"([-0-9.]+)\" "
      "yMax=\"([-0-9.]+)\">([^<]*)</word>");
  std::vector<std::pair<QString, QRectF>> found;
  for (auto m = wordRow.globalMatch(QString::fromUtf8(run.Out)); m.hasNext();) {
    const auto match = m.next();
    found.push_back({match.captured(5),
                     QRectF(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                            QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()))});
  }
  ASSERT_EQ(found.size(), words.size()) << run.Out.toStdString();
  for (size_t k = 0; k < words.size(); ++k) {
    SCOPED_TRACE(words[k].Text.toStdString());
    EXPECT_EQ(found[k].first, words[k].Text);
    EXPECT_NEAR(found[k].second.left(), words[k].Box.left(), 0.05);
    EXPECT_NEAR(found[k].second.right(), words[k].Box.right(), 0.05);
  }
  // A line's words share the line's height: the union of their boxes.
  EXPECT_NEAR(found[0].second.top(), 100, 0.5);
  EXPECT_NEAR(found[1].second.bottom(), 120, 0.5);
}

TEST_F(PdfWriterTest, WordsWithoutTextOrBoxAreLeftOut) {
  PDF_REQUIRE_TOOL("pdftotext", "poppler-utils");
  const QString path = WriteWords({{"kept", QRectF(50, 50, 40, 12)},
                                   {"", QRectF(100, 50, 40, 12)},
                                   {"\t\n", QRectF(100, 50, 40, 12)},
                                   {"flat", QRectF(150, 50, 40, 0)},
                                   {"narrow", QRectF(150, 50, 0, 12)},
                                   {"too", QRectF(96, 50, 30, 12)}});
  EXPECT_EQ(Lines(TextOf(path)), QStringList{"kept too"});
}

TEST_F(PdfWriterTest, MisuseIsRefused) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  TPdfWriter writer(buffer);
  const auto picture = pdftools::GrayPicture(4, 4, 8);
  EXPECT_THROW(writer.DrawImage(*picture, QRectF(0, 0, 4, 4)), std::runtime_error);
  EXPECT_THROW(writer.AddInvisibleWords(LayOut({"a"})), std::runtime_error);
  // A document without pages is refused rather than written: viewers reject an empty page tree.
  EXPECT_THROW(writer.Finish({}), std::runtime_error);
  EXPECT_THROW(writer.AddPage(0, 100), std::runtime_error);
  writer.AddPage(100, 100);
  EXPECT_THROW(writer.DrawImage(TFastDIB(), QRectF(0, 0, 4, 4)), std::runtime_error);
  EXPECT_THROW(writer.DrawImage(TFastDIB(4, 32, 4), QRectF(0, 0, 4, 4)), std::runtime_error);
  writer.Finish({});
  EXPECT_THROW(writer.AddPage(100, 100), std::runtime_error);
  EXPECT_TRUE(buffer.data().endsWith("%%EOF\n"));
}

// A device that takes `Limit` bytes and then refuses, as a full disk does.
class TFailingDevice : public QIODevice {
 public:
  explicit TFailingDevice(qint64 limit) : Limit(limit) { open(QIODevice::WriteOnly); }
  qint64 Limit;
  qint64 Taken = 0;

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 size) override {
    if (Taken + size > Limit) {
      setErrorString(QStringLiteral("the test device is full"));
      return -1;
    }
    Taken += size;
    return size;
  }
};

TEST_F(PdfWriterTest, AFailingDeviceStopsTheWriter) {
  const auto picture = pdftools::GrayPicture(500, 400, 24);
  // Inside the header, a picture, the page's text and the cross-reference table.
  for (double part : {0.0, 0.0001, 0.01, 0.5, 0.999}) {
    SCOPED_TRACE(part);
    QBuffer whole;
    whole.open(QIODevice::WriteOnly);
    auto write = [&](QIODevice& device) {
      TPdfWriter writer(device);
      writer.AddPage(kA4WidthPt, kA4HeightPt);
      writer.DrawImage(*picture, QRectF(0, 0, 500, 400));
      writer.AddInvisibleWords(LayOut({"some words here"}));
      writer.Finish({});
    };
    write(whole);
    const qint64 size = whole.data().size();
    TFailingDevice device(static_cast<qint64>(part * static_cast<double>(size)));
    try {
      write(device);
      FAIL() << "no error";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "The PDF could not be written: the test device is full");
    }
  }
}

TEST_F(PdfWriterTest, DevFullIsReportedAsDiskFull) {
  QFile full("/dev/full");
  if (!full.open(QIODevice::WriteOnly)) GTEST_SKIP() << "no /dev/full";
  TPdfWriter writer(full);
  writer.AddPage(100, 100);
  try {
    writer.DrawImage(*pdftools::GrayPicture(300, 300, 24), QRectF(0, 0, 100, 100));
    writer.Finish({});
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "The PDF could not be written: Disk full");
  }
  EXPECT_THROW(writer.Finish({}), std::runtime_error);
}

// While it lives, files of this process can grow to `bytes` only; writes past it fail with
// EFBIG instead of ending the process.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &Saved);
    PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, PreviousHandler);
  }

 private:
  rlimit Saved{};
  void (*PreviousHandler)(int) = nullptr;
};

TEST_F(PdfWriterTest, AFailedSaveLeavesThePreviousFile) {
  const QString path = Path("kept.pdf");
  {
    QFile previous(path);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("previous");
  }
  const auto picture = pdftools::GrayPicture(800, 800, 24);
  auto pages = [&](TPdfWriter& writer) {
    writer.AddPage(kA4WidthPt, kA4HeightPt);
    writer.DrawImage(*picture, QRectF(0, 0, kA4WidthPt, kA4HeightPt));
  };
  try {
    TFileSizeLimit limit(4096);
    WritePdfFile(path, {}, pages);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Could not save the PDF file \"kept.pdf\": File too large");
  }
  // An error of the caller's own passes through unchanged.
  EXPECT_THROW(WritePdfFile(path, {}, [](TPdfWriter&) { throw std::invalid_argument("photo"); }),
               std::invalid_argument);
  // No pages: refused, nothing written.
  EXPECT_THROW(WritePdfFile(path, {}, [](TPdfWriter&) {}), std::runtime_error);
  EXPECT_THROW(WritePdfFile(Path("missing/folder/x.pdf"), {}, pages), std::runtime_error);

  QFile kept(path);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("previous"));
  EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"kept.pdf"});

  WritePdfFile(path, {}, pages);
  kept.seek(0);
  EXPECT_TRUE(QFile(path).size() > 10000);
}

}  // namespace
