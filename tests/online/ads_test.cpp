// The advertising slots: downloads into the cache, pictures from the cache without a request,
// undecodable names, empty slots, margin texts, no partial cache entries, and shutdown while
// downloads are under way.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include "Ads.h"
#include "Http.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "VirtualIniFile.h"

namespace {

QByteArray Picture(int w, int h, const char* format, QColor color = QColor(200, 40, 40)) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!img.save(&buffer, format)) qFatal("cannot encode a test picture");
  return bytes;
}

// Ticks the timer until every slot is done; returns the slots that got their picture, in the
// order the ticks showed them, and the margin texts of the last tick.
struct TTicks {
  std::vector<int32_t> Shown;
  QStringList SheetTexts;
  int Count = 0;
};
TTicks TickUntilDone(TWebLinks& links) {
  TTicks ticks;
  EXPECT_TRUE(WaitUntil([&] {
    const TAdsTick tick = AdsTimerTick(links);
    ++ticks.Count;
    ticks.Shown.insert(ticks.Shown.end(), tick.ShowPicture.begin(), tick.ShowPicture.end());
    ticks.SheetTexts = tick.SheetTexts;
    return tick.AllDone;
  }));
  return ticks;
}

// A valid one-pixel GIF (Qt reads GIF but does not write it).
const QByteArray kGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00"
    "!\xf9\x04\x01\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00"
    "\x00\x02\x02\x44\x01\x00;",
    43);

}  // namespace

TEST(AdsSlots, DownloadIntoTheCacheAndShowWhenDone) {
  QTemporaryDir root, cache;
  WriteFile(root.filePath("files/ads/big.png"), Picture(500, 300, "PNG"));
  WriteFile(root.filePath("files/ads/small.jpg"), Picture(180, 100, "JPG"));
  WriteFile(root.filePath("files/ads/e-big.bmp"), Picture(500, 300, "BMP"));
  WriteFile(root.filePath("files/ads/e-small.ico"), Picture(64, 64, "ICO"));
  WriteFile(root.filePath("files/ads/a.gif"), kGif);
  WriteFile(root.filePath("files/ads/q.jpg"), Picture(500, 300, "JPG"));
  TNginxSite site(root.path());
  ASSERT_TRUE(site.Running());
  const QString a = site.Url("/files/ads/");
  const TVirtualIniFile ini(
      "[common]\nShowAds=1\n"
      "[link1]\nurl1=" +
      a + "big.png\nurl2=" + a +
      "small.jpg\nwww=http://a.test/\ntxt=Ad one\n"
      "[link2]\nurl1=" +
      a +
      "big.png\nwww=http://b.test/\ntxt=never\n"  // url2 missing
      "[link3]\nurl1=" +
      a + "big.png\nurl2=" + a +
      "a.gif\ntxt=gif\n"  // undecodable
      "[link4]\nurl1=" +
      a + "q.jpg?v=2\nurl2=" + a +
      "small.jpg\ntxt=query\n"  // name q.jpg-v=2
      "[link5]\nurl1=" +
      a + "e-big.bmp\nurl2=" + a +
      "e-small.ico\n"  // no txt
      "[link6]\nurl1=" +
      a + "big.png\nurl2=" + a + "small.jpg\ntxt=Ad six\n");  // as link1
  TWebLinks links(kAdsSlotCount, cache.path() + "/");
  LoadLinks(links, ini);
  EXPECT_FALSE(links[1].Loading.load());  // never loads without both addresses
  EXPECT_FALSE(links[6].Loading.load());

  const TTicks ticks = TickUntilDone(links);
  EXPECT_EQ(std::set<int32_t>(ticks.Shown.begin(), ticks.Shown.end()),
            (std::set<int32_t>{0, 4, 5}));
  EXPECT_EQ(ticks.Shown.size(), 3u);  // each slot is shown once
  EXPECT_EQ(ticks.SheetTexts, (QStringList{"Ad one", "", "Ad six"}));
  EXPECT_EQ(links[0].BigPicture.size(), QSize(500, 300));
  EXPECT_EQ(links[0].SmallPicture.size(), QSize(180, 100));
  EXPECT_EQ(links[4].SmallPicture.size(), QSize(64, 64));
  for (int32_t i : {1, 2, 3, 6}) {
    EXPECT_FALSE(IsReady(links[i])) << i;
    EXPECT_TRUE(links[i].BigPicture.isNull() && links[i].SmallPicture.isNull()) << i;
  }
  EXPECT_EQ(links[0].Www, "http://a.test/");
  EXPECT_EQ(links[0].BigFile, cache.path() + "/" + UrlToFileName(a + "big.png"));

  // The cache holds finished pictures only, under their names; the undecodable ones stay too.
  const QString host = site.Host().replace(':', '-');
  const QStringList expected = {host + "-files-ads-a.gif",     host + "-files-ads-big.png",
                                host + "-files-ads-e-big.bmp", host + "-files-ads-e-small.ico",
                                host + "-files-ads-q.jpg-v=2", host + "-files-ads-small.jpg"};
  EXPECT_EQ(FolderEntries(cache.path()), expected);
  EXPECT_EQ(ReadFile(links[0].BigFile), ReadFile(root.filePath("files/ads/big.png")));
  EXPECT_TRUE(site.AccessLog().contains("\"Tav-Rolin\""));
}

TEST(AdsSlots, PicturesInTheCacheNeedNoRequest) {
  QTemporaryDir root, cache;
  WriteFile(root.filePath("files/info.txt"), "[common]\r\nShowAds=1\r\n");
  TNginxSite site(root.path());
  ASSERT_TRUE(site.Running());
  const QString big = site.Url("/files/ads/big.png"), small = site.Url("/files/ads/small.png");
  WriteFile(cache.filePath(UrlToFileName(big)), Picture(500, 300, "PNG"));
  WriteFile(cache.filePath(UrlToFileName(small)), Picture(180, 100, "PNG"));

  TWebLinks links(kAdsSlotCount, cache.path());
  LoadLinks(links, TVirtualIniFile("[link1]\nurl1=" + big + "\nurl2=" + small + "\ntxt=cached\n"));
  const TTicks ticks = TickUntilDone(links);
  EXPECT_EQ(ticks.Shown, std::vector<int32_t>{0});
  EXPECT_EQ(ticks.SheetTexts, QStringList{"cached"});

  // The log works (this request shows in it), and no picture was asked for.
  ASSERT_TRUE(FetchUrlText(site.Url("/files/info.txt")).Success);
  ASSERT_TRUE(WaitUntil([&] { return site.AccessLog().contains("/files/info.txt"); }));
  EXPECT_FALSE(site.AccessLog().contains("/files/ads/"));
}

TEST(AdsSlots, SevenEmptySlotsFinishAtTheFirstTick) {
  QTemporaryDir cache;
  TWebLinks links(kAdsSlotCount, cache.path());
  LoadLinks(links, TVirtualIniFile("[common]\nShowAds=1\n"));
  const TAdsTick tick = AdsTimerTick(links);
  EXPECT_TRUE(tick.AllDone);
  EXPECT_TRUE(tick.ShowPicture.empty());
  EXPECT_TRUE(tick.SheetTexts.isEmpty());
  for (int32_t i = 0; i < links.Count(); ++i) {
    EXPECT_TRUE(links[i].Shown);
    EXPECT_FALSE(IsReady(links[i]));
  }
  EXPECT_EQ(FolderEntries(cache.path()), QStringList());
}

TEST(AdsSlots, DecodingGoesByTheNamesExtension) {
  QTemporaryDir dir;
  const QByteArray png = Picture(180, 100, "PNG");
  const struct {
    const char* Name;
    QByteArray Bytes;
    bool Decodes;
  } cases[] = {
      {"a.bmp", Picture(180, 100, "BMP"), true},
      {"a.ico", Picture(32, 32, "ICO"), true},
      {"a.jpg", Picture(180, 100, "JPG"), true},
      {"a.JPEG", Picture(180, 100, "JPG"), true},
      {"a.Png", png, true},
      {"png-named.jpg", png, false},  // the extension decides the decoder
      {"a.gif", kGif, false},         // a picture Qt itself could read
      {"a.emf", png, false},          // no decoder for metafiles on this platform
      {"a.wmf", png, false},
      {"a.jpg-v=2", Picture(180, 100, "JPG"), false},
      {"broken.png", png.left(png.size() / 3), false},
      {"empty.png", QByteArray(), false},
  };
  for (const auto& c : cases) {
    const QString file = dir.filePath(c.Name);
    if (!c.Bytes.isNull() || QByteArray(c.Name) == "empty.png") WriteFile(file, c.Bytes);
    EXPECT_EQ(!DecodeAdImage(file).isNull(), c.Decodes) << c.Name;
  }
  EXPECT_FALSE(QImage::fromData(kGif).isNull());
  EXPECT_TRUE(DecodeAdImage(dir.filePath("missing.png")).isNull());
  EXPECT_TRUE(DecodeAdImage(dir.path() + "/..").isNull());
}

TEST(AdsSlots, AFailedDownloadLeavesNoCacheEntryForLaterRuns) {
  const QByteArray big = Picture(500, 300, "PNG");
  TFaultResponse cut = TFaultResponse::Ok(big);
  cut.CutAfter = big.size() / 2;
  QTemporaryDir cache;
  const QString ini = "[link1]\nurl1=%1\nurl2=%2\n";
  {
    TFaultServer server;
    server.Serve("/big.png", cut);
    server.Serve("/small.png", TFaultResponse::Ok(Picture(180, 100, "PNG")));
    TWebLinks links(kAdsSlotCount, cache.path());
    LoadLinks(links, TVirtualIniFile(ini.arg(server.Url("/big.png"), server.Url("/small.png"))));
    EXPECT_TRUE(TickUntilDone(links).Shown.empty());
    EXPECT_EQ(FolderEntries(cache.path()), QStringList());
  }
  // The next run downloads again rather than failing on half a picture for ever. (The port
  // differs, and so does the cache name: the pictures are fetched again either way.)
  TFaultServer server;
  server.Serve("/big.png", TFaultResponse::Ok(big));
  server.Serve("/small.png", TFaultResponse::Ok(Picture(180, 100, "PNG")));
  TWebLinks links(kAdsSlotCount, cache.path());
  LoadLinks(links, TVirtualIniFile(ini.arg(server.Url("/big.png"), server.Url("/small.png"))));
  EXPECT_EQ(TickUntilDone(links).Shown, std::vector<int32_t>{0});
}

TEST(AdsSlots, ShutdownDuringDownloadsStopsAndJoinsEveryThread) {
  TFaultServer server;
  TFaultResponse stall = TFaultResponse::Ok(QByteArray(100000, 'x'));
  stall.CutAfter = 3000;
  stall.StallAfterMs = 30000;
  QString ini;
  for (int i = 1; i <= 7; ++i) {
    // Slots 6 and 7 share their addresses: two threads on the same cache file.
    const QByteArray path = "/ads" + QByteArray::number(std::min(i, 6)) + ".png";
    server.Serve(path, stall);
    ini += QStringLiteral("[link%1]\nurl1=%2\nurl2=%2\n")
               .arg(i)
               .arg(server.Url(QString::fromLatin1(path)));
  }
  QTemporaryDir cache;
  auto links = std::make_unique<TWebLinks>(kAdsSlotCount, cache.path());
  LoadLinks(*links, TVirtualIniFile(ini));
  ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 7; }));
  EXPECT_FALSE(AdsTimerTick(*links).AllDone);

  const auto before = std::chrono::steady_clock::now();
  links.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_EQ(FolderEntries(cache.path()), QStringList());
}
