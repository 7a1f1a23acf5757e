#pragma once
// TFormMain: the one main window and the state of the running program. It owns the photo list
// (each row owns its TShpora record, which owns its working JPEG in WorkFolder), the document
// commands, the folders and the title bar. Everything runs on the user-interface thread.
//
// Every handler runs through RunHandler: an exception ends the command, its message is shown
// in a message box, and the window stays usable. Long loops show the wait dialog with the main
// window disabled; scope guards close it and enable the window again also when a loop is left
// by an exception.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QMainWindow>
#include <QStringList>

#include "Document.h"
#include "FastDIB.h"
#include "Icons.h"
#include "PhotoOrder.h"
#include "Shpora.h"

class IUserPrompts;
class IWaitProtocol;
class QMenu;
class QAction;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class TFormMain : public QMainWindow {
  Q_OBJECT

 public:
  // Runs FormCreate. `exePath` is the executable the desktop integration starts.
  explicit TFormMain(IUserPrompts& prompts, const QString& exePath = QString(),
                     QWidget* parent = nullptr);
  ~TFormMain() override;  // FormDestroy

  // The wait dialog, created after the main window; needed before the first long loop.
  void SetWaitDialog(IWaitProtocol& wait) { FormWait = &wait; }
  // The command line after the program name; FormShow opens the first argument.
  QStringList CommandLine;

  // --- State ---
  bool FirstRunOfVersion = false;
  bool InfoFetched = false;
  QString RemoteVersion;
  QString ExeVersion;
  QString UpdateUrl;
  QString InfoCacheFile;
  bool UpdateCritical = false;
  bool AdsEnabled = false;
  std::unique_ptr<TFastDIB> SheetBitmap;
  std::unique_ptr<TFastDIB> ZoomBitmap;
  QString WorkFolder;     // empty until first needed; ends with a separator
  QString AppDataFolder;  // ends with a separator
  QString TitleBase;
  QString InfoText;
  int32_t SheetCount = 0;
  TShpora* CurrentPhoto = nullptr;  // the list owns it
  QStringList SheetTexts;           // margin texts of printed sheets, at most 20
  bool FormShowDone = false;        // FormShow has run (it runs once, after the first show)

  // --- Controls ---
  QTabWidget* LeftTabs = nullptr;   // "About", "Files", "Page Preview"
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

  // --- Life cycle ---
  void FormShow();
  // The close request: true lets the window close (after the list was cleared and WorkFolder
  // removed), false keeps it open with the list unchanged.
  bool FormClose();

  // --- Folders and title ---
  void EnsureWorkFolder();
  void RemoveWorkFolder();
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

  // --- Sheets and editor (filled in by their own steps) ---
  // The sheet layout held until the layout controls exist: rows and columns 1..5, the fill
  // order's item index (0 "by rows", 1 "by columns", -1 for none).
  int LayoutRows() const { return Rows; }
  int LayoutColumns() const { return Columns; }
  int LayoutOrder() const { return Order; }
  void SetLayout(int rows, int columns, int order);
  void OnPageCountChange();
  void SelectPhoto(TShpora* photo);

  // --- Errors ---
  // Runs a handler; an exception ends it and its message is shown in a message box.
  void RunHandler(const std::function<void()>& handler);
  void ShowError(const QString& message);
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
  IWaitProtocol& Wait() const;

  void FormCreate(const QString& exePath);
  void CreateControls();
  void CreateFilesTab();
  void CreateHowToPage();
  QToolButton* MakeSpeedButton(QWidget* parent, int x, const QString& hint, TButtonIcon icon,
                               void (TFormMain::*handler)());
  void Connect(QToolButton* button, void (TFormMain::*handler)());

  // Shows the save dialog and writes the document; false when the user cancelled the dialog.
  bool SaveDocumentAs();
  void ReadDocumentPhotos(TDocumentReader& reader, const QString& documentName);
  void ReadDocumentPhoto(TDocumentReader& reader, const QString& documentName);
  void InsertRow(int index, const QString& title, const QString& path,
                 std::unique_ptr<TShpora> photo);
  void RemoveRow(int index);
  // Rebuilds the list in a new order; rows keep their records.
  void ApplyRowOrder(const TRowOrder& order);
  std::vector<bool> SelectionFlags() const;

  IUserPrompts& Prompts;
  IWaitProtocol* FormWait = nullptr;
  int Rows = 4;
  int Columns = 4;
  int Order = 0;
  int BusyDepth = 0;
  bool FormShowQueued = false;
};

// "Tavrolin": the window caption, the first half of TitleBase.
extern const char* const kMainCaption;
