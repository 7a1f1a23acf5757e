#pragma once
// What the two resizes of TFastDIB share with each other and with their AVX2 loops: the depth
// check, the 5-5-5 pixel layout, ResampleInto's contributor tables and the entry points of the
// vector loops. Internal to the imaging library.
//
// QuickResize.cpp holds the bilinear resize, Resample.cpp the kernel resampling, ResampleAvx2.cpp
// the AVX2 forms of their loops. Both resizes read the source through its row table and write
// the target through its own, in memory row order, so a region view works as a source and the
// two images must share their orientation.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include <QString>

#include "FastDIB.h"

namespace tavrolin::resample {

// The source must have the pixel layout the target's variant reads: a source of another depth
// would be read outside its rows.
inline void RequireSameDepth(const TFastDIB& source, const TFastDIB& target, const char* what) {
  if (source.BitCount() == target.BitCount()) return;
  throw std::runtime_error(QStringLiteral("Cannot %1 a %2-bit image into a %3-bit image.")
                               .arg(QLatin1String(what))
                               .arg(source.BitCount())
                               .arg(target.BitCount())
                               .toStdString());
}

inline bool HasPixels(const TFastDIB& image) {
  return image.Bits != nullptr && image.Width() > 0 && image.AbsHeight > 0;
}

// 16-bit pixels are 5-5-5 (blue in the low bits). Each component is widened by a shift with the
// low bits zero and packed back by dropping them.
struct TPacked555 {
  static void Unpack(const uint8_t* p, int32_t* bgr) {
    const uint32_t v = uint32_t(p[0]) | (uint32_t(p[1]) << 8);
    bgr[0] = int32_t((v & 0x1F) << 3);
    bgr[1] = int32_t(((v >> 5) & 0x1F) << 3);
    bgr[2] = int32_t(((v >> 10) & 0x1F) << 3);
  }
  static void Pack(const uint32_t* bgr, uint8_t* p) {
    const uint32_t v = (bgr[0] >> 3) | ((bgr[1] >> 3) << 5) | ((bgr[2] >> 3) << 10);
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
  }
};

// ---------------------------------------------------------------------------------------------
// Contributor tables of ResampleInto

// How one target position is computed: its taps are Weights[Offset .. Offset + Count) over the
// source positions First .. First + Count - 1 (taps outside the source, and zero weights at
// either end, are left out: they add nothing to the sum). The divisor d is applied as
// (sum + d / 2) div d, clamped to 0..255, by an exact multiply and shift (see MakeDivision).
struct TContributor {
  int32_t First;
  int32_t Count;
  int32_t Offset;
  int32_t Half;  // d >> 1
  int32_t Max;   // 255 x d: sums at or above it give 255
  uint32_t Multiplier;
  uint32_t Shift;
};

struct TContributors {
  std::vector<TContributor> Positions;
  std::vector<int32_t> Weights;
  // The same weights for the vector passes, two taps to an int32 (the first in the low half),
  // Quads x 2 of them per position, zero beyond the position's Count. A weight that does not fit
  // 16 bits (only when a kernel is stretched by less than 2) is split into w >> 8 (PairsHigh) and
  // w & 255 (Pairs): the sum is then 256 x the sum over the high parts plus the sum over the low.
  int32_t Quads = 0;  // groups of four taps: ceil(largest Count / 4)
  bool Split = false;
  std::vector<int32_t> Pairs;
  std::vector<int32_t> PairsHigh;
  // The rounding, clamping and division of positions 2i and 2i + 1 as the horizontal pass
  // applies them to both at once: each value four times for 2i, then four times for 2i + 1,
  // and the two shifts as 64-bit lanes.
  struct TPairFinish {
    int32_t Half[8], Max[8], Multiplier[8];
    int64_t Shift[4];
  };
  std::vector<TPairFinish> PairFinishes;
  // And their weights, laid out as that pass reads them: for each step of two taps, the pair
  // of 2i four times, then the pair of 2i + 1 four times (Quads x 2 steps for each two
  // positions; PairVectorsHigh beside them when Split).
  std::vector<int32_t> PairVectors;
  std::vector<int32_t> PairVectorsHigh;
};

// ---------------------------------------------------------------------------------------------
// The AVX2 loops (ResampleAvx2.cpp). They are called only while VectorLoopsEnabled(), which is
// never on a processor without AVX2; elsewhere they do nothing.

// The vector form of one row of either pass of ResampleInto, where there is one; false when the
// plain loop has to do it. `pairsUntil` and `checkedFrom` keep the horizontal pass's reads
// inside the row.
bool HorizontalRowVector(const uint8_t* src, int32_t sourceWidth, uint8_t* dst,
                         const TContributors& table, size_t pairsUntil, size_t checkedFrom,
                         int32_t channels);
bool VerticalRowVector(const TFastDIB& inter, const TContributors& table, int32_t row,
                       int32_t bytes, uint8_t* dst);

// QuickResizeInto on 24-bit rows: the first `bytes` output bytes (a multiple of 8) from source
// rows r0 and r1, byte k from offsets[k] and fractions[k] (see ResampleAvx2.cpp).
void QuickRow24Avx2(const uint8_t* r0, const uint8_t* r1, uint8_t* out, const int32_t* offsets,
                    const int32_t* fractions, int32_t bytes, int32_t wy0, int32_t fy);

}  // namespace tavrolin::resample
