#include "Http.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <vector>

#include <curl/curl.h>

namespace {

// The longest header value that fits the 100-character buffer the length is read into (one
// character stays for the terminator); a longer value counts as missing.
constexpr qsizetype kMaxHeaderValue = 99;

// A connection that takes longer than this is as good as no connection.
constexpr long kConnectTimeoutSeconds = 30;
// An answer that delivers nothing for this long is broken: the thread or the wait dialog
// behind it must not hang for ever on a server that stopped sending.
constexpr long kStallSeconds = 60;

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Characters that may not stand in a request line are sent percent-encoded, as a browser does;
// everything else of the address (its own %-escapes included) goes out unchanged.
QByteArray TransmittableUrl(const QString& url) {
  const QByteArray utf8 = url.toUtf8();
  QByteArray out;
  out.reserve(utf8.size());
  static const char hex[] = "0123456789ABCDEF";
  for (char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F || b == '"' || b == '<' || b == '>' || b == '\\' || b == '^' ||
        b == '`' || b == '{' || b == '|' || b == '}') {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

struct TTransfer {
  IHttpReceiver& Receiver;
  std::vector<char> Block;
  size_t Fill = 0;
  QByteArray ContentLength;
  bool HeaderBlockEnded = false;
  bool OpenedCalled = false;
  bool Stopped = false;
  std::exception_ptr Error;

  TTransfer(IHttpReceiver& receiver, int blockSize) : Receiver(receiver), Block(blockSize) {}

  void OpenOnce() {
    if (OpenedCalled) return;
    OpenedCalled = true;
    const QByteArray value = ContentLength.trimmed();
    Receiver.Opened(value.size() > kMaxHeaderValue ? QString() : QString::fromLatin1(value));
  }
};

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<TTransfer*>(user);
  const size_t bytes = size * count;
  const QByteArray line = QByteArray::fromRawData(data, qsizetype(bytes)).trimmed();
  if (line.startsWith("HTTP/")) {
    // A new answer begins (after an interim answer or a redirection): only the last one counts.
    t.ContentLength.clear();
    t.HeaderBlockEnded = false;
  } else if (line.isEmpty()) {
    t.HeaderBlockEnded = true;
  } else {
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
      t.ContentLength = line.mid(colon + 1).trimmed();
  }
  return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto& t = *static_cast<TTransfer*>(user);
  const size_t bytes = size * count;
  try {
    t.OpenOnce();
    size_t done = 0;
    while (done < bytes) {
      const size_t take = std::min(bytes - done, t.Block.size() - t.Fill);
      std::memcpy(t.Block.data() + t.Fill, data + done, take);
      t.Fill += take;
      done += take;
      if (t.Fill == t.Block.size()) {
        t.Fill = 0;
        if (!t.Receiver.Received(t.Block.data(), qsizetype(t.Block.size()))) {
          t.Stopped = true;
          return CURL_WRITEFUNC_ERROR;
        }
      }
    }
    return bytes;
  } catch (...) {
    t.Error = std::current_exception();
    return CURL_WRITEFUNC_ERROR;
  }
}

struct TCurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// How long the transfer waits for the network before asking the receiver whether to go on: a
// Cancel button or a stop flag acts within this time even when the server sends nothing.
constexpr int kPollMilliseconds = 50;

// Runs the transfer through a multi handle so that the receiver is asked between waits, then
// returns libcurl's result (meaningless when the receiver stopped it or threw).
CURLcode Perform(CURL* c, TTransfer& t) {
  CURLM* multi = curl_multi_init();
  if (!multi) return CURLE_OUT_OF_MEMORY;
  curl_multi_add_handle(multi, c);
  CURLcode result = CURLE_OK;
  int running = 1;
  while (running) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_RECV_ERROR;
      break;
    }
    if (t.Error || t.Stopped || !running) break;
    curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
    try {
      if (!t.Receiver.KeepGoing()) t.Stopped = true;
    } catch (...) {
      t.Error = std::current_exception();
    }
    if (t.Error || t.Stopped) break;
  }
  int queued = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi, &queued))
    if (msg->msg == CURLMSG_DONE) result = msg->data.result;
  curl_multi_remove_handle(multi, c);
  curl_multi_cleanup(multi);
  return result;
}

}  // namespace

THttpOutcome HttpGet(const char* agent, const QString& url, int blockSize,
                     IHttpReceiver& receiver) {
  InitCurlOnce();
  std::unique_ptr<CURL, TCurlDeleter> curl(curl_easy_init());
  if (!curl) return THttpOutcome::NotOpened;
  TTransfer t(receiver, blockSize);
  char errorText[CURL_ERROR_SIZE] = {};
  const QByteArray address = TransmittableUrl(url);
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, address.constData());
  curl_easy_setopt(c, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);  // we run on background threads
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);

  const CURLcode result = Perform(c, t);
  if (t.Error) std::rethrow_exception(t.Error);
  if (t.Stopped) return THttpOutcome::Stopped;
  if (result == CURLE_OK) {
    t.OpenOnce();
    if (t.Fill > 0) t.Receiver.Received(t.Block.data(), qsizetype(t.Fill));
    return THttpOutcome::Complete;
  }
  // libcurl refuses a length that is no number before we see the header; for us that is the
  // same conversion error as a length we cannot convert ourselves.
  if (result == CURLE_WEIRD_SERVER_REPLY && std::strstr(errorText, "Content-Length"))
    throw std::runtime_error("The server's answer has an invalid length (Content-Length).");
  return t.OpenedCalled || t.HeaderBlockEnded ? THttpOutcome::Broken : THttpOutcome::NotOpened;
}

int64_t ParseContentLength(const QString& value) {
  const QString digits = value.trimmed();
  bool ok = !digits.isEmpty() && digits.size() <= 18;
  for (QChar ch : digits) ok = ok && ch >= u'0' && ch <= u'9';
  if (!ok) {
    throw std::runtime_error(
        QStringLiteral("The server's answer has no valid length (Content-Length: \"%1\").")
            .arg(value)
            .toStdString());
  }
  return digits.toLongLong();
}

namespace {

// Windows-1252 from 0x80 to 0x9F; its five unassigned bytes map to the control characters of
// the same number, which keeps the code page a one-to-one map of all 256 bytes.
// clang-format off
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
// clang-format on

}  // namespace

QString BytesToText(const QByteArray& bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHighControls[b - 0x80]) : QChar(char16_t(b));
  }
  return text;
}

QByteArray TextToBytes(const QString& text) {
  QByteArray bytes(text.size(), Qt::Uninitialized);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text[i].unicode();
    char b = '?';
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      b = char(u);
    } else {
      for (int k = 0; k < 32; ++k) {
        if (kHighControls[k] == u) {
          b = char(0x80 + k);
          break;
        }
      }
    }
    bytes[i] = b;
  }
  return bytes;
}

namespace {

class TTextReceiver : public IHttpReceiver {
 public:
  explicit TTextReceiver(const std::atomic<bool>* stop) : Stop(stop) {}
  void Opened(const QString& contentLength) override { ParseContentLength(contentLength); }
  bool Received(const char* data, qsizetype size) override {
    Bytes.append(data, size);
    return !StopRaised();
  }
  bool KeepGoing() override { return !StopRaised(); }
  QByteArray Bytes;

 private:
  bool StopRaised() const { return Stop && Stop->load(std::memory_order_relaxed); }
  const std::atomic<bool>* Stop;
};

}  // namespace

TFetchResult FetchUrlText(const QString& url, const std::atomic<bool>* stop) {
  TTextReceiver receiver(stop);
  if (HttpGet(kProgramAgent, url, kSettingsBlockSize, receiver) != THttpOutcome::Complete)
    return {};
  return {true, BytesToText(receiver.Bytes)};
}
