#pragma once
// What the fault tests share: a small disk that fills up on demand, the peak memory of the
// process, and the helper process that stands in for a second running program.
#include <cstdint>

#include <QString>
#include <QStringList>

namespace hardening {

// Set before the application starts (the first step of the shared main): this test process has
// a mount namespace of its own, so it may mount file systems that nobody else sees (and that
// vanish with the process).
extern bool PrivateMounts;

// A small disk at `folder` (created if missing) for the length of a test: a tmpfs of `bytes`
// when the process has private mounts. Without them it falls back on the file-size limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored), which makes writes fail the same way once FillUp() has
// been called; Usable() is false only when neither is possible.
class TSmallDisk {
 public:
  TSmallDisk(const QString& folder, int64_t bytes);
  ~TSmallDisk();
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;

  bool Usable() const { return Mounted || LimitWorks; }
  bool IsRealFileSystem() const { return Mounted; }
  QString Why() const { return Reason; }
  // From now on nothing more fits: the tmpfs is filled to the last byte by a file in its root
  // (".filler"), or no file of this process may grow any more.
  void FillUp();
  // Gives the room back (the filler removed, the limit lifted).
  void Release();

 private:
  QString Folder;
  bool Mounted = false;
  bool LimitWorks = false;
  bool Limited = false;
  QString Reason;
};

// The names in `folder` without the filler of a small disk, sorted.
QStringList FilesIn(const QString& folder);

// The largest resident size this process has had so far, in MiB.
int64_t PeakResidentMiB();

// The folder of the seed corpus of a fuzz target: fuzz/corpus/`target` of the source tree.
QString FuzzCorpus(const QString& target);

// The helper process: "hardening_tests --instance DOCUMENT" runs one main window that opens the
// document, prints "ready WORKFOLDER" and the working files, then waits for "close" on its
// standard input, closes the window (answering "No" to the save prompt) and prints "closed".
int RunInstance(const QString& document);

}  // namespace hardening
