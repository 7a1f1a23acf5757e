// The photo list of the main window, a view of the document's rows: adding, removing,
// reordering and the save prompt. The document does the work; the view follows it row for row
// and keeps the selection. Every command that changes the list is refused while an export runs
// over it.
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeWidget>

#include "EditorPage.h"
#include "FormMain.h"
#include "Prompts.h"
#include "WaitProtocol.h"

namespace {

const char* const kPhotoFilter = "*.jpg|*.jpg|*.*|*.*";

}  // namespace

int TFormMain::PhotoCount() const { return Document.Count(); }

TShpora* TFormMain::Photo(int row) const { return Document.Photo(row); }

QString TFormMain::RowTitle(int row) const { return Document.Row(row).Title; }

QString TFormMain::RowPath(int row) const { return Document.Row(row).SecondColumn; }

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

void TFormMain::InsertViewRow(int index) {
  const TPhotoRow& row = Document.Row(index);
  fileView->insertTopLevelItem(index,
                               new QTreeWidgetItem(QStringList{row.Title, row.SecondColumn}));
}

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
  const TBusyScope busy(*this);
  RunFinally(
      [&] { Document.AddPhotoFiles(names, Wait(), [this](int32_t row) { InsertViewRow(row); }); },
      [&] { OnPageCountChange(); });
}

void TFormMain::AddPhotoFile(const QString& path) {
  const int32_t row = Document.AddPhotoFile(path);
  if (row >= 0) InsertViewRow(row);
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
    Document.RemoveRows(selected);
    for (auto row = selected.rbegin(); row != selected.rend(); ++row) {
      delete fileView->takeTopLevelItem(*row);
    }
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
    Document.Clear();
    fileView->clear();
  }
  SetDocumentTitle(QStringLiteral("New document"));
  OnPageCountChange();
}

void TFormMain::RearrangeRows(TRowOrder (TPhotoDocument::*rearrange)(const std::vector<bool>&)) {
  if (ListChangesRefused()) return;
  SelectPhoto(nullptr);
  fileView->setUpdatesEnabled(false);
  ApplyRowOrder((Document.*rearrange)(SelectionFlags()));
  fileView->setUpdatesEnabled(true);
  fileViewChange();
}

void TFormMain::sSpeedButtonUpClick() { RearrangeRows(&TPhotoDocument::MoveUp); }

void TFormMain::sSpeedButtonDownClick() { RearrangeRows(&TPhotoDocument::MoveDown); }

void TFormMain::sSpeedButtonSortClick() { RearrangeRows(&TPhotoDocument::SortByTitle); }

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
