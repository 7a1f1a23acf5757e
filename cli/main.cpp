// tavrolin-cli: the batch command line. It draws and prints without a display: unless the user
// chose a platform, Qt's offscreen one is used, so the program runs over ssh, in cron and in CI.
#include <cstdio>

#include <QGuiApplication>
#include <QLocale>
#include <QStringList>
#include <QTextStream>

#include "CliCommands.h"
#include "TerminalWait.h"

namespace {

// Qt's own chatter (a missing runtime folder, font fallbacks) is not the user's business on a
// command line; real failures come back as errors with a message of their own. Set
// TAVROLIN_CLI_QT_MESSAGES to see it anyway.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtFatalMsg || type == QtCriticalMsg) {
    std::fprintf(stderr, "tavrolin-cli: %s\n", message.toLocal8Bit().constData());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("TAVROLIN_CLI_QT_MESSAGES"))
    qInstallMessageHandler(QuietMessages);
  QGuiApplication app(argc, argv);
  QGuiApplication::setApplicationName(QStringLiteral("tavrolin-cli"));
  // Numbers are written and read with "." whatever the user's language.
  QLocale::setDefault(QLocale::c());
  InstallInterruptHandler();

  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  QTextStream out(stdout);
  QTextStream err(stderr);
  TTerminalWait wait(stderr, StderrIsTerminal());
  TCliIo io{out, err, wait};
  const int status = RunCli(args, io);
  out.flush();
  err.flush();
  return status;
}
