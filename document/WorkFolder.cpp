#include "WorkFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Enough attempts to step past any number of leftover folders of earlier runs.
constexpr int kWorkFolderAttempts = 10000;

QString WithSeparator(QString path) {
  if (!path.endsWith(u'/')) path += u'/';
  return path;
}

}  // namespace

uint64_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

QString TempFolder() { return WithSeparator(QDir::tempPath()); }

QString CreatePrivateWorkFolder(const QString& tempFolder, uint64_t tick) {
  QDir().mkpath(tempFolder);
  int lastError = 0;
  for (int attempt = 0; attempt < kWorkFolderAttempts; ++attempt) {
    const QString folder =
        tempFolder + QStringLiteral("Tavrolin-") + QString::number(tick + uint64_t(attempt));
    // mkdir creates or fails; it never follows a link or reuses what is there.
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0) return folder + u'/';
    lastError = errno;
    if (lastError != EEXIST) break;
  }
  throw std::runtime_error(QStringLiteral("The working folder in %1 could not be created: %2")
                               .arg(QDir::toNativeSeparators(tempFolder),
                                    QString::fromLocal8Bit(std::strerror(lastError)))
                               .toStdString());
}

void RemoveFolderIfEmpty(const QString& folder) {
  if (folder.isEmpty()) return;
  ::rmdir(QFile::encodeName(folder).constData());
}

const QString& TWorkFolder::Ensure() {
  if (!Folder.isEmpty() && !QFileInfo(Folder).isDir()) Folder.clear();
  if (Folder.isEmpty()) Folder = CreatePrivateWorkFolder(TempFolder(), TickCount());
  return Folder;
}

void TWorkFolder::Remove() {
  if (Folder.isEmpty()) return;
  RemoveFolderIfEmpty(Folder);
  if (!QFileInfo::exists(Folder)) Folder.clear();
}
