// The geometry and texts of the window's online parts: the update panel's text, the advertising
// column beside the right tab control and the pop-up kept inside the window.
#include <gtest/gtest.h>

#include "OnlineLayout.h"

TEST(UpdatePanel, TextNamesTheOfferedVersion) {
  EXPECT_EQ(UpdatePanelText("1.0.0.2"), "New version is available (1.0.0.2)!");
}

TEST(AdsRules, ColumnAndPopUpGeometry) {
  EXPECT_EQ(ShowAdsLayout(false).RightTabLeft, 437);
  EXPECT_EQ(ShowAdsLayout(false).WindowWidth, 885);
  EXPECT_EQ(ShowAdsLayout(true).RightTabLeft, 619);
  EXPECT_EQ(ShowAdsLayout(true).WindowWidth, 1067);

  EXPECT_EQ(AdsPanelRect(6), QRect(435, 600, 180, 100));
  const int windowHeight = 728;
  // Centred on the panel; the top kept at 0 for ads0 and at the window's height - 310 for ads6.
  EXPECT_EQ(BigPanelPosition(AdsPanelRect(0), windowHeight), QPoint(270, 0));
  EXPECT_EQ(BigPanelPosition(AdsPanelRect(3), windowHeight), QPoint(270, 195));
  EXPECT_EQ(BigPanelPosition(AdsPanelRect(6), windowHeight), QPoint(270, 728 - 310));
  EXPECT_EQ(BigPanelPosition(AdsPanelRect(6), 2000), QPoint(270, 495));

  EXPECT_EQ(AdsPanelHint(0), "This is a place for your advertment");
  EXPECT_EQ(AdsPanelHint(6), QString::fromUtf8("Здесь может быть Ваша реклама"));
}
