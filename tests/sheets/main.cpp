// The sheets and printing tests need a QGuiApplication: fonts, drawing and PDF output need the
// GUI side, and nothing here needs widgets. Everything runs under Qt's offscreen platform with
// private folders, so tests run as root, without a display and in parallel.
#include <QGuiApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir privateHome;
  if (!privateHome.isValid()) return 2;
  const QString root = privateHome.path();
  for (const char* name : {"tmp", "runtime", "data", "config"}) QDir(root).mkpath(name);
  QFile::setPermissions(root + "/runtime", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner);
  qputenv("TMPDIR", QFile::encodeName(root + "/tmp"));
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/runtime"));
  qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config"));

  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
