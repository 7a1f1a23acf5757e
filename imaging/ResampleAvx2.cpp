// The AVX2 forms of the resizes' pixel loops (x86-64 only): the same integer sums as the plain
// loops (taken in another order, which integers do not mind: no sum leaves 32 bits, see
// kMaxAbsWeightSum in Resample.cpp) and the same exact division, so the same bytes.
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "ResampleSupport.h"

namespace tavrolin::resample {

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
  const __m256i n =
      _mm256_min_epi32(_mm256_max_epi32(_mm256_add_epi32(sum, half), _mm256_setzero_si256()), most);
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
    const __m128i q =
        DivideSse(v, _mm_set1_epi32(int32_t(c.Multiplier)), _mm_cvtsi32_si128(int32_t(c.Shift)));
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
    const __m256i* w =
        reinterpret_cast<const __m256i*>(table.PairVectors.data()) + (n / 2) * perPosition;
    const __m256i* wh = Split ? reinterpret_cast<const __m256i*>(table.PairVectorsHigh.data()) +
                                    (n / 2) * perPosition
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
      both = _mm_shuffle_epi8(
          both, _mm_setr_epi8(0, 1, 2, 4, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1));
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
    const __m256i top = _mm256_setr_epi32(
        LoadWord(r0 + o[0]), LoadWord(r0 + o[1]), LoadWord(r0 + o[2]), LoadWord(r0 + o[3]),
        LoadWord(r0 + o[4]), LoadWord(r0 + o[5]), LoadWord(r0 + o[6]), LoadWord(r0 + o[7]));
    const __m256i bottom = _mm256_setr_epi32(
        LoadWord(r1 + o[0]), LoadWord(r1 + o[1]), LoadWord(r1 + o[2]), LoadWord(r1 + o[3]),
        LoadWord(r1 + o[4]), LoadWord(r1 + o[5]), LoadWord(r1 + o[6]), LoadWord(r1 + o[7]));
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
    const __m256i packed =
        _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), firstBytes);
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

bool HorizontalRowVector(const uint8_t*, int32_t, uint8_t*, const TContributors&, size_t, size_t,
                         int32_t) {
  return false;
}
void QuickRow24Avx2(const uint8_t*, const uint8_t*, uint8_t*, const int32_t*, const int32_t*,
                    int32_t, int32_t, int32_t) {}
bool VerticalRowVector(const TFastDIB&, const TContributors&, int32_t, int32_t, uint8_t*) {
  return false;
}

#endif  // __x86_64__

}  // namespace tavrolin::resample
