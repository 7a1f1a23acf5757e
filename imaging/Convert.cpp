// Pixel format conversion: the gray table, the gray conversion and copies between depths.
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "FastDIB.h"

void MakeRampTable(uint8_t* table, int first, int start, int end, int last) {
  // The four arguments are bytes; wrapping them keeps every write inside the 256-entry table
  // whatever a caller passes, the way the tone operations' "modulo 256" amounts expect.
  first &= 0xFF;
  start &= 0xFF;
  end &= 0xFF;
  last &= 0xFF;
  if (last <= first) return;
  const int32_t step = ((end - start + 1) * 65536) / (last - first);
  int32_t acc = start * 65536;
  // acc never goes below 65536 x (end + 1) on a falling ramp, so the shift sees no negative value.
  for (int i = first; i <= last; ++i) {
    table[i] = static_cast<uint8_t>(std::min(acc >> 16, 255));
    acc += step;
  }
}

void TFastDIB::FillPaletteGradient(int first, int last, const BgrPixel* colours, int count) {
  if (!colours || count < 1 || first < 0 || last > 255 || first >= last) return;
  // 64-bit so that long colour lists cannot overflow the 16.16 position; for every list that
  // fits 32 bits the values are the same.
  const int64_t step = (static_cast<int64_t>(count - 1) * 65536) / (last - first);
  int64_t pos = 0;
  BgrPixel next = colours[0];
  for (int e = first; e < last; ++e) {
    const int64_t i = pos >> 16;
    const BgrPixel cur = colours[i];
    next = i < count - 1 ? colours[i + 1] : colours[i];
    const int64_t wn = pos & 0xFFFF;
    const int64_t wc = 65536 - wn;
    PaletteEntry& entry = Colors[e];
    // An entry that lies nearer to a list colour than half a step takes that colour as it is.
    if (wc < step - wc) {
      entry.Blue = next.Blue, entry.Green = next.Green, entry.Red = next.Red;
    } else if (wn < step - wn) {
      entry.Blue = cur.Blue, entry.Green = cur.Green, entry.Red = cur.Red;
    } else {
      entry.Blue = static_cast<uint8_t>((cur.Blue * wc + next.Blue * wn) >> 16);
      entry.Green = static_cast<uint8_t>((cur.Green * wc + next.Green * wn) >> 16);
      entry.Red = static_cast<uint8_t>((cur.Red * wc + next.Red * wn) >> 16);
    }
    pos += step;
  }
  Colors[last].Blue = next.Blue;
  Colors[last].Green = next.Green;
  Colors[last].Red = next.Red;
  if (Surface) UpdateSurfacePalette();
}

namespace {

// A 5-bit component of a 16-bit pixel (x555) widened to 8 bits by repeating its top bits.
constexpr uint32_t Widen5(uint32_t c) { return (c << 3) | (c >> 2); }

// Gray value of each 16-bit component value: T of the widened component.
struct TGray555 {
  uint8_t Part[32];
  explicit TGray555(const uint8_t* weight) {
    for (uint32_t c = 0; c < 32; ++c) Part[c] = weight[Widen5(c)];
  }
};

#if defined(__x86_64__)

// The weight table is (v x step) >> 16 with the ramp's step, which the vector form computes
// for sixteen bytes at once with a high-half multiply; it stands in for the table only when
// every entry agrees.
bool WeightIsProduct(const uint8_t* weight, uint32_t step) {
  for (uint32_t v = 0; v < 256; ++v)
    if (weight[v] != ((v * step) >> 16)) return false;
  return true;
}

// 24-bit rows, sixteen pixels at a time: the 48 bytes are sorted into their blue, green and red
// bytes, each weighted, and the three weights added. The rest of a row goes pixel by pixel.
__attribute__((target("avx2"))) void GrayFromBgr24Avx2(const TFastDIB& source, TFastDIB& target,
                                                       const uint8_t* weight, uint32_t step,
                                                       int32_t begin, int32_t end) {
  const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
  const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
  const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
  const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
  const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
  const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
  const __m256i factor = _mm256_set1_epi16(static_cast<int16_t>(step));
  const int32_t width = source.Width();
  for (int32_t y = begin; y < end; ++y) {
    const uint8_t* s = source.Scanlines[y];
    uint8_t* t = target.Scanlines[y];
    int32_t x = 0;
    for (; x + 16 <= width; x += 16, s += 48) {
      const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
      const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
      const __m128i blue =
          _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, b0), _mm_shuffle_epi8(v1, b1)),
                       _mm_shuffle_epi8(v2, b2));
      const __m128i green =
          _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, g0), _mm_shuffle_epi8(v1, g1)),
                       _mm_shuffle_epi8(v2, g2));
      const __m128i red =
          _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, r0), _mm_shuffle_epi8(v1, r1)),
                       _mm_shuffle_epi8(v2, r2));
      const __m256i sum = _mm256_add_epi16(
          _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_cvtepu8_epi16(blue), factor),
                           _mm256_mulhi_epu16(_mm256_cvtepu8_epi16(green), factor)),
          _mm256_mulhi_epu16(_mm256_cvtepu8_epi16(red), factor));
      const __m128i gray =
          _mm_packus_epi16(_mm256_castsi256_si128(sum), _mm256_extracti128_si256(sum, 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(t + x), gray);
    }
    for (; x < width; ++x, s += 3)
      t[x] = static_cast<uint8_t>(weight[s[0]] + weight[s[1]] + weight[s[2]]);
  }
}

#endif  // __x86_64__

template <int BytesPerPixel>
void GrayFromBgr(const TFastDIB& source, TFastDIB& target, const uint8_t* weight, int32_t begin,
                 int32_t end) {
  const int32_t width = source.Width();
  for (int32_t y = begin; y < end; ++y) {
    const uint8_t* s = source.Scanlines[y];
    uint8_t* t = target.Scanlines[y];
    for (int32_t x = 0; x < width; ++x, s += BytesPerPixel)
      t[x] = static_cast<uint8_t>(weight[s[0]] + weight[s[1]] + weight[s[2]]);
  }
}

void GrayFromIndex(const TFastDIB& source, TFastDIB& target, const uint8_t* weight) {
  uint8_t gray[256];
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& c = source.Colors[i];
    gray[i] = static_cast<uint8_t>(weight[c.Blue] + weight[c.Green] + weight[c.Red]);
  }
  const int32_t width = source.Width();
  for (int32_t y = 0; y < source.AbsHeight; ++y) {
    const uint8_t* s = source.Scanlines[y];
    uint8_t* t = target.Scanlines[y];
    for (int32_t x = 0; x < width; ++x) t[x] = gray[s[x]];
  }
}

void GrayFrom555(const TFastDIB& source, TFastDIB& target, const uint8_t* weight) {
  const TGray555 g(weight);
  const int32_t width = source.Width();
  for (int32_t y = 0; y < source.AbsHeight; ++y) {
    const uint8_t* s = source.Scanlines[y];
    uint8_t* t = target.Scanlines[y];
    for (int32_t x = 0; x < width; ++x, s += 2) {
      const uint32_t p = s[0] | (s[1] << 8);
      t[x] = static_cast<uint8_t>(g.Part[p & 31] + g.Part[(p >> 5) & 31] + g.Part[(p >> 10) & 31]);
    }
  }
}

// --- The converter family: one reader per source layout, one writer per target layout ---

struct TIndex1Reader {
  const PaletteEntry* Colors;
  BgrPixel operator()(const uint8_t* row, int32_t x) const {
    const PaletteEntry& c = Colors[(row[x >> 3] >> (7 - (x & 7))) & 1];
    return {c.Blue, c.Green, c.Red};
  }
};
struct TIndex4Reader {
  const PaletteEntry* Colors;
  BgrPixel operator()(const uint8_t* row, int32_t x) const {
    const PaletteEntry& c = Colors[(row[x >> 1] >> (x & 1 ? 0 : 4)) & 15];
    return {c.Blue, c.Green, c.Red};
  }
};
struct TIndex8Reader {
  const PaletteEntry* Colors;
  BgrPixel operator()(const uint8_t* row, int32_t x) const {
    const PaletteEntry& c = Colors[row[x]];
    return {c.Blue, c.Green, c.Red};
  }
};
struct T555Reader {
  BgrPixel operator()(const uint8_t* row, int32_t x) const {
    const uint32_t p = row[2 * x] | (row[2 * x + 1] << 8);
    return {static_cast<uint8_t>(Widen5(p & 31)), static_cast<uint8_t>(Widen5((p >> 5) & 31)),
            static_cast<uint8_t>(Widen5((p >> 10) & 31))};
  }
};
template <int BytesPerPixel>
struct TBgrReader {
  BgrPixel operator()(const uint8_t* row, int32_t x) const {
    const uint8_t* p = row + BytesPerPixel * x;
    return {p[0], p[1], p[2]};
  }
};

struct T24Writer {
  void operator()(uint8_t* row, int32_t x, BgrPixel c) const {
    uint8_t* p = row + 3 * x;
    p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red;
  }
};
struct T32Writer {
  void operator()(uint8_t* row, int32_t x, BgrPixel c) const {
    uint8_t* p = row + 4 * x;
    p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red, p[3] = 0;
  }
};
struct T555Writer {
  void operator()(uint8_t* row, int32_t x, BgrPixel c) const {
    const uint32_t p = ((c.Red >> 3) << 10) | ((c.Green >> 3) << 5) | (c.Blue >> 3);
    row[2 * x] = static_cast<uint8_t>(p);
    row[2 * x + 1] = static_cast<uint8_t>(p >> 8);
  }
};

template <class Reader, class Writer>
void ConvertRows(const TFastDIB& source, TFastDIB& target, int32_t width, int32_t rows, Reader read,
                 Writer write) {
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* s = source.Scanlines[y];
    uint8_t* t = target.Scanlines[y];
    for (int32_t x = 0; x < width; ++x) write(t, x, read(s, x));
  }
}

// Picks the reader for the source depth; false when there is none.
template <class Writer>
bool ConvertToPacked(const TFastDIB& source, TFastDIB& target, int32_t width, int32_t rows,
                     Writer write) {
  switch (source.BitCount()) {
    case 1:
      ConvertRows(source, target, width, rows, TIndex1Reader{source.Colors}, write);
      break;
    case 4:
      ConvertRows(source, target, width, rows, TIndex4Reader{source.Colors}, write);
      break;
    case 8:
      ConvertRows(source, target, width, rows, TIndex8Reader{source.Colors}, write);
      break;
    case 16:
      ConvertRows(source, target, width, rows, T555Reader{}, write);
      break;
    case 24:
      ConvertRows(source, target, width, rows, TBgrReader<3>{}, write);
      break;
    case 32:
      ConvertRows(source, target, width, rows, TBgrReader<4>{}, write);
      break;
    default:
      return false;
  }
  return true;
}

// 1 or 4-bit indices unpacked into bytes, with the source's 2 or 16 table entries.
void UnpackIndices(const TFastDIB& source, TFastDIB& target, int32_t width, int32_t rows) {
  const int bits = source.BitCount();
  const int perByte = 8 / bits;
  const int mask = (1 << bits) - 1;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* s = source.Scanlines[y];
    uint8_t* t = target.Scanlines[y];
    for (int32_t x = 0; x < width; ++x) {
      const int shift = (perByte - 1 - x % perByte) * bits;
      t[x] = static_cast<uint8_t>((s[x / perByte] >> shift) & mask);
    }
  }
  std::memcpy(target.Colors, source.Colors, sizeof(PaletteEntry) * (1u << bits));
  if (target.Surface) target.UpdateSurfacePalette();
}

}  // namespace

void TFastDIB::ConvertToGray(TFastDIB& target) const {
  if (IsEmpty()) return;
  if (&target == this)
    throw std::runtime_error("An image cannot be converted to gray into itself.");
  target.SetSize(Width(), Height(), 8);
  const BgrPixel blackToWhite[2] = {{0, 0, 0}, {255, 255, 255}};
  target.FillPaletteGradient(0, 255, blackToWhite, 2);

  // One third per channel, truncated per channel: the weights of a white pixel add up to 255.
  uint8_t weight[256];
  MakeRampTable(weight, 0, 0, 85, 255);
  // Every gray row comes from its own source row: the rows may split.
  switch (BitCount()) {
    case 24: {
#if defined(__x86_64__)
      const uint32_t step = ((85 - 0 + 1) * 65536) / (255 - 0);  // MakeRampTable's step
      if (VectorLoopsEnabled() && WeightIsProduct(weight, step)) {
        ForEachRowRange(AbsHeight, int64_t(Width()) * 3, [&](int32_t begin, int32_t end) {
          GrayFromBgr24Avx2(*this, target, weight, step, begin, end);
        });
        break;
      }
#endif
      ForEachRowRange(AbsHeight, int64_t(Width()) * 3, [&](int32_t begin, int32_t end) {
        GrayFromBgr<3>(*this, target, weight, begin, end);
      });
      break;
    }
    case 32:
      GrayFromBgr<4>(*this, target, weight, 0, AbsHeight);
      break;
    case 8:
      GrayFromIndex(*this, target, weight);
      break;
    case 16:
      GrayFrom555(*this, target, weight);
      break;
    default:
      // No gray conversion for this depth: the target is black, also when it was reused.
      for (int32_t y = 0; y < target.AbsHeight; ++y)
        std::memset(target.Scanlines[y], 0, static_cast<size_t>(target.Width()));
      break;
  }
}

void TFastDIB::ConvertInto(TFastDIB& target) const {
  if (IsEmpty() || target.IsEmpty() || &target == this) return;
  // Callers create the target from this image's size; the common part of the two is what gets
  // written, so a mismatched target or a region view never reads or writes outside a row.
  const int32_t width = std::min(Width(), target.Width());
  const int32_t rows = std::min(AbsHeight, target.AbsHeight);
  const int depth = BitCount();
  const int targetDepth = target.BitCount();

  if (depth == targetDepth) {
    const size_t bytes = static_cast<size_t>(RowBytesUsed(width, depth));
    for (int32_t y = 0; y < rows; ++y) std::memcpy(target.Scanlines[y], Scanlines[y], bytes);
    return;
  }
  switch (targetDepth) {
    case 24:
      ConvertToPacked(*this, target, width, rows, T24Writer{});
      break;
    case 32:
      ConvertToPacked(*this, target, width, rows, T32Writer{});
      break;
    case 16:
      ConvertToPacked(*this, target, width, rows, T555Writer{});
      break;
    case 8:
      // Building a colour table from the colours of a 16, 24 or 32-bit picture is not offered:
      // nothing here needs it, and the target is left as it was.
      if (depth == 1 || depth == 4) UnpackIndices(*this, target, width, rows);
      break;
    default:
      break;
  }
}
