#pragma once
// What many imaging tests do with a picture's bytes: fill them at random, and read them back,
// either the pixels only or every byte of every row, the gap at each row's end included (for
// checking that an operation writes nothing outside its pixels).
#include <cstdint>
#include <random>
#include <vector>

#include "FastDIB.h"

inline void FillRandom(TFastDIB& image, uint32_t seed) {
  std::mt19937 random(seed);
  for (int32_t r = 0; r < image.AbsHeight; ++r)
    for (int32_t i = 0; i < image.Stride; ++i) image.Scanlines[r][i] = uint8_t(random());
}

inline std::vector<uint8_t> PixelBytes(const TFastDIB& image) {
  std::vector<uint8_t> out;
  const int32_t used = RowBytesUsed(image.Width(), image.BitCount());
  for (int32_t r = 0; r < image.AbsHeight; ++r)
    out.insert(out.end(), image.Scanlines[r], image.Scanlines[r] + used);
  return out;
}

inline std::vector<uint8_t> AllBytes(const TFastDIB& image) {
  std::vector<uint8_t> out;
  for (int32_t r = 0; r < image.AbsHeight; ++r)
    out.insert(out.end(), image.Scanlines[r], image.Scanlines[r] + image.Stride);
  return out;
}
