#include "TerminalWait.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int signal) {
  gInterrupted.store(true);
  // The next signal of this kind ends the program at once, for a user who does not want to
  // wait for the current photo.
  std::signal(signal, SIG_DFL);
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void InstallInterruptHandler() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
}

bool InterruptRequested() { return gInterrupted.load(); }

TTerminalWait::TTerminalWait(std::FILE* stream, bool visible, int width)
    : Stream(stream), Visible(visible && stream != nullptr), Width(std::max(width, 1)) {}

TTerminalWait::~TTerminalWait() {
  if (Shown) Close();
}

QString TTerminalWait::BarLine(const QString& text, int minimum, int maximum, int position,
                               int width) {
  // Items before `position` are done: a range of 0..n shows n items, 1..n shows n, and an
  // export's 0..n-1 is done when the last item starts, which Close then wipes.
  const int64_t span = std::max<int64_t>(int64_t{maximum} - minimum, 1);
  const int64_t done = std::clamp<int64_t>(int64_t{position} - minimum, 0, span);
  const int filled = static_cast<int>(done * width / span);
  const int percent = static_cast<int>(done * 100 / span);
  return QStringLiteral("%1 [%2%3] %4%")
      .arg(text, QString(filled, u'#'), QString(width - filled, u' '))
      .arg(percent, 3);
}

void TTerminalWait::ShowWait(const QString&, const QString& text, int minimum, int maximum) {
  Text = text;
  Minimum = minimum;
  Maximum = maximum;
  Shown = true;
  LastLine.clear();
  SetProgress(minimum);
}

void TTerminalWait::SetProgress(int position) {
  if (!Shown) return;
  Draw(BarLine(Text, Minimum, Maximum, position, Width));
}

bool TTerminalWait::Running() const { return !InterruptRequested(); }

void TTerminalWait::Close() {
  if (!Shown) return;
  Shown = false;
  if (Visible && !LastLine.isEmpty()) {
    // Wipe the bar: what the command prints afterwards starts on a clean line.
    std::fputs("\r\033[K", Stream);
    std::fflush(Stream);
  }
  LastLine.clear();
}

void TTerminalWait::Draw(const QString& line) {
  if (!Visible || line == LastLine) return;
  LastLine = line;
  std::fputs("\r", Stream);
  std::fputs(line.toLocal8Bit().constData(), Stream);
  std::fputs("\033[K", Stream);
  std::fflush(Stream);
}
