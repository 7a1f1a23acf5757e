// QuickResizeInto: the bilinear resize in 16.16 fixed point, whole or a band of target rows at a
// time (the import's reduction while its photo is being decoded). The depth of the target selects
// the variant; each variant is instantiated for one pixel layout, so the pixel loops never
// branch on the depth.
#include <algorithm>
#include <vector>

#include "FastDIB.h"
#include "ResampleSupport.h"

using namespace tavrolin::resample;

namespace {

// Where one target column samples the source: the byte offsets of the two neighbouring source
// pixels and the 16-bit fraction between them. Built once per call; the same for every row.
struct TQuickColumn {
  int32_t Offset0, Offset1;
  int32_t Fx;
};

// The first sample sits at the centre of the first target pixel, (step / 2) - 0.5 in 16.16;
// positions before the first source pixel take that pixel.
struct TQuickAxisPos {
  int32_t Index0, Index1, Fraction;
};

TQuickAxisPos QuickPosition(int64_t pos, int32_t size) {
  TQuickAxisPos p{0, 0, 0};
  if (pos >= 0) {
    p.Index0 = int32_t(pos >> 16);
    p.Fraction = int32_t(pos & 0xFFFF);
  }
  p.Index1 = p.Index0 < size - 1 ? p.Index0 + 1 : p.Index0;
  return p;
}

// The four bilinear weights, adding up to 65536. wy0 x fx reaches 65536 x 65535, past 2^31,
// so the products are taken in 64 bits.
struct TQuickWeights {
  uint32_t W00, W01, W10, W11;
};

inline TQuickWeights QuickWeights(int32_t wy0, int32_t fy, int32_t fx) {
  const uint32_t w01 = uint32_t((int64_t(wy0) * fx) >> 16);
  const uint32_t w11 = uint32_t((int64_t(fy) * fx) >> 16);
  return {uint32_t(wy0) - w01, w01, uint32_t(fy) - w11, w11};
}

inline uint32_t Blend(const TQuickWeights& w, uint32_t p00, uint32_t p01, uint32_t p10,
                      uint32_t p11) {
  return (w.W00 * p00 + w.W01 * p01 + w.W10 * p10 + w.W11 * p11 + 32768) >> 16;
}

// One target row from source rows r0 and r1, `Channels` bytes per pixel (1, 3 or 4), the
// channels spelled out so that the weights stay in registers.
template <int Channels>
void QuickRowBytes(const uint8_t* r0, const uint8_t* r1, uint8_t* out, const TQuickColumn* cols,
                   int32_t width, int32_t wy0, int32_t fy) {
  for (int32_t x = 0; x < width; ++x, out += Channels) {
    const TQuickColumn& c = cols[x];
    const TQuickWeights w = QuickWeights(wy0, fy, c.Fx);
    const uint8_t *a = r0 + c.Offset0, *b = r0 + c.Offset1;
    const uint8_t *d = r1 + c.Offset0, *e = r1 + c.Offset1;
    out[0] = uint8_t(Blend(w, a[0], b[0], d[0], e[0]));
    if constexpr (Channels >= 3) {
      out[1] = uint8_t(Blend(w, a[1], b[1], d[1], e[1]));
      out[2] = uint8_t(Blend(w, a[2], b[2], d[2], e[2]));
    }
    if constexpr (Channels == 4) out[3] = uint8_t(Blend(w, a[3], b[3], d[3], e[3]));
  }
}

void QuickRow555(const uint8_t* r0, const uint8_t* r1, uint8_t* out, const TQuickColumn* cols,
                 int32_t width, int32_t wy0, int32_t fy) {
  for (int32_t x = 0; x < width; ++x, out += 2) {
    const TQuickColumn& c = cols[x];
    const TQuickWeights w = QuickWeights(wy0, fy, c.Fx);
    int32_t p00[3], p01[3], p10[3], p11[3];
    TPacked555::Unpack(r0 + c.Offset0, p00);
    TPacked555::Unpack(r0 + c.Offset1, p01);
    TPacked555::Unpack(r1 + c.Offset0, p10);
    TPacked555::Unpack(r1 + c.Offset1, p11);
    uint32_t v[3];
    for (int ch = 0; ch < 3; ++ch)
      v[ch] = Blend(w, uint32_t(p00[ch]), uint32_t(p01[ch]), uint32_t(p10[ch]), uint32_t(p11[ch]));
    TPacked555::Pack(v, out);
  }
}

using TQuickRowFn = void (*)(const uint8_t*, const uint8_t*, uint8_t*, const TQuickColumn*, int32_t,
                             int32_t, int32_t);

}  // namespace

int32_t TFastDIB::QuickResizeLowestSourceRow(int32_t sourceRows, int32_t targetRows, int32_t row) {
  if (sourceRows <= 0 || targetRows <= 0) return 0;
  const int64_t ystep = (int64_t(sourceRows) << 16) / targetRows;
  return QuickPosition((ystep >> 1) - 32768 + int64_t(row) * ystep, sourceRows).Index0;
}

void TFastDIB::QuickResizeInto(TFastDIB& target) const {
  QuickResizeRowsInto(target, 0, target.AbsHeight);
}

void TFastDIB::QuickResizeRowsInto(TFastDIB& target, int32_t firstRow, int32_t endRow) const {
  if (!HasPixels(*this) || !HasPixels(target)) return;
  RequireSameDepth(*this, target, "resize");
  firstRow = std::max(firstRow, 0);
  endRow = std::min(endRow, target.AbsHeight);
  if (firstRow >= endRow) return;
  int channels = 0;
  TQuickRowFn rowFn = nullptr;
  // clang-format off
  switch (target.BitCount()) {
    case 8: channels = 1, rowFn = QuickRowBytes<1>; break;
    case 16: channels = 2, rowFn = QuickRow555; break;
    case 24: channels = 3, rowFn = QuickRowBytes<3>; break;
    case 32: channels = 4, rowFn = QuickRowBytes<4>; break;
    default: return;
  }
  // clang-format on
  const int32_t sw = Width(), sh = AbsHeight, dw = target.Width(), dh = target.AbsHeight;
  // 64-bit positions: the same values as 16.16 in 32 bits for every size that fits there, and
  // no wrap-around for the sizes that do not.
  const int64_t xstep = (int64_t(sw) << 16) / dw;
  const int64_t ystep = (int64_t(sh) << 16) / dh;

  std::vector<TQuickColumn> cols(static_cast<size_t>(dw));
  int64_t x = (xstep >> 1) - 32768;
  for (int32_t n = 0; n < dw; ++n, x += xstep) {
    const TQuickAxisPos p = QuickPosition(x, sw);
    cols[size_t(n)] = {p.Index0 * channels, p.Index1 * channels, p.Fraction};
  }

  // The vector form takes the leading columns whose right neighbour is another pixel, in whole
  // groups of eight pixels; the plain loop does the rest of each row.
  int32_t vectorPixels = 0;
  std::vector<int32_t> byteOffsets, byteFractions;
  if (channels == 3 && VectorLoopsEnabled()) {
    while (vectorPixels < dw &&
           cols[size_t(vectorPixels)].Offset1 == cols[size_t(vectorPixels)].Offset0 + 3)
      ++vectorPixels;
    vectorPixels -= vectorPixels % 8;
    byteOffsets.resize(size_t(vectorPixels) * 3);
    byteFractions.resize(size_t(vectorPixels) * 3);
    for (int32_t n = 0; n < vectorPixels; ++n)
      for (int32_t c = 0; c < 3; ++c) {
        byteOffsets[size_t(n) * 3 + c] = cols[size_t(n)].Offset0 + c;
        byteFractions[size_t(n) * 3 + c] = cols[size_t(n)].Fx;
      }
  }

  // Each target row reads two source rows and nothing written before it: the rows may split.
  const int64_t start = (ystep >> 1) - 32768;
  ForEachRowRange(endRow - firstRow, int64_t(dw) * channels * 4, [&](int32_t begin, int32_t end) {
    int64_t y = start + int64_t(firstRow + begin) * ystep;
    for (int32_t row = firstRow + begin; row < firstRow + end; ++row, y += ystep) {
      const TQuickAxisPos p = QuickPosition(y, sh);
      const int32_t fy = p.Fraction;
      const uint8_t* r0 = Scanlines[size_t(p.Index0)];
      const uint8_t* r1 = Scanlines[size_t(p.Index1)];
      uint8_t* out = target.Scanlines[size_t(row)];
      if (vectorPixels > 0)
        QuickRow24Avx2(r0, r1, out, byteOffsets.data(), byteFractions.data(), vectorPixels * 3,
                       65536 - fy, fy);
      rowFn(r0, r1, out + ptrdiff_t(vectorPixels) * channels, cols.data() + vectorPixels,
            dw - vectorPixels, 65536 - fy, fy);
    }
  });
}
