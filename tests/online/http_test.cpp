// The shared GET against answers nginx would never give: what each of the three downloads makes
// of a missing or non-numeric length, a body cut off, an empty body, an error page, a stall.
#include <gtest/gtest.h>

#include <stdexcept>

#include <QTemporaryDir>

#include "Ads.h"
#include "Http.h"
#include "TestServers.h"
#include "TestSupport.h"
#include "Update.h"

namespace {

class TBlockRecorder : public IHttpReceiver {
 public:
  void Opened(const QString& contentLength) override {
    Length = contentLength;
    OpenedBeforeData = Sizes.empty();
  }
  bool Received(const char* data, qsizetype size) override {
    Sizes.push_back(size);
    Bytes.append(data, size);
    return true;
  }
  QString Length;
  bool OpenedBeforeData = false;
  std::vector<qsizetype> Sizes;
  QByteArray Bytes;
};

QByteArray Pattern(int size) {
  QByteArray b(size, Qt::Uninitialized);
  for (int i = 0; i < size; ++i) b[i] = char('a' + i % 26);
  return b;
}

}  // namespace

TEST(HttpGet, SendsNothingButTheAddressAndTheAgentName) {
  TFaultServer server;
  server.Serve("/files/info.txt", TFaultResponse::Ok("[common]\r\n"));
  server.Serve("/a.png", TFaultResponse::Ok("x"));
  server.Serve("/setup.exe", TFaultResponse::Ok("x"));
  QTemporaryDir dir;
  std::atomic<bool> stop{false};
  TScriptedWait wait;

  EXPECT_TRUE(FetchUrlText(server.Url("/files/info.txt")).Success);
  EXPECT_TRUE(DownloadToFile(server.Url("/a.png"), dir.filePath("a.png"), stop));
  EXPECT_TRUE(
      DownloadFileWithProgress(wait, "c", "t", server.Url("/setup.exe"), dir.filePath("s")));

  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  const char* agents[] = {"Tavrolin", "Tav-Rolin", "Tavrolin"};
  for (size_t i = 0; i < requests.size(); ++i) {
    EXPECT_EQ(requests[i].Method, "GET");
    EXPECT_EQ(requests[i].Header("user-agent"), agents[i]);
    for (const auto& [name, value] : requests[i].Headers)
      EXPECT_TRUE(name == "host" || name == "user-agent" || name == "accept")
          << "unexpected request header " << name.constData() << ": " << value.constData();
  }
}

TEST(HttpGet, HandsTheBodyOverInFixedBlocksAfterTheLength) {
  TFaultServer server;
  TFaultResponse trickle = TFaultResponse::Ok(Pattern(3000));
  trickle.ChunkSize = 300;  // arrives in pieces that fit no block
  trickle.ChunkDelayMs = 2;
  server.Serve("/body", trickle);

  for (int blockSize : {kSettingsBlockSize, kAdsBlockSize}) {
    TBlockRecorder rec;
    EXPECT_EQ(HttpGet(kProgramAgent, server.Url("/body"), blockSize, rec), THttpOutcome::Complete);
    EXPECT_EQ(rec.Length, "3000");
    EXPECT_TRUE(rec.OpenedBeforeData);
    const qsizetype b = blockSize;
    EXPECT_EQ(rec.Sizes, (std::vector<qsizetype>{b, b, 3000 - 2 * b}));
    EXPECT_EQ(rec.Bytes, Pattern(3000));
  }
}

TEST(HttpGet, FollowsRedirectionsAndReportsTheLastAnswersLength) {
  TFaultServer server;
  server.Serve("/old",
               TFaultResponse::Raw("HTTP/1.1 302 Found", "5", "moved", "Location: /new\r\n"));
  server.Serve("/new", TFaultResponse::Ok("[common]\r\nversion=2\r\n"));
  const TFetchResult r = FetchUrlText(server.Url("/old"));
  EXPECT_TRUE(r.Success);
  EXPECT_EQ(r.Text, "[common]\r\nversion=2\r\n");
}

TEST(HttpGet, DownloadedTextTakesEveryByteAsOneCharacterOfTheCodePage) {
  TFaultServer server;
  server.Serve("/t", TFaultResponse::Ok(QByteArray("A\x80\xE9\xFF\x81z", 6)));
  const TFetchResult r = FetchUrlText(server.Url("/t"));
  ASSERT_TRUE(r.Success);
  EXPECT_EQ(r.Text, QString::fromUtf16(u"A\u20AC\u00E9\u00FF\u0081z"));

  QByteArray all(256, Qt::Uninitialized);
  for (int i = 0; i < 256; ++i) all[i] = char(i);
  EXPECT_EQ(BytesToText(all).size(), 256);
  EXPECT_EQ(TextToBytes(BytesToText(all)), all);
  EXPECT_EQ(TextToBytes(QString::fromUtf16(u"\u0416")), "?");
}

// What each download makes of an answer: Ok (and what it got), Fails (false, no file), Throws.
enum class TExpect { Ok, Fails, Throws };
struct TFaultCase {
  const char* Name;
  TFaultResponse Response;
  TExpect Settings;   // FetchUrlText
  TExpect Installer;  // DownloadFileWithProgress
  TExpect Picture;    // DownloadToFile
};

TEST(HttpGet, EachDownloadHasItsOwnRuleForFaultyAnswers) {
  TFaultResponse cut = TFaultResponse::Ok(Pattern(5000));
  cut.CutAfter = 2500;
  const QByteArray page = "<html><body>404 Not Found</body></html>";
  const TFaultCase cases[] = {
      {"no length", TFaultResponse::Ok("[common]\r\n", false), TExpect::Throws, TExpect::Fails,
       TExpect::Throws},
      {"non-numeric length", TFaultResponse::Raw("HTTP/1.1 200 OK", "abc", "[common]"),
       TExpect::Throws, TExpect::Throws, TExpect::Throws},
      {"length with letters", TFaultResponse::Raw("HTTP/1.1 200 OK", "8x", "[common]"),
       TExpect::Throws, TExpect::Throws, TExpect::Throws},
      {"cut off mid-way", cut, TExpect::Fails, TExpect::Fails, TExpect::Fails},
      {"empty body", TFaultResponse::Ok(""), TExpect::Ok, TExpect::Fails, TExpect::Ok},
      {"error page with a length",
       TFaultResponse::Raw("HTTP/1.1 404 Not Found", QByteArray::number(page.size()), page),
       TExpect::Ok, TExpect::Ok, TExpect::Ok},
  };
  for (const TFaultCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFaultServer server;
    server.Serve("/x", c.Response);
    const QString url = server.Url("/x");
    const QByteArray expectedBody = c.Response.CutAfter >= 0 ? QByteArray() : c.Response.Body;

    if (c.Settings == TExpect::Throws) {
      EXPECT_THROW(FetchUrlText(url), std::runtime_error);
    } else {
      const TFetchResult r = FetchUrlText(url);
      EXPECT_EQ(r.Success, c.Settings == TExpect::Ok);
      EXPECT_EQ(r.Text, QString::fromLatin1(expectedBody));
    }

    QTemporaryDir dir;
    const QString setup = dir.filePath("setup.exe");
    TScriptedWait wait;
    if (c.Installer == TExpect::Throws) {
      EXPECT_THROW(DownloadFileWithProgress(wait, "c", "t", url, setup), std::runtime_error);
    } else {
      EXPECT_EQ(DownloadFileWithProgress(wait, "c", "t", url, setup), c.Installer == TExpect::Ok);
    }
    EXPECT_EQ(wait.Closes(), 1);
    if (c.Installer == TExpect::Ok)
      EXPECT_EQ(ReadFile(setup), expectedBody);
    else
      EXPECT_EQ(FolderEntries(dir.path()), QStringList());

    QTemporaryDir cache;
    const QString picture = cache.filePath("x.png");
    std::atomic<bool> stop{false};
    if (c.Picture == TExpect::Throws) {
      EXPECT_THROW(DownloadToFile(url, picture, stop), std::runtime_error);
    } else {
      EXPECT_EQ(DownloadToFile(url, picture, stop), c.Picture == TExpect::Ok);
    }
    if (c.Picture == TExpect::Ok)
      EXPECT_EQ(ReadFile(picture), expectedBody);
    else
      EXPECT_EQ(FolderEntries(cache.path()), QStringList());
  }
}

TEST(HttpGet, AnAddressThatCannotBeOpenedFailsQuietly) {
  const QString url = QStringLiteral("http://127.0.0.1:%1/files/info.txt").arg(FreePort());
  TBlockRecorder rec;
  EXPECT_EQ(HttpGet(kProgramAgent, url, 1024, rec), THttpOutcome::NotOpened);
  EXPECT_EQ(HttpGet(kProgramAgent, "no such scheme://x", 1024, rec), THttpOutcome::NotOpened);
  const TFetchResult r = FetchUrlText(url);
  EXPECT_FALSE(r.Success);
  EXPECT_TRUE(r.Text.isEmpty());
}

TEST(HttpGet, AStopFlagEndsAStalledDownloadAndLeavesNoFile) {
  TFaultServer server;
  TFaultResponse stall = TFaultResponse::Ok(Pattern(10000));
  stall.CutAfter = 1500;
  stall.StallAfterMs = 30000;
  server.Serve("/slow.png", stall);
  server.Serve("/slow.txt", stall);
  QTemporaryDir cache;
  std::atomic<bool> stop{false};
  std::thread raise([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.store(true);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(DownloadToFile(server.Url("/slow.png"), cache.filePath("slow.png"), stop));
  EXPECT_FALSE(FetchUrlText(server.Url("/slow.txt"), &stop).Success);
  raise.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(FolderEntries(cache.path()), QStringList());
}
