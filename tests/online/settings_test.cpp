// The start-up fetch of the settings file: fetched and cached, an offline start from the cache,
// the answers that keep or replace the local copy, and the hand-over to the user-interface
// thread (never to a window that is closing).
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include <QObject>
#include <QTemporaryDir>
#include <QThread>

#include "Ads.h"
#include "RemoteSettings.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "Update.h"
#include "VirtualIniFile.h"

namespace {

// One start of the program as far as the settings go: the thread, the hand-over, and what
// OnVersionInfo would decide from it.
struct TStart {
  std::optional<TInfoResult> Handed;
  bool OnUiThread = false;
};

TStart RunUpdateThread(const QString& url, const QString& cacheFile) {
  QObject window;
  TStart start;
  TUpdateThread thread(&window, url, cacheFile, [&](const TInfoResult& r) {
    start.Handed = r;
    start.OnUiThread = QThread::currentThread() == window.thread();
  });
  WaitUntil([&] { return thread.Finished(); });
  EXPECT_TRUE(thread.Finished());
  return start;
}

const QByteArray kSettingsLf =
    "[common]\nversion=1.0.0.2\nupdateUrl=http://h/files/setup/setup_v2.exe\nShowAds=1\n\n"
    "[link1]\nurl1=http://h/big.png\nurl2=http://h/small.png\nwww=http://a.test/\ntxt=Ad one";

}  // namespace

TEST(RemoteSettingsFetch, FetchedTextIsCachedAndAnOfflineStartUsesItWithoutOffer) {
  QTemporaryDir root, appData;
  WriteFile(root.filePath("files/info.txt"), kSettingsLf);
  const QString cache = InfoCacheFileName(appData.path());
  QString url;
  {
    TNginxSite site(root.path());
    ASSERT_TRUE(site.Running());
    qputenv("TAVROLIN_SITE", site.Host().toUtf8());
    url = InfoUrl();
    const TStart online = RunUpdateThread(url, cache);
    ASSERT_TRUE(online.Handed.has_value());
    EXPECT_TRUE(online.OnUiThread);
    EXPECT_TRUE(online.Handed->InfoFetched);
    EXPECT_EQ(online.Handed->InfoText, QString::fromLatin1(kSettingsLf));
    const TRemoteSettings s = ReadRemoteSettings(TVirtualIniFile(online.Handed->InfoText));
    EXPECT_EQ(DecideUpdate(s, "1.0.0.1", online.Handed->InfoFetched), TUpdateOffer::ShowPanel);
    EXPECT_TRUE(WaitUntil(
        [&] { return site.AccessLog().contains("\"GET /files/info.txt HTTP/1.1\" 200"); }));
    EXPECT_TRUE(site.AccessLog().contains("\"Tavrolin\""));
  }
  qunsetenv("TAVROLIN_SITE");
  // The local copy holds the text with CR LF line ends.
  QByteArray crlf = kSettingsLf;
  crlf.replace("\n", "\r\n");
  EXPECT_EQ(ReadFile(cache), crlf + "\r\n");

  // The next day, without the server.
  const TStart offline = RunUpdateThread(url, cache);
  ASSERT_TRUE(offline.Handed.has_value());
  EXPECT_FALSE(offline.Handed->InfoFetched);
  const TVirtualIniFile ini(offline.Handed->InfoText);
  const TRemoteSettings s = ReadRemoteSettings(ini);
  EXPECT_TRUE(s.AdsEnabled);
  EXPECT_EQ(ini.ReadString("link1", "txt", ""), "Ad one");
  EXPECT_EQ(DecideUpdate(s, "1.0.0.1", offline.Handed->InfoFetched), TUpdateOffer::None);
  EXPECT_EQ(ReadFile(cache), crlf + "\r\n");
}

TEST(RemoteSettingsFetch, AnErrorPageWithALengthReplacesTheCopy) {
  QTemporaryDir appData;
  const QString cache = InfoCacheFileName(appData.path());
  WriteFile(cache, "[common]\r\nShowAds=1\r\n");
  const QByteArray page = "<html>\n<body>404 Not Found</body>\n</html>";
  TFaultServer server;
  server.Serve("/files/info.txt", TFaultResponse::Raw("HTTP/1.1 404 Not Found",
                                                      QByteArray::number(page.size()), page));
  const TStart start = RunUpdateThread(server.Url("/files/info.txt"), cache);
  ASSERT_TRUE(start.Handed.has_value());
  EXPECT_TRUE(start.Handed->InfoFetched);
  EXPECT_EQ(ReadFile(cache), "<html>\r\n<body>404 Not Found</body>\r\n</html>\r\n");
  const TRemoteSettings s = ReadRemoteSettings(TVirtualIniFile(start.Handed->InfoText));
  EXPECT_FALSE(s.AdsEnabled);
  EXPECT_EQ(DecideUpdate(s, "1.0.0.1", true), TUpdateOffer::None);
}

TEST(RemoteSettingsFetch, FailedFetchesKeepTheLastGoodCopy) {
  TFaultResponse cut = TFaultResponse::Ok("[common]\r\nShowAds=0\r\n[link1]\r\nurl1=http://x/");
  cut.CutAfter = 12;
  const std::pair<const char*, TFaultResponse> cases[] = {
      {"empty body", TFaultResponse::Ok("")},
      {"no length", TFaultResponse::Ok("[common]\r\nShowAds=0\r\n", false)},
      {"non-numeric length", TFaultResponse::Raw("HTTP/1.1 200 OK", "many", "[common]\r\n")},
      {"cut off mid-way", cut},
  };
  for (const auto& [name, response] : cases) {
    SCOPED_TRACE(name);
    QTemporaryDir appData;
    const QString cache = InfoCacheFileName(appData.path());
    const QByteArray good = "[common]\r\nShowAds=1\r\n";
    WriteFile(cache, good);
    TFaultServer server;
    server.Serve("/files/info.txt", response);
    const TStart start = RunUpdateThread(server.Url("/files/info.txt"), cache);
    ASSERT_TRUE(start.Handed.has_value());
    EXPECT_FALSE(start.Handed->InfoFetched);
    EXPECT_EQ(start.Handed->InfoText, QString::fromLatin1(good));
    EXPECT_EQ(ReadFile(cache), good);
    EXPECT_EQ(FolderEntries(appData.path()), QStringList{"Tavrolin.ini"});
  }
}

TEST(RemoteSettingsFetch, NoServerAndNoCopyHandsOverAnEmptyText) {
  QTemporaryDir appData;
  const QString cache = InfoCacheFileName(appData.path());
  const TStart start =
      RunUpdateThread(QStringLiteral("http://127.0.0.1:%1/files/info.txt").arg(FreePort()), cache);
  ASSERT_TRUE(start.Handed.has_value());
  EXPECT_FALSE(start.Handed->InfoFetched);
  EXPECT_TRUE(start.Handed->InfoText.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(cache));
}

TEST(RemoteSettingsFetch, ACopyThatCannotBeWrittenHandsNothingOver) {
  QTemporaryDir appData;
  const QString cache = appData.filePath("missing folder/Tavrolin.ini");
  TFaultServer server;
  server.Serve("/files/info.txt", TFaultResponse::Ok("[common]\r\nShowAds=1\r\n"));
  const TStart start = RunUpdateThread(server.Url("/files/info.txt"), cache);
  EXPECT_FALSE(start.Handed.has_value());
}

TEST(RemoteSettingsFetch, AStoppedThreadHandsNothingToAClosingWindow) {
  TFaultServer server;
  server.Serve("/fast", TFaultResponse::Ok("[common]\r\nShowAds=1\r\n"));
  TFaultResponse stall = TFaultResponse::Ok(QByteArray(4000, 'x'));
  stall.CutAfter = 100;
  stall.StallAfterMs = 30000;
  server.Serve("/stalled", stall);
  QTemporaryDir appData;
  const QString cache = InfoCacheFileName(appData.path());

  // Closed while the download hangs: Stop ends it at once.
  {
    QObject window;
    bool handed = false;
    TUpdateThread thread(&window, server.Url("/stalled"), cache,
                         [&](const TInfoResult&) { handed = true; });
    ASSERT_TRUE(WaitUntil([&] { return server.CountRequests("/stalled") == 1; }));
    const auto before = std::chrono::steady_clock::now();
    thread.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    QCoreApplication::processEvents();
    EXPECT_FALSE(handed);
  }
  // Closed after the fetch, while the hand-over waits in the event queue.
  {
    QObject window;
    bool handed = false;
    TUpdateThread thread(&window, server.Url("/fast"), cache,
                         [&](const TInfoResult&) { handed = true; });
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(cache); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // no events run meanwhile
    thread.Stop();
    QCoreApplication::processEvents();
    EXPECT_FALSE(handed);
  }
}

TEST(RemoteSettingsFetch, OnVersionInfoMayCloseTheWindowAndDestroyTheThread) {
  TFaultServer server;
  server.Serve("/files/info.txt", TFaultResponse::Ok("[common]\r\nupdateCritical=1\r\n"));
  QTemporaryDir appData;
  QObject window;
  std::unique_ptr<TUpdateThread> thread;
  bool closed = false;
  thread = std::make_unique<TUpdateThread>(
      &window, server.Url("/files/info.txt"), InfoCacheFileName(appData.path()),
      [&](const TInfoResult&) {
        thread.reset();  // the close handler stops the thread from inside the hand-over
        closed = true;
      });
  EXPECT_TRUE(WaitUntil([&] { return closed; }));
}
