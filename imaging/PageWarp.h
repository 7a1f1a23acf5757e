#pragma once
// Flattening a photographed page: its four corners, the page's shape recovered from them, and
// the projective warp that turns the page into an upright rectangle.
//
// Points are in picture coordinates: x to the right, y down from the picture's top-left corner,
// in pixels, fractional allowed. Pixel (i, j) (column i, row j from the top) covers the square
// from (i, j) to (i + 1, j + 1), so its centre is (i + 0.5, j + 0.5) and a picture's own corners
// are (0, 0), (width, 0), (width, height), (0, height). Memory rows of a TFastDIB are bottom-up:
// picture row j is Scanlines[AbsHeight - 1 - j], and the warp addresses both images that way.
#include <array>
#include <cstdint>

#include <QString>

#include "FastDIB.h"

struct TPagePoint {
  double X = 0;
  double Y = 0;
};

// The page's corners in the order top-left, top-right, bottom-right, bottom-left of the page
// (clockwise as seen on the screen).
struct TPageQuad {
  std::array<TPagePoint, 4> Corners;
};

// How far a corner may lie outside the picture, as a fraction of the picture's longer side: a
// page whose corner the photo cut off is still usable.
constexpr double kPageQuadMargin = 0.1;

// Why `quad` cannot be used as a page of a width x height picture, in words for the user; empty
// when it can. Usable means: every coordinate finite; every corner inside the picture grown by
// kPageQuadMargin on each side; every side at least 1 pixel long; the corners in the order above
// and the quadrilateral convex, not self-intersecting, with no corner's angle within about 3
// degrees of 0 or 180 (a nearly flat corner makes the page's shape ill-defined). A picture with
// no pixels has no usable quadrilateral.
QString PageQuadProblem(const TPageQuad& quad, int32_t width, int32_t height);
inline bool IsUsablePageQuad(const TPageQuad& quad, int32_t width, int32_t height) {
  return PageQuadProblem(quad, width, height).isEmpty();
}

enum class TAspectMethod {
  // The focal length estimated from the two vanishing points of the page's sides (principal
  // point at the picture's centre, square pixels) and the rectified sides compared.
  FocalLength,
  // The mean length of the top and bottom sides over the mean length of the left and right
  // sides, as drawn in the picture.
  SideLengths,
  // One vanishing point at infinity (the page tilted about one axis only, as a phone tilted
  // towards the user sees it): the focal length cannot be told from the corners, so a typical
  // phone camera's, kAssumedFocalLength, stands in, and the rectified sides are compared.
  AssumedFocalLength,
};

struct TPageAspect {
  double Aspect = 1;  // the page's width over its height
  TAspectMethod Method = TAspectMethod::SideLengths;
  double FocalLength = 0;  // in pixels with FocalLength and AssumedFocalLength; 0 with SideLengths
};

// The thresholds of the focal length method, in units of the picture's longer side: a vanishing
// point farther than kFarVanishingPoint from the picture's centre counts as at infinity (the
// estimate is then dominated by the corners' placing error), and a focal length outside
// kMinFocalLength..kMaxFocalLength is taken for a failed estimate.
constexpr double kFarVanishingPoint = 10;
constexpr double kMinFocalLength = 0.2;
constexpr double kMaxFocalLength = 10;
// A phone's main camera, about 26 to 28 mm in 35 mm terms, on a 4:3 picture: a focal length of
// about 0.8 of the picture's longer side. With a camera of that focal length the aspect comes back
// exact; one 10% off it gives an aspect about 1% off at 20 degrees of tilt and 3% at 30.
constexpr double kAssumedFocalLength = 0.8;

// The page's aspect ratio with the camera's focal length unknown. The vanishing points of both
// pairs of opposite sides give the focal length and with it the true ratio of the sides; when
// exactly one of them lies at (or near) infinity, the quadrilateral being nearly a trapezoid,
// kAssumedFocalLength stands in for the focal length; when both do (nearly a parallelogram), or
// the focal length comes out imaginary or outside the limits above, the ratio of the mean side
// lengths stands in. Method says which. Throws std::runtime_error with
// PageQuadProblem's words for an unusable quadrilateral.
TPageAspect EstimatePageAspect(const TPageQuad& quad, int32_t width, int32_t height);

struct TPageSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// The size of the flattened page: its longer side is `longSide`, the other longSide / aspect
// (or x aspect for an upright page) rounded to nearest, halves away from zero, at least 1. A
// longSide below 1 or an aspect that is not a positive finite number gives 0 x 0.
TPageSize PageOutputSize(double aspect, int32_t longSide);

// A plane projective map: (x, y) goes to ((M[0] x + M[1] y + M[2]) / w, (M[3] x + M[4] y + M[5])
// / w) with w = M[6] x + M[7] y + M[8]. Row-major, M[8] == 1 for the maps made here.
struct THomography {
  std::array<double, 9> M{1, 0, 0, 0, 1, 0, 0, 0, 1};
};
TPagePoint MapPoint(const THomography& h, double x, double y);

// The map from the output rectangle (0, 0)-(width, height) onto `quad`: the rectangle's
// top-left, top-right, bottom-right and bottom-left corners go to the quad's corners in order.
// Throws std::runtime_error for a quadrilateral whose three corners are collinear (no such map
// exists); width and height must be positive.
THomography PageHomography(const TPageQuad& quad, int32_t width, int32_t height);

// Fills `target` with the page `quad` of `source`, flattened to the whole of target: output pixel
// centre (u + 0.5, v + 0.5) takes the source at PageHomography(quad, target size) of it. Both
// images are 8 or 24 bits and of the same depth; the caller creates the target (normally of
// PageOutputSize). Interpolation is the Catmull-Rom cubic on 4 x 4 taps at 1/256-pixel steps,
// in fixed point, clamped to 0..255; taps outside the source take the nearest edge pixel. An
// 8-bit picture's indices are interpolated as gray levels and the target keeps its own colour
// table. An output pixel whose point falls on a source pixel centre gets that pixel exactly, so
// the picture's own corners give the picture back. Either image empty: nothing is done.
// Throws std::runtime_error with a readable message for another depth, images of different
// depths, the target being the source, or a quadrilateral PageQuadProblem refuses.
void WarpPageInto(const TFastDIB& source, const TPageQuad& quad, TFastDIB& target);
