// The installer download under the wait dialog: it runs the downloaded program silently in the
// data folder, shows steady progress, and leaves nothing behind when cancelled or failing.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "TestServers.h"
#include "TestSupport.h"
#include "Update.h"

namespace {

// A stand-in installer: records its working folder and arguments, then the word "done".
const QByteArray kRecordingInstaller =
    "#!/bin/sh\n"
    "{ pwd -P; for a in \"$@\"; do echo \"arg:$a\"; done; echo done; } > record.tmp\n"
    "mv record.tmp record.txt\n";

struct TWindowState {
  std::vector<bool> Calls;
  std::function<void(bool)> Enable() {
    return [this](bool on) { Calls.push_back(on); };
  }
};

}  // namespace

TEST(InstallerDownload, DownloadsAndStartsTheInstallerSilentlyInTheDataFolder) {
  QTemporaryDir root, appData;
  WriteFile(root.filePath("files/setup/setup_v2.exe"), kRecordingInstaller);
  WriteFile(appData.filePath("setup_v2.exe"), "an older download, overwritten");
  TNginxSite site(root.path());
  ASSERT_TRUE(site.Running());

  TScriptedWait wait;
  TWindowState window;
  const TSetupDownload setup{site.Url("/files/setup/setup_v2.exe"), "1.0.0.2",
                             appData.path() + "/"};
  EXPECT_TRUE(DownloadAndRunSetup(wait, setup, window.Enable()));
  EXPECT_EQ(window.Calls, (std::vector<bool>{false, true}));
  EXPECT_EQ(wait.Caption(), "Please wait...");
  EXPECT_EQ(wait.Text(), "Downloading Tavrolin 1.0.0.2...");
  EXPECT_EQ(wait.Minimum(), 0);
  EXPECT_EQ(wait.Maximum(), 100);
  EXPECT_EQ(wait.Closes(), 1);

  const QString installer = appData.filePath("setup_v2.exe");
  EXPECT_EQ(ReadFile(installer), kRecordingInstaller);
  EXPECT_TRUE(QFileInfo(installer).isExecutable());
  const QString record = appData.filePath("record.txt");
  ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(record); }));
  const QStringList lines = QString::fromUtf8(ReadFile(record)).split('\n', Qt::SkipEmptyParts);
  EXPECT_EQ(lines,
            (QStringList{QFileInfo(appData.path()).canonicalFilePath(), "arg:/silent", "done"}));
}

TEST(InstallerDownload, ProgressRisesSteadilyFromZeroToAHundred) {
  QTemporaryDir root, appData;
  QByteArray big(300 * 1024, Qt::Uninitialized);
  for (qsizetype i = 0; i < big.size(); ++i) big[i] = char(i * 7);
  WriteFile(root.filePath("files/setup/Tavrolin_Setup.exe"), big);
  TNginxSite site(root.path());
  ASSERT_TRUE(site.Running());

  TScriptedWait wait;
  const QString file = appData.filePath("Tavrolin_Setup.exe");
  EXPECT_TRUE(
      DownloadFileWithProgress(wait, "c", "t", site.Url("/files/setup/Tavrolin_Setup.exe"), file));
  EXPECT_EQ(ReadFile(file), big);
  const std::vector<int> progress = wait.Progress();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  std::vector<int> distinct = progress;
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  EXPECT_EQ(distinct.size(), 101u);  // 300 blocks of 1024 bytes pass every percentage
}

TEST(InstallerDownload, CancelDeletesThePartialFileAndStartsNothing) {
  TFaultServer server;
  TFaultResponse slow = TFaultResponse::Ok(QByteArray(200 * 1024, 'x'));
  slow.ChunkSize = 1024;
  slow.ChunkDelayMs = 5;
  server.Serve("/setup_v2.exe", slow);
  QTemporaryDir appData;
  TScriptedWait wait;
  wait.CancelAfter = 10;
  TWindowState window;
  EXPECT_FALSE(DownloadAndRunSetup(wait, {server.Url("/setup_v2.exe"), "1.0.0.2", appData.path()},
                                   window.Enable()));
  EXPECT_TRUE(wait.Cancelled());
  EXPECT_EQ(wait.Closes(), 1);
  EXPECT_EQ(window.Calls, (std::vector<bool>{false, true}));
  EXPECT_EQ(FolderEntries(appData.path()), QStringList());
}

TEST(InstallerDownload, CancelActsOnAStalledServerToo) {
  TFaultServer server;
  TFaultResponse stall = TFaultResponse::Ok(QByteArray(50000, 'x'));
  stall.CutAfter = 2048;
  stall.StallAfterMs = 30000;
  server.Serve("/setup.exe", stall);
  QTemporaryDir appData;
  TScriptedWait wait;
  wait.CancelAfter = 20;  // more updates than the two blocks that arrive
  const auto before = std::chrono::steady_clock::now();
  EXPECT_FALSE(DownloadFileWithProgress(wait, "c", "t", server.Url("/setup.exe"),
                                        appData.filePath("setup.exe")));
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
  EXPECT_EQ(FolderEntries(appData.path()), QStringList());
}

TEST(InstallerDownload, AFileThatCannotBeWrittenRaisesAndReenablesTheWindow) {
  TFaultServer server;
  server.Serve("/setup.exe", TFaultResponse::Ok("MZ installer"));
  QTemporaryDir appData;
  TScriptedWait wait;
  TWindowState window;
  EXPECT_THROW(DownloadAndRunSetup(
                   wait, {server.Url("/setup.exe"), "1.0.0.2", appData.filePath("not there")},
                   window.Enable()),
               std::runtime_error);
  EXPECT_EQ(window.Calls, (std::vector<bool>{false, true}));
  EXPECT_EQ(wait.Closes(), 1);
}

TEST(InstallerDownload, NothingIsDownloadedWithoutAnAnnouncedLength) {
  TFaultServer server;
  server.Serve("/zero.exe", TFaultResponse::Ok(""));
  server.Serve("/none.exe", TFaultResponse::Ok("MZ", false));
  QTemporaryDir appData;
  TWindowState window;
  for (const char* path : {"/zero.exe", "/none.exe"}) {
    TScriptedWait wait;
    EXPECT_FALSE(
        DownloadAndRunSetup(wait, {server.Url(path), "1.0.0.2", appData.path()}, window.Enable()))
        << path;
  }
  EXPECT_EQ(FolderEntries(appData.path()), QStringList());
}
