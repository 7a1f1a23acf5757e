#pragma once
// The values a photo's parameters may take, as the editor's controls and the command line's "set"
// both enforce them: the range of Brightness and Contrast, and where a crop edge may go in the
// 420 x 594 reference frame.
#include <cstdint>

// The four bars: Top is pp1, Bottom pp2, Left pp3, Right pp4.
enum class THandleEdge { Top, Bottom, Left, Right };

// The range of the Brightness and Contrast values the editor offers.
constexpr int32_t kParamMin = -20;
constexpr int32_t kParamMax = 20;
constexpr int32_t kHandleGap = 20;           // opposite edges never come closer than this
constexpr int32_t kHandleLowLimit = 1;       // top and left bars stop here
constexpr int32_t kHandleBottomLimit = 589;  // the bottom bar stops here
constexpr int32_t kHandleRightLimit = 416;   // the right bar stops here

// The position a dragged bar takes for the raw position `raw` (its top for a horizontal bar, its
// left for a vertical one), given the position of the opposite bar. The frame limit is applied
// first and the gap rule second, so the gap wins: a right bar dragged left of a left bar at 400
// stops at 420, beyond the frame.
int32_t ClampHandle(THandleEdge edge, int32_t raw, int32_t opposite);

class TShporaData;
struct TPageQuad;

// The crop edges at the widest the handles allow (1, 416, 1, 589): a straightened page has no
// desk left to cut away.
void SetWidestCrop(TShporaData& photo);
// Gives the photo these page corners, turns straightening on and widens the crop.
void StraightenWith(TShporaData& photo, const TPageQuad& corners);
