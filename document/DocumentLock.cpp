#include "DocumentLock.h"

#include <stdexcept>

#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

TDocumentLock::TDocumentLock(const QString& documentPath)
    : Path(documentPath), File(std::make_unique<QLockFile>(LockFileName(documentPath))) {
  // The window may hold a document's lock for hours: age alone never makes it stale, only a
  // holder that is no longer running.
  File->setStaleLockTime(0);
}

TDocumentLock::~TDocumentLock() = default;

QString TDocumentLock::LockFileName(const QString& documentPath) {
  const QFileInfo info(documentPath);
  return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".lock");
}

bool TDocumentLock::Held() const { return File->isLocked(); }

bool TDocumentLock::TryTake() { return Held() || File->tryLock(0); }

void TDocumentLock::Take(int waitMs) {
  if (Held() || File->tryLock(waitMs)) return;
  if (File->error() != QLockFile::LockFailedError) return;
  throw std::runtime_error(
      (HolderText() + QStringLiteral("; try again when it has finished")).toStdString());
}

QString TDocumentLock::HolderText() const {
  qint64 pid = 0;
  QString host, program;
  const QString name = QFileInfo(Path).fileName();
  if (!File->getLockInfo(&pid, &host, &program)) {
    return QStringLiteral("%1 is in use by another program").arg(name);
  }
  if (program.isEmpty()) program = QStringLiteral("another program");
  QString holder = QStringLiteral("%1 (process %2").arg(program).arg(pid);
  if (!host.isEmpty() && host != QSysInfo::machineHostName())
    holder += QStringLiteral(" on ") + host;
  return QStringLiteral("%1 is in use by %2)").arg(name, holder);
}
