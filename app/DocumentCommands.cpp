// The document commands of the main window: open and save .TavDoc files, and the save menu's
// image exports.
#include <stdexcept>

#include <QAction>
#include <QPushButton>

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>

#include "Document.h"
#include "EditorPage.h"
#include "ExportImages.h"
#include "Form3.h"
#include "FormMain.h"
#include "PhotoOrder.h"
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
  for (QToolButton* button : {sSpeedButtonRemoveAll, sSpeedButtonOpen, sSpeedButtonAdd,
                              sSpeedButtonRemove, sSpeedButtonUp, sSpeedButtonDown,
                              sSpeedButtonSort, HowToAddButton}) {
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

void TFormMain::WriteDocument(const QString& path) {
  std::vector<TDocumentEntry> entries;
  entries.reserve(PhotoCount());
  for (int i = 0; i < PhotoCount(); ++i) {
    entries.push_back({Photo(i), RowTitle(i), Photo(i)->WorkFile});
  }
  SaveDocumentFile(path, {LayoutRows(), LayoutColumns(), LayoutOrder()}, entries);
}

void TFormMain::OpenDocument(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  // The title names the file even when nothing can be read from it.
  SetDocumentTitle(name);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw NamedError(path, OpenErrorText(path, file));
  TDocumentReader reader(file);
  bool suspended = false;
  RunFinally(
      [&] {
        // Not a document, or a version we do not know: ignored without a message.
        if (!reader.ReadMagic()) return;
        EnsureWorkFolder();
        const int32_t version = reader.ReadInt32();
        fileView->setUpdatesEnabled(false);
        suspended = true;
        if (version == kDocumentVersion) ReadDocumentPhotos(reader, name);
      },
      [&] {
        file.close();
        if (suspended) fileView->setUpdatesEnabled(true);
        SelectPhoto(nullptr);
        OnPageCountChange();
      });
}

void TFormMain::ReadDocumentPhotos(TDocumentReader& reader, const QString& documentName) {
  const TDocumentLayout layout = reader.ReadLayout();
  SetLayout(layout.Rows, layout.Columns, layout.Order);
  const int32_t count = reader.ReadCount();
  // The bar's range is what the file can hold, so that a forged count cannot stretch it.
  const TWaitScope wait(Wait(), QStringLiteral("Please wait..."),
                        QStringLiteral("Opening ") + documentName + QStringLiteral("..."), 1,
                        reader.MaxPhotosLeft(count));
  const TBusyScope busy(*this);
  for (int64_t i = 1; i <= count; ++i) {
    wait.Wait.SetProgress(static_cast<int>(i));
    if (!wait.Wait.Running()) break;
    ReadDocumentPhoto(reader, documentName);
  }
}

void TFormMain::ReadDocumentPhoto(TDocumentReader& reader, const QString& documentName) {
  QString title;
  std::unique_ptr<TShpora> photo = ::ReadDocumentPhoto(reader, WorkFolder, title);
  TShpora* added = photo.get();
  InsertRow(PhotoCount(), title, documentName, std::move(photo));
  try {
    added->Reload(false);
  } catch (const std::exception& e) {
    // The decoder names the working copy, which the user never sees; the row's title they do.
    throw std::runtime_error(QStringLiteral("%1 (in %2): %3")
                                 .arg(title, documentName, QString::fromUtf8(e.what()))
                                 .toStdString());
  }
}
