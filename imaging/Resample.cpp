// QuickResizeInto (bilinear, 16.16 fixed point) and ResampleInto (separable two-pass resample
// with sixteen kernels and integer weights).
//
// Both read the source through its row table and write the target through its own, in memory
// row order, so a region view works as a source and the two images must share their
// orientation. The depth of the target selects the variant; every variant is a template
// instantiated for one pixel layout, so the pixel loops never branch on the depth.
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "FastDIB.h"

namespace {

// The source must have the pixel layout the target's variant reads: a source of another depth
// would be read outside its rows.
void RequireSameDepth(const TFastDIB& source, const TFastDIB& target, const char* what) {
  if (source.BitCount() == target.BitCount()) return;
  throw std::runtime_error(QStringLiteral("Cannot %1 a %2-bit image into a %3-bit image.")
                               .arg(QLatin1String(what))
                               .arg(source.BitCount())
                               .arg(target.BitCount())
                               .toStdString());
}

bool HasPixels(const TFastDIB& image) {
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
// QuickResizeInto

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
      earlierSafe = e.Count == 0 || (int64_t(e.First) + (e.Count - 1) / 4 * 4) * bpp + 16 <= rowBytes;
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

// ---------------------------------------------------------------------------------------------
// The same passes with AVX2 (x86-64 only): the same integer sums (taken in another order, which integers do
// not mind: no sum leaves 32 bits, see kMaxAbsWeightSum) and the same exact division.

#if defined(__x86_64__)

#define TAVROLIN_AVX2 __attribute__((target("avx2")))

// MakeDivision's (n x m) >> k for eight n already clamped to 0..Max.
TAVROLIN_AVX2 inline __m256i DivideAvx2(__m256i n, __m256i m, __m128i k) {
  const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, m), k);
  const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), m), k);
  return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
}

// Finish for eight sums: rounding half, clamp to 0..Max, exact division.
TAVROLIN_AVX2 inline __m256i FinishAvx2(__m256i sum, __m256i half, __m256i most, __m256i multiplier,
                                        __m128i shift) {
  const __m256i n = _mm256_min_epi32(
      _mm256_max_epi32(_mm256_add_epi32(sum, half), _mm256_setzero_si256()), most);
  return DivideAvx2(n, multiplier, shift);
}

TAVROLIN_AVX2 inline __m128i DivideSse(__m128i n, __m128i m, __m128i k) {
  const __m128i even = _mm_srl_epi64(_mm_mul_epu32(n, m), k);
  const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(n, 32), m), k);
  return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
}

// One row of the horizontal pass for pixels of 3 or 4 bytes, positions begin..end-1. Four
// taps at a time: the 16 bytes from the group's first tap are spread to 16-bit lanes, taps 0 and
// 1 in the low half of the register and taps 2 and 3 in the high half, each channel's two taps
// side by side, so that one multiply-add gives every channel's sum over two taps. Reads stay
// inside the row's Width pixels: with Checked, a group near the row's end is copied out first
// (the caller knows which positions need it, see CheckedFrom).
template <int Bpp, bool Split, bool Checked>
TAVROLIN_AVX2 void HorizontalRunAvx2(const uint8_t* src, int32_t sourceWidth, uint8_t* dst,
                                     const TContributors& table, size_t begin, size_t end) {
  const __m256i spreadBytes =
      Bpp == 3 ? _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                                  6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1)
               : _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                  8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
  const __m256i spreadPairs = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  const __m128i lowBytes =
      _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i zero = _mm_setzero_si128();
  const ptrdiff_t rowBytes = ptrdiff_t(sourceWidth) * Bpp;
  const size_t perPosition = size_t(table.Quads) * 2;
  dst += begin * Bpp;
  for (size_t n = begin; n < end; ++n, dst += Bpp) {
    const TContributor& c = table.Positions[n];
    const int32_t* pairs = table.Pairs.data() + n * perPosition;
    const int32_t* high = table.PairsHigh.data() + (Split ? n * perPosition : 0);
    const uint8_t* first = src + ptrdiff_t(c.First) * Bpp;
    const ptrdiff_t room = rowBytes - ptrdiff_t(c.First) * Bpp;
    __m256i acc = _mm256_setzero_si256(), accHigh = _mm256_setzero_si256();
    // Without split weights there is no high table (`high` is null) and it must not move.
    for (int32_t t = 0; t < c.Count; t += 4, pairs += 2, high += Split ? 2 : 0) {
      const ptrdiff_t at = ptrdiff_t(t) * Bpp;
      __m128i raw;
      if (!Checked || at + 16 <= room) {
        raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + at));
      } else {
        alignas(16) uint8_t tail[16] = {};
        std::memcpy(tail, first + at, size_t(room - at));
        raw = _mm_load_si128(reinterpret_cast<const __m128i*>(tail));
      }
      const __m256i px = _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(raw), spreadBytes);
      const __m256i w = _mm256_permutevar8x32_epi32(
          _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pairs))),
          spreadPairs);
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(px, w));
      if constexpr (Split) {
        const __m256i wh = _mm256_permutevar8x32_epi32(
            _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(high))),
            spreadPairs);
        accHigh = _mm256_add_epi32(accHigh, _mm256_madd_epi16(px, wh));
      }
    }
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    if constexpr (Split) {
      const __m128i sumHigh =
          _mm_add_epi32(_mm256_castsi256_si128(accHigh), _mm256_extracti128_si256(accHigh, 1));
      sum = _mm_add_epi32(_mm_slli_epi32(sumHigh, 8), sum);
    }
    __m128i v = _mm_add_epi32(sum, _mm_set1_epi32(c.Half));
    v = _mm_min_epi32(_mm_max_epi32(v, zero), _mm_set1_epi32(c.Max));
    const __m128i q = DivideSse(v, _mm_set1_epi32(int32_t(c.Multiplier)),
                                _mm_cvtsi32_si128(int32_t(c.Shift)));
    const uint32_t packed = uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi8(q, lowBytes)));
    std::memcpy(dst, &packed, Bpp);
  }
}

// Positions 0..end-1 of one row (end even), two at a time: position n in the low half of the
// register and n + 1 in the high half, two taps a step, each channel's two taps side by side in
// 16-bit lanes, so one multiply-add gives every channel's sum over two taps of both positions,
// and one finish (rounding, clamp, division) serves both. The caller keeps the reads inside the
// row (PairsUntil).
template <int Bpp, bool Split>
TAVROLIN_AVX2 void HorizontalPairsAvx2(const uint8_t* src, uint8_t* dst, const TContributors& table,
                                       size_t end) {
  const __m256i spread =
      Bpp == 3 ? _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                                  0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1)
               : _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                  0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
  const __m256i lowBytes =
      _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
                       0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i zero = _mm256_setzero_si256();
  const size_t perPosition = size_t(table.Quads) * 2;
  for (size_t n = 0; n < end; n += 2, dst += 2 * Bpp) {
    const TContributor& a = table.Positions[n];
    const TContributor& b = table.Positions[n + 1];
    const uint8_t* pa = src + ptrdiff_t(a.First) * Bpp;
    const uint8_t* pb = src + ptrdiff_t(b.First) * Bpp;
    const __m256i* w = reinterpret_cast<const __m256i*>(table.PairVectors.data()) + (n / 2) * perPosition;
    const __m256i* wh =
        Split ? reinterpret_cast<const __m256i*>(table.PairVectorsHigh.data()) + (n / 2) * perPosition
              : nullptr;
    const int32_t steps = (std::max(a.Count, b.Count) + 1) / 2;
    __m256i acc = zero, accHigh = zero;
    for (int32_t t = 0; t < steps; ++t, pa += 2 * Bpp, pb += 2 * Bpp) {
      const __m256i raw = _mm256_inserti128_si256(
          _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pa))),
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pb)), 1);
      const __m256i px = _mm256_shuffle_epi8(raw, spread);
      acc = _mm256_add_epi32(acc, _mm256_madd_epi16(px, _mm256_loadu_si256(w + t)));
      if constexpr (Split)
        accHigh = _mm256_add_epi32(accHigh, _mm256_madd_epi16(px, _mm256_loadu_si256(wh + t)));
    }
    if constexpr (Split) acc = _mm256_add_epi32(_mm256_slli_epi32(accHigh, 8), acc);
    const TContributors::TPairFinish& f = table.PairFinishes[n / 2];
    __m256i v = _mm256_add_epi32(acc, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.Half)));
    v = _mm256_min_epi32(_mm256_max_epi32(v, zero),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.Max)));
    const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.Multiplier));
    const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.Shift));
    const __m256i even = _mm256_srlv_epi64(_mm256_mul_epu32(v, m), k);
    const __m256i odd = _mm256_srlv_epi64(_mm256_mul_epu32(_mm256_srli_epi64(v, 32), m), k);
    // The low bytes of each lane's four values, the two positions' side by side, then (three
    // bytes a pixel) without the fourth byte of the first.
    const __m256i q = _mm256_permutevar8x32_epi32(
        _mm256_shuffle_epi8(_mm256_or_si256(even, _mm256_slli_epi64(odd, 32)), lowBytes),
        _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
    __m128i both = _mm256_castsi256_si128(q);
    if constexpr (Bpp == 3)
      both = _mm_shuffle_epi8(both, _mm_setr_epi8(0, 1, 2, 4, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
    const uint64_t bytes = uint64_t(_mm_cvtsi128_si64(both));
    std::memcpy(dst, &bytes, 2 * Bpp);
  }
}

template <int Bpp, bool Split>
TAVROLIN_AVX2 void HorizontalRowAvx2(const uint8_t* src, int32_t sourceWidth, uint8_t* dst,
                                     const TContributors& table, size_t pairsUntil,
                                     size_t checkedFrom) {
  const size_t pairs = pairsUntil & ~size_t(1);
  HorizontalPairsAvx2<Bpp, Split>(src, dst, table, pairs);
  HorizontalRunAvx2<Bpp, Split, false>(src, sourceWidth, dst, table, pairs,
                                       std::max(pairs, checkedFrom));
  HorizontalRunAvx2<Bpp, Split, true>(src, sourceWidth, dst, table, std::max(pairs, checkedFrom),
                                      table.Positions.size());
}

// One target row of the vertical pass, 32 bytes of the row at a time, two source rows per
// multiply-add: their bytes are interleaved into 16-bit pairs. The unpacking works within each
// 16-byte half of the register and the packing at the end undoes it in the same way, so the
// bytes come out in order. A last partial group is computed again overlapping the one before
// it, which writes the same values a second time; rows under 32 bytes take the plain loop.
template <bool Split>
TAVROLIN_AVX2 void VerticalRowAvx2(const TFastDIB& inter, const TContributor& c,
                                   const int32_t* pairs, const int32_t* high, int32_t bytes,
                                   uint8_t* dst) {
  const uint8_t* const* rows = inter.Scanlines.data() + c.First;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i half = _mm256_set1_epi32(c.Half);
  const __m256i most = _mm256_set1_epi32(c.Max);
  const __m256i multiplier = _mm256_set1_epi32(int32_t(c.Multiplier));
  const __m128i shift = _mm_cvtsi32_si128(int32_t(c.Shift));
  for (int32_t i = 0; i < bytes; i += 32) {
    if (i + 32 > bytes) i = bytes - 32;
    __m256i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
    __m256i h0 = zero, h1 = zero, h2 = zero, h3 = zero;
    for (int32_t t = 0; t < c.Count; t += 2) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t] + i));
      const __m256i y = t + 1 < c.Count
                            ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t + 1] + i))
                            : zero;
      const __m256i lo = _mm256_unpacklo_epi8(x, y), hi = _mm256_unpackhi_epi8(x, y);
      const __m256i p0 = _mm256_unpacklo_epi8(lo, zero), p1 = _mm256_unpackhi_epi8(lo, zero);
      const __m256i p2 = _mm256_unpacklo_epi8(hi, zero), p3 = _mm256_unpackhi_epi8(hi, zero);
      const __m256i w = _mm256_set1_epi32(pairs[t / 2]);
      a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(p0, w));
      a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(p1, w));
      a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(p2, w));
      a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(p3, w));
      if constexpr (Split) {
        const __m256i wh = _mm256_set1_epi32(high[t / 2]);
        h0 = _mm256_add_epi32(h0, _mm256_madd_epi16(p0, wh));
        h1 = _mm256_add_epi32(h1, _mm256_madd_epi16(p1, wh));
        h2 = _mm256_add_epi32(h2, _mm256_madd_epi16(p2, wh));
        h3 = _mm256_add_epi32(h3, _mm256_madd_epi16(p3, wh));
      }
    }
    if constexpr (Split) {
      a0 = _mm256_add_epi32(_mm256_slli_epi32(h0, 8), a0);
      a1 = _mm256_add_epi32(_mm256_slli_epi32(h1, 8), a1);
      a2 = _mm256_add_epi32(_mm256_slli_epi32(h2, 8), a2);
      a3 = _mm256_add_epi32(_mm256_slli_epi32(h3, 8), a3);
    }
    const __m256i q01 = _mm256_packus_epi32(FinishAvx2(a0, half, most, multiplier, shift),
                                            FinishAvx2(a1, half, most, multiplier, shift));
    const __m256i q23 = _mm256_packus_epi32(FinishAvx2(a2, half, most, multiplier, shift),
                                            FinishAvx2(a3, half, most, multiplier, shift));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(q01, q23));
  }
}

// QuickResizeInto on 24-bit rows, eight output bytes at a time, each byte a lane of its own:
// Offsets[k] is the byte of its top-left source pixel, Fractions[k] that pixel's fx. One 32-bit
// word read from each source row at the offset holds the byte and, three bytes on, the same
// channel of the pixel to its right (the caller keeps the columns whose right neighbour is the
// pixel itself for the plain loop). The words are loaded one by one: on the processors at hand
// that is faster than a gather. The weights are the same 32-bit products: wy0 x fx and fy x fx
// stay below 2^32.
inline int32_t LoadWord(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

TAVROLIN_AVX2 void QuickRow24Avx2(const uint8_t* r0, const uint8_t* r1, uint8_t* out,
                                  const int32_t* offsets, const int32_t* fractions, int32_t bytes,
                                  int32_t wy0, int32_t fy) {
  const __m256i low = _mm256_set1_epi32(0xFF);
  const __m256i weightTop = _mm256_set1_epi32(wy0);
  const __m256i weightBottom = _mm256_set1_epi32(fy);
  const __m256i rounding = _mm256_set1_epi32(32768);
  const __m256i firstBytes = _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0);
  for (int32_t k = 0; k + 8 <= bytes; k += 8) {
    const __m256i fx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(fractions + k));
    const int32_t* o = offsets + k;
    const __m256i top =
        _mm256_setr_epi32(LoadWord(r0 + o[0]), LoadWord(r0 + o[1]), LoadWord(r0 + o[2]),
                          LoadWord(r0 + o[3]), LoadWord(r0 + o[4]), LoadWord(r0 + o[5]),
                          LoadWord(r0 + o[6]), LoadWord(r0 + o[7]));
    const __m256i bottom =
        _mm256_setr_epi32(LoadWord(r1 + o[0]), LoadWord(r1 + o[1]), LoadWord(r1 + o[2]),
                          LoadWord(r1 + o[3]), LoadWord(r1 + o[4]), LoadWord(r1 + o[5]),
                          LoadWord(r1 + o[6]), LoadWord(r1 + o[7]));
    const __m256i w01 = _mm256_srli_epi32(_mm256_mullo_epi32(weightTop, fx), 16);
    const __m256i w11 = _mm256_srli_epi32(_mm256_mullo_epi32(weightBottom, fx), 16);
    const __m256i w00 = _mm256_sub_epi32(weightTop, w01);
    const __m256i w10 = _mm256_sub_epi32(weightBottom, w11);
    __m256i sum = _mm256_add_epi32(_mm256_mullo_epi32(w00, _mm256_and_si256(top, low)),
                                   _mm256_mullo_epi32(w01, _mm256_srli_epi32(top, 24)));
    sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(w10, _mm256_and_si256(bottom, low)));
    sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(w11, _mm256_srli_epi32(bottom, 24)));
    const __m256i value = _mm256_srli_epi32(_mm256_add_epi32(sum, rounding), 16);
    // Eight 32-bit values of 0..255 to eight bytes: packing works within each half, so the
    // two halves' first four bytes are gathered at the end.
    const __m256i words = _mm256_packus_epi32(value, value);
    const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), firstBytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm256_castsi256_si128(packed));
  }
}

// The vector form of one row of either pass, where there is one; false when the plain loop has
// to do it.
bool HorizontalRowVector(const uint8_t* src, int32_t sourceWidth, uint8_t* dst,
                         const TContributors& table, size_t pairsUntil, size_t checkedFrom,
                         int32_t channels) {
  if (channels == 3)
    table.Split
        ? HorizontalRowAvx2<3, true>(src, sourceWidth, dst, table, pairsUntil, checkedFrom)
        : HorizontalRowAvx2<3, false>(src, sourceWidth, dst, table, pairsUntil, checkedFrom);
  else if (channels == 4)
    table.Split
        ? HorizontalRowAvx2<4, true>(src, sourceWidth, dst, table, pairsUntil, checkedFrom)
        : HorizontalRowAvx2<4, false>(src, sourceWidth, dst, table, pairsUntil, checkedFrom);
  else
    return false;
  return true;
}

bool VerticalRowVector(const TFastDIB& inter, const TContributors& table, int32_t row,
                       int32_t bytes, uint8_t* dst) {
  if (bytes < 32) return false;
  const size_t at = size_t(row) * size_t(table.Quads) * 2;
  const TContributor& c = table.Positions[size_t(row)];
  if (table.Split)
    VerticalRowAvx2<true>(inter, c, table.Pairs.data() + at, table.PairsHigh.data() + at, bytes,
                          dst);
  else
    VerticalRowAvx2<false>(inter, c, table.Pairs.data() + at, nullptr, bytes, dst);
  return true;
}

#else

bool HorizontalRowVector(const uint8_t*, int32_t, uint8_t*, const TContributors&, size_t,
                         size_t, int32_t) {
  return false;
}
void QuickRow24Avx2(const uint8_t*, const uint8_t*, uint8_t*, const int32_t*, const int32_t*,
                    int32_t, int32_t, int32_t) {}
bool VerticalRowVector(const TFastDIB&, const TContributors&, int32_t, int32_t, uint8_t*) {
  return false;
}

#endif  // __x86_64__

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
    while (vectorPixels < dw && cols[size_t(vectorPixels)].Offset1 == cols[size_t(vectorPixels)].Offset0 + 3)
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
  ForEachRowRange(AbsHeight, int64_t(dw) * channels * horizontal.Quads * 4,
                  [&](int32_t begin, int32_t end) {
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
  ForEachRowRange(target.AbsHeight, int64_t(bytes) * vertical.Quads * 4,
                  [&](int32_t begin, int32_t end) {
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
