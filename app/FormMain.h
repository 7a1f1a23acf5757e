#pragma once
// TFormMain: the one main window and the state of the running program. It owns the document
// (TPhotoDocument: the photo records in order, the layout, the work folder) and shows its photo
// list in `fileView`, a view whose rows mirror the document's; the document commands, the folders
// and the title bar. Everything runs on the user-interface thread.
//
// Every handler runs through RunHandler: an exception ends the command, its message is shown
// in a message box, and the window stays usable. Long loops show the wait dialog with the main
// window disabled; scope guards close it and enable the window again also when a loop is left
// by an exception. The image export is the one loop that leaves the window enabled: while it
// runs, the commands that would change the photo list are refused.
//
// The window hosts the editor of the "Edit photos" tab (IEditorHost): the editor redraws the
// sheet preview of the "Page Preview" tab and borrows its image for the magnifier. It hosts the
// online services (IOnlineHost) in the same way: they fill the "About" tab, lay the advertising
// column over the window and keep their own state.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QMainWindow>
#include <QStringList>

#include "EditorHost.h"
#include "FastDIB.h"
#include "Icons.h"
#include "OnlineHost.h"
#include "PhotoDocument.h"
#include "Printing.h"
#include "SheetLayout.h"
#include "SheetTexts.h"
#include "Shpora.h"

class IUserPrompts;
class IWaitProtocol;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPrinter;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TEditorPage;
class TForm3;
class TImagePage;
class TOnlineUi;  // online services

class TFormMain : public QMainWindow, public IEditorHost, public IOnlineHost {
  Q_OBJECT

 public:
  // Runs FormCreate. `exePath` is the executable the desktop integration starts.
  explicit TFormMain(IUserPrompts& prompts, const QString& exePath = QString(),
                     QWidget* parent = nullptr);
  ~TFormMain() override;  // FormDestroy

  // The wait dialog, created after the main window; needed before the first long loop.
  void SetWaitDialog(IWaitProtocol& wait) { FormWait = &wait; }
  // The "Export resulted images" dialog, created after the main window; the save menu's
  // exports need it.
  void SetExportDialog(TForm3& form) { Form3 = &form; }
  // The command line after the program name; FormShow opens the first argument.
  QStringList CommandLine;

  // --- State ---
  QString ExeVersion;
  // The last rendered preview sheet, 420 x 594 at 24 bits; the preview image shows a copy.
  QImage SheetBitmap;
  QString AppDataFolder;  // ends with a separator
  QString TitleBase;
  int32_t SheetCount = 0;
  TSheetTexts SheetTexts;     // margin texts of printed sheets, at most 20
  bool FormShowDone = false;  // FormShow has run (it runs once, after the first show)
  // Called before each print job with the copy's number; the program sets none. Tests give
  // each copy's PDF a file of its own.
  TPrintJobHook BeforePrintJob;
  // --- online services: the About tab, the advertising column, the update check, the pings ---
  std::unique_ptr<TOnlineUi> Online;
  // --- end online services ---

  // --- Controls ---
  QTabWidget* LeftTabs = nullptr;  // "About", "Files", "Page Preview"
  QWidget* TabAbout = nullptr;
  QWidget* TabFiles = nullptr;
  QWidget* TabPreview = nullptr;
  QTabWidget* RightTabs = nullptr;  // "How to use", "Edit photos", "WebTab"
  QWidget* TabHowTo = nullptr;
  QWidget* TabEdit = nullptr;
  QWidget* WebTab = nullptr;
  QToolButton* sSpeedButtonRemoveAll = nullptr;
  QToolButton* sSpeedButtonOpen = nullptr;
  QToolButton* sSpeedButtonSave = nullptr;
  QToolButton* sSpeedButtonAdd = nullptr;
  QToolButton* sSpeedButtonRemove = nullptr;
  QToolButton* sSpeedButtonUp = nullptr;
  QToolButton* sSpeedButtonDown = nullptr;
  QToolButton* sSpeedButtonSort = nullptr;
  QToolButton* HowToAddButton = nullptr;  // "Add photos" on the "How to use" page
  QTreeWidget* fileView = nullptr;
  QMenu* MenuSave = nullptr;
  QAction* SaveasTavrolinDocument1 = nullptr;
  QAction* SaveasBMP1 = nullptr;    // "Save as JPGs"
  QAction* SaveasPNG1 = nullptr;    // "Save as PNGs"
  QAction* SaveasPNG2 = nullptr;    // "Save as PDF", disabled
  QAction* SaveaseBook1 = nullptr;  // "Save as eBook", disabled
  // "Page Preview" (sTabSheet4).
  QSpinBox* sSpinRows = nullptr;
  QSpinBox* sSpinColls = nullptr;
  QComboBox* sComboOrder = nullptr;
  QSpinBox* sSpinPageNumber = nullptr;
  QLabel* sLabel14 = nullptr;             // "Total:"
  QLabel* sLabel4 = nullptr;              // the sheet count, or "---"
  QToolButton* sSpeedButton13 = nullptr;  // "Print photocopy"
  TImagePage* ImagePage = nullptr;
  // "Edit photos".
  TEditorPage* Editor = nullptr;

  // --- Life cycle ---
  void FormShow();
  // The close request: true lets the window close (after the list was cleared and WorkFolder
  // removed), false keeps it open with the list unchanged.
  bool FormClose();

  // --- Folders and title ---
  // The document's work folder: empty until first needed; ends with a separator.
  QString WorkFolder() const { return Document.WorkFolder().Path(); }
  void EnsureWorkFolder() { Document.WorkFolder().Ensure(); }
  void RemoveWorkFolder() { Document.WorkFolder().Remove(); }
  // The title bar: TitleBase + " - [" + name + "]".
  void SetDocumentTitle(const QString& documentName);

  // --- Photo list ---
  void AddFilesClick();
  void AddFileList(const QStringList& names);
  void AddPhotoFile(const QString& path);
  void FilesDropped(const QStringList& names);
  void RemoveSelectedClick();
  void RemoveAllClick();
  void ClearDocument();
  void sSpeedButtonUpClick();
  void sSpeedButtonDownClick();
  void sSpeedButtonSortClick();
  void fileViewChange();
  void fileViewClick();
  bool ConfirmSave();

  int PhotoCount() const;
  TShpora* Photo(int row) const;
  QString RowTitle(int row) const;
  QString RowPath(int row) const;  // the second column
  std::vector<int> SelectedRows() const;
  void SelectRows(const std::vector<int>& rows);

  // --- Documents ---
  void sSpeedButtonOpenClick();
  void OnSaveAsTavDoc();
  void OnShowSaveMenu();
  void WriteDocument(const QString& path);
  void OpenDocument(const QString& path);

  // --- Export ---
  void SaveasJPG1Click();
  void SaveasPNG1Click();
  void ExportImages(int32_t format);
  // Whether the commands that change the photo list must be refused now: during a long loop
  // (the window is disabled then) and during an export (it is not).
  bool ListChangesRefused() const override { return Busy() || ExportRunning; }

  // --- Sheets ---
  // The layout controls of the "Page Preview" tab: rows and columns 1..5, the fill order's item
  // index (0 "by rows", 1 "by columns", -1 for none).
  int LayoutRows() const;
  int LayoutColumns() const;
  int LayoutOrder() const;
  TSheetLayout Layout() const;
  // Puts a document's layout into the controls (rows and columns held within 1..5). The caller
  // recomputes the sheets.
  void SetLayout(int rows, int columns, int order);
  void OnPageCountChange();
  void ShowPrintPreview() override;
  void sTabSheet4Show();
  void ImagePageMouseDown(Qt::MouseButton button, int x, int y);
  void ClearSheetTexts();
  void AddSheetText(const QString& text) override;
  // "Print photocopy".
  void PrintDocument();

  // --- Editor ---
  // The photo open in the editor, or none; the list owns it.
  TShpora* CurrentPhoto() const;
  // Opens the editor on the photo, or closes it with none. May throw (a working JPEG that
  // cannot be read).
  void SelectPhoto(TShpora* photo);

  // IEditorHost.
  void ShowOnImagePage(const QImage& picture) override;
  void RestoreImagePage() override;
  void ActivateLeftPage(int index) override;
  void ActivateRightPage(int index) override;
  std::vector<TShpora*> Photos() override;
  void SetMainWindowEnabled(bool enabled) override;
  IWaitProtocol& Wait() override;

  // --- online services: IOnlineHost (Wait, AddSheetText, ListChangesRefused, RunHandler too) ---
  QWidget* AboutTab() override { return TabAbout; }
  QWidget* ClientArea() override { return centralWidget(); }
  int WindowHeight() const override { return height(); }
  void PlaceRightTabs(int left) override;
  void RunBusy(const std::function<void()>& body) override;
  void CloseWindow() override { close(); }
  // --- end online services ---

  // --- Errors ---
  // Runs a handler; an exception ends it and its message is shown in a message box.
  void RunHandler(const std::function<void()>& handler) override;
  void ShowError(const QString& message) override;
  // IEditorHost: an information box with the window's caption.
  void ShowMessage(const QString& message) override;
  // Whether a long loop is running (the main window is disabled meanwhile).
  bool Busy() const { return BusyDepth > 0; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Disables the main window for a long loop and enables it again when the loop ends, however
  // it ends. Close requests and drops are refused meanwhile.
  class TBusyScope {
   public:
    explicit TBusyScope(TFormMain& form);
    ~TBusyScope();
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

   private:
    TFormMain& Form;
  };

  // Runs `body`, then `finish` also when `body` throws; `body`'s exception wins.
  template <typename Body, typename Finish>
  static void RunFinally(Body&& body, Finish&& finish) {
    try {
      body();
    } catch (...) {
      try {
        finish();
      } catch (...) {
      }
      throw;
    }
    finish();
  }
  // Marks an export as running for its length, with the list-changing commands disabled.
  class TExportScope {
   public:
    explicit TExportScope(TFormMain& form);
    ~TExportScope();
    TExportScope(const TExportScope&) = delete;
    TExportScope& operator=(const TExportScope&) = delete;

   private:
    TFormMain& Form;
  };

  void FormCreate(const QString& exePath);
  void CreateControls();
  void CreateFilesTab();
  void CreateSaveMenu();
  void CreatePreviewTab();
  void CreateHowToPage();
  // Enables the list-changing commands, or disables them while an export runs.
  void UpdateListCommands();
  QToolButton* MakeSpeedButton(QWidget* parent, int x, const QString& hint, TButtonIcon icon,
                               void (TFormMain::*handler)());
  void Connect(QToolButton* button, void (TFormMain::*handler)());

  // Shows the save dialog and writes the document; false when the user cancelled the dialog.
  bool SaveDocumentAs();
  // The view's row for the document's row `index`, inserted at the same place.
  void InsertViewRow(int index);
  // Rearranges the view's rows and their selection as the document's were rearranged.
  void ApplyRowOrder(const TRowOrder& order);
  // "Up", "Down" or "Sort by name": the editor is closed, the document rearranges its rows and
  // the view follows.
  void RearrangeRows(TRowOrder (TPhotoDocument::*rearrange)(const std::vector<bool>&));
  // The document's layout from the controls, before it is saved.
  void TakeLayoutFromControls();
  std::vector<bool> SelectionFlags() const;

  IUserPrompts& Prompts;
  // The rows of `fileView` are a view of this document's rows, always in the same order.
  TPhotoDocument Document;
  IWaitProtocol* FormWait = nullptr;
  TForm3* Form3 = nullptr;
  // "Print photocopy" reuses one printer, made on the first print.
  std::unique_ptr<QPrinter> Printer;
  int BusyDepth = 0;
  bool ExportRunning = false;
  bool FormShowQueued = false;
};

// "Tavrolin": the window caption, the first half of TitleBase.
extern const char* const kMainCaption;
