// The brightness and contrast fields: what they report, when they correct themselves, and that
// every change reaches the open photo.
#include <gtest/gtest.h>

#include <QFocusEvent>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "EditorPage.h"
#include "EditorTestSupport.h"
#include "SpinEdit.h"

namespace {

void FocusOut(QWidget* w) {
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(w, &out);
}

TEST(SpinEdit, ReportsTheTextUnclampedAndTheMinimumForNoNumber) {
  TSpinEdit spin(-20, 20);
  EXPECT_EQ(spin.text(), "0");
  struct Case {
    const char* Text;
    int Value;
  };
  for (const Case c : {Case{"25", 25}, Case{"-25", -25}, Case{"+7", 7}, Case{"", -20},
                       Case{"-", -20}, Case{"2-5", -20}, Case{"9999", 9999}}) {
    spin.setText(QString::fromLatin1(c.Text));
    EXPECT_EQ(spin.Value(), c.Value) << c.Text;
  }
}

TEST(SpinEdit, StepsAndSetValueStayInRange) {
  TSpinEdit spin(-20, 20);
  spin.SetValue(99);
  EXPECT_EQ(spin.text(), "20");
  spin.SetValue(-99);
  EXPECT_EQ(spin.text(), "-20");
  struct Case {
    const char* Text;
    int Delta;
    const char* After;
  };
  for (const Case c : {Case{"20", 1, "20"}, Case{"25", 1, "20"}, Case{"25", -1, "20"},
                       Case{"-20", -1, "-20"}, Case{"", 1, "-19"}, Case{"3", -1, "2"}}) {
    spin.setText(QString::fromLatin1(c.Text));
    spin.StepBy(c.Delta);
    EXPECT_EQ(spin.text(), c.After) << c.Text << " " << c.Delta;
  }
}

TEST(SpinEdit, KeysWheelAndTypingRules) {
  TSpinEdit spin(-20, 20);
  QTest::keyClick(&spin, Qt::Key_Up);
  EXPECT_EQ(spin.text(), "1");
  QTest::keyClick(&spin, Qt::Key_Down);
  QTest::keyClick(&spin, Qt::Key_Down);
  EXPECT_EQ(spin.text(), "-1");
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&spin, &wheel);
  EXPECT_EQ(spin.text(), "0");

  spin.selectAll();
  QTest::keyClicks(&spin, "a1b2c345");  // letters never get in; four characters at most
  EXPECT_EQ(spin.text(), "1234");
}

TEST(SpinEdit, FocusOutCorrectsOnlyValuesOutsideTheRange) {
  TSpinEdit spin(-20, 20);
  QSignalSpy changes(&spin, &TSpinEdit::Changed);
  spin.setText("-31");
  FocusOut(&spin);
  EXPECT_EQ(spin.text(), "-20");
  EXPECT_EQ(changes.count(), 2);  // the text set and the correction
  spin.setText("");
  FocusOut(&spin);
  EXPECT_EQ(spin.text(), "");  // reads as -20, inside the range
  spin.setText("13");
  FocusOut(&spin);
  EXPECT_EQ(spin.text(), "13");
  EXPECT_EQ(changes.count(), 4);
}

class SpinOnPhoto : public testing::Test {
 protected:
  void SetUp() override {
    Page = std::make_unique<TEditorPage>(Host);
    Page->show();
    Photo = Photos.Add(240, 320);
    Photo->ImageType = 0;
    Photo->Brightness = 0;
    Host.List = Photos.All();
    Page->SelectPhoto(Photo);
    Host.OnPrintPreview = [this] {
      Stored.push_back(Photo->Brightness);
      // Every stored value has been processed into the pictures before the sheet is redrawn.
      EXPECT_NE(Photo->Preview, nullptr);
    };
  }

  TPhotoSet Photos;
  TFakeHost Host;
  std::unique_ptr<TEditorPage> Page;
  TShpora* Photo = nullptr;
  std::vector<int> Stored;
};

TEST_F(SpinOnPhoto, Typing25StoresEachKeystrokeThenTheCorrection) {
  Page->sSpinEdit1->setFocus();
  Page->sSpinEdit1->selectAll();
  QTest::keyClicks(Page->sSpinEdit1, "25");
  EXPECT_EQ(Stored, (std::vector<int>{2, 25}));
  EXPECT_EQ(Photo->Brightness, 25);
  FocusOut(Page->sSpinEdit1);
  EXPECT_EQ(Page->sSpinEdit1->text(), "20");
  EXPECT_EQ(Stored, (std::vector<int>{2, 25, 20}));
  EXPECT_EQ(Photo->Brightness, 20);
}

TEST_F(SpinOnPhoto, ClearingTheTextStoresTheMinimum) {
  Page->sSpinEdit2->selectAll();
  QTest::keyClick(Page->sSpinEdit2, Qt::Key_Backspace);
  EXPECT_EQ(Photo->Contrast, -20);
  EXPECT_EQ(Host.PrintPreviews, 1);
}

TEST_F(SpinOnPhoto, ArrowButtonStepsTheOpenPhoto) {
  auto* up = Page->sSpinEdit1->findChildren<QToolButton*>().value(0);
  ASSERT_NE(up, nullptr);
  QTest::mouseClick(up, Qt::LeftButton);
  EXPECT_EQ(Photo->Brightness, 1);
  EXPECT_EQ(Stored, (std::vector<int>{1}));
}

}  // namespace
