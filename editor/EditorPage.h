#pragma once
// TEditorPage: the contents of the "Edit photos" tab, the editor for one photo at a time.
//
// At the top the parameter controls of the open photo (image type, rotation, brightness,
// contrast) and "Apply to many..."; below them a 425 x 597 panel with the photo's 420 x 594
// Preview at 1:1 (ImageShpora) and the four crop handles pp1..pp4 over it. Moving the pointer
// over the picture shows the magnifier in the host's sheet preview image.
//
// Page mode ("Page" pressed) shows the photo as it lies, before straightening: the working JPEG
// turned by the photo's rotation and stretched to the view, with the page's four corners as
// round handles pc1..pc4 joined by lines instead of the crop bars. Dragging a corner moves it,
// with the magnifier following it; the release stores the corners and, when "Straighten" is
// ticked, reprocesses the photo. A photo without corners shows DefaultPageCorners, which become
// its own on the first drag or when "Straighten" is ticked. "Find page" asks the page finder.
//
// The host (the main window) owns the photo records; the editor only refers to the open one,
// CurrentPhoto(). The host calls SelectPhoto(nullptr) before anything that reorders, removes or
// replaces rows, so that reference never outlives its record.
//
// SelectPhoto and DrawEditorImage are called by the host's own commands and throw
// std::runtime_error when a photo cannot be reprocessed (its working JPEG unreadable). The
// handlers of the editor's own controls catch what they run into and hand the message to
// IEditorHost::ShowError; the window stays usable.
#include <cstdint>
#include <exception>
#include <memory>

#include <QImage>
#include <QWidget>

#include "EditorHost.h"
#include "EditorLogic.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QPushButton;
class TCornerHandle;
class TCropHandle;
class TEditorImage;
class TFormProps;
class TSpinEdit;

class TEditorPage : public QWidget {
  Q_OBJECT
 public:
  explicit TEditorPage(IEditorHost& host, QWidget* parent = nullptr);
  ~TEditorPage() override;

  // Opens the editor on `photo`, or closes it with nullptr. The photo shown before loses its
  // FullImage. Loads the controls and handles from the record without reprocessing it, then
  // draws the editor image.
  void SelectPhoto(TShpora* photo);
  // Forgets the open photo without releasing its FullImage: what the photo list does before it
  // selects another row, so the photo shown last keeps its full picture cached.
  void ClearCurrentPhoto() { Current = nullptr; }
  TShpora* CurrentPhoto() const { return Current; }

  // Paints the open photo's Preview (rebuilt with the full picture when missing) and brings
  // "Edit photos" to the front; with no photo open it brings "How to use" to the front instead.
  void DrawEditorImage();

  // Handlers.
  void OnImageParamsChange();
  void sButtonApplyClick();
  void ImageShporaMouseMove(int x, int y);
  void ImageShporaMouseLeave();
  // Shared by the four handles; x and y are relative to the sender.
  void pp1MouseDown(TCropHandle* sender, Qt::MouseButton button, int x, int y);
  void pp1MouseMove(TCropHandle* sender, int x, int y);
  void pp1MouseUp(TCropHandle* sender, Qt::MouseButton button, int x, int y);
  // Page mode.
  void sButtonPageClick();
  void sButtonFindPageClick();
  void sCheckBoxStraightenClick();
  // Shared by the four corner handles; x and y are relative to the sender.
  void CornerMouseDown(TCornerHandle* sender, int x, int y);
  void CornerMouseMove(TCornerHandle* sender, int x, int y);
  void CornerMouseUp(TCornerHandle* sender, int x, int y);

  // Controls.
  QComboBox* sComboBox2;  // "Image type:"
  QComboBox* sComboBox1;  // "Rotate:"
  TSpinEdit* sSpinEdit1;  // "Brightness:"
  TSpinEdit* sSpinEdit2;  // "Contrast:"
  QPushButton* sButtonApply;
  QFrame* PanelImage;
  TEditorImage* ImageShpora;
  TCropHandle* pp1;                // top edge
  TCropHandle* pp2;                // bottom edge
  TCropHandle* pp3;                // left edge
  TCropHandle* pp4;                // right edge
  QPushButton* sButtonPage;        // "Page", checkable: Page mode
  QPushButton* sButtonFindPage;    // "Find page"
  QCheckBox* sCheckBoxStraighten;  // "Straighten"
  TCornerHandle* pc1;              // the page's top-left corner
  TCornerHandle* pc2;              // top-right
  TCornerHandle* pc3;              // bottom-right
  TCornerHandle* pc4;              // bottom-left

  // The magnifier picture, 420 x 594, shown in the host's preview image while the pointer is
  // over the editor image.
  QImage ZoomBitmap;
  // The "Apply to many..." dialog, alive as long as the page.
  TFormProps* FormProps;

  TCropHandle* DraggedHandle() const { return Dragged; }
  TCornerHandle* DraggedCorner() const { return DraggedPageCorner; }
  bool InPageMode() const { return PageMode; }
  // The corners the handles show, in working-picture coordinates: the open photo's own, the
  // defaults for one without corners, or where a drag has taken them so far.
  const TPageQuad& ShownCorners() const { return Corners; }

 private:
  THandleEdge EdgeOf(const TCropHandle* handle) const;
  void PlaceHandles(const TShporaData& crop);
  void SetHandlesVisible(bool visible);
  void ApplyToManyCommand();
  // Which handles show: the crop bars, the corners (Page mode) or none (no photo open).
  void ShowHandlesForMode();
  // The open photo as it lies (decoded working JPEG, turned), rebuilt when the photo, its file or
  // its rotation changed; fills PictureWidth/PictureHeight from the working JPEG.
  const TFastDIB& PagePicture();
  void DropPagePicture();
  // Paints the page picture stretched to the view with the outline, and places pc1..pc4.
  void DrawPageImage();
  void PlaceCorners();
  // The photo's pictures rebuilt from its record (as a parameter change does) and the sheet
  // redrawn.
  void Reprocess();
  // The magnifier over the unstraightened picture around the picture point `at` (turned
  // picture pixels), with a mark on it when `mark`.
  void ShowPageMagnifier(TPagePoint at, bool mark);
  // The corners from the open photo (or the defaults for its size), unless already loaded for it.
  void LoadCorners();
  // Corner `corner` in the view, and in the pixels of PageFull.
  TPagePoint CornerInView(int corner) const;
  TPagePoint CornerInFull(int corner) const;
  void EndCornerDrag();
  void SetPageControlsEnabled(bool enabled);
  // Runs a handler's work; an error ends it and is shown by the host.
  template <class Work>
  void Guarded(Work&& work);

  IEditorHost& Host;
  TShpora* Current = nullptr;
  TCropHandle* Dragged = nullptr;  // DraggedHandle
  int32_t DragStartX = 0;
  int32_t DragStartY = 0;
  // Set when the magnifier could not build the full picture, so that the pointer moving on does
  // not raise the same error again and again; cleared when the photo or its parameters change.
  bool MagnifierFailed = false;

  bool PageMode = false;
  TPageQuad Corners;
  int32_t PictureWidth = 0, PictureHeight = 0;  // the working JPEG, before rotation
  std::unique_ptr<TFastDIB> PageFull;           // the open photo as it lies, turned
  QImage PageView;                              // PageFull stretched to the view
  const TShpora* CornersOf = nullptr;           // the photo Corners were loaded for
  const TShpora* PageFullOf = nullptr;
  QString PageFullFile;
  int32_t PageFullRotation = 0;
  TCornerHandle* DraggedPageCorner = nullptr;
  QPointF DragStartPointer;  // in the panel
  TPagePoint DragStartView;  // the dragged corner in the view when the drag began
};
