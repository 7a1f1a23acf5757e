#pragma once
// The photo list of the command line: the same rows as the window's list (title, second column,
// photo record) without a widget around them, filled by the window's rules. Photos come in
// through the import the window uses, documents through TDocumentReader and leave through the
// window's safe save. The reading loop is the window's, step for step; only the window's list
// and wait dialog are replaced.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "Document.h"
#include "SheetLayout.h"
#include "Shpora.h"

class IWaitProtocol;

struct TCliRow {
  QString Title;         // the file name of a photo, or the title stored in a document
  QString SecondColumn;  // the photo's folder ending in "/", or the document's file name
  std::unique_ptr<TShpora> Photo;
};

class TCliDocument {
 public:
  TCliDocument() = default;
  // Destroys every record (deleting its working JPEG), then the work folder if it is empty.
  ~TCliDocument();
  TCliDocument(const TCliDocument&) = delete;
  TCliDocument& operator=(const TCliDocument&) = delete;

  TDocumentLayout Layout;
  std::vector<TCliRow> Rows;

  // Appends the photos of the document at `path`, as opening a document in the window does, and
  // takes its layout. Pictures are not decoded here: whoever draws or exports a photo rebuilds
  // them from its working JPEG. A file that is not a document, or of another version, is an
  // error here (the window ignores it silently; a command must say why it did nothing).
  // Stops between photos when the wait protocol stops running; `Complete()` then says false.
  void Open(const QString& path, IWaitProtocol& wait);

  // Adds photos as the window's "Add photos" does: the names sorted case-insensitively by the
  // locale, each JPEG (by name) imported and inserted before the first row whose second column
  // compares greater than its full path. Other names are skipped and handed to `skipped`.
  // Returns how many photos were added. Stops between photos when the wait protocol stops.
  int32_t AddPhotoFiles(const QStringList& names, IWaitProtocol& wait,
                        const std::function<void(const QString&)>& skipped = {});

  // Writes the document through the window's safe save: a temporary file renamed over `path`.
  void Save(const QString& path) const;

  std::vector<TShpora*> Photos() const;
  int32_t PhotoCount() const { return static_cast<int32_t>(Rows.size()); }
  TSheetLayout SheetLayout() const { return {Layout.Rows, Layout.Columns, Layout.Order}; }
  int32_t SheetCount() const;
  // False when the last Open or AddPhotoFiles was stopped before its end.
  bool Complete() const { return LastComplete; }

 private:
  void EnsureWorkFolder();
  void ReadPhoto(TDocumentReader& reader, const QString& documentName);

  QString WorkFolder;  // empty until first needed; ends with a separator
  bool LastComplete = true;
};
