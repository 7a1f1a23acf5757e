#pragma once
// Shared pieces of the program's tests: private folders per test, JPEG photos written with
// libjpeg itself, hand-built document bytes, and scripted prompts and wait dialog that answer
// as a test says and record what the program asked.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "Form3.h"
#include "FormMain.h"
#include "Prompts.h"
#include "WaitProtocol.h"

namespace apptest {

// While it lives, TMPDIR, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_DATA_DIRS point into a fresh
// temporary folder of its own; the previous values come back afterwards.
class TPrivateEnvironment {
 public:
  TPrivateEnvironment();
  ~TPrivateEnvironment();
  TPrivateEnvironment(const TPrivateEnvironment&) = delete;
  TPrivateEnvironment& operator=(const TPrivateEnvironment&) = delete;

  QString Root() const { return Dir.path(); }
  QString Temp() const { return Root() + QStringLiteral("/tmp"); }
  QString DataHome() const { return Root() + QStringLiteral("/data"); }
  QString ConfigHome() const { return Root() + QStringLiteral("/config"); }
  QString SystemData() const { return Root() + QStringLiteral("/system"); }
  // A path inside the private folder; its parent folders are created.
  QString Path(const QString& relative) const;

 private:
  void Set(const char* name, const QString& value);

  QTemporaryDir Dir;
  std::vector<std::pair<QByteArray, std::optional<QByteArray>>> Saved;
};

// Writes a width x height colour JPEG with libjpeg; `seed` varies the picture.
void WriteJpeg(const QString& path, int width, int height, int seed = 0);
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& data);
// The files in `folder` (names only, sorted).
QStringList FilesIn(const QString& folder);

// Builds document bytes field by field, to write damaged documents by hand.
class TDocBytes {
 public:
  TDocBytes& Int(int32_t value);
  TDocBytes& Header(int32_t rows, int32_t columns, int32_t order, int32_t count,
                    int32_t magic = 1701, int32_t version = 1);
  TDocBytes& Parameters(const std::vector<int32_t>& eight);
  TDocBytes& Title(const QString& title);
  TDocBytes& Jpeg(const QByteArray& data);
  TDocBytes& Raw(const QByteArray& data);
  QByteArray Bytes;
};

struct TMessageCall {
  QString Caption;
  QString Text;
  IUserPrompts::Buttons Buttons;
  IUserPrompts::Icon Icon;
};

struct TDialogCall {
  QString Kind;  // "OpenFiles", "OpenFile", "SaveFile", "BrowseFolder"
  QString Title;
  QString Filter;
  QString DefaultSuffix;
  QString Start;  // the folder a folder browser starts in
};

// Answers from queues. A question (Yes/No/Cancel) or a dialog with no answer queued fails the
// test; error boxes (OK only) are recorded and need no answer.
class TScriptedPrompts : public IUserPrompts {
 public:
  std::deque<Answer> Answers;
  std::deque<QStringList> FilesToOpen;
  std::deque<QString> FileToOpen;
  std::deque<QString> FileToSave;
  std::deque<QString> FoldersToBrowse;
  // Runs once the event loop is back after a folder was chosen, as the user's next step in the
  // dialog that asked (pressing its "&Export", say).
  std::function<void()> AfterBrowse;
  // Answers the print dialog as the user would: chooses the printer (the test's PDF file) and
  // the range and copies in `choice`; false for Cancel. Without it the dialog is unexpected.
  std::function<bool(QPrinter& printer, PrintChoice& choice)> PrintAnswer;
  std::vector<PrintChoice> PrintOffers;  // what each print dialog opened with
  std::vector<TMessageCall> Messages;
  std::vector<TDialogCall> Dialogs;

  // The messages shown with the error icon.
  QStringList Errors() const;

  Answer Message(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
                 Icon icon) override;
  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
  QString OpenFile(QWidget* parent, const QString& title, const QString& filter) override;
  QString SaveFile(QWidget* parent, const QString& title, const QString& filter,
                   const QString& defaultSuffix) override;
  QString BrowseFolder(QWidget* parent, const QString& title, const QString& start) override;
  bool Print(QWidget* parent, QPrinter& printer, PrintChoice& choice) override;
};

// A wait protocol that records every call, with whether the watched window was enabled at that
// moment, and reports a cancel once SetProgress has been called CancelAfter times.
class TScriptedWait : public IWaitProtocol {
 public:
  struct Call {
    QString What;  // "ShowWait", "SetProgress", "Close"
    QString Caption;
    QString Text;
    int A = 0;
    int B = 0;
    bool WatchedEnabled = true;
  };
  std::vector<Call> Calls;
  int CancelAfter = -1;
  // Runs at every SetProgress, as pending events would (a close request, a drop...).
  std::function<void(int)> OnProgress;
  QWidget* Watched = nullptr;

  void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) override;
  void SetProgress(int position) override;
  bool Running() const override { return RunningFlag; }
  void Close() override;

  std::vector<int> Progress() const;
  int Count(const QString& what) const;

 private:
  void Record(Call call);
  bool RunningFlag = false;
  int ProgressCalls = 0;
};

// A main window with scripted prompts and wait dialog, in private folders.
class AppTest : public testing::Test {
 protected:
  TPrivateEnvironment Env;
  TScriptedPrompts Prompts;
  TScriptedWait Wait;
  std::unique_ptr<TFormMain> Form;
  TForm3* ExportDialog = nullptr;  // a child of Form

  TFormMain& MakeForm();
  // Shows the window and waits until FormShow has run.
  void ShowForm();
  // Writes a JPEG photo at Env.Path("photos/" + name) and returns its path.
  QString MakePhoto(const QString& name, int width = 48, int height = 64, int seed = 0);
  // The titles of the list's rows, top to bottom.
  QStringList Titles() const;
  // Adds photos named a, b, c... and returns the form; the rows are in that order.
  TFormMain& FormWithRows(const QStringList& names);
  void TearDown() override;
};

}  // namespace apptest
