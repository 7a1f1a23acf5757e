// The update thread hands its result over through the event queue of an object on this thread,
// so the tests run with a QCoreApplication.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  // Every server of the tests is on 127.0.0.1; a proxy from the environment must not step in.
  qputenv("no_proxy", "127.0.0.1,localhost");
  qputenv("NO_PROXY", "127.0.0.1,localhost");
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
