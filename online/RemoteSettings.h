#pragma once
// The settings file that the vendor's web site serves at "/files/info.txt": fetched once per run
// on a background thread (TUpdateThread), kept as a local copy for runs without network, and
// handed to the user-interface thread, which applies it (OnVersionInfo).
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <QString>

class QObject;
class TVirtualIniFile;

// The values the program takes from the settings text, with their defaults when a key is
// missing: [common] version, updateUrl (text, empty), updateCritical, ShowAds (integer, 0).
struct TRemoteSettings {
  QString RemoteVersion;
  QString UpdateUrl;
  bool UpdateCritical = false;
  bool AdsEnabled = false;
};
TRemoteSettings ReadRemoteSettings(const TVirtualIniFile& ini);

// "http://" + the site's host + "/files/info.txt".
QString InfoUrl();
// The local copy in the application's data folder: folder + "Tavrolin.ini".
QString InfoCacheFileName(const QString& appDataFolder);

// Writes the text as lines ending in CR LF, in the program's 8-bit code page, through a
// temporary file and a rename: a crash never leaves half a text where the last good copy was.
// Throws std::runtime_error when the file cannot be written.
void WriteInfoCache(const QString& file, const QString& text);
// The whole local copy as text; empty when it is missing or unreadable.
QString ReadInfoCache(const QString& file);

// What the fetch hands to the user-interface thread.
struct TInfoResult {
  QString InfoText;          // the settings text of this run, empty if none
  bool InfoFetched = false;  // the text came from the server in this run
};

// The fetch itself, on the calling thread: the server's text when it sent a non-empty one (which
// then replaces the local copy), else the local copy. Any failure of the download means "no
// text from the server"; only a failure to write the local copy throws. `stop` ends a download
// under way.
TInfoResult FetchRemoteSettings(const QString& url, const QString& cacheFile,
                                const std::atomic<bool>* stop = nullptr);

// The start-up fetch on its own thread; starts at once. When the fetch is done it has
// `onVersionInfo` run on the thread of `uiObject` (through that object's event queue) and waits
// for it to return. A fetch that could not write the local copy hands nothing over.
//
// Stop(), called on the user-interface thread, makes sure that `onVersionInfo` is not started
// any more, ends a download under way and joins the thread; the destructor calls it. The
// object must be stopped (or destroyed) before `uiObject` is. It may be stopped or destroyed from
// inside `onVersionInfo` itself (a critical update closes the window from there).
class TUpdateThread {
 public:
  using THandler = std::function<void(const TInfoResult&)>;
  TUpdateThread(QObject* uiObject, QString url, QString cacheFile, THandler onVersionInfo);
  ~TUpdateThread();
  TUpdateThread(const TUpdateThread&) = delete;
  TUpdateThread& operator=(const TUpdateThread&) = delete;

  void Stop();
  // True once the thread has nothing more to do (handed over and returned, or gave up).
  bool Finished() const;

 private:
  struct TShared {
    QObject* UiObject = nullptr;
    THandler OnVersionInfo;
    std::atomic<bool> StopRequested{false};
    std::atomic<bool> Finished{false};
    std::mutex Lock;
    std::condition_variable Wake;
    std::atomic<bool> HandlerDone{false};
  };
  static void Run(std::shared_ptr<TShared> shared, QString url, QString cacheFile);
  std::shared_ptr<TShared> Shared;
  std::thread Worker;
};
