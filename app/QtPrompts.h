#pragma once
// The prompts of the running program: Qt's message boxes, file and folder dialogs and the print
// dialog. Filters come as "description|pattern|description|pattern..." (for example
// "*.jpg|*.jpg|*.*|*.*") and are shown as Qt filters; "*.*" means every file.
#include "Prompts.h"

class TQtUserPrompts : public IUserPrompts {
 public:
  Answer Message(QWidget* parent, const QString& caption, const QString& text, Buttons buttons,
                 Icon icon) override;
  QStringList OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
  QString OpenFile(QWidget* parent, const QString& title, const QString& filter) override;
  QString SaveFile(QWidget* parent, const QString& title, const QString& filter,
                   const QString& defaultSuffix) override;
  QString BrowseFolder(QWidget* parent, const QString& title, const QString& start) override;
  bool Print(QWidget* parent, QPrinter& printer, PrintChoice& choice) override;
};

// "*.jpg|*.jpg|*.*|*.*" -> "*.jpg (*.jpg);;*.* (*)".
QString QtFileFilter(const QString& filter);
