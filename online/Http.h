#pragma once
// The one HTTP GET that every download of the program goes through: the settings file, the
// installer and the advertising pictures (and, with nothing read, the statistics pings).
//
// A request carries the URL and the agent name and nothing else; there is no local cache, so
// every answer comes from the server. The status code is never looked at: whatever body comes is
// the content, an error page included. The body is handed over in blocks of a fixed size (the
// last one shorter), and the Content-Length header is handed over as text before the first
// block, empty when the server sent none. Redirections are followed, proxies come from the
// usual environment variables (http_proxy, no_proxy, ...).
#include <atomic>
#include <cstdint>

#include <QByteArray>
#include <QString>

// Agent names: the program's own downloads and the advertising pictures.
inline constexpr const char* kProgramAgent = "Tavrolin";
inline constexpr const char* kAdsAgent = "Tav-Rolin";

// Block sizes of the settings text, the installer and the advertising pictures.
inline constexpr int kSettingsBlockSize = 1025;
inline constexpr int kInstallerBlockSize = 1024;
inline constexpr int kAdsBlockSize = 1024;

// The receiving end of one GET. Its calls come on the thread that runs HttpGet.
class IHttpReceiver {
 public:
  virtual ~IHttpReceiver() = default;
  // Once, before the first block (or at the end when the body is empty), with the value of the
  // Content-Length header: empty when the header is missing or longer than 99 characters. May
  // throw: the transfer ends and the exception reaches the caller of HttpGet.
  virtual void Opened(const QString& contentLength) = 0;
  // One block of the body. Returning false ends the transfer (HttpGet returns Stopped). May throw.
  virtual bool Received(const char* data, qsizetype size) = 0;
  // Asked between waits for the network, at least every 50 ms, also while no data arrives:
  // false ends the transfer as Stopped. Lets a stop flag or a Cancel button act on a stalled
  // server, and lets the wait dialog keep its events going. May throw.
  virtual bool KeepGoing() { return true; }
};

enum class THttpOutcome {
  NotOpened,  // no answer: bad address, host unreachable, connection refused
  Complete,   // the whole body was handed over
  Stopped,    // the receiver ended it
  Broken,     // an answer began but did not end properly (cut off, stalled for a minute)
};

// GETs `url`, handing the body to `receiver` in blocks of `blockSize` bytes. Throws
// std::runtime_error when the server's Content-Length is not a number (as the receiver would
// when converting it), and rethrows what the receiver throws. Safe on any thread.
THttpOutcome HttpGet(const char* agent, const QString& url, int blockSize, IHttpReceiver& receiver);

// Converts a Content-Length value: decimal digits, blanks around them allowed. Throws
// std::runtime_error with a readable message for anything else (an empty value included).
int64_t ParseContentLength(const QString& value);

// The program's 8-bit code page for downloaded text (Windows-1252, the Western code page): one
// character per byte, bytes 0 to 127 as ASCII. BytesToText and TextToBytes are inverse for
// every byte sequence; characters outside the code page become "?".
QString BytesToText(const QByteArray& bytes);
QByteArray TextToBytes(const QString& text);

struct TFetchResult {
  bool Success = false;
  QString Text;
};

// GETs `url` as the settings text: agent "Tavrolin", blocks of 1025 bytes, every byte one
// character. Success is false with an empty text when the URL cannot be opened, the answer is cut
// off, or `stop` is raised; a missing or non-numeric Content-Length throws std::runtime_error.
TFetchResult FetchUrlText(const QString& url, const std::atomic<bool>* stop = nullptr);
