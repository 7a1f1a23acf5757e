#include "Program.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include "Icons.h"
#include "QtPrompts.h"

namespace {

// The dialogs of the editor and of the export, as the windows they are; their own steps give
// them their content.
std::unique_ptr<QDialog> MakeFixedDialog(QWidget* parent, const QString& caption, int width,
                                         int height) {
  auto dialog = std::make_unique<QDialog>(parent);
  dialog->setWindowTitle(caption);
  dialog->setFixedSize(width, height);
  dialog->setModal(true);
  return dialog;
}

}  // namespace

TProgramWindows::TProgramWindows(IUserPrompts& prompts, const QString& exePath) {
  FormMain = std::make_unique<TFormMain>(prompts, exePath);
  FormProps = MakeFixedDialog(FormMain.get(), QStringLiteral("Apply to many..."), 245, 309);
  FormWait = std::make_unique<TFormWait>();
  Form3 = MakeFixedDialog(FormMain.get(), QStringLiteral("Export resulted images"), 353, 149);
  FormMain->SetWaitDialog(*FormWait);
}

bool HasDisplay() {
  return !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QString NoDisplayMessage() {
  return QStringLiteral(
      "tavrolin: no display (DISPLAY and WAYLAND_DISPLAY are not set); to run it without one: "
      "xvfb-run -a -s \"-screen 0 1280x900x24\" build/app/tavrolin [DOC.TavDoc]");
}

int RunProgram(QApplication& app) {
  QApplication::setApplicationName(QStringLiteral("Tavrolin"));
  QApplication::setDesktopFileName(QStringLiteral("tavrolin"));
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(LogoImage(64))));
  TQtUserPrompts prompts;
  TProgramWindows windows(prompts);
  windows.FormMain->CommandLine = app.arguments().mid(1);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    windows.FormMain->move(screen->availableGeometry().center() -
                           windows.FormMain->rect().center());
  }
  windows.FormMain->show();
  return app.exec();
}
