// The "Page Preview" tab of the main window: the layout controls, the sheet count and page
// selector, the 1:1 sheet preview and a click on it, printing, and what the editor asks of the
// window that hosts it.
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPrinter>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "EditorPage.h"
#include "FormMain.h"
#include "ImagePage.h"
#include "Printing.h"
#include "SheetRenderer.h"

namespace {

// The preview is drawn at 2 pixels per millimetre: 420 x 594, the editor's reference frame.
constexpr int32_t kPreviewScale = 2;

QLabel* Caption(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  return label;
}

QSpinBox* LayoutSpin(QWidget* parent, const QRect& geometry, int minimum, int maximum, int value) {
  auto* spin = new QSpinBox(parent);
  spin->setGeometry(geometry);
  spin->setRange(minimum, maximum);
  spin->setValue(value);
  spin->setAlignment(Qt::AlignCenter);
  return spin;
}

}  // namespace

void TFormMain::CreatePreviewTab() {
  QWidget* tab = TabPreview;
  Caption(tab, QStringLiteral("Rows"), QRect(8, 2, 44, 16));
  sSpinRows = LayoutSpin(tab, QRect(8, 19, 44, 24), kLayoutMinCells, kLayoutMaxCells, 4);
  Caption(tab, QStringLiteral("Columns"), QRect(59, 2, 50, 16));
  sSpinColls = LayoutSpin(tab, QRect(59, 19, 46, 24), kLayoutMinCells, kLayoutMaxCells, 4);
  sComboOrder = new QComboBox(tab);
  sComboOrder->setGeometry(8, 43, 97, 22);
  sComboOrder->addItems({QStringLiteral("by rows"), QStringLiteral("by columns")});
  sComboOrder->setCurrentIndex(0);

  Caption(tab, QStringLiteral("Page"), QRect(128, 2, 49, 16));
  sSpinPageNumber = LayoutSpin(tab, QRect(128, 19, 49, 24), 1, 1, 1);
  sSpinPageNumber->setEnabled(false);
  sLabel14 = Caption(tab, QStringLiteral("Total:"), QRect(125, 46, 34, 16));
  sLabel4 = Caption(tab, QStringLiteral("---"), QRect(161, 46, 60, 16));

  sSpeedButton13 = new QToolButton(tab);
  sSpeedButton13->setGeometry(336, 8, 89, 57);
  sSpeedButton13->setIcon(ButtonIcon(TButtonIcon::Print));
  sSpeedButton13->setIconSize(QSize(40, 40));
  sSpeedButton13->setToolTip(QStringLiteral("Print photocopy"));
  sSpeedButton13->setAutoRaise(true);
  Connect(sSpeedButton13, &TFormMain::PrintDocument);

  auto* panel = new QFrame(tab);
  panel->setGeometry(1, 73, 425, 599);
  panel->setFrameShape(QFrame::StyledPanel);
  ImagePage = new TImagePage(panel);
  ImagePage->setGeometry(2, 2, kFrameWidth, kFrameHeight);
  ImagePage->OnMouseDown = [this](Qt::MouseButton button, int x, int y) {
    RunHandler([=, this] { ImagePageMouseDown(button, x, y); });
  };

  const auto pageCountChange = [this] { RunHandler([this] { OnPageCountChange(); }); };
  connect(sSpinRows, &QSpinBox::valueChanged, this, pageCountChange);
  connect(sSpinColls, &QSpinBox::valueChanged, this, pageCountChange);
  connect(sComboOrder, &QComboBox::currentIndexChanged, this, pageCountChange);
  connect(sSpinPageNumber, &QSpinBox::valueChanged, this,
          [this] { RunHandler([this] { ShowPrintPreview(); }); });
  connect(LeftTabs, &QTabWidget::currentChanged, this, [this] {
    if (LeftTabs->currentWidget() == TabPreview) RunHandler([this] { sTabSheet4Show(); });
  });
}

int TFormMain::LayoutRows() const { return sSpinRows->value(); }
int TFormMain::LayoutColumns() const { return sSpinColls->value(); }
int TFormMain::LayoutOrder() const { return sComboOrder->currentIndex(); }

TSheetLayout TFormMain::Layout() const {
  TSheetLayout layout;
  layout.Rows = LayoutRows();
  layout.Cols = LayoutColumns();
  layout.Order = LayoutOrder();
  return layout;
}

void TFormMain::SetLayout(int rows, int columns, int order) {
  // One recomputation by the caller instead of one per control.
  const QSignalBlocker blockRows(sSpinRows);
  const QSignalBlocker blockColumns(sSpinColls);
  const QSignalBlocker blockOrder(sComboOrder);
  sSpinRows->setValue(rows);  // the spin controls hold their value within 1..5
  sSpinColls->setValue(columns);
  // Any other order leaves the selector without a choice, which lays out by columns.
  sComboOrder->setCurrentIndex(order == 0 || order == 1 ? order : -1);
}

void TFormMain::OnPageCountChange() {
  SheetCount = ::SheetCount(PhotoCount(), Layout());
  const TPageSelectorState state = PageSelectorState(SheetCount, sSpinPageNumber->value());
  {
    // The preview is drawn once, below, not for each step of the selector.
    const QSignalBlocker block(sSpinPageNumber);
    sSpinPageNumber->setRange(1, state.Maximum);
    sSpinPageNumber->setValue(state.Value);
    sSpinPageNumber->setEnabled(state.Enabled);
  }
  sLabel4->setText(state.TotalText);
  ShowPrintPreview();
}

void TFormMain::ShowPrintPreview() {
  const std::vector<TShpora*> photos = Photos();
  // Also after a failure the image shows what the bitmap holds, so that the magnifier's
  // restore never brings back an older sheet.
  RunFinally(
      [&] {
        DrawSheet(SheetBitmap, kPreviewScale, sSpinPageNumber->value() - 1, Layout(), photos,
                  SheetTexts, CurrentPhoto());
      },
      [&] { ImagePage->SetPicture(SheetBitmap); });
}

void TFormMain::sTabSheet4Show() { ShowPrintPreview(); }

void TFormMain::ImagePageMouseDown(Qt::MouseButton, int x, int y) {
  const int32_t k = PreviewHitTest(Layout(), sSpinPageNumber->value(), PhotoCount(), x, y);
  if (k >= 0) {
    fileView->clearSelection();
    QTreeWidgetItem* row = fileView->topLevelItem(k);
    fileView->setCurrentItem(row);
    row->setSelected(true);
    fileView->scrollToItem(row);
    RightTabs->setCurrentWidget(TabEdit);
  }
  // The red mark follows the new selection.
  ShowPrintPreview();
}

void TFormMain::ClearSheetTexts() { SheetTexts.ClearSheetTexts(); }

void TFormMain::AddSheetText(const QString& text) { SheetTexts.AddSheetText(text); }

void TFormMain::PrintDocument() {
  const std::vector<TShpora*> photos = Photos();
  // Nothing to print: no dialog and no job.
  if (photos.empty()) return;
  if (!Printer) Printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  ::PrintDocument(Prompts, this, *Printer, TPrintSource{photos, Layout(), SheetTexts},
                  windowTitle(), BeforePrintJob);
}

TShpora* TFormMain::CurrentPhoto() const { return Editor ? Editor->CurrentPhoto() : nullptr; }

void TFormMain::SelectPhoto(TShpora* photo) { Editor->SelectPhoto(photo); }

void TFormMain::ShowOnImagePage(const QImage& picture) { ImagePage->SetPicture(picture); }

void TFormMain::RestoreImagePage() { ImagePage->SetPicture(SheetBitmap); }

void TFormMain::ActivateLeftPage(int index) { LeftTabs->setCurrentIndex(index); }

void TFormMain::ActivateRightPage(int index) { RightTabs->setCurrentIndex(index); }

std::vector<TShpora*> TFormMain::Photos() {
  std::vector<TShpora*> photos;
  photos.reserve(static_cast<size_t>(PhotoCount()));
  for (int i = 0; i < PhotoCount(); ++i) photos.push_back(Photo(i));
  return photos;
}

void TFormMain::SetMainWindowEnabled(bool enabled) {
  // Counted with the window's own long loops, so that close requests and drops are refused
  // during the editor's loops too.
  if (!enabled) {
    ++BusyDepth;
    setEnabled(false);
  } else if (BusyDepth > 0 && --BusyDepth == 0) {
    setEnabled(true);
  }
}
