#include "PhotoDocument.h"

#include <stdexcept>

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include "CropRules.h"
#include "PageFind.h"
#include "WaitProtocol.h"

namespace {

QString FolderOf(const QFileInfo& info) {
  QString folder = info.absolutePath();
  if (!folder.endsWith(u'/')) folder += u'/';
  return folder;
}

bool SameFile(const QString& a, const QString& b) {
  return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

}  // namespace

TPhotoDocument::~TPhotoDocument() {
  // Records first: each deletes its working JPEG, and only an empty folder is removed.
  while (!Rows.empty()) Rows.pop_back();
  Folder.Remove();
}

TShpora* TPhotoDocument::Photo(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return Rows[static_cast<size_t>(index)].Photo.get();
}

std::vector<TShpora*> TPhotoDocument::Photos() const {
  std::vector<TShpora*> photos;
  photos.reserve(Rows.size());
  for (const TPhotoRow& row : Rows) photos.push_back(row.Photo.get());
  return photos;
}

QStringList TPhotoDocument::Titles() const {
  QStringList titles;
  titles.reserve(Count());
  for (const TPhotoRow& row : Rows) titles << row.Title;
  return titles;
}

int32_t TPhotoDocument::AddPhotoFile(const QString& path, const TAddPhotoOptions& options) {
  if (!IsJpegName(path)) return -1;
  const QFileInfo info(path);
  QStringList secondColumns;
  secondColumns.reserve(Count());
  for (const TPhotoRow& row : Rows) secondColumns << row.SecondColumn;
  const int place = InsertionPlace(secondColumns, info.absoluteFilePath());
  TImportHook findPage;
  if (options.StraightenFound) {
    findPage = [](const TFastDIB& picture, TShporaData& record) {
      const TPageFindResult found = FindPage(picture);
      if (found.Found()) StraightenWith(record, found.Corners);
    };
  }
  std::unique_ptr<TShpora> photo = TShpora::CreateFromPhoto(path, Folder.Ensure(), findPage);
  Rows.insert(Rows.begin() + place, TPhotoRow{info.fileName(), FolderOf(info), std::move(photo)});
  return place;
}

int32_t TPhotoDocument::AddPhotoFiles(const QStringList& names, IWaitProtocol& wait,
                                      const std::function<void(int32_t)>& added,
                                      const std::function<void(const QString&)>& skipped,
                                      const TAddPhotoOptions& options) {
  LastComplete = true;
  if (names.isEmpty()) return 0;
  const TWaitScope scope(wait, QStringLiteral("Please wait..."), QStringLiteral("Adding files..."),
                         0, static_cast<int>(names.size()));
  const QStringList sorted = SortedForAdding(names, QLocale::system());
  int32_t count = 0;
  for (qsizetype i = 0; i < sorted.size(); ++i) {
    wait.SetProgress(static_cast<int>(i));
    if (!wait.Running()) {
      LastComplete = false;
      break;
    }
    const int32_t row = AddPhotoFile(sorted[i], options);
    if (row < 0) {
      if (skipped) skipped(sorted[i]);
      continue;
    }
    ++count;
    if (added) added(row);
  }
  return count;
}

void TPhotoDocument::RemoveRows(const std::vector<int>& indexes) {
  for (auto index = indexes.rbegin(); index != indexes.rend(); ++index) {
    if (*index >= 0 && *index < Count()) Rows.erase(Rows.begin() + *index);
  }
}

void TPhotoDocument::Clear() {
  while (!Rows.empty()) Rows.pop_back();
  Lock.reset();
  Path.clear();
}

void TPhotoDocument::ApplyOrder(const TRowOrder& order) {
  std::vector<TPhotoRow> rows;
  rows.reserve(Rows.size());
  for (const TRowState& row : order) rows.push_back(std::move(Rows[static_cast<size_t>(row.Row)]));
  Rows = std::move(rows);
}

TRowOrder TPhotoDocument::MoveUp(const std::vector<bool>& selected) {
  TRowOrder order = MoveSelectedUp(MakeRowOrder(selected));
  ApplyOrder(order);
  return order;
}

TRowOrder TPhotoDocument::MoveDown(const std::vector<bool>& selected) {
  TRowOrder order = MoveSelectedDown(MakeRowOrder(selected));
  ApplyOrder(order);
  return order;
}

TRowOrder TPhotoDocument::SortByTitle(const std::vector<bool>& selected) {
  TRowOrder order = ::SortByTitle(MakeRowOrder(selected), Titles());
  ApplyOrder(order);
  return order;
}

TPhotoDocument::TOpenResult TPhotoDocument::Open(const QString& path, IWaitProtocol& wait,
                                                 const TOpenHooks& hooks, TLockUse lock) {
  LastComplete = true;
  TOpenResult result;
  // The lock comes before the file is opened: a writer that renames a new version into place
  // meanwhile would otherwise leave us reading the old one and writing our change over theirs.
  auto fileLock = std::make_unique<TDocumentLock>(path);
  if (lock == TLockUse::Required) fileLock->Take(LockWaitMs);
  if (lock == TLockUse::IfFree) fileLock->TryTake();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw NamedError(path, OpenErrorText(path, file));
  TDocumentReader reader(file);
  if (!reader.ReadMagic()) return result;
  Folder.Ensure();
  result.Version = reader.ReadInt32();
  if (result.Version != kDocumentVersion) {
    result.What = TOpenResult::OtherVersion;
    return result;
  }
  result.What = TOpenResult::Read;
  if (lock != TLockUse::None) {
    Lock = std::move(fileLock);
    Path = path;
  }
  const int32_t first = Count();
  ReadPhotos(reader, QFileInfo(path).fileName(), wait, hooks);
  // A stopped reading never reached the blocks after the photos.
  if (!LastComplete) return result;
  const TDocumentExtras extras = ReadDocumentExtras(reader, Count() - first);
  if (!extras.Problem.isEmpty())
    result.Warning = QStringLiteral("%1: %2; the photos open without their page corners")
                         .arg(QFileInfo(path).fileName(), extras.Problem);
  for (const TDocumentExtras::TPageEntry& entry : extras.Pages) {
    const int32_t row = first + entry.Photo;
    TShpora& photo = *Rows[static_cast<size_t>(row)].Photo;
    photo.Page = entry.Page;
    // Made by PhotoRead before the corners were known.
    if (photo.Preview && photo.Page.Straightened()) ReloadRow(row);
  }
  return result;
}

void TPhotoDocument::ReadPhotos(TDocumentReader& reader, const QString& documentName,
                                IWaitProtocol& wait, const TOpenHooks& hooks) {
  Layout = reader.ReadLayout();
  if (hooks.LayoutRead) hooks.LayoutRead(Layout);
  const int32_t count = reader.ReadCount();
  // The bar's range is what the file can hold, so that a forged count cannot stretch it.
  const TWaitScope scope(wait, QStringLiteral("Please wait..."),
                         QStringLiteral("Opening ") + documentName + QStringLiteral("..."), 1,
                         reader.MaxPhotosLeft(count));
  for (int64_t i = 1; i <= count; ++i) {
    wait.SetProgress(static_cast<int>(i));
    if (!wait.Running()) {
      LastComplete = false;
      break;
    }
    QString title;
    std::unique_ptr<TShpora> photo = ReadDocumentPhoto(reader, Folder.Path(), title);
    Rows.push_back({title, documentName, std::move(photo)});
    if (hooks.PhotoRead) hooks.PhotoRead(Count() - 1);
  }
}

void TPhotoDocument::ReloadRow(int32_t row) {
  const TPhotoRow& r = Row(row);
  try {
    r.Photo->Reload(false);
  } catch (const std::exception& e) {
    // The decoder names the working copy, which the user never sees; the row's title they do.
    throw std::runtime_error(QStringLiteral("%1 (in %2): %3")
                                 .arg(r.Title, r.SecondColumn, QString::fromUtf8(e.what()))
                                 .toStdString());
  }
}

void TPhotoDocument::LockFile(const QString& path) {
  auto lock = std::make_unique<TDocumentLock>(path);
  lock->Take(LockWaitMs);
  Lock = std::move(lock);
}

void TPhotoDocument::Save(const QString& path) {
  std::unique_ptr<TDocumentLock> newLock;
  if (!Lock || !SameFile(Lock->DocumentPath(), path) || !Lock->Held()) {
    newLock = std::make_unique<TDocumentLock>(path);
    newLock->Take(LockWaitMs);
  }
  std::vector<TDocumentEntry> entries;
  entries.reserve(Rows.size());
  for (const TPhotoRow& row : Rows)
    entries.push_back({row.Photo.get(), row.Title, row.Photo->WorkFile});
  SaveDocumentFile(path, Layout, entries);
  if (newLock) Lock = std::move(newLock);
  Path = path;
}
