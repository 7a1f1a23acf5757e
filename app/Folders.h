#pragma once
// The folders the program works in, the tick count and the program's version string. Folders
// come from the environment as on any XDG desktop (TMPDIR, XDG_DATA_HOME), so tests point them
// at private places.
#include <cstdint>

#include <QStandardPaths>
#include <QString>

// Milliseconds since boot, from the monotonic clock.
uint64_t TickCount();

// The platform's temporary folder, ending with a separator.
QString TempFolder();

// Creates `tempFolder` + "Tavrolin-" + tick + "/" as a new folder that only the user may enter
// (mode 0700). A name that exists already (a folder, a file or a link, perhaps planted by
// someone else) is never adopted: the next tick value is tried instead. Returns the folder,
// ending with a separator; throws std::runtime_error when no folder can be created.
QString CreatePrivateWorkFolder(const QString& tempFolder, uint64_t tick);

// Removes `folder` if it is empty; anything else leaves it in place without a message.
void RemoveFolderIfEmpty(const QString& folder);

// The path of a per-user special folder, created if missing; empty when that fails.
QString GetSpecialFolder(QStandardPaths::StandardLocation location);

// The version of the program at `path`: "0.0.0.0" for an empty path or a missing file, else the
// version compiled in from the build (the only executable ever asked about is this program).
QString GetFileVersionString(const QString& path);
