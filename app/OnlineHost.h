#pragma once
// What the online part of the main window (TOnlineUi) needs from the window that hosts it: the
// "About" tab and the client area its controls go on, the window's height and the room for the
// advertising column, whether the photo list is in use, the wait dialog with the window
// disabled, the margin texts of the printed sheets, the one place where errors are shown, and
// the close once the installer has started. The main window implements it.
#include <functional>

#include <QString>

class IWaitProtocol;
class QWidget;

class IOnlineHost {
 public:
  virtual ~IOnlineHost() = default;

  // The "About" tab, which the online part fills with its controls.
  virtual QWidget* AboutTab() = 0;
  // The window's client area, over which the advertising column and its pop-up are laid.
  virtual QWidget* ClientArea() = 0;
  // The window's height: the pop-up picture is kept inside it.
  virtual int WindowHeight() const = 0;
  // Puts the right tab control's left edge at `left` (beside the advertising column, or where
  // the column would be) and sizes the window to hold it.
  virtual void PlaceRightTabs(int left) = 0;

  // Whether commands that change the photo list are refused now (a long loop or an export is
  // running): a critical update must not close the window under them.
  virtual bool ListChangesRefused() const = 0;
  // Runs `body` with the window disabled, close requests and drops refused; the window is
  // enabled again however `body` ends.
  virtual void RunBusy(const std::function<void()>& body) = 0;
  // The wait dialog.
  virtual IWaitProtocol& Wait() = 0;

  // Adds a margin text to the printed sheets (an advertiser's text).
  virtual void AddSheetText(const QString& text) = 0;
  // Runs a handler; an exception ends it and its message is shown in the window's error box.
  virtual void RunHandler(const std::function<void()>& handler) = 0;
  // Closes the window through its close handler, as the user would: the installer has started.
  virtual void CloseWindow() = 0;
};
