// The main window as a whole: start-up state and layout, closing, the command line, the
// document commands over real .TavDoc files, and the default error handler.
#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "AppTestSupport.h"
#include "EditorPage.h"
#include "FormProps.h"
#include "OnlineUi.h"
#include "Program.h"
#include "Site.h"

namespace {

using apptest::AppTest;
using apptest::FilesIn;
using apptest::ReadAll;
using apptest::TDocBytes;
using apptest::WriteAll;
using Answer = IUserPrompts::Answer;

QStringList TabCaptions(const QTabWidget* tabs) {
  QStringList captions;
  for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
  return captions;
}

class MainWindow : public AppTest {
 protected:
  // A document with the rows A, B (and their working JPEGs) written to docs/NAME.
  QString SavedDocument(const QString& name, const QStringList& rows) {
    Form.reset();
    FormWithRows(rows);
    const QString doc = Env.Path(QStringLiteral("docs/") + name);
    Form->WriteDocument(doc);
    Form.reset();
    MakeForm();
    Wait.Calls.clear();
    return doc;
  }
};

TEST_F(MainWindow, StartsWithItsTitleTabsAndState) {
  ShowForm();
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [New document]"));
  EXPECT_EQ(Form->TitleBase, QStringLiteral("Tavrolin 1.0.0.1"));
  EXPECT_EQ(Form->ExeVersion, QStringLiteral("1.0.0.1"));
  EXPECT_EQ(Form->Online->RemoteVersion, Form->ExeVersion);
  EXPECT_EQ(TabCaptions(Form->LeftTabs),
            QStringList({QStringLiteral("About"), QStringLiteral("Files"),
                         QStringLiteral("Page Preview")}));
  EXPECT_EQ(TabCaptions(Form->RightTabs),
            QStringList({QStringLiteral("How to use"), QStringLiteral("Edit photos"),
                         QStringLiteral("WebTab")}));
  EXPECT_EQ(Form->LeftTabs->currentWidget(), Form->TabAbout);
  EXPECT_EQ(Form->RightTabs->currentWidget(), Form->TabHowTo);
  EXPECT_FALSE(Form->RightTabs->isTabVisible(Form->RightTabs->indexOf(Form->WebTab)));

  EXPECT_EQ(Form->AppDataFolder, Env.DataHome() + QStringLiteral("/Tavrolin/"));
  EXPECT_TRUE(QFileInfo(Form->AppDataFolder).isDir());
  EXPECT_EQ(Form->Online->InfoCacheFile, Form->AppDataFolder + QStringLiteral("Tavrolin.ini"));
  EXPECT_TRUE(Form->WorkFolder().isEmpty());  // made on first need
  EXPECT_TRUE(FilesIn(Env.Temp()).isEmpty());
  EXPECT_EQ(Form->SheetBitmap.size(), QSize(420, 594));
  EXPECT_EQ(Form->SheetBitmap.depth(), 24);
  EXPECT_EQ(Form->Editor->ZoomBitmap.size(), QSize(420, 594));
  ASSERT_EQ(Form->SheetTexts.SheetTextCount(), 1);
  EXPECT_EQ(Form->SheetTexts.Text(0), tavrolin::SiteAddress());
  EXPECT_EQ(Form->SheetCount, 0);
  EXPECT_EQ(Form->CurrentPhoto(), nullptr);
  EXPECT_TRUE(Form->Online->FirstRunOfVersion);
}

TEST_F(MainWindow, FilesTabButtonsListAndHowToPage) {
  ShowForm();
  struct Button {
    QToolButton* Control;
    int X;
    const char* Hint;
  };
  const Button buttons[] = {
      {Form->sSpeedButtonRemoveAll, 0, "New Document"},
      {Form->sSpeedButtonOpen, 56, "Open Tavrolin Document"},
      {Form->sSpeedButtonSave, 104, "Save Tavrolin Document"},
      {Form->sSpeedButtonAdd, 160, "Add photos"},
      {Form->sSpeedButtonRemove, 208, "Remove selected photos from document"},
      {Form->sSpeedButtonUp, 264, "Up"},
      {Form->sSpeedButtonDown, 312, "Down"},
      {Form->sSpeedButtonSort, 376, "Sort by name"},
  };
  for (const Button& b : buttons) {
    EXPECT_EQ(b.Control->toolTip(), QString::fromUtf8(b.Hint));
    EXPECT_EQ(b.Control->geometry(), QRect(b.X, 8, 49, 57)) << b.Hint;
    EXPECT_EQ(b.Control->parentWidget(), Form->TabFiles);
    EXPECT_FALSE(b.Control->icon().isNull());
  }
  EXPECT_EQ(Form->fileView->geometry(), QRect(0, 73, 425, 594));
  EXPECT_EQ(Form->fileView->headerItem()->text(0), QStringLiteral("Title"));
  EXPECT_EQ(Form->fileView->headerItem()->text(1), QStringLiteral("Path"));
  EXPECT_EQ(Form->fileView->selectionMode(), QAbstractItemView::ExtendedSelection);

  QStringList texts;
  for (const QLabel* label : Form->TabHowTo->findChildren<QLabel*>()) texts << label->text();
  for (const char* expected :
       {"1. Import photos of documents to the program",
        "To do this, go to the \"Files\" tab and click \"Add\", or just drag'n'drop the images.",
        "2. Edit the list of uploaded photos",
        "Using the \"Up\" and \"Down\" buttons, you can change the order of printing files.",
        "Click the \"Sort\" button to sort files by title.",
        "If you don't need several files any more, just delete them from the list.",
        "3. Open the \"Print Preview\" tab.",
        "Select the quantity of photos on paper and their arrangement.",
        "Adjust brightness, contrast, and crop the edges\nif necessary.",
        "Click the \"Print\" button.", "4. Don't forget to save the document",
        "Click the \"Save\" button on the \"Files\" tab. The document will be available for "
        "further editing and printing."}) {
    EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
  }
  // The page's own "Add photos" button runs the same command.
  Prompts.FilesToOpen.push_back({MakePhoto(QStringLiteral("x.jpg"))});
  QTest::mouseClick(Form->HowToAddButton, Qt::LeftButton);
  EXPECT_EQ(Form->PhotoCount(), 1);
}

TEST_F(MainWindow, TheProgramCreatesItsFourWindows) {
  TScriptedPrompts prompts;
  TProgramWindows windows(prompts);
  ASSERT_NE(windows.FormProps, nullptr);
  EXPECT_EQ(windows.FormProps, windows.FormMain->Editor->FormProps);
  EXPECT_EQ(windows.FormProps->windowTitle(), QStringLiteral("Apply to many..."));
  EXPECT_EQ(windows.Form3->windowTitle(), QStringLiteral("Export resulted images"));
  EXPECT_EQ(windows.Form3->parentWidget(), windows.FormMain.get());
  EXPECT_FALSE(windows.FormWait->isVisible());
  EXPECT_EQ(windows.FormMain->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [New document]"));
}

TEST_F(MainWindow, ClosingAsksOnlyWithPhotosAndCancelKeepsTheList) {
  ShowForm();
  EXPECT_TRUE(Form->close());  // empty: closes at once
  EXPECT_TRUE(Prompts.Messages.empty());

  Form.reset();
  FormWithRows({QStringLiteral("A"), QStringLiteral("B")});
  Form->show();
  Prompts.Answers = {Answer::Cancel};
  EXPECT_FALSE(Form->close());
  EXPECT_TRUE(Form->isVisible());
  EXPECT_EQ(Form->PhotoCount(), 2);

  const QString workFolder = Form->WorkFolder();
  Prompts.Answers = {Answer::No};
  EXPECT_TRUE(Form->close());
  EXPECT_EQ(Form->PhotoCount(), 0);
  EXPECT_FALSE(QFileInfo::exists(workFolder));
}

TEST_F(MainWindow, AFailedSaveWhileClosingKeepsTheWindowOpen) {
  FormWithRows({QStringLiteral("A")});
  Form->show();
  // The working copy vanished: the save fails, the error is shown, nothing is closed.
  QFile::remove(Form->Photo(0)->WorkFile);
  const QString doc = Env.Path(QStringLiteral("docs/keep.TavDoc"));
  WriteAll(doc, "previous document");
  Prompts.Answers = {Answer::Yes};
  Prompts.FileToSave = {doc};
  EXPECT_FALSE(Form->close());
  EXPECT_EQ(Prompts.Errors().size(), 1);
  EXPECT_EQ(Form->PhotoCount(), 1);
  EXPECT_EQ(ReadAll(doc), QByteArray("previous document"));
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [New document]"));
}

TEST_F(MainWindow, CommandLineOpensAnExistingDocumentAfterShow) {
  const QString doc = SavedDocument(QStringLiteral("Math notes.TavDoc"),
                                    {QStringLiteral("A"), QStringLiteral("B")});
  Form->CommandLine = {doc, QStringLiteral("ignored")};
  ShowForm();
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("A.jpg"), QStringLiteral("B.jpg")}));
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [Math notes.TavDoc]"));
  EXPECT_TRUE(Prompts.Messages.empty());

  Form.reset();
  MakeForm();
  Form->CommandLine = {Env.Path(QStringLiteral("docs/missing.TavDoc"))};
  ShowForm();
  EXPECT_EQ(Form->PhotoCount(), 0);
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [New document]"));
  EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(MainWindow, SaveAndOpenRoundTrip) {
  FormWithRows({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  Form->SetLayout(3, 2, 1);
  for (int i = 0; i < 3; ++i) {
    TShpora& p = *Form->Photo(i);
    p.Rotation = i;
    p.ImageType = i % 2;
    p.Brightness = -7 + i;
    p.Contrast = 12 - i;
    p.CropLeft = 1 + i;
    p.CropRight = 400 - i;
    p.CropTop = 3 + i;
    p.CropBottom = 590 - i;
  }
  Form->SelectRows({0, 1});
  Form->sSpeedButtonDownClick();  // C, A, B
  std::vector<std::vector<int32_t>> parameters;
  std::vector<QByteArray> jpegs;
  for (int i = 0; i < 3; ++i) {
    const TShpora& p = *Form->Photo(i);
    parameters.push_back({p.Rotation, p.ImageType, p.Brightness, p.Contrast, p.CropLeft,
                          p.CropRight, p.CropTop, p.CropBottom});
    jpegs.push_back(ReadAll(p.WorkFile));
  }
  const QStringList titles = Titles();

  // "notes" typed without an extension saves notes.TavDoc.
  Prompts.FileToSave = {Env.Path(QStringLiteral("docs/notes"))};
  Form->OnSaveAsTavDoc();
  const QString doc = Env.Path(QStringLiteral("docs/notes.TavDoc"));
  ASSERT_TRUE(QFileInfo::exists(doc));
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [notes.TavDoc]"));

  Prompts.Answers = {Answer::No};
  Prompts.FileToOpen = {doc};
  Form->SetLayout(4, 4, 0);
  Form->sSpeedButtonOpenClick();
  EXPECT_EQ(Prompts.Dialogs.back().Title, QStringLiteral("Open Tavrolin Document"));
  EXPECT_EQ(Prompts.Dialogs.back().Filter, QStringLiteral("*.TavDoc|*.TavDoc|*.*|*.*"));
  EXPECT_EQ(Titles(), titles);
  EXPECT_EQ(Form->LayoutRows(), 3);
  EXPECT_EQ(Form->LayoutColumns(), 2);
  EXPECT_EQ(Form->LayoutOrder(), 1);
  EXPECT_EQ(Form->SheetCount, 1);
  for (int i = 0; i < 3; ++i) {
    const TShpora& p = *Form->Photo(i);
    EXPECT_EQ(std::vector<int32_t>({p.Rotation, p.ImageType, p.Brightness, p.Contrast, p.CropLeft,
                                    p.CropRight, p.CropTop, p.CropBottom}),
              parameters[i]);
    EXPECT_TRUE(ReadAll(p.WorkFile) == jpegs[i]) << "photo " << i;
    EXPECT_EQ(Form->RowPath(i), QStringLiteral("notes.TavDoc"));
    EXPECT_NE(p.Preview, nullptr);
  }
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [notes.TavDoc]"));
  const auto shown = std::find_if(Wait.Calls.rbegin(), Wait.Calls.rend(), [](const auto& call) {
    return call.What == QLatin1String("ShowWait");
  });
  ASSERT_NE(shown, Wait.Calls.rend());
  EXPECT_EQ(shown->Text, QStringLiteral("Opening notes.TavDoc..."));
  EXPECT_EQ(shown->A, 1);
  EXPECT_EQ(shown->B, 3);
  EXPECT_EQ(Wait.Progress().back(), 3);

  // Saving the reopened list gives the same file again.
  const QString again = Env.Path(QStringLiteral("docs/again.TavDoc"));
  Form->WriteDocument(again);
  EXPECT_EQ(ReadAll(again), ReadAll(doc));

  // Opening the same document once more appends its photos with working files of their own.
  Form->OpenDocument(doc);
  ASSERT_EQ(Form->PhotoCount(), 6);
  QStringList files;
  for (int i = 0; i < 6; ++i) files << Form->Photo(i)->WorkFile;
  files.removeDuplicates();
  EXPECT_EQ(files.size(), 6);
  EXPECT_EQ(FilesIn(Form->WorkFolder()).size(), 6);
}

TEST_F(MainWindow, OpenCancelledLeavesAnEmptyNewDocument) {
  FormWithRows({QStringLiteral("A")});
  Prompts.Answers = {Answer::No};
  Prompts.FileToOpen = {QString()};
  Form->sSpeedButtonOpenClick();
  EXPECT_EQ(Form->PhotoCount(), 0);
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [New document]"));

  Prompts.Dialogs.clear();
  Form->OnSaveAsTavDoc();  // nothing to save: no dialog
  EXPECT_TRUE(Prompts.Dialogs.empty());
}

TEST_F(MainWindow, DocumentsThatAreNotReadable) {
  const QByteArray jpeg = [this] {
    const QString photo = MakePhoto(QStringLiteral("p.jpg"));
    return ReadAll(photo);
  }();
  const std::vector<int32_t> params = {0, 1, 1, 1, 40, 380, 40, 554};
  struct Case {
    const char* Name;
    QByteArray Bytes;
    int Rows;        // rows after opening (2 were there before)
    QString Error;   // "" for a silent refusal, "*" for any one error
    int LayoutRows;  // the layout afterwards (it was 2)
  };
  const QByteArray onePhoto =
      TDocBytes().Parameters(params).Title(QStringLiteral("ok.jpg")).Jpeg(jpeg).Bytes;
  const Case cases[] = {
      {"short", QByteArray("\xA5\x06", 2), 2, {}, 2},
      {"garbage", QByteArray("<html>not a document</html>"), 2, {}, 2},
      {"wrong version", TDocBytes().Header(5, 5, 0, 1, 1701, 2).Raw(onePhoto).Bytes, 2, {}, 2},
      {"empty document", TDocBytes().Header(5, 1, 0, 0).Bytes, 2, {}, 5},
      {"truncated in the second photo",
       TDocBytes().Header(3, 3, 0, 2).Raw(onePhoto).Raw(onePhoto.left(onePhoto.size() - 10)).Bytes,
       3, QStringLiteral("Read beyond end of file"), 3},
      {"forged count", TDocBytes().Header(1, 1, 0, 0x7FFFFFFF).Raw(onePhoto).Bytes, 3,
       QStringLiteral("Read beyond end of file"), 1},
      // The row stays with its bytes (saving keeps them); the decoder's error is shown.
      {"undecodable picture",
       TDocBytes()
           .Header(2, 2, 0, 2)
           .Parameters(params)
           .Title("bad.jpg")
           .Jpeg("no JPEG")
           .Raw(onePhoto)
           .Bytes,
       3, QStringLiteral("*"), 2},
  };
  for (const Case& c : cases) {
    Form.reset();
    Prompts.Messages.clear();
    Wait.Calls.clear();
    FormWithRows({QStringLiteral("A"), QStringLiteral("B")});
    Form->SetLayout(2, 2, 0);
    const QString doc = Env.Path(QStringLiteral("docs/damaged.TavDoc"));
    WriteAll(doc, c.Bytes);
    Wait.Calls.clear();
    Form->RunHandler([&] { Form->OpenDocument(doc); });
    EXPECT_EQ(Form->PhotoCount(), c.Rows) << c.Name;
    EXPECT_EQ(Form->LayoutRows(), c.LayoutRows) << c.Name;
    EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [damaged.TavDoc]")) << c.Name;
    if (c.Error == QLatin1String("*")) {
      ASSERT_EQ(Prompts.Errors().size(), 1) << c.Name;
      EXPECT_TRUE(Prompts.Errors()[0].startsWith(QStringLiteral("bad.jpg (in damaged.TavDoc): ")))
          << Prompts.Errors()[0].toStdString();
    } else {
      EXPECT_EQ(Prompts.Errors(), c.Error.isEmpty() ? QStringList() : QStringList({c.Error}))
          << c.Name;
    }
    EXPECT_EQ(Wait.Count(QStringLiteral("ShowWait")), Wait.Count(QStringLiteral("Close")))
        << c.Name;
    EXPECT_TRUE(Form->isEnabled()) << c.Name;
    EXPECT_TRUE(Form->fileView->updatesEnabled()) << c.Name;
    // Every row's working file is there, and no other file is left in the work folder.
    EXPECT_EQ(FilesIn(Form->WorkFolder()).size(), c.Rows) << c.Name;
  }
  // A file that cannot be opened is reported.
  Prompts.Messages.clear();
  Form->RunHandler([&] { Form->OpenDocument(Env.Path(QStringLiteral("docs/none.TavDoc"))); });
  EXPECT_EQ(Prompts.Errors(), QStringList({QStringLiteral("none.TavDoc: File not found")}));
}

TEST_F(MainWindow, CancelWhileOpeningKeepsThePhotosReadSoFar) {
  const QString doc = SavedDocument(
      QStringLiteral("four.TavDoc"),
      {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
  Wait.CancelAfter = 2;
  Form->OpenDocument(doc);
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("A.jpg")}));
  EXPECT_EQ(Wait.Calls.front().A, 1);
  EXPECT_EQ(Wait.Calls.front().B, 4);
  EXPECT_EQ(Wait.Progress(), std::vector<int>({1, 2}));
  EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_EQ(Form->SheetCount, 1);
}

TEST_F(MainWindow, TheErrorHandlerShowsTheMessageAndTheWindowStaysUsable) {
  ShowForm();
  Form->RunHandler([] { throw std::runtime_error("Something went wrong"); });
  ASSERT_EQ(Prompts.Messages.size(), 1u);
  EXPECT_EQ(Prompts.Messages[0].Caption, QStringLiteral("Tavrolin"));
  EXPECT_EQ(Prompts.Messages[0].Text, QStringLiteral("Something went wrong"));
  EXPECT_EQ(Prompts.Messages[0].Icon, IUserPrompts::Icon::Error);
  EXPECT_TRUE(Form->isEnabled());

  // A button's handler goes through it too: a damaged document opened from the button.
  const QString doc = Env.Path(QStringLiteral("docs/cut.TavDoc"));
  WriteAll(doc, TDocBytes().Header(4, 4, 0, 1).Int(0).Bytes);
  Prompts.FileToOpen = {doc};
  Form->LeftTabs->setCurrentWidget(Form->TabFiles);
  QTest::mouseClick(Form->sSpeedButtonOpen, Qt::LeftButton);
  EXPECT_EQ(Prompts.Errors().back(), QStringLiteral("Read beyond end of file"));
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_FALSE(Form->Busy());
}

}  // namespace

TEST_F(MainWindow, APageBlockThatCannotBeUsedIsSaidOnceThePhotosAreOpen) {
  FormWithRows({QStringLiteral("A"), QStringLiteral("B")});
  const QString doc = Env.Path(QStringLiteral("docs/pages.TavDoc"));
  Form->WriteDocument(doc);
  // A page block that claims more entries than its payload holds.
  QByteArray block("PAGE", 4);
  for (const int32_t v : {1, 4, 1000}) block.append(reinterpret_cast<const char*>(&v), 4);
  WriteAll(doc, ReadAll(doc) + block);

  Prompts.Messages.clear();
  Form->RunHandler([&] { Form->OpenDocument(doc); });
  EXPECT_EQ(Form->PhotoCount(), 4);  // appended to the two rows there
  EXPECT_TRUE(Form->isEnabled());
  ASSERT_EQ(Prompts.Messages.size(), 1u);
  EXPECT_FALSE(Prompts.Messages[0].Text.isEmpty());
  EXPECT_TRUE(Prompts.Errors().isEmpty());
}
