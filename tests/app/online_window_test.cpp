// The online parts of the main window against real servers on 127.0.0.1: the vendor site as
// nginx serves it (server/start), and a small server of the tests' own for answers that nginx
// cannot be made to give (held back, or stalled mid-way). The window fetches its settings at
// start-up, offers or installs an update, shows the advertising column, pings the statistics
// page and opens addresses through a URL handler that records them.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "AppTestSupport.h"
#include "OnlineUi.h"
#include "Site.h"
#include "TestServers.h"

namespace {

using apptest::AppTest;
using apptest::ReadAll;
using apptest::WriteAll;
using Answer = IUserPrompts::Answer;

constexpr int kWaitMs = 15000;

// Stands in for the user's browser and mail program.
class TUrlRecorder : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> Urls;
  std::function<void(const QUrl&)> OnOpen;

 public slots:
  void Open(const QUrl& url) {
    Urls.push_back(url);
    if (OnOpen) OnOpen(url);
  }
};

void WritePng(const QString& path, int width, int height, QColor colour) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  ASSERT_TRUE(image.save(path, "PNG"));
}

// The site of most tests: version 1.0.0.2 announced, advertising on, slot 1 with a PNG and a
// JPEG, slot 2 without its small picture, slot 3 with an empty margin text, slot 7 complete.
QByteArray AdvertisingSite(const QString& files, const QString& host, const QByteArray& common) {
  const QString ads = files + QStringLiteral("/ads/");
  WritePng(ads + "big1.png", 500, 300, Qt::red);
  apptest::WriteJpeg(ads + "small1.jpg", 180, 100, 1);
  WritePng(ads + "big3.png", 500, 300, Qt::green);
  WritePng(ads + "small3.png", 180, 100, Qt::blue);
  WritePng(ads + "big7.png", 500, 300, Qt::yellow);
  WritePng(ads + "small7.png", 180, 100, Qt::cyan);
  const QByteArray base = "http://" + host.toUtf8() + "/files/ads/";
  QByteArray info = "; test site\r\n[common]\r\n" + common +
                    "ShowAds=1\r\n"
                    "[link1]\r\nurl1=" +
                    base + "big1.png\r\nurl2=" + base +
                    "small1.jpg\r\n"
                    "www=http://advertiser.test/one\r\ntxt=Ad one\r\n"
                    "[link2]\r\nurl1=" +
                    base +
                    "big3.png\r\nwww=http://advertiser.test/two\r\n"
                    "txt=never\r\n"
                    "[link3]\r\nurl1=" +
                    base + "big3.png\r\nurl2=" + base +
                    "small3.png\r\n"
                    "www=http://advertiser.test/three\r\ntxt=\r\n"
                    "[link7]\r\nurl1=" +
                    base + "big7.png\r\nurl2=" + base +
                    "small7.png\r\n"
                    "www=http://advertiser.test/seven\r\ntxt=Ad seven\r\n";
  WriteAll(files + QStringLiteral("/info.txt"), info);
  return info;
}

QStringList MarginTexts(const TFormMain& form) {
  QStringList texts;
  for (int32_t i = 0; i < form.SheetTexts.SheetTextCount(); ++i) texts << form.SheetTexts.Text(i);
  return texts;
}

class OnlineWindow : public AppTest {
 protected:
  void SetUp() override {
    // Nothing leaves the machine: without a site of its own a test talks to a closed port.
    UseSite(QStringLiteral("127.0.0.1:%1").arg(FreePort()));
    for (const char* scheme : {"http", "mailto"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &Browser, "Open");
  }
  void TearDown() override {
    AppTest::TearDown();
    for (const char* scheme : {"http", "mailto"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    qunsetenv("TAVROLIN_SITE");
  }
  void UseSite(const QString& host) { qputenv("TAVROLIN_SITE", host.toUtf8()); }

  TOnlineUi& Online() { return *Form->Online; }
  // Shows the window and waits until the advertising slots are all done.
  void ShowAndLoadAds() {
    ShowForm();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Online().AdsEnabled && !Online().AdsTimer->isActive(); }, kWaitMs));
  }
  // The files of the data folder, hidden ones included.
  QStringList DataFiles() const {
    return QDir(Form->AppDataFolder)
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  }

  TUrlRecorder Browser;
};

TEST_F(OnlineWindow, AboutTabHoldsItsControlsTextsAndPositions) {
  ShowForm();
  TOnlineUi& o = Online();
  const QString site = tavrolin::SiteAddress();
  struct TControl {
    QWidget* Control;
    QPoint Pos;
    QString Text;
    QString Hint;
  };
  const TControl controls[] = {
      {o.Image5, {101, 97}, {}, site},
      {o.sLabelFX1, {108, 305}, "Tavrolin", site},
      {o.sLabelFX2, {67, 353}, "free tool for coping books, documents and notes", site},
      {o.sLabel2, {93, 521}, "You liked the program? Tell your friends about it!", {}},
      {o.sButtonBecomeAfan, {153, 544}, "Become a fan", {}},
      {o.sLabel9, {72, 609}, "If you have any questions please send your request to:", {}},
      {o.sLabel10, {129, 625}, SupportMailAddress(), {}},
  };
  for (const TControl& c : controls) {
    SCOPED_TRACE(c.Text.toStdString());
    EXPECT_EQ(c.Control->parentWidget(), Form->TabAbout);
    EXPECT_EQ(c.Control->pos(), c.Pos);
    EXPECT_TRUE(c.Control->isVisible());
    EXPECT_EQ(c.Control->toolTip(), c.Hint);
    if (auto* label = qobject_cast<QLabel*>(c.Control); label && !c.Text.isEmpty()) {
      EXPECT_EQ(label->text(), c.Text);
    }
    // Every label fits its text: nothing is cut off at the tab's edge.
    EXPECT_LE(c.Control->geometry().right(), Form->TabAbout->width());
  }
  EXPECT_EQ(o.Image5->size(), QSize(224, 224));
  EXPECT_EQ(o.sButtonBecomeAfan->size(), QSize(152, 33));
  EXPECT_TRUE(o.sButtonBecomeAfan->font().bold());
  EXPECT_TRUE(o.sLabel10->font().bold());
  EXPECT_EQ(o.sLabelFX1->font().pixelSize(), 40);
  EXPECT_EQ(o.sLabelFX1->palette().color(QPalette::WindowText), QColor(36, 44, 53));
  EXPECT_EQ(o.sPanel1->geometry(), QRect(8, 512, 409, 5));
  EXPECT_EQ(o.sPanel4->geometry(), QRect(8, 584, 409, 5));

  EXPECT_EQ(o.sPanelUpdate->geometry(), QRect(8, 440, 409, 65));
  EXPECT_EQ(o.sPanelUpdate->palette().color(QPalette::Window), QColor(255, 200, 145));
  EXPECT_EQ(o.ImageUpdate->geometry(), QRect(44, 9, 48, 48));
  EXPECT_EQ(o.sLabel8->pos(), QPoint(115, 8));
  EXPECT_EQ(o.sLabel8->text(), "New version is available!");
  EXPECT_EQ(o.sButton1->geometry(), QRect(138, 28, 161, 29));
  EXPECT_EQ(o.sButton1->text(), "Install update right now");
  for (QWidget* hidden : {static_cast<QWidget*>(o.sPanelUpdate), static_cast<QWidget*>(o.sPanel14),
                          static_cast<QWidget*>(o.sPanel13), static_cast<QWidget*>(o.sPanel12),
                          static_cast<QWidget*>(o.sButtonFollowUs)})
    EXPECT_TRUE(hidden->isHidden());
  EXPECT_EQ(o.sLabel7->text(), PartnershipMailAddress());

  // The column is hidden at show, with the right-hand tabs beside the left ones.
  for (QLabel* panel : o.ads) EXPECT_TRUE(panel->isHidden());
  EXPECT_EQ(Form->RightTabs->x(), 437);
  EXPECT_EQ(Form->width(), 872);
  EXPECT_TRUE(o.sPanel17->isHidden());
}

TEST_F(OnlineWindow, AboutTabOpensTheSiteMailAndFanPage) {
  TNginxSite site([](const QString& files, const QString&) {
    WriteAll(files + QStringLiteral("/info.txt"), "[common]\r\n");
  });
  ASSERT_TRUE(site.Running());
  UseSite(site.Host());
  ShowForm();
  TOnlineUi& o = Online();

  // The site opens first and the ping follows: at the moment of opening it is not sent yet.
  bool pingedBeforeOpen = true;
  Browser.OnOpen = [&](const QUrl&) { pingedBeforeOpen = site.StatLog().contains("from%program"); };
  QTest::mousePress(o.sLabelFX1, Qt::RightButton);
  ASSERT_EQ(Browser.Urls.size(), 1u);
  EXPECT_EQ(Browser.Urls[0], QUrl("http://" + site.Host()));
  EXPECT_FALSE(pingedBeforeOpen);
  EXPECT_TRUE(QTest::qWaitFor([&] { return site.StatLog().contains("from%program"); }, kWaitMs));
  Browser.OnOpen = nullptr;

  QTest::mousePress(o.sLabel10, Qt::LeftButton);
  ASSERT_EQ(Browser.Urls.size(), 2u);
  EXPECT_EQ(Browser.Urls[1], QUrl("mailto:support@127.0.0.1?Subject=Request"));

  QTest::mouseClick(o.sButtonBecomeAfan, Qt::LeftButton);
  ASSERT_EQ(Browser.Urls.size(), 3u);
  EXPECT_EQ(Browser.Urls[2], QUrl("http://" + site.Host() + "/fans"));

  // Two pings in all: the start-up one and the site's. "Become a fan" sends none.
  ASSERT_TRUE(o.Stats.WaitIdle(kWaitMs));
  EXPECT_EQ(site.StatLog().count('\n'), 2);
}

TEST_F(OnlineWindow, StartupPingTellsTheFirstRunOfAVersionFromTheNext) {
  TNginxSite site([](const QString& files, const QString&) {
    WriteAll(files + QStringLiteral("/info.txt"), "[common]\r\n");
  });
  ASSERT_TRUE(site.Running());
  UseSite(site.Host());
  for (int run = 0; run < 2; ++run) {
    ShowForm();
    ASSERT_TRUE(Online().Stats.WaitIdle(kWaitMs));
    Form.reset();
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return site.StatLog().count('\n') == 2; }, kWaitMs));
  const QString log = site.AccessLog();
  const qsizetype first = log.indexOf("\"GET /stat.php?msg=Installation%201.0.0.1 HTTP/1.1\" 204");
  const qsizetype next = log.indexOf("\"GET /stat.php?msg=Version%201.0.0.1 HTTP/1.1\" 204");
  EXPECT_GE(first, 0) << log.toStdString();
  EXPECT_GT(next, first) << log.toStdString();
}

TEST_F(OnlineWindow, StartupFetchOffersTheUpdateThenAnOfflineStartShowsTheCachedAdvertising) {
  QByteArray info;
  auto site = std::make_unique<TNginxSite>([&](const QString& files, const QString& host) {
    info = AdvertisingSite(files, host,
                           "version=1.0.0.2\r\nupdateUrl=http://" + host.toUtf8() +
                               "/files/setup/Tavrolin_Setup.exe\r\n");
  });
  ASSERT_TRUE(site->Running());
  UseSite(site->Host());
  const QString cacheName =
      QStringLiteral("127.0.0.1-%1-files-ads-small1.jpg").arg(site->Host().section(':', 1));

  for (const bool online : {true, false}) {
    SCOPED_TRACE(online ? "online" : "offline");
    ShowAndLoadAds();
    TOnlineUi& o = Online();
    EXPECT_EQ(Online().InfoFetched, online);
    EXPECT_EQ(Online().RemoteVersion, "1.0.0.2");
    // The copy is offered only from a text fetched in this run.
    EXPECT_EQ(o.sPanelUpdate->isHidden(), !online);
    if (online) {
      EXPECT_EQ(o.sLabel8->text(), "New version is available (1.0.0.2)!");
      const bool shown = !o.ImageUpdate->isHidden();
      EXPECT_TRUE(QTest::qWaitFor([&] { return o.ImageUpdate->isHidden() == shown; }, 2000));
      EXPECT_EQ(ReadAll(Online().InfoCacheFile), info);
      EXPECT_TRUE(DataFiles().contains(cacheName)) << DataFiles().join(' ').toStdString();
    }

    // Column shown, right-hand tabs moved over, window widened.
    EXPECT_EQ(Form->RightTabs->x(), 619);
    EXPECT_EQ(Form->width(), 1054);
    for (int i = 0; i < kAdsSlotCount; ++i) {
      SCOPED_TRACE(i);
      QLabel* panel = o.ads[size_t(i)];
      EXPECT_TRUE(panel->isVisible());
      EXPECT_EQ(panel->geometry(), QRect(435, 100 * i, 180, 100));
      EXPECT_EQ(panel->text(), "180 x 100");
      const bool loaded = i == 0 || i == 2 || i == 6;
      ASSERT_EQ(o.AdsImages[size_t(i)] != nullptr, loaded);
      if (loaded) {
        EXPECT_EQ(o.AdsImages[size_t(i)]->pixmap().size(), QSize(180, 100));
      }
    }
    EXPECT_EQ(MarginTexts(*Form), QStringList({tavrolin::SiteAddress(), "Ad one", "", "Ad seven"}));
    Form.reset();
    site.reset();  // the next start has no network
  }
}

TEST_F(OnlineWindow, AdvertisingPanelsPopUpTheLargePictureAndPingBeforeOpening) {
  TNginxSite site(
      [](const QString& files, const QString& host) { AdvertisingSite(files, host, ""); });
  ASSERT_TRUE(site.Running());
  UseSite(site.Host());
  ShowAndLoadAds();
  TOnlineUi& o = Online();

  const auto enter = [](QWidget* w) {
    QEnterEvent event(QPointF(5, 5), w->mapTo(w->window(), QPointF(5, 5)),
                      w->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(w, &event);
  };
  const auto leave = [](QWidget* w) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(w, &event);
  };

  // ads0: centred on the panel, the top held at 0.
  enter(o.ads[0]);
  EXPECT_TRUE(o.sPanel17->isVisible());
  EXPECT_EQ(o.sPanel17->geometry(), QRect(435 + 90 - 255, 0, 510, 310));
  EXPECT_EQ(o.ImageBig->pixmap().size(), QSize(500, 300));
  EXPECT_EQ(o.ImageBig->pixmap().toImage().pixelColor(10, 10), QColor(Qt::red));
  EXPECT_TRUE(o.sPanel17->testAttribute(Qt::WA_TransparentForMouseEvents));
  leave(o.ads[0]);
  EXPECT_TRUE(o.sPanel17->isHidden());

  // ads6, the bottom panel: the top is held within the window.
  enter(o.ads[6]);
  EXPECT_TRUE(o.sPanel17->isVisible());
  EXPECT_EQ(o.sPanel17->y(), Form->height() - 310);
  EXPECT_EQ(o.sPanel17->geometry().bottom() + 1, Form->height());
  leave(o.ads[6]);

  // ads1 never loaded: its hint comes on at the first visit, nothing pops up, a click opens
  // nothing.
  EXPECT_TRUE(o.ads[1]->toolTip().isEmpty());
  enter(o.ads[1]);
  EXPECT_EQ(o.ads[1]->toolTip(), QString::fromUtf8("Здесь может быть Ваша реклама"));
  EXPECT_TRUE(o.sPanel17->isHidden());
  QTest::mousePress(o.ads[1], Qt::LeftButton);
  EXPECT_TRUE(Browser.Urls.empty());

  // A click on a loaded panel (through its picture) pings first, then opens the address: the
  // ping is in the site's log while the browser is being asked.
  ASSERT_TRUE(o.Stats.WaitIdle(kWaitMs));
  const QString ping = "Advertisement%20(http://advertiser.test/seven)";
  bool pingedBeforeOpen = false;
  Browser.OnOpen = [&](const QUrl&) {
    pingedBeforeOpen = QTest::qWaitFor([&] { return site.StatLog().contains(ping); }, kWaitMs);
  };
  QTest::mousePress(o.AdsImages[6], Qt::LeftButton);
  ASSERT_EQ(Browser.Urls.size(), 1u);
  EXPECT_EQ(Browser.Urls[0], QUrl("http://advertiser.test/seven"));
  EXPECT_TRUE(pingedBeforeOpen);
  EXPECT_TRUE(site.AccessLog().contains("\"GET /stat.php?msg=" + ping + " HTTP/1.1\" 204"));
}

// The installer of these tests records what it was started with.
QByteArray RecordingInstaller(const QString& record) {
  return "#!/bin/sh\n{ for a in \"$@\"; do echo \"arg:$a\"; done; echo \"cwd:$(pwd)\"; } > '" +
         record.toUtf8() + ".part' && mv '" + record.toUtf8() + ".part' '" + record.toUtf8() +
         "'\n";
}

TEST_F(OnlineWindow, CriticalUpdateInstallsAndClosesTheWindowThroughItsSavePrompt) {
  const QString record = Env.Path(QStringLiteral("installer-ran.txt"));
  TNginxSite site([&](const QString& files, const QString& host) {
    WriteAll(files + QStringLiteral("/setup/record-args.sh"), RecordingInstaller(record));
    WriteAll(files + QStringLiteral("/info.txt"),
             "[common]\r\nversion=9.0.0.0\r\nupdateCritical=0x1\r\nShowAds=1\r\n"
             "updateUrl=http://" +
                 host.toUtf8() + "/files/setup/record-args.sh\r\n");
  });
  ASSERT_TRUE(site.Running());
  UseSite(site.Host());

  // With photos in the list the close asks first: "No" closes, "Cancel" keeps the window
  // (the installer runs all the same).
  for (const Answer answer : {Answer::No, Answer::Cancel}) {
    const bool closes = answer == Answer::No;
    SCOPED_TRACE(closes ? "No" : "Cancel");
    QFile::remove(record);
    Wait.Calls.clear();
    FormWithRows({QStringLiteral("a"), QStringLiteral("b")});
    Prompts.Answers.push_back(answer);
    ShowForm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(record); }, kWaitMs));
    const QString dataFolder = QDir(Form->AppDataFolder).absolutePath();
    EXPECT_EQ(QString::fromUtf8(ReadAll(record)), "arg:/silent\ncwd:" + dataFolder + "\n");
    EXPECT_TRUE(QFileInfo(dataFolder + "/record-args.sh").isExecutable());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form->isVisible() != closes; }, kWaitMs));
    EXPECT_EQ(Form->PhotoCount(), closes ? 0 : 2);
    EXPECT_EQ(Prompts.Messages.back().Text, "Project is changed. Do you want to save changes?");
    EXPECT_TRUE(Prompts.Answers.empty());

    // Under the wait dialog, with the window disabled meanwhile.
    ASSERT_GE(Wait.Count("ShowWait"), 1);
    const auto download = std::find_if(Wait.Calls.begin(), Wait.Calls.end(), [](const auto& c) {
      return c.What == "ShowWait" && c.Text.startsWith("Downloading");
    });
    ASSERT_NE(download, Wait.Calls.end());
    EXPECT_EQ(download->Caption, "Please wait...");
    EXPECT_EQ(download->Text, "Downloading Tavrolin 9.0.0.0...");
    for (auto c = download + 1; c != Wait.Calls.end() && c->What == "SetProgress"; ++c)
      EXPECT_FALSE(c->WatchedEnabled);
    EXPECT_EQ(Wait.Progress().back(), 100);
    EXPECT_TRUE(Form->isEnabled());
    // A window that closed for the installer starts no advertising.
    EXPECT_EQ(Online().ads[0]->isVisible(), !closes);
    Form.reset();
  }
}

TEST_F(OnlineWindow, TheInstallButtonTriesAgainAfterAFailedDownload) {
  const QString record = Env.Path(QStringLiteral("installer-ran.txt"));
  TNginxSite site([&](const QString& files, const QString& host) {
    WriteAll(files + QStringLiteral("/info.txt"),
             "[common]\r\nversion=1.0.0.2\r\nupdateUrl=http://" + host.toUtf8() +
                 "/files/setup/setup_v2.sh\r\n");
  });
  ASSERT_TRUE(site.Running());
  UseSite(site.Host());
  ShowForm();
  TOnlineUi& o = Online();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !o.sPanelUpdate->isHidden(); }, kWaitMs));

  // Not on the site yet: nothing is downloaded or reported, the window and the panel stay.
  QTest::mouseClick(o.sButton1, Qt::LeftButton);
  EXPECT_TRUE(Prompts.Errors().isEmpty());
  EXPECT_TRUE(Form->isVisible());
  EXPECT_TRUE(Form->isEnabled());
  EXPECT_FALSE(o.sPanelUpdate->isHidden());
  EXPECT_FALSE(QFileInfo::exists(Form->AppDataFolder + "setup_v2.sh"));

  WriteAll(site.Files() + QStringLiteral("/setup/setup_v2.sh"), RecordingInstaller(record));
  QTest::mouseClick(o.sButton1, Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(record); }, kWaitMs));
  EXPECT_TRUE(QFileInfo::exists(Form->AppDataFolder + "setup_v2.sh"));
  EXPECT_FALSE(Form->isVisible());
}

TEST_F(OnlineWindow, SettingsArrivingDuringALongLoopWaitForItsEnd) {
  TFaultServer server;
  TFaultResponse settings =
      TFaultResponse::Ok("[common]\r\nversion=1.0.0.2\r\nupdateUrl=http://x.test/setup.exe\r\n");
  settings.Held = true;
  server.Serve("/files/info.txt", settings);
  UseSite(server.Host());
  ShowForm();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return server.CountRequestsStartingWith("/files/info.txt") == 1; }, kWaitMs));

  bool handedOverDuringLoop = false;
  bool panelDuringLoop = true;
  Wait.OnProgress = [&](int) {
    if (handedOverDuringLoop) return;
    server.Release();
    handedOverDuringLoop =
        QTest::qWaitFor([&] { return Online().UpdateThread->Finished(); }, kWaitMs);
    panelDuringLoop = !Online().sPanelUpdate->isHidden();
  };
  Form->AddFileList({MakePhoto(QStringLiteral("a.jpg")), MakePhoto(QStringLiteral("b.jpg"))});
  Wait.OnProgress = nullptr;
  EXPECT_TRUE(handedOverDuringLoop);
  EXPECT_FALSE(panelDuringLoop);
  EXPECT_EQ(Form->PhotoCount(), 2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Online().sPanelUpdate->isHidden(); }, kWaitMs));
  EXPECT_EQ(Online().sLabel8->text(), "New version is available (1.0.0.2)!");
}

TEST_F(OnlineWindow, ClosingWhileDownloadsAreUnderWayStopsThemAndLeavesNoPartialFile) {
  // Two moments: the settings text itself stalls, or the seven slots' pictures do.
  for (const bool settingsStall : {true, false}) {
    SCOPED_TRACE(settingsStall ? "settings" : "pictures");
    TFaultServer server;
    const QByteArray base = "http://" + server.Host().toUtf8() + "/slow/";
    QByteArray info = "[common]\r\nShowAds=1\r\n";
    for (int i = 1; i <= kAdsSlotCount; ++i) {
      const QByteArray n = QByteArray::number(i);
      info += "[link" + n + "]\r\nurl1=" + base + "big" + n + ".png\r\nurl2=" + base + "small" + n +
              ".png\r\ntxt=t\r\n";
      server.Serve("/slow/big" + n + ".png", TFaultResponse::Stalling("\x89PNG"));
    }
    server.Serve("/files/info.txt",
                 settingsStall ? TFaultResponse::Stalling(info) : TFaultResponse::Ok(info));
    UseSite(server.Host());
    ShowForm();
    const QByteArray awaited = settingsStall ? "/files/info.txt" : "/slow/";
    const int count = settingsStall ? 1 : kAdsSlotCount;
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.CountRequestsStartingWith(awaited) == count; },
                                kWaitMs));

    EXPECT_TRUE(Form->close());
    const QString dataFolder = Form->AppDataFolder;
    Form.reset();  // returns only once every thread has ended
    const QStringList left =
        QDir(dataFolder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(left, settingsStall ? QStringList() : QStringList({"Tavrolin.ini"}));
    EXPECT_EQ(server.CountRequestsStartingWith("/slow/small"), 0);
  }
}

}  // namespace

#include "online_window_test.moc"
