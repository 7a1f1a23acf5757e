#include "RemoteSettings.h"

#include <stdexcept>

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRegularExpression>
#include <QSaveFile>

#include "Http.h"
#include "Site.h"
#include "VirtualIniFile.h"

TRemoteSettings ReadRemoteSettings(const TVirtualIniFile& ini) {
  const QString common = QStringLiteral("common");
  TRemoteSettings s;
  s.RemoteVersion = ini.ReadString(common, QStringLiteral("version"), QString());
  s.UpdateUrl = ini.ReadString(common, QStringLiteral("updateUrl"), QString());
  s.UpdateCritical = ini.ReadInteger(common, QStringLiteral("updateCritical"), 0) != 0;
  s.AdsEnabled = ini.ReadInteger(common, QStringLiteral("ShowAds"), 0) != 0;
  return s;
}

QString InfoUrl() { return tavrolin::SiteAddress() + QStringLiteral("/files/info.txt"); }

QString InfoCacheFileName(const QString& appDataFolder) {
  QString folder = appDataFolder;
  if (!folder.isEmpty() && !folder.endsWith(u'/')) folder += u'/';
  return folder + QStringLiteral("Tavrolin.ini");
}

void WriteInfoCache(const QString& file, const QString& text) {
  static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
  QStringList lines = text.split(lineEnd);
  // A text that ends with a line break has no further line after it.
  if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
  QByteArray bytes;
  for (const QString& line : lines) bytes += TextToBytes(line) + "\r\n";

  QSaveFile out(file);
  const auto fail = [&](const QString& why) {
    return std::runtime_error(
        QStringLiteral("Cannot write %1: %2").arg(QFileInfo(file).fileName(), why).toStdString());
  };
  if (!out.open(QIODevice::WriteOnly)) throw fail(out.errorString());
  if (out.write(bytes) != bytes.size()) {
    const QString why = out.errorString();
    out.cancelWriting();
    throw fail(why);
  }
  // A commit whose last flush failed (a full disk) would still replace the last good copy with
  // a short one: flush and check first.
  if (!out.flush()) {
    const QString why = out.errorString();
    out.cancelWriting();
    throw fail(why);
  }
  if (!out.commit()) throw fail(out.errorString());
}

QString ReadInfoCache(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return QString();
  const QByteArray bytes = in.readAll();
  if (in.error() != QFileDevice::NoError) return QString();
  return BytesToText(bytes);
}

TInfoResult FetchRemoteSettings(const QString& url, const QString& cacheFile,
                                const std::atomic<bool>* stop) {
  TInfoResult r;
  try {
    r.InfoText = FetchUrlText(url, stop).Text;
  } catch (const std::exception&) {
    r.InfoText.clear();
  }
  if (!r.InfoText.isEmpty()) {
    r.InfoFetched = true;
    WriteInfoCache(cacheFile, r.InfoText);
  } else if (QFileInfo::exists(cacheFile)) {
    r.InfoText = ReadInfoCache(cacheFile);
  }
  return r;
}

TUpdateThread::TUpdateThread(QObject* uiObject, QString url, QString cacheFile,
                             THandler onVersionInfo)
    : Shared(std::make_shared<TShared>()) {
  Shared->UiObject = uiObject;
  Shared->OnVersionInfo = std::move(onVersionInfo);
  Worker = std::thread(&TUpdateThread::Run, Shared, std::move(url), std::move(cacheFile));
}

TUpdateThread::~TUpdateThread() { Stop(); }

void TUpdateThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(Shared->Lock);
    Shared->StopRequested.store(true);
  }
  Shared->Wake.notify_all();
  if (Worker.joinable()) Worker.join();
}

bool TUpdateThread::Finished() const { return Shared->Finished.load(); }

void TUpdateThread::Run(std::shared_ptr<TShared> shared, QString url, QString cacheFile) {
  struct TMarkFinished {
    TShared& S;
    ~TMarkFinished() { S.Finished.store(true); }
  } markFinished{*shared};

  TInfoResult result;
  try {
    result = FetchRemoteSettings(url, cacheFile, &shared->StopRequested);
  } catch (const std::exception&) {
    return;  // the local copy could not be written: this run applies nothing
  }
  if (shared->StopRequested.load()) return;

  // The hand-over runs on the user-interface thread. It looks at the stop flag there, so a
  // window that has begun to close gets nothing; and the waiting below ends on a stop too,
  // so Stop() never waits for an event loop that is itself waiting in Stop().
  QMetaObject::invokeMethod(
      shared->UiObject,
      [shared, result] {
        if (!shared->StopRequested.load()) shared->OnVersionInfo(result);
        {
          std::lock_guard<std::mutex> lock(shared->Lock);
          shared->HandlerDone = true;
        }
        shared->Wake.notify_all();
      },
      Qt::QueuedConnection);

  std::unique_lock<std::mutex> lock(shared->Lock);
  shared->Wake.wait(lock,
                    [&] { return shared->HandlerDone.load() || shared->StopRequested.load(); });
}
