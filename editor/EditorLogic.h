#pragma once
// The editor's rules, apart from its widgets: where a dragged crop handle may go, which part of
// the full picture the magnifier shows, and how "Apply to many..." copies parameters.
#include <cstdint>
#include <vector>

#include <QImage>

#include "Shpora.h"

class IWaitProtocol;

// --- Crop handles ---

// The four bars: Top is pp1, Bottom pp2, Left pp3, Right pp4.
enum class THandleEdge { Top, Bottom, Left, Right };

// The range of the Brightness and Contrast values the editor offers.
constexpr int32_t kParamMin = -20;
constexpr int32_t kParamMax = 20;
constexpr int32_t kHandleGap = 20;          // opposite edges never come closer than this
constexpr int32_t kHandleLowLimit = 1;      // top and left bars stop here
constexpr int32_t kHandleBottomLimit = 589; // the bottom bar stops here
constexpr int32_t kHandleRightLimit = 416;  // the right bar stops here

// The position a dragged bar takes for the raw position `raw` (its top for a horizontal bar, its
// left for a vertical one), given the position of the opposite bar. The frame limit is applied
// first and the gap rule second, so the gap wins: a right bar dragged left of a left bar at 400
// stops at 420, beyond the frame.
int32_t ClampHandle(THandleEdge edge, int32_t raw, int32_t opposite);

// --- Magnifier ---

constexpr int32_t kZoomWidth = 420;
constexpr int32_t kZoomHeight = 594;

struct TZoomOrigin {
  int32_t Left = 0, Top = 0;
};

// The top-left corner, in the full picture's pixels from its top, of the zoomWidth x zoomHeight
// window shown for the pointer at (x, y) over a viewWidth x viewHeight editor image. The window
// is centred on the point under the pointer and kept inside the picture; for a picture smaller
// than the window the origin is negative in that direction.
TZoomOrigin MagnifierOrigin(int32_t x, int32_t y, int32_t viewWidth, int32_t viewHeight,
                            int32_t pictureWidth, int32_t pictureHeight,
                            int32_t zoomWidth = kZoomWidth, int32_t zoomHeight = kZoomHeight);

// Copies the target-sized window of the 24-bit `source` whose top-left corner is `origin` 1:1
// into `target` (Format_BGR888, created by the caller). Nothing outside the source is read; what
// the source does not cover is white. A source of another depth leaves the target all white.
void CopyZoomWindow(const TFastDIB& source, TZoomOrigin origin, QImage& target);

// --- Apply to many ---

// The groups of parameters "Apply to many..." can copy, as the sum of their values.
enum TApplyGroup : int {
  ApplyImageType = 1,
  ApplyBrightnessContrast = 2,
  ApplyCropping = 4,
  ApplyRotation = 8,
};

enum class TApplyScope { All, Even, Odd };

struct TApplyOptions {
  int ApplyWhat = ApplyBrightnessContrast | ApplyRotation;
  TApplyScope ApplyScope = TApplyScope::All;
};

// Whether list position p (counted from 1) is in the scope: Even takes 2, 4, 6, ..., Odd 1, 3, 5.
bool InApplyScope(TApplyScope scope, int position);

// Copies the chosen groups from `source` into `target`; the rest of `target` stays.
void CopyChosenGroups(const TShporaData& source, TShporaData& target, int applyWhat);

// The loop of "Apply to many...": for each position p = 1..photos.size() it moves the wait
// protocol to p, stops when the user has cancelled, and for a photo in scope copies the chosen
// groups from `source` and reprocesses it (Reload without the full picture), even when no group
// is chosen. The caller shows and closes the wait dialog. A failing Reload ends the loop with its
// error: the photos before it keep their new values and pictures. Returns how many photos were
// reprocessed.
int ApplyToMany(const TShporaData& source, const std::vector<TShpora*>& photos,
                const TApplyOptions& options, IWaitProtocol& wait);
