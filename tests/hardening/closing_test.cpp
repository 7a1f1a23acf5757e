// Close requests during the long loops that pump events (adding photos, opening a document,
// "Apply to many...", exporting, downloading the installer): the wait dialog lets the window
// manager's close request in at every item. It must not clear the list under the loop's feet: the
// request is refused, the loop ends normally, and a close afterwards works and cleans up.
#include <gtest/gtest.h>

#include <functional>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include "AppTestSupport.h"
#include "EditorPage.h"
#include "ExportImages.h"
#include "Form3.h"
#include "FormProps.h"
#include "HardeningSupport.h"
#include "OnlineUi.h"
#include "TestServers.h"

namespace {

using apptest::AppTest;

struct TLongLoop {
  const char* Name;
  int Rows;  // rows when the loop has ended
  std::function<void(AppTest& test, TFormMain& form, const QStringList& photos,
                     const QString& document)>
      Run;
};

class CloseDuringLoops : public AppTest, public testing::WithParamInterface<TLongLoop> {
 public:
  // The export dialog: the folder browser answers `folder`, then "&Export" is pressed.
  void AnswerExport(const QString& folder) {
    Prompts.FoldersToBrowse.push_back(folder);
    Prompts.AfterBrowse = [this] {
      if (ExportDialog->isVisible()) ExportDialog->sButton1->click();
    };
    QTimer::singleShot(20000, ExportDialog, [this] { ExportDialog->reject(); });
  }
};

TEST_P(CloseDuringLoops, AreRefusedUntilTheLoopEnds) {
  const TLongLoop& loop = GetParam();
  QStringList photos;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    photos << MakePhoto(QString::fromLatin1(name), 40, 56);
  // A document of the three photos, for the loops that start from one.
  const QString document = Env.Path(QStringLiteral("docs/three.TavDoc"));
  {
    MakeForm();
    Form->AddFileList(photos);
    Form->WriteDocument(document);
    Form.reset();
  }
  ShowForm();
  if (std::string(loop.Name) != "adding" && std::string(loop.Name) != "opening")
    Form->AddFileList(photos);

  int requests = 0;
  bool closedDuringTheLoop = false;
  Wait.OnProgress = [&](int) {
    ++requests;
    if (Form->close()) closedDuringTheLoop = true;
    // The request must not have touched the list.
    EXPECT_GE(Form->PhotoCount(), 0);
  };
  loop.Run(*this, *Form, photos, document);
  Wait.OnProgress = {};

  EXPECT_GE(requests, 2);
  EXPECT_FALSE(closedDuringTheLoop);
  EXPECT_TRUE(Form->isVisible());
  EXPECT_EQ(Form->PhotoCount(), loop.Rows);
  EXPECT_TRUE(Prompts.Errors().isEmpty()) << Prompts.Errors().join(u'\n').toStdString();
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_FALSE(Form->ListChangesRefused());

  // Now the close goes through: the list is cleared and the work folder removed.
  Prompts.Answers.push_back(IUserPrompts::Answer::No);
  const QString folder = Form->WorkFolder();
  EXPECT_TRUE(Form->close());
  EXPECT_EQ(Form->PhotoCount(), 0);
  EXPECT_FALSE(QDir(folder).exists());
}

// Presses OK in the "Apply to many..." dialog once it is up.
void AcceptTheModalDialog() {
  QTimer::singleShot(10, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialog->accept();
    } else {
      AcceptTheModalDialog();
    }
  });
}

INSTANTIATE_TEST_SUITE_P(
    Hardening, CloseDuringLoops,
    testing::Values(
        TLongLoop{"adding", 3,
                  [](AppTest&, TFormMain& form, const QStringList& photos, const QString&) {
                    form.RunHandler([&] { form.AddFileList(photos); });
                  }},
        TLongLoop{"opening", 3,
                  [](AppTest&, TFormMain& form, const QStringList&, const QString& document) {
                    form.RunHandler([&] { form.OpenDocument(document); });
                  }},
        TLongLoop{"applying", 3,
                  [](AppTest&, TFormMain& form, const QStringList&, const QString&) {
                    form.SelectPhoto(form.Photo(0));
                    AcceptTheModalDialog();
                    form.Editor->sButtonApplyClick();
                  }},
        // The export leaves the window enabled, so this close request is one the user can
        // really make with the mouse.
        TLongLoop{"exporting", 3,
                  [](AppTest& test, TFormMain& form, const QStringList& photos, const QString&) {
                    static_cast<CloseDuringLoops&>(test).AnswerExport(
                        QFileInfo(photos.front()).absolutePath() + QStringLiteral("/exported"));
                    form.SaveasPNG1->trigger();
                  }},
        // The installer download of the update panel, trickling from a server on 127.0.0.1;
        // the downloaded "installer" is a script that does nothing.
        TLongLoop{"downloading", 3,
                  [](AppTest&, TFormMain& form, const QStringList&, const QString&) {
                    TFaultServer server;
                    QByteArray installer = "#!/bin/sh\nexit 0\n";
                    installer += QByteArray(6000, '#') + "\n";
                    TFaultResponse answer = TFaultResponse::Ok(installer);
                    answer.ChunkSize = 1000;
                    answer.ChunkDelayMs = 40;
                    server.Serve("/files/setup/setup.sh", answer);
                    form.Online->UpdateUrl = server.Url(QStringLiteral("/files/setup/setup.sh"));
                    form.Online->RemoteVersion = QStringLiteral("9.0.0.0");
                    bool ok = false;
                    form.RunHandler([&] { ok = form.Online->DownloadAndRunSetup(); });
                    EXPECT_TRUE(ok);
                    EXPECT_TRUE(QFileInfo::exists(form.AppDataFolder + QStringLiteral("setup.sh")));
                  }}),
    [](const testing::TestParamInfo<TLongLoop>& info) { return std::string(info.param.Name); });

}  // namespace
