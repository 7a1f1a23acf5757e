#include "EditorLogic.h"

#include <algorithm>
#include <cmath>
#include <cstring>

TZoomOrigin MagnifierOrigin(int32_t x, int32_t y, int32_t viewWidth, int32_t viewHeight,
                            int32_t pictureWidth, int32_t pictureHeight, int32_t zoomWidth,
                            int32_t zoomHeight) {
  if (viewWidth <= 0 || viewHeight <= 0) return {};
  // Products in 64 bits: a pointer far outside a captured image must not overflow.
  const auto sx = static_cast<int32_t>(int64_t{x} * pictureWidth / viewWidth);
  const auto sy = static_cast<int32_t>(int64_t{y} * pictureHeight / viewHeight);
  TZoomOrigin o{sx - zoomWidth / 2, sy - zoomHeight / 2};
  // Lower limit first, upper second: a picture smaller than the window ends up with a negative
  // origin rather than one past its start.
  if (o.Left < 0) o.Left = 0;
  if (o.Left >= pictureWidth - zoomWidth) o.Left = pictureWidth - zoomWidth;
  if (o.Top < 0) o.Top = 0;
  if (o.Top >= pictureHeight - zoomHeight) o.Top = pictureHeight - zoomHeight;
  return o;
}

void CopyZoomWindow(const TFastDIB& source, TZoomOrigin origin, QImage& target) {
  const int32_t zw = target.width();
  const int32_t zh = target.height();
  const bool usable = !source.IsEmpty() && source.BitCount() == 24;
  const int32_t w = usable ? source.Width() : 0;
  const int32_t h = usable ? source.AbsHeight : 0;
  // The columns of the window that the picture covers, in window coordinates.
  const int32_t firstCol = std::clamp(-origin.Left, 0, zw);
  const int32_t endCol = std::clamp(w - origin.Left, firstCol, zw);
  const size_t leftBytes = static_cast<size_t>(firstCol) * 3;
  const size_t copyBytes = static_cast<size_t>(endCol - firstCol) * 3;
  const size_t rightBytes = static_cast<size_t>(zw - endCol) * 3;
  for (int32_t row = 0; row < zh; ++row) {
    uint8_t* out = target.scanLine(row);
    const int32_t sy = origin.Top + row;
    if (sy < 0 || sy >= h || copyBytes == 0) {
      std::memset(out, 0xFF, static_cast<size_t>(zw) * 3);
      continue;
    }
    // Rows are stored bottom-up: picture row sy lives in memory row h - 1 - sy.
    const uint8_t* in =
        source.Scanlines[h - 1 - sy] + static_cast<ptrdiff_t>(origin.Left + firstCol) * 3;
    std::memset(out, 0xFF, leftBytes);
    std::memcpy(out + leftBytes, in, copyBytes);
    std::memset(out + leftBytes + copyBytes, 0xFF, rightBytes);
  }
}

namespace {

// The turn RotateInto makes for a rotation code, as a map between continuous coordinates with
// rows counted bottom-up as the images store them: source (X, M) with M = height - y, target
// (I, R) likewise. RotateInto's walk sends target pixel (i, r) to source pixel
// (ax + iC - rS, ay + iS + rC), where C and S are the cosine and sine (0 or +-1) and ax, ay the
// whole parts of its start, which carry the half pixel of a picture with an odd side. The map
// below takes each source pixel's centre to the centre of the target pixel that shows it, so a
// corner sits on the pixel the user sees, also where the turn shifts the picture by a pixel.
struct TTurn {
  int C = 1, S = 0;
  double Ax = 0, Ay = 0;   // ax, ay
  double K1 = 0, K2 = 0;   // centre offsets
  int32_t Tw = 0, Th = 0;  // the turned picture's size
};

TTurn MakeTurn(int32_t rotation, int32_t width, int32_t height) {
  TTurn t;
  switch (rotation) {
    case 1:  // +90, clockwise on the screen
      t.C = 0;
      t.S = 1;
      break;
    case 2:
      t.C = 0;
      t.S = -1;
      break;
    case 3:
      t.C = -1;
      t.S = 0;
      break;
    default:
      break;
  }
  const bool sideways = t.C == 0;
  t.Tw = sideways ? height : width;
  t.Th = sideways ? width : height;
  // The walk's start in source pixels (RotateInto's centre and offset); halves are exact.
  const double cx = t.Tw / 2, cy = t.Th / 2;
  const double startX = cx - cx * t.C + cy * t.S + (width - t.Tw) / 2.0;
  const double startY = cy - cx * t.S - cy * t.C + (height - t.Th) / 2.0;
  t.Ax = std::floor(startX);
  t.Ay = std::floor(startY);
  t.K1 = 0.5 - 0.5 * t.C - 0.5 * t.S;
  t.K2 = 0.5 + 0.5 * t.S - 0.5 * t.C;
  return t;
}

}  // namespace

TPagePoint PictureToView(TPagePoint p, int32_t rotation, int32_t width, int32_t height,
                         int32_t viewWidth, int32_t viewHeight) {
  const TTurn t = MakeTurn(rotation, width, height);
  const double x = p.X - t.Ax, m = height - p.Y - t.Ay;
  const double i = t.C * x + t.S * m + t.K1;
  const double r = -t.S * x + t.C * m + t.K2;
  return {i * viewWidth / t.Tw, (t.Th - r) * viewHeight / t.Th};
}

TPagePoint ViewToPicture(TPagePoint v, int32_t rotation, int32_t width, int32_t height,
                         int32_t viewWidth, int32_t viewHeight) {
  const TTurn t = MakeTurn(rotation, width, height);
  const double i = v.X * t.Tw / viewWidth - t.K1;
  const double r = t.Th - v.Y * t.Th / viewHeight - t.K2;
  const double x = t.C * i - t.S * r, m = t.S * i + t.C * r;
  return {x + t.Ax, height - (m + t.Ay)};
}

TPageQuad DefaultPageCorners(int32_t width, int32_t height) {
  const double dx = width * kDefaultCornerInset, dy = height * kDefaultCornerInset;
  TPageQuad q;
  q.Corners = {TPagePoint{dx, dy}, TPagePoint{width - dx, dy}, TPagePoint{width - dx, height - dy},
               TPagePoint{dx, height - dy}};
  return q;
}
