// Not a test: grabs the main window (with the photos given, if any) into a PNG, to look at the
// window as a user would. Runs in private folders like the tests.
//   app_screenshot OUT.png [TAB] [PHOTO.jpg ...]
//   TAB: files (default), about, preview (the sheet beside the editor), zoom (the magnifier over
//   the middle of the photo), menu (the save menu dropped down), wait, export, props (dialogs)
#include <cstdio>

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "EditorPage.h"
#include "EditorWidgets.h"
#include "Form3.h"
#include "FormProps.h"
#include "FormWait.h"

namespace {

// The window with its menu drawn over it where it dropped down.
QPixmap WithMenu(TFormMain& form) {
  form.LeftTabs->setCurrentWidget(form.TabFiles);
  form.OnShowSaveMenu();
  QTest::qWait(200);
  QPixmap shot = form.grab();
  QPainter painter(&shot);
  const QPoint at = form.mapFromGlobal(form.MenuSave->pos());
  painter.drawPixmap(at, form.MenuSave->grab());
  form.MenuSave->hide();
  return shot;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr,
                 "usage: app_screenshot OUT.png "
                 "[files|about|preview|zoom|page|menu|wait|export|props] [PHOTO.jpg ...]\n");
    return 2;
  }
  apptest::TPrivateEnvironment env;
  TScriptedPrompts prompts;
  TFormWait wait;
  TFormMain form(prompts);
  form.SetWaitDialog(wait);
  auto* export3 = new TForm3(prompts, &form);
  form.SetExportDialog(*export3);
  form.show();
  if (!QTest::qWaitFor([&] { return form.FormShowDone; }, 5000)) return 1;
  const QString tab = args.size() > 2 ? args[2] : QStringLiteral("files");
  form.AddFileList(args.mid(3));
  if (tab != QLatin1String("about")) form.LeftTabs->setCurrentWidget(form.TabFiles);
  if (form.PhotoCount() > 1) form.SelectRows({1});
  if (tab == QLatin1String("preview") || tab == QLatin1String("zoom") ||
      tab == QLatin1String("page")) {
    form.LeftTabs->setCurrentWidget(form.TabPreview);
  }
  if (tab == QLatin1String("zoom")) {
    QWidget* image = form.Editor->ImageShpora;
    const QPointF middle(image->width() / 2.0, image->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, middle, image->mapToGlobal(middle), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(image, &move);
  }
  if (tab == QLatin1String("page")) {
    form.Editor->sButtonPage->click();
    // Grab the top-left corner and pull it a little inwards: the magnifier follows it.
    QWidget* corner = form.Editor->pc1;
    const QPoint c(corner->width() / 2, corner->height() / 2);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
      QMouseEvent e(type, QPointF(at), QPointF(corner->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
      QApplication::sendEvent(corner, &e);
    };
    send(QEvent::MouseButtonPress, c, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, c + QPoint(12, 9), Qt::NoButton, Qt::LeftButton);
  }
  QTest::qWait(100);
  QPixmap shot = form.grab();
  if (tab == QLatin1String("menu")) shot = WithMenu(form);
  if (tab == QLatin1String("wait")) {
    wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Adding files..."), 0, 10);
    wait.SetProgress(4);
    shot = wait.grab();
  }
  if (tab == QLatin1String("export")) {
    prompts.FoldersToBrowse.push_back(QString());
    export3->show();
    QTest::qWait(200);
    shot = export3->grab();
  }
  if (tab == QLatin1String("props")) {
    form.Editor->FormProps->show();
    QTest::qWait(100);
    shot = form.Editor->FormProps->grab();
  }
  if (!shot.save(args[1])) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(args[1]));
    return 1;
  }
  return 0;
}
