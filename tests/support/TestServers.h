#pragma once
// Real HTTP servers on 127.0.0.1 for the tests of the online parts and of the window.
//
// TFaultServer answers scripted responses from a thread of its own: answers without a length,
// with a length that is no number, cut off mid-way, trickling slowly, stalling or held back until
// the test lets them go, and records every request it gets. TNginxSite runs nginx with the vendor
// site's configuration through server/start, on a free port, with its run folder (logs included)
// in a private folder.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

struct TFaultResponse {
  QByteArray Head;  // status line and header lines, each ending in CR LF
  QByteArray Body;
  int ChunkSize = 0;        // > 0: the body goes out in pieces of this size ...
  int ChunkDelayMs = 0;     // ... with this pause before each
  qsizetype CutAfter = -1;  // >= 0: the connection closes after this many body bytes
  int StallAfterMs = 0;     // > 0 with CutAfter: stays silent this long before closing
  bool Held = false;        // nothing is sent before TFaultServer::Release()

  // 200 with a Content-Length (or none), the given body.
  static TFaultResponse Ok(const QByteArray& body, bool withLength = true);
  // Any status line and extra header lines, the given body, a Content-Length when `length`
  // is not empty.
  static TFaultResponse Raw(const QByteArray& status, const QByteArray& length,
                            const QByteArray& body, const QByteArray& extraHeaders = {});
  // 200 announcing a long body, of which only `start` is sent; then silence until the server
  // is destroyed.
  static TFaultResponse Stalling(const QByteArray& start);
};

struct TRecordedRequest {
  QByteArray Method;
  QByteArray Target;
  std::vector<std::pair<QByteArray, QByteArray>> Headers;  // names in lower case
  QByteArray Header(const QByteArray& name) const;
};

class TFaultServer {
 public:
  TFaultServer();
  ~TFaultServer();
  TFaultServer(const TFaultServer&) = delete;
  TFaultServer& operator=(const TFaultServer&) = delete;

  QString Host() const;                      // "127.0.0.1:PORT"
  QString Url(const QString& target) const;  // "http://127.0.0.1:PORT" + target
  // What a request for `target` (path and query) gets; other targets get the connection closed.
  void Serve(const QByteArray& target, TFaultResponse response);
  std::vector<TRecordedRequest> Requests() const;
  int CountRequests(const QByteArray& target) const;
  int CountRequestsStartingWith(const QByteArray& prefix) const;
  // Lets the held responses go, those waiting now and those to come.
  void Release() { Released.store(true); }

 private:
  void AcceptLoop();
  void Answer(int fd);
  bool Pause(int ms) const;  // false when the server is stopping

  int Listener = -1;
  quint16 Port = 0;
  std::atomic<bool> Stopping{false};
  std::atomic<bool> Released{false};
  mutable std::mutex Lock;
  std::map<QByteArray, TFaultResponse> Responses;
  std::vector<TRecordedRequest> Recorded;
  std::vector<std::thread> Connections;
  std::thread Acceptor;
};

class TNginxSite {
 public:
  // `root`: the folder holding the site's files/; empty: the shipped site from server/.
  explicit TNginxSite(const QString& root = QString());
  // A site in a folder of its own: `write` fills its files/ folder once the host (with the
  // port) is known, so that its texts can name addresses on it.
  using TWriter = std::function<void(const QString& files, const QString& host)>;
  explicit TNginxSite(const TWriter& write);
  ~TNginxSite();
  TNginxSite(const TNginxSite&) = delete;
  TNginxSite& operator=(const TNginxSite&) = delete;

  bool Running() const { return Started; }
  QString Host() const;
  QString Url(const QString& path) const;
  // The files/ folder of a site made by a writer.
  QString Files() const { return OwnRoot ? OwnRoot->filePath(QStringLiteral("files")) : QString(); }
  QString AccessLog() const;  // every request, nginx's combined format
  QString StatLog() const;    // the pings' messages, one a line
  void Stop();

 private:
  void Start(const QString& root, const TWriter& write);

  std::optional<QTemporaryDir> OwnRoot;
  QTemporaryDir RunDir;
  QProcess Process;
  quint16 Port = 0;
  bool Started = false;
};

// A port on 127.0.0.1 that nothing listens on (bound once by us, then released).
quint16 FreePort();
