// The fault tests need a QApplication (offscreen without a display) and, for the full-disk
// tests, a mount namespace of their own, which must be made while the process has one thread.
#include <sched.h>
#include <sys/mount.h>

#include <csignal>
#include <cstring>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "HardeningSupport.h"

int main(int argc, char** argv) {
  // A file that may not grow any more fails its write instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  hardening::PrivateMounts = unshare(CLONE_NEWNS) == 0 &&
                             mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The windows' start-up fetch and pings go to a closed port here, never out of the machine.
  if (qEnvironmentVariableIsEmpty("TAVROLIN_SITE")) qputenv("TAVROLIN_SITE", "127.0.0.1:9");
  QTemporaryDir runtime;
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  }
  QApplication app(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "--instance") == 0)
    return hardening::RunInstance(QString::fromLocal8Bit(argv[2]));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
