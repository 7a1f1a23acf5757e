// Printing through the real path: the print dialog answered by the test's prompts, the printer
// writing PDF files, which pdfinfo counts and pdftoppm turns back into pixels.
#include <gtest/gtest.h>

#include <memory>

#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>

#include "Printing.h"
#include "SheetFixture.h"
#include "SheetRenderer.h"

namespace {

QString RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// "Pages:" and "Title:" of pdfinfo; -1 / empty when the file is no PDF.
int PdfPages(const QString& file) {
  for (const QString& line : RunTool("pdfinfo", {file}).split('\n'))
    if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
  return -1;
}
QString PdfTitle(const QString& file) {
  for (const QString& line : RunTool("pdfinfo", {file}).split('\n'))
    if (line.startsWith("Title:")) return line.mid(6).trimmed();
  return QString();
}

// One page of the PDF at the sheet's own resolution (12 pixels per millimetre, 304.8 dpi); the
// page's size in points may round to a pixel more or less.
QImage RasterisePage(const QString& file, int page, const QString& prefix) {
  RunTool("pdftoppm", {"-f", QString::number(page), "-l", QString::number(page), "-r", "304.8",
                       "-singlefile", file, prefix});
  return QImage(prefix + ".ppm");
}

std::unique_ptr<QPrinter> PdfPrinter(const QString& file) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setOutputFileName(file);
  printer->setPageSize(QPageSize(QPageSize::A4));
  printer->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  return printer;
}

TSheetLayout OneRowOfTwo() {
  TSheetLayout layout;
  layout.Rows = 1;
  layout.Cols = 2;
  return layout;
}

bool DarkNear(const QImage& image, int x, int y, int reach = 2) {
  for (int dx = -reach; dx <= reach; ++dx) {
    const QRgb p = image.pixel(x + dx, y);
    if (qRed(p) < 128 && qGreen(p) < 128 && qBlue(p) < 128) return true;
  }
  return false;
}

}  // namespace

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int k = 0; k < 5; ++k) Document.AddPhoto(kPalette[k]);
    Photos = Document.Photos();
    Texts.ClearSheetTexts();
    Texts.AddSheetText("http://tavrolin.example");
    Output = Document.Path("out.pdf");
    Printer = PdfPrinter(Output);
    // The print dialog is answered with OK and the choice it offers, unless a test says more.
    Prompts.PrintAnswer = [](QPrinter&, IUserPrompts::PrintChoice&) { return true; };
  }

  // 5 photos at 1 x 2: three sheets.
  bool Print() {
    return PrintDocument(Prompts, nullptr, *Printer, TPrintSource{Photos, OneRowOfTwo(), Texts},
                         Title, Hook);
  }

  TColourPhotos Document;
  std::vector<TShpora*> Photos;
  TSheetTexts Texts;
  TScriptedPrompts Prompts;
  QString Output;
  std::unique_ptr<QPrinter> Printer;
  QString Title = "Tavrolin 1.0.0.1 - [New document]";
  TPrintJobHook Hook;
};

TEST_F(PrintTest, AllPagesOneCopy) {
  ASSERT_TRUE(Print());
  ASSERT_EQ(Prompts.PrintOffers.size(), 1u);
  const IUserPrompts::PrintChoice& offer = Prompts.PrintOffers[0];
  EXPECT_EQ(offer.MinPage, 1);
  EXPECT_EQ(offer.MaxPage, 3);
  EXPECT_EQ(offer.FromPage, 1);
  EXPECT_EQ(offer.ToPage, 3);
  EXPECT_EQ(offer.Copies, 1);
  EXPECT_TRUE(offer.AllPages);
  EXPECT_EQ(PdfPages(Output), 3) << "one page per sheet and no trailing empty page";
  EXPECT_EQ(PdfTitle(Output), Title);
  EXPECT_EQ(Printer->copyCount(), 1);
  EXPECT_EQ(Printer->pageLayout().orientation(), QPageLayout::Portrait);
  for (TShpora* photo : Photos) EXPECT_EQ(photo->FullImage, nullptr);
  EXPECT_EQ(QDir(Document.Dir.path()).entryList({"out.pdf*"}, QDir::Files), QStringList{"out.pdf"});
}

TEST_F(PrintTest, PageRangeTwoToTwo) {
  Prompts.PrintAnswer = [](QPrinter&, IUserPrompts::PrintChoice& choice) {
    choice.AllPages = false;
    choice.FromPage = 2;
    choice.ToPage = 2;
    return true;
  };
  ASSERT_TRUE(Print());
  EXPECT_EQ(PdfPages(Output), 1);
  // Sheet 2 holds photos 3 and 4.
  const QImage page = RasterisePage(Output, 1, Document.Path("range"));
  ASSERT_NEAR(page.width(), 2520, 1);
  ASSERT_NEAR(page.height(), 3564, 1);
  const TSheetGeometry g = SheetGeometry(12, OneRowOfTwo());
  for (int j = 0; j < 2; ++j)
    EXPECT_TRUE(Near(page.pixel(g.CellX(j) + g.CellWidth / 2, g.CellY(0) + g.CellHeight / 2),
                     kPalette[2 + j], 10))
        << "cell " << j;
}

TEST_F(PrintTest, TwoCopiesAreTwoJobsOfAllSheets) {
  Prompts.PrintAnswer = [](QPrinter&, IUserPrompts::PrintChoice& choice) {
    choice.Copies = 2;
    return true;
  };
  std::vector<int> jobs;
  Hook = [&](QPrinter& printer, int32_t copy) {
    jobs.push_back(copy);
    printer.setOutputFileName(Document.Path(QStringLiteral("copy%1.pdf").arg(copy)));
  };
  ASSERT_TRUE(Print());
  EXPECT_EQ(jobs, (std::vector<int>{1, 2}));
  EXPECT_EQ(PdfPages(Document.Path("copy1.pdf")), 3);
  EXPECT_EQ(PdfPages(Document.Path("copy2.pdf")), 3);
  EXPECT_EQ(Printer->copyCount(), 1) << "copies are jobs, not the printer's own count";

  // The next print starts from the defaults again, whatever was chosen last time.
  Prompts.PrintAnswer = [](QPrinter&, IUserPrompts::PrintChoice&) { return false; };
  Printer->setCopyCount(4);
  EXPECT_FALSE(Print());
  ASSERT_EQ(Prompts.PrintOffers.size(), 2u);
  EXPECT_EQ(Prompts.PrintOffers[1].Copies, 1);
  EXPECT_EQ(Prompts.PrintOffers[1].FromPage, 1);
  EXPECT_EQ(Prompts.PrintOffers[1].ToPage, 3);
  EXPECT_TRUE(Prompts.PrintOffers[1].AllPages);
  EXPECT_EQ(jobs.size(), 2u) << "a cancelled dialog sends no job";
}

TEST_F(PrintTest, NoPhotosOfferNothing) {
  Photos.clear();
  EXPECT_FALSE(Print());
  EXPECT_TRUE(Prompts.PrintOffers.empty());
  EXPECT_FALSE(QFile::exists(Output));
}

TEST_F(PrintTest, RangeRule) {
  struct Case {
    bool all;
    int from, to, first, last;
  };
  // Offered pages 1 to 5.
  const Case cases[] = {
      {true, 2, 3, 1, 5},  {false, 2, 3, 2, 3}, {false, 4, 4, 4, 4},
      {false, 0, 9, 1, 5}, {false, 0, 0, 1, 0},  // no page chosen: nothing
  };
  for (const Case& c : cases) {
    IUserPrompts::PrintChoice choice;
    choice.MinPage = 1;
    choice.MaxPage = 5;
    choice.AllPages = c.all;
    choice.FromPage = c.from;
    choice.ToPage = c.to;
    const TPrintRange range = PrintRange(choice);
    EXPECT_EQ(range.First, c.first);
    EXPECT_EQ(range.Last, c.last);
  }
  EXPECT_TRUE(PrintRange({1, 5, 0, 0, 1, false}).IsEmpty());
}

TEST_F(PrintTest, PrintedPageShowsFramesStripsAndNoMark) {
  ASSERT_TRUE(Print());
  const QImage page = RasterisePage(Output, 1, Document.Path("page1"));
  ASSERT_NEAR(page.width(), 2520, 1);
  ASSERT_NEAR(page.height(), 3564, 1);
  const TSheetGeometry g = SheetGeometry(12, OneRowOfTwo());
  const int y = g.CellY(0), mid = y + g.CellHeight / 2;
  for (int j = 0; j < 2; ++j) {
    const int x = g.CellX(j);
    SCOPED_TRACE("cell " + std::to_string(j));
    EXPECT_TRUE(DarkNear(page, x, mid));
    EXPECT_TRUE(DarkNear(page, x + g.CellWidth - 1, mid));
    EXPECT_TRUE(Near(page.pixel(x + g.Strip + 40, mid), kPalette[j], 10));
    EXPECT_FALSE(InkBox(page, QRect(x + 3, y + 3, g.Strip - 4, g.Strip - 4)).isNull())
        << "the number";
    EXPECT_FALSE(InkBox(page, QRect(x + 3, y + g.CellHeight - 300, g.Strip - 4, 290)).isNull())
        << "the margin text";
    EXPECT_TRUE(Near(page.pixel(x + g.Strip / 2, mid), TRgb{255, 255, 255}, 10))
        << "the strip is white between number and text";
  }
  EXPECT_TRUE(DarkNear(page, 1, mid, 1)) << "the sheet's outline";
  int red = 0;
  for (int yy = 0; yy < page.height(); yy += 2)
    for (int xx = 0; xx < page.width(); xx += 2) {
      const QRgb p = page.pixel(xx, yy);
      // The mark's pure red, not the first photo's darker red (220, 40, 40).
      red += Near(p, TRgb{255, 0, 0}, 20) ? 1 : 0;
    }
  EXPECT_EQ(red, 0);
}

TEST_F(PrintTest, RenderFailureAbortsTheJobAndKeepsTheFile) {
  {
    QFile old(Output);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the user's old file");
  }
  // Photo 4 sits on sheet 2: its working JPEG exists but is damaged.
  TShpora* damaged = Photos[3];
  damaged->DropImages();
  const QString work = damaged->WorkFile;
  const QString backup = Document.Path("backup.jpg");
  ASSERT_TRUE(QFile::copy(work, backup));
  {
    QFile file(work);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("not a JPEG at all");
  }
  EXPECT_THROW(Print(), std::runtime_error);
  EXPECT_NE(Printer->printerState(), QPrinter::Active);
  {
    QFile old(Output);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the user's old file"));
  }
  EXPECT_EQ(QDir(Document.Dir.path()).entryList({"out.pdf*"}, QDir::Files), QStringList{"out.pdf"})
      << "no half-written job left beside it";
  EXPECT_EQ(Printer->outputFileName(), Output);

  // The program stays usable: with the photo repaired the same printer prints.
  ASSERT_TRUE(QFile::remove(work));
  ASSERT_TRUE(QFile::copy(backup, work));
  ASSERT_TRUE(Print());
  EXPECT_EQ(PdfPages(Output), 3);
}

TEST_F(PrintTest, MissingWorkFileSendsNoJob) {
  Photos[4]->DropImages();
  ASSERT_TRUE(QFile::remove(Photos[4]->WorkFile));
  try {
    Print();
    ADD_FAILURE() << "printing went on without the photo's picture";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("photo 5"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(QFile::exists(Output));
}
