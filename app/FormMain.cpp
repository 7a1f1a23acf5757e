#include "FormMain.h"

#include <algorithm>
#include <clocale>
#include <new>
#include <stdexcept>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "EditorPage.h"
#include "Folders.h"
#include "OnlineUi.h"  // online services
#include "Prompts.h"
#include "ShellIntegration.h"
#include "Site.h"
#include "WaitProtocol.h"

const char* const kMainCaption = "Tavrolin";

namespace {

// The window without the advertising column: the right tab control sits just right of the left
// one. The column joins with the online services and widens the window then.
constexpr int kClientWidth = 872;
constexpr int kClientHeight = 699;
constexpr int kTabHeight = 700;
constexpr int kLeftTabsWidth = 434;
constexpr int kRightTabsLeft = 437;
constexpr int kRightTabsWidth = 433;
constexpr int kButtonWidth = 49;
constexpr int kButtonHeight = 57;
constexpr int kButtonTop = 8;
// The window's frame belongs to the window manager here, so the client is as wide as the tabs
// reach plus the same 2-pixel margin that the advertising column keeps on its other side.
constexpr int kClientRightMargin = 2;

QLabel* HowToHeading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSize(font.pointSize() + 2);
  label->setFont(font);
  label->setWordWrap(true);
  label->setContentsMargins(0, 10, 0, 2);
  return label;
}

QLabel* HowToText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setContentsMargins(12, 2, 0, 2);
  return label;
}

}  // namespace

TFormMain::TBusyScope::TBusyScope(TFormMain& form) : Form(form) {
  Form.setEnabled(false);
  ++Form.BusyDepth;
}

TFormMain::TBusyScope::~TBusyScope() {
  if (--Form.BusyDepth == 0) Form.setEnabled(true);
}

TFormMain::TFormMain(IUserPrompts& prompts, const QString& exePath, QWidget* parent)
    : QMainWindow(parent), Prompts(prompts) {
  // A fixed-size window: minimise and close, no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QLatin1String(kMainCaption));
  CreateControls();
  FormCreate(exePath.isEmpty() ? QCoreApplication::applicationFilePath() : exePath);
}

TFormMain::~TFormMain() {
  // --- online services: every background thread ends before the slots and controls go ---
  Online.reset();
  // --- end online services ---
  // FormDestroy. The rows go first, while this window is still whole: deleting them reports
  // selection changes, which must not reach a half-destroyed window.
  setAcceptDrops(false);
  // The editor and the tab controls report to this window; nothing of theirs may arrive while
  // the window is taken apart.
  LeftTabs->blockSignals(true);
  RightTabs->blockSignals(true);
  Editor->ClearCurrentPhoto();
  delete Editor;
  Editor = nullptr;
  fileView->blockSignals(true);
  fileView->clear();
  Document.Clear();
}

void TFormMain::FormCreate(const QString& exePath) {
  // Numbers are written and read with "." whatever the user's locale.
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, "C");
  setAcceptDrops(true);

  // Where the desktop keeps per-user data, also when that folder cannot be made now: whatever is
  // written there then fails quietly, as for a missing folder, instead of landing in /Tavrolin/.
  QString data = GetSpecialFolder(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  AppDataFolder = data + QStringLiteral("/Tavrolin/");
  QDir().mkpath(AppDataFolder);

  ExeVersion = GetFileVersionString(exePath);
  const bool firstRunOfVersion = RegisterFileType(exePath, ExeVersion);

  TitleBase = QLatin1String(kMainCaption) + QStringLiteral(" ") + ExeVersion;
  SetDocumentTitle(QStringLiteral("New document"));
  // The editor opens with no photo; the magnifier's picture is the editor's own.
  Editor->ClearCurrentPhoto();

  SheetBitmap = QImage(kFrameWidth, kFrameHeight, QImage::Format_RGB888);
  SheetBitmap.fill(Qt::white);

  ClearSheetTexts();
  AddSheetText(tavrolin::SiteAddress());

  // --- online services ---
  Online = std::make_unique<TOnlineUi>(
      *this, TOnlineUi::TStart{AppDataFolder, ExeVersion, firstRunOfVersion});
  // --- end online services ---
}

void TFormMain::CreateControls() {
  setFont(QFont(QStringLiteral("Tahoma"), 8));
  auto* client = new QWidget(this);
  setCentralWidget(client);
  setFixedSize(kClientWidth, kClientHeight);

  LeftTabs = new QTabWidget(client);
  LeftTabs->setGeometry(0, 0, kLeftTabsWidth, kTabHeight);
  TabAbout = new QWidget;
  TabFiles = new QWidget;
  TabPreview = new QWidget;
  LeftTabs->addTab(TabAbout, QStringLiteral("About"));
  LeftTabs->addTab(TabFiles, QStringLiteral("Files"));
  LeftTabs->addTab(TabPreview, QStringLiteral("Page Preview"));

  RightTabs = new QTabWidget(client);
  RightTabs->setGeometry(kRightTabsLeft, 0, kRightTabsWidth, kTabHeight);
  TabHowTo = new QWidget;
  TabEdit = new QWidget;
  WebTab = new QWidget;
  RightTabs->addTab(TabHowTo, QStringLiteral("How to use"));
  RightTabs->addTab(TabEdit, QStringLiteral("Edit photos"));
  RightTabs->addTab(WebTab, QStringLiteral("WebTab"));

  CreateFilesTab();
  CreatePreviewTab();
  CreateHowToPage();
  Editor = new TEditorPage(*this, TabEdit);
}

void TFormMain::Connect(QToolButton* button, void (TFormMain::*handler)()) {
  connect(button, &QToolButton::clicked, this,
          [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
}

QToolButton* TFormMain::MakeSpeedButton(QWidget* parent, int x, const QString& hint,
                                        TButtonIcon icon, void (TFormMain::*handler)()) {
  auto* button = new QToolButton(parent);
  button->setGeometry(x, kButtonTop, kButtonWidth, kButtonHeight);
  button->setIcon(ButtonIcon(icon));
  button->setIconSize(QSize(32, 32));
  button->setToolTip(hint);
  button->setAutoRaise(true);
  Connect(button, handler);
  return button;
}

void TFormMain::CreateFilesTab() {
  QWidget* tab = TabFiles;
  sSpeedButtonRemoveAll = MakeSpeedButton(tab, 0, QStringLiteral("New Document"),
                                          TButtonIcon::NewDocument, &TFormMain::RemoveAllClick);
  sSpeedButtonOpen = MakeSpeedButton(tab, 56, QStringLiteral("Open Tavrolin Document"),
                                     TButtonIcon::Open, &TFormMain::sSpeedButtonOpenClick);
  sSpeedButtonSave = MakeSpeedButton(tab, 104, QStringLiteral("Save Tavrolin Document"),
                                     TButtonIcon::Save, &TFormMain::OnShowSaveMenu);
  sSpeedButtonAdd = MakeSpeedButton(tab, 160, QStringLiteral("Add photos"), TButtonIcon::Add,
                                    &TFormMain::AddFilesClick);
  sSpeedButtonRemove =
      MakeSpeedButton(tab, 208, QStringLiteral("Remove selected photos from document"),
                      TButtonIcon::Remove, &TFormMain::RemoveSelectedClick);
  sSpeedButtonUp = MakeSpeedButton(tab, 264, QStringLiteral("Up"), TButtonIcon::Up,
                                   &TFormMain::sSpeedButtonUpClick);
  sSpeedButtonDown = MakeSpeedButton(tab, 312, QStringLiteral("Down"), TButtonIcon::Down,
                                     &TFormMain::sSpeedButtonDownClick);
  sSpeedButtonSort = MakeSpeedButton(tab, 376, QStringLiteral("Sort by name"), TButtonIcon::Sort,
                                     &TFormMain::sSpeedButtonSortClick);

  fileView = new QTreeWidget(tab);
  fileView->setObjectName(QStringLiteral("fileView"));
  fileView->setGeometry(0, 73, 425, 594);
  fileView->setColumnCount(2);
  fileView->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("Path")});
  fileView->setRootIsDecorated(false);
  fileView->setItemsExpandable(false);
  fileView->setUniformRowHeights(true);
  fileView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  fileView->setSelectionBehavior(QAbstractItemView::SelectRows);
  fileView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fileView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  fileView->header()->setStretchLastSection(false);
  fileView->installEventFilter(this);
  connect(fileView, &QTreeWidget::itemSelectionChanged, this,
          [this] { RunHandler([this] { fileViewChange(); }); });
  connect(fileView, &QTreeWidget::itemClicked, this,
          [this] { RunHandler([this] { fileViewClick(); }); });

  CreateSaveMenu();
}

void TFormMain::CreateSaveMenu() {
  MenuSave = new QMenu(this);
  auto item = [this](const QString& caption, void (TFormMain::*handler)()) {
    QAction* action = MenuSave->addAction(caption);
    if (handler) {
      connect(action, &QAction::triggered, this,
              [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    } else {
      action->setEnabled(false);
    }
    return action;
  };
  SaveasTavrolinDocument1 =
      item(QStringLiteral("Save as Tavrolin Document"), &TFormMain::OnSaveAsTavDoc);
  SaveasTavrolinDocument1->setIcon(ButtonIcon(TButtonIcon::Save));
  MenuSave->addSeparator();  // N1
  SaveasBMP1 = item(QStringLiteral("Save as JPGs"), &TFormMain::SaveasJPG1Click);
  SaveasPNG1 = item(QStringLiteral("Save as PNGs"), &TFormMain::SaveasPNG1Click);
  MenuSave->addSeparator();  // N2
  // Not offered yet; listed so that users see what is to come.
  SaveasPNG2 = item(QStringLiteral("Save as PDF"), nullptr);
  SaveaseBook1 = item(QStringLiteral("Save as eBook"), nullptr);
}

void TFormMain::CreateHowToPage() {
  auto* scroll = new QScrollArea(TabHowTo);
  auto* outer = new QVBoxLayout(TabHowTo);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setFrameShape(QFrame::NoFrame);

  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(12, 6, 12, 12);
  layout->setSpacing(2);

  layout->addWidget(
      HowToHeading(QStringLiteral("1. Import photos of documents to the program"), page));
  layout->addWidget(HowToText(QStringLiteral("To do this, go to the \"Files\" tab and click "
                                             "\"Add\", or just drag'n'drop the images."),
                              page));
  HowToAddButton = new QToolButton(page);
  HowToAddButton->setIcon(ButtonIcon(TButtonIcon::Add));
  HowToAddButton->setIconSize(QSize(32, 32));
  HowToAddButton->setText(QStringLiteral("Add photos"));
  HowToAddButton->setToolTip(QStringLiteral("Add photos"));
  HowToAddButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  HowToAddButton->setFixedHeight(kButtonHeight - 8);
  Connect(HowToAddButton, &TFormMain::AddFilesClick);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->setContentsMargins(12, 4, 0, 4);
  buttonRow->addWidget(HowToAddButton);
  buttonRow->addStretch();
  layout->addLayout(buttonRow);

  layout->addWidget(HowToHeading(QStringLiteral("2. Edit the list of uploaded photos"), page));
  layout->addWidget(HowToText(QStringLiteral("Using the \"Up\" and \"Down\" buttons, you can "
                                             "change the order of printing files."),
                              page));
  layout->addWidget(
      HowToText(QStringLiteral("Click the \"Sort\" button to sort files by title."), page));
  layout->addWidget(HowToText(
      QStringLiteral("If you don't need several files any more, just delete them from the list."),
      page));

  layout->addWidget(HowToHeading(QStringLiteral("3. Open the \"Print Preview\" tab."), page));
  layout->addWidget(HowToText(
      QStringLiteral("Select the quantity of photos on paper and their arrangement."), page));
  layout->addWidget(HowToText(
      QStringLiteral("Adjust brightness, contrast, and crop the edges\nif necessary."), page));
  layout->addWidget(HowToText(QStringLiteral("Click the \"Print\" button."), page));

  layout->addWidget(HowToHeading(QStringLiteral("4. Don't forget to save the document"), page));
  layout->addWidget(HowToText(QStringLiteral("Click the \"Save\" button on the \"Files\" tab. "
                                             "The document will be available for further "
                                             "editing and printing."),
                              page));
  layout->addStretch();
  scroll->setWidget(page);
}

void TFormMain::FormShow() {
  LeftTabs->setCurrentWidget(TabAbout);
  RightTabs->setCurrentWidget(TabHowTo);
  RightTabs->setTabVisible(RightTabs->indexOf(WebTab), false);
  Online->FormShow();  // online services
  OnPageCountChange();
  // The list is empty here, so the document is opened without a save prompt.
  if (!CommandLine.isEmpty() && QFileInfo(CommandLine.constFirst()).isFile()) {
    OpenDocument(CommandLine.constFirst());
  }
}

bool TFormMain::FormClose() {
  if (!ConfirmSave()) return false;
  ClearDocument();
  RemoveWorkFolder();
  Online->FormClose();  // online services
  return true;
}

void TFormMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (FormShowQueued) return;
  FormShowQueued = true;
  // After the window is on the screen: a document from the command line opens under the wait
  // dialog, over a painted window.
  QTimer::singleShot(0, this, [this] {
    RunHandler([this] { FormShow(); });
    FormShowDone = true;
  });
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // A close request during a long loop (the window manager still delivers it to a disabled
  // window) would clear the list under the loop's feet.
  bool close = false;
  if (!ListChangesRefused()) RunHandler([this, &close] { close = FormClose(); });
  if (close) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
  if (!ListChangesRefused() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
  if (ListChangesRefused()) return;
  QStringList names;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) names << url.toLocalFile();
  }
  if (names.isEmpty()) return;
  event->acceptProposedAction();
  // The drop is finished first; the files are taken once the event loop is back.
  QTimer::singleShot(0, this,
                     [this, names] { RunHandler([this, &names] { FilesDropped(names); }); });
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == fileView && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    RunHandler([this] { RemoveSelectedClick(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::SetDocumentTitle(const QString& documentName) {
  setWindowTitle(TitleBase + QStringLiteral(" - [") + documentName + QStringLiteral("]"));
}

// --- online services ---
void TFormMain::PlaceRightTabs(int left) {
  RightTabs->move(left, RightTabs->y());
  setFixedSize(left + RightTabs->width() + kClientRightMargin, height());
}

void TFormMain::RunBusy(const std::function<void()>& body) {
  const TBusyScope busy(*this);
  body();
}
// --- end online services ---

IWaitProtocol& TFormMain::Wait() {
  if (!FormWait) throw std::logic_error("The wait dialog has not been created");
  return *FormWait;
}

void TFormMain::RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::bad_alloc&) {
    ShowError(QStringLiteral("Out of memory"));
  } catch (const std::exception& e) {
    ShowError(QString::fromUtf8(e.what()));
  }
}

void TFormMain::ShowMessage(const QString& message) {
  Prompts.Message(this, QLatin1String(kMainCaption), message, IUserPrompts::Buttons::Ok,
                  IUserPrompts::Icon::Information);
}

void TFormMain::ShowError(const QString& message) {
  Prompts.Message(this, QLatin1String(kMainCaption), message, IUserPrompts::Buttons::Ok,
                  IUserPrompts::Icon::Error);
}
