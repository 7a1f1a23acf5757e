#pragma once
// A photo of a page drawn by the tests themselves: a page of known proportions lying on a dark
// desk, seen by a pinhole camera tilted towards it, with its corners known exactly. The page is
// white with a dark square near its top-left corner and a red bar near its bottom, so that a
// straightened picture shows which way round it came back. Shared by the page, document and
// command-line tests.
#include <array>
#include <cmath>
#include <cstdint>

#include "FastDIB.h"
#include "PageWarp.h"

namespace synthpage {

using Matrix = std::array<double, 9>;

inline Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) m[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
  return m;
}

inline Matrix Inverse(const Matrix& m) {
  const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
               i = m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
          (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
          (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

inline std::array<double, 2> Apply(const Matrix& m, double x, double y) {
  const double w = m[6] * x + m[7] * y + m[8];
  return {(m[0] * x + m[1] * y + m[2]) / w, (m[3] * x + m[4] * y + m[5]) / w};
}

struct TPagePhoto {
  int PhotoW = 900, PhotoH = 1200;   // the photo
  double PageW = 700, PageH = 1000;  // the page, in its own units
  double Pitch = 20, Yaw = 10;       // degrees
  double Focal = 0.8;                // of the photo's longer side
  double Distance = 1.45;            // page heights from the camera

  // Page units to photo pixels.
  Matrix Map() const {
    const double pi = 3.14159265358979323846;
    const double a = Pitch * pi / 180, b = Yaw * pi / 180;
    const Matrix rx{1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)};
    const Matrix ry{std::cos(b), 0, std::sin(b), 0, 1, 0, -std::sin(b), 0, std::cos(b)};
    const Matrix r = Multiply(ry, rx);
    const double tx = -r[0] * PageW / 2 - r[1] * PageH / 2;
    const double ty = -r[3] * PageW / 2 - r[4] * PageH / 2;
    const double tz = -r[6] * PageW / 2 - r[7] * PageH / 2 + Distance * PageH;
    const Matrix onPlane{r[0], r[1], tx, r[3], r[4], ty, r[6], r[7], tz};
    const double f = Focal * (PhotoW > PhotoH ? PhotoW : PhotoH);
    const Matrix lens{f, 0, PhotoW / 2.0, 0, f, PhotoH / 2.0, 0, 0, 1};
    return Multiply(lens, onPlane);
  }

  TPageQuad Corners() const {
    const Matrix m = Map();
    const double page[4][2] = {{0, 0}, {PageW, 0}, {PageW, PageH}, {0, PageH}};
    TPageQuad quad;
    for (int i = 0; i < 4; ++i) {
      const auto [x, y] = Apply(m, page[i][0], page[i][1]);
      quad.Corners[size_t(i)] = {x, y};
    }
    return quad;
  }

  // The page's own colour at page point (u, v), as blue, green, red.
  BgrPixel PageColour(double u, double v) const {
    if (u >= 0.1 * PageW && u < 0.35 * PageW && v >= 0.1 * PageH && v < 0.3 * PageH)
      return {30, 30, 30};
    if (u >= 0.15 * PageW && u < 0.85 * PageW && v >= 0.8 * PageH && v < 0.9 * PageH)
      return {40, 40, 220};
    return {235, 235, 235};
  }

  // The photo's pixel (x, y): its centre traced back onto the page, the desk where it misses.
  BgrPixel PhotoColour(int x, int y, const Matrix& back) const {
    const auto [u, v] = Apply(back, x + 0.5, y + 0.5);
    if (!(u >= 0 && u < PageW && v >= 0 && v < PageH)) return {35, 40, 45};
    return PageColour(u, v);
  }
};

// A photo a finder should always get right: the page mildly tilted, well inside the picture.
inline TPagePhoto EasyShot() {
  TPagePhoto shot;
  shot.Pitch = 8;
  shot.Yaw = 4;
  return shot;
}

}  // namespace synthpage
