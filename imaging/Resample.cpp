// ResampleInto: the separable two-pass resample with sixteen kernels and integer weights. The
// depth of the target selects the variant; each variant is instantiated for one pixel layout,
// so the pixel loops never branch on the depth.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "FastDIB.h"
#include "ResampleSupport.h"

using namespace tavrolin::resample;

namespace {

// ---------------------------------------------------------------------------------------------
// Kernels of ResampleInto

constexpr long double kPi = 3.141592653589793238462643383279502884L;

// The product pi * x is rounded to double before the sine and the division, as the kernel table
// was defined; the rest stays extended.
long double Sinc(long double x) {
  if (x == 0) return 1;
  const double px = static_cast<double>(kPi * x);
  return std::sin(static_cast<long double>(px)) / px;
}

long double KernelExtended(int filter, long double a) {
  switch (filter) {
    case FilterNearest:
      return 1;
    case FilterBox:
      return a <= 0.5L ? 1 : 0;
    case FilterTriangle:
      return a < 1 ? 1 - a : 0;
    case FilterHann:
      return a < 1 ? 0.5L + 0.5L * std::cos(kPi * a) : 0;
    case FilterHamming:
      return a < 1 ? 0.54L + 0.46L * std::cos(kPi * a) : 0;
    case FilterHermite:
      return a < 1 ? 2 * a * a * a - 3 * a * a + 1 : 0;
    case FilterBell:
      if (a < 0.5L) return 0.75L - a * a;
      if (a < 1.5L) return 0.5L * (a - 1.5L) * (a - 1.5L);
      return 0;
    case FilterCatmullRom:
      if (a < 1) return (3 * a * a * a - 5 * a * a + 2) / 2;
      if (a < 2) return (-a * a * a + 5 * a * a - 8 * a + 4) / 2;
      return 0;
    case FilterBSpline:
      if (a < 1) return (3 * a * a * a - 6 * a * a + 4) / 6;
      if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
      return 0;
    case FilterSpline16:
      if (a < 1) return a * a * a - 1.8L * a * a - 0.2L * a + 1;
      if (a < 2) {
        const long double b = a - 1;
        return -b * b * b / 3 + 0.8L * b * b - (7.0L / 15) * b;
      }
      return 0;
    case FilterMitchell:
      if (a < 1) return (7.0L / 6) * a * a * a - 2 * a * a + 8.0L / 9;
      if (a < 2) return -(7.0L / 18) * a * a * a + 2 * a * a - (10.0L / 3) * a + 16.0L / 9;
      return 0;
    case FilterGaussian:
      return a < 2 ? std::exp(-2 * a * a) * 0.7978845608028653559L : 0;
    case FilterSpline36:
      if (a < 1) return (13.0L / 11) * a * a * a - (453.0L / 209) * a * a - (3.0L / 209) * a + 1;
      if (a < 2) {
        const long double b = a - 1;
        return -(6.0L / 11) * b * b * b + (270.0L / 209) * b * b - (156.0L / 209) * b;
      }
      if (a < 3) {
        const long double t = a - 2;
        return (1.0L / 11) * t * t * t - (45.0L / 209) * t * t + (26.0L / 209) * t;
      }
      return 0;
    case FilterSinc:
      return a < 3 ? Sinc(a) : 0;
    case FilterLanczos3:
      return a < 3 ? Sinc(a) * Sinc(a / 3) : 0;
    case FilterBlackman:
      return a < 3 ? (0.42L + 0.5L * std::cos(kPi * a / 3) + 0.08L * std::cos(2 * kPi * a / 3)) *
                         Sinc(a)
                   : 0;
    default:
      return 0;
  }
}

constexpr double kSupport[16] = {0, 0.5, 1, 1, 1, 1, 1.5, 2, 2, 2, 2, 2, 3, 3, 3, 3};

// ---------------------------------------------------------------------------------------------
// Contributor tables

// Packs two taps' 16-bit weights into one int32, the first in the low half.
inline int32_t PackPair(int32_t first, int32_t second) {
  return int32_t((uint32_t(first) & 0xFFFF) | (uint32_t(second) << 16));
}

// Fills Quads, Split, Pairs and PairsHigh from Positions and Weights.
void PairWeights(TContributors& table) {
  int32_t most = 0;
  bool fits = true;
  for (const TContributor& c : table.Positions) most = std::max(most, c.Count);
  for (int32_t w : table.Weights) fits = fits && w >= -32768 && w <= 32767;
  table.Quads = (most + 3) / 4;
  table.Split = !fits;
  const size_t perPosition = size_t(table.Quads) * 2;
  table.Pairs.assign(table.Positions.size() * perPosition, 0);
  if (table.Split) table.PairsHigh.assign(table.Positions.size() * perPosition, 0);
  for (size_t n = 0; n < table.Positions.size(); ++n) {
    const TContributor& c = table.Positions[n];
    const int32_t* w = table.Weights.data() + c.Offset;
    auto tap = [&](int32_t t) { return t < c.Count ? w[t] : 0; };
    for (int32_t t = 0; t < c.Count; t += 2) {
      const size_t at = n * perPosition + size_t(t / 2);
      if (table.Split) {
        table.Pairs[at] = PackPair(tap(t) & 255, tap(t + 1) & 255);
        table.PairsHigh[at] = PackPair(tap(t) >> 8, tap(t + 1) >> 8);
      } else {
        table.Pairs[at] = PackPair(tap(t), tap(t + 1));
      }
    }
  }
  const size_t twos = (table.Positions.size() + 1) / 2;
  table.PairVectors.assign(twos * perPosition * 8, 0);
  if (table.Split) table.PairVectorsHigh.assign(twos * perPosition * 8, 0);
  for (size_t n = 0; n < table.Positions.size(); ++n)
    for (size_t step = 0; step < perPosition; ++step)
      for (size_t i = 0; i < 4; ++i) {
        const size_t at = ((n / 2) * perPosition + step) * 8 + (n % 2) * 4 + i;
        table.PairVectors[at] = table.Pairs[n * perPosition + step];
        if (table.Split) table.PairVectorsHigh[at] = table.PairsHigh[n * perPosition + step];
      }
  table.PairFinishes.assign(twos, TContributors::TPairFinish{});
  for (size_t n = 0; n < table.Positions.size(); ++n) {
    const TContributor& c = table.Positions[n];
    TContributors::TPairFinish& f = table.PairFinishes[n / 2];
    const size_t lane = (n % 2) * 4;
    for (size_t i = 0; i < 4; ++i) {
      f.Half[lane + i] = c.Half;
      f.Max[lane + i] = c.Max;
      f.Multiplier[lane + i] = int32_t(c.Multiplier);
    }
    f.Shift[(n % 2) * 2] = f.Shift[(n % 2) * 2 + 1] = c.Shift;
  }
}

// Division of n by d for 0 <= n <= 255 d as (n x m) >> k with m = ceil(2^k / d) and
// 2^k >= 256 d^2. With m d = 2^k + e, 0 <= e < d, the error term n e / (d 2^k) stays below 1 / d,
// which the fractional part of n / d always leaves room for, so the quotient is exact. For
// d < 2^23 both m < 2^32 and n m < 2^64 hold.
void MakeDivision(TContributor& c, int32_t divisor) {
  const uint64_t d = uint64_t(divisor);
  uint32_t k = 0;
  while ((uint64_t(1) << k) < 256 * d * d) ++k;
  c.Multiplier = uint32_t(((uint64_t(1) << k) + d - 1) / d);
  c.Shift = k;
  c.Half = divisor >> 1;
  c.Max = 255 * divisor;
}

inline uint8_t Finish(int32_t sum, const TContributor& c) {
  int32_t n = sum + c.Half;
  // A negative sum truncates toward zero to a value <= 0 and clamps to 0.
  n = n < 0 ? 0 : n;
  n = n > c.Max ? c.Max : n;
  return uint8_t((uint64_t(uint32_t(n)) * c.Multiplier) >> c.Shift);
}

// Sums beyond this bound (sum of |weights| x 255) would leave 32 bits. Real sizes stay near
// 2^19; only a source millions of pixels wide squeezed into a few pixels comes close, and that
// must fail with a message rather than wrap around.
constexpr int64_t kMaxAbsWeightSum = int64_t(1) << 23;

// The contributors of one axis: `dstSize` target positions over `srcSize` source positions.
TContributors BuildContributors(int32_t srcSize, int32_t dstSize, int filter) {
  const double scale = double(dstSize) / double(srcSize);
  const double support = kSupport[filter];
  const double r = scale >= 1 ? support : support / scale;
  const int64_t T = 2 * int64_t(std::trunc(r)) + 1;

  TContributors table;
  table.Positions.resize(size_t(dstSize));
  // Taps outside the source have weight 0 and add nothing, so only those inside are visited.
  std::vector<int32_t> run(size_t(std::min<int64_t>(T, srcSize)));
  for (int32_t n = 0; n < dstSize; ++n) {
    // (n + 0.5) / scale - 0.5, written this way on purpose: the rounding of this expression
    // decides which source pixel a Box tap takes.
    const double centre = n / scale - (1 - 1 / scale) * 0.5;
    const int64_t first = int64_t(T <= 1 ? std::nearbyint(centre) : std::ceil(centre - r));
    const int64_t jLo = std::max<int64_t>(first, 0);
    const int64_t jHi = std::min<int64_t>(first + T - 1, srcSize - 1);
    int64_t sum = 0, absSum = 0;
    int64_t lo = -1, hi = -1;  // first and last source index with a non-zero weight
    for (int64_t j = jLo; j <= jHi; ++j) {
      const double arg = centre - double(j);
      const double v = scale >= 1 ? ResampleKernelValue(filter, arg) * 65536
                                  : ResampleKernelValue(filter, arg * scale) * scale * 65536;
      const int32_t w = int32_t(std::nearbyint(v));
      run[size_t(j - jLo)] = w;
      if (w != 0) {
        if (lo < 0) lo = j;
        hi = j;
        sum += w;
        absSum += w < 0 ? -int64_t(w) : w;
      }
    }
    if (absSum >= kMaxAbsWeightSum) throw std::runtime_error("The image is too large to resample.");
    TContributor& c = table.Positions[size_t(n)];
    c.Offset = int32_t(table.Weights.size());
    if (lo >= 0) {
      c.First = int32_t(lo);
      c.Count = int32_t(hi - lo + 1);
      table.Weights.insert(table.Weights.end(), run.begin() + (lo - jLo),
                           run.begin() + (hi - jLo) + 1);
    } else {
      c.First = 0;
      c.Count = 0;
    }
    MakeDivision(c, sum > 0 ? int32_t(sum) : 1);
  }
  PairWeights(table);
  return table;
}

// The tables depend on nothing but the two sizes and the filter, and the program asks for the
// same few again and again (the preview of every photo, the cells of every sheet), while a
// table of the long-double kernels costs as much as a whole vector pass. The last few are kept.
using TSharedContributors = std::shared_ptr<const TContributors>;

TSharedContributors Contributors(int32_t srcSize, int32_t dstSize, int filter) {
  struct TEntry {
    int32_t Src, Dst, Filter;
    TSharedContributors Table;
  };
  constexpr size_t kKept = 8;
  // Tables above this many weights (sizes far beyond the program's) are not worth keeping.
  constexpr size_t kLargestKept = size_t(1) << 20;
  static std::mutex mutex;
  static std::vector<TEntry> kept;  // most recently used last
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (size_t i = 0; i < kept.size(); ++i) {
      if (kept[i].Src != srcSize || kept[i].Dst != dstSize || kept[i].Filter != filter) continue;
      TEntry entry = kept[i];
      kept.erase(kept.begin() + ptrdiff_t(i));
      kept.push_back(entry);
      return entry.Table;
    }
  }
  auto table = std::make_shared<const TContributors>(BuildContributors(srcSize, dstSize, filter));
  if (table->Weights.size() <= kLargestKept) {
    std::lock_guard<std::mutex> lock(mutex);
    if (kept.size() >= kKept) kept.erase(kept.begin());
    kept.push_back({srcSize, dstSize, filter, table});
  }
  return table;
}

// ---------------------------------------------------------------------------------------------
// Passes of ResampleInto

// One row of the horizontal pass: `Channels` bytes per pixel in and out. The channels are
// spelled out so that each sum stays in a register.
template <int Channels>
void HorizontalRow(const uint8_t* src, uint8_t* dst, const TContributors& table);

template <>
void HorizontalRow<1>(const uint8_t* src, uint8_t* dst, const TContributors& table) {
  const int32_t* weights = table.Weights.data();
  for (const TContributor& c : table.Positions) {
    const uint8_t* p = src + c.First;
    const int32_t* w = weights + c.Offset;
    int32_t s0 = 0;
    for (int32_t t = 0; t < c.Count; ++t) s0 += w[t] * p[t];
    *dst++ = Finish(s0, c);
  }
}

template <>
void HorizontalRow<3>(const uint8_t* src, uint8_t* dst, const TContributors& table) {
  const int32_t* weights = table.Weights.data();
  for (const TContributor& c : table.Positions) {
    const uint8_t* p = src + ptrdiff_t(c.First) * 3;
    const int32_t* w = weights + c.Offset;
    int32_t s0 = 0, s1 = 0, s2 = 0;
    for (int32_t t = 0; t < c.Count; ++t, p += 3) {
      const int32_t wt = w[t];
      s0 += wt * p[0];
      s1 += wt * p[1];
      s2 += wt * p[2];
    }
    dst[0] = Finish(s0, c);
    dst[1] = Finish(s1, c);
    dst[2] = Finish(s2, c);
    dst += 3;
  }
}

template <>
void HorizontalRow<4>(const uint8_t* src, uint8_t* dst, const TContributors& table) {
  const int32_t* weights = table.Weights.data();
  for (const TContributor& c : table.Positions) {
    const uint8_t* p = src + ptrdiff_t(c.First) * 4;
    const int32_t* w = weights + c.Offset;
    int32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    for (int32_t t = 0; t < c.Count; ++t, p += 4) {
      const int32_t wt = w[t];
      s0 += wt * p[0];
      s1 += wt * p[1];
      s2 += wt * p[2];
      s3 += wt * p[3];
    }
    dst[0] = Finish(s0, c);
    dst[1] = Finish(s1, c);
    dst[2] = Finish(s2, c);
    dst[3] = Finish(s3, c);
    dst += 4;
  }
}

// One target row of the vertical pass: the weighted rows of the intermediate image are summed
// across the whole row into `acc`, four taps at a time, then rounded, so every inner loop runs
// along memory and `acc` is read and written once per four taps.
void VerticalRow(const TFastDIB& inter, const TContributor& c, const int32_t* w, int32_t* acc,
                 int32_t bytes, uint8_t* dst) {
  std::memset(acc, 0, size_t(bytes) * sizeof(int32_t));
  const uint8_t* const* rows = inter.Scanlines.data() + c.First;
  int32_t t = 0;
  for (; t + 4 <= c.Count; t += 4) {
    const uint8_t *r0 = rows[t], *r1 = rows[t + 1], *r2 = rows[t + 2], *r3 = rows[t + 3];
    const int32_t w0 = w[t], w1 = w[t + 1], w2 = w[t + 2], w3 = w[t + 3];
    for (int32_t i = 0; i < bytes; ++i) acc[i] += w0 * r0[i] + w1 * r1[i] + w2 * r2[i] + w3 * r3[i];
  }
  for (; t < c.Count; ++t) {
    const uint8_t* r = rows[t];
    const int32_t wt = w[t];
    for (int32_t i = 0; i < bytes; ++i) acc[i] += wt * r[i];
  }
  for (int32_t i = 0; i < bytes; ++i) dst[i] = Finish(acc[i], c);
}

// The first position from which on some group of four taps would read past the row's end.
size_t CheckedFrom(const TContributors& table, int32_t sourceWidth, int32_t bpp) {
  const int64_t rowBytes = int64_t(sourceWidth) * bpp;
  size_t from = table.Positions.size();
  while (from > 0) {
    const TContributor& c = table.Positions[from - 1];
    const int64_t lastGroup = c.Count > 0 ? int64_t(c.First) + (c.Count - 1) / 4 * 4 : c.First;
    if (c.Count > 0 && lastGroup * bpp + 16 > rowBytes) {
      --from;
      continue;
    }
    // Positions move right along the source, so every earlier one is safe as well; the check
    // below makes sure of it for tables that do not.
    bool earlierSafe = true;
    for (size_t n = 0; n + 1 < from && earlierSafe; ++n) {
      const TContributor& e = table.Positions[n];
      earlierSafe =
          e.Count == 0 || (int64_t(e.First) + (e.Count - 1) / 4 * 4) * bpp + 16 <= rowBytes;
    }
    return earlierSafe ? from : 0;
  }
  return from;
}

// How far along the positions the horizontal pass may take two at a time: the first even
// position from which a pair's eight-byte reads of two taps (as many steps as the longer of the
// two has taps) would pass the row's end.
size_t PairsUntil(const TContributors& table, int32_t sourceWidth, int32_t bpp) {
  const int64_t rowBytes = int64_t(sourceWidth) * bpp;
  const size_t size = table.Positions.size();
  size_t n = 0;
  for (; n + 1 < size; n += 2) {
    const TContributor& a = table.Positions[n];
    const TContributor& b = table.Positions[n + 1];
    const int64_t steps = (std::max(a.Count, b.Count) + 1) / 2;
    if (steps == 0) continue;
    const int64_t lastRead = (std::max<int64_t>(a.First, b.First) + 2 * (steps - 1)) * bpp + 8;
    if (lastRead > rowBytes) break;
  }
  return n;
}

void Widen555Row(const uint8_t* src, uint8_t* dst, int32_t width) {
  int32_t bgr[3];
  for (int32_t x = 0; x < width; ++x, src += 2, dst += 3) {
    TPacked555::Unpack(src, bgr);
    dst[0] = uint8_t(bgr[0]);
    dst[1] = uint8_t(bgr[1]);
    dst[2] = uint8_t(bgr[2]);
  }
}

void Pack555Row(const uint8_t* src, uint8_t* dst, int32_t width) {
  uint32_t bgr[3];
  for (int32_t x = 0; x < width; ++x, src += 3, dst += 2) {
    bgr[0] = src[0];
    bgr[1] = src[1];
    bgr[2] = src[2];
    TPacked555::Pack(bgr, dst);
  }
}

}  // namespace

double ResampleKernelSupport(int filter) {
  return filter >= 0 && filter <= 15 ? kSupport[filter] : 0;
}

double ResampleKernelValue(int filter, double x) {
  return static_cast<double>(KernelExtended(filter, std::fabs(static_cast<long double>(x))));
}

void TFastDIB::ResampleInto(TFastDIB& target, int filter) const {
  if (!HasPixels(*this) || !HasPixels(target) || filter < 0 || filter > 15) return;
  RequireSameDepth(*this, target, "resample");
  const int32_t depth = target.BitCount();
  if (depth != 8 && depth != 16 && depth != 24 && depth != 32) return;
  // The 16-bit variant filters widened 24-bit pixels.
  const int32_t interDepth = depth == 16 ? 24 : depth;
  const int32_t channels = interDepth / 8;
  const int32_t sw = Width(), dw = target.Width();

  // Rows are taken in memory order; with the orientation both images share, absolute heights
  // give the same scale as the signed ones.
  const TSharedContributors horizontalTable = Contributors(sw, dw, filter);
  const TSharedContributors verticalTable = Contributors(AbsHeight, target.AbsHeight, filter);
  const TContributors& horizontal = *horizontalTable;
  const TContributors& vertical = *verticalTable;
  // Every row of the intermediate image is written by the first pass before the second reads it.
  TFastDIB inter(dw, interDepth, Height(), TFastDIB::TUncleared{});
  const bool vector = VectorLoopsEnabled();

  const size_t checkedFrom = CheckedFrom(horizontal, sw, channels);
  const size_t pairsUntil = PairsUntil(horizontal, sw, channels);
  // Rows of either pass depend on nothing but the rows they read: each pass may split its rows.
  ForEachRowRange(
      AbsHeight, int64_t(dw) * channels * horizontal.Quads * 4, [&](int32_t begin, int32_t end) {
        std::vector<uint8_t> wideRow(depth == 16 ? size_t(sw) * 3 : 0);
        for (int32_t row = begin; row < end; ++row) {
          const uint8_t* src = Scanlines[size_t(row)];
          if (depth == 16) {
            Widen555Row(src, wideRow.data(), sw);
            src = wideRow.data();
          }
          uint8_t* dst = inter.Scanlines[size_t(row)];
          if (vector &&
              HorizontalRowVector(src, sw, dst, horizontal, pairsUntil, checkedFrom, channels))
            continue;
          if (channels == 1)
            HorizontalRow<1>(src, dst, horizontal);
          else if (channels == 3)
            HorizontalRow<3>(src, dst, horizontal);
          else
            HorizontalRow<4>(src, dst, horizontal);
        }
      });

  const int32_t bytes = dw * channels;
  ForEachRowRange(
      target.AbsHeight, int64_t(bytes) * vertical.Quads * 4, [&](int32_t begin, int32_t end) {
        std::vector<int32_t> acc(static_cast<size_t>(bytes));
        std::vector<uint8_t> narrowRow(depth == 16 ? size_t(bytes) : 0);
        for (int32_t row = begin; row < end; ++row) {
          const TContributor& c = vertical.Positions[size_t(row)];
          uint8_t* dst = depth == 16 ? narrowRow.data() : target.Scanlines[size_t(row)];
          if (!vector || !VerticalRowVector(inter, vertical, row, bytes, dst))
            VerticalRow(inter, c, vertical.Weights.data() + c.Offset, acc.data(), bytes, dst);
          if (depth == 16) Pack555Row(narrowRow.data(), target.Scanlines[size_t(row)], dw);
        }
      });
}
