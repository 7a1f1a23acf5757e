#include "AppTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace apptest {

TFormMain& AppTest::MakeForm() {
  Form = std::make_unique<TFormMain>(Prompts);
  Form->SetWaitDialog(Wait);
  ExportDialog = new TForm3(Prompts, Form.get());
  Form->SetExportDialog(*ExportDialog);
  Wait.Watched = [form = Form.get()] { return form->isEnabled(); };
  return *Form;
}

void AppTest::ShowForm() {
  if (!Form) MakeForm();
  Form->show();
  EXPECT_TRUE(QTest::qWaitFor([this] { return Form->FormShowDone; }, 5000));
}

QString AppTest::MakePhoto(const QString& name, int width, int height, int seed) {
  const QString path = Env.Path(QStringLiteral("photos/") + name);
  WriteJpeg(path, width, height, seed);
  return path;
}

QStringList AppTest::Titles() const {
  QStringList titles;
  for (int i = 0; i < Form->PhotoCount(); ++i) titles << Form->RowTitle(i);
  return titles;
}

TFormMain& AppTest::FormWithRows(const QStringList& names) {
  if (!Form) MakeForm();
  QStringList paths;
  int seed = 0;
  for (const QString& name : names)
    paths << MakePhoto(name + QStringLiteral(".jpg"), 40, 56, ++seed);
  Form->AddFileList(paths);
  return *Form;
}

void AppTest::TearDown() { Form.reset(); }

}  // namespace apptest
