#pragma once
// Shared by the editor's tests: real photo records made from small JPEGs in a private folder, a
// host that stands in for the main window and records what the editor asks of it (with the
// scripted wait dialog of all tests), and helpers that deliver real mouse events to widgets.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "EditorHost.h"
#include "ScriptedWait.h"
#include "Shpora.h"

class QWidget;
class TFormProps;

// Photo records imported from test JPEGs into a private work folder; destroyed with the folder.
class TPhotoSet {
 public:
  TPhotoSet();
  ~TPhotoSet();
  // Imports a new w x h photo and returns the record (owned by the set).
  TShpora* Add(int width, int height);
  // Imports a photo of a white page lying on a dark desk: the page's corners at `corners`
  // (x, y in the photo's pixels, top-left, top-right, bottom-right, bottom-left).
  TShpora* AddPageOnDesk(int width, int height, const TPageQuad& corners);
  std::vector<TShpora*> All() const;
  QString Folder() const { return Dir.path() + QStringLiteral("/"); }

 private:
  QTemporaryDir Dir;
  std::vector<std::unique_ptr<TShpora>> Records;
  int NextSeed = 1;
};

class TFakeHost : public IEditorHost {
 public:
  void ShowPrintPreview() override;
  void ShowOnImagePage(const QImage& picture) override;
  void RestoreImagePage() override {
    ++Restores;
    ImagePage = QImage();
  }
  void ActivateLeftPage(int index) override { LeftPages.push_back(index); }
  void ActivateRightPage(int index) override { RightPages.push_back(index); }
  std::vector<TShpora*> Photos() override { return List; }
  void SetMainWindowEnabled(bool enabled) override;
  IWaitProtocol& Wait() override { return WaitDialog; }
  void ShowError(const QString& message) override;
  void ShowMessage(const QString& message) override { Messages << message; }

  std::vector<TShpora*> List;
  TScriptedWait WaitDialog;
  std::function<void()> OnPrintPreview;  // runs inside ShowPrintPreview
  int PrintPreviews = 0;
  int Restores = 0;
  int Shown = 0;
  QImage ImagePage;  // what the magnifier put there last; null after a restore
  std::vector<int> LeftPages, RightPages;
  std::vector<bool> EnabledCalls;
  bool MainEnabled = true;
  bool WaitOpenWhileDisabled = true;  // the wait dialog was up whenever the window was disabled
  QStringList Errors;
  QStringList Messages;  // information, not errors
  // The state of the window when each error was shown.
  std::vector<bool> EnabledAtError, WaitVisibleAtError;
};

// Delivers a mouse event to `widget` at `local` (widget coordinates).
void SendMouse(QWidget* widget, int type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons);
void Press(QWidget* widget, QPoint local);
void MoveHeld(QWidget* widget, QPoint local);
void Release(QWidget* widget, QPoint local);

// Runs `act` on the dialog as soon as it is shown modally (from inside its event loop). If the
// dialog is still open after a few seconds it is rejected, so that a test fails instead of hanging.
void WhenShown(TFormProps* dialog, std::function<void(TFormProps&)> act);

// Whether `zoom` (Format_BGR888) shows `full` 1:1 from `left`, `top`, white where it does not
// reach.
testing::AssertionResult ShowsWindowOf(const QImage& zoom, const TFastDIB& full, int left, int top);

// Whether a Format_RGB32 picture holds exactly the pixels of a 24-bit image.
testing::AssertionResult SamePixels(const QImage& picture, const TFastDIB& image);

// The picture row y (from the top) of a 24-bit image, as B, G, R bytes.
const uint8_t* PictureRow(const TFastDIB& image, int y);
