#pragma once
// The wait protocol on a terminal: a one-line progress bar on stderr, redrawn in place and wiped
// when the work ends. When stderr is not a terminal (a pipe, a log file) nothing is written, so
// scripts see only the program's real messages. Ctrl-C or a termination signal makes Running()
// false: the loops stop between photos, and the command leaves no half-written file behind.
#include <cstdio>

#include <QString>

#include "WaitProtocol.h"

// Whether stderr is a terminal.
bool StderrIsTerminal();

// Ctrl-C (SIGINT) and SIGTERM set a flag instead of ending the process at once; a second signal
// ends it the usual way. Installed once by the program.
void InstallInterruptHandler();
bool InterruptRequested();

class TTerminalWait : public IWaitProtocol {
 public:
  // `stream` receives the bar when `visible`; `width` is the bar's width in characters.
  TTerminalWait(std::FILE* stream, bool visible, int width = 30);
  ~TTerminalWait() override;

  void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) override;
  void SetProgress(int position) override;
  bool Running() const override;
  void Close() override;

  // The line drawn for `position` of minimum..maximum: the text, the bar and the percentage.
  static QString BarLine(const QString& text, int minimum, int maximum, int position, int width);

 private:
  void Draw(const QString& line);

  std::FILE* Stream;
  bool Visible;
  int Width;
  bool Shown = false;
  QString Text;
  int Minimum = 0, Maximum = 0;
  QString LastLine;
};
