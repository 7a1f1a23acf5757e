#pragma once
// Files for the tests: private folders per test (TMPDIR and the XDG folders), JPEG photos,
// whole-file reads and writes, and hand-built document bytes for damaged documents.
#include <gtest/gtest.h>

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testfiles {

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
// The permission bits of `path` itself (a link is not followed).
mode_t ModeOf(const QString& path);
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

}  // namespace testfiles
