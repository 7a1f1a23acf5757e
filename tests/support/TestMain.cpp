// Compiled once per application kind (TAVROLIN_TEST_APPLICATION: 0 none, 1 QCoreApplication,
// 2 QGuiApplication, 3 QApplication); see TestMain.h.
#include "TestMain.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#if TAVROLIN_TEST_APPLICATION == 3
#include <QApplication>
using TTestApplication = QApplication;
#elif TAVROLIN_TEST_APPLICATION == 2
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#elif TAVROLIN_TEST_APPLICATION == 1
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#elif TAVROLIN_TEST_APPLICATION == 0
// The image code needs no event loop and no platform.
struct TTestApplication {
  TTestApplication(int&, char**) {}
};
#else
#error "TAVROLIN_TEST_APPLICATION must be 0, 1, 2 or 3"
#endif

namespace testsupport {

TMainHooks& MainHooks() {
  static TMainHooks hooks;
  return hooks;
}

}  // namespace testsupport

namespace {

void UsePrivateFolders(const QString& root) {
  const struct {
    const char* Variable;
    const char* Folder;
  } folders[] = {{"TMPDIR", "tmp"},
                 {"XDG_DATA_HOME", "data"},
                 {"XDG_CONFIG_HOME", "config"},
                 {"XDG_CACHE_HOME", "cache"},
                 {"XDG_RUNTIME_DIR", "runtime"}};
  for (const auto& f : folders) {
    const QString path = root + u'/' + QLatin1String(f.Folder);
    QDir().mkpath(path);
    qputenv(f.Variable, QFile::encodeName(path));
  }
  // Qt ignores a runtime folder that others may enter, and says so at every start.
  QFile::setPermissions(root + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv(testsupport::kPrivateRootVariable, QFile::encodeName(root));
}

}  // namespace

int main(int argc, char** argv) {
  const testsupport::TMainHooks& hooks = testsupport::MainHooks();
  if (hooks.BeforeAnything) hooks.BeforeAnything();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Every server of the tests is on 127.0.0.1; a proxy from the environment must not step in.
  qputenv("no_proxy", "127.0.0.1,localhost");
  qputenv("NO_PROXY", "127.0.0.1,localhost");

  // Made before the application and so removed after it: nothing of Qt's is left inside.
  std::optional<QTemporaryDir> privateRoot;
  if (qEnvironmentVariableIsEmpty(testsupport::kPrivateRootVariable)) {
    privateRoot.emplace(QDir::tempPath() + QStringLiteral("/tavrolin-tests-XXXXXX"));
    if (!privateRoot->isValid()) {
      std::fprintf(stderr, "cannot create the tests' private folders in %s\n",
                   qPrintable(QDir::tempPath()));
      return 2;
    }
    UsePrivateFolders(privateRoot->path());
  }

  TTestApplication app(argc, argv);
  if (hooks.InsteadOfTests) {
    if (const std::optional<int> code = hooks.InsteadOfTests(argc, argv)) return *code;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
