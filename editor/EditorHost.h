#pragma once
// What the editor needs from the window that hosts it: the sheet preview it redraws and whose
// image area the magnifier borrows, the two tab controls, the photo list in order, the wait
// dialog, and the one place where errors are shown. The main window implements it; tests stand
// in for the window with a recording host.
#include <vector>

#include <QString>

class IWaitProtocol;
class QImage;
class TShpora;

// Pages of the two tab controls the editor brings to the front.
constexpr int kLeftPagePreview = 2;      // "Page Preview" of the left tab control
constexpr int kRightPageHowToUse = 0;    // "How to use" of the right tab control
constexpr int kRightPageEditPhotos = 1;  // "Edit photos" of the right tab control

class IEditorHost {
 public:
  virtual ~IEditorHost() = default;

  // Renders the selected sheet into the sheet bitmap and shows it in the preview image. Called
  // after every change made in the editor. May throw (a working JPEG that cannot be read).
  virtual void ShowPrintPreview() = 0;
  // The magnifier borrows the preview image: show `picture` (420 x 594) there and repaint. The
  // editor keeps drawing into its own picture, so the host copies it (QImage shares cheaply).
  virtual void ShowOnImagePage(const QImage& picture) = 0;
  // Put the last rendered sheet back into the preview image and repaint it.
  virtual void RestoreImagePage() = 0;
  // Bring a page of the left or right tab control to the front (its show handler runs as usual:
  // the "Page Preview" page redraws the sheet when it was not in front yet).
  virtual void ActivateLeftPage(int index) = 0;
  virtual void ActivateRightPage(int index) = 0;
  // The photo records of the list, in list order; the list keeps owning them.
  virtual std::vector<TShpora*> Photos() = 0;
  // Disables or enables the main window for the length of a long loop.
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // The wait dialog.
  virtual IWaitProtocol& Wait() = 0;
  // Reports the error that ended a command of the editor (the application's error box).
  virtual void ShowError(const QString& message) = 0;
  // Tells the user something that is not an error, such as a page the finder could not find
  // (the application's information box). A host without one reports it where errors go, so
  // that the words still reach the user.
  virtual void ShowMessage(const QString& message) { ShowError(message); }
};
