#pragma once
// Shared pieces of the program's tests: private folders per test, JPEG photos, hand-built
// document bytes, and a main window with the scripted prompts and wait dialog of all tests,
// which answer as a test says and record what the program asked.
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

namespace apptest {

// While it lives, TMPDIR, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_DATA_DIRS point into a fresh
// temporary folder of its own; the previous values come back afterwards.
class TPrivateEnvironment {
 public:
  TPrivateEnvironment();
  ~TPrivateEnvironment();
  TPrivateEnvironment(const TPrivateEnvironment&) = delete;
  TPrivateEnvironment& operator=(const TPrivateEnvironment&) = delete;

  QString Root() const { return Dir.path(); }
  QString Temp() const { return Root() + QStringLiteral("/tmp"); }
  QString DataHome() const { return Root() + QStringLiteral("/data"); }
  QString ConfigHome() const { return Root() + QStringLiteral("/config"); }
  QString SystemData() const { return Root() + QStringLiteral("/system"); }
  // A path inside the private folder; its parent folders are created.
  QString Path(const QString& relative) const;

 private:
  void Set(const char* name, const QString& value);

  QTemporaryDir Dir;
  std::vector<std::pair<QByteArray, std::optional<QByteArray>>> Saved;
};

// Writes a width x height colour JPEG; `seed` varies the picture.
void WriteJpeg(const QString& path, int width, int height, int seed = 0);
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& data);
// The files in `folder` (names only, sorted).
QStringList FilesIn(const QString& folder);

// Builds document bytes field by field, to write damaged documents by hand.
class TDocBytes {
 public:
  TDocBytes& Int(int32_t value);
  TDocBytes& Header(int32_t rows, int32_t columns, int32_t order, int32_t count,
                    int32_t magic = 1701, int32_t version = 1);
  TDocBytes& Parameters(const std::vector<int32_t>& eight);
  TDocBytes& Title(const QString& title);
  TDocBytes& Jpeg(const QByteArray& data);
  TDocBytes& Raw(const QByteArray& data);
  QByteArray Bytes;
};

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
