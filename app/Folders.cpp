#include "Folders.h"

#include <QDir>
#include <QFileInfo>

#include "Site.h"

QString GetSpecialFolder(QStandardPaths::StandardLocation location) {
  const QString path = QStandardPaths::writableLocation(location);
  if (path.isEmpty() || !QDir().mkpath(path)) return QString();
  return path;
}

QString GetFileVersionString(const QString& path) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return QStringLiteral("0.0.0.0");
  return tavrolin::ProgramVersion();
}
