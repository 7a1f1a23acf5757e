#include "Ads.h"

#include <algorithm>
#include <stdexcept>

#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

#include "Http.h"
#include "VirtualIniFile.h"

namespace {

QString InFolder(const QString& folder, const QString& name) {
  if (folder.isEmpty() || folder.endsWith(u'/')) return folder + name;
  return folder + u'/' + name;
}

std::runtime_error WriteError(const QString& file, const QString& why) {
  return std::runtime_error(
      QStringLiteral("Cannot write %1: %2").arg(QFileInfo(file).fileName(), why).toStdString());
}

class TCacheReceiver : public IHttpReceiver {
 public:
  TCacheReceiver(const QString& file, const std::atomic<bool>& stop) : Out(file), Stop(stop) {}

  void Opened(const QString& contentLength) override {
    ParseContentLength(contentLength);  // the value itself is not used further
    if (!Out.open(QIODevice::WriteOnly)) throw WriteError(Out.fileName(), Out.errorString());
  }
  bool Received(const char* data, qsizetype size) override {
    if (Out.write(data, size) != size) throw WriteError(Out.fileName(), Out.errorString());
    return !Stop.load(std::memory_order_relaxed);
  }
  bool KeepGoing() override { return !Stop.load(std::memory_order_relaxed); }
  bool Commit() {
    // The last blocks may still be in Qt's buffer: a failed flush must not commit a short file.
    if (!Out.flush()) throw WriteError(Out.fileName(), Out.errorString());
    if (!Out.commit()) throw WriteError(Out.fileName(), Out.errorString());
    return true;
  }

 private:
  QSaveFile Out;  // the temporary file is removed unless committed
  const std::atomic<bool>& Stop;
};

}  // namespace

TDownloadThread::TDownloadThread(TLinkInfo& slot) : Worker(&TDownloadThread::Run, std::ref(slot)) {}

TDownloadThread::~TDownloadThread() { Join(); }

void TDownloadThread::Join() {
  if (Worker.joinable()) Worker.join();
}

void TDownloadThread::Run(TLinkInfo& slot) {
  bool ok = false;
  try {
    ok = QFileInfo::exists(slot.BigFile) ||
         DownloadToFile(slot.Url1, slot.BigFile, slot.StopRequested);
    if (ok)
      ok = QFileInfo::exists(slot.SmallFile) ||
           DownloadToFile(slot.Url2, slot.SmallFile, slot.StopRequested);
  } catch (const std::exception&) {
    ok = false;
  }
  if (ok) {
    QImage big = DecodeAdImage(slot.BigFile);
    QImage small = DecodeAdImage(slot.SmallFile);
    if (!big.isNull() && !small.isNull()) {
      slot.BigPicture = std::move(big);
      slot.SmallPicture = std::move(small);
    }
  }
  // Last of all: this store publishes the pictures to the user-interface thread.
  slot.Loading.store(false, std::memory_order_release);
}

TLinkInfo::TLinkInfo(QString folder) : Folder(std::move(folder)) {}

TLinkInfo::~TLinkInfo() {
  StopRequested.store(true);
  Downloader.reset();
}

TWebLinks::TWebLinks(int32_t count, const QString& folder) : ItemCount(count), CacheFolder(folder) {
  Items.reserve(size_t(std::max(count, 0)));
  for (int32_t i = 0; i < count; ++i) Items.push_back(std::make_unique<TLinkInfo>(folder));
}

TWebLinks::~TWebLinks() {
  // Every download is told first, so they all wind down together rather than one after another.
  RequestStop();
  Items.clear();
}

void TWebLinks::RequestStop() {
  for (auto& slot : Items) slot->StopRequested.store(true);
}

void LoadLinkInfo(TLinkInfo& slot, const TVirtualIniFile& ini, const QString& section) {
  // A slot is filled once per run; an earlier download of it must be over before its fields change.
  slot.StopRequested.store(true);
  slot.Downloader.reset();
  slot.Url1 = ini.ReadString(section, QStringLiteral("url1"), QString());
  slot.Url2 = ini.ReadString(section, QStringLiteral("url2"), QString());
  slot.Www = ini.ReadString(section, QStringLiteral("www"), QString());
  slot.Txt = ini.ReadString(section, QStringLiteral("txt"), QString());
  slot.BigFile = InFolder(slot.Folder, UrlToFileName(slot.Url1));
  slot.SmallFile = InFolder(slot.Folder, UrlToFileName(slot.Url2));
  slot.Loading.store(false);
  slot.StopRequested.store(false);
  slot.Shown = false;
  if (!slot.Url1.isEmpty() && !slot.Url2.isEmpty()) {
    slot.Loading.store(true);
    slot.Downloader = std::make_unique<TDownloadThread>(slot);
  }
}

void LoadLinks(TWebLinks& links, const TVirtualIniFile& ini) {
  for (int32_t i = 0; i < links.Count(); ++i)
    LoadLinkInfo(links[i], ini, QStringLiteral("link%1").arg(i + 1));
}

QString UrlToFileName(const QString& url) {
  QString name = url;
  const qsizetype at = name.indexOf(QStringLiteral("http://"));
  if (at >= 0) name.remove(at, 7);
  for (QChar& ch : name)
    if (ch == u'/' || ch == u':' || ch == u'?' || ch == u'\\') ch = u'-';
  // "http://" alone, "http://." or "http://.." would name the cache folder or its parent
  // instead of a file in it: such a name gets its dots flattened too (and an empty one a "-").
  if (name.isEmpty() || name == u"." || name == u"..")
    name.fill(u'-', std::max<qsizetype>(name.size(), 1));
  return name;
}

bool DownloadToFile(const QString& url, const QString& file, const std::atomic<bool>& stop) {
  if (stop.load()) return false;
  TCacheReceiver receiver(file, stop);
  if (HttpGet(kAdsAgent, url, kAdsBlockSize, receiver) != THttpOutcome::Complete) return false;
  return receiver.Commit();
}

QImage DecodeAdImage(const QString& file) {
  const QString ext = QFileInfo(file).suffix().toLower();
  QByteArray format;
  if (ext == u"bmp")
    format = "bmp";
  else if (ext == u"ico")
    format = "ico";
  else if (ext == u"jpg" || ext == u"jpeg")
    format = "jpeg";
  else if (ext == u"png")
    format = "png";
  else
    return QImage();  // .emf, .wmf and everything else: no decoder
  if (!QFileInfo(file).isFile()) return QImage();
  // The extension alone decides the decoder, as the cache names promise: a PNG under a .jpg
  // name does not decode.
  QImageReader reader(file, format);
  reader.setAutoDetectImageFormat(false);
  return reader.read();
}

bool IsReady(const TLinkInfo& slot) {
  return !slot.Loading.load(std::memory_order_acquire) && !slot.BigPicture.isNull() &&
         !slot.SmallPicture.isNull();
}

TAdsTick AdsTimerTick(TWebLinks& links) {
  TAdsTick tick;
  for (int32_t i = 0; i < links.Count(); ++i) {
    TLinkInfo& slot = links[i];
    if (slot.Loading.load(std::memory_order_acquire)) {
      tick.AllDone = false;
    } else if (!slot.Shown) {
      slot.Shown = true;
      if (IsReady(slot)) tick.ShowPicture.push_back(i);
    }
  }
  if (tick.AllDone)
    for (int32_t i = 0; i < links.Count(); ++i)
      if (IsReady(links[i])) tick.SheetTexts.push_back(links[i].Txt);
  return tick;
}
