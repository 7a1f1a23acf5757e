// Not a test: grabs the main window (with the photos given, if any) into a PNG, to look at the
// window as a user would. Runs in private folders like the tests.
//   app_screenshot OUT.png [TAB] [PHOTO.jpg ...]     TAB: files (default) or about
#include <cstdio>

#include <QApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTest>

#include "AppTestSupport.h"
#include "FormWait.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: app_screenshot OUT.png [files|about|wait] [PHOTO.jpg ...]\n");
    return 2;
  }
  apptest::TPrivateEnvironment env;
  apptest::TScriptedPrompts prompts;
  TFormWait wait;
  TFormMain form(prompts);
  form.SetWaitDialog(wait);
  form.show();
  if (!QTest::qWaitFor([&] { return form.FormShowDone; }, 5000)) return 1;
  const QString tab = args.size() > 2 ? args[2] : QStringLiteral("files");
  form.AddFileList(args.mid(3));
  if (tab != QLatin1String("about")) form.LeftTabs->setCurrentWidget(form.TabFiles);
  if (form.PhotoCount() > 1) form.SelectRows({1});
  QTest::qWait(100);
  QPixmap shot = form.grab();
  if (tab == QLatin1String("wait")) {
    wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Adding files..."), 0, 10);
    wait.SetProgress(4);
    shot = wait.grab();
  }
  if (!shot.save(args[1])) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(args[1]));
    return 1;
  }
  return 0;
}
