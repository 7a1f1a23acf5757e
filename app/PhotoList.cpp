// The photo list of the main window: adding, removing, reordering and the save prompt. Every
// command that changes the list is refused while an export runs over it.
#include <QFileInfo>
#include <QLocale>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>

#include "EditorPage.h"
#include "FormMain.h"
#include "PhotoOrder.h"
#include "Prompts.h"
#include "WaitProtocol.h"

namespace {

// A row owns its photo record; moving the row moves the record with it, never a copy.
class TPhotoItem : public QTreeWidgetItem {
 public:
  TPhotoItem(const QString& title, const QString& path, std::unique_ptr<TShpora> photo)
      : QTreeWidgetItem(QStringList{title, path}), Photo(std::move(photo)) {}
  std::unique_ptr<TShpora> Photo;
};

QString FolderOf(const QFileInfo& info) {
  QString folder = info.absolutePath();
  if (!folder.endsWith(u'/')) folder += u'/';
  return folder;
}

const char* const kPhotoFilter = "*.jpg|*.jpg|*.*|*.*";

}  // namespace

int TFormMain::PhotoCount() const { return fileView->topLevelItemCount(); }

TShpora* TFormMain::Photo(int row) const {
  auto* item = static_cast<TPhotoItem*>(fileView->topLevelItem(row));
  return item ? item->Photo.get() : nullptr;
}

QString TFormMain::RowTitle(int row) const { return fileView->topLevelItem(row)->text(0); }

QString TFormMain::RowPath(int row) const { return fileView->topLevelItem(row)->text(1); }

std::vector<bool> TFormMain::SelectionFlags() const {
  std::vector<bool> flags(PhotoCount());
  for (int i = 0; i < PhotoCount(); ++i) flags[i] = fileView->topLevelItem(i)->isSelected();
  return flags;
}

std::vector<int> TFormMain::SelectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < PhotoCount(); ++i) {
    if (fileView->topLevelItem(i)->isSelected()) rows.push_back(i);
  }
  return rows;
}

void TFormMain::SelectRows(const std::vector<int>& rows) {
  fileView->clearSelection();
  for (int row : rows) {
    if (QTreeWidgetItem* item = fileView->topLevelItem(row)) item->setSelected(true);
  }
}

void TFormMain::InsertRow(int index, const QString& title, const QString& path,
                          std::unique_ptr<TShpora> photo) {
  fileView->insertTopLevelItem(index, new TPhotoItem(title, path, std::move(photo)));
}

void TFormMain::RemoveRow(int index) { delete fileView->takeTopLevelItem(index); }

void TFormMain::ApplyRowOrder(const TRowOrder& order) {
  const QSignalBlocker block(fileView);
  const QList<QTreeWidgetItem*> items = fileView->invisibleRootItem()->takeChildren();
  for (const TRowState& row : order) fileView->addTopLevelItem(items[row.Row]);
  for (const TRowState& row : order) items[row.Row]->setSelected(row.Selected);
}

void TFormMain::AddFilesClick() {
  if (ListChangesRefused()) return;
  const QStringList names =
      Prompts.OpenFiles(this, QStringLiteral("Add photos"), QLatin1String(kPhotoFilter));
  if (!names.isEmpty()) AddFileList(names);
}

void TFormMain::AddFileList(const QStringList& names) {
  if (ListChangesRefused()) return;
  if (names.isEmpty()) return;
  const TWaitScope wait(Wait(), QStringLiteral("Please wait..."), QStringLiteral("Adding files..."),
                        0, static_cast<int>(names.size()));
  const TBusyScope busy(*this);
  const QStringList sorted = SortedForAdding(names, QLocale::system());
  RunFinally(
      [&] {
        for (int i = 0; i < sorted.size(); ++i) {
          wait.Wait.SetProgress(i);
          if (!wait.Wait.Running()) break;
          AddPhotoFile(sorted[i]);
        }
      },
      [&] { OnPageCountChange(); });
}

void TFormMain::AddPhotoFile(const QString& path) {
  if (!IsJpegName(path)) return;
  const QFileInfo info(path);
  QStringList secondColumns;
  for (int i = 0; i < PhotoCount(); ++i) secondColumns << RowPath(i);
  const int place = InsertionPlace(secondColumns, info.absoluteFilePath());
  EnsureWorkFolder();
  std::unique_ptr<TShpora> photo = TShpora::CreateFromPhoto(path, WorkFolder);
  InsertRow(place, info.fileName(), FolderOf(info), std::move(photo));
}

void TFormMain::FilesDropped(const QStringList& names) {
  if (ListChangesRefused()) return;
  // One document opens and joins the list without a prompt; anything else is taken as photos.
  if (names.size() == 1 && IsDocumentName(names.constFirst())) {
    OpenDocument(names.constFirst());
    return;
  }
  AddFileList(names);
}

void TFormMain::RemoveSelectedClick() {
  if (ListChangesRefused()) return;
  SelectPhoto(nullptr);
  const std::vector<int> selected = SelectedRows();
  const int first = selected.empty() ? -1 : selected.front();
  {
    // One change notification at the end instead of one per deleted row.
    const QSignalBlocker block(fileView);
    for (auto row = selected.rbegin(); row != selected.rend(); ++row) RemoveRow(*row);
    fileView->clearSelection();
    const int index = SelectionAfterRemoval(first, PhotoCount());
    if (index >= 0) {
      fileView->setCurrentItem(fileView->topLevelItem(index));
      fileView->topLevelItem(index)->setSelected(true);
    }
  }
  fileViewChange();
  OnPageCountChange();
}

void TFormMain::RemoveAllClick() {
  if (ListChangesRefused()) return;
  if (ConfirmSave()) ClearDocument();
}

void TFormMain::ClearDocument() {
  SelectPhoto(nullptr);
  RightTabs->setCurrentWidget(TabHowTo);
  {
    const QSignalBlocker block(fileView);
    for (int row = PhotoCount() - 1; row >= 0; --row) RemoveRow(row);
    fileView->clearSelection();
  }
  SetDocumentTitle(QStringLiteral("New document"));
  OnPageCountChange();
}

void TFormMain::sSpeedButtonUpClick() {
  if (ListChangesRefused()) return;
  SelectPhoto(nullptr);
  fileView->setUpdatesEnabled(false);
  ApplyRowOrder(MoveSelectedUp(MakeRowOrder(SelectionFlags())));
  fileView->setUpdatesEnabled(true);
  fileViewChange();
}

void TFormMain::sSpeedButtonDownClick() {
  if (ListChangesRefused()) return;
  SelectPhoto(nullptr);
  fileView->setUpdatesEnabled(false);
  ApplyRowOrder(MoveSelectedDown(MakeRowOrder(SelectionFlags())));
  fileView->setUpdatesEnabled(true);
  fileViewChange();
}

void TFormMain::sSpeedButtonSortClick() {
  if (ListChangesRefused()) return;
  SelectPhoto(nullptr);
  QStringList titles;
  for (int i = 0; i < PhotoCount(); ++i) titles << RowTitle(i);
  fileView->setUpdatesEnabled(false);
  ApplyRowOrder(SortByTitle(MakeRowOrder(SelectionFlags()), titles));
  fileView->setUpdatesEnabled(true);
  fileViewChange();
}

void TFormMain::fileViewChange() { fileViewClick(); }

void TFormMain::fileViewClick() {
  // Cleared first, so that SelectPhoto never meets a record that was destroyed meanwhile; the
  // photo shown before keeps its full picture.
  Editor->ClearCurrentPhoto();
  const std::vector<int> selected = SelectedRows();
  if (!selected.empty()) SelectPhoto(Photo(selected.front()));
}

bool TFormMain::ConfirmSave() {
  if (PhotoCount() == 0) return true;
  switch (Prompts.Message(this, QStringLiteral("Confirmation"),
                          QStringLiteral("Project is changed. Do you want to save changes?"),
                          IUserPrompts::Buttons::YesNoCancel, IUserPrompts::Icon::Question)) {
    case IUserPrompts::Answer::No:
      return true;
    case IUserPrompts::Answer::Yes:
      return SaveDocumentAs();
    default:
      return false;
  }
}
