#include "TestFiles.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "JpegFixture.h"

namespace testfiles {

TPrivateEnvironment::TPrivateEnvironment() {
  EXPECT_TRUE(Dir.isValid());
  for (const QString& folder : {Temp(), DataHome(), ConfigHome(), SystemData()}) {
    QDir().mkpath(folder);
  }
  Set("TMPDIR", Temp());
  Set("XDG_DATA_HOME", DataHome());
  Set("XDG_CONFIG_HOME", ConfigHome());
  Set("XDG_DATA_DIRS", SystemData());
  // The window fetches its settings and pings at start; in tests they go to a closed local
  // port and fail at once, never to a name that needs a resolver. Tests of the online parts
  // point it at their own server.
  Set("TAVROLIN_SITE", QStringLiteral("127.0.0.1:9"));
}

TPrivateEnvironment::~TPrivateEnvironment() {
  for (auto it = Saved.rbegin(); it != Saved.rend(); ++it) {
    if (it->second) {
      qputenv(it->first.constData(), *it->second);
    } else {
      qunsetenv(it->first.constData());
    }
  }
}

void TPrivateEnvironment::Set(const char* name, const QString& value) {
  Saved.emplace_back(name, qEnvironmentVariableIsSet(name)
                               ? std::optional<QByteArray>(qgetenv(name))
                               : std::nullopt);
  qputenv(name, QFile::encodeName(value));
}

QString TPrivateEnvironment::Path(const QString& relative) const {
  const QString path = Root() + u'/' + relative;
  QDir().mkpath(QFileInfo(path).absolutePath());
  return path;
}

void WriteJpeg(const QString& path, int width, int height, int seed) {
  WriteJpegFixture(path, width, height, [seed](int x, int y) {
    return BgrPixel{static_cast<uint8_t>(((x ^ y) + seed) & 0xFF),
                    static_cast<uint8_t>((y * 3 + seed * 11) & 0xFF),
                    static_cast<uint8_t>((x * 5 + seed * 37) & 0xFF)};
  });
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "cannot read " << path.toStdString();
    return {};
  }
  return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& data) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(file.write(data), data.size());
}

mode_t ModeOf(const QString& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
  return st.st_mode & 07777;
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TDocBytes& TDocBytes::Int(int32_t value) {
  char bytes[4];
  qToLittleEndian<int32_t>(value, bytes);
  Bytes.append(bytes, 4);
  return *this;
}

TDocBytes& TDocBytes::Header(int32_t rows, int32_t columns, int32_t order, int32_t count,
                             int32_t magic, int32_t version) {
  return Int(magic).Int(version).Int(rows).Int(columns).Int(order).Int(count);
}

TDocBytes& TDocBytes::Parameters(const std::vector<int32_t>& eight) {
  for (int32_t value : eight) Int(value);
  return *this;
}

TDocBytes& TDocBytes::Title(const QString& title) {
  Int(static_cast<int32_t>(title.size()));
  for (QChar c : title) {
    char bytes[2];
    qToLittleEndian<uint16_t>(c.unicode(), bytes);
    Bytes.append(bytes, 2);
  }
  return *this;
}

TDocBytes& TDocBytes::Jpeg(const QByteArray& data) {
  Int(static_cast<int32_t>(data.size()));
  Bytes.append(data);
  return *this;
}

TDocBytes& TDocBytes::Raw(const QByteArray& data) {
  Bytes.append(data);
  return *this;
}

}  // namespace testfiles
