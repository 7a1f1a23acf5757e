#pragma once
// The advertising panels: seven slots (TLinkInfo) described by sections link1 to link7 of the
// settings text, each downloading its two pictures on a thread of its own (TDownloadThread)
// into the data folder, which keeps them as a cache for later runs.
//
// A slot's thread writes only the slot's pictures, its Loading flag and its cache files, and
// clears Loading last with release ordering; the user-interface thread reads the pictures only
// after it has read Loading false with acquire ordering (IsReady). Destroying a slot (or the
// whole TWebLinks) raises StopRequested and waits for its thread, so no thread ever touches a
// slot that is gone.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <QImage>
#include <QString>
#include <QStringList>

class TVirtualIniFile;
struct TLinkInfo;

// The download of one slot's two pictures; starts at once, joined by its destructor.
class TDownloadThread {
 public:
  explicit TDownloadThread(TLinkInfo& slot);
  ~TDownloadThread();
  TDownloadThread(const TDownloadThread&) = delete;
  TDownloadThread& operator=(const TDownloadThread&) = delete;
  void Join();

 private:
  static void Run(TLinkInfo& slot);
  std::thread Worker;
};

// One advertising slot.
struct TLinkInfo {
  explicit TLinkInfo(QString folder);
  ~TLinkInfo();  // raises StopRequested and joins the download
  TLinkInfo(const TLinkInfo&) = delete;
  TLinkInfo& operator=(const TLinkInfo&) = delete;

  QImage BigPicture;    // from Url1, shown 500 x 300 on hover; null = none
  QImage SmallPicture;  // from Url2, shown 180 x 100 in the panel; null = none
  std::atomic<bool> Loading{false};
  std::atomic<bool> StopRequested{false};
  bool Shown = false;  // the timer has dealt with this slot
  QString Url1, Url2, Www, Txt;
  QString BigFile, SmallFile;  // Folder + UrlToFileName(Url1 / Url2)
  QString Folder;
  std::unique_ptr<TDownloadThread> Downloader;
};

// The slots of the main window, slot i belonging to panel "ads" + i.
class TWebLinks {
 public:
  TWebLinks(int32_t count, const QString& folder);
  ~TWebLinks();  // stops every download at once, then waits for them
  TWebLinks(const TWebLinks&) = delete;
  TWebLinks& operator=(const TWebLinks&) = delete;

  TLinkInfo& operator[](int32_t i) { return *Items[size_t(i)]; }
  const TLinkInfo& operator[](int32_t i) const { return *Items[size_t(i)]; }
  int32_t Count() const { return ItemCount; }
  const QString& Folder() const { return CacheFolder; }
  // Raises StopRequested for every slot (without waiting).
  void RequestStop();

 private:
  std::vector<std::unique_ptr<TLinkInfo>> Items;
  int32_t ItemCount;
  QString CacheFolder;
};

inline constexpr int32_t kAdsSlotCount = 7;

// Fills a slot from a section of the settings and starts its download when it has both
// addresses; a slot lacking either stays without pictures for the rest of the run.
void LoadLinkInfo(TLinkInfo& slot, const TVirtualIniFile& ini, const QString& section);
// LoadLinkInfo for every slot i from section "link" + (i + 1).
void LoadLinks(TWebLinks& links, const TVirtualIniFile& ini);

// The cache file name of an address: the first "http://" removed, then every "/", ":", "?" and
// "\" replaced by "-" (http://host/ads/a.jpg gives host-ads-a.jpg). A result that would name
// no file, "." or ".." has each of its characters (at least one) replaced by "-" as well.
QString UrlToFileName(const QString& url);

// Downloads `url` into `file` (agent "Tav-Rolin"): into a temporary file beside it, renamed into
// place only when complete. False, with no file left, when stopped, when the URL cannot be
// opened or the answer breaks off; throws std::runtime_error when the server sends no valid
// Content-Length or the file cannot be written (again leaving no file).
bool DownloadToFile(const QString& url, const QString& file, const std::atomic<bool>& stop);

// Decodes a cache file by its name's extension (letter case ignored): .bmp, .ico, .jpg, .jpeg and
// .png decode; .emf and .wmf have no decoder on this platform and, like every other extension,
// give a null image, as does damaged data.
QImage DecodeAdImage(const QString& file);

// Both pictures present and the download over (reads Loading with acquire ordering).
bool IsReady(const TLinkInfo& slot);

// What one tick of the window's advertising timer did: the slots whose panels now get their
// small picture, and once no slot is loading any more, AllDone (stop the timer) with the
// margin texts of every ready slot in slot order, empty ones included.
struct TAdsTick {
  bool AllDone = true;
  std::vector<int32_t> ShowPicture;
  QStringList SheetTexts;
};
TAdsTick AdsTimerTick(TWebLinks& links);
