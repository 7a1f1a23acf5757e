// The page quadrilateral, its aspect ratio and the projective warp (see PageWarp.h).
#include "PageWarp.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace tavrolin::pagewarp {
// The AVX2 loops (PageWarpAvx2.cpp), called only while VectorLoopsEnabled(). The positions
// of output row v's first pixels, as SourcePosition gives them, for as many as the vector loop
// takes (a multiple of 4; 0 without AVX2); and the pixels of a row whose tap origin x0, y0 lies
// in 0..lastX, 0..lastY, the others left untouched.
int32_t RowPositionsAvx2(const double* m, int32_t v, int32_t count, double highX, double highY,
                         int32_t* fx, int32_t* fy);
bool RowPixelsAvx2(int32_t bpp, const uint8_t* const* rows, const int32_t* fx, const int32_t* fy,
                   int32_t count, const int16_t (*weights)[4], int32_t lastX, int32_t lastY,
                   uint8_t* out);
}  // namespace tavrolin::pagewarp

namespace {

// Sine of the sharpest or flattest corner still accepted: about 3 degrees.
constexpr double kMinCornerSine = 0.05;

double Distance(const TPagePoint& a, const TPagePoint& b) {
  return std::hypot(b.X - a.X, b.Y - a.Y);
}

// Turning at corner i from side i-1..i to side i..i+1: positive when the outline turns
// clockwise on the screen (y down), as the corners' order asks.
double TurnSine(const TPageQuad& quad, int i) {
  const TPagePoint& prev = quad.Corners[(i + 3) % 4];
  const TPagePoint& at = quad.Corners[i];
  const TPagePoint& next = quad.Corners[(i + 1) % 4];
  const double ax = at.X - prev.X, ay = at.Y - prev.Y;
  const double bx = next.X - at.X, by = next.Y - at.Y;
  return (ax * by - ay * bx) / (std::hypot(ax, ay) * std::hypot(bx, by));
}

std::runtime_error QuadError(const QString& problem) {
  return std::runtime_error(problem.toStdString());
}

using Vec3 = std::array<double, 3>;

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

TPageAspect SideLengthAspect(const TPageQuad& quad) {
  const auto& c = quad.Corners;
  const double across = Distance(c[0], c[1]) + Distance(c[3], c[2]);
  const double down = Distance(c[0], c[3]) + Distance(c[1], c[2]);
  return {across / down, TAspectMethod::SideLengths, 0};
}

// --- The warp ---

// Weights of the Catmull-Rom cubic for the four taps around a point at phase p / 256 past the
// second tap, in units of 1 / 2048. Eleven bits keep the two passes' sums inside 32 bits: the
// horizontal sum stays within -0.125..1.125 x 255 x 2048 and the vertical one below 2^31.
constexpr int kPhaseBits = 8;
constexpr int kPhases = 1 << kPhaseBits;
constexpr int kWeightBits = 11;

struct TCubicTable {
  int16_t W[kPhases][4];
};

TCubicTable MakeCubicTable() {
  TCubicTable table;
  for (int p = 0; p < kPhases; ++p) {
    const double t = double(p) / kPhases;
    const double exact[4] = {
        (-t * t * t + 2 * t * t - t) / 2,
        (3 * t * t * t - 5 * t * t + 2) / 2,
        (-3 * t * t * t + 4 * t * t + t) / 2,
        (t * t * t - t * t) / 2,
    };
    int sum = 0;
    for (int k = 0; k < 4; ++k) {
      table.W[p][k] = int16_t(std::lround(exact[k] * (1 << kWeightBits)));
      sum += table.W[p][k];
    }
    // The weights must add up to exactly one, or a uniform area would not stay uniform: the
    // rounding's remainder goes to the tap nearest the point.
    table.W[p][t < 0.5 ? 1 : 2] += int16_t((1 << kWeightBits) - sum);
  }
  return table;
}

const TCubicTable& CubicTable() {
  static const TCubicTable table = MakeCubicTable();
  return table;
}

struct TWarpJob {
  const uint8_t* const* SourceRows;  // picture rows from the top
  int32_t SourceWidth, SourceHeight;
  TFastDIB* Target;
  THomography Map;
  const TCubicTable* Table;
};

// One output pixel from the 4 x 4 taps: row k of the taps starts at rows[k], tap j at byte
// cols[j] of it. Both passes in 32-bit integers, rounded once at the end.
template <int Bpp>
inline void CubicPixel(const uint8_t* const rows[4], const int32_t cols[4], const int16_t* wx,
                       const int16_t* wy, uint8_t* out) {
  for (int c = 0; c < Bpp; ++c) {
    int32_t sum = 0;
    for (int k = 0; k < 4; ++k) {
      const uint8_t* r = rows[k] + c;
      const int32_t h =
          wx[0] * r[cols[0]] + wx[1] * r[cols[1]] + wx[2] * r[cols[2]] + wx[3] * r[cols[3]];
      sum += wy[k] * h;
    }
    const int32_t v = (sum + (1 << (2 * kWeightBits - 1))) >> (2 * kWeightBits);
    out[c] = uint8_t(std::clamp(v, 0, 255));
  }
}

// A source coordinate in 1/256 pixel, rounded to nearest. Points more than 2 pixels beyond an
// edge read only the edge pixel whatever their phase, so clamping there changes nothing and keeps
// the conversion defined (a NaN goes to the lower end).
inline int32_t FixedPosition(double s, double high) {
  constexpr double Low = -3;
  s = s > Low ? (s < high ? s : high) : Low;
  // Truncation is the floor here: the offset makes every value positive.
  constexpr int32_t Offset = 4 << kPhaseBits;
  return int32_t(s * kPhases + (0.5 + Offset)) - Offset;
}

// What one output row shares: the map's terms of the row, the clamp limits, and the last tap
// origins that keep every tap inside the source (x0 and y0 from 0 up to these).
struct TRowFrame {
  double RowX, RowY, RowW;
  double HighX, HighY;
  int32_t LastInnerX, LastInnerY;
};

// Output pixel u's source position: the map takes pixel centres to points, and the taps are
// indexed by pixel, half a pixel less. The vector loop repeats these operations in this order.
inline void SourcePosition(const THomography& map, const TRowFrame& row, int32_t u, int32_t& fx,
                           int32_t& fy) {
  const auto& m = map.M;
  const double uc = u + 0.5;
  const double inv = 1.0 / (m[6] * uc + row.RowW);
  fx = FixedPosition((m[0] * uc + row.RowX) * inv - 0.5, row.HighX);
  fy = FixedPosition((m[3] * uc + row.RowY) * inv - 0.5, row.HighY);
}

template <int Bpp>
inline void PlainPixel(const TWarpJob& job, const TRowFrame& row, int32_t fx, int32_t fy,
                       uint8_t* out) {
  constexpr int32_t Steps[4] = {0, Bpp, 2 * Bpp, 3 * Bpp};
  const int32_t x0 = (fx >> kPhaseBits) - 1, y0 = (fy >> kPhaseBits) - 1;
  const int16_t* wx = job.Table->W[fx & (kPhases - 1)];
  const int16_t* wy = job.Table->W[fy & (kPhases - 1)];
  const uint8_t* rows[4];
  if (x0 >= 0 && x0 <= row.LastInnerX && y0 >= 0 && y0 <= row.LastInnerY) {
    for (int k = 0; k < 4; ++k) rows[k] = job.SourceRows[y0 + k] + x0 * Bpp;
    CubicPixel<Bpp>(rows, Steps, wx, wy, out);
  } else {
    int32_t cols[4];
    for (int k = 0; k < 4; ++k) {
      rows[k] = job.SourceRows[std::clamp(y0 + k, 0, job.SourceHeight - 1)];
      cols[k] = std::clamp(x0 + k, 0, job.SourceWidth - 1) * Bpp;
    }
    CubicPixel<Bpp>(rows, cols, wx, wy, out);
  }
}

template <int Bpp>
void WarpRows(const TWarpJob& job, int32_t begin, int32_t end) {
  TFastDIB& target = *job.Target;
  const int32_t tw = target.Width();
  const auto& m = job.Map.M;
  TRowFrame row{};
  row.HighX = job.SourceWidth + 2.0;
  row.HighY = job.SourceHeight + 2.0;
  row.LastInnerX = job.SourceWidth - 4;
  row.LastInnerY = job.SourceHeight - 4;
  // The vector loop reads 16 bytes from each 24-bit tap row, 4 more than its taps.
  const int32_t lastVectorX = Bpp == 3 ? job.SourceWidth - 6 : row.LastInnerX;
  const bool vector = VectorLoopsEnabled();
  std::vector<int32_t> fx(vector ? size_t(tw) : 0), fy(vector ? size_t(tw) : 0);
  for (int32_t v = begin; v < end; ++v) {
    uint8_t* out = target.Scanlines[size_t(target.AbsHeight - 1 - v)];
    const double vc = v + 0.5;
    row.RowX = m[1] * vc + m[2];
    row.RowY = m[4] * vc + m[5];
    row.RowW = m[7] * vc + m[8];
    if (!vector) {
      for (int32_t u = 0; u < tw; ++u) {
        int32_t x, y;
        SourcePosition(job.Map, row, u, x, y);
        PlainPixel<Bpp>(job, row, x, y, out + std::ptrdiff_t(u) * Bpp);
      }
      continue;
    }
    for (int32_t u = tavrolin::pagewarp::RowPositionsAvx2(m.data(), v, tw, row.HighX, row.HighY,
                                                          fx.data(), fy.data());
         u < tw; ++u)
      SourcePosition(job.Map, row, u, fx[size_t(u)], fy[size_t(u)]);
    const bool most =
        tavrolin::pagewarp::RowPixelsAvx2(Bpp, job.SourceRows, fx.data(), fy.data(), tw,
                                          job.Table->W, lastVectorX, row.LastInnerY, out);
    // What the vector loop left: pixels whose taps reach an edge or its last bytes.
    for (int32_t u = 0; u < tw; ++u) {
      const int32_t x0 = (fx[size_t(u)] >> kPhaseBits) - 1, y0 = (fy[size_t(u)] >> kPhaseBits) - 1;
      if (!most || !(x0 >= 0 && x0 <= lastVectorX && y0 >= 0 && y0 <= row.LastInnerY))
        PlainPixel<Bpp>(job, row, fx[size_t(u)], fy[size_t(u)], out + std::ptrdiff_t(u) * Bpp);
    }
  }
}

}  // namespace

QString PageQuadProblem(const TPageQuad& quad, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return QStringLiteral("The picture has no pixels.");
  const double margin = kPageQuadMargin * std::max(width, height);
  for (const TPagePoint& p : quad.Corners) {
    if (!std::isfinite(p.X) || !std::isfinite(p.Y))
      return QStringLiteral("A corner of the page has no valid position.");
    if (p.X < -margin || p.X > width + margin || p.Y < -margin || p.Y > height + margin)
      return QStringLiteral("A corner of the page lies too far outside the picture.");
  }
  for (int i = 0; i < 4; ++i) {
    if (!(Distance(quad.Corners[i], quad.Corners[(i + 1) % 4]) >= 1))
      return QStringLiteral("Two neighbouring corners of the page are less than a pixel apart.");
  }
  int clockwise = 0, counter = 0;
  for (int i = 0; i < 4; ++i) {
    const double s = TurnSine(quad, i);
    if (std::abs(s) < kMinCornerSine)
      return QStringLiteral("A corner of the page is too flat or too sharp to tell its sides.");
    (s > 0 ? clockwise : counter) += 1;
  }
  if (counter == 4)
    return QStringLiteral(
        "The page's corners are not in the order top-left, top-right, bottom-right, bottom-left.");
  if (counter != 0) return QStringLiteral("The page's outline crosses itself or bends inwards.");
  return {};
}

TPageAspect EstimatePageAspect(const TPageQuad& quad, int32_t width, int32_t height) {
  const QString problem = PageQuadProblem(quad, width, height);
  if (!problem.isEmpty()) throw QuadError(problem);
  // Centred on the principal point and in units of the longer side, so that the thresholds do
  // not depend on the picture's size.
  const double unit = std::max(width, height);
  const auto point = [&](int i) {
    return Vec3{(quad.Corners[i].X - width / 2.0) / unit, (quad.Corners[i].Y - height / 2.0) / unit,
                1};
  };
  // The rectangle's corners (0, 0), (w, 0), (0, h), (w, h) seen at m1..m4.
  const Vec3 m1 = point(0), m2 = point(1), m3 = point(3), m4 = point(2);
  const Vec3 c14 = Cross(m1, m4);
  const double k2 = Dot(c14, m3) / Dot(Cross(m2, m4), m3);
  const double k3 = Dot(c14, m2) / Dot(Cross(m3, m4), m2);
  // n2 and n3 are the camera's images of the page's two side directions (up to one common
  // scale): the vanishing points of the top and left sides, in homogeneous form.
  const Vec3 n2{k2 * m2[0] - m1[0], k2 * m2[1] - m1[1], k2 - 1};
  const Vec3 n3{k3 * m3[0] - m1[0], k3 * m3[1] - m1[1], k3 - 1};
  const auto far = [](const Vec3& n) {
    return !(std::abs(n[2]) * kFarVanishingPoint > std::hypot(n[0], n[1]));
  };
  // The sides' true lengths, up to one common scale, from their images and f^2 (n' K^-T K^-1 n
  // with K the camera matrix of focal length f).
  const auto rectified = [&](double f2, TAspectMethod method) -> TPageAspect {
    const double across = n2[0] * n2[0] + n2[1] * n2[1] + f2 * n2[2] * n2[2];
    const double down = n3[0] * n3[0] + n3[1] * n3[1] + f2 * n3[2] * n3[2];
    const double aspect = std::sqrt(across / down);
    if (!std::isfinite(aspect) || !(aspect > 0)) return SideLengthAspect(quad);
    return {aspect, method, std::sqrt(f2) * unit};
  };
  const bool far2 = far(n2), far3 = far(n3);
  if (far2 && far3) return SideLengthAspect(quad);
  // With one pair of sides parallel in the picture the perpendicularity below says nothing about
  // f, but the other pair's convergence still tells how far the page leans, given f.
  if (far2 || far3)
    return rectified(kAssumedFocalLength * kAssumedFocalLength, TAspectMethod::AssumedFocalLength);
  // The two directions are perpendicular on the page: n2' K^-T K^-1 n3 = 0, which gives f^2.
  const double f2 = -(n2[0] * n3[0] + n2[1] * n3[1]) / (n2[2] * n3[2]);
  if (!(f2 >= kMinFocalLength * kMinFocalLength && f2 <= kMaxFocalLength * kMaxFocalLength))
    return SideLengthAspect(quad);
  return rectified(f2, TAspectMethod::FocalLength);
}

TPageSize PageOutputSize(double aspect, int32_t longSide) {
  if (longSide < 1 || !std::isfinite(aspect) || !(aspect > 0)) return {};
  const double other = aspect >= 1 ? longSide / aspect : longSide * aspect;
  const int32_t shortSide = int32_t(std::max(1.0, std::min<double>(longSide, std::round(other))));
  return aspect >= 1 ? TPageSize{longSide, shortSide} : TPageSize{shortSide, longSide};
}

TPagePoint MapPoint(const THomography& h, double x, double y) {
  const auto& m = h.M;
  const double w = m[6] * x + m[7] * y + m[8];
  return {(m[0] * x + m[1] * y + m[2]) / w, (m[3] * x + m[4] * y + m[5]) / w};
}

THomography PageHomography(const TPageQuad& quad, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0)
    throw std::runtime_error("The flattened page must have a positive size.");
  const auto& c = quad.Corners;
  for (int i = 0; i < 4; ++i) {
    const TPagePoint& prev = c[(i + 3) % 4];
    const TPagePoint& next = c[(i + 1) % 4];
    const double turn =
        (c[i].X - prev.X) * (next.Y - c[i].Y) - (c[i].Y - prev.Y) * (next.X - c[i].X);
    if (!(std::abs(turn) > 0))
      throw std::runtime_error("Three corners of the page lie on one line.");
  }
  // The unit square onto the quad (corner i of the square, in the quad's order, to c[i]), then
  // the rectangle onto the unit square.
  const double dx1 = c[1].X - c[2].X, dx2 = c[3].X - c[2].X,
               dx3 = c[0].X - c[1].X + c[2].X - c[3].X;
  const double dy1 = c[1].Y - c[2].Y, dy2 = c[3].Y - c[2].Y,
               dy3 = c[0].Y - c[1].Y + c[2].Y - c[3].Y;
  const double den = dx1 * dy2 - dx2 * dy1;
  const double g = (dx3 * dy2 - dx2 * dy3) / den;
  const double h = (dx1 * dy3 - dx3 * dy1) / den;
  const double a = c[1].X - c[0].X + g * c[1].X, b = c[3].X - c[0].X + h * c[3].X;
  const double d = c[1].Y - c[0].Y + g * c[1].Y, e = c[3].Y - c[0].Y + h * c[3].Y;
  THomography map;
  map.M = {a / width, b / height, c[0].X, d / width, e / height, c[0].Y, g / width, h / height, 1};
  return map;
}

void WarpPageInto(const TFastDIB& source, const TPageQuad& quad, TFastDIB& target) {
  if (source.IsEmpty() || target.IsEmpty()) return;
  if (&source == &target) throw std::runtime_error("Cannot flatten a page into its own picture.");
  if (source.BitCount() != target.BitCount())
    throw std::runtime_error(
        QStringLiteral("Cannot flatten a page of a %1-bit picture into a %2-bit picture.")
            .arg(source.BitCount())
            .arg(target.BitCount())
            .toStdString());
  if (source.BitCount() != 8 && source.BitCount() != 24)
    throw std::runtime_error(QStringLiteral("Cannot flatten a page of a %1-bit picture.")
                                 .arg(source.BitCount())
                                 .toStdString());
  const QString problem = PageQuadProblem(quad, source.Width(), source.AbsHeight);
  if (!problem.isEmpty()) throw QuadError(problem);

  std::vector<const uint8_t*> rows(size_t(source.AbsHeight));
  for (int32_t y = 0; y < source.AbsHeight; ++y)
    rows[size_t(y)] = source.Scanlines[size_t(source.AbsHeight - 1 - y)];
  const TWarpJob job{rows.data(),
                     source.Width(),
                     source.AbsHeight,
                     &target,
                     PageHomography(quad, target.Width(), target.AbsHeight),
                     &CubicTable()};
  const int bpp = source.BitCount() / 8;
  // Sixteen taps per byte written: far more work per row than a copy.
  ForEachRowRange(target.AbsHeight, int64_t(target.Width()) * bpp * 16,
                  [&](int32_t begin, int32_t end) {
                    if (bpp == 3)
                      WarpRows<3>(job, begin, end);
                    else
                      WarpRows<1>(job, begin, end);
                  });
}
