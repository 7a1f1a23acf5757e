// The vendor web site as shipped in server/, run by nginx through server/start: the pings as its
// logs keep them, the documented example settings with its pictures, the pages the program
// opens, and no error page where the program expects content.
#include <gtest/gtest.h>

#include <algorithm>

#include <QTemporaryDir>

#include "Ads.h"
#include "Http.h"
#include "RemoteSettings.h"
#include "Site.h"
#include "Stat.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "Update.h"
#include "VirtualIniFile.h"

namespace {

class TShippedSite : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Site.Running());
    qputenv("TAVROLIN_SITE", Site.Host().toUtf8());
  }
  void TearDown() override { qunsetenv("TAVROLIN_SITE"); }
  TNginxSite Site;
};

class TStatus : public IHttpReceiver {
 public:
  void Opened(const QString& length) override { Length = length; }
  bool Received(const char* data, qsizetype size) override {
    Body.append(data, size);
    return true;
  }
  QString Length;
  QByteArray Body;
};

}  // namespace

TEST_F(TShippedSite, StartupPingsAppearInTheLogsAsSent) {
  const QString version = tavrolin::ProgramVersion();
  ASSERT_EQ(version, "1.0.0.1");
  {
    TStatSender stats;
    stats.SendStat(StartupPingMessage(true, version));  // first run of this version
    ASSERT_TRUE(stats.WaitIdle(10000));
    stats.SendStat(StartupPingMessage(false, version));  // the next start
    stats.SendStat(AdvertisementPingMessage("http://a.test/"));
    stats.SendStat(kSitePingMessage);
    stats.SendStat(kPartnersPingMessage);
    ASSERT_TRUE(stats.WaitIdle(10000));
  }
  ASSERT_TRUE(WaitUntil([&] { return Site.StatLog().count('\n') == 5; }));
  const QString access = Site.AccessLog();
  EXPECT_TRUE(access.contains("\"GET /stat.php?msg=Installation%201.0.0.1 HTTP/1.1\" 204"));
  EXPECT_TRUE(access.contains("\"GET /stat.php?msg=Version%201.0.0.1 HTTP/1.1\" 204"));
  EXPECT_LT(access.indexOf("Installation%201.0.0.1"), access.indexOf("Version%201.0.0.1"));

  QStringList messages;
  for (const QString& line : Site.StatLog().split('\n', Qt::SkipEmptyParts))
    messages << line.section(' ', 2);
  EXPECT_EQ(messages.value(0), "Installation%201.0.0.1");
  EXPECT_EQ(QStringList(messages.mid(1)).size(), 4);
  for (const char* m : {"Version%201.0.0.1", "Advertisement%20(http://a.test/)", "from%program",
                        "Partners(from%20from%20program)"})
    EXPECT_TRUE(messages.contains(m)) << m;
}

TEST_F(TShippedSite, TheExampleSettingsDescribeDownloadableAdvertising) {
  const TFetchResult fetched = FetchUrlText(InfoUrl());
  ASSERT_TRUE(fetched.Success);
  const TVirtualIniFile ini(fetched.Text);
  const TRemoteSettings s = ReadRemoteSettings(ini);
  EXPECT_TRUE(s.AdsEnabled);
  EXPECT_EQ(s.RemoteVersion, "1.0.0.1");  // the current version: no offer
  EXPECT_EQ(DecideUpdate(s, tavrolin::ProgramVersion(), true), TUpdateOffer::None);
  EXPECT_EQ(s.UpdateUrl, Site.Url("/files/setup/Tavrolin_Setup.exe"));

  QTemporaryDir cache;
  TWebLinks links(kAdsSlotCount, cache.path());
  LoadLinks(links, ini);
  std::vector<int32_t> shown;
  QStringList texts;
  ASSERT_TRUE(WaitUntil([&] {
    const TAdsTick tick = AdsTimerTick(links);
    shown.insert(shown.end(), tick.ShowPicture.begin(), tick.ShowPicture.end());
    texts = tick.SheetTexts;
    return tick.AllDone;
  }));
  std::sort(shown.begin(), shown.end());  // the slots finish in any order
  EXPECT_EQ(shown, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(texts, (QStringList{
                       "Made with Tavrolin: free photocopies of books, documents and notes", ""}));
  for (int32_t i : {0, 1}) {
    EXPECT_EQ(links[i].SmallPicture.size(), QSize(180, 100));
    EXPECT_EQ(links[i].BigPicture.size(), QSize(500, 300));
  }
  EXPECT_EQ(links[1].Www, PartnersAddress());
}

TEST_F(TShippedSite, ThePagesTheProgramOpensAreThere) {
  for (const QString& address : {SiteRootAddress(), PartnersAddress(), FanPageAddress()}) {
    TStatus page;
    EXPECT_EQ(HttpGet(kProgramAgent, address, 1024, page), THttpOutcome::Complete)
        << address.toStdString();
    EXPECT_TRUE(page.Body.startsWith("<!DOCTYPE html>")) << address.toStdString();
  }
}

TEST_F(TShippedSite, MissingFilesGetNoAnswerTheProgramCouldTakeForContent) {
  QTemporaryDir dir;
  std::atomic<bool> stop{false};
  TScriptedWait wait;
  for (const char* path : {"/files/nothing.txt", "/files/", "/files/ads/", "/files/ads/missing.png",
                           "/files/setup/Tavrolin_Setup.exe"}) {
    SCOPED_TRACE(path);
    TStatus answer;
    EXPECT_EQ(HttpGet(kProgramAgent, Site.Url(path), 1024, answer), THttpOutcome::NotOpened);
    EXPECT_FALSE(FetchUrlText(Site.Url(path)).Success);
    EXPECT_FALSE(DownloadToFile(Site.Url(path), dir.filePath("x.png"), stop));
    EXPECT_FALSE(DownloadFileWithProgress(wait, "c", "t", Site.Url(path), dir.filePath("s.exe")));
  }
  EXPECT_EQ(FolderEntries(dir.path()), QStringList());
}

TEST(StatSender, APingToAStalledServerDoesNotHoldUpTheExit) {
  TFaultServer server;
  TFaultResponse stall = TFaultResponse::Ok("0123456789");
  stall.CutAfter = 0;
  stall.StallAfterMs = 30000;
  server.Serve("/stat.php?msg=Version%201.0.0.1", stall);
  qputenv("TAVROLIN_SITE", server.Host().toUtf8());
  const auto before = std::chrono::steady_clock::now();
  {
    TStatSender stats;
    stats.SendStat(StartupPingMessage(false, "1.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 1; }));
    EXPECT_FALSE(stats.WaitIdle(100));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  qunsetenv("TAVROLIN_SITE");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Header("user-agent"), "Tavrolin");
}
