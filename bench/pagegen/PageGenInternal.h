#pragma once
// The generator's pieces shared between its files: the random numbers and the upright page.
#include <cstdint>

#include <QImage>

#include "PageGen.h"

// A small generator of our own instead of <random>'s distributions, whose sequences the
// standard leaves to each library: the set must not change with the compiler's library.
class TRandom {
 public:
  explicit TRandom(uint64_t seed) : State(seed) {}
  uint64_t Next() {
    uint64_t z = (State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Uniform(double low, double high) { return low + (high - low) * Uniform(); }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool Chance(double p) { return Uniform() < p; }
  // Close to a standard normal: the sum of four uniforms, centred and scaled to variance 1.
  // Cheap enough for three draws per pixel.
  double Gauss() {
    const uint64_t r = Next();
    const double sum = static_cast<double>((r & 0xFFFF) + ((r >> 16) & 0xFFFF) +
                                           ((r >> 32) & 0xFFFF) + (r >> 48)) /
                       65536.0;
    return (sum - 2.0) * 1.7320508075688772;
  }

 private:
  uint64_t State;
};

// Width and height of the upright page in millimetres.
struct TPageSize {
  double Width, Height;
};
TPageSize PaperSize(TPaper paper);

// The upright page, `heightPx` pixels tall (Format_RGB32), with paper, text-like marks, headings
// and, as the plan says, a ruled table and text close to the edges.
QImage RenderPage(const TPhotoPlan& plan, int heightPx, TRandom& random);
