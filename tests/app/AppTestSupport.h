#pragma once
// Shared pieces of the program's tests: a main window with the scripted prompts and wait dialog
// of all tests, which answer as a test says and record what the program asked, in the private
// folders of TestFiles.h.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "Form3.h"
#include "FormMain.h"
#include "ScriptedPrompts.h"
#include "ScriptedWait.h"
#include "TestFiles.h"

namespace apptest {

// The file helpers live with the shared test support; the program's tests know them here.
using testfiles::FilesIn;
using testfiles::ReadAll;
using testfiles::TDocBytes;
using testfiles::TPrivateEnvironment;
using testfiles::WriteAll;
using testfiles::WriteJpeg;

// A main window with scripted prompts and wait dialog, in private folders.
class AppTest : public testing::Test {
 protected:
  TPrivateEnvironment Env;
  TScriptedPrompts Prompts;
  TScriptedWait Wait;
  std::unique_ptr<TFormMain> Form;
  TForm3* ExportDialog = nullptr;  // a child of Form

  TFormMain& MakeForm();
  // Shows the window and waits until FormShow has run.
  void ShowForm();
  // Writes a JPEG photo at Env.Path("photos/" + name) and returns its path.
  QString MakePhoto(const QString& name, int width = 48, int height = 64, int seed = 0);
  // The titles of the list's rows, top to bottom.
  QStringList Titles() const;
  // Adds photos named a, b, c... and returns the form; the rows are in that order.
  TFormMain& FormWithRows(const QStringList& names);
  void TearDown() override;
};

}  // namespace apptest
