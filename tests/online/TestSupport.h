#pragma once
// Small helpers shared by the online tests.
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "WaitProtocol.h"

// Runs events until `done` holds or `timeoutMs` passed; returns `done`'s last value.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
    qFatal("cannot write test file");
}

inline QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every entry of a folder, hidden ones included (a left-over temporary file must show).
inline QStringList FolderEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The wait dialog as the tests script it: records what it is shown and presses Cancel after
// `CancelAfter` progress updates (never when negative).
class TScriptedWait : public IWaitProtocol {
 public:
  void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) override {
    Caption = caption;
    Text = text;
    Minimum = minimum;
    Maximum = maximum;
    ++Shown;
  }
  void SetProgress(int position) override {
    Progress.push_back(position);
    if (CancelAfter >= 0 && int(Progress.size()) >= CancelAfter) Cancelled = true;
    QCoreApplication::processEvents();
  }
  bool Running() const override { return !Cancelled; }
  void Close() override { ++Closed; }

  int CancelAfter = -1;
  bool Cancelled = false;
  QString Caption, Text;
  int Minimum = -1, Maximum = -1, Shown = 0, Closed = 0;
  std::vector<int> Progress;
};
