#include "CliDocument.h"

#include <stdexcept>

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "Folders.h"
#include "PhotoOrder.h"
#include "WaitProtocol.h"

namespace {

QString FolderOf(const QFileInfo& info) {
  QString folder = info.absolutePath();
  if (!folder.endsWith(u'/')) folder += u'/';
  return folder;
}

}  // namespace

TCliDocument::~TCliDocument() {
  // Records first: each deletes its working JPEG, and only an empty folder is removed.
  while (!Rows.empty()) Rows.pop_back();
  if (!WorkFolder.isEmpty()) RemoveFolderIfEmpty(WorkFolder);
}

void TCliDocument::EnsureWorkFolder() {
  if (WorkFolder.isEmpty()) WorkFolder = CreatePrivateWorkFolder(TempFolder(), TickCount());
}

std::vector<TShpora*> TCliDocument::Photos() const {
  std::vector<TShpora*> photos;
  photos.reserve(Rows.size());
  for (const TCliRow& row : Rows) photos.push_back(row.Photo.get());
  return photos;
}

int32_t TCliDocument::SheetCount() const { return ::SheetCount(PhotoCount(), SheetLayout()); }

void TCliDocument::Open(const QString& path, IWaitProtocol& wait) {
  LastComplete = true;
  const QString name = QFileInfo(path).fileName();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw NamedError(path, OpenErrorText(path, file));
  TDocumentReader reader(file);
  if (!reader.ReadMagic()) throw NamedError(path, QStringLiteral("not a Tavrolin document"));
  const int32_t version = reader.ReadInt32();
  if (version != kDocumentVersion) {
    throw NamedError(path, QStringLiteral("document version %1 is not supported").arg(version));
  }
  EnsureWorkFolder();
  Layout = reader.ReadLayout();
  const int32_t count = reader.ReadCount();
  // The bar's range is what the file can hold, so that a forged count cannot stretch it.
  const TWaitScope scope(wait, QStringLiteral("Please wait..."),
                         QStringLiteral("Opening ") + name + QStringLiteral("..."), 1,
                         reader.MaxPhotosLeft(count));
  for (int64_t i = 1; i <= count; ++i) {
    wait.SetProgress(static_cast<int>(i));
    if (!wait.Running()) {
      LastComplete = false;
      break;
    }
    ReadPhoto(reader, name);
  }
}

void TCliDocument::ReadPhoto(TDocumentReader& reader, const QString& documentName) {
  QString title;
  std::unique_ptr<TShpora> photo = ReadDocumentPhoto(reader, WorkFolder, title);
  Rows.push_back({title, documentName, std::move(photo)});
}

int32_t TCliDocument::AddPhotoFiles(const QStringList& names, IWaitProtocol& wait,
                                    const std::function<void(const QString&)>& skipped) {
  LastComplete = true;
  if (names.isEmpty()) return 0;
  const TWaitScope scope(wait, QStringLiteral("Please wait..."), QStringLiteral("Adding files..."),
                         0, static_cast<int>(names.size()));
  const QStringList sorted = SortedForAdding(names, QLocale::system());
  int32_t added = 0;
  for (qsizetype i = 0; i < sorted.size(); ++i) {
    wait.SetProgress(static_cast<int>(i));
    if (!wait.Running()) {
      LastComplete = false;
      break;
    }
    const QString& path = sorted[i];
    if (!IsJpegName(path)) {
      if (skipped) skipped(path);
      continue;
    }
    const QFileInfo info(path);
    QStringList secondColumns;
    for (const TCliRow& row : Rows) secondColumns << row.SecondColumn;
    const int place = InsertionPlace(secondColumns, info.absoluteFilePath());
    EnsureWorkFolder();
    std::unique_ptr<TShpora> photo = TShpora::CreateFromPhoto(path, WorkFolder);
    Rows.insert(Rows.begin() + place, TCliRow{info.fileName(), FolderOf(info), std::move(photo)});
    ++added;
  }
  return added;
}

void TCliDocument::Save(const QString& path) const {
  std::vector<TDocumentEntry> entries;
  entries.reserve(Rows.size());
  for (const TCliRow& row : Rows) entries.push_back({row.Photo.get(), row.Title, row.Photo->WorkFile});
  SaveDocumentFile(path, Layout, entries);
}
