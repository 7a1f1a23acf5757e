#pragma once
// The editor's rules, apart from its widgets: which part of the full picture the magnifier shows,
// and where a page corner of the working picture appears in the editor's view.
// Where a dragged crop handle may go (CropRules.h) and how "Apply to many..." copies parameters
// (ApplyToMany.h) are rules of the document, shared with the command line's "set".
#include <cstdint>
#include <vector>

#include <QImage>

#include "ApplyToMany.h"
#include "CropRules.h"
#include "Shpora.h"

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

// --- Page corners in the view ---

// Maps a point of the working picture (width x height, before rotation; PageWarp.h coordinates)
// to the view of viewWidth x viewHeight that shows the picture turned by `rotation` (the record's
// code: 1 +90 clockwise, 2 -90, 3 180, anything else none) and stretched to fill the view, as the
// Preview is. The turn is the one RotateInto makes, pixel for pixel: a source pixel's centre goes
// to the centre of the turned pixel that shows it (for some sizes RotateInto shifts the picture by
// one pixel and leaves an edge unwritten; the corners follow the shift). The picture's size must
// be positive.
TPagePoint PictureToView(TPagePoint p, int32_t rotation, int32_t width, int32_t height,
                         int32_t viewWidth = kFrameWidth, int32_t viewHeight = kFrameHeight);
// The inverse: a point of the view back to the working picture.
TPagePoint ViewToPicture(TPagePoint v, int32_t rotation, int32_t width, int32_t height,
                         int32_t viewWidth = kFrameWidth, int32_t viewHeight = kFrameHeight);

// The corners shown for a photo that has none yet: the picture's own corners moved in by
// kDefaultCornerInset of its width and height, so that every handle can be grabbed.
constexpr double kDefaultCornerInset = 0.05;
TPageQuad DefaultPageCorners(int32_t width, int32_t height);
