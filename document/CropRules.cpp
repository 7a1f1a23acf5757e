#include "CropRules.h"

int32_t ClampHandle(THandleEdge edge, int32_t raw, int32_t opposite) {
  int32_t v = raw;
  switch (edge) {
    case THandleEdge::Top:
    case THandleEdge::Left:
      if (v < kHandleLowLimit) v = kHandleLowLimit;
      if (v > opposite - kHandleGap) v = opposite - kHandleGap;
      break;
    case THandleEdge::Bottom:
      if (v > kHandleBottomLimit) v = kHandleBottomLimit;
      if (v < opposite + kHandleGap) v = opposite + kHandleGap;
      break;
    case THandleEdge::Right:
      if (v > kHandleRightLimit) v = kHandleRightLimit;
      if (v < opposite + kHandleGap) v = opposite + kHandleGap;
      break;
  }
  return v;
}
