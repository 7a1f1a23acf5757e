#pragma once
// The per-user folders of the desktop and the program's version string. Folders come from the
// environment as on any XDG desktop (XDG_DATA_HOME), so tests point them at private places. The
// work folder of the photos is the document's (WorkFolder.h).

#include <QStandardPaths>
#include <QString>

// The path of a per-user special folder, created if missing; empty when that fails.
QString GetSpecialFolder(QStandardPaths::StandardLocation location);

// The version of the program at `path`: "0.0.0.0" for an empty path or a missing file, else the
// version compiled in from the build (the only executable ever asked about is this program).
QString GetFileVersionString(const QString& path);
