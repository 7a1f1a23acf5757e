#include "QtPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

QString QtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    // On Windows "*.*" is every file; here a name need not have a dot.
    for (QString& pattern : patterns) {
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
    }
    filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(u' '));
  }
  return filters.join(QStringLiteral(";;"));
}

IUserPrompts::Answer TQtUserPrompts::Message(QWidget* parent, const QString& caption,
                                             const QString& text, Buttons buttons, Icon icon) {
  QMessageBox box(parent);
  box.setWindowTitle(caption);
  box.setText(text);
  switch (icon) {
    case Icon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case Icon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
    case Icon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case Icon::Question:
      box.setIcon(QMessageBox::Question);
      break;
  }
  switch (buttons) {
    case Buttons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case Buttons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      box.setEscapeButton(QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Ok:
      return Answer::Ok;
    default:
      return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
  }
}

QStringList TQtUserPrompts::OpenFiles(QWidget* parent, const QString& title,
                                      const QString& filter) {
  return QFileDialog::getOpenFileNames(parent, title, QString(), QtFileFilter(filter));
}

QString TQtUserPrompts::OpenFile(QWidget* parent, const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, QString(), QtFileFilter(filter));
}

QString TQtUserPrompts::SaveFile(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& defaultSuffix) {
  QFileDialog dialog(parent, title, QString(), QtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

QString TQtUserPrompts::BrowseFolder(QWidget* parent, const QString& title, const QString& start) {
  return QFileDialog::getExistingDirectory(parent, title, start);
}

bool TQtUserPrompts::Print(QWidget* parent, QPrinter& printer, PrintChoice& choice) {
  QPrintDialog dialog(&printer, parent);
  dialog.setMinMax(choice.MinPage, choice.MaxPage);
  dialog.setFromTo(choice.FromPage, choice.ToPage);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  printer.setCopyCount(choice.Copies);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice.AllPages = dialog.printRange() != QAbstractPrintDialog::PageRange;
  choice.FromPage = choice.AllPages ? choice.MinPage : printer.fromPage();
  choice.ToPage = choice.AllPages ? choice.MaxPage : printer.toPage();
  choice.Copies = printer.copyCount();
  return true;
}
