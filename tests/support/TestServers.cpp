#include "TestServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include <QFile>

namespace {

sockaddr_in Loopback(quint16 port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

quint16 BoundPort(int fd) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

bool CanConnect(quint16 port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

bool SendAll(int fd, const char* data, qsizetype size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

}  // namespace

quint16 FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  const quint16 port = BoundPort(fd);
  ::close(fd);
  return port;
}

TFaultResponse TFaultResponse::Ok(const QByteArray& body, bool withLength) {
  return Raw("HTTP/1.1 200 OK", withLength ? QByteArray::number(body.size()) : QByteArray(), body);
}

TFaultResponse TFaultResponse::Raw(const QByteArray& status, const QByteArray& length,
                                   const QByteArray& body, const QByteArray& extraHeaders) {
  TFaultResponse r;
  r.Head = status + "\r\n" + extraHeaders;
  if (!length.isEmpty()) r.Head += "Content-Length: " + length + "\r\n";
  r.Body = body;
  return r;
}

TFaultResponse TFaultResponse::Stalling(const QByteArray& start) {
  TFaultResponse r = Raw("HTTP/1.1 200 OK", "1000000", start);
  r.CutAfter = start.size();
  r.StallAfterMs = 24 * 3600 * 1000;  // ends when the server stops
  return r;
}

QByteArray TRecordedRequest::Header(const QByteArray& name) const {
  for (const auto& [n, v] : Headers)
    if (n == name.toLower()) return v;
  return {};
}

TFaultServer::TFaultServer() {
  Listener = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(Listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in a = Loopback(0);
  if (::bind(Listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(Listener, 64) != 0)
    qFatal("fault server: cannot listen on 127.0.0.1");
  Port = BoundPort(Listener);
  Acceptor = std::thread(&TFaultServer::AcceptLoop, this);
}

TFaultServer::~TFaultServer() {
  Stopping.store(true);
  Acceptor.join();
  for (std::thread& t : Connections) t.join();
  ::close(Listener);
}

QString TFaultServer::Host() const { return QStringLiteral("127.0.0.1:%1").arg(Port); }
QString TFaultServer::Url(const QString& target) const {
  return QStringLiteral("http://") + Host() + target;
}

void TFaultServer::Serve(const QByteArray& target, TFaultResponse response) {
  std::lock_guard<std::mutex> lock(Lock);
  Responses[target] = std::move(response);
}

std::vector<TRecordedRequest> TFaultServer::Requests() const {
  std::lock_guard<std::mutex> lock(Lock);
  return Recorded;
}

int TFaultServer::CountRequests(const QByteArray& target) const {
  std::lock_guard<std::mutex> lock(Lock);
  int n = 0;
  for (const auto& r : Recorded) n += r.Target == target;
  return n;
}

int TFaultServer::CountRequestsStartingWith(const QByteArray& prefix) const {
  std::lock_guard<std::mutex> lock(Lock);
  int n = 0;
  for (const auto& r : Recorded) n += r.Target.startsWith(prefix);
  return n;
}

bool TFaultServer::Pause(int ms) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (Stopping.load()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return !Stopping.load();
}

void TFaultServer::AcceptLoop() {
  while (!Stopping.load()) {
    pollfd p{Listener, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    const int fd = ::accept(Listener, nullptr, nullptr);
    if (fd < 0) continue;
    Connections.emplace_back([this, fd] {
      Answer(fd);
      ::shutdown(fd, SHUT_RDWR);
      ::close(fd);
    });
  }
}

void TFaultServer::Answer(int fd) {
  QByteArray head;
  while (!head.contains("\r\n\r\n")) {
    pollfd p{fd, POLLIN, 0};
    if (Stopping.load()) return;
    if (::poll(&p, 1, 20) <= 0) continue;
    char buf[4096];
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    head.append(buf, n);
  }
  TRecordedRequest request;
  const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
  const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
  request.Method = first.value(0);
  request.Target = first.value(1);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    if (colon > 0)
      request.Headers.emplace_back(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
  }
  TFaultResponse response;
  bool known = false;
  {
    std::lock_guard<std::mutex> lock(Lock);
    Recorded.push_back(request);
    const auto it = Responses.find(request.Target);
    if (it != Responses.end()) {
      response = it->second;
      known = true;
    }
  }
  if (!known) return;
  if (response.Held) {
    while (!Released.load()) {
      if (!Pause(5)) return;
    }
  }
  const QByteArray start = response.Head + "Connection: close\r\n\r\n";
  if (!SendAll(fd, start.constData(), start.size())) return;
  const qsizetype end = response.CutAfter >= 0 ? std::min(response.CutAfter, response.Body.size())
                                               : response.Body.size();
  const qsizetype step = response.ChunkSize > 0 ? response.ChunkSize : std::max<qsizetype>(end, 1);
  for (qsizetype at = 0; at < end; at += step) {
    if (response.ChunkDelayMs > 0 && !Pause(response.ChunkDelayMs)) return;
    if (!SendAll(fd, response.Body.constData() + at, std::min(step, end - at))) return;
  }
  if (response.StallAfterMs > 0) Pause(response.StallAfterMs);
}

TNginxSite::TNginxSite(const QString& root) { Start(root, {}); }

TNginxSite::TNginxSite(const TWriter& write) : OwnRoot(std::in_place) {
  Start(OwnRoot->path(), write);
}

void TNginxSite::Start(const QString& root, const TWriter& write) {
  for (int attempt = 0; attempt < 5 && !Started; ++attempt) {
    Port = FreePort();
    if (write) write(Files(), Host());
    QStringList args = {QStringLiteral(TAVROLIN_SOURCE_DIR "/server/start"),
                        QStringLiteral("--foreground"),
                        QStringLiteral("--port"),
                        QString::number(Port),
                        QStringLiteral("--dir"),
                        RunDir.path()};
    if (!root.isEmpty()) args << QStringLiteral("--root") << root;
    Process.setProcessChannelMode(QProcess::ForwardedChannels);
    Process.start(QStringLiteral("bash"), args);
    if (!Process.waitForStarted(5000)) continue;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end && Process.state() == QProcess::Running) {
      if (CanConnect(Port)) {
        Started = true;
        break;
      }
      Process.waitForFinished(20);
    }
    if (!Started) Stop();  // the port was taken meanwhile: try another
  }
}

TNginxSite::~TNginxSite() { Stop(); }

void TNginxSite::Stop() {
  if (Process.state() != QProcess::NotRunning) {
    Process.terminate();
    if (!Process.waitForFinished(5000)) {
      Process.kill();
      Process.waitForFinished(5000);
    }
  }
  Started = false;
}

QString TNginxSite::Host() const { return QStringLiteral("127.0.0.1:%1").arg(Port); }
QString TNginxSite::Url(const QString& path) const {
  return QStringLiteral("http://") + Host() + path;
}

QString TNginxSite::AccessLog() const {
  QFile f(RunDir.filePath(QStringLiteral("access.log")));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString TNginxSite::StatLog() const {
  QFile f(RunDir.filePath(QStringLiteral("stat.log")));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
