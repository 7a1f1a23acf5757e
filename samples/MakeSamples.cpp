// Makes the sample photos of document pages: each page is typeset with QPainter and then
// "photographed" in software, so that the photocopy filter meets what a real camera gives it:
// a page seen at a slight angle on a desk, light falling off towards one corner, a paper tint,
// sensor noise and JPEG compression at camera quality. Some photos are taken with the camera
// held sideways, wider than high, as people do with book pages.
//   tavrolin_make_samples OUTDIR
// Everything is drawn from fixed seeds, so a run gives the same photos again on the same fonts.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QString>
#include <QStringList>

#include "Codecs.h"
#include "FastDIB.h"

namespace {

// --- Typesetting the pages (A4 at 150 dots per inch) ---

constexpr int kPageWidth = 1240;
constexpr int kPageHeight = 1754;
constexpr int kMargin = 130;

// Lays `text` out as justified-left paragraphs inside `box` and returns the y below it.
int DrawParagraphs(QPainter& p, const QRect& box, const QStringList& paragraphs, int gap) {
  int y = box.top();
  for (const QString& paragraph : paragraphs) {
    const QRect room(box.left(), y, box.width(), box.bottom() - y);
    const QRect used =
        p.boundingRect(room, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, paragraph);
    p.drawText(room, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, paragraph);
    y = used.bottom() + gap;
  }
  return y;
}

void DrawRunningHead(QPainter& p, const QString& left, int pageNumber) {
  QFont head(QStringLiteral("DejaVu Serif"));
  head.setPixelSize(22);
  head.setItalic(true);
  p.setFont(head);
  p.drawText(QRect(kMargin, 70, kPageWidth - 2 * kMargin, 40), Qt::AlignLeft, left);
  p.drawText(QRect(kMargin, 70, kPageWidth - 2 * kMargin, 40), Qt::AlignRight,
             QString::number(pageNumber));
  p.setPen(QPen(QColor(40, 40, 40), 2));
  p.drawLine(kMargin, 108, kPageWidth - kMargin, 108);
}

void DrawTextPage(QPainter& p) {
  DrawRunningHead(p, QStringLiteral("The Mill at Harrow Ford"), 37);
  p.setPen(QColor(20, 20, 20));
  QFont title(QStringLiteral("DejaVu Serif"));
  title.setPixelSize(46);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(kMargin, 160, kPageWidth - 2 * kMargin, 70), Qt::AlignLeft,
             QStringLiteral("3. Keeping the Ledger"));
  QFont body(QStringLiteral("DejaVu Serif"));
  body.setPixelSize(27);
  p.setFont(body);
  const QStringList text = {
      QStringLiteral("Every miller on the river kept a ledger, and most of them kept it badly. "
                     "Grain came in by the cartload and went out by the sack, and somewhere "
                     "between the two a tenth part vanished into dust, damp and the miller's "
                     "own pocket. The ledger was meant to account for all three."),
      QStringLiteral("The book at Harrow Ford survives complete from the spring of its first "
                     "year. Each page is ruled by hand into seven columns: the day, the name of "
                     "the farmer, the weight brought, the weight returned, the toll taken, the "
                     "height of the water at the weir and a last, narrow column headed simply "
                     "\"remarks\". It is the last column that makes the book worth reading."),
      QStringLiteral("On the fourth of April the remarks say only \"wheel stopped, ice\". A "
                     "week later: \"Tom Ashby paid in eggs, three dozen\". In May the water "
                     "fell so low that the mill stood idle for nine days, and the miller filled "
                     "the column with the names of the men he had sent away."),
      QStringLiteral("Reading the ledger now, one sees a small business balanced on the height "
                     "of a river. A wet month meant flour for the whole valley; a dry one meant "
                     "debts written in a careful hand and crossed out, months later, in a "
                     "hurried one."),
      QStringLiteral("The figures themselves are less reliable than the remarks. Weights were "
                     "taken on a beam scale that the miller repaired twice in the first year, "
                     "and the second repair changed every reading by nearly two pounds."),
  };
  DrawParagraphs(p, QRect(kMargin, 260, kPageWidth - 2 * kMargin, kPageHeight - 260 - kMargin),
                 text, 22);
}

void DrawTablePage(QPainter& p) {
  DrawRunningHead(p, QStringLiteral("Appendix B: Water and Toll"), 112);
  p.setPen(QColor(20, 20, 20));
  QFont caption(QStringLiteral("DejaVu Serif"));
  caption.setPixelSize(30);
  caption.setBold(true);
  p.setFont(caption);
  p.drawText(QRect(kMargin, 160, kPageWidth - 2 * kMargin, 50), Qt::AlignLeft,
             QStringLiteral("Table 4. Water at the weir and toll taken, spring"));

  const QStringList heads = {QStringLiteral("Week"),      QStringLiteral("Water (in)"),
                             QStringLiteral("Carts"),     QStringLiteral("Brought (lb)"),
                             QStringLiteral("Toll (lb)"), QStringLiteral("Idle days")};
  const int rows = 16;
  const int left = kMargin, top = 240, width = kPageWidth - 2 * kMargin, rowHeight = 62;
  const int colWidth = width / static_cast<int>(heads.size());
  QFont cell(QStringLiteral("DejaVu Sans"));
  cell.setPixelSize(23);
  QFont headFont = cell;
  headFont.setBold(true);

  p.fillRect(QRect(left, top, width, rowHeight), QColor(215, 215, 215));
  p.setFont(headFont);
  for (qsizetype c = 0; c < heads.size(); ++c) {
    p.drawText(QRect(left + static_cast<int>(c) * colWidth, top, colWidth, rowHeight),
               Qt::AlignCenter, heads[c]);
  }
  p.setFont(cell);
  uint32_t state = 1234567;
  const auto next = [&state](int range) {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) % static_cast<uint32_t>(range));
  };
  for (int r = 0; r < rows; ++r) {
    const int y = top + (r + 1) * rowHeight;
    if (r % 2 == 1) p.fillRect(QRect(left, y, width, rowHeight), QColor(242, 242, 242));
    const int water = 30 - r + next(7);
    const int carts = std::max(0, water / 2 - 4 + next(5));
    const int brought = carts * (620 + next(90));
    const int idle = water < 22 ? 1 + next(3) : 0;
    const QStringList values = {QString::number(r + 1),        QString::number(water),
                                QString::number(carts),        QString::number(brought),
                                QString::number(brought / 16), QString::number(idle)};
    for (qsizetype c = 0; c < values.size(); ++c) {
      p.drawText(QRect(left + static_cast<int>(c) * colWidth, y, colWidth - 24, rowHeight),
                 c == 0 ? Qt::AlignCenter : (Qt::AlignRight | Qt::AlignVCenter), values[c]);
    }
  }
  p.setPen(QPen(QColor(30, 30, 30), 2));
  const int bottom = top + (rows + 1) * rowHeight;
  for (int r = 0; r <= rows + 1; ++r) {
    p.setPen(QPen(QColor(30, 30, 30), r <= 1 || r == rows + 1 ? 3 : 1));
    p.drawLine(left, top + r * rowHeight, left + width, top + r * rowHeight);
  }
  p.setPen(QPen(QColor(30, 30, 30), 1));
  for (qsizetype c = 0; c <= heads.size(); ++c) {
    const int x = left + static_cast<int>(c) * colWidth;
    p.drawLine(x, top, x, bottom);
  }
  QFont note(QStringLiteral("DejaVu Serif"));
  note.setPixelSize(24);
  note.setItalic(true);
  p.setFont(note);
  p.setPen(QColor(20, 20, 20));
  DrawParagraphs(p, QRect(left, bottom + 30, width, kPageHeight - bottom - 30 - kMargin),
                 {QStringLiteral("Water is the height above the sill of the weir, read on "
                                 "Monday mornings. The toll is one sixteenth of the weight "
                                 "brought, as the ledger takes it; weeks 11 and 12 are the "
                                 "nine idle days of May.")},
                 12);
}

void DrawNotesPage(QPainter& p) {
  // Ruled notebook paper with a margin line, written on in a flowing hand.
  p.setPen(QPen(QColor(150, 180, 215), 2));
  for (int y = 200; y < kPageHeight - 60; y += 58) p.drawLine(0, y, kPageWidth, y);
  p.setPen(QPen(QColor(215, 120, 120), 2));
  p.drawLine(150, 0, 150, kPageHeight);

  QFont hand(QStringLiteral("Z003"));
  hand.setPixelSize(46);
  p.setFont(hand);
  p.setPen(QColor(25, 35, 90));
  const QStringList lines = {
      QStringLiteral("Visit to the archive - Thursday"),
      QStringLiteral(""),
      QStringLiteral("- ledger 1, spring: complete, 48 pages"),
      QStringLiteral("- ledger 2: water damage from p. 30 on"),
      QStringLiteral("- ask about the beam scale repairs"),
      QStringLiteral("   (two? three?)"),
      QStringLiteral(""),
      QStringLiteral("Photograph every page, two on a sheet,"),
      QStringLiteral("and print the copies in gray."),
      QStringLiteral(""),
      QStringLiteral("Weir height in May: below 20 in."),
      QStringLiteral("  -> nine idle days, check Table 4"),
      QStringLiteral(""),
      QStringLiteral("Next time: the mill owner's letters,"),
      QStringLiteral("box 7, and the map of the ford."),
  };
  int y = 200 - 12;
  for (const QString& line : lines) {
    p.drawText(QPoint(175, y), line);
    y += 58;
  }
}

QImage TypesetPage(const std::function<void(QPainter&)>& draw) {
  QImage page(kPageWidth, kPageHeight, QImage::Format_RGB888);
  page.fill(Qt::white);
  QPainter p(&page);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  draw(p);
  p.end();
  return page;
}

// --- The camera ---

// A projective map of the plane, from 3 x 3 coefficients with the last one 1.
struct THomography {
  std::array<double, 9> H{};

  QPointF Map(double x, double y) const {
    const double w = H[6] * x + H[7] * y + 1.0;
    return {(H[0] * x + H[1] * y + H[2]) / w, (H[3] * x + H[4] * y + H[5]) / w};
  }

  // The map taking each `from` point onto its `to` point.
  static THomography FromPoints(const std::array<QPointF, 4>& from,
                                const std::array<QPointF, 4>& to) {
    double m[8][9] = {};
    for (int i = 0; i < 4; ++i) {
      const double x = from[i].x(), y = from[i].y(), u = to[i].x(), v = to[i].y();
      const double r1[9] = {x, y, 1, 0, 0, 0, -u * x, -u * y, u};
      const double r2[9] = {0, 0, 0, x, y, 1, -v * x, -v * y, v};
      std::copy(r1, r1 + 9, m[2 * i]);
      std::copy(r2, r2 + 9, m[2 * i + 1]);
    }
    for (int c = 0; c < 8; ++c) {
      int pivot = c;
      for (int r = c + 1; r < 8; ++r) {
        if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
      }
      if (std::fabs(m[pivot][c]) < 1e-12) throw std::runtime_error("degenerate page corners");
      std::swap(m[c], m[pivot]);
      for (int r = 0; r < 8; ++r) {
        if (r == c) continue;
        const double f = m[r][c] / m[c][c];
        for (int k = c; k < 9; ++k) m[r][k] -= f * m[c][k];
      }
    }
    THomography h;
    for (int i = 0; i < 8; ++i) h.H[i] = m[i][8] / m[i][i];
    h.H[8] = 1.0;
    return h;
  }
};

// A small fast generator with a fixed seed, and a table of normally distributed values drawn
// from it once, which the noise reads in the pixel loop.
class TNoise {
 public:
  explicit TNoise(uint32_t seed) : State(seed ? seed : 1) {
    for (size_t i = 0; i < Table.size(); i += 2) {
      const double u1 = (Next() + 1.0) / 4294967297.0;
      const double u2 = (Next() + 1.0) / 4294967297.0;
      const double r = std::sqrt(-2.0 * std::log(u1));
      Table[i] = static_cast<float>(r * std::cos(6.283185307179586 * u2));
      Table[i + 1] = static_cast<float>(r * std::sin(6.283185307179586 * u2));
    }
  }

  uint32_t Next() {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State;
  }

  float Gaussian() { return Table[Next() & (Table.size() - 1)]; }

 private:
  uint32_t State;
  std::array<float, 65536> Table{};
};

struct TShot {
  QString FileName;
  int Width = 0, Height = 0;  // the photo
  // Where the page's corners land, as fractions of the photo: top-left, top-right,
  // bottom-right, bottom-left of the page. A camera held sideways puts the page's top-left
  // corner at the photo's bottom left.
  std::array<QPointF, 4> Corners;
  QPointF Light;            // the brightest point, as fractions of the photo
  double Falloff = 0.3;     // how much darker the far corner is
  double NoiseSigma = 2.0;  // sensor noise, in levels of 255
  int Quality = 88;
  uint32_t Seed = 1;
  double Tint[3] = {0.96, 0.93, 0.86};  // the paper's colour (red, green, blue)
};

uint8_t ClampByte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

// Renders the photo of `page` into `photo` (24 bits, the shot's size).
void Photograph(const QImage& page, const TShot& shot, TFastDIB& photo) {
  const int w = shot.Width, h = shot.Height;
  std::array<QPointF, 4> corners;
  for (int i = 0; i < 4; ++i)
    corners[i] = QPointF(shot.Corners[i].x() * w, shot.Corners[i].y() * h);
  const std::array<QPointF, 4> pageCorners = {QPointF(0, 0), QPointF(kPageWidth, 0),
                                              QPointF(kPageWidth, kPageHeight),
                                              QPointF(0, kPageHeight)};
  const THomography toPage = THomography::FromPoints(corners, pageCorners);
  TNoise noise(shot.Seed);

  const double lightX = shot.Light.x() * w, lightY = shot.Light.y() * h;
  const double reach = std::hypot(std::max(lightX, w - lightX), std::max(lightY, h - lightY));
  const uint8_t* pageBits = page.constBits();
  const qsizetype pageStride = page.bytesPerLine();
  const double shadow = 14.0;  // the page's soft shadow on the desk, in page pixels

  for (int y = 0; y < h; ++y) {
    // Rows are stored bottom-up: picture row y is memory row h - 1 - y.
    uint8_t* out = photo.Scanlines[static_cast<size_t>(h - 1 - y)];
    for (int x = 0; x < w; ++x, out += 3) {
      const QPointF uv = toPage.Map(x + 0.5, y + 0.5);
      const double u = uv.x() - 0.5, v = uv.y() - 0.5;
      double rgb[3];
      if (u >= 0 && v >= 0 && u < kPageWidth - 1 && v < kPageHeight - 1) {
        const int u0 = static_cast<int>(u), v0 = static_cast<int>(v);
        const double fu = u - u0, fv = v - v0;
        const uint8_t* a = pageBits + v0 * pageStride + u0 * 3;
        const uint8_t* b = a + pageStride;
        for (int c = 0; c < 3; ++c) {
          const double top = a[c] + (a[c + 3] - a[c]) * fu;
          const double bottom = b[c] + (b[c + 3] - b[c]) * fu;
          // Ink is never quite black on a photo, and the paper is never white.
          rgb[c] = (14.0 + (top + (bottom - top) * fv) * (236.0 / 255.0)) * shot.Tint[c];
        }
      } else {
        // A wooden desk: a warm brown with slow stripes of grain.
        const double grain = 0.5 + 0.25 * std::sin(x * 0.021 + std::sin(y * 0.0031) * 3.0) +
                             0.25 * std::sin(x * 0.0067 + y * 0.0009);
        rgb[0] = 122 + 22 * grain;
        rgb[1] = 88 + 16 * grain;
        rgb[2] = 60 + 10 * grain;
        // Darker just below and right of the page (the light comes from above left).
        const double du = u < 0 ? -u : (u >= kPageWidth ? u - kPageWidth + 1 : 0);
        const double dv = v < 0 ? -v : (v >= kPageHeight ? v - kPageHeight + 1 : 0);
        const double d = std::hypot(du, dv);
        if (d < shadow) {
          const double k = 1.0 - 0.45 * (1.0 - d / shadow);
          for (double& c : rgb) c *= k;
        }
      }
      const double dist = std::hypot(x - lightX, y - lightY) / reach;
      const double light = 1.0 - shot.Falloff * dist * dist;
      const double grain = noise.Gaussian() * shot.NoiseSigma;
      out[2] = ClampByte(rgb[0] * light + grain + noise.Gaussian() * shot.NoiseSigma * 0.5);
      out[1] = ClampByte(rgb[1] * light + grain + noise.Gaussian() * shot.NoiseSigma * 0.5);
      out[0] = ClampByte(rgb[2] * light + grain + noise.Gaussian() * shot.NoiseSigma * 0.5);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: tavrolin_make_samples OUTDIR\n");
    return 2;
  }
  const QDir out(args[1]);
  if (!QDir().mkpath(out.path())) {
    std::fprintf(stderr, "tavrolin_make_samples: cannot create %s\n", qPrintable(out.path()));
    return 1;
  }

  struct TSample {
    std::function<void(QPainter&)> Draw;
    TShot Shot;
  };
  std::vector<TSample> samples;
  {
    TShot s;
    s.FileName = QStringLiteral("page-1.jpg");
    s.Width = 1536;
    s.Height = 2048;
    s.Corners = {QPointF(0.115, 0.075), QPointF(0.895, 0.085), QPointF(0.925, 0.94),
                 QPointF(0.085, 0.925)};
    s.Light = QPointF(0.1, 0.0);
    s.Falloff = 0.32;
    s.Seed = 11;
    samples.push_back({DrawTextPage, s});
  }
  {
    TShot s;
    s.FileName = QStringLiteral("page-2.jpg");
    s.Width = 2048;
    s.Height = 1536;
    // Sideways: the page's top edge runs down the photo's left side.
    s.Corners = {QPointF(0.085, 0.93), QPointF(0.07, 0.08), QPointF(0.93, 0.105),
                 QPointF(0.915, 0.915)};
    s.Light = QPointF(0.0, 1.0);
    s.Falloff = 0.36;
    s.Seed = 22;
    s.Tint[0] = 0.97;
    s.Tint[1] = 0.95;
    s.Tint[2] = 0.9;
    samples.push_back({DrawTablePage, s});
  }
  {
    TShot s;
    s.FileName = QStringLiteral("page-3.jpg");
    s.Width = 1536;
    s.Height = 2048;
    s.Corners = {QPointF(0.09, 0.06), QPointF(0.92, 0.075), QPointF(0.9, 0.95),
                 QPointF(0.075, 0.935)};
    s.Light = QPointF(1.0, 0.05);
    s.Falloff = 0.4;
    s.Seed = 33;
    s.Tint[0] = 0.98;
    s.Tint[1] = 0.96;
    s.Tint[2] = 0.88;
    samples.push_back({DrawNotesPage, s});
  }

  try {
    for (const TSample& sample : samples) {
      const QImage page = TypesetPage(sample.Draw);
      TFastDIB photo(sample.Shot.Width, 24, sample.Shot.Height);
      Photograph(page, sample.Shot, photo);
      const QString path = out.filePath(sample.Shot.FileName);
      SaveJpegFile(photo, path, sample.Shot.Quality);
      std::printf("%s\n", qPrintable(path));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrolin_make_samples: %s\n", e.what());
    return 1;
  }
  return 0;
}
