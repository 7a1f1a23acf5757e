#include "EditorLogic.h"

#include <algorithm>
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

// Whether a rotation code swaps the picture's width and height.
bool TurnsSideways(int32_t rotation) { return rotation == 1 || rotation == 2; }

}  // namespace

TPagePoint PictureToView(TPagePoint p, int32_t rotation, int32_t width, int32_t height,
                         int32_t viewWidth, int32_t viewHeight) {
  const double w = width, h = height;
  TPagePoint t = p;  // in the turned picture
  switch (rotation) {
    case 1:  // clockwise: the top-left corner goes to the top-right one
      t = {h - p.Y, p.X};
      break;
    case 2:
      t = {p.Y, w - p.X};
      break;
    case 3:
      t = {w - p.X, h - p.Y};
      break;
    default:
      break;
  }
  const double tw = TurnsSideways(rotation) ? h : w;
  const double th = TurnsSideways(rotation) ? w : h;
  return {t.X * viewWidth / tw, t.Y * viewHeight / th};
}

TPagePoint ViewToPicture(TPagePoint v, int32_t rotation, int32_t width, int32_t height,
                         int32_t viewWidth, int32_t viewHeight) {
  const double w = width, h = height;
  const double tw = TurnsSideways(rotation) ? h : w;
  const double th = TurnsSideways(rotation) ? w : h;
  const TPagePoint t{v.X * tw / viewWidth, v.Y * th / viewHeight};
  switch (rotation) {
    case 1:
      return {t.Y, h - t.X};
    case 2:
      return {w - t.Y, t.X};
    case 3:
      return {w - t.X, h - t.Y};
    default:
      return t;
  }
}

TPageQuad DefaultPageCorners(int32_t width, int32_t height) {
  const double dx = width * kDefaultCornerInset, dy = height * kDefaultCornerInset;
  TPageQuad q;
  q.Corners = {TPagePoint{dx, dy}, TPagePoint{width - dx, dy}, TPagePoint{width - dx, height - dy},
               TPagePoint{dx, height - dy}};
  return q;
}
