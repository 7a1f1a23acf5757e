#pragma once
// The update check: comparing versions, deciding what a fetched settings text offers, and
// downloading and starting the installer under the wait dialog. The update panel that offers it
// is the window's (app/OnlineUi.h).
#include <functional>

#include <QString>

#include "RemoteSettings.h"
#include "WaitProtocol.h"

// 1 if version a is newer than b, -1 if older, 0 if equal. Only the first four dotted parts
// count; a missing part, or one that is no decimal integer, counts as 0 (1.0 equals 1.0.0.0,
// 1.0.0.2b is older than 1.0.0.1).
int CompareVersions(const QString& a, const QString& b);

enum class TUpdateOffer {
  None,       // nothing to show
  ShowPanel,  // show the window's update panel
  InstallNow  // critical: DownloadAndRunSetup at once, close the window when it succeeds
};
// Only a text fetched in this run offers anything (an old local copy never does), and only a
// version newer than the running one with an installer address.
TUpdateOffer DecideUpdate(const TRemoteSettings& settings, const QString& exeVersion,
                          bool infoFetched);

// The wait dialog of the installer download.
inline const QString kDownloadCaption = QStringLiteral("Please wait...");
// "Downloading Tavrolin 1.0.0.2...".
QString DownloadingText(const QString& remoteVersion);

inline const QString kDefaultSetupName = QStringLiteral("Tavrolin_Setup.exe");
// The installer's local name: the part of the address after its last "/" when that is a plain
// file name; "Tavrolin_Setup.exe" when there is no "/" or the part is empty, "." or "..", so
// nothing is ever written outside the data folder.
QString InstallerFileName(const QString& updateUrl);

// Downloads `url` into `file` under the wait dialog (`caption`, `text`, progress 0 to 100, Cancel
// ends it). True only for a complete download that was not cancelled; the file then replaces
// any earlier one. Nothing is created when the server announces no length or length 0; a
// cancelled, broken or failed download leaves no partial file. Throws std::runtime_error for a
// non-numeric length or when the file cannot be written; the wait dialog is closed in every case.
bool DownloadFileWithProgress(IWaitProtocol& wait, const QString& caption, const QString& text,
                              const QString& url, const QString& file);

// Starts the downloaded installer detached, with the one argument "/silent" and `folder` as its
// working folder, after marking it executable. Returns whether it could be started (the program
// itself does not look at that).
bool StartInstaller(const QString& file, const QString& folder);

struct TSetupDownload {
  QString UpdateUrl;
  QString RemoteVersion;
  QString AppDataFolder;
};
// Downloads the installer into AppDataFolder + InstallerFileName(UpdateUrl) under the wait
// dialog with `enableWindow`(false) meanwhile (and `enableWindow`(true) afterwards, also when an
// error is thrown), then starts it. Returns whether the download succeeded: the caller then
// closes the main window through its close handler.
bool DownloadAndRunSetup(IWaitProtocol& wait, const TSetupDownload& setup,
                         const std::function<void(bool)>& enableWindow);
