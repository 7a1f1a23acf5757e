#pragma once
// TPhotoDocument: the document the window and the command line work on. The photo list in order
// (each row owns its TShpora record, which owns its working JPEG in the work folder), the sheet
// layout, the reading and writing of .TavDoc files, the lock that keeps a second writer from
// overwriting the document in silence, and the work folder's life. The window's list is a view
// of these rows; the command line uses them as they are. Nothing here knows about widgets:
// long loops report through the wait protocol, and the caller hears of each row through a hook.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "Document.h"
#include "DocumentLock.h"
#include "PhotoOrder.h"
#include "SheetLayout.h"
#include "Shpora.h"
#include "WorkFolder.h"

class IWaitProtocol;

struct TPhotoRow {
  QString Title;         // the file name of a photo, or the title stored in a document
  QString SecondColumn;  // the photo's folder ending in "/", or the document's file name
  std::unique_ptr<TShpora> Photo;
};

// How photos are added.
struct TAddPhotoOptions {
  // Look for the page in every photo imported, on the picture the import holds anyway, and
  // straighten the photo by it when one is found (StraightenWith). Off, the import is the plain
  // one.
  bool StraightenFound = false;
};

class TPhotoDocument {
 public:
  TPhotoDocument() = default;
  // Destroys every record (deleting its working JPEG), then the work folder if it is empty.
  ~TPhotoDocument();
  TPhotoDocument(const TPhotoDocument&) = delete;
  TPhotoDocument& operator=(const TPhotoDocument&) = delete;

  // The layout saved with the document. The window's controls show it; values read from a file
  // are kept as they are (the sheet geometry holds them within its limits).
  TDocumentLayout Layout;

  // --- Rows ---
  int32_t Count() const { return static_cast<int32_t>(Rows.size()); }
  const TPhotoRow& Row(int32_t index) const { return Rows.at(static_cast<size_t>(index)); }
  TShpora* Photo(int32_t index) const;  // null for an index outside the list
  std::vector<TShpora*> Photos() const;
  QStringList Titles() const;
  TSheetLayout SheetLayout() const { return {Layout.Rows, Layout.Columns, Layout.Order}; }
  int32_t SheetCount() const { return ::SheetCount(Count(), SheetLayout()); }

  // --- Adding photos ---
  // Imports one photo, as "Add photos" does for each name: a JPEG (by name) becomes a working
  // JPEG in the work folder and a row before the first row whose second column compares greater
  // than its full path. Returns the new row's index, or -1 for a name that is not a JPEG's (the
  // window skips those silently). Throws when the photo cannot be imported. With
  // StraightenFound, whether a page was found shows in the new photo's Page.HasCorners.
  int32_t AddPhotoFile(const QString& path, const TAddPhotoOptions& options = {});
  // "Add photos" for many names: "Adding files..." under the wait protocol, the names sorted
  // case-insensitively by the system locale, each one through AddPhotoFile. `added` hears of
  // every new row, `skipped` of every name that is not a JPEG's. Stops between photos when the
  // wait protocol stops running (Complete() then says false). Returns how many were added.
  int32_t AddPhotoFiles(const QStringList& names, IWaitProtocol& wait,
                        const std::function<void(int32_t row)>& added = {},
                        const std::function<void(const QString&)>& skipped = {},
                        const TAddPhotoOptions& options = {});

  // --- Removing and ordering ---
  // Removes the rows at `indexes` (ascending), deleting their working JPEGs.
  void RemoveRows(const std::vector<int>& indexes);
  // Removes every row and forgets the document's file (and its lock).
  void Clear();
  // "Up", "Down" and "Sort by name" for the rows flagged in `selected`: the rows are rearranged
  // and the order is returned, so a view can rearrange its own rows and selection the same way.
  TRowOrder MoveUp(const std::vector<bool>& selected);
  TRowOrder MoveDown(const std::vector<bool>& selected);
  TRowOrder SortByTitle(const std::vector<bool>& selected);

  // --- Documents ---
  struct TOpenResult {
    enum { Read, NotDocument, OtherVersion } What = NotDocument;
    int32_t Version = 0;  // the version the file gives, once its magic was read
    // Set when something after the photos could not be used (the page corners of a damaged
    // document): the photos are all there, without what the message names.
    QString Warning;
  };
  struct TOpenHooks {
    // The layout was read, before any photo.
    std::function<void(const TDocumentLayout&)> LayoutRead;
    // A photo's row was appended; its pictures are not made yet (Reload does that).
    std::function<void(int32_t row)> PhotoRead;
  };
  // How a document is opened: the window reads it and holds its lock if nobody else does; a
  // command that will write it back must hold the lock from the start, or fail.
  enum class TLockUse { None, IfFree, Required };
  // Appends the photos of the document at `path` and takes its layout, "Opening NAME..." under
  // the wait protocol with the bar's range limited to what the file can hold. Returns
  // NotDocument for a file too short or of another magic, OtherVersion for a version other than
  // 1 (nothing is read then). A file that cannot be opened, or a short or damaged one, throws;
  // the rows read before the failure stay. Stops between photos when the wait protocol stops.
  // The page corners come after the photos: a row reloaded by PhotoRead whose corners turn out
  // to straighten it is reloaded again once they are read.
  TOpenResult Open(const QString& path, IWaitProtocol& wait, const TOpenHooks& hooks = {},
                   TLockUse lock = TLockUse::IfFree);
  // Reloads the photo of `row` (its preview and cells). The error names the row's title and
  // the document it came from, not the working copy the user never sees.
  void ReloadRow(int32_t row);

  // Writes the document to `path` through a temporary file renamed over it, holding the
  // document's lock: a second writer waits briefly, then fails with a message naming the other
  // process (nothing is written then). The document at `path` becomes this one's file.
  void Save(const QString& path);
  // Takes the lock of the document at `path` before anything is decided about it, for a writer
  // that does not read it first (a new document): waits briefly for another writer, then throws
  // naming it. A later Save to `path` keeps this lock.
  void LockFile(const QString& path);
  // The file the document was last opened from or saved to; empty for a new document.
  const QString& FilePath() const { return Path; }

  // False when the last Open or AddPhotoFiles was stopped before its end.
  bool Complete() const { return LastComplete; }

  // --- The work folder ---
  TWorkFolder& WorkFolder() { return Folder; }
  const TWorkFolder& WorkFolder() const { return Folder; }

  // How long Save and a Required Open wait for another writer (tests shorten it).
  int LockWaitMs = kDocumentLockWaitMs;

 private:
  void ApplyOrder(const TRowOrder& order);
  void ReadPhotos(TDocumentReader& reader, const QString& documentName, IWaitProtocol& wait,
                  const TOpenHooks& hooks);

  // Members in this order: the records go before the folder that holds their files.
  TWorkFolder Folder;
  std::vector<TPhotoRow> Rows;
  QString Path;
  std::unique_ptr<TDocumentLock> Lock;
  bool LastComplete = true;
};
