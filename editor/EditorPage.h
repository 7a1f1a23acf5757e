#pragma once
// TEditorPage: the contents of the "Edit photos" tab, the editor for one photo at a time.
//
// At the top the parameter controls of the open photo (image type, rotation, brightness,
// contrast) and "Apply to many..."; below them a 425 x 597 panel with the photo's 420 x 594
// Preview at 1:1 (ImageShpora) and the four crop handles pp1..pp4 over it. Moving the pointer
// over the picture shows the magnifier in the host's sheet preview image.
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

#include <QImage>
#include <QWidget>

#include "EditorHost.h"
#include "EditorLogic.h"

class QComboBox;
class QFrame;
class QPushButton;
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

  // Controls.
  QComboBox* sComboBox2;  // "Image type:"
  QComboBox* sComboBox1;  // "Rotate:"
  TSpinEdit* sSpinEdit1;  // "Brightness:"
  TSpinEdit* sSpinEdit2;  // "Contrast:"
  QPushButton* sButtonApply;
  QFrame* PanelImage;
  TEditorImage* ImageShpora;
  TCropHandle* pp1;  // top edge
  TCropHandle* pp2;  // bottom edge
  TCropHandle* pp3;  // left edge
  TCropHandle* pp4;  // right edge

  // The magnifier picture, 420 x 594, shown in the host's preview image while the pointer is
  // over the editor image.
  QImage ZoomBitmap;
  // The "Apply to many..." dialog, alive as long as the page.
  TFormProps* FormProps;

  TCropHandle* DraggedHandle() const { return Dragged; }

 private:
  THandleEdge EdgeOf(const TCropHandle* handle) const;
  void PlaceHandles(const TShporaData& crop);
  void SetHandlesVisible(bool visible);
  void ApplyToManyCommand();
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
};
