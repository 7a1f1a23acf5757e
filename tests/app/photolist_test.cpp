// The photo list of the real main window: adding, dropping, removing, reordering and the save
// prompt, with real JPEG files and real working copies.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include "AppTestSupport.h"

namespace {

using apptest::AppTest;
using apptest::FilesIn;
using apptest::ReadAll;
using apptest::WriteAll;
using Answer = IUserPrompts::Answer;

class PhotoList : public AppTest {
 protected:
  std::vector<TShpora*> Records() const {
    std::vector<TShpora*> records;
    for (int i = 0; i < Form->PhotoCount(); ++i) records.push_back(Form->Photo(i));
    return records;
  }
};

TEST_F(PhotoList, AddingAJpegAndAPngAddsOnlyTheJpegWithoutAMessage) {
  MakeForm();
  Prompts.FilesToOpen.push_back(
      {MakePhoto(QStringLiteral("page.jpg")), Env.Path(QStringLiteral("photos/page.png"))});
  WriteAll(Env.Path(QStringLiteral("photos/page.png")), "\x89PNG not really");
  Form->AddFilesClick();

  ASSERT_EQ(Prompts.Dialogs.size(), 1u);
  EXPECT_EQ(Prompts.Dialogs[0].Title, QStringLiteral("Add photos"));
  EXPECT_EQ(Prompts.Dialogs[0].Filter, QStringLiteral("*.jpg|*.jpg|*.*|*.*"));
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("page.jpg")}));
  EXPECT_EQ(Form->RowPath(0), Env.Root() + QStringLiteral("/photos/"));
  EXPECT_TRUE(Prompts.Messages.empty());

  // The wait protocol: shown with the range of all names, one step per name, then closed, with
  // the main window disabled in between.
  ASSERT_EQ(Wait.Calls.front().What, QStringLiteral("ShowWait"));
  EXPECT_EQ(Wait.Calls.front().Caption, QStringLiteral("Please wait..."));
  EXPECT_EQ(Wait.Calls.front().Text, QStringLiteral("Adding files..."));
  EXPECT_EQ(Wait.Calls.front().B, 2);
  EXPECT_EQ(Wait.Progress(), std::vector<int>({0, 1}));
  for (const auto& call : Wait.Calls) {
    if (call.What == QLatin1String("SetProgress")) {
      EXPECT_FALSE(call.WatchedEnabled);
    }
  }
  EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_EQ(Form->SheetCount, 1);

  // The record's working copy lives in the private work folder, which only the user may enter.
  const QFileInfo work(Form->Photo(0)->WorkFile);
  EXPECT_TRUE(work.exists());
  EXPECT_EQ(work.absolutePath() + u'/', Form->WorkFolder());
  EXPECT_TRUE(Form->WorkFolder().startsWith(Env.Temp() + QStringLiteral("/Tavrolin-")));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(Form->WorkFolder()).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, mode_t(0700));
}

TEST_F(PhotoList, FilesOfOneFolderComeInCaseInsensitiveOrder) {
  MakeForm();
  Form->AddFileList({MakePhoto(QStringLiteral("c.jpg")), MakePhoto(QStringLiteral("B.JPG")),
                     MakePhoto(QStringLiteral("a.jpeg")), MakePhoto(QStringLiteral("D.Jpg"))});
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("a.jpeg"), QStringLiteral("B.JPG"),
                                   QStringLiteral("c.jpg"), QStringLiteral("D.Jpg")}));
}

TEST_F(PhotoList, SameFileTwiceGivesTwoRowsWithTheirOwnWorkingCopies) {
  MakeForm();
  const QString photo = MakePhoto(QStringLiteral("twice.jpg"));
  Form->AddFileList({photo});
  Form->AddFileList({photo});
  ASSERT_EQ(Form->PhotoCount(), 2);
  EXPECT_NE(Form->Photo(0)->WorkFile, Form->Photo(1)->WorkFile);
  EXPECT_EQ(ReadAll(Form->Photo(0)->WorkFile), ReadAll(Form->Photo(1)->WorkFile));
}

TEST_F(PhotoList, APhotoAddedToADocumentGoesBeforeTheDocumentsRows) {
  FormWithRows({QStringLiteral("A"), QStringLiteral("B")});
  const QString doc = Env.Path(QStringLiteral("docs/notes.TavDoc"));
  Form->WriteDocument(doc);
  Form->ClearDocument();
  Form->OpenDocument(doc);
  ASSERT_EQ(Form->RowPath(0), QStringLiteral("notes.TavDoc"));

  // "/..." compares smaller than "notes.TavDoc": the new row goes first.
  Form->AddFileList({MakePhoto(QStringLiteral("new.jpg"))});
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("new.jpg"), QStringLiteral("A.jpg"),
                                   QStringLiteral("B.jpg")}));
}

TEST_F(PhotoList, ErrorWhileAddingKeepsEarlierRowsAndReleasesTheWindow) {
  MakeForm();
  const QString broken = Env.Path(QStringLiteral("photos/b.jpg"));
  WriteAll(broken, "this is no JPEG");
  Form->RunHandler([&] {
    Form->AddFileList(
        {MakePhoto(QStringLiteral("c.jpg")), broken, MakePhoto(QStringLiteral("a.jpg"))});
  });
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("a.jpg")}));
  ASSERT_EQ(Prompts.Errors().size(), 1);
  EXPECT_TRUE(Prompts.Errors()[0].contains(QStringLiteral("b.jpg")))
      << Prompts.Errors()[0].toStdString();
  EXPECT_EQ(Prompts.Messages[0].Caption, QStringLiteral("Tavrolin"));
  EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_FALSE(Form->Busy());
  EXPECT_EQ(Form->SheetCount, 1);
  // Only the one good photo left a working file behind.
  EXPECT_EQ(FilesIn(Form->WorkFolder()).size(), 1);
}

TEST_F(PhotoList, CancelWhileAddingKeepsThePhotosAddedSoFar) {
  MakeForm();
  Form->SetLayout(1, 1, 0);
  Wait.CancelAfter = 3;  // Cancel is seen at the third step
  Form->AddFileList({MakePhoto(QStringLiteral("1.jpg")), MakePhoto(QStringLiteral("2.jpg")),
                     MakePhoto(QStringLiteral("3.jpg")), MakePhoto(QStringLiteral("4.jpg"))});
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("1.jpg"), QStringLiteral("2.jpg")}));
  EXPECT_EQ(Wait.Progress(), std::vector<int>({0, 1, 2}));
  EXPECT_EQ(Form->SheetCount, 2);
  EXPECT_EQ(Wait.Calls.back().What, QStringLiteral("Close"));
  EXPECT_TRUE(Form->isEnabled());
}

TEST_F(PhotoList, CloseRequestsAndDropsWaitUntilTheLoopEnds) {
  ShowForm();
  const QString dropped = MakePhoto(QStringLiteral("dropped.jpg"));
  bool tried = false;
  Wait.OnProgress = [&](int position) {
    if (position != 1) return;
    tried = true;
    // The window manager still delivers a close request to the disabled window.
    EXPECT_FALSE(Form->close());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Form.get(), &enter);
    EXPECT_FALSE(enter.isAccepted());
  };
  Form->AddFileList({MakePhoto(QStringLiteral("1.jpg")), MakePhoto(QStringLiteral("2.jpg"))});
  EXPECT_TRUE(tried);
  EXPECT_TRUE(Prompts.Messages.empty());
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("1.jpg"), QStringLiteral("2.jpg")}));
  EXPECT_TRUE(Form->isVisible());
}

TEST_F(PhotoList, RemovingSelectsTheNextRow) {
  struct Case {
    std::vector<int> Remove;
    QStringList Left;
    std::vector<int> SelectedAfter;
  };
  const QString a = QStringLiteral("A.jpg"), b = QStringLiteral("B.jpg"),
                c = QStringLiteral("C.jpg"), d = QStringLiteral("D.jpg"),
                e = QStringLiteral("E.jpg");
  const Case cases[] = {
      {{2, 3, 4}, {a, b}, {1}},   // the new last row
      {{1, 2}, {a, d, e}, {1}},   // the former row 3
      {{0, 1, 2, 3, 4}, {}, {}},  // nothing left
      {{}, {a, b, c, d, e}, {}},  // nothing selected: nothing removed
  };
  for (const Case& c : cases) {
    Form.reset();
    FormWithRows({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                  QStringLiteral("D"), QStringLiteral("E")});
    Form->SetLayout(2, 1, 0);
    std::vector<QString> removedFiles;
    for (int row : c.Remove) removedFiles.push_back(Form->Photo(row)->WorkFile);
    Form->SelectRows(c.Remove);
    Form->SheetCount = -1;
    Form->RemoveSelectedClick();
    EXPECT_EQ(Titles(), c.Left);
    EXPECT_EQ(Form->SelectedRows(), c.SelectedAfter);
    EXPECT_EQ(Form->SheetCount, (c.Left.size() + 1) / 2);
    for (const QString& file : removedFiles) EXPECT_FALSE(QFileInfo::exists(file));
    // The editor follows the selection and never keeps a destroyed record.
    EXPECT_EQ(Form->CurrentPhoto(),
              c.SelectedAfter.empty() ? nullptr : Form->Photo(c.SelectedAfter[0]));
  }
}

TEST_F(PhotoList, DeleteKeyInTheListRemovesTheSelection) {
  FormWithRows({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
  Form->SelectRows({1});
  QTest::keyClick(Form->fileView, Qt::Key_Delete);
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("A.jpg"), QStringLiteral("C.jpg")}));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>({1}));
}

TEST_F(PhotoList, UpAndDownMoveBlocksAndKeepTheRecords) {
  FormWithRows(
      {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
  const std::vector<TShpora*> records = Records();
  Form->SelectRows({0, 1, 2});
  Form->sSpeedButtonUpClick();
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("B.jpg"), QStringLiteral("C.jpg"),
                                   QStringLiteral("A.jpg"), QStringLiteral("D.jpg")}));
  EXPECT_EQ(Records(), std::vector<TShpora*>({records[1], records[2], records[0], records[3]}));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>({0, 1, 2}));

  Form.reset();
  FormWithRows(
      {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
  Form->SelectRows({1, 2, 3});
  Form->sSpeedButtonDownClick();
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("A.jpg"), QStringLiteral("D.jpg"),
                                   QStringLiteral("B.jpg"), QStringLiteral("C.jpg")}));
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>({1, 2, 3}));
  // The editor follows the first selected row after the move.
  EXPECT_EQ(Form->CurrentPhoto(), Form->Photo(1));

  // Row 0 never moves up, the last row never down.
  Form->SelectRows({0});
  Form->sSpeedButtonUpClick();
  Form->SelectRows({3});
  Form->sSpeedButtonDownClick();
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("A.jpg"), QStringLiteral("D.jpg"),
                                   QStringLiteral("B.jpg"), QStringLiteral("C.jpg")}));
}

TEST_F(PhotoList, SortByNameIsOrdinalOnTitles) {
  MakeForm();
  // Three folders keep the rows in the order b, B, a (added names are sorted first).
  Form->AddFileList({MakePhoto(QStringLiteral("1/b.jpg")), MakePhoto(QStringLiteral("2/B.jpg")),
                     MakePhoto(QStringLiteral("3/a.jpg"))});
  ASSERT_EQ(Titles(), QStringList({QStringLiteral("b.jpg"), QStringLiteral("B.jpg"),
                                   QStringLiteral("a.jpg")}));
  Form->SelectRows({0, 1, 2});
  Form->sSpeedButtonSortClick();
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("B.jpg"), QStringLiteral("a.jpg"),
                                   QStringLiteral("b.jpg")}));
  // The row that moved down past its neighbours is no longer selected.
  EXPECT_EQ(Form->SelectedRows(), std::vector<int>({0, 1}));

  Form.reset();
  MakeForm();
  Form->AddFileList(
      {MakePhoto(QStringLiteral("IMG_9.jpg")), MakePhoto(QStringLiteral("IMG_10.jpg"))});
  Form->sSpeedButtonSortClick();
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("IMG_10.jpg"), QStringLiteral("IMG_9.jpg")}));
}

TEST_F(PhotoList, ConfirmSaveAnswers) {
  struct Case {
    const char* Name;
    std::vector<Answer> Answers;
    QString SaveAs;  // the save dialog's answer ("" = cancelled); unused without Yes
    bool GoOn;
    bool Saved;
  };
  const QString target = Env.Path(QStringLiteral("docs/answer.TavDoc"));
  const Case cases[] = {
      {"Cancel", {Answer::Cancel}, {}, false, false},
      {"No", {Answer::No}, {}, true, false},
      {"Yes, saved", {Answer::Yes}, target, true, true},
      {"Yes, then Cancel in the save dialog", {Answer::Yes}, QString(), false, false},
  };
  for (const Case& c : cases) {
    QFile::remove(target);
    Form.reset();
    Prompts.Messages.clear();
    Prompts.Dialogs.clear();
    FormWithRows({QStringLiteral("A")});
    Prompts.Answers.assign(c.Answers.begin(), c.Answers.end());
    if (c.Answers.front() == Answer::Yes) Prompts.FileToSave.push_back(c.SaveAs);
    EXPECT_EQ(Form->ConfirmSave(), c.GoOn) << c.Name;
    ASSERT_EQ(Prompts.Messages.size(), 1u) << c.Name;
    EXPECT_EQ(Prompts.Messages[0].Caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(Prompts.Messages[0].Text,
              QStringLiteral("Project is changed. Do you want to save changes?"));
    EXPECT_EQ(Prompts.Messages[0].Buttons, IUserPrompts::Buttons::YesNoCancel);
    EXPECT_EQ(Prompts.Messages[0].Icon, IUserPrompts::Icon::Question);
    EXPECT_EQ(QFileInfo::exists(target), c.Saved) << c.Name;
    if (c.Saved) {
      EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [answer.TavDoc]"));
      EXPECT_EQ(Prompts.Dialogs.back().Title, QStringLiteral("Save Tavrolin Document"));
      EXPECT_EQ(Prompts.Dialogs.back().Filter, QStringLiteral("*.TavDoc|*.TavDoc|*.*|*.*"));
    }
  }
  // An empty list needs no prompt.
  Form.reset();
  Prompts.Messages.clear();
  MakeForm();
  EXPECT_TRUE(Form->ConfirmSave());
  EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(PhotoList, NewDocumentClearsOnlyAfterThePrompt) {
  FormWithRows({QStringLiteral("A"), QStringLiteral("B")});
  const QString work = Form->Photo(0)->WorkFile;
  Prompts.Answers = {Answer::Yes};
  Prompts.FileToSave = {QString()};
  Form->RemoveAllClick();
  EXPECT_EQ(Form->PhotoCount(), 2);  // Yes, then Cancel in the save dialog: nothing happens

  Form->SetLayout(3, 2, 1);
  Prompts.Answers = {Answer::No};
  Form->RemoveAllClick();
  EXPECT_EQ(Form->PhotoCount(), 0);
  EXPECT_FALSE(QFileInfo::exists(work));
  EXPECT_EQ(Form->windowTitle(), QStringLiteral("Tavrolin 1.0.0.1 - [New document]"));
  EXPECT_EQ(Form->SheetCount, 0);
  // The layout and the work folder stay.
  EXPECT_EQ(Form->LayoutRows(), 3);
  EXPECT_TRUE(QFileInfo::exists(Form->WorkFolder()));

  Prompts.Messages.clear();
  Form->RemoveAllClick();  // empty: no prompt
  EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(PhotoList, DroppingOneDocumentOpensItDroppingTwoAddsNothing) {
  FormWithRows({QStringLiteral("A")});
  const QString doc = Env.Path(QStringLiteral("docs/one.TavDoc"));
  Form->WriteDocument(doc);
  const QString other = Env.Path(QStringLiteral("docs/two.tavdoc"));
  QFile::copy(doc, other);

  Form->FilesDropped({other});  // any letter case
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("A.jpg"), QStringLiteral("A.jpg")}));
  EXPECT_EQ(Form->RowPath(1), QStringLiteral("two.tavdoc"));
  EXPECT_TRUE(Prompts.Messages.empty());

  Form->FilesDropped({doc, other});
  EXPECT_EQ(Form->PhotoCount(), 2);
  EXPECT_TRUE(Prompts.Messages.empty());
}

TEST_F(PhotoList, ARealDropReachesTheList) {
  ShowForm();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(MakePhoto(QStringLiteral("dropped.jpg")))});
  const QPoint at = Form->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Form.get(), &drop);
  EXPECT_TRUE(QTest::qWaitFor([this] { return Form->PhotoCount() == 1; }, 5000));
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("dropped.jpg")}));
}

}  // namespace
