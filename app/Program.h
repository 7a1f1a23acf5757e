#pragma once
// The program's windows and its entry. Four windows are created at start, in this order, and
// live for the whole run: the main window, the "Apply to many..." dialog, the wait dialog and
// the "Export resulted images" dialog.
#include <memory>

#include "Form3.h"
#include "FormMain.h"
#include "FormWait.h"

class IUserPrompts;
class QApplication;
class TFormProps;

class TProgramWindows {
 public:
  explicit TProgramWindows(IUserPrompts& prompts, const QString& exePath = QString());

  std::unique_ptr<TFormMain> FormMain;
  TFormProps* FormProps = nullptr;  // made by the editor of the main window, and owned by it
  std::unique_ptr<TFormWait> FormWait;
  std::unique_ptr<TForm3> Form3;  // a child of the main window, so it centres on it
};

// Whether a window system is there to show windows on (a display, Wayland, or a platform
// chosen through QT_QPA_PLATFORM).
bool HasDisplay();
// The one line printed instead of starting without a display.
QString NoDisplayMessage();

// Sets up the application, creates the windows, shows the main window with the command line
// of `app` and runs the event loop until the main window has closed.
int RunProgram(QApplication& app);
