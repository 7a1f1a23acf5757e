#pragma once
// The subcommands of tavrolin-cli. Each takes its arguments, does the same work as the window's
// command of that name (through the same import, document reader and writer, processing, sheet
// renderer, printing and export code) and reports on the streams it is given.
#include <QString>
#include <QStringList>
#include <QTextStream>

class IWaitProtocol;

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the work failed: a file, a photo, a printer
constexpr int kExitUsage = 2;   // the command line is wrong

struct TCliIo {
  QTextStream& Out;
  QTextStream& Err;
  IWaitProtocol& Wait;
};

// The program's help, and each subcommand's (empty for an unknown name).
QString ProgramHelp();
QString CommandHelp(const QString& command);
// "tavrolin-cli " + the program version.
QString VersionText();

// Runs the command line `args` (without the program's name) and returns the exit status. Every
// error ends up on `io.Err` as "tavrolin-cli: ..." and nothing is left half-written: documents,
// sheets, PDF files and exported pages are each written to a temporary file and renamed into
// place when complete.
int RunCli(const QStringList& args, TCliIo& io);
