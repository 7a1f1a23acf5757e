#pragma once
// TFormWait: the wait dialog that keeps a long loop on the user-interface thread usable. It
// shows what is being done and how far it has got, lets pending events run once per item, and
// carries the user's request to stop; the loop asks Running() before every item.
//
// The dialog has no close box and ignores Escape and close requests: only the caller's Close()
// hides it. It is a window of its own, not a child of the main window, so that disabling the
// main window during the loop leaves its Cancel button working.
#include <cstdint>

#include <QDialog>

#include "WaitProtocol.h"

class QLabel;
class QProgressBar;
class QPushButton;

class TFormWait : public QDialog, public IWaitProtocol {
  Q_OBJECT

 public:
  explicit TFormWait(QWidget* parent = nullptr);

  void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) override;
  void SetProgress(int position) override;
  bool Running() const override { return RunningFlag != 0; }
  void Close() override;

  void sButton1Click();

  QLabel* Picture = nullptr;
  QLabel* sLabel1 = nullptr;
  QProgressBar* sProgressBar1 = nullptr;
  QPushButton* sButton1 = nullptr;

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  int32_t RunningFlag = 0;
};
