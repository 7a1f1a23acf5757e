#pragma once
// The work folder: the private per-run folder in the temporary folder that holds every photo's
// working JPEG. It is made on first need, made anew under another name when something removed it
// while the program ran, and removed at the end once its records have deleted their files.
// The temporary folder comes from the environment (TMPDIR), so tests point it at a private place.
#include <cstdint>

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

class TWorkFolder {
 public:
  TWorkFolder() = default;
  // Removes the folder if it is empty: the records, which delete their files, go first.
  ~TWorkFolder() { Remove(); }
  TWorkFolder(const TWorkFolder&) = delete;
  TWorkFolder& operator=(const TWorkFolder&) = delete;

  // The folder, ending with a separator; empty until first needed.
  const QString& Path() const { return Folder; }
  // The folder for a new working file. A cleaner of the temporary folder may have removed it
  // while the program ran: the rows' files went with it, but new photos need a place, so a new
  // private folder is made, never the old name, which someone else may have taken meanwhile.
  // Throws std::runtime_error when no folder can be created.
  const QString& Ensure();
  // Removes the folder if it is empty, and forgets it once it is gone.
  void Remove();

 private:
  QString Folder;
};
