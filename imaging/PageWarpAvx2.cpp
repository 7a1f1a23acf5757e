// The AVX2 forms of the page warp's loops (x86-64 only): the same double arithmetic for the
// source positions, operation for operation, and the same integer products for the pixels,
// summed in another order (which integers do not mind), so the same bytes as the plain loops.
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tavrolin::pagewarp {

#if defined(__x86_64__)

#define TAVROLIN_AVX2 __attribute__((target("avx2")))

TAVROLIN_AVX2 int32_t RowPositionsAvx2(const double* m, int32_t v, int32_t count, double highX,
                                       double highY, int32_t* fx, int32_t* fy) {
  const double vc = v + 0.5;
  const __m256d rowX = _mm256_set1_pd(m[1] * vc + m[2]);
  const __m256d rowY = _mm256_set1_pd(m[4] * vc + m[5]);
  const __m256d rowW = _mm256_set1_pd(m[7] * vc + m[8]);
  const __m256d m0 = _mm256_set1_pd(m[0]), m3 = _mm256_set1_pd(m[3]), m6 = _mm256_set1_pd(m[6]);
  const __m256d one = _mm256_set1_pd(1.0), half = _mm256_set1_pd(0.5);
  const __m256d low = _mm256_set1_pd(-3.0);
  const __m256d hiX = _mm256_set1_pd(highX), hiY = _mm256_set1_pd(highY);
  const __m256d phases = _mm256_set1_pd(256.0), offset = _mm256_set1_pd(0.5 + 1024);
  const __m128i back = _mm_set1_epi32(1024);
  int32_t u = 0;
  for (; u + 4 <= count; u += 4) {
    const __m256d uc = _mm256_add_pd(_mm256_setr_pd(u, u + 1, u + 2, u + 3), half);
    const __m256d inv = _mm256_div_pd(one, _mm256_add_pd(_mm256_mul_pd(m6, uc), rowW));
    __m256d sx =
        _mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(m0, uc), rowX), inv), half);
    __m256d sy =
        _mm256_sub_pd(_mm256_mul_pd(_mm256_add_pd(_mm256_mul_pd(m3, uc), rowY), inv), half);
    // The plain clamp's order: a NaN ends at the lower bound.
    sx = _mm256_max_pd(_mm256_min_pd(hiX, sx), low);
    sy = _mm256_max_pd(_mm256_min_pd(hiY, sy), low);
    const __m128i ix =
        _mm_sub_epi32(_mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(sx, phases), offset)), back);
    const __m128i iy =
        _mm_sub_epi32(_mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(sy, phases), offset)), back);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(fx + u), ix);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(fy + u), iy);
  }
  // The last few positions are left to the plain loop.
  return u;
}

// A phase's four weights as 32-bit lanes 0..3, for spreading over the tap rows' sums.
TAVROLIN_AVX2 inline __m256i Widen(const int16_t* w) {
  return _mm256_castsi128_si256(
      _mm_cvtepi16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w))));
}

TAVROLIN_AVX2 inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline int32_t Load4(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

TAVROLIN_AVX2 inline uint8_t Finish(int32_t sum) {
  const int32_t v = (sum + (1 << 21)) >> 22;
  return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

TAVROLIN_AVX2 void RowPixels24(const uint8_t* const* rows, const int32_t* fx, const int32_t* fy,
                               int32_t count, const int16_t (*weights)[4], int32_t lastX,
                               int32_t lastY, uint8_t* out) {
  // Per 128-bit half (one tap row): each channel's taps 0 and 1, then its taps 2 and 3, as
  // 16-bit lanes beside each other for one multiply-add.
  const __m256i spreadNear =
      _mm256_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1,  //
                       0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1);
  const __m256i spreadFar =
      _mm256_setr_epi8(6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1,  //
                       6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
  const __m256i firstTwo = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  const __m256i lastTwo = _mm256_setr_epi32(2, 2, 2, 2, 3, 3, 3, 3);
  const __m128i round = _mm_set1_epi32(1 << 21);
  for (int32_t u = 0; u < count; ++u) {
    const int32_t x0 = (fx[u] >> 8) - 1, y0 = (fy[u] >> 8) - 1;
    if (!(x0 >= 0 && x0 <= lastX && y0 >= 0 && y0 <= lastY)) continue;
    const int16_t* wx = weights[fx[u] & 255];
    const int16_t* wy = weights[fy[u] & 255];
    int32_t pairs[2];
    std::memcpy(pairs, wx, sizeof pairs);
    const __m256i near = _mm256_set1_epi32(pairs[0]), far = _mm256_set1_epi32(pairs[1]);
    const std::ptrdiff_t at = std::ptrdiff_t(x0) * 3;
    const __m256i r01 = _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(rows[y0] + at)),
                                                Load16(rows[y0 + 1] + at), 1);
    const __m256i r23 = _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(rows[y0 + 2] + at)),
                                                Load16(rows[y0 + 3] + at), 1);
    const __m256i h01 =
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(r01, spreadNear), near),
                         _mm256_madd_epi16(_mm256_shuffle_epi8(r01, spreadFar), far));
    const __m256i h23 =
        _mm256_add_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(r23, spreadNear), near),
                         _mm256_madd_epi16(_mm256_shuffle_epi8(r23, spreadFar), far));
    const __m256i wide = Widen(wy);
    const __m256i s =
        _mm256_add_epi32(_mm256_mullo_epi32(h01, _mm256_permutevar8x32_epi32(wide, firstTwo)),
                         _mm256_mullo_epi32(h23, _mm256_permutevar8x32_epi32(wide, lastTwo)));
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
    sum = _mm_srai_epi32(_mm_add_epi32(sum, round), 22);
    // Saturating packs clamp to 0..255 as the plain loop does.
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, sum), sum);
    const uint32_t bgr = uint32_t(_mm_cvtsi128_si32(bytes));
    std::memcpy(out + std::ptrdiff_t(u) * 3, &bgr, 3);
  }
}

TAVROLIN_AVX2 void RowPixels8(const uint8_t* const* rows, const int32_t* fx, const int32_t* fy,
                              int32_t count, const int16_t (*weights)[4], int32_t lastX,
                              int32_t lastY, uint8_t* out) {
  const __m256i spreadRows = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
  for (int32_t u = 0; u < count; ++u) {
    const int32_t x0 = (fx[u] >> 8) - 1, y0 = (fy[u] >> 8) - 1;
    if (!(x0 >= 0 && x0 <= lastX && y0 >= 0 && y0 <= lastY)) continue;
    // Inserted one by one: a 16-byte load of four 4-byte stores would wait for them.
    const __m128i four = _mm_setr_epi32(Load4(rows[y0] + x0), Load4(rows[y0 + 1] + x0),
                                        Load4(rows[y0 + 2] + x0), Load4(rows[y0 + 3] + x0));
    int64_t wx;
    std::memcpy(&wx, weights[fx[u] & 255], sizeof wx);
    // Tap rows 0 and 1 in the low half, 2 and 3 in the high: each row's taps 0+1 and 2+3.
    const __m256i px = _mm256_cvtepu8_epi16(four);
    const __m256i h = _mm256_madd_epi16(px, _mm256_set1_epi64x(wx));
    const __m256i s =
        _mm256_mullo_epi32(h, _mm256_permutevar8x32_epi32(Widen(weights[fy[u] & 255]), spreadRows));
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    out[u] = Finish(_mm_cvtsi128_si32(sum));
  }
}

bool RowPixelsAvx2(int32_t bpp, const uint8_t* const* rows, const int32_t* fx, const int32_t* fy,
                   int32_t count, const int16_t (*weights)[4], int32_t lastX, int32_t lastY,
                   uint8_t* out) {
  if (bpp == 3)
    RowPixels24(rows, fx, fy, count, weights, lastX, lastY, out);
  else
    RowPixels8(rows, fx, fy, count, weights, lastX, lastY, out);
  return true;
}

#else

int32_t RowPositionsAvx2(const double*, int32_t, int32_t, double, double, int32_t*, int32_t*) {
  return 0;
}
bool RowPixelsAvx2(int32_t, const uint8_t* const*, const int32_t*, const int32_t*, int32_t,
                   const int16_t (*)[4], int32_t, int32_t, uint8_t*) {
  return false;
}

#endif  // __x86_64__

}  // namespace tavrolin::pagewarp
