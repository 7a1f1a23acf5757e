#include "Update.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include "Http.h"

namespace {

// Cuts the part before the first "." off `rest` (all of it when there is none) and converts it.
int32_t TakeVersionPart(QString& rest) {
  const qsizetype dot = rest.indexOf(u'.');
  const QString part = dot < 0 ? rest : rest.left(dot);
  rest = dot < 0 ? QString() : rest.mid(dot + 1);
  qsizetype i = (part.startsWith(u'+') || part.startsWith(u'-')) ? 1 : 0;
  if (i >= part.size()) return 0;
  for (; i < part.size(); ++i)
    if (part[i] < u'0' || part[i] > u'9') return 0;
  bool ok = false;
  const int32_t v = part.toInt(&ok);
  return ok ? v : 0;
}

}  // namespace

int CompareVersions(const QString& a, const QString& b) {
  QString restA = a, restB = b;
  for (int i = 0; i < 4; ++i) {
    const int32_t x = TakeVersionPart(restA), y = TakeVersionPart(restB);
    if (x != y) return x > y ? 1 : -1;
  }
  return 0;
}

TUpdateOffer DecideUpdate(const TRemoteSettings& settings, const QString& exeVersion,
                          bool infoFetched) {
  if (!infoFetched || settings.RemoteVersion.isEmpty() || settings.UpdateUrl.isEmpty() ||
      CompareVersions(settings.RemoteVersion, exeVersion) != 1)
    return TUpdateOffer::None;
  return settings.UpdateCritical ? TUpdateOffer::InstallNow : TUpdateOffer::ShowPanel;
}

QString DownloadingText(const QString& remoteVersion) {
  return QStringLiteral("Downloading Tavrolin") + u' ' + remoteVersion + QStringLiteral("...");
}

QString InstallerFileName(const QString& updateUrl) {
  const qsizetype slash = updateUrl.lastIndexOf(u'/');
  if (slash < 0) return kDefaultSetupName;
  const QString name = updateUrl.mid(slash + 1);
  if (name.isEmpty() || name == u"." || name == u"..") return kDefaultSetupName;
  return name;
}

namespace {

std::runtime_error WriteError(const QString& file, const QString& why) {
  return std::runtime_error(
      QStringLiteral("Cannot write %1: %2").arg(QFileInfo(file).fileName(), why).toStdString());
}

// Writes the body into a temporary file beside the target; only a complete download is renamed
// into place, so a cancelled or broken one never leaves a partial installer.
class TInstallerReceiver : public IHttpReceiver {
 public:
  TInstallerReceiver(IWaitProtocol& wait, const QString& file) : Wait(wait), File(file) {}

  void Opened(const QString& contentLength) override {
    Total = ParseContentLength(contentLength.isEmpty() ? QStringLiteral("0") : contentLength);
    if (Total == 0) return;
    Out = std::make_unique<QSaveFile>(File);
    if (!Out->open(QIODevice::WriteOnly)) throw WriteError(File, Out->errorString());
    Wait.SetProgress(0);
  }

  bool Received(const char* data, qsizetype size) override {
    if (!Out) return false;  // nothing announced: nothing is downloaded
    if (Out->write(data, size) != size) throw WriteError(File, Out->errorString());
    Got += size;
    ShowProgress();
    return Wait.Running();
  }

  // A stalled server must not freeze the window: the wait dialog keeps its events (and so its
  // Cancel button) going between blocks too.
  bool KeepGoing() override {
    const auto now = std::chrono::steady_clock::now();
    if (now - LastPump < std::chrono::milliseconds(50)) return Wait.Running();
    LastPump = now;
    if (Out)
      ShowProgress();
    else
      Wait.SetProgress(0);
    return Wait.Running();
  }

  // True when the whole body is in place under the target's name.
  bool Commit() {
    if (!Out) return false;
    // The last blocks may still be in Qt's buffer: a failed flush must not commit a short file.
    if (!Out->flush()) throw WriteError(File, Out->errorString());
    if (!Out->commit()) throw WriteError(File, Out->errorString());
    return true;
  }

 private:
  void ShowProgress() { Wait.SetProgress(int(std::min<int64_t>(Got * 100 / Total, 100))); }

  IWaitProtocol& Wait;
  QString File;
  std::unique_ptr<QSaveFile> Out;  // discarded (temporary file removed) unless committed
  int64_t Total = 0;
  int64_t Got = 0;
  std::chrono::steady_clock::time_point LastPump{};
};

}  // namespace

bool DownloadFileWithProgress(IWaitProtocol& wait, const QString& caption, const QString& text,
                              const QString& url, const QString& file) {
  TWaitScope scope(wait, caption, text, 0, 100);
  TInstallerReceiver receiver(wait, file);
  const THttpOutcome outcome = HttpGet(kProgramAgent, url, kInstallerBlockSize, receiver);
  if (outcome != THttpOutcome::Complete || !wait.Running()) return false;
  return receiver.Commit();
}

bool StartInstaller(const QString& file, const QString& folder) {
  QFile f(file);
  f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser |
                   QFileDevice::ExeGroup | QFileDevice::ExeOther);
  return QProcess::startDetached(QFileInfo(file).absoluteFilePath(), {QStringLiteral("/silent")},
                                 folder);
}

bool DownloadAndRunSetup(IWaitProtocol& wait, const TSetupDownload& setup,
                         const std::function<void(bool)>& enableWindow) {
  const QString target = QDir(setup.AppDataFolder).filePath(InstallerFileName(setup.UpdateUrl));
  bool ok = false;
  {
    struct TEnableAgain {
      const std::function<void(bool)>& Enable;
      ~TEnableAgain() { Enable(true); }
    } enableAgain{enableWindow};
    enableWindow(false);
    ok = DownloadFileWithProgress(wait, kDownloadCaption, DownloadingText(setup.RemoteVersion),
                                  setup.UpdateUrl, target);
  }
  if (ok) StartInstaller(target, setup.AppDataFolder);
  return ok;
}
