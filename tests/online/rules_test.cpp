// The rules that need no server: the ini reader, version comparison, the update decision and its
// wait dialog's texts, the installer's file name and cache file names.
#include <gtest/gtest.h>

#include "Ads.h"
#include "RemoteSettings.h"
#include "Stat.h"
#include "Update.h"
#include "VirtualIniFile.h"

TEST(VirtualIniFile, ReadsSectionsKeysAndValuesAsTheSettingsFileIsWritten) {
  const TVirtualIniFile ini(
      QStringLiteral("version=9.9.9.9\r\n"  // before the first section: ignored
                     "[common]\r\n"
                     "  Version =  1.0.0.2  \r\n"  // blanks around names and values
                     "; updateUrl=http://commented.out/\r"
                     "updateUrl=http://h/a=b.exe\n"  // the value runs from the first "="
                     "\n"
                     "[ LINK1 ]\r\n"  // blanks inside the brackets, other case
                     "URL1=http://h/big.png\r\n"
                     "url1=http://h/second.png\r\n"  // a key twice: the first counts
                     "not a key line\r\n"
                     "[common]\r\n"  // a section twice: the first counts
                     "version=3\r\n"));
  EXPECT_EQ(ini.FileName(), "none.ini");
  EXPECT_EQ(ini.ReadString("COMMON", "version", "def"), "1.0.0.2");
  EXPECT_EQ(ini.ReadString("common", "UPDATEURL", "def"), "http://h/a=b.exe");
  EXPECT_EQ(ini.ReadString("link1", "url1", "def"), "http://h/big.png");
  EXPECT_EQ(ini.ReadString("link1", "url2", "def"), "def");
  EXPECT_EQ(ini.ReadString("link2", "url1", "def"), "def");
  EXPECT_EQ(ini.ReadString("link1", "not a key line", "def"), "def");
}

TEST(VirtualIniFile, IntegersAreDecimalOrHexadecimalElseTheDefault) {
  struct {
    const char* Text;
    bool Valid;
    int32_t Value;
  } const cases[] = {
      {"0", true, 0},           {"1", true, 1},
      {"-12", true, -12},       {"+7", true, 7},
      {"0x1", true, 1},         {"0X1f", true, 31},
      {"0xFFFFFFFF", true, -1}, {"2147483647", true, 2147483647},
      {"2147483648", false, 0}, {"yes", false, 0},
      {"", false, 0},           {"0x", false, 0},
      {"0x1g", false, 0},       {"1.5", false, 0},
      {"1 2", false, 0},        {"0x123456789", false, 0},
      {"-", false, 0},
  };
  for (const auto& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(ParseIniInteger(QString::fromLatin1(c.Text), v), c.Valid) << c.Text;
    if (c.Valid) {
      EXPECT_EQ(v, c.Value) << c.Text;
    }
    const TVirtualIniFile ini(QStringLiteral("[s]\nk=") + QString::fromLatin1(c.Text));
    EXPECT_EQ(ini.ReadInteger("s", "k", 77), c.Valid ? c.Value : 77) << c.Text;
  }
}

TEST(RemoteSettings, KeysTakeTheirDefaultsAndIntegerMeanings) {
  struct {
    const char* Text;
    TRemoteSettings Want;
  } const cases[] = {
      {"", {"", "", false, false}},
      {"[common]\nShowAds=1\n", {"", "", false, true}},
      {"[COMMON]\nSHOWADS=1\nVERSION=1.0.0.2\nUPDATEURL=http://h/s.exe\n",
       {"1.0.0.2", "http://h/s.exe", false, true}},
      {"[common]\nupdateCritical=yes\n", {"", "", false, false}},
      {"[common]\nupdateCritical=0x1\n", {"", "", true, false}},
      {"[common]\nupdateCritical=-1\nShowAds=0\n", {"", "", true, false}},
      {"<html><body>404 Not Found</body></html>", {"", "", false, false}},
  };
  for (const auto& c : cases) {
    const TRemoteSettings s = ReadRemoteSettings(TVirtualIniFile(QString::fromLatin1(c.Text)));
    EXPECT_EQ(s.RemoteVersion, c.Want.RemoteVersion) << c.Text;
    EXPECT_EQ(s.UpdateUrl, c.Want.UpdateUrl) << c.Text;
    EXPECT_EQ(s.UpdateCritical, c.Want.UpdateCritical) << c.Text;
    EXPECT_EQ(s.AdsEnabled, c.Want.AdsEnabled) << c.Text;
  }
}

TEST(CompareVersions, ComparesFourNumericParts) {
  struct {
    const char *A, *B;
    int Want;
  } const cases[] = {
      {"1.0.0.10", "1.0.0.9", 1},  // numbers, not text
      {"1.0.0.9", "1.0.0.10", -1},   {"1.0", "1.0.0.0", 0},
      {"1.0.0.1.7", "1.0.0.1", 0},  // only four parts count
      {"1.0.0.2b", "1.0.0.1", -1},  // a part that is no number is 0
      {"2", "1.9.9.9", 1},           {"", "0.0.0.0", 0},
      {"1..2", "1.0.2", 0},          {"1.0.0.2", "1.0.0.1", 1},
      {"10.0.0.0", "9.99.99.99", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareVersions(c.A, c.B), c.Want) << c.A << " vs " << c.B;
}

TEST(UpdateDecision, OffersOnlyANewerFetchedVersionWithAnInstaller) {
  const QString exe = QStringLiteral("1.0.0.1");
  const QString url = QStringLiteral("http://h/setup_v2.exe");
  struct {
    TRemoteSettings Settings;
    bool Fetched;
    TUpdateOffer Want;
  } const cases[] = {
      {{"1.0.0.2", url, false, false}, true, TUpdateOffer::ShowPanel},
      {{"1.0.0.2", url, true, false}, true, TUpdateOffer::InstallNow},
      {{"1.0.0.2", url, true, false}, false, TUpdateOffer::None},  // from the local copy only
      {{"1.0.0.2", "", false, false}, true, TUpdateOffer::None},
      {{"", url, false, false}, true, TUpdateOffer::None},
      {{"1.0.0.1", url, true, false}, true, TUpdateOffer::None},
      {{"1.0.0.0", url, false, false}, true, TUpdateOffer::None},
      {{"1.0.0.2b", url, false, false}, true, TUpdateOffer::None},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecideUpdate(c.Settings, exe, c.Fetched), c.Want)
        << c.Settings.RemoteVersion.toStdString();

  EXPECT_EQ(DownloadingText("1.0.0.2"), "Downloading Tavrolin 1.0.0.2...");
  EXPECT_EQ(kDownloadCaption, "Please wait...");
}

TEST(UpdateDecision, TheInstallerKeepsAPlainNameInsideTheDataFolder) {
  struct {
    const char *Url, *Want;
  } const cases[] = {
      {"http://h/files/setup_v2.exe", "setup_v2.exe"},
      {"setup.exe", "Tavrolin_Setup.exe"},  // no "/"
      {"http://h/files/", "Tavrolin_Setup.exe"},
      {"http://h/files/.", "Tavrolin_Setup.exe"},
      {"http://h/files/..", "Tavrolin_Setup.exe"},
      {"http://h/a\\..\\b.exe", "a\\..\\b.exe"},  // a backslash is part of a name here
  };
  for (const auto& c : cases) EXPECT_EQ(InstallerFileName(c.Url), c.Want) << c.Url;
}

TEST(AdsRules, CacheFileNamesFlattenTheAddress) {
  struct {
    const char *Url, *Want;
  } const cases[] = {
      {"http://host/ads/a.jpg", "host-ads-a.jpg"},
      {"http://host/a.jpg?v=2", "host-a.jpg-v=2"},
      {"https://host:8080/a.png", "https---host-8080-a.png"},
      {"HTTP://host/a.png", "HTTP---host-a.png"},  // the prefix is removed in exact case only
      {"x/http://y\\z.bmp", "x-y-z.bmp"},          // the first occurrence, wherever it is
      {"http://a/http://b", "a-http---b"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlToFileName(c.Url), c.Want) << c.Url;
}

TEST(StatRules, MessagesAndAddressesAreBuiltUnchanged) {
  qputenv("TAVROLIN_SITE", "site.test:8080");
  EXPECT_EQ(StartupPingMessage(true, "1.0.0.1"), "Installation%201.0.0.1");
  EXPECT_EQ(StartupPingMessage(false, "1.0.0.1"), "Version%201.0.0.1");
  EXPECT_EQ(AdvertisementPingMessage("http://a.test/x y"), "Advertisement%20(http://a.test/x y)");
  EXPECT_EQ(StatAddress(kSitePingMessage), "http://site.test:8080/stat.php?msg=from%program");
  EXPECT_EQ(SiteRootAddress(), "http://site.test:8080");
  EXPECT_EQ(PartnersAddress(), "http://site.test:8080/partners");
  EXPECT_EQ(FanPageAddress(), "http://site.test:8080/fans");
  EXPECT_EQ(MailToAddress(SupportMailAddress()), "mailto:support@site.test?Subject=Request");
  EXPECT_EQ(InfoUrl(), "http://site.test:8080/files/info.txt");
  qunsetenv("TAVROLIN_SITE");
  EXPECT_EQ(InfoUrl(), "http://tavrolin.example/files/info.txt");
}
