#pragma once
// Shared pieces of the command line tests: real JPEG photos written here, the real program run
// with QProcess in a private temporary folder, and a look into its JSON report.
#include <gtest/gtest.h>

#include <cstdint>

#include <QJsonObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
};

// Writes a JPEG of width x height (quality 92): `paper` with a dark bar across the upper third,
// so the photocopy filter has something to keep.
void WriteTestJpeg(const QString& path, int width, int height, TRgb paper = {230, 220, 200});

struct TRun {
  int Code = -1;
  QString Out, Err;
};

// Runs `program` and waits for it (at most two minutes).
TRun RunProgram(const QString& program, const QStringList& args,
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                const QString& workingDir = QString());

// The page count pdfinfo reports, or -1.
int PdfPageCount(const QString& file);

// A private folder with photos and documents; the program runs with TMPDIR inside it, so a
// test can see that it leaves no working files behind.
class TCliTest : public ::testing::Test {
 protected:
  TCliTest();

  QString Path(const QString& name) const { return Dir.filePath(name); }
  // Writes a photo named `name` (may hold sub-folders) and returns its path.
  QString Photo(const QString& name, int width = 300, int height = 400,
                TRgb paper = {230, 220, 200});
  // `count` portrait photos p1.jpg ... in the folder "photos".
  QStringList Photos(int count);

  TRun Cli(const QStringList& args) const;
  // `new` that must succeed.
  void MakeDocument(const QString& doc, const QStringList& photos, const QStringList& options = {});
  // `info --json` that must succeed.
  QJsonObject Info(const QString& doc) const;
  // The titles of the document's photos, in order.
  QStringList Titles(const QString& doc) const;
  // Entries left in the program's temporary folder.
  QStringList TempLeftovers() const;

  QTemporaryDir Dir;
  QProcessEnvironment Env;
};
