#pragma once
// Everything that asks the user goes through this one interface: message boxes, the open, save
// and folder dialogs, and the print dialog. The program uses the Qt dialogs; tests script answers.
// File filters are "description|pattern" pairs joined by "|", e.g. "*.jpg|*.jpg|*.*|*.*".
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

class IUserPrompts {
 public:
  enum class Answer { Yes, No, Cancel, Ok };
  enum class Buttons { Ok, YesNo, YesNoCancel };
  enum class Icon { Information, Warning, Error, Question };

  virtual ~IUserPrompts() = default;

  virtual Answer Message(QWidget* parent, const QString& caption, const QString& text,
                         Buttons buttons, Icon icon) = 0;
  // Multiple selection; empty when cancelled.
  virtual QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) = 0;
  // One file; empty when cancelled. `defaultSuffix` without the dot.
  virtual QString OpenFile(QWidget* parent, const QString& title, const QString& filter) = 0;
  // Asks before overwriting; empty when cancelled.
  virtual QString SaveFile(QWidget* parent, const QString& title, const QString& filter,
                           const QString& defaultSuffix) = 0;
  // A folder picker starting at `start`; empty when cancelled.
  virtual QString BrowseFolder(QWidget* parent, const QString& title, const QString& start) = 0;

  // The print dialog over `printer`, offering pages minPage..maxPage with the range preset to
  // fromPage..toPage and `copies` copies. On OK, fromPage/toPage/copies/allPages hold the choice.
  struct PrintChoice {
    int MinPage = 1, MaxPage = 1, FromPage = 1, ToPage = 1, Copies = 1;
    bool AllPages = true;
  };
  virtual bool Print(QWidget* parent, QPrinter& printer, PrintChoice& choice) = 0;
};
