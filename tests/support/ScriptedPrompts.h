#pragma once
// The user as tests script them: every question and dialog takes the next answer from its
// queue and is recorded. A question (Yes/No/Cancel) or a dialog with no answer queued fails the
// test; message boxes with only OK are recorded and need no answer.
#include <deque>
#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

#include "Prompts.h"

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

class TScriptedPrompts : public IUserPrompts {
 public:
  std::deque<Answer> Answers;
  std::deque<QStringList> FilesToOpen;
  std::deque<QString> FileToOpen;
  std::deque<QString> FileToSave;
  std::deque<QString> FoldersToBrowse;  // an empty name: the browser was cancelled
  // Runs once the event loop is back after a folder was chosen, as the user's next step in the
  // dialog that asked (pressing its "&Export", say).
  std::function<void()> AfterBrowse;
  // Answers the print dialog as the user would: chooses the printer (a PDF file, say) and the
  // range and copies in `choice`; false for Cancel. Without it the dialog is unexpected.
  std::function<bool(QPrinter& printer, PrintChoice& choice)> PrintAnswer;
  std::vector<PrintChoice> PrintOffers;  // what each print dialog opened with
  std::vector<TMessageCall> Messages;
  std::vector<TDialogCall> Dialogs;

  // The messages shown with the error icon.
  QStringList Errors() const;
  // The folder each folder browser started in.
  QStringList BrowseStarts() const;

  Answer Message(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
                 Icon icon) override;
  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
  QString OpenFile(QWidget* parent, const QString& title, const QString& filter) override;
  QString SaveFile(QWidget* parent, const QString& title, const QString& filter,
                   const QString& defaultSuffix) override;
  QString BrowseFolder(QWidget* parent, const QString& title, const QString& start) override;
  bool Print(QWidget* parent, QPrinter& printer, PrintChoice& choice) override;

 private:
  // Records the dialog and takes its answer from `queue`.
  template <typename T>
  T Next(std::deque<T>& queue, TDialogCall call, const char* what);
};
