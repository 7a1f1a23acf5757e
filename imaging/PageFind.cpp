// Own code, not a general purpose vision library: one gradient, one vote and a few line fits on
// a small copy need no large runtime dependency, and own passes keep the edges' polarity.
//
// The way it goes: a copy reduced to about 400 pixels on its longer side gives the luminance and
// its gradient; edge points vote for lines by the direction their gradient points in, so the
// four sides of a page lighter than the desk fall into four groups (the top side's gradient
// points down into the page, the left side's to the right, and so on). Every choice of one line
// from each group is a quadrilateral, scored from each side's edge support, the contrast across
// it (paper lighter than the desk) and how even the paper along it is, all read in O(1) from
// sums along the line; the best one, unless a different one scores nearly as well, is fitted
// again at full resolution, side by side, and its corners are where the fitted sides meet.
#include "PageFind.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The reduced copy's longer side is at most this: the page's edges are still several pixels
// long per degree there, and a whole vote over every line takes a few milliseconds.
constexpr int kSmallSide = 400;
// The smallest gradient (levels per pixel, at the reduced size) an edge point needs: a few
// times the sensor noise left after the reduction, and well below the step of an off-white
// page on an off-white desk.
constexpr float kEdgeGradient = 1.2f;
// Directions are voted for in whole degrees; an edge point votes for as many degrees either
// side of its own gradient's direction as that direction is uncertain: the noise turns a weak
// gradient by several degrees (a faint page edge would otherwise spread its votes too thin).
constexpr int kMinAngleSpread = 2;
constexpr int kMaxAngleSpread = 8;
// A side may turn this far from the picture's axes (the page's own turn plus the camera's
// perspective).
constexpr int kMaxSideTurn = 40;
// Lines looked at per side, strongest first, and kept for the quadrilaterals; a kept line needs
// a stretch of at least kMinStretch quality.
constexpr int kPeaksPerSide = 40;
constexpr int kLinesPerSide = 12;
constexpr double kMinStretch = 0.3;
// How far outside a side the desk is read for the contrast, in reduced pixels (the paper is
// read 1 and 2 pixels inside, the desk 2 and this far outside, clear of the page's own rim).
constexpr float kContrastReach = 3.0f;
// The contrast (levels) at which a side counts as fully lighter inside.
constexpr float kFullContrast = 20.0f;
// The paper along a side, read every kUnevenStep reduced pixels, may change by kEvenPaper
// levels a step on average (noise, light) before the side loses score, all of it at
// kEvenPaper + kUnevenPaper.
// Each reading is the lightest of kPaperRun either side along the side.
constexpr size_t kUnevenStep = 4;
constexpr size_t kPaperRun = 3;
constexpr double kEvenPaper = 2;
constexpr double kUnevenPaper = 8;
// Below this score nothing is called a page.
constexpr double kMinScore = 0.4;
// A different quadrilateral with at least this fraction of the best score makes the answer
// unsure; different means a corner more than kRivalDistance of the picture's diagonal away.
constexpr double kRivalRatio = 0.92;
constexpr double kRivalDistance = 0.03;

constexpr double kPi = 3.14159265358979323846;

struct TPlane {
  int W = 0, H = 0;
  std::vector<float> V;
  float At(int x, int y) const { return V[size_t(y) * size_t(W) + size_t(x)]; }
  // Bilinear, pixel centres at +0.5, clamped to the plane.
  float Sample(float x, float y) const {
    x = std::clamp(x - 0.5f, 0.0f, float(W) - 1.001f);
    y = std::clamp(y - 0.5f, 0.0f, float(H) - 1.001f);
    const int ix = int(x), iy = int(y);
    const float tx = x - float(ix), ty = y - float(iy);
    const float* r0 = &V[size_t(iy) * size_t(W) + size_t(ix)];
    const float* r1 = r0 + W;
    return (r0[0] * (1 - tx) + r0[1] * tx) * (1 - ty) + (r1[0] * (1 - tx) + r1[1] * tx) * ty;
  }
};

// Luminance in 1/256 levels: 0.299 R + 0.587 G + 0.114 B in 8-bit weights that add up to 256.
inline int Luma256(int blue, int green, int red) { return 29 * blue + 150 * green + 77 * red; }

// The gray levels of an 8-bit picture's indices, from its colour table.
std::array<int, 256> IndexLuma(const TFastDIB& picture) {
  std::array<int, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& c = picture.Colors[i];
    table[size_t(i)] = Luma256(c.Blue, c.Green, c.Red);
  }
  return table;
}

// The picture's luminance averaged over factor x factor blocks (a remainder of fewer than
// `factor` columns or rows at the right and bottom is left out).
TPlane ReducedLuma(const TFastDIB& picture, int factor) {
  TPlane plane;
  plane.W = picture.Width() / factor;
  plane.H = picture.AbsHeight / factor;
  plane.V.assign(size_t(plane.W) * size_t(plane.H), 0.0f);
  const bool gray = picture.BitCount() == 8;
  const std::array<int, 256> index = gray ? IndexLuma(picture) : std::array<int, 256>{};
  const float scale = 1.0f / (256.0f * float(factor) * float(factor));
  ForEachRowRange(plane.H, int64_t(picture.Stride) * factor, [&](int32_t begin, int32_t end) {
    std::vector<int64_t> sums(size_t(plane.W));
    for (int32_t j = begin; j < end; ++j) {
      std::fill(sums.begin(), sums.end(), 0);
      for (int r = 0; r < factor; ++r) {
        const uint8_t* row = picture.Scanlines[size_t(picture.AbsHeight - 1 - (j * factor + r))];
        if (gray) {
          for (int i = 0; i < plane.W; ++i) {
            int64_t s = 0;
            for (int k = 0; k < factor; ++k) s += index[row[i * factor + k]];
            sums[size_t(i)] += s;
          }
        } else {
          for (int i = 0; i < plane.W; ++i) {
            const uint8_t* p = row + 3 * i * factor;
            int64_t s = 0;
            for (int k = 0; k < factor; ++k, p += 3) s += Luma256(p[0], p[1], p[2]);
            sums[size_t(i)] += s;
          }
        }
      }
      float* out = &plane.V[size_t(j) * size_t(plane.W)];
      for (int i = 0; i < plane.W; ++i) out[i] = float(sums[size_t(i)]) * scale;
    }
  });
  return plane;
}

struct TGradient {
  TPlane X, Y;  // Sobel, divided by 8: levels per pixel
};

TGradient Sobel(const TPlane& l) {
  TGradient g;
  g.X.W = g.Y.W = l.W;
  g.X.H = g.Y.H = l.H;
  g.X.V.assign(l.V.size(), 0.0f);
  g.Y.V.assign(l.V.size(), 0.0f);
  for (int y = 1; y + 1 < l.H; ++y) {
    const float* a = &l.V[size_t(y - 1) * size_t(l.W)];
    const float* b = a + l.W;
    const float* c = b + l.W;
    float* gx = &g.X.V[size_t(y) * size_t(l.W)];
    float* gy = &g.Y.V[size_t(y) * size_t(l.W)];
    for (int x = 1; x + 1 < l.W; ++x) {
      gx[x] = ((a[x + 1] + 2 * b[x + 1] + c[x + 1]) - (a[x - 1] + 2 * b[x - 1] + c[x - 1])) / 8;
      gy[x] = ((c[x - 1] + 2 * c[x] + c[x + 1]) - (a[x - 1] + 2 * a[x] + a[x + 1])) / 8;
    }
  }
  return g;
}

// A line at angle Phi (degrees; its normal (cos, sin) points to the lighter side) and distance
// Rho from the reduced picture's centre.
struct TLine {
  double Phi = 0, Rho = 0;
  int Votes = 0;
  double Nx() const { return std::cos(Phi * kPi / 180); }
  double Ny() const { return std::sin(Phi * kPi / 180); }
};

struct THough {
  int Radius = 0;          // rho runs over -Radius..Radius
  std::vector<int> Votes;  // [phi][rho + Radius], phi 0..359
  int& At(int phi, int rho) {
    return Votes[size_t(phi) * size_t(2 * Radius + 1) + size_t(rho + Radius)];
  }
};

THough VoteLines(const TPlane& luma, const TGradient& g) {
  THough hough;
  hough.Radius = int(std::ceil(std::hypot(luma.W, luma.H) / 2)) + 2;
  hough.Votes.assign(size_t(360) * size_t(2 * hough.Radius + 1), 0);
  std::array<float, 360> cosTable{}, sinTable{};
  for (int a = 0; a < 360; ++a) {
    cosTable[size_t(a)] = float(std::cos(a * kPi / 180));
    sinTable[size_t(a)] = float(std::sin(a * kPi / 180));
  }
  const float cx = luma.W / 2.0f, cy = luma.H / 2.0f;
  const float min2 = kEdgeGradient * kEdgeGradient;
  for (int y = 2; y + 2 < luma.H; ++y) {
    for (int x = 2; x + 2 < luma.W; ++x) {
      const float gx = g.X.At(x, y), gy = g.Y.At(x, y);
      const float m2 = gx * gx + gy * gy;
      if (m2 < min2) continue;
      // Thin the edge to its crest across the gradient, so a soft edge votes once per pixel of
      // its length instead of once per pixel of its width.
      const float ax = std::abs(gx), ay = std::abs(gy);
      int dx, dy;
      if (ax > 2.414f * ay) {
        dx = 1, dy = 0;
      } else if (ay > 2.414f * ax) {
        dx = 0, dy = 1;
      } else {
        dx = 1, dy = (gx * gy > 0) ? 1 : -1;
      }
      const auto mag2 = [&](int px, int py) {
        const float u = g.X.At(px, py), v = g.Y.At(px, py);
        return u * u + v * v;
      };
      const float ahead = mag2(x + dx, y + dy), behind = mag2(x - dx, y - dy);
      if (m2 < ahead || m2 <= behind) continue;
      // The crest between pixels, from a parabola through the three magnitudes: without it a
      // slanted edge's points scatter half a pixel either side of its line.
      const float m = std::sqrt(m2), ma = std::sqrt(ahead), mb = std::sqrt(behind);
      const float curve = ma - 2 * m + mb;
      const float shift = curve < 0 ? std::clamp(0.5f * (mb - ma) / curve, -0.5f, 0.5f) : 0.0f;
      double phi = std::atan2(double(gy), double(gx)) * 180 / kPi;
      if (phi < 0) phi += 360;
      const int centre = int(std::lround(phi));
      const float px = float(x) + 0.5f + shift * float(dx) - cx;
      const float py = float(y) + 0.5f + shift * float(dy) - cy;
      const int spread = std::clamp(int(std::ceil(1.5f + 10.0f / std::sqrt(m2))), kMinAngleSpread,
                                    kMaxAngleSpread);
      for (int d = -spread; d <= spread; ++d) {
        const int a = (centre + d + 360) % 360;
        const int rho = int(std::lround(px * cosTable[size_t(a)] + py * sinTable[size_t(a)]));
        hough.At(a, rho) += 1;
      }
    }
  }
  return hough;
}

// The strongest lines with their direction within kMaxSideTurn of `phi0`, each the greatest
// vote within a few degrees and pixels of it.
std::vector<TLine> StrongLines(THough& hough, int phi0, int minVotes) {
  struct TPeak {
    int Phi, Rho, Votes;
  };
  std::vector<TPeak> peaks;
  const int r = hough.Radius;
  // A line between two distances splits its votes between them: peaks are looked for in the
  // sums of neighbouring pairs, and the line placed at the pair's centre of votes.
  const auto pair = [&](int a, int rho) { return hough.At(a, rho) + hough.At(a, rho + 1); };
  for (int d = -kMaxSideTurn; d <= kMaxSideTurn; ++d) {
    const int a = (phi0 + d + 360) % 360;
    for (int rho = -r + 1; rho + 1 < r; ++rho) {
      const int v = pair(a, rho);
      if (v < minVotes) continue;
      bool best = true;
      for (int da = -3; da <= 3 && best; ++da) {
        const int b = (a + da + 360) % 360;
        for (int dr = -4; dr <= 4; ++dr) {
          if ((da == 0 && dr == 0) || rho + dr <= -r || rho + dr + 1 >= r) continue;
          const int w = pair(b, rho + dr);
          // Ties go to the first in scan order, so a plateau gives one peak.
          if (w > v || (w == v && (da < 0 || (da == 0 && dr < 0)))) {
            best = false;
            break;
          }
        }
      }
      if (best) peaks.push_back({a, rho, v});
    }
  }
  std::sort(peaks.begin(), peaks.end(), [](const TPeak& p, const TPeak& q) {
    return p.Votes != q.Votes ? p.Votes > q.Votes
                              : (p.Phi != q.Phi ? p.Phi < q.Phi : p.Rho < q.Rho);
  });
  if (peaks.size() > size_t(kPeaksPerSide)) peaks.resize(size_t(kPeaksPerSide));
  std::vector<TLine> lines;
  for (const TPeak& p : peaks)
    lines.push_back({double(p.Phi), p.Rho + double(hough.At(p.Phi, p.Rho + 1)) / p.Votes, p.Votes});
  return lines;
}

// What a line looks like along its length, one sample per reduced pixel from S0 on, summed so
// that any stretch of it is read at once.
struct TLineProfile {
  TLine Line;
  double BaseX = 0, BaseY = 0;  // the foot of the normal from the centre, in plane coordinates
  int S0 = 0;
  std::vector<int> Support;       // prefix sums: the gradient across the line is an edge's
  std::vector<int> Lighter;       // prefix sums: lighter inside than outside
  std::vector<float> Contrast;    // prefix sums: inside minus outside, clipped
  std::vector<float> Unevenness;  // prefix sums: how the paper just inside changes along it
};

TLineProfile ProfileLine(const TLine& line, const TPlane& luma, const TGradient& g) {
  TLineProfile p;
  p.Line = line;
  const double nx = line.Nx(), ny = line.Ny();
  const double ux = -ny, uy = nx;
  p.BaseX = luma.W / 2.0 + line.Rho * nx;
  p.BaseY = luma.H / 2.0 + line.Rho * ny;
  const int reach = int(std::ceil(std::hypot(luma.W, luma.H) / 2)) + 2;
  p.S0 = -reach;
  const size_t n = size_t(2 * reach + 1);
  p.Support.assign(n + 1, 0);
  p.Lighter.assign(n + 1, 0);
  p.Contrast.assign(n + 1, 0.0f);
  p.Unevenness.assign(n + 1, 0.0f);
  // Just inside a page lies paper: the lighter of two readings skips dark print, so what is
  // left changes along the side only with the light. A band of a patterned desk changes tone.
  // The same reading just outside stands for the desk; read the same way, a line along print
  // on the page (a table's rule, the edge of a line of text) has paper on both sides.
  std::vector<float> paper(n, -1.0f), desk(n, -1.0f);
  for (size_t k = 0; k < n; ++k) {
    const double s = double(p.S0) + double(k);
    const double x = p.BaseX + s * ux, y = p.BaseY + s * uy;
    if (x >= 2 && y >= 2 && x <= luma.W - 2 && y <= luma.H - 2) {
      paper[k] = std::max(luma.Sample(float(x + 1.0 * nx), float(y + 1.0 * ny)),
                          luma.Sample(float(x + 2.0 * nx), float(y + 2.0 * ny)));
      desk[k] =
          std::max(luma.Sample(float(x - 2.0 * nx), float(y - 2.0 * ny)),
                   luma.Sample(float(x - kContrastReach * nx), float(y - kContrastReach * ny)));
    }
  }
  // So does the lightest reading of a few pixels along the side, which skips the gaps between
  // lines of print that run up to the side; a desk's bands are wider than that.
  const auto lightestOf = [&](const std::vector<float>& reading) {
    std::vector<float> lightest(n, -1.0f);
    for (size_t k = 0; k < n; ++k) {
      if (reading[k] < 0) continue;
      float v = reading[k];
      for (size_t j = k >= kPaperRun ? k - kPaperRun : 0; j <= std::min(n - 1, k + kPaperRun); ++j)
        v = std::max(v, reading[j]);
      lightest[k] = v;
    }
    return lightest;
  };
  const std::vector<float> lightest = lightestOf(paper), lightestDesk = lightestOf(desk);
  for (size_t k = 0; k < n; ++k) {
    const double s = double(p.S0) + double(k);
    const double x = p.BaseX + s * ux, y = p.BaseY + s * uy;
    int support = 0, lighter = 0;
    float contrast = 0;
    if (x >= 2 && y >= 2 && x <= luma.W - 2 && y <= luma.H - 2) {
      float across = -1e9f;
      for (int o = -1; o <= 1; ++o) {
        const int px = std::clamp(int(x + o * nx), 1, luma.W - 2);
        const int py = std::clamp(int(y + o * ny), 1, luma.H - 2);
        across = std::max(across, float(g.X.At(px, py) * nx + g.Y.At(px, py) * ny));
      }
      support = across >= kEdgeGradient ? 1 : 0;
      // Inside is the paper reading: a line of print running close to the side would otherwise
      // take the page's contrast away.
      const float inside = lightest[k], outside = lightestDesk[k];
      contrast = std::clamp(inside - outside, -2 * kFullContrast, 2 * kFullContrast);
      lighter = contrast > 1.5f ? 1 : 0;
    }
    p.Support[k + 1] = p.Support[k] + support;
    p.Lighter[k + 1] = p.Lighter[k] + lighter;
    p.Contrast[k + 1] = p.Contrast[k] + contrast;
    float uneven = 0;
    if (k + kUnevenStep < n && lightest[k] >= 0 && lightest[k + kUnevenStep] >= 0)
      uneven = std::min(std::abs(lightest[k + kUnevenStep] - lightest[k]), 4 * kFullContrast);
    p.Unevenness[k + 1] = p.Unevenness[k] + uneven;
  }
  return p;
}

struct TPoint2 {
  double X = 0, Y = 0;
};

bool Intersect(const TLineProfile& a, const TLineProfile& b, TPoint2& out) {
  const double a1 = a.Line.Nx(), b1 = a.Line.Ny(), c1 = a1 * a.BaseX + b1 * a.BaseY;
  const double a2 = b.Line.Nx(), b2 = b.Line.Ny(), c2 = a2 * b.BaseX + b2 * b.BaseY;
  const double det = a1 * b2 - a2 * b1;
  if (std::abs(det) < 1e-6) return false;
  out = {(c1 * b2 - c2 * b1) / det, (a1 * c2 - a2 * c1) / det};
  return true;
}

// The samples k0..k1 - 1 of `line` as a page's side: 0..1 from its support, its lighter inside,
// the evenness of the paper just inside and its contrast.
double StretchQuality(const TLineProfile& line, int k0, int k1) {
  if (k1 - k0 < 4) return 0;
  const double count = double(k1 - k0);
  const double support = (line.Support[size_t(k1)] - line.Support[size_t(k0)]) / count;
  const double lighter = (line.Lighter[size_t(k1)] - line.Lighter[size_t(k0)]) / count;
  const double contrast = (line.Contrast[size_t(k1)] - line.Contrast[size_t(k0)]) / count;
  const double uneven = (line.Unevenness[size_t(k1)] - line.Unevenness[size_t(k0)]) / count;
  const double even = std::clamp(1 - (uneven - kEvenPaper) / kUnevenPaper, 0.0, 1.0);
  return support * lighter * even * std::clamp(contrast / kFullContrast, 0.0, 1.0);
}

// The side of `line` between the points p and q: 0..1 from its support, its lighter inside
// and its contrast, over the middle 88% (the corners' own pixels belong to both sides).
double SideQuality(const TLineProfile& line, TPoint2 p, TPoint2 q) {
  const double ux = -line.Line.Ny(), uy = line.Line.Nx();
  double s = (p.X - line.BaseX) * ux + (p.Y - line.BaseY) * uy;
  double t = (q.X - line.BaseX) * ux + (q.Y - line.BaseY) * uy;
  if (s > t) std::swap(s, t);
  const double trim = 0.06 * (t - s);
  const int n = int(line.Support.size()) - 1;
  const int k0 = std::clamp(int(std::lround(s + trim)) - line.S0, 0, n);
  const int k1 = std::clamp(int(std::lround(t - trim)) - line.S0, 0, n);
  return StretchQuality(line, k0, k1);
}

struct TCandidate {
  double Score = 0;
  std::array<int, 4> Lines{};        // top, right, bottom, left
  std::array<TPoint2, 4> Corners{};  // TL, TR, BR, BL in plane coordinates
};

// Whether the corners make a plausible page for a plane of w x h: inside the picture grown by
// a tenth, convex with no corner sharper than about 35 degrees, at least an eighth of the area.
bool Plausible(const std::array<TPoint2, 4>& c, int w, int h) {
  const double margin = 0.1 * std::max(w, h);
  for (const TPoint2& p : c)
    if (p.X < -margin || p.Y < -margin || p.X > w + margin || p.Y > h + margin) return false;
  double area = 0;
  for (int i = 0; i < 4; ++i) {
    const TPoint2 prev = c[size_t((i + 3) % 4)], at = c[size_t(i)], next = c[size_t((i + 1) % 4)];
    const double ax = at.X - prev.X, ay = at.Y - prev.Y, bx = next.X - at.X, by = next.Y - at.Y;
    const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    if (la < 8 || lb < 8) return false;
    const double sine = (ax * by - ay * bx) / (la * lb);
    const double cosine = -(ax * bx + ay * by) / (la * lb);  // of the corner's inside angle
    if (sine <= 0 || cosine > 0.82 || cosine < -0.82) return false;
    area += at.X * next.Y - next.X * at.Y;
  }
  return area / 2 >= 0.12 * double(w) * double(h);
}

// --- Full resolution ---

// Luminance (levels) of the picture at a continuous point, bilinear, clamped to the picture.
class TLumaReader {
 public:
  explicit TLumaReader(const TFastDIB& picture) : Picture(picture), Gray(picture.BitCount() == 8) {
    if (Gray) Index = IndexLuma(picture);
  }
  double At(double x, double y) const {
    const int w = Picture.Width(), h = Picture.AbsHeight;
    x = std::clamp(x - 0.5, 0.0, w - 1.001);
    y = std::clamp(y - 0.5, 0.0, h - 1.001);
    const int ix = int(x), iy = int(y);
    const double tx = x - ix, ty = y - iy;
    const int ix1 = std::min(ix + 1, w - 1), iy1 = std::min(iy + 1, h - 1);
    return ((Pixel(ix, iy) * (1 - tx) + Pixel(ix1, iy) * tx) * (1 - ty) +
            (Pixel(ix, iy1) * (1 - tx) + Pixel(ix1, iy1) * tx) * ty) /
           256.0;
  }

 private:
  int Pixel(int x, int y) const {
    const uint8_t* row = Picture.Scanlines[size_t(Picture.AbsHeight - 1 - y)];
    if (Gray) return Index[row[x]];
    const uint8_t* p = row + 3 * x;
    return Luma256(p[0], p[1], p[2]);
  }
  const TFastDIB& Picture;
  bool Gray;
  std::array<int, 256> Index{};
};

struct TFullLine {
  double Nx = 0, Ny = 0, C = 0;  // Nx x + Ny y = C, (Nx, Ny) a unit vector towards the page
};

// The side from p to q (full resolution, inward normal to the right of p->q on the screen)
// fitted again to the crest of the luminance rising into the page, searched within `reach`
// pixels of the coarse side. Keeps the coarse side when too few crests are found.
TFullLine RefineSide(const TLumaReader& luma, TPoint2 p, TPoint2 q, double reach) {
  const double len = std::hypot(q.X - p.X, q.Y - p.Y);
  const double ux = (q.X - p.X) / len, uy = (q.Y - p.Y) / len;
  const double nx = -uy, ny = ux;
  TFullLine coarse{nx, ny, nx * p.X + ny * p.Y};
  const int r = int(std::ceil(reach));
  const int samples = std::max(8, int(len / 6));
  std::vector<TPoint2> crest;
  std::vector<double> profile(size_t(2 * r + 3));
  for (int k = 0; k < samples; ++k) {
    const double t = 0.05 + 0.9 * (k + 0.5) / samples;
    const double bx = p.X + t * (q.X - p.X), by = p.Y + t * (q.Y - p.Y);
    for (int o = -r - 1; o <= r + 1; ++o) {
      double v = 0;
      for (int e = -1; e <= 1; ++e)
        v += luma.At(bx + o * nx + 2.0 * e * ux, by + o * ny + 2.0 * e * uy);
      profile[size_t(o + r + 1)] = v / 3;
    }
    double best = 3.0;  // levels over two pixels: weaker rises are noise
    int at = 0;
    for (int o = -r + 1; o <= r - 1; ++o) {
      const double d = profile[size_t(o + r + 2)] - profile[size_t(o + r)];
      if (d > best) best = d, at = o;
    }
    if (at == 0 && best <= 3.0) continue;
    const auto rise = [&](int o) { return profile[size_t(o + r + 2)] - profile[size_t(o + r)]; };
    const double d0 = rise(at - 1), d1 = rise(at), d2 = rise(at + 1);
    const double curve = d0 - 2 * d1 + d2;
    const double shift = curve < 0 ? std::clamp(0.5 * (d0 - d2) / curve, -0.5, 0.5) : 0.0;
    crest.push_back({bx + (at + shift) * nx, by + (at + shift) * ny});
  }
  if (int(crest.size()) < std::max(6, samples / 3)) return coarse;
  // A total least squares line, refitted twice without the points far from it (text or a
  // shadow's edge that stood out more than the page's own edge at that point).
  TFullLine line = coarse;
  std::vector<TPoint2> used = crest;
  for (int pass = 0; pass < 3; ++pass) {
    if (int(used.size()) < std::max(6, samples / 4)) return coarse;
    double mx = 0, my = 0;
    for (const TPoint2& c : used) mx += c.X, my += c.Y;
    mx /= double(used.size());
    my /= double(used.size());
    double sxx = 0, sxy = 0, syy = 0;
    for (const TPoint2& c : used) {
      sxx += (c.X - mx) * (c.X - mx);
      sxy += (c.X - mx) * (c.Y - my);
      syy += (c.Y - my) * (c.Y - my);
    }
    // The direction of least spread is the normal.
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    double fx = -std::sin(angle), fy = std::cos(angle);
    if (fx * nx + fy * ny < 0) fx = -fx, fy = -fy;
    line = {fx, fy, fx * mx + fy * my};
    const double limit = pass == 0 ? 3.0 : 1.5;
    std::vector<TPoint2> kept;
    for (const TPoint2& c : crest)
      if (std::abs(line.Nx * c.X + line.Ny * c.Y - line.C) <= limit) kept.push_back(c);
    used.swap(kept);
  }
  // A fit that turned away from the coarse side found something else.
  if (line.Nx * nx + line.Ny * ny < std::cos(3 * kPi / 180)) return coarse;
  return line;
}

bool Meet(const TFullLine& a, const TFullLine& b, TPagePoint& out) {
  const double det = a.Nx * b.Ny - b.Nx * a.Ny;
  if (std::abs(det) < 1e-9) return false;
  out = {(a.C * b.Ny - b.C * a.Ny) / det, (a.Nx * b.C - b.Nx * a.C) / det};
  return true;
}

}  // namespace

TPageFindResult FindPage(const TFastDIB& picture) {
  TPageFindResult result;
  if (picture.IsEmpty() || (picture.BitCount() != 8 && picture.BitCount() != 24)) return result;
  const int width = picture.Width(), height = picture.AbsHeight;
  const int factor = std::max(1, (std::max(width, height) + kSmallSide - 1) / kSmallSide);
  if (width / factor < 32 || height / factor < 32) return result;

  const TPlane luma = ReducedLuma(picture, factor);
  const TGradient gradient = Sobel(luma);
  THough hough = VoteLines(luma, gradient);

  // A side must be at least a fifth of the picture's shorter side long to be voted for enough.
  const int minVotes = std::max(10, std::min(luma.W, luma.H) / 5);
  // Top, right, bottom, left: the gradient points down, left, up and right into the page.
  static constexpr int kGroupPhi[4] = {90, 180, 270, 0};
  std::array<std::vector<TLineProfile>, 4> sides;
  // A strong line of the desk's pattern can outvote a page's side; a line is kept only where
  // some stretch of it, as long as the shortest side voted for, looks like a page's side.
  for (int k = 0; k < 4; ++k)
    for (const TLine& line : StrongLines(hough, kGroupPhi[k], minVotes)) {
      TLineProfile profile = ProfileLine(line, luma, gradient);
      const int n = int(profile.Support.size()) - 1;
      double bestStretch = 0;
      for (int k0 = 0; k0 + minVotes <= n && bestStretch < kMinStretch; k0 += 4)
        bestStretch = std::max(bestStretch, StretchQuality(profile, k0, k0 + minVotes));
      if (bestStretch < kMinStretch) continue;
      sides[size_t(k)].push_back(std::move(profile));
      if (sides[size_t(k)].size() == size_t(kLinesPerSide)) break;
    }
  for (const auto& group : sides)
    if (group.empty()) return result;

  std::vector<TCandidate> candidates;
  const auto& top = sides[0];
  const auto& right = sides[1];
  const auto& bottom = sides[2];
  const auto& left = sides[3];
  for (size_t t = 0; t < top.size(); ++t)
    for (size_t b = 0; b < bottom.size(); ++b)
      for (size_t l = 0; l < left.size(); ++l)
        for (size_t r = 0; r < right.size(); ++r) {
          TCandidate c;
          if (!Intersect(top[t], left[l], c.Corners[0]) ||
              !Intersect(top[t], right[r], c.Corners[1]) ||
              !Intersect(bottom[b], right[r], c.Corners[2]) ||
              !Intersect(bottom[b], left[l], c.Corners[3]))
            continue;
          if (!Plausible(c.Corners, luma.W, luma.H)) continue;
          const double q[4] = {SideQuality(top[t], c.Corners[0], c.Corners[1]),
                               SideQuality(right[r], c.Corners[1], c.Corners[2]),
                               SideQuality(bottom[b], c.Corners[2], c.Corners[3]),
                               SideQuality(left[l], c.Corners[3], c.Corners[0])};
          c.Score = std::sqrt(std::sqrt(q[0] * q[1] * q[2] * q[3]));
          if (c.Score <= 0) continue;
          c.Lines = {int(t), int(r), int(b), int(l)};
          candidates.push_back(c);
        }
  if (candidates.empty()) return result;
  std::sort(candidates.begin(), candidates.end(),
            [](const TCandidate& a, const TCandidate& b) { return a.Score > b.Score; });
  const TCandidate& best = candidates.front();
  result.Score = best.Score;
  if (best.Score < kMinScore) {
    result.Outcome = TPageFindOutcome::Unsure;
    return result;
  }
  const double diagonal = std::hypot(luma.W, luma.H);
  for (size_t i = 1; i < candidates.size(); ++i) {
    const TCandidate& other = candidates[i];
    if (other.Score < kRivalRatio * best.Score) break;
    double far = 0;
    for (int k = 0; k < 4; ++k)
      far = std::max(far, std::hypot(other.Corners[size_t(k)].X - best.Corners[size_t(k)].X,
                                     other.Corners[size_t(k)].Y - best.Corners[size_t(k)].Y));
    if (far > kRivalDistance * diagonal) {
      result.Outcome = TPageFindOutcome::Unsure;
      return result;
    }
  }

  // Back to full resolution: a reduced pixel's centre i + 0.5 is the full one's (i + 0.5) f.
  std::array<TPoint2, 4> full;
  for (int k = 0; k < 4; ++k)
    full[size_t(k)] = {best.Corners[size_t(k)].X * factor, best.Corners[size_t(k)].Y * factor};
  const TLumaReader reader(picture);
  const double reach = 1.5 * factor + 2;
  std::array<TFullLine, 4> fitted;
  for (int k = 0; k < 4; ++k)
    fitted[size_t(k)] = RefineSide(reader, full[size_t(k)], full[size_t((k + 1) % 4)], reach);
  TPageQuad quad;
  // Corner k lies between side k - 1 and side k (side 0 the top, running TL -> TR).
  for (int k = 0; k < 4; ++k)
    if (!Meet(fitted[size_t((k + 3) % 4)], fitted[size_t(k)], quad.Corners[size_t(k)])) {
      result.Outcome = TPageFindOutcome::Unsure;
      return result;
    }
  if (!IsUsablePageQuad(quad, width, height)) {
    result.Outcome = TPageFindOutcome::Unsure;
    return result;
  }
  result.Outcome = TPageFindOutcome::Found;
  result.Corners = quad;
  return result;
}

QString PageFindOutcomeText(TPageFindOutcome outcome) {
  switch (outcome) {
    case TPageFindOutcome::Found:
      return QStringLiteral("page found");
    case TPageFindOutcome::NoPage:
      return QStringLiteral("no page found");
    case TPageFindOutcome::Unsure:
      return QStringLiteral("not sure where the page is");
  }
  return QString();
}
