#pragma once
// What every fuzz target shares: a private folder for the files the code under test writes, and
// the checks that hold after every input whatever happened.
#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

namespace fuzz {

// A folder of this process alone, created on first use and removed at exit; its path ends with
// a separator, as the program's own folders do.
inline QString PrivateFolder(const char* name) {
  static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/tavrolin-fuzz-XXXXXX"));
  if (!root.isValid()) {
    std::fprintf(stderr, "cannot create a private folder\n");
    std::abort();
  }
  const QString path =
      root.path() + QLatin1Char('/') + QString::fromLatin1(name) + QLatin1Char('/');
  QDir().mkpath(path);
  return path;
}

// Every record of an input has been destroyed by now, and with it its working file: anything
// still in the folder was left behind.
inline void ExpectEmptyFolder(const QString& folder) {
  const QStringList left =
      QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  if (!left.isEmpty()) {
    std::fprintf(stderr, "files left behind in %s: %s\n", qPrintable(folder),
                 qPrintable(left.join(QStringLiteral(", "))));
    std::abort();
  }
}

// Qt's warnings (a file name with a NUL in it, a picture it cannot read) are expected answers to
// fuzzed input; printed at every run they would bury the fuzzer's own report.
inline void QuietQt() {
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
      std::fprintf(stderr, "Qt fatal: %s\n", qPrintable(text));
      std::abort();
    }
  });
}

[[noreturn]] inline void Fail(const char* what, const QString& detail) {
  std::fprintf(stderr, "%s: %s\n", what, qPrintable(detail));
  std::abort();
}

}  // namespace fuzz
