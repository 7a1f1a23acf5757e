#include "EditorPage.h"

#include <cmath>
#include <initializer_list>
#include <stdexcept>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionComplex>

#include "Codecs.h"
#include "EditorWidgets.h"
#include "FormProps.h"
#include "SpinEdit.h"
#include "WaitProtocol.h"

namespace {

// The platform style's combo arrow takes a third of a narrow box; this one takes 10 pixels.
class TSlimComboArrowStyle : public QProxyStyle {
 public:
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override {
    if (control != CC_ComboBox) return QProxyStyle::subControlRect(control, option, sub, widget);
    constexpr int kArrow = 10;
    const QRect r = option->rect;
    if (sub == SC_ComboBoxArrow) return QRect(r.right() - kArrow, r.top(), kArrow + 1, r.height());
    if (sub == SC_ComboBoxEditField)
      return QRect(r.left() + 2, r.top() + 2, r.width() - kArrow - 3, r.height() - 4);
    return QProxyStyle::subControlRect(control, option, sub, widget);
  }
};

constexpr int kBarThickness = 6;
// The mark on the dragged corner in the magnifier.
const QColor kCornerMark(255, 0, 0);

QLabel* MakeLabel(QWidget* parent, const QString& text, const QRect& geometry,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(align);
  return label;
}

// The list item that shows what a stored value means: a rotation code other than 1, 2 or 3
// turns nothing and reads "No"; an image type other than 0 is the photocopy, "Grayscale".
int RotationItem(int32_t rotation) { return rotation >= 1 && rotation <= 3 ? rotation : 0; }
int ImageTypeItem(int32_t imageType) { return imageType == 0 ? 0 : 1; }

// Keeps the main window disabled for the life of a long loop, however the loop ends.
class TMainWindowDisabled {
 public:
  explicit TMainWindowDisabled(IEditorHost& host) : Host(host) { Host.SetMainWindowEnabled(false); }
  ~TMainWindowDisabled() { Host.SetMainWindowEnabled(true); }
  TMainWindowDisabled(const TMainWindowDisabled&) = delete;
  TMainWindowDisabled& operator=(const TMainWindowDisabled&) = delete;

 private:
  IEditorHost& Host;
};

}  // namespace

TEditorPage::TEditorPage(IEditorHost& host, QWidget* parent)
    : QWidget(parent), ZoomBitmap(kZoomWidth, kZoomHeight, QImage::Format_BGR888), Host(host) {
  setMinimumSize(425, 670);
  ZoomBitmap.fill(Qt::white);

  MakeLabel(this, QStringLiteral("Image type:"), QRect(8, 0, 97, 15));
  sComboBox2 = new QComboBox(this);
  sComboBox2->setGeometry(8, 16, 97, 22);
  sComboBox2->addItems({QStringLiteral("Colored"), QStringLiteral("Grayscale")});

  MakeLabel(this, QStringLiteral("Rotate:"), QRect(8, 40, 46, 22));
  sComboBox1 = new QComboBox(this);
  sComboBox1->setGeometry(56, 40, 49, 22);
  // 49 pixels leave the items little room beside the style's arrow: a slim arrow keeps
  // "90 CW" readable at the designed width.
  auto* slim = new TSlimComboArrowStyle;
  slim->setParent(sComboBox1);
  sComboBox1->setStyle(slim);
  // The third item is spelt with two U+0421 (Cyrillic Es) letters; files and users know it so.
  sComboBox1->addItems({QStringLiteral("No"), QStringLiteral("90 CW"),
                        QStringLiteral("90 \u0421\u0421W"), QStringLiteral("180")});

  const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
  MakeLabel(this, QStringLiteral("Brightness:"), QRect(120, 16, 68, 24), right);
  sSpinEdit1 = new TSpinEdit(kParamMin, kParamMax, this);
  sSpinEdit1->setGeometry(192, 16, 49, 24);
  MakeLabel(this, QStringLiteral("Contrast:"), QRect(120, 40, 68, 24), right);
  sSpinEdit2 = new TSpinEdit(kParamMin, kParamMax, this);
  sSpinEdit2->setGeometry(192, 40, 49, 24);

  sButtonApply = new QPushButton(QStringLiteral("Apply to many..."), this);
  sButtonApply->setGeometry(280, 16, 121, 25);

  // The page's controls take the free room right of the spin edits: "Straighten" above
  // "Apply to many...", the two buttons below it, all inside its column.
  sCheckBoxStraighten = new QCheckBox(QStringLiteral("Straighten"), this);
  sCheckBoxStraighten->setGeometry(280, 0, 121, 16);
  sButtonPage = new QPushButton(QStringLiteral("Page"), this);
  sButtonPage->setCheckable(true);
  sButtonPage->setGeometry(280, 44, 44, 25);
  sButtonFindPage = new QPushButton(QStringLiteral("Find page"), this);
  sButtonFindPage->setGeometry(328, 44, 73, 25);

  PanelImage = new QFrame(this);
  PanelImage->setGeometry(0, 73, 425, 597);
  ImageShpora = new TEditorImage(*this, PanelImage);
  ImageShpora->setGeometry(2, 2, kFrameWidth, kFrameHeight);
  pp1 = new TCropHandle(*this, 0, PanelImage);
  pp2 = new TCropHandle(*this, 0, PanelImage);
  pp3 = new TCropHandle(*this, 1, PanelImage);
  pp4 = new TCropHandle(*this, 1, PanelImage);
  pp1->setGeometry(2, 0, kFrameWidth, kBarThickness);
  pp2->setGeometry(2, 0, kFrameWidth, kBarThickness);
  pp3->setGeometry(0, 1, kBarThickness, kFrameHeight);
  pp4->setGeometry(0, 1, kBarThickness, kFrameHeight);
  pc1 = new TCornerHandle(*this, 0, PanelImage);
  pc2 = new TCornerHandle(*this, 1, PanelImage);
  pc3 = new TCornerHandle(*this, 2, PanelImage);
  pc4 = new TCornerHandle(*this, 3, PanelImage);
  PlaceHandles(TShporaData());
  ShowHandlesForMode();
  SetPageControlsEnabled(false);

  FormProps = new TFormProps(this);

  connect(sComboBox2, &QComboBox::currentIndexChanged, this, &TEditorPage::OnImageParamsChange);
  connect(sComboBox1, &QComboBox::currentIndexChanged, this, &TEditorPage::OnImageParamsChange);
  connect(sSpinEdit1, &TSpinEdit::Changed, this, &TEditorPage::OnImageParamsChange);
  connect(sSpinEdit2, &TSpinEdit::Changed, this, &TEditorPage::OnImageParamsChange);
  connect(sButtonApply, &QPushButton::clicked, this, &TEditorPage::sButtonApplyClick);
  // Only the user's clicks: loading the controls from a record must not act on it.
  connect(sButtonPage, &QPushButton::clicked, this, &TEditorPage::sButtonPageClick);
  connect(sButtonFindPage, &QPushButton::clicked, this, &TEditorPage::sButtonFindPageClick);
  connect(sCheckBoxStraighten, &QCheckBox::clicked, this, &TEditorPage::sCheckBoxStraightenClick);
}

TEditorPage::~TEditorPage() = default;

template <class Work>
void TEditorPage::Guarded(Work&& work) {
  try {
    work();
  } catch (const std::exception& e) {
    Host.ShowError(QString::fromUtf8(e.what()));
  }
}

THandleEdge TEditorPage::EdgeOf(const TCropHandle* handle) const {
  if (handle == pp1) return THandleEdge::Top;
  if (handle == pp2) return THandleEdge::Bottom;
  if (handle == pp3) return THandleEdge::Left;
  return THandleEdge::Right;
}

// The crop edges are the bars' own top or left coordinates in the panel, with no correction for
// the image's offset or the bars' thickness: what the user sees dragged is what is stored.
void TEditorPage::PlaceHandles(const TShporaData& crop) {
  pp1->move(pp1->x(), crop.CropTop);
  pp2->move(pp2->x(), crop.CropBottom);
  pp3->move(crop.CropLeft, pp3->y());
  pp4->move(crop.CropRight, pp4->y());
}

void TEditorPage::SetHandlesVisible(bool visible) {
  for (TCropHandle* h : {pp1, pp2, pp3, pp4}) h->setVisible(visible);
}

void TEditorPage::ShowHandlesForMode() {
  SetHandlesVisible(Current && !PageMode);
  for (TCornerHandle* h : {pc1, pc2, pc3, pc4}) h->setVisible(Current && PageMode);
  if (!Current || !PageMode) {
    ImageShpora->Outline.clear();
    ImageShpora->update();
  }
}

void TEditorPage::SetPageControlsEnabled(bool enabled) {
  for (QWidget* w :
       std::initializer_list<QWidget*>{sButtonPage, sButtonFindPage, sCheckBoxStraighten})
    w->setEnabled(enabled);
}

void TEditorPage::SelectPhoto(TShpora* photo) {
  if (Current) {
    Current->DropFullImage();
    Current = nullptr;
  }
  EndCornerDrag();
  DropPagePicture();
  CornersOf = nullptr;
  // With no photo current, the controls' change notifications below do nothing: loading them
  // must not reprocess the photo.
  if (photo) {
    sSpinEdit1->SetValue(photo->Brightness);
    sSpinEdit2->SetValue(photo->Contrast);
    sComboBox1->setCurrentIndex(RotationItem(photo->Rotation));
    sComboBox2->setCurrentIndex(ImageTypeItem(photo->ImageType));
    PlaceHandles(*photo);
    sCheckBoxStraighten->setChecked(photo->Page.Straightened());
  } else {
    sCheckBoxStraighten->setChecked(false);
  }
  Current = photo;
  SetPageControlsEnabled(photo != nullptr);
  ShowHandlesForMode();
  MagnifierFailed = false;
  DrawEditorImage();
}

void TEditorPage::DrawEditorImage() {
  if (!Current) {
    Host.ActivateRightPage(kRightPageHowToUse);
    return;
  }
  if (!Current->Preview) Current->Reload(true);
  if (PageMode) {
    DrawPageImage();
  } else {
    const TFastDIB& preview = *Current->Preview;
    const QSize size(preview.Width(), preview.AbsHeight);
    if (ImageShpora->Picture.size() != size)
      ImageShpora->Picture = QImage(size, QImage::Format_RGB32);
    QPainter painter(&ImageShpora->Picture);
    preview.DrawTo(painter, 0, 0);
  }
  Host.ActivateRightPage(kRightPageEditPhotos);
  ImageShpora->update();
}

void TEditorPage::OnImageParamsChange() {
  if (!Current) return;
  Guarded([this] {
    TShpora& photo = *Current;
    photo.Brightness = sSpinEdit1->Value();
    photo.Contrast = sSpinEdit2->Value();
    photo.Rotation = sComboBox1->currentIndex();
    photo.ImageType = sComboBox2->currentIndex();
    photo.DropImages();
    MagnifierFailed = false;
    DrawEditorImage();  // finds no Preview: reprocesses with the new values, keeping FullImage
    Host.ShowPrintPreview();
  });
}

void TEditorPage::ImageShporaMouseMove(int x, int y) {
  if (!Current || MagnifierFailed) return;
  Guarded([&] {
    Host.ActivateLeftPage(kLeftPagePreview);
    if (PageMode) {
      // The page is placed on the photo as it lies, so that is what the magnifier shows.
      try {
        PagePicture();
      } catch (...) {
        MagnifierFailed = true;
        throw;
      }
      const TZoomOrigin origin = MagnifierOrigin(x, y, ImageShpora->width(), ImageShpora->height(),
                                                 PageFull->Width(), PageFull->AbsHeight);
      CopyZoomWindow(*PageFull, origin, ZoomBitmap);
      Host.ShowOnImagePage(ZoomBitmap);
      return;
    }
    if (!Current->FullImage) {
      try {
        Current->Reload(true);
      } catch (...) {
        MagnifierFailed = true;
        throw;
      }
    }
    const TFastDIB& full = *Current->FullImage;
    const TZoomOrigin origin = MagnifierOrigin(x, y, ImageShpora->width(), ImageShpora->height(),
                                               full.Width(), full.AbsHeight);
    CopyZoomWindow(full, origin, ZoomBitmap);
    Host.ShowOnImagePage(ZoomBitmap);
  });
}

void TEditorPage::ImageShporaMouseLeave() {
  Guarded([this] { Host.RestoreImagePage(); });
}

void TEditorPage::pp1MouseDown(TCropHandle* sender, Qt::MouseButton, int x, int y) {
  Dragged = sender;
  sender->SetDragged(true);
  sender->raise();
  DragStartX = x;
  DragStartY = y;
}

void TEditorPage::pp1MouseMove(TCropHandle* sender, int x, int y) {
  if (!Dragged || sender != Dragged) return;
  const THandleEdge edge = EdgeOf(sender);
  // The point grabbed stays under the pointer; nothing but the bar moves until the release.
  if (sender->Tag == 0) {
    const int32_t opposite = edge == THandleEdge::Top ? pp2->y() : pp1->y();
    sender->move(sender->x(), ClampHandle(edge, sender->y() + y - DragStartY, opposite));
  } else {
    const int32_t opposite = edge == THandleEdge::Left ? pp4->x() : pp3->x();
    sender->move(ClampHandle(edge, sender->x() + x - DragStartX, opposite), sender->y());
  }
}

void TEditorPage::pp1MouseUp(TCropHandle*, Qt::MouseButton, int, int) {
  if (Dragged) Dragged->SetDragged(false);
  Dragged = nullptr;
  if (!Current) return;
  // All four are written, whichever bar moved.
  Current->CropTop = pp1->y();
  Current->CropBottom = pp2->y();
  Current->CropLeft = pp3->x();
  Current->CropRight = pp4->x();
  Guarded([this] { Host.ShowPrintPreview(); });
}

void TEditorPage::sButtonApplyClick() {
  Guarded([this] { ApplyToManyCommand(); });
}

void TEditorPage::ApplyToManyCommand() {
  // The values are copied from the open photo; without one there is nothing to copy.
  if (!Current || Host.Photos().empty()) return;
  TApplyOptions options;
  if (!FormProps->AskApplyOptions(options)) return;
  const std::vector<TShpora*> photos = Host.Photos();
  const TShporaData source = *Current;
  std::exception_ptr failure;
  TApplyCounts counts;
  {
    TWaitScope wait(Host.Wait(), QStringLiteral("Please wait..."),
                    QStringLiteral("Processing images..."), 1, static_cast<int>(photos.size()));
    TMainWindowDisabled disabled(Host);
    try {
      ApplyToMany(source, photos, options, wait.Wait, &counts);
    } catch (...) {
      failure = std::current_exception();
    }
    // Also after a failure: the photos done before it have changed and the sheet should say so.
    try {
      Host.ShowPrintPreview();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (options.ApplyWhat & ApplyPageFind) {
    // The open photo may have been straightened too: its controls, corners and picture follow.
    CornersOf = nullptr;
    PlaceHandles(*Current);
    sCheckBoxStraighten->setChecked(Current->Page.Straightened());
    try {
      DrawEditorImage();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  // Reported only now, with the main window enabled again and the wait dialog closed.
  if (failure) std::rethrow_exception(failure);
  if ((options.ApplyWhat & ApplyPageFind) && counts.PagesSearched > 0)
    Host.ShowMessage(PagesNotFoundText(counts));
}

// --- Page mode ---

void TEditorPage::DropPagePicture() {
  PageFull.reset();
  PageView = QImage();
  PageFullOf = nullptr;
}

const TFastDIB& TEditorPage::PagePicture() {
  if (PageFull && PageFullOf == Current && PageFullFile == Current->WorkFile &&
      PageFullRotation == Current->Rotation)
    return *PageFull;
  DropPagePicture();
  // The same limit as the record's own reading: a forged header must not ask for gigabytes.
  const QByteArray data = ReadWholeFile(Current->WorkFile);
  const JpegHeader header = ReadJpegHeader(data, Current->WorkFile);
  if (header.Width > kWorkLongSide || header.Height > kWorkLongSide)
    throw std::runtime_error(
        QStringLiteral("The working copy of a photo (%1) is damaged: it declares %2 x %3 pixels.")
            .arg(Current->WorkFile)
            .arg(header.Width)
            .arg(header.Height)
            .toStdString());
  std::unique_ptr<TFastDIB> picture = DecodeJpegData(data, Current->WorkFile);
  if (picture->BitCount() != 24) {
    auto colour = std::make_unique<TFastDIB>(picture->Width(), 24, picture->Height());
    picture->ConvertInto(*colour);
    picture = std::move(colour);
  }
  PictureWidth = picture->Width();
  PictureHeight = picture->AbsHeight;
  const int32_t rotation = Current->Rotation;
  if (rotation >= 1 && rotation <= 3) {
    const bool sideways = rotation != 3;
    auto turned = std::make_unique<TFastDIB>(sideways ? PictureHeight : PictureWidth, 24,
                                             sideways ? PictureWidth : PictureHeight);
    picture->RotateInto(*turned, 65536, rotation == 1 ? 90 : rotation == 2 ? -90 : 180);
    picture = std::move(turned);
  }
  // Stretched to the view as the Preview is, so that a corner sits where the page is seen.
  TFastDIB view(kFrameWidth, 24, kFrameHeight, TFastDIB::TUncleared{});
  picture->ResampleInto(view, FilterBlackman);
  PageView = QImage(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
  {
    QPainter painter(&PageView);
    view.DrawTo(painter, 0, 0);
  }
  PageFull = std::move(picture);
  PageFullOf = Current;
  PageFullFile = Current->WorkFile;
  PageFullRotation = rotation;
  return *PageFull;
}

void TEditorPage::LoadCorners() {
  if (CornersOf == Current) return;
  if (PageFullOf != Current) {
    const JpegHeader header = ReadJpegHeader(Current->WorkFile);
    PictureWidth = header.Width;
    PictureHeight = header.Height;
  }
  Corners = Current->Page.HasCorners ? Current->Page.Corners
                                     : DefaultPageCorners(PictureWidth, PictureHeight);
  CornersOf = Current;
}

void TEditorPage::DrawPageImage() {
  PagePicture();
  LoadCorners();
  ImageShpora->Picture = PageView;
  PlaceCorners();
}

TPagePoint TEditorPage::CornerInView(int corner) const {
  return PictureToView(Corners.Corners[corner], Current->Rotation, PictureWidth, PictureHeight);
}

void TEditorPage::PlaceCorners() {
  QPolygonF outline;
  TCornerHandle* handles[] = {pc1, pc2, pc3, pc4};
  for (int i = 0; i < 4; ++i) {
    const TPagePoint v = CornerInView(i);
    outline << QPointF(v.X, v.Y);
    // The image lies 2 pixels into the panel that holds the handles.
    handles[i]->Centre(QPointF(v.X + ImageShpora->x(), v.Y + ImageShpora->y()));
  }
  ImageShpora->Outline = outline;
  ImageShpora->update();
}

void TEditorPage::Reprocess() {
  Current->DropImages();
  MagnifierFailed = false;
  DrawEditorImage();
  Host.ShowPrintPreview();
}

void TEditorPage::ShowPageMagnifier(TPagePoint at, bool mark) {
  const TFastDIB& full = *PageFull;
  const auto px = static_cast<int32_t>(std::floor(at.X));
  const auto py = static_cast<int32_t>(std::floor(at.Y));
  const TZoomOrigin origin =
      MagnifierOrigin(px, py, full.Width(), full.AbsHeight, full.Width(), full.AbsHeight);
  CopyZoomWindow(full, origin, ZoomBitmap);
  if (mark) {
    // A cross with a gap on the corner's pixel, so that the pixel itself stays visible, and a
    // ring around it to find it at a glance.
    QPainter p(&ZoomBitmap);
    const int cx = px - origin.Left, cy = py - origin.Top;
    p.setPen(QPen(kCornerMark, 1));
    p.drawLine(cx - 16, cy, cx - 4, cy);
    p.drawLine(cx + 4, cy, cx + 16, cy);
    p.drawLine(cx, cy - 16, cx, cy - 4);
    p.drawLine(cx, cy + 4, cx, cy + 16);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawEllipse(QPointF(at.X - origin.Left, at.Y - origin.Top), 10, 10);
  }
  Host.ShowOnImagePage(ZoomBitmap);
}

void TEditorPage::sButtonPageClick() {
  EndCornerDrag();
  PageMode = sButtonPage->isChecked();
  if (!PageMode) DropPagePicture();
  Guarded([this] {
    try {
      ShowHandlesForMode();
      if (Current) DrawEditorImage();
    } catch (...) {
      // A photo that cannot be shown as it lies stays in the ordinary view.
      PageMode = false;
      sButtonPage->setChecked(false);
      DropPagePicture();
      ShowHandlesForMode();
      throw;
    }
  });
}

void TEditorPage::sButtonFindPageClick() {
  if (!Current) return;
  Guarded([this] {
    const TPageFindResult found = Current->FindPageInWorkingCopy();
    if (!found.Found()) {
      Host.ShowMessage(QStringLiteral(
          "No page was found in this photo. Its corners can be placed by hand: press \"Page\" "
          "and drag the round handles to the corners of the page."));
      return;
    }
    StraightenWith(*Current, found.Corners);
    Corners = found.Corners;
    CornersOf = Current;
    PlaceHandles(*Current);
    sCheckBoxStraighten->setChecked(true);
    Reprocess();
  });
}

void TEditorPage::sCheckBoxStraightenClick() {
  if (!Current) return;
  const bool on = sCheckBoxStraighten->isChecked();
  Guarded([this, on] {
    if (on) {
      LoadCorners();
      StraightenWith(*Current, Corners);
      PlaceHandles(*Current);
    } else {
      Current->Page.Straighten = false;
    }
    Reprocess();
  });
  // Whatever failed on the way, the box says what the record holds.
  if (Current) sCheckBoxStraighten->setChecked(Current->Page.Straightened());
}

void TEditorPage::EndCornerDrag() {
  if (DraggedPageCorner) DraggedPageCorner->SetDragged(false);
  DraggedPageCorner = nullptr;
}

void TEditorPage::CornerMouseDown(TCornerHandle* sender, int x, int y) {
  if (!Current || !PageMode) return;
  Guarded([&] {
    PagePicture();
    LoadCorners();
    DraggedPageCorner = sender;
    sender->SetDragged(true);
    sender->raise();
    DragStartPointer = QPointF(sender->pos() + QPoint(x, y));
    DragStartView = CornerInView(sender->Tag);
    Host.ActivateLeftPage(kLeftPagePreview);
    ShowPageMagnifier(CornerInFull(sender->Tag), true);
  });
}

TPagePoint TEditorPage::CornerInFull(int corner) const {
  return PictureToView(Corners.Corners[corner], Current->Rotation, PictureWidth, PictureHeight,
                       PageFull->Width(), PageFull->AbsHeight);
}

void TEditorPage::CornerMouseMove(TCornerHandle* sender, int x, int y) {
  if (!DraggedPageCorner || sender != DraggedPageCorner || !Current || !PageFull) return;
  const QPointF pointer(sender->pos() + QPoint(x, y));
  const TPagePoint view{DragStartView.X + pointer.x() - DragStartPointer.x(),
                        DragStartView.Y + pointer.y() - DragStartPointer.y()};
  TPageQuad moved = Corners;
  moved.Corners[sender->Tag] = ViewToPicture(view, Current->Rotation, PictureWidth, PictureHeight);
  // A corner that would spoil the page (crossed sides, a flat corner, too far out) stays where
  // it was last good; the pointer can come back to it.
  if (!IsUsablePageQuad(moved, PictureWidth, PictureHeight)) return;
  Corners = moved;
  PlaceCorners();
  Guarded([&] { ShowPageMagnifier(CornerInFull(sender->Tag), true); });
}

void TEditorPage::CornerMouseUp(TCornerHandle* sender, int, int) {
  if (!DraggedPageCorner || sender != DraggedPageCorner) return;
  EndCornerDrag();
  if (!Current) return;
  Current->Page.HasCorners = true;
  Current->Page.Corners = Corners;
  Guarded([this] {
    if (Current->Page.Straighten) Reprocess();
    Host.RestoreImagePage();
  });
}
