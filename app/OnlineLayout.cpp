#include "OnlineLayout.h"

QString UpdatePanelText(const QString& remoteVersion) {
  return QStringLiteral("New version is available") + QStringLiteral(" (") + remoteVersion +
         QStringLiteral(")!");
}

QString AdsPanelHint(int32_t i) { return i == 0 ? kAds0Hint : kAdsHint; }

TAdsColumnLayout ShowAdsLayout(bool visible) {
  const int left = kAdsLeft + 2 + (visible ? kAdsWidth + 2 : 0);
  return {left, left + kRightTabWidth + 15};
}

QPoint BigPanelPosition(const QRect& panel, int windowHeight) {
  const int left = panel.left() + panel.width() / 2 - kPanel17Rect.width() / 2;
  int top = panel.top() + panel.height() / 2 - kPanel17Rect.height() / 2;
  if (top < 0) top = 0;
  if (top > windowHeight - kPanel17Rect.height()) top = windowHeight - kPanel17Rect.height();
  return {left, top};
}
