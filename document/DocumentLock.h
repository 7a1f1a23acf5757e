#pragma once
// The lock that keeps two writers of one document from losing each other's changes: two windows,
// a window and the command line, two commands at once. Whoever writes a document holds its lock,
// a hidden file beside it (".NAME.lock"), for as long as it may still write it: the window while
// the document is its current one, a command for its whole read, change and write.
//
// The lock of a process that ended without releasing it (a crash, a kill) is taken over: the file
// records the holder's process, and a lock whose holder is gone counts for nothing.
#include <memory>

#include <QString>

class QLockFile;

// How long a writer waits for another one to finish before it gives up.
constexpr int kDocumentLockWaitMs = 2000;

class TDocumentLock {
 public:
  // The lock of the document at `documentPath`; nothing is taken yet.
  explicit TDocumentLock(const QString& documentPath);
  ~TDocumentLock();  // releases the lock if held
  TDocumentLock(const TDocumentLock&) = delete;
  TDocumentLock& operator=(const TDocumentLock&) = delete;

  // Takes the lock, waiting up to `waitMs` for another holder to let go. Throws
  // std::runtime_error naming the document and the process that holds it when that holder does
  // not let go in time. A lock file that cannot be made at all (a folder that is not writable)
  // is not an error here: writing the document there will fail with its own message.
  void Take(int waitMs = kDocumentLockWaitMs);
  // Takes the lock if it is free now; false, and nothing thrown, when another process holds it.
  bool TryTake();
  bool Held() const;
  const QString& DocumentPath() const { return Path; }

  // The hidden lock file's path for a document.
  static QString LockFileName(const QString& documentPath);

 private:
  // "NAME is in use by PROGRAM (process PID)": the text of a lock held by someone else.
  QString HolderText() const;

  QString Path;
  std::unique_ptr<QLockFile> File;
};
