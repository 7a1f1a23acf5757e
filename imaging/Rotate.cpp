// Rotation by any angle with scaling, nearest below, in 16.16 fixed point.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "FastDIB.h"

namespace {

struct TRotateWalk {
  int32_t CosStep = 0;
  int32_t SinStep = 0;
  // 16.16 source position of target pixel 0 of memory row 0, and how it moves per row.
  uint32_t X0 = 0, Y0 = 0;
  uint32_t RowX = 0, RowY = 0;
};

// The arithmetic is 32-bit with wrap-around; unsigned types give that without undefined
// behaviour, and products taken modulo 2^32 are the same whatever the width they are computed
// in.
TRotateWalk MakeWalk(int32_t sw, int32_t sh, int32_t tw, int32_t th, int32_t scale, double angle) {
  constexpr long double Pi = 3.1415926535897932385L;
  const long double theta = static_cast<long double>(angle) * Pi / 180.0L;
  TRotateWalk walk;
  // lrint rounds in the current mode: to nearest, ties to even.
  walk.CosStep = static_cast<int32_t>(std::lrint(static_cast<long double>(scale) * std::cos(theta)));
  walk.SinStep = static_cast<int32_t>(std::lrint(static_cast<long double>(scale) * std::sin(theta)));
  const uint32_t cx = static_cast<uint32_t>(tw / 2);
  const uint32_t cy = static_cast<uint32_t>(th / 2);
  const int32_t dx =
      static_cast<int32_t>((static_cast<uint32_t>(sw) << 16) - (static_cast<uint32_t>(tw) << 16)) / 2;
  const int32_t dy =
      static_cast<int32_t>((static_cast<uint32_t>(sh) << 16) - (static_cast<uint32_t>(th) << 16)) / 2;
  const uint32_t cosStep = static_cast<uint32_t>(walk.CosStep);
  const uint32_t sinStep = static_cast<uint32_t>(walk.SinStep);
  // Row r has v = cy - r: X = (cx << 16) - cx * Cos + v * Sin + dx, Y = (cy << 16) - cx * Sin -
  // v * Cos + dy. Each further row takes v down by one.
  walk.X0 = (cx << 16) - cx * cosStep + cy * sinStep + static_cast<uint32_t>(dx);
  walk.Y0 = (cy << 16) - cx * sinStep - cy * cosStep + static_cast<uint32_t>(dy);
  walk.RowX = 0u - sinStep;
  walk.RowY = cosStep;
  return walk;
}

// Target columns are walked in bands so that, for quarter turns, the source pixels a band reads
// from one row to the next stay in cache. The positions are the same as a row-by-row walk's.
constexpr int32_t BandWidth = 64;

template <int BytesPerPixel>
void RotatePixels(const TFastDIB& source, TFastDIB& target, const TRotateWalk& walk) {
  const uint32_t sw = static_cast<uint32_t>(source.Width());
  const uint32_t sh = static_cast<uint32_t>(source.AbsHeight);
  const int32_t tw = target.Width();
  const int32_t th = target.AbsHeight;
  const uint32_t cosStep = static_cast<uint32_t>(walk.CosStep);
  const uint32_t sinStep = static_cast<uint32_t>(walk.SinStep);
  const uint8_t* const* rows = source.Scanlines.data();
  for (int32_t band = 0; band < tw; band += BandWidth) {
    const int32_t bandEnd = std::min(band + BandWidth, tw);
    const uint32_t bandX = walk.X0 + static_cast<uint32_t>(band) * cosStep;
    const uint32_t bandY = walk.Y0 + static_cast<uint32_t>(band) * sinStep;
    for (int32_t r = 0; r < th; ++r) {
      uint32_t X = bandX + static_cast<uint32_t>(r) * walk.RowX;
      uint32_t Y = bandY + static_cast<uint32_t>(r) * walk.RowY;
      uint8_t* out = target.Scanlines[r] + static_cast<ptrdiff_t>(band) * BytesPerPixel;
      for (int32_t col = band; col < bandEnd; ++col, out += BytesPerPixel) {
        const uint32_t sx = X >> 16;
        const uint32_t sy = Y >> 16;
        // Unsigned: a point left of or below the source wraps to a large value and fails too.
        if (sx < sw && sy < sh) std::memcpy(out, rows[sy] + sx * BytesPerPixel, BytesPerPixel);
        X += cosStep;
        Y += sinStep;
      }
    }
  }
}

}  // namespace

void TFastDIB::RotateInto(TFastDIB& target, int32_t scale, double angle) const {
  // A target of another depth would make the copy read or write past the rows' pixels.
  if (IsEmpty() || target.IsEmpty() || &target == this || target.BitCount() != BitCount()) return;
  if (!std::isfinite(angle)) return;
  // Memory rows are what is walked; the height's sign only says which way up they are shown.
  const TRotateWalk walk =
      MakeWalk(Width(), AbsHeight, target.Width(), target.AbsHeight, scale, angle);
  switch (target.BitCount()) {
    case 8: RotatePixels<1>(*this, target, walk); break;
    case 16: RotatePixels<2>(*this, target, walk); break;
    case 24: RotatePixels<3>(*this, target, walk); break;
    case 32: RotatePixels<4>(*this, target, walk); break;
    default: break;
  }
}
