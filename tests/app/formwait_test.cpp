// The real wait dialog: its range rule, Cancel delivered while the loop pumps events, and that
// nothing but the loop's end closes it.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "AppTestSupport.h"
#include "FormWait.h"

namespace {

using apptest::AppTest;

// Clicks Cancel from inside the next round of pending events, as a user's click arrives.
void ClickCancelSoon(TFormWait& wait) {
  QTimer::singleShot(0, &wait, [&wait] { QTest::mouseClick(wait.sButton1, Qt::LeftButton); });
}

TEST(FormWait, ShowWaitPreparesTheDialog) {
  TFormWait wait;
  EXPECT_EQ(wait.size(), QSize(490, 105));
  EXPECT_EQ(wait.sButton1->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(wait.sProgressBar1->geometry(), QRect(64, 32, 409, 24));
  EXPECT_FALSE(wait.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(wait.windowFlags() & Qt::WindowStaysOnTopHint);

  struct Case {
    int Min, Max, BarMax;
  };
  for (const Case& c : {Case{1, 1, 2}, Case{0, 5, 5}, Case{0, 0, 1}}) {
    wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Opening a.TavDoc..."), c.Min,
                  c.Max);
    EXPECT_EQ(wait.windowTitle(), QStringLiteral("Please wait..."));
    EXPECT_EQ(wait.sLabel1->text(), QStringLiteral("Opening a.TavDoc..."));
    EXPECT_EQ(wait.sProgressBar1->minimum(), c.Min);
    EXPECT_EQ(wait.sProgressBar1->maximum(), c.BarMax);
    EXPECT_EQ(wait.sProgressBar1->value(), c.Min);
    EXPECT_TRUE(wait.Running());
    EXPECT_TRUE(wait.isVisible());
    wait.Close();
    EXPECT_FALSE(wait.isVisible());
  }
}

TEST(FormWait, CancelArrivesDuringSetProgressAndDoesNotCarryOver) {
  QWidget main;
  main.show();
  main.setEnabled(false);  // as during a loop
  TFormWait wait;
  wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Adding files..."), 0, 3);
  wait.SetProgress(0);
  EXPECT_TRUE(wait.Running());
  ClickCancelSoon(wait);
  wait.SetProgress(1);
  EXPECT_FALSE(wait.Running());
  EXPECT_EQ(wait.sProgressBar1->value(), 1);
  EXPECT_TRUE(wait.isVisible());  // Cancel does not hide the dialog
  QTest::mouseClick(wait.sButton1, Qt::LeftButton);
  EXPECT_FALSE(wait.Running());
  wait.Close();
  wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Adding files..."), 0, 3);
  EXPECT_TRUE(wait.Running());
}

TEST(FormWait, OnlyTheLoopClosesIt) {
  TFormWait wait;
  wait.ShowWait(QStringLiteral("Please wait..."), QStringLiteral("Working..."), 0, 1);
  EXPECT_FALSE(wait.close());
  QTest::keyClick(&wait, Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_TRUE(wait.isVisible());
  EXPECT_TRUE(wait.Running());
  wait.Close();
  EXPECT_FALSE(wait.isVisible());
}

class FormWaitWithWindow : public AppTest {};

TEST_F(FormWaitWithWindow, CancelWhileAddingStopsBeforeTheNextPhoto) {
  MakeForm();
  TFormWait wait;
  Form->SetWaitDialog(wait);
  Form->show();
  bool checked = false;
  QObject::connect(wait.sProgressBar1, &QProgressBar::valueChanged, &wait, [&](int value) {
    if (value != 1) return;
    // The main window is disabled during the loop, the wait dialog is not.
    EXPECT_FALSE(Form->isEnabled());
    EXPECT_TRUE(wait.isEnabled());
    checked = true;
    ClickCancelSoon(wait);
  });
  Form->AddFileList({MakePhoto(QStringLiteral("1.jpg")), MakePhoto(QStringLiteral("2.jpg")),
                     MakePhoto(QStringLiteral("3.jpg"))});
  EXPECT_TRUE(checked);
  EXPECT_EQ(Titles(), QStringList({QStringLiteral("1.jpg")}));
  EXPECT_FALSE(wait.isVisible());
  EXPECT_TRUE(Form->isEnabled());
}

}  // namespace
