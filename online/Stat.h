#pragma once
// Usage pings to the statistics page of the vendor's web site, and the addresses the "About" tab
// opens. A ping is a plain GET of "http://" + host + "/stat.php?msg=" + message on a short-lived
// thread of its own; nothing of the answer is read, and a lost ping leaves no trace.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <QString>

// The statistics address of a message, appended unchanged (it is already escaped as sent).
QString StatAddress(const QString& message);

// The start-up ping: "Installation%20" + version on the first run of this version for this user,
// "Version%20" + version on every other start.
QString StartupPingMessage(bool firstRunOfVersion, const QString& exeVersion);
// MouseDownGotoSite: the site's logo, title or subtitle on the "About" tab was clicked.
inline const QString kSitePingMessage = QStringLiteral("from%program");
// sLabel13MouseDown: the partnership text was clicked.
inline const QString kPartnersPingMessage = QStringLiteral("Partners(from%20from%20program)");
// AdvPanelMouseDown: "Advertisement%20(" + the slot's Www + ")".
QString AdvertisementPingMessage(const QString& www);

// Addresses opened through the desktop (QDesktopServices::openUrl by the window).
QString SiteRootAddress();         // "http://" + host
QString PartnersAddress();         // "http://" + host + "/partners"
QString FanPageAddress();          // "http://" + host + "/fans"
QString SupportMailAddress();      // "support@" + the host's name
QString PartnershipMailAddress();  // "partners@" + the host's name
// emailClick: "mailto:" + address + "?Subject=Request".
QString MailToAddress(const QString& address);

// Sends pings, each on its own thread. The threads are joined when the sender is destroyed; a
// ping still under way then is given up at once rather than holding up the program's exit.
class TStatSender {
 public:
  TStatSender() = default;
  ~TStatSender();
  TStatSender(const TStatSender&) = delete;
  TStatSender& operator=(const TStatSender&) = delete;

  // Returns at once; the GET runs in the background.
  void SendStat(const QString& message);
  // Waits until every ping sent so far has been answered or has failed (for an orderly exit and
  // for tests); returns false when `timeoutMs` passed first.
  bool WaitIdle(int timeoutMs);

 private:
  struct TPing {
    std::thread Worker;
    std::atomic<bool> Done{false};
  };
  void Reap(bool all);
  std::atomic<bool> Stop{false};
  std::vector<std::unique_ptr<TPing>> Pings;  // touched only by the thread that owns the sender
};
