#pragma once
// Ties the program into the desktop: the "Tavrolin Document" file type (*.TavDoc) with a
// desktop entry that opens such files in this program, and the per-user record of the version
// that last ran.
//
// The file type is a shared-mime-info package and a .desktop file under $XDG_DATA_HOME, written
// only while no MIME type in any data folder claims *.TavDoc: once one does (ours, or another
// program's), it is left alone. The version lives in $XDG_CONFIG_HOME/Tavrolin/Tavrolin.ini.
#include <QString>

// The MIME type of documents, and the desktop entry's name.
inline constexpr char kDocumentMimeType[] = "application/x-tavrolin";
inline constexpr char kDesktopEntryName[] = "tavrolin.desktop";

// Done once at start-up. Writes the association when nothing claims *.TavDoc, then compares the
// stored version with `exeVersion` (exactly, case-sensitive) and stores `exeVersion` when they
// differ. Returns whether this is the first run of this version for this user. Never throws:
// every failure is silent, and a failure while writing the association also skips the version
// step (so the result is then false and the stored version unchanged).
bool RegisterFileType(const QString& exePath, const QString& exeVersion);

// Whether a MIME type in the user's or the system's data folders claims files named like
// `fileName` (by a glob of the compiled database or of a package not yet compiled).
bool MimeTypeClaims(const QString& fileName);

// The path of the ini file that holds the per-user Version value.
QString VersionSettingsFile();

// `path` as one argument of a desktop entry's Exec key, quoted and escaped the way the desktop
// entry format requires.
QString DesktopExecArgument(const QString& path);
