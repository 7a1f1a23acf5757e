#include "Stat.h"

#include <chrono>

#include "Http.h"
#include "Site.h"

QString StatAddress(const QString& message) {
  return tavrolin::SiteAddress() + QStringLiteral("/stat.php?msg=") + message;
}

QString StartupPingMessage(bool firstRunOfVersion, const QString& exeVersion) {
  return (firstRunOfVersion ? QStringLiteral("Installation%20") : QStringLiteral("Version%20")) +
         exeVersion;
}

QString AdvertisementPingMessage(const QString& www) {
  return QStringLiteral("Advertisement%20(") + www + u')';
}

namespace {

// The host without a port: the part of the mail addresses after the "@".
QString HostName() {
  const QString host = tavrolin::SiteHost();
  const qsizetype colon = host.lastIndexOf(u':');
  return colon < 0 ? host : host.left(colon);
}

class TIgnoreBody : public IHttpReceiver {
 public:
  explicit TIgnoreBody(const std::atomic<bool>& stop) : Stop(stop) {}
  void Opened(const QString&) override {}
  bool Received(const char*, qsizetype) override { return !Stop.load(); }
  bool KeepGoing() override { return !Stop.load(); }

 private:
  const std::atomic<bool>& Stop;
};

}  // namespace

QString SiteRootAddress() { return tavrolin::SiteAddress(); }
QString PartnersAddress() { return tavrolin::SiteAddress() + QStringLiteral("/partners"); }
QString FanPageAddress() { return tavrolin::SiteAddress() + QStringLiteral("/fans"); }
QString SupportMailAddress() { return QStringLiteral("support@") + HostName(); }
QString PartnershipMailAddress() { return QStringLiteral("partners@") + HostName(); }

QString MailToAddress(const QString& address) {
  return QStringLiteral("mailto:") + address + QStringLiteral("?Subject=Request");
}

TStatSender::~TStatSender() {
  Stop.store(true);
  Reap(true);
}

void TStatSender::SendStat(const QString& message) {
  Reap(false);
  auto ping = std::make_unique<TPing>();
  TPing* p = ping.get();
  const QString address = StatAddress(message);
  p->Worker = std::thread([this, p, address] {
    TIgnoreBody ignore(Stop);
    try {
      HttpGet(kProgramAgent, address, 1024, ignore);
    } catch (const std::exception&) {
      // A ping that fails is simply lost.
    }
    p->Done.store(true);
  });
  Pings.push_back(std::move(ping));
}

bool TStatSender::WaitIdle(int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    bool idle = true;
    for (const auto& p : Pings) idle = idle && p->Done.load();
    if (idle) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void TStatSender::Reap(bool all) {
  for (auto it = Pings.begin(); it != Pings.end();) {
    if (all || (*it)->Done.load()) {
      (*it)->Worker.join();
      it = Pings.erase(it);
    } else {
      ++it;
    }
  }
}
