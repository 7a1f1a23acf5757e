#include "CropRules.h"

#include "Shpora.h"

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

void SetWidestCrop(TShporaData& photo) {
  photo.CropLeft = kHandleLowLimit;
  photo.CropRight = kHandleRightLimit;
  photo.CropTop = kHandleLowLimit;
  photo.CropBottom = kHandleBottomLimit;
}

void StraightenWith(TShporaData& photo, const TPageQuad& corners) {
  photo.Page.HasCorners = true;
  photo.Page.Corners = corners;
  photo.Page.Straighten = true;
  SetWidestCrop(photo);
}
