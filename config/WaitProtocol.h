#pragma once
// The wait protocol of every long loop: ShowWait, then SetProgress and a check of Running before
// every item, then Close. The window's wait dialog implements it; the command line implements it
// with a progress bar on a terminal. Code below the user interface sees only this.
#include <QString>

class IWaitProtocol {
 public:
  virtual ~IWaitProtocol() = default;
  virtual void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) = 0;
  // Shows the position and lets pending events run once (so Cancel can be pressed).
  virtual void SetProgress(int position) = 0;
  // False once the user has pressed Cancel.
  virtual bool Running() const = 0;
  virtual void Close() = 0;
};

// Closes the wait dialog when the scope ends, also when a loop is left by an exception.
class TWaitScope {
 public:
  TWaitScope(IWaitProtocol& wait, const QString& caption, const QString& text, int minimum,
             int maximum)
      : Wait(wait) {
    Wait.ShowWait(caption, text, minimum, maximum);
  }
  ~TWaitScope() { Wait.Close(); }
  TWaitScope(const TWaitScope&) = delete;
  TWaitScope& operator=(const TWaitScope&) = delete;
  IWaitProtocol& Wait;
};
