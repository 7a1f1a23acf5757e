#pragma once
// The one main() of the test binaries (TestMain.cpp). Before the tests run it points TMPDIR and
// the XDG folders (data, config, cache, runtime) at fresh folders of this process, so tests run
// as root, without a display and in parallel without seeing each other's files or the user's;
// it removes them at the end. Each binary picks the application its code needs by the library
// it links: tavrolin_test_main_none, _core (QCoreApplication), _gui (QGuiApplication) or
// _widgets (QApplication); all of them run under Qt's offscreen platform unless the environment
// names another.
#include <functional>
#include <optional>

namespace testsupport {

// What a binary adds to the shared main, set from a source of its own during static
// initialisation (see MainHooks()).
struct TMainHooks {
  // Runs first, while the process still has a single thread (a new mount namespace, signal
  // dispositions, variables that must be set before the application reads them).
  std::function<void()> BeforeAnything;
  // Runs once the application exists; a value ends the process with that code instead of
  // running the tests (a helper process that a test starts from the same binary).
  std::function<std::optional<int>(int argc, char** argv)> InsteadOfTests;
};

TMainHooks& MainHooks();

// The environment variable that holds the private folders' root. A process started by a test of
// this binary inherits it and keeps the folders it was given, so the two share them as two
// programs of one user do.
inline constexpr const char* kPrivateRootVariable = "TAVROLIN_TEST_PRIVATE_ROOT";

}  // namespace testsupport
