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
  walk.CosStep =
      static_cast<int32_t>(std::lrint(static_cast<long double>(scale) * std::cos(theta)));
  walk.SinStep =
      static_cast<int32_t>(std::lrint(static_cast<long double>(scale) * std::sin(theta)));
  const uint32_t cx = static_cast<uint32_t>(tw / 2);
  const uint32_t cy = static_cast<uint32_t>(th / 2);
  const int32_t dx =
      static_cast<int32_t>((static_cast<uint32_t>(sw) << 16) - (static_cast<uint32_t>(tw) << 16)) /
      2;
  const int32_t dy =
      static_cast<int32_t>((static_cast<uint32_t>(sh) << 16) - (static_cast<uint32_t>(th) << 16)) /
      2;
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

// Half turns and the identity at scale 1 move the point by exactly one source pixel along a
// source row per target pixel and never change the fraction of X and Y, so each target row takes
// a straight run of one source row. Its ends are computed instead of tested pixel by pixel.
bool IsWholePixelRowWalk(const TRotateWalk& walk) {
  return walk.SinStep == 0 && (walk.CosStep == 65536 || walk.CosStep == -65536);
}

// Narrows [from, to) to the steps j for which (u + dir * j) mod 65536 < n, dir being 1 or -1 and
// u the whole part of X at step 0. With n and the run at most 32768 long that set is one
// interval.
void ClipRun(uint32_t u, int dir, uint32_t n, int32_t& from, int32_t& to) {
  int64_t lo, hi;
  if (dir > 0) {
    lo = u < n ? 0 : 65536 - int64_t(u);
    hi = u < n ? int64_t(n) - u : lo + n;
  } else {
    lo = int64_t(u) - n + 1;
    hi = int64_t(u) + 1;
  }
  from = static_cast<int32_t>(std::max<int64_t>(from, lo));
  to = static_cast<int32_t>(std::min<int64_t>(to, hi));
}

struct TSourceRows {
  const uint8_t* const* Rows;
  uint32_t Width, Height;
};

template <int BytesPerPixel>
void RotateWholePixelRows(const TSourceRows& source, TFastDIB& target, const TRotateWalk& walk,
                          int32_t rowBegin, int32_t rowEnd) {
  const int dir = walk.CosStep / 65536;
  for (int32_t r = rowBegin; r < rowEnd; ++r) {
    const uint32_t ux = (walk.X0 + static_cast<uint32_t>(r) * walk.RowX) >> 16;
    const uint32_t sy = (walk.Y0 + static_cast<uint32_t>(r) * walk.RowY) >> 16;
    if (sy >= source.Height) continue;
    int32_t from = 0, to = target.Width();
    ClipRun(ux, dir, source.Width, from, to);
    if (from >= to) continue;
    const uint32_t sx = (ux + static_cast<uint32_t>(dir * from)) & 0xFFFF;
    const uint8_t* in = source.Rows[sy] + static_cast<ptrdiff_t>(sx) * BytesPerPixel;
    uint8_t* out = target.Scanlines[r] + static_cast<ptrdiff_t>(from) * BytesPerPixel;
    for (int32_t j = from; j < to; ++j, out += BytesPerPixel, in += dir * BytesPerPixel)
      std::memcpy(out, in, BytesPerPixel);
  }
}

// Target columns walked together down the target when the walk runs across the source rows.
constexpr int32_t BandWidth = 16;

// Quarter turns at scale 1 move the point by exactly one source row per target pixel and by one
// source pixel per target row, never changing the fractions: target row r reads one source
// column, the same run of source rows for every r. The target is walked in bands of columns,
// as in the general walk, with the band's source rows looked up once and no test per pixel.
bool IsWholePixelColumnWalk(const TRotateWalk& walk) {
  return walk.CosStep == 0 && (walk.SinStep == 65536 || walk.SinStep == -65536);
}

template <int BytesPerPixel>
void RotateWholePixelColumns(const TSourceRows& source, TFastDIB& target, const TRotateWalk& walk,
                             int32_t rowBegin, int32_t rowEnd) {
  const int dir = walk.SinStep / 65536;  // source rows per target column
  const uint32_t sinStep = static_cast<uint32_t>(walk.SinStep);
  const uint32_t uy = walk.Y0 >> 16;  // source row of column 0, the same in every target row
  int32_t from = 0, to = target.Width();
  ClipRun(uy, dir, source.Height, from, to);
  for (int32_t band = from; band < to; band += BandWidth) {
    const int32_t count = std::min(BandWidth, to - band);
    const uint8_t* in[BandWidth];
    for (int32_t k = 0; k < count; ++k)
      in[k] = source.Rows[(uy + static_cast<uint32_t>(dir * (band + k))) & 0xFFFF];
    for (int32_t r = rowBegin; r < rowEnd; ++r) {
      // X moves by -SinStep per row and not along it.
      const uint32_t sx = (walk.X0 - static_cast<uint32_t>(r) * sinStep) >> 16;
      if (sx >= source.Width) continue;
      const ptrdiff_t at = static_cast<ptrdiff_t>(sx) * BytesPerPixel;
      uint8_t* out = target.Scanlines[r] + static_cast<ptrdiff_t>(band) * BytesPerPixel;
      for (int32_t k = 0; k < count; ++k, out += BytesPerPixel)
        std::memcpy(out, in[k] + at, BytesPerPixel);
    }
  }
}

// Any other walk: pixel by pixel. A walk that runs across the source rows goes down the target
// in bands of columns (BandWidth), so that the source rows a band reads are still in cache when
// the next target row reads them again one pixel further on.

template <int BytesPerPixel>
void RotateAnyAngle(const TSourceRows& source, TFastDIB& target, const TRotateWalk& walk,
                    int32_t rowBegin, int32_t rowEnd) {
  const int32_t tw = target.Width();
  const uint32_t cosStep = static_cast<uint32_t>(walk.CosStep);
  const uint32_t sinStep = static_cast<uint32_t>(walk.SinStep);
  // A walk that runs mostly along the source rows reads them in order anyway.
  const uint32_t absCos = walk.CosStep < 0 ? 0u - cosStep : cosStep;
  const uint32_t absSin = walk.SinStep < 0 ? 0u - sinStep : sinStep;
  const int32_t bandWidth = absCos >= absSin ? tw : BandWidth;
  for (int32_t band = 0; band < tw; band += bandWidth) {
    const int32_t bandEnd = std::min(band + bandWidth, tw);
    const uint32_t bandX = walk.X0 + static_cast<uint32_t>(band) * cosStep;
    const uint32_t bandY = walk.Y0 + static_cast<uint32_t>(band) * sinStep;
    for (int32_t r = rowBegin; r < rowEnd; ++r) {
      uint32_t X = bandX + static_cast<uint32_t>(r) * walk.RowX;
      uint32_t Y = bandY + static_cast<uint32_t>(r) * walk.RowY;
      uint8_t* out = target.Scanlines[r] + static_cast<ptrdiff_t>(band) * BytesPerPixel;
      for (int32_t col = band; col < bandEnd; ++col, out += BytesPerPixel) {
        const uint32_t sx = X >> 16;
        const uint32_t sy = Y >> 16;
        // Unsigned: a point left of or below the source wraps to a large value and fails too.
        if (sx < source.Width && sy < source.Height)
          std::memcpy(out, source.Rows[sy] + sx * BytesPerPixel, BytesPerPixel);
        X += cosStep;
        Y += sinStep;
      }
    }
  }
}

template <int BytesPerPixel>
void RotatePixels(const TFastDIB& source, TFastDIB& target, const TRotateWalk& walk) {
  const TSourceRows rows{source.Scanlines.data(), static_cast<uint32_t>(source.Width()),
                         static_cast<uint32_t>(source.AbsHeight)};
  constexpr int32_t MaxRun = 32768;  // for ClipRun's single interval
  // Every target pixel reads the source only: the target rows may split.
  const int64_t rowBytes = int64_t(target.Width()) * BytesPerPixel;
  if (IsWholePixelRowWalk(walk) && source.Width() <= MaxRun && target.Width() <= MaxRun)
    ForEachRowRange(target.AbsHeight, rowBytes, [&](int32_t begin, int32_t end) {
      RotateWholePixelRows<BytesPerPixel>(rows, target, walk, begin, end);
    });
  else if (IsWholePixelColumnWalk(walk) && source.AbsHeight <= MaxRun && target.Width() <= MaxRun)
    ForEachRowRange(target.AbsHeight, rowBytes, [&](int32_t begin, int32_t end) {
      RotateWholePixelColumns<BytesPerPixel>(rows, target, walk, begin, end);
    });
  else
    ForEachRowRange(target.AbsHeight, rowBytes, [&](int32_t begin, int32_t end) {
      RotateAnyAngle<BytesPerPixel>(rows, target, walk, begin, end);
    });
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
    case 8:
      RotatePixels<1>(*this, target, walk);
      break;
    case 16:
      RotatePixels<2>(*this, target, walk);
      break;
    case 24:
      RotatePixels<3>(*this, target, walk);
      break;
    case 32:
      RotatePixels<4>(*this, target, walk);
      break;
    default:
      break;
  }
}
