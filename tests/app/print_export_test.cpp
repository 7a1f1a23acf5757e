// Paper and files from the real window: "Print photocopy" through the print dialog (answered by
// the test as a user choosing "Print to File") into PDF files, and the save menu's image exports
// through the real export dialog, with the photo list locked while an export runs.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "EditorPage.h"

namespace {

using apptest::AppTest;
using apptest::FilesIn;
using PrintChoice = IUserPrompts::PrintChoice;

QString PdfInfo(const QString& file, const QString& key) {
  QProcess process;
  process.start(QStringLiteral("pdfinfo"), {file});
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
  for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
    if (line.startsWith(key + u':')) return line.mid(key.size() + 1).trimmed();
  }
  return QString();
}

int PdfPages(const QString& file) {
  const QString pages = PdfInfo(file, QStringLiteral("Pages"));
  return pages.isEmpty() ? -1 : pages.toInt();
}

// The first page at 40 dots per inch.
QImage SmallRaster(const QString& file, const QString& prefix) {
  QProcess::execute(
      QStringLiteral("pdftoppm"),
      {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-f"), QStringLiteral("1"),
       QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-singlefile"), file, prefix});
  return QImage(prefix + QStringLiteral(".ppm"));
}

int RedPixels(const QImage& image) {
  int red = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60 ? 1 : 0;
    }
  }
  return red;
}

class PrintFromWindow : public AppTest {
 protected:
  // Five photos at 1 x 2: three sheets.
  void SetUp() override {
    FormWithRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                  QStringLiteral("d"), QStringLiteral("e")});
    ShowForm();
    Form->sSpinRows->setValue(1);
    Form->sSpinColls->setValue(2);
    Form->LeftTabs->setCurrentWidget(Form->TabPreview);
  }
  // The user picks "Print to File" with `file`, then adjusts the choice.
  void AnswerPrint(const QString& file, std::function<void(PrintChoice&)> adjust = {}) {
    Prompts.PrintAnswer = [file, adjust](QPrinter& printer, PrintChoice& choice) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(file);
      if (adjust) adjust(choice);
      return true;
    };
  }
  void ClickPrint() { QTest::mouseClick(Form->sSpeedButton13, Qt::LeftButton); }
};

TEST_F(PrintFromWindow, TheButtonPrintsEverySheetWithTheWindowCaptionAsTitle) {
  Form->SelectRows({0});  // the red mark belongs to the screen only
  const QString all = Env.Path(QStringLiteral("out/all.pdf"));
  AnswerPrint(all);
  ClickPrint();
  ASSERT_EQ(Prompts.PrintOffers.size(), 1u);
  const PrintChoice& offer = Prompts.PrintOffers[0];
  EXPECT_EQ(offer.MinPage, 1);
  EXPECT_EQ(offer.MaxPage, 3);
  EXPECT_EQ(offer.FromPage, 1);
  EXPECT_EQ(offer.ToPage, 3);
  EXPECT_EQ(offer.Copies, 1);
  EXPECT_EQ(PdfPages(all), 3);
  EXPECT_EQ(PdfInfo(all, QStringLiteral("Title")), Form->windowTitle());
  EXPECT_TRUE(Prompts.Errors().isEmpty());
  const QImage page = SmallRaster(all, Env.Path(QStringLiteral("out/all")));
  ASSERT_FALSE(page.isNull());
  EXPECT_EQ(RedPixels(page), 0);

  // Sheet 2 only.
  const QString second = Env.Path(QStringLiteral("out/second.pdf"));
  AnswerPrint(second, [](PrintChoice& choice) {
    choice.AllPages = false;
    choice.FromPage = 2;
    choice.ToPage = 2;
  });
  ClickPrint();
  EXPECT_EQ(PdfPages(second), 1);

  // Two copies are two jobs of all three sheets; the dialog opened with one copy again.
  QStringList jobs;
  Form->BeforePrintJob = [&](QPrinter& printer, int32_t copy) {
    jobs << Env.Path(QStringLiteral("out/copy%1.pdf").arg(copy));
    printer.setOutputFileName(jobs.back());
  };
  AnswerPrint(Env.Path(QStringLiteral("out/copies.pdf")),
              [](PrintChoice& choice) { choice.Copies = 2; });
  ClickPrint();
  ASSERT_EQ(Prompts.PrintOffers.size(), 3u);
  EXPECT_EQ(Prompts.PrintOffers[2].Copies, 1);
  EXPECT_TRUE(Prompts.PrintOffers[2].AllPages);
  ASSERT_EQ(jobs.size(), 2);
  for (const QString& job : jobs) EXPECT_EQ(PdfPages(job), 3) << job.toStdString();
}

TEST_F(PrintFromWindow, CancelPrintsNothingAndNoPhotosOfferNothing) {
  Prompts.PrintAnswer = [](QPrinter&, PrintChoice&) { return false; };
  ClickPrint();
  EXPECT_EQ(Prompts.PrintOffers.size(), 1u);

  Form->SelectRows({0, 1, 2, 3, 4});
  Form->RemoveSelectedClick();
  ClickPrint();
  EXPECT_EQ(Prompts.PrintOffers.size(), 1u) << "no dialog without photos";
  EXPECT_TRUE(Prompts.Errors().isEmpty());
}

TEST_F(PrintFromWindow, AMissingWorkingFileIsReportedAndSendsNoJob) {
  QFile::remove(Form->Photo(3)->WorkFile);
  const QString file = Env.Path(QStringLiteral("out/failed.pdf"));
  AnswerPrint(file);
  ClickPrint();
  ASSERT_EQ(Prompts.Errors().size(), 1);
  EXPECT_TRUE(Prompts.Errors()[0].contains(QStringLiteral("photo 4")))
      << Prompts.Errors()[0].toStdString();
  EXPECT_FALSE(QFileInfo::exists(file));
  EXPECT_TRUE(Form->isEnabled());
}

class ExportFromWindow : public AppTest {
 protected:
  // The folder browser that opens with the dialog answers `folder` (empty: cancelled), then
  // `then` runs inside the dialog; it presses "&Export" unless told otherwise.
  void AnswerExport(const QString& folder, std::function<void()> then = {}) {
    Prompts.FoldersToBrowse.push_back(folder);
    Prompts.AfterBrowse = [this, then] {
      if (then) then();
      if (ExportDialog->isVisible()) ExportDialog->sButton1->click();
    };
    // A dialog left open would hang the test: close it after a while.
    QTimer::singleShot(20000, ExportDialog, [this] { ExportDialog->reject(); });
  }
  std::vector<TScriptedWait::Call> WaitCalls(const QString& what) const {
    std::vector<TScriptedWait::Call> calls;
    for (const auto& call : Wait.Calls) {
      if (call.What == what) calls.push_back(call);
    }
    return calls;
  }
};

TEST_F(ExportFromWindow, TheSaveMenu) {
  ShowForm();
  struct Item {
    const char* Caption;  // "" for a separator
    bool Enabled;
  };
  const Item items[] = {{"Save as Tavrolin Document", true},
                        {"", true},
                        {"Save as JPGs", true},
                        {"Save as PNGs", true},
                        {"", true},
                        {"Save as PDF", false},
                        {"Save as eBook", false}};
  const QList<QAction*> actions = Form->MenuSave->actions();
  ASSERT_EQ(actions.size(), std::size(items));
  for (int i = 0; i < actions.size(); ++i) {
    EXPECT_EQ(actions[i]->isSeparator(), items[i].Caption[0] == '\0') << i;
    EXPECT_EQ(actions[i]->text(), QString::fromUtf8(items[i].Caption)) << i;
    EXPECT_EQ(actions[i]->isEnabled(), items[i].Enabled) << i;
  }
  EXPECT_EQ(actions[0], Form->SaveasTavrolinDocument1);
  EXPECT_EQ(actions[2], Form->SaveasBMP1);
  EXPECT_EQ(actions[3], Form->SaveasPNG1);

  Form->LeftTabs->setCurrentWidget(Form->TabFiles);
  QTest::mouseClick(Form->sSpeedButtonSave, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([this] { return Form->MenuSave->isVisible(); }, 2000));
  const QPoint below =
      Form->sSpeedButtonSave->mapToGlobal(QPoint(0, Form->sSpeedButtonSave->height() + 5));
  EXPECT_EQ(Form->MenuSave->pos(), below);
  Form->MenuSave->hide();
}

TEST_F(ExportFromWindow, BothFormatsWriteNumberedPagesWithTheWindowEnabled) {
  FormWithRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
  ShowForm();
  const QString folder = Env.Path(QStringLiteral("exported/pages"));
  AnswerExport(folder);
  Wait.Calls.clear();
  Form->SaveasPNG1->trigger();
  EXPECT_EQ(FilesIn(folder),
            QStringList({QStringLiteral("TavDoc000.png"), QStringLiteral("TavDoc001.png"),
                         QStringLiteral("TavDoc002.png")}));
  EXPECT_FALSE(QImage(folder + QStringLiteral("/TavDoc002.png")).isNull());
  ASSERT_EQ(WaitCalls(QStringLiteral("ShowWait")).size(), 1u);
  const auto shown = WaitCalls(QStringLiteral("ShowWait"))[0];
  EXPECT_EQ(shown.Caption, QStringLiteral("Please wait..."));
  EXPECT_EQ(shown.Text, QStringLiteral("Exporting images......"));
  EXPECT_EQ(shown.A, 0);
  EXPECT_EQ(shown.B, 2);
  EXPECT_EQ(Wait.Progress(), std::vector<int>({0, 1, 2}));
  for (const auto& step : WaitCalls(QStringLiteral("SetProgress")))
    EXPECT_TRUE(step.WatchedEnabled);
  EXPECT_EQ(Wait.Count(QStringLiteral("Close")), 1);

  // The dialog kept the folder; the browser starts there and is cancelled this time.
  AnswerExport(QString());
  Form->SaveasBMP1->trigger();
  EXPECT_EQ(Prompts.Dialogs.back().Start, QDir::toNativeSeparators(folder));
  EXPECT_EQ(FilesIn(folder).filter(QStringLiteral(".jpg")),
            QStringList({QStringLiteral("TavDoc000.jpg"), QStringLiteral("TavDoc001.jpg"),
                         QStringLiteral("TavDoc002.jpg")}));
  EXPECT_FALSE(QImage(folder + QStringLiteral("/TavDoc000.jpg")).isNull());
  EXPECT_TRUE(Prompts.Errors().isEmpty());
}

TEST_F(ExportFromWindow, NoPhotosShowNoDialog) {
  ShowForm();
  Form->SaveasBMP1->trigger();
  Form->SaveasPNG1->trigger();
  EXPECT_FALSE(ExportDialog->isVisible());
  EXPECT_TRUE(Prompts.Dialogs.empty());
  EXPECT_EQ(Wait.Count(QStringLiteral("ShowWait")), 0);
}

TEST_F(ExportFromWindow, AnErrorIsShownAndTheListIsFreeAgain) {
  FormWithRows({QStringLiteral("a")});
  ShowForm();
  Wait.Calls.clear();
  AnswerExport(QString(), [this] { ExportDialog->sDirectoryEdit1->clear(); });
  Form->SaveasBMP1->trigger();
  EXPECT_EQ(Prompts.Errors(), QStringList({QStringLiteral("Unable to create directory")}));
  EXPECT_EQ(Wait.Count(QStringLiteral("ShowWait")), 0);
  EXPECT_FALSE(Form->ListChangesRefused());
  EXPECT_TRUE(Form->sSpeedButtonAdd->isEnabled());
  EXPECT_TRUE(Form->SaveasBMP1->isEnabled());
}

TEST_F(ExportFromWindow, ListChangesAreRefusedWhileAnExportRuns) {
  FormWithRows({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
  ShowForm();
  Form->LeftTabs->setCurrentWidget(Form->TabFiles);
  Form->SelectRows({1});
  const QStringList titles = Titles();
  const QString photo = MakePhoto(QStringLiteral("late.jpg"));
  const QString folder = Env.Path(QStringLiteral("exported"));
  bool tried = false;
  Wait.OnProgress = [&](int position) {
    if (position != 1) return;
    tried = true;
    EXPECT_TRUE(Form->isEnabled());
    EXPECT_TRUE(Form->ListChangesRefused());
    for (QToolButton* button :
         {Form->sSpeedButtonRemoveAll, Form->sSpeedButtonOpen, Form->sSpeedButtonAdd,
          Form->sSpeedButtonRemove, Form->sSpeedButtonUp, Form->sSpeedButtonDown,
          Form->sSpeedButtonSort, Form->HowToAddButton})
      EXPECT_FALSE(button->isEnabled()) << button->toolTip().toStdString();
    EXPECT_FALSE(Form->SaveasBMP1->isEnabled());
    EXPECT_FALSE(Form->Editor->sButtonApply->isEnabled());
    // The rest of the window stays usable.
    EXPECT_TRUE(Form->sSpinRows->isEnabled());
    EXPECT_TRUE(Form->sSpeedButton13->isEnabled());
    EXPECT_TRUE(Form->SaveasTavrolinDocument1->isEnabled());

    // The commands themselves refuse too (the Delete key and drops reach them directly); none
    // of them asks anything, which the scripted prompts would report.
    QTest::keyClick(Form->fileView, Qt::Key_Delete);
    Form->RemoveSelectedClick();
    Form->AddFilesClick();
    Form->AddFileList({photo});
    Form->FilesDropped({photo});
    Form->sSpeedButtonUpClick();
    Form->sSpeedButtonDownClick();
    Form->sSpeedButtonSortClick();
    Form->RemoveAllClick();
    Form->sSpeedButtonOpenClick();
    Form->SaveasPNG1Click();  // no second export over the first
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Titles(), titles);
  };
  AnswerExport(folder);
  Wait.Calls.clear();
  Form->SaveasBMP1->trigger();
  EXPECT_TRUE(tried);
  EXPECT_EQ(FilesIn(folder).size(), 3);
  EXPECT_EQ(Wait.Count(QStringLiteral("ShowWait")), 1);
  EXPECT_TRUE(Prompts.Messages.empty());

  // Afterwards the list is the user's again.
  EXPECT_FALSE(Form->ListChangesRefused());
  EXPECT_TRUE(Form->sSpeedButtonRemove->isEnabled());
  EXPECT_TRUE(Form->Editor->sButtonApply->isEnabled());
  Wait.OnProgress = nullptr;
  Form->RemoveSelectedClick();
  EXPECT_EQ(Form->PhotoCount(), 2);
}

}  // namespace
