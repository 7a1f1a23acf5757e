// "Apply to many..." on five real photos, through the real dialog: the scopes, the groups, the
// wait dialog and the main window around the loop, and what Cancel and a failure leave behind.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "EditorPage.h"
#include "EditorTestSupport.h"
#include "FormProps.h"

namespace {

class ApplyToManyTest : public testing::Test {
 protected:
  void SetUp() override {
    Page = std::make_unique<TEditorPage>(Host);
    Page->show();
    for (int i = 0; i < 5; ++i) Photos.Add(200, 280);
    Host.List = Photos.All();
    // The open photo is the second one; its values differ from every default.
    Open = Host.List[1];
    Open->ImageType = 0;
    Open->Rotation = 3;
    Open->Brightness = 4;
    Open->Contrast = -6;
    Open->CropLeft = 21;
    Open->CropRight = 301;
    Open->CropTop = 31;
    Open->CropBottom = 501;
    Page->SelectPhoto(Open);
  }

  // Clicks "Apply to many..." and answers the dialog with `answer`.
  void Apply(std::function<void(TFormProps&)> answer) {
    WhenShown(Page->FormProps, std::move(answer));
    QTest::mouseClick(Page->sButtonApply, Qt::LeftButton);
  }
  static void Ok(TFormProps& d) { QTest::mouseClick(d.sSpeedButton1, Qt::LeftButton); }

  // Drops every photo's pictures, so that a reprocessed photo is the one holding a Preview.
  void DropAllPictures() {
    for (TShpora* p : Host.List) p->DropImages();
  }
  static bool HasDefaults(const TShpora& p) {
    const TShporaData d;
    return p.ImageType == d.ImageType && p.Rotation == d.Rotation && p.Brightness == d.Brightness &&
           p.Contrast == d.Contrast && p.CropLeft == d.CropLeft && p.CropRight == d.CropRight &&
           p.CropTop == d.CropTop && p.CropBottom == d.CropBottom;
  }
  void ExpectLoopClosedCleanly() {
    EXPECT_EQ(Host.WaitDialog.Shows(), 1);
    EXPECT_EQ(Host.WaitDialog.Closes(), 1);
    EXPECT_EQ(Host.EnabledCalls, (std::vector<bool>{false, true}));
    EXPECT_TRUE(Host.WaitOpenWhileDisabled);
    EXPECT_TRUE(Host.MainEnabled);
    EXPECT_EQ(Host.PrintPreviews, 1);
  }

  TPhotoSet Photos;
  TFakeHost Host;
  std::unique_ptr<TEditorPage> Page;
  TShpora* Open = nullptr;
};

struct ScopeCase {
  const char* Name;
  int Radio;  // 1 all, 2 even, 3 odd
  std::vector<int> Affected;
};

class ApplyScopes : public ApplyToManyTest, public testing::WithParamInterface<ScopeCase> {};

TEST_P(ApplyScopes, OnlyPositionsInScopeTakeTheValuesAndAreReprocessed) {
  const ScopeCase c = GetParam();
  DropAllPictures();
  Apply([&](TFormProps& d) {
    (c.Radio == 2 ? d.sRadioButton2 : c.Radio == 3 ? d.sRadioButton3 : d.sRadioButton1)->click();
    Ok(d);
  });
  EXPECT_EQ(Host.WaitDialog.Caption(), "Please wait...");
  EXPECT_EQ(Host.WaitDialog.Text(), "Processing images...");
  EXPECT_EQ(Host.WaitDialog.Minimum(), 1);
  EXPECT_EQ(Host.WaitDialog.Maximum(), 5);
  EXPECT_EQ(Host.WaitDialog.Progress(), (std::vector<int>{1, 2, 3, 4, 5}));
  ExpectLoopClosedCleanly();
  EXPECT_TRUE(Host.Errors.isEmpty());

  for (int p = 1; p <= 5; ++p) {
    SCOPED_TRACE(p);
    const TShpora& photo = *Host.List[p - 1];
    const bool affected = std::find(c.Affected.begin(), c.Affected.end(), p) != c.Affected.end();
    EXPECT_EQ(photo.Preview != nullptr, affected);
    EXPECT_EQ(photo.FullImage, nullptr);
    if (&photo == Open) continue;  // it takes its own values either way
    // The default groups: brightness and contrast, and rotation.
    EXPECT_EQ(photo.Brightness, affected ? 4 : 1);
    EXPECT_EQ(photo.Contrast, affected ? -6 : 1);
    EXPECT_EQ(photo.Rotation, affected ? 3 : 0);
    EXPECT_EQ(photo.ImageType, 1);
    EXPECT_EQ(photo.CropLeft, 40);
  }
  EXPECT_EQ(Page->CurrentPhoto(), Open);
}

INSTANTIATE_TEST_SUITE_P(Scopes, ApplyScopes,
                         testing::Values(ScopeCase{"All", 1, {1, 2, 3, 4, 5}},
                                         ScopeCase{"Even", 2, {2, 4}},
                                         ScopeCase{"Odd", 3, {1, 3, 5}}),
                         [](const testing::TestParamInfo<ScopeCase>& i) { return i.param.Name; });

TEST_F(ApplyToManyTest, DialogStartsFromTheSameChoiceEveryTime) {
  std::vector<bool> seen;
  auto record = [&](TFormProps& d) {
    for (QCheckBox* b : {d.sCheckBox1, d.sCheckBox2, d.sCheckBox3, d.sCheckBox4})
      seen.push_back(b->isChecked());
    seen.push_back(d.sRadioButton1->isChecked());
  };
  Apply([&](TFormProps& d) {
    record(d);
    EXPECT_EQ(d.windowTitle(), "Apply to many...");
    EXPECT_EQ(d.size(), QSize(245, 309));
    EXPECT_EQ(d.sCheckBox1->text(), "Image type (colored/grayscale)");
    EXPECT_EQ(d.sCheckBox3->text(), "Cropping ");
    d.sCheckBox1->setChecked(true);
    d.sCheckBox2->setChecked(false);
    d.sCheckBox3->setChecked(true);
    d.sRadioButton3->click();
    QTest::mouseClick(d.sSpeedButton2, Qt::LeftButton);
  });
  Apply([&](TFormProps& d) {
    record(d);
    d.reject();
  });
  const std::vector<bool> defaults{false, true, false, true, true};
  std::vector<bool> twice = defaults;
  twice.insert(twice.end(), defaults.begin(), defaults.end());
  EXPECT_EQ(seen, twice);
}

TEST_F(ApplyToManyTest, OnlyTheTickedGroupsAreCopied) {
  Apply([](TFormProps& d) {
    d.sCheckBox2->setChecked(false);
    d.sCheckBox4->setChecked(false);
    d.sCheckBox3->setChecked(true);
    Ok(d);
  });
  for (TShpora* p : Host.List) {
    if (p == Open) continue;
    EXPECT_EQ(p->ImageType, 1);
    EXPECT_EQ(p->Rotation, 0);
    EXPECT_EQ(p->Brightness, 1);
    EXPECT_EQ(p->Contrast, 1);
    EXPECT_EQ(p->CropLeft, 21);
    EXPECT_EQ(p->CropRight, 301);
    EXPECT_EQ(p->CropTop, 31);
    EXPECT_EQ(p->CropBottom, 501);
  }
  Apply([](TFormProps& d) {
    d.sCheckBox1->setChecked(true);
    d.sCheckBox2->setChecked(false);
    d.sCheckBox4->setChecked(false);
    Ok(d);
  });
  for (TShpora* p : Host.List) EXPECT_EQ(p->ImageType, 0);
}

TEST_F(ApplyToManyTest, NoGroupTickedStillReprocessesEveryPhoto) {
  DropAllPictures();
  Open->FullImage = std::make_unique<TFastDIB>(2, 24, 2);  // the open photo's goes too
  Apply([](TFormProps& d) {
    d.sCheckBox2->setChecked(false);
    d.sCheckBox4->setChecked(false);
    Ok(d);
  });
  for (TShpora* p : Host.List) {
    EXPECT_NE(p->Preview, nullptr);
    EXPECT_EQ(p->FullImage, nullptr);
    if (p != Open) {
      EXPECT_TRUE(HasDefaults(*p));
    }
  }
  ExpectLoopClosedCleanly();
}

TEST_F(ApplyToManyTest, CancelInTheDialogChangesNothing) {
  Apply([](TFormProps& d) { QTest::mouseClick(d.sSpeedButton2, Qt::LeftButton); });
  EXPECT_EQ(Host.WaitDialog.Shows(), 0);
  EXPECT_TRUE(Host.EnabledCalls.empty());
  EXPECT_EQ(Host.PrintPreviews, 0);
  for (TShpora* p : Host.List) {
    if (p != Open) {
      EXPECT_TRUE(HasDefaults(*p));
    }
  }
}

TEST_F(ApplyToManyTest, CancelInTheWaitDialogStopsBeforeTheNextPhoto) {
  DropAllPictures();
  Host.WaitDialog.CancelAfter = 3;  // pressed at the third step, SetProgress(3)
  Apply(Ok);
  EXPECT_EQ(Host.WaitDialog.Progress(), (std::vector<int>{1, 2, 3}));
  for (int p = 1; p <= 5; ++p) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Host.List[p - 1]->Preview != nullptr, p <= 2);
    EXPECT_EQ(Host.List[p - 1]->Brightness, p <= 2 ? 4 : 1);
  }
  ExpectLoopClosedCleanly();  // the sheet is redrawn as after a full run
}

TEST_F(ApplyToManyTest, FailingPhotoEndsTheLoopWithTheWindowUsableAgain) {
  TShpora* third = Host.List[2];
  const TFastDIB* thirdPreview = third->Preview.get();
  ASSERT_TRUE(QFile::remove(third->WorkFile));
  Host.List[0]->DropImages();
  Apply(Ok);

  ASSERT_EQ(Host.Errors.size(), 1);
  EXPECT_EQ(Host.EnabledAtError, (std::vector<bool>{true}));
  EXPECT_EQ(Host.WaitVisibleAtError, (std::vector<bool>{false}));
  ExpectLoopClosedCleanly();
  EXPECT_EQ(Host.WaitDialog.Progress(), (std::vector<int>{1, 2, 3}));
  // Before it: new values and pictures; the failing one: new values, its old pictures; after
  // it: untouched.
  EXPECT_NE(Host.List[0]->Preview, nullptr);
  EXPECT_EQ(Host.List[0]->Brightness, 4);
  EXPECT_EQ(third->Brightness, 4);
  EXPECT_EQ(third->Preview.get(), thirdPreview);
  EXPECT_TRUE(HasDefaults(*Host.List[3]));
  EXPECT_TRUE(HasDefaults(*Host.List[4]));
}

TEST_F(ApplyToManyTest, WithoutAnOpenPhotoNothingHappens) {
  Page->SelectPhoto(nullptr);
  bool asked = false;
  Apply([&](TFormProps& d) {
    asked = true;
    d.reject();
  });
  EXPECT_FALSE(asked);
  EXPECT_EQ(Host.WaitDialog.Shows(), 0);
  EXPECT_TRUE(Host.EnabledCalls.empty());
}

}  // namespace
