#include "Program.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QScreen>

#include "EditorPage.h"
#include "Icons.h"
#include "QtPrompts.h"

TProgramWindows::TProgramWindows(IUserPrompts& prompts, const QString& exePath) {
  FormMain = std::make_unique<TFormMain>(prompts, exePath);
  FormProps = FormMain->Editor->FormProps;
  FormWait = std::make_unique<TFormWait>();
  Form3 = std::make_unique<TForm3>(prompts, FormMain.get());
  FormMain->SetWaitDialog(*FormWait);
  FormMain->SetExportDialog(*Form3);
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
