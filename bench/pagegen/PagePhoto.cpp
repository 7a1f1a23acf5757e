// The photo of a page: the camera's homography, the desk, the light, the sensor noise and the
// JPEG. Each photo pixel averages 3 x 3 points, each mapped back onto the desk's plane, so the
// page's edges are where the homography puts the corners and nowhere else.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

#include "Codecs.h"
#include "PageGenInternal.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int Supersampling = 3;

double Radians(double degrees) { return degrees * Pi / 180.0; }

// --- The camera -----------------------------------------------------------------------------

struct THomography {
  double M[9];

  QPointF Map(double x, double y) const {
    const double w = M[6] * x + M[7] * y + M[8];
    return {(M[0] * x + M[1] * y + M[2]) / w, (M[3] * x + M[4] * y + M[5]) / w};
  }
  THomography Inverse() const {
    const double* m = M;
    const double a = m[4] * m[8] - m[5] * m[7], b = m[5] * m[6] - m[3] * m[8],
                 c = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * a + m[1] * b + m[2] * c;
    return {{a / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det, b / det,
             (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det, c / det,
             (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det}};
  }
};

THomography operator*(const THomography& a, const THomography& b) {
  THomography r{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) r.M[3 * i + j] += a.M[3 * i + k] * b.M[3 * k + j];
  return r;
}

// The page's millimetres (origin at its top-left, y down its own page) to the desk's plane:
// centred, turned by the quarter turns of Top and the plan's rotation (clockwise on the photo).
THomography PageToDesk(const TPhotoPlan& plan, TPageSize size) {
  const double angle = Radians(90.0 * static_cast<int>(plan.Top) + plan.RotationDeg);
  const double c = std::cos(angle), s = std::sin(angle);
  const double cx = 0.5 * size.Width, cy = 0.5 * size.Height;
  return {{c, -s, -(c * cx - s * cy), s, c, -(s * cx + c * cy), 0, 0, 1}};
}

// The desk's plane seen by a pinhole camera tilted by pitch (about the photo's x axis) and yaw
// (about its y axis) at `distance` millimetres, focal length 1, principal point at 0.
THomography DeskToCamera(const TPhotoPlan& plan, double distance) {
  const double p = Radians(plan.PitchDeg), y = Radians(plan.YawDeg);
  const double cp = std::cos(p), sp = std::sin(p), cy = std::cos(y), sy = std::sin(y);
  // Columns 1 and 2 of Ry * Rx, and the camera's distance as the translation.
  return {{cy, sy * sp, 0, 0, cp, 0, -sy, cy * sp, distance}};
}

struct TBox {
  double Left, Top, Right, Bottom;
};

TBox Bounds(const std::array<QPointF, 4>& corners) {
  TBox box{corners[0].x(), corners[0].y(), corners[0].x(), corners[0].y()};
  for (const QPointF& p : corners) {
    box.Left = std::min(box.Left, p.x());
    box.Right = std::max(box.Right, p.x());
    box.Top = std::min(box.Top, p.y());
    box.Bottom = std::max(box.Bottom, p.y());
  }
  return box;
}

std::array<QPointF, 4> MapCorners(const THomography& h, TPageSize size) {
  return {h.Map(0, 0), h.Map(size.Width, 0), h.Map(size.Width, size.Height), h.Map(0, size.Height)};
}

// Page millimetres to photo pixels: the camera at 1.5 page lengths, then a focal length that
// makes the page's bounding box the plan's fill of the photo, then a shift to a random place
// where the whole page stays in the photo.
THomography PageToPhoto(const TPhotoPlan& plan, TPageSize size, int width, int height,
                        TRandom& random) {
  const THomography camera = DeskToCamera(plan, 1.5 * size.Height) * PageToDesk(plan, size);
  const TBox unit = Bounds(MapCorners(camera, size));
  const double focal =
      plan.Fill / std::max((unit.Right - unit.Left) / width, (unit.Bottom - unit.Top) / height);
  const THomography scaled = THomography{{focal, 0, 0, 0, focal, 0, 0, 0, 1}} * camera;
  const TBox box = Bounds(MapCorners(scaled, size));
  const double margin = 0.01 * std::min(width, height);
  auto shift = [&random, margin](double low, double high, double extent) {
    const double from = margin - low, to = extent - margin - high;
    return from < to ? random.Uniform(from, to) : 0.5 * (extent - low - high);
  };
  const double dx = shift(box.Left, box.Right, width), dy = shift(box.Top, box.Bottom, height);
  return THomography{{1, 0, dx, 0, 1, dy, 0, 0, 1}} * scaled;
}

// --- The desk -------------------------------------------------------------------------------

struct TRgb {
  double R, G, B;
};
TRgb operator*(TRgb c, double f) { return {c.R * f, c.G * f, c.B * f}; }
TRgb operator+(TRgb a, TRgb b) { return {a.R + b.R, a.G + b.G, a.B + b.B}; }
TRgb operator*(TRgb a, TRgb b) { return {a.R * b.R, a.G * b.G, a.B * b.B}; }
TRgb Mix(TRgb a, TRgb b, double t) { return a * (1.0 - t) + b * t; }

double Lattice(int64_t x, int64_t y, uint64_t seed) {
  TRandom r(seed ^ (static_cast<uint64_t>(x) * 0x9E3779B1ull) ^ (static_cast<uint64_t>(y) << 32));
  return r.Uniform();
}

// Smooth noise in 0..1 with features about one unit apart.
double ValueNoise(double x, double y, uint64_t seed) {
  const double fx = std::floor(x), fy = std::floor(y);
  const int64_t ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy);
  const double tx = x - fx, ty = y - fy;
  const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
  const double top = Lattice(ix, iy, seed) * (1 - sx) + Lattice(ix + 1, iy, seed) * sx;
  const double bottom = Lattice(ix, iy + 1, seed) * (1 - sx) + Lattice(ix + 1, iy + 1, seed) * sx;
  return top * (1 - sy) + bottom * sy;
}

struct TDeskLook {
  TDesk Kind;
  double Cos, Sin;  // the pattern's direction on the desk
  uint64_t Seed;
};

// Planks along x; in each, dark late-wood rings bent by two scales of noise, fibres along the
// grain and a shade of its own.
TRgb Wood(double x, double y, uint64_t seed) {
  const double plank = std::floor(y / 140.0);
  const double inPlank = y - plank * 140.0;
  if (inPlank < 0.7) return {70, 45, 28};
  const double t = y + 28.0 * ValueNoise(x / 220.0, y / 70.0, seed) +
                   5.0 * ValueNoise(x / 45.0, y / 9.0, seed + 2) + 37.0 * plank;
  const double wave = 0.5 + 0.5 * std::cos(2 * Pi * t / 6.5);
  const double ring = wave * wave * wave;
  const double fibre = ValueNoise(x / 14.0, y / 0.35, seed + 1);
  const double patch = ValueNoise(x / 90.0, y / 25.0, seed + 3);
  const double shade = 0.9 + 0.2 * Lattice(static_cast<int64_t>(plank), 7, seed);
  return Mix(TRgb{182, 128, 80}, TRgb{122, 78, 44}, 0.45 * ring + 0.3 * fibre + 0.25 * patch) *
         shade;
}

// Gingham: crossing bands of 22 mm, a pale, a middle and a dark tone, with a fine weave.
TRgb Checks(double x, double y, uint64_t seed) {
  const int bands = (static_cast<int64_t>(std::floor(x / 22.0)) & 1) +
                    (static_cast<int64_t>(std::floor(y / 22.0)) & 1);
  static const TRgb tones[] = {{206, 210, 218}, {125, 138, 172}, {52, 62, 104}};
  return tones[bands] * (0.95 + 0.1 * ValueNoise(x / 0.8, y / 0.8, seed));
}

TRgb Plain(TRgb base, double x, double y, uint64_t seed, double coarse, double fine) {
  const double n = coarse * (ValueNoise(x / 70.0, y / 70.0, seed) - 0.5) +
                   fine * (ValueNoise(x / 1.2, y / 1.2, seed + 1) - 0.5);
  return base * (1.0 + n);
}

TRgb DeskColour(const TDeskLook& desk, double u, double v) {
  const double x = desk.Cos * u - desk.Sin * v, y = desk.Sin * u + desk.Cos * v;
  switch (desk.Kind) {
    case TDesk::Dark:
      return Plain({46, 42, 41}, x, y, desk.Seed, 0.3, 0.16);
    case TDesk::Wood:
      return Wood(x, y, desk.Seed);
    case TDesk::Checks:
      return Checks(x, y, desk.Seed);
    case TDesk::Pale:
      return Plain({199, 193, 183}, x, y, desk.Seed, 0.08, 0.04);
    case TDesk::OffWhite:
      return Plain({228, 223, 211}, x, y, desk.Seed, 0.04, 0.03);
  }
  return {0, 0, 0};
}

// --- The scene ------------------------------------------------------------------------------

class TScene {
 public:
  TScene(const QImage& page, TPageSize size, const TDeskLook& desk)
      : Page(page), Size(size), Desk(desk), PxPerMm(page.height() / size.Height) {}

  // The colour at page millimetres (u, v): the page, or the desk with the page's faint contact
  // shadow around it.
  TRgb At(double u, double v) const {
    if (u >= 0 && u < Size.Width && v >= 0 && v < Size.Height)
      return PageAt(u * PxPerMm - 0.5, v * PxPerMm - 0.5);
    const double dx = std::max({0.0, -u, u - Size.Width}),
                 dy = std::max({0.0, -v, v - Size.Height});
    return DeskColour(Desk, u, v) * (1.0 - 0.16 * std::exp(-std::hypot(dx, dy) / 1.2));
  }

 private:
  TRgb Texel(int x, int y) const {
    x = std::clamp(x, 0, Page.width() - 1);
    y = std::clamp(y, 0, Page.height() - 1);
    const uint8_t* p = Page.constScanLine(y) + 4 * x;  // RGB32 holds blue, green, red, unused
    return {static_cast<double>(p[2]), static_cast<double>(p[1]), static_cast<double>(p[0])};
  }
  TRgb PageAt(double x, double y) const {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double tx = x - fx, ty = y - fy;
    return Mix(Mix(Texel(ix, iy), Texel(ix + 1, iy), tx),
               Mix(Texel(ix, iy + 1), Texel(ix + 1, iy + 1), tx), ty);
  }

  const QImage& Page;
  const TPageSize Size;
  const TDeskLook Desk;
  const double PxPerMm;
};

// --- The light ------------------------------------------------------------------------------

class TLighting {
 public:
  TLighting(const TPhotoPlan& plan, const std::array<QPointF, 4>& corners, int width, int height,
            TRandom& random)
      : Plan(plan), Diagonal(std::hypot(width, height)) {
    Exposure = random.Uniform(0.88, 0.97);
    Gain = {1.0 + random.Uniform(-0.03, 0.04), 1.0, 1.0 + random.Uniform(-0.04, 0.03)};
    SpotX = width * random.Uniform(0.3, 0.7);
    SpotY = height * random.Uniform(0.3, 0.7);
    Strength = plan.Light == TLight::Uneven ? random.Uniform(0.25, 0.4) : random.Uniform(0.35, 0.5);
    const double side = random.Uniform(0, 2 * Pi);
    SideX = std::cos(side);
    SideY = std::sin(side);
    // The shadow's edge passes through a point of the page, so it always crosses it.
    const double a = random.Uniform(0.3, 0.7), b = random.Uniform(0.3, 0.7);
    const QPointF top = corners[0] * (1 - a) + corners[1] * a,
                  bottom = corners[3] * (1 - a) + corners[2] * a;
    const QPointF through = top * (1 - b) + bottom * b;
    const double edge = random.Uniform(0, 2 * Pi);
    ShadowNX = std::cos(edge);
    ShadowNY = std::sin(edge);
    ShadowOffset = -(ShadowNX * through.x() + ShadowNY * through.y());
    ShadowDepth = random.Uniform(0.25, 0.4);
    ShadowSoftness = random.Uniform(0.015, 0.04) * Diagonal;
  }

  // The factor of each channel at photo point (x, y).
  TRgb At(double x, double y) const {
    double light = Exposure;
    const double r = std::hypot(x - SpotX, y - SpotY) / Diagonal;
    switch (Plan.Light) {
      case TLight::Even:
        light *= 0.97;
        break;
      case TLight::Falloff:
        light *= 1.04 - Strength * 2.2 * r * r;
        break;
      case TLight::Uneven: {
        const double t = 0.5 + ((x - SpotX) * SideX + (y - SpotY) * SideY) / Diagonal;
        light *= (1.06 - Strength * t) * (1.0 - 0.25 * r * r);
        break;
      }
    }
    if (Plan.Shadow) {
      const double s = (ShadowNX * x + ShadowNY * y + ShadowOffset) / ShadowSoftness;
      const double t = std::clamp(0.5 + 0.5 * s, 0.0, 1.0);
      light *= 1.0 - ShadowDepth * t * t * (3 - 2 * t);
    }
    return Gain * light;
  }

 private:
  const TPhotoPlan& Plan;
  const double Diagonal;
  double Exposure, SpotX, SpotY, Strength, SideX, SideY;
  TRgb Gain;
  double ShadowNX, ShadowNY, ShadowOffset, ShadowDepth, ShadowSoftness;
};

uint8_t Level(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0l, 255l)); }

// The sensor: noise partly shared by the channels (brightness grain), stronger in the light.
TRgb Sensor(TRgb c, double sigma, TRandom& random) {
  const double shared = random.Gauss();
  auto channel = [&](double v) {
    return v + sigma * (0.55 + 0.45 * v / 255.0) * (0.6 * shared + 0.8 * random.Gauss());
  };
  return {channel(c.R), channel(c.G), channel(c.B)};
}

std::unique_ptr<TFastDIB> Photograph(const TScene& scene, const THomography& photoToPage,
                                     const TLighting& light, const TPhotoPlan& plan, int width,
                                     int height, double noiseScale, TRandom& noise) {
  auto photo = std::make_unique<TFastDIB>(width, 24, height);
  constexpr double step = 1.0 / Supersampling;
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<BgrPixel*>(photo->Scanlines[height - 1 - y]);  // bottom-up rows
    for (int x = 0; x < width; ++x) {
      TRgb sum{0, 0, 0};
      for (int sy = 0; sy < Supersampling; ++sy)
        for (int sx = 0; sx < Supersampling; ++sx) {
          const QPointF p = photoToPage.Map(x + (sx + 0.5) * step, y + (sy + 0.5) * step);
          sum = sum + scene.At(p.x(), p.y());
        }
      const TRgb lit =
          Sensor(sum * (step * step) * light.At(x + 0.5, y + 0.5), plan.Noise * noiseScale, noise);
      row[x] = {Level(lit.B), Level(lit.G), Level(lit.R)};
    }
  }
  return photo;
}

// Independent streams per part of the photo, so a change to how one part draws its numbers
// leaves the others' choices as they were.
uint64_t Seed(int index, int part) {
  return 0x7A5D0000ull + 0x1000003ull * static_cast<uint64_t>(index) + part;
}

}  // namespace

TPagePhoto GeneratePagePhoto(int index, int longSide) {
  if (index < 0) throw std::invalid_argument("GeneratePagePhoto: negative index");
  if (longSide < 64) throw std::invalid_argument("GeneratePagePhoto: photo smaller than 64 pixels");
  TPagePhoto result;
  result.Plan = PagePlan(index);
  const TPhotoPlan& plan = result.Plan;
  const int shortSide = (longSide * 3 + 2) / 4;
  const int width = plan.PortraitPhoto ? shortSide : longSide;
  const int height = plan.PortraitPhoto ? longSide : shortSide;
  const TPageSize size = PaperSize(plan.Paper);
  result.Aspect = PaperAspect(plan.Paper);

  TRandom pageRandom(Seed(index, 1)), cameraRandom(Seed(index, 2)), lightRandom(Seed(index, 3)),
      noiseRandom(Seed(index, 4));
  // Enough page pixels that no photo pixel spans more than one of them, even at 95% and tilted.
  const QImage page = RenderPage(plan, static_cast<int>(1.3 * longSide), pageRandom);
  const THomography toPhoto = PageToPhoto(plan, size, width, height, cameraRandom);
  result.Corners = MapCorners(toPhoto, size);
  const double deskAngle = cameraRandom.Uniform(0, 2 * Pi);
  const TScene scene(
      page, size, TDeskLook{plan.Desk, std::cos(deskAngle), std::sin(deskAngle), Seed(index, 5)});
  const TLighting light(plan, result.Corners, width, height, lightRandom);
  // Noise is per pixel of a 1600-pixel photo; a smaller photo averages it as a downscale would.
  const double noiseScale = std::min(1.0, longSide / 1600.0);
  const auto raw =
      Photograph(scene, toPhoto.Inverse(), light, plan, width, height, noiseScale, noiseRandom);
  result.Jpeg = EncodeJpeg(*raw, plan.Quality);
  result.Photo = DecodeJpegData(result.Jpeg, QStringLiteral("page-%1.jpg").arg(index));
  return result;
}

void WritePageSet(const QString& folder, int count, int longSide) {
  if (!QDir().mkpath(folder))
    throw std::runtime_error("Cannot create the folder " + folder.toStdString());
  QJsonArray truth;
  for (int i = 0; i < count; ++i) {
    const TPagePhoto photo = GeneratePagePhoto(i, longSide);
    const QString file = QStringLiteral("page-%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
    WriteFileSafely(folder + QLatin1Char('/') + file, photo.Jpeg);
    QJsonArray corners;
    for (const QPointF& p : photo.Corners) corners.append(QJsonArray{p.x(), p.y()});
    truth.append(QJsonObject{{"file", file},
                             {"index", i},
                             {"width", photo.Photo->Width()},
                             {"height", photo.Photo->AbsHeight},
                             {"corners", corners},
                             {"aspect", photo.Aspect},
                             {"conditions", PlanConditions(photo.Plan)}});
  }
  WriteFileSafely(folder + QStringLiteral("/truth.json"),
                  QJsonDocument(truth).toJson(QJsonDocument::Indented));
}
