// The document commands of the main window: open and save .TavDoc files, and the save menu's
// image exports.
#include <stdexcept>

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "EditorPage.h"
#include "ExportImages.h"
#include "Form3.h"
#include "FormMain.h"
#include "Prompts.h"
#include "WaitProtocol.h"

namespace {

const char* const kDocumentFilter = "*.TavDoc|*.TavDoc|*.*|*.*";

}  // namespace

void TFormMain::sSpeedButtonOpenClick() {
  if (ListChangesRefused()) return;
  if (!ConfirmSave()) return;
  ClearDocument();
  const QString path = Prompts.OpenFile(this, QStringLiteral("Open Tavrolin Document"),
                                        QLatin1String(kDocumentFilter));
  if (!path.isEmpty()) OpenDocument(path);
}

void TFormMain::OnShowSaveMenu() {
  // 5 pixels below the button's lower left corner.
  MenuSave->popup(sSpeedButtonSave->mapToGlobal(QPoint(0, sSpeedButtonSave->height() + 5)));
}

void TFormMain::SaveasJPG1Click() { ExportImages(ExportJpeg); }

void TFormMain::SaveasPNG1Click() { ExportImages(ExportPng); }

void TFormMain::ExportImages(int32_t format) {
  // One export at a time: the save menu stays reachable while the first one runs.
  if (ListChangesRefused()) return;
  const std::vector<TShpora*> photos = Photos();
  if (photos.empty()) return;
  if (!Form3) throw std::logic_error("The export dialog has not been created");
  // The main window stays usable while the pages are written, but the loop holds the records
  // of the list: nothing may add, remove or reorder rows until it ends.
  const TExportScope exporting(*this);
  ExportImagesCommand(*Form3, Wait(), photos, format);
}

TFormMain::TExportScope::TExportScope(TFormMain& form) : Form(form) {
  Form.ExportRunning = true;
  Form.UpdateListCommands();
}

TFormMain::TExportScope::~TExportScope() {
  Form.ExportRunning = false;
  Form.UpdateListCommands();
}

void TFormMain::UpdateListCommands() {
  const bool enabled = !ExportRunning;
  for (QToolButton* button :
       {sSpeedButtonRemoveAll, sSpeedButtonOpen, sSpeedButtonAdd, sSpeedButtonRemove,
        sSpeedButtonUp, sSpeedButtonDown, sSpeedButtonSort, HowToAddButton}) {
    button->setEnabled(enabled);
  }
  SaveasBMP1->setEnabled(enabled);
  SaveasPNG1->setEnabled(enabled);
  // "Apply to many..." shares the wait dialog with the export.
  Editor->sButtonApply->setEnabled(enabled);
}

void TFormMain::OnSaveAsTavDoc() {
  if (PhotoCount() == 0) return;
  SaveDocumentAs();
}

bool TFormMain::SaveDocumentAs() {
  QString path = Prompts.SaveFile(this, QStringLiteral("Save Tavrolin Document"),
                                  QLatin1String(kDocumentFilter), QStringLiteral("TavDoc"));
  if (path.isEmpty()) return false;
  if (FileExtension(path).isEmpty()) path += QStringLiteral(".TavDoc");
  WriteDocument(path);
  // Only a document that was written names the window.
  SetDocumentTitle(QFileInfo(path).fileName());
  return true;
}

void TFormMain::TakeLayoutFromControls() {
  Document.Layout = {LayoutRows(), LayoutColumns(), LayoutOrder()};
}

void TFormMain::WriteDocument(const QString& path) {
  TakeLayoutFromControls();
  Document.Save(path);
}

void TFormMain::OpenDocument(const QString& path) {
  // The title names the file even when nothing can be read from it.
  SetDocumentTitle(QFileInfo(path).fileName());
  bool suspended = false;
  std::unique_ptr<TBusyScope> busy;
  TPhotoDocument::TOpenHooks hooks;
  hooks.LayoutRead = [&](const TDocumentLayout& layout) {
    fileView->setUpdatesEnabled(false);
    suspended = true;
    SetLayout(layout.Rows, layout.Columns, layout.Order);
    busy = std::make_unique<TBusyScope>(*this);
  };
  hooks.PhotoRead = [&](int32_t row) {
    // The row is in the list before its pictures are made, so a photo that cannot be read
    // stays visible as the row the error names.
    InsertViewRow(row);
    Document.ReloadRow(row);
  };
  // Not a document, or a version we do not know: ignored without a message.
  TPhotoDocument::TOpenResult result;
  RunFinally([&] { result = Document.Open(path, Wait(), hooks, TPhotoDocument::TLockUse::IfFree); },
             [&] {
               busy.reset();
               if (suspended) fileView->setUpdatesEnabled(true);
               SelectPhoto(nullptr);
               OnPageCountChange();
             });
  // Every photo is there; what could not be used after them (page corners) is said once the
  // window is usable again.
  if (!result.Warning.isEmpty()) ShowMessage(result.Warning);
}
