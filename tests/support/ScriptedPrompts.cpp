#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

#include <utility>

#include <QTimer>

template <typename T>
T TScriptedPrompts::Next(std::deque<T>& queue, TDialogCall call, const char* what) {
  Dialogs.push_back(std::move(call));
  if (queue.empty()) {
    ADD_FAILURE() << "unexpected " << what << " dialog: " << Dialogs.back().Title.toStdString();
    return {};
  }
  T answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

QStringList TScriptedPrompts::Errors() const {
  QStringList errors;
  for (const TMessageCall& call : Messages) {
    if (call.Icon == Icon::Error) errors << call.Text;
  }
  return errors;
}

QStringList TScriptedPrompts::BrowseStarts() const {
  QStringList starts;
  for (const TDialogCall& call : Dialogs) {
    if (call.Kind == QLatin1String("BrowseFolder")) starts << call.Start;
  }
  return starts;
}

IUserPrompts::Answer TScriptedPrompts::Message(QWidget*, const QString& caption,
                                               const QString& text, Buttons buttons, Icon icon) {
  Messages.push_back({caption, text, buttons, icon});
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (Answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return Answer::Cancel;
  }
  const Answer answer = Answers.front();
  Answers.pop_front();
  return answer;
}

QStringList TScriptedPrompts::OpenFiles(QWidget*, const QString& title, const QString& filter) {
  return Next(FilesToOpen, {QStringLiteral("OpenFiles"), title, filter, {}, {}}, "open");
}

QString TScriptedPrompts::OpenFile(QWidget*, const QString& title, const QString& filter) {
  return Next(FileToOpen, {QStringLiteral("OpenFile"), title, filter, {}, {}}, "open");
}

QString TScriptedPrompts::SaveFile(QWidget*, const QString& title, const QString& filter,
                                   const QString& defaultSuffix) {
  return Next(FileToSave, {QStringLiteral("SaveFile"), title, filter, defaultSuffix, {}}, "save");
}

QString TScriptedPrompts::BrowseFolder(QWidget*, const QString& title, const QString& start) {
  const bool answered = !FoldersToBrowse.empty();
  QString folder =
      Next(FoldersToBrowse, {QStringLiteral("BrowseFolder"), title, {}, {}, start}, "folder");
  if (answered && AfterBrowse) QTimer::singleShot(0, AfterBrowse);
  return folder;
}

bool TScriptedPrompts::Print(QWidget*, QPrinter& printer, PrintChoice& choice) {
  PrintOffers.push_back(choice);
  if (!PrintAnswer) {
    ADD_FAILURE() << "unexpected print dialog";
    return false;
  }
  return PrintAnswer(printer, choice);
}
