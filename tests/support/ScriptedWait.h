#pragma once
// The wait dialog as tests script it: records every call in order (with whether the watched
// window was enabled at that moment) and presses Cancel during a chosen SetProgress.
#include <functional>
#include <vector>

#include <QString>

#include "WaitProtocol.h"

class TScriptedWait : public IWaitProtocol {
 public:
  struct Call {
    QString What;  // "ShowWait", "SetProgress", "Close"
    QString Caption;
    QString Text;
    int A = 0;  // ShowWait: the minimum; SetProgress: the position
    int B = 0;  // ShowWait: the maximum
    bool WatchedEnabled = true;
  };
  std::vector<Call> Calls;
  // Cancel is pressed during the CancelAfter-th SetProgress after a ShowWait: the loop sees it
  // at its check right after that step. Never when negative.
  int CancelAfter = -1;
  // Runs at every SetProgress, as pending events would (a close request, a drop...).
  std::function<void(int position)> OnProgress;
  // Whether the window that a loop must disable is enabled now; unset: always.
  std::function<bool()> Watched;

  void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) override;
  void SetProgress(int position) override;
  bool Running() const override { return Shown && !Pressed; }
  void Close() override;

  // The positions of every SetProgress so far, in order.
  std::vector<int> Progress() const;
  int Count(const QString& what) const;
  int Shows() const { return Count(QStringLiteral("ShowWait")); }
  int Closes() const { return Count(QStringLiteral("Close")); }
  // What the last ShowWait showed (empty and 0 before the first).
  QString Caption() const { return LastShown().Caption; }
  QString Text() const { return LastShown().Text; }
  int Minimum() const { return LastShown().A; }
  int Maximum() const { return LastShown().B; }
  // Between a ShowWait and its Close.
  bool Visible() const { return Shown; }
  // Cancel was pressed during the last loop.
  bool Cancelled() const { return Pressed; }

 private:
  void Record(Call call);
  Call LastShown() const;

  bool Shown = false;
  bool Pressed = false;
  int Steps = 0;
};
