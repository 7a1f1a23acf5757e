#pragma once
// Where the online parts sit in the main window and what they say: the "About" tab's texts, the
// update panel, the column of advertising panels with its pop-up, and the timers that animate
// them. The online services themselves (online/) hold no window sizes or captions; TOnlineUi
// lays its controls out from these.
#include <cstdint>

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

// --- The "About" tab's texts (the controls and their positions are TOnlineUi's) ---
inline const QString kLabelFX1Caption = QStringLiteral("Tavrolin");
inline const QString kLabelFX2Caption =
    QStringLiteral("free tool for coping books, documents and notes");
inline const QString kLabel2Caption =
    QStringLiteral("You liked the program? Tell your friends about it!");
inline const QString kBecomeAfanCaption = QStringLiteral("Become a fan");
inline const QString kLabel9Caption =
    QStringLiteral("If you have any questions please send your request to:");
inline const QString kLabel13Caption = QStringLiteral(
    "Tavrolin is constantly improving. \nIf you are interested in advertising options and  want "
    "to become one of your partners, contact us:");

// --- The update panel sPanelUpdate and its controls ---
inline constexpr QRect kPanelUpdateRect{8, 440, 409, 65};
inline const QColor kPanelUpdateColor{255, 200, 145};
inline constexpr QRect kImageUpdateRect{44, 9, 48, 48};
inline constexpr QPoint kLabel8Pos{115, 8};
inline constexpr QRect kButton1Rect{138, 28, 161, 29};
inline constexpr int kTimerUpdateInterval = 500;  // ms; TimerUpdateTimer toggles ImageUpdate
inline const QString kLabel8DesignCaption = QStringLiteral("New version is available!");
inline const QString kButton1Caption = QStringLiteral("Install update right now");
// sLabel8 when the panel is shown: "New version is available (1.0.0.2)!".
QString UpdatePanelText(const QString& remoteVersion);

// --- The advertising column ---
// AdsTimer runs AdsTimerTick every second while the advertising is enabled.
inline constexpr int kAdsTimerInterval = 1000;  // ms

// Panels ads0 ... ads6: x 435, y 0, 100, ..., 600, 180 x 100.
inline constexpr int kAdsLeft = 435;
inline constexpr int kAdsWidth = 180;
inline constexpr int kAdsHeight = 100;
inline constexpr int kRightTabWidth = 433;
inline QRect AdsPanelRect(int32_t i) { return {kAdsLeft, 100 * i, kAdsWidth, kAdsHeight}; }
inline const QString kAdsCaption = QStringLiteral("180 x 100");
// ads0's hint, then the hint of ads1 to ads6.
inline const QString kAds0Hint = QStringLiteral("This is a place for your advertment");
inline const QString kAdsHint = QStringLiteral("Здесь может быть Ваша реклама");
QString AdsPanelHint(int32_t i);

// The large pop-up panel sPanel17 (disabled, so the hovered panel keeps the pointer's events).
inline constexpr QRect kPanel17Rect{428, 360, 510, 310};
inline constexpr int kPanel17Bevel = 5;
inline const QString kPanel17Caption = QStringLiteral("500 x 300");
inline const QString kLabelFX3Caption = QStringLiteral("Место для Вашей\nрекламы");

// ShowAds: the right tab control's left edge and the main window's width with the column
// shown (619, 1067) or hidden (437, 885).
struct TAdsColumnLayout {
  int RightTabLeft;
  int WindowWidth;
};
TAdsColumnLayout ShowAdsLayout(bool visible);

// AdvPanelMouseEnter: sPanel17's top-left corner, centred on the hovered panel and kept within
// 0 and the main window's height - 310 vertically.
QPoint BigPanelPosition(const QRect& panel, int windowHeight);
