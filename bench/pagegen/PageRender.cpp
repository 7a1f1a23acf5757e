// The upright page: paper and text-like marks drawn with QPainter in millimetres. The marks are
// boxes shaped like letters rather than glyphs of a font, so the pages do not change with the
// fonts a machine happens to have.
#include <algorithm>

#include <QPainter>

#include "PageGenInternal.h"

namespace {

const QColor Ink(38, 36, 40);

QColor PaperColour(TPaperTone tone) {
  return tone == TPaperTone::White ? QColor(247, 246, 242) : QColor(238, 231, 214);
}

struct TTextBox {
  double Left, Top, Right, Bottom;  // mm
};

class TPagePainter {
 public:
  TPagePainter(QPainter& painter, const TPhotoPlan& plan, TRandom& random, TTextBox box)
      : Painter(painter), Plan(plan), Random(random), Box(box), Y(box.Top) {}

  void Fill() {
    Heading(3.2);
    Y += 3.0;
    bool tableDone = !Plan.Table;
    while (Y < Box.Bottom - 6.0) {
      if (!tableDone && Y > Box.Top + 0.3 * (Box.Bottom - Box.Top)) {
        tableDone = Table();
        continue;
      }
      if (Random.Chance(0.2)) {
        Y += 2.0;
        Heading(2.2);
      }
      Paragraph(1.6, 4.8);
      Y += 2.4;
    }
  }

  // A short line of small marks centred at height y: a book's running head or page number.
  void CentredLine(double y, double width) {
    const double centre = 0.5 * (Box.Left + Box.Right);
    Line(centre - 0.5 * width, y, centre + 0.5 * width, 1.2, false);
  }

 private:
  void Heading(double xHeight) {
    Y += 1.6 * xHeight;
    const double width = (Box.Right - Box.Left) * Random.Uniform(0.35, 0.75);
    Line(Box.Left, Y, Box.Left + width, xHeight, true);
    Y += 0.9 * xHeight;
  }

  void Paragraph(double xHeight, double leading) {
    const int lines = 2 + Random.Below(7);
    for (int i = 0; i < lines && Y + leading < Box.Bottom; ++i) {
      Y += leading;
      const double indent = (i == 0 && Plan.Paper == TPaper::Book) ? 5.0 : 0.0;
      const double end =
          i + 1 == lines ? Box.Left + (Box.Right - Box.Left) * Random.Uniform(0.2, 0.9) : Box.Right;
      Line(Box.Left + indent, Y, end, xHeight, false);
    }
  }

  // Words from `left` to `right` on the baseline y; the last word is cut to end at `right`.
  void Line(double left, double y, double right, double xHeight, bool bold) {
    const double space = xHeight * (bold ? 1.0 : 0.9);
    for (double x = left; x < right - xHeight;) {
      const double length = std::min(xHeight * Random.Uniform(1.5, 7.0), right - x);
      Word(x, y, length, xHeight, bold);
      x += length + space;
    }
  }

  // Letters as boxes: a body of x-height, some with an ascender or descender stem, some with a
  // paper-coloured counter, so a line reads as text at a camera's resolution.
  void Word(double left, double baseline, double length, double xHeight, bool bold) {
    Painter.setBrush(Ink);
    const double gap = xHeight * (bold ? 0.14 : 0.2);
    for (double x = left; x < left + length;) {
      const double w =
          std::min(xHeight * Random.Uniform(0.45, 0.75) * (bold ? 1.25 : 1.0), left + length - x);
      Letter(x, baseline, w, xHeight, bold);
      x += w + gap;
    }
  }

  void Letter(double x, double baseline, double w, double xHeight, bool bold) {
    Painter.drawRect(QRectF(x, baseline - xHeight, w, xHeight));
    const double kind = Random.Uniform();
    const double stem = w * (bold ? 0.45 : 0.32);
    if (kind < 0.25)
      Painter.drawRect(QRectF(x, baseline - 1.55 * xHeight, stem, 0.6 * xHeight));
    else if (kind < 0.35)
      Painter.drawRect(QRectF(x, baseline, stem, 0.5 * xHeight));
    if (!bold && Random.Chance(0.55)) {
      Painter.setBrush(PaperColour(Plan.Tone));
      Painter.drawRect(QRectF(x + 0.3 * w, baseline - 0.72 * xHeight, 0.4 * w, 0.44 * xHeight));
      Painter.setBrush(Ink);
    }
  }

  // A ruled table across the text's width; false when it does not fit below Y.
  bool Table() {
    const int rows = 4 + Random.Below(5), columns = 3 + Random.Below(3);
    const double rowHeight = 7.0, top = Y + 4.0;
    const double width = Box.Right - Box.Left, cell = width / columns;
    if (top + rows * rowHeight > Box.Bottom) {
      Y = Box.Bottom;
      return true;
    }
    Painter.setBrush(Ink);
    for (int r = 0; r <= rows; ++r)
      Painter.drawRect(QRectF(Box.Left, top + r * rowHeight - 0.15, width, r == 1 ? 0.45 : 0.3));
    for (int c = 0; c <= columns; ++c)
      Painter.drawRect(QRectF(Box.Left + c * cell - 0.15, top, 0.3, rows * rowHeight));
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c) {
        const double length = cell * Random.Uniform(0.25, 0.75);
        Word(Box.Left + c * cell + 1.5, top + (r + 1) * rowHeight - 2.2, length, 1.6, r == 0);
      }
    Y = top + rows * rowHeight + 2.0;
    return true;
  }

  QPainter& Painter;
  const TPhotoPlan& Plan;
  TRandom& Random;
  const TTextBox Box;
  double Y;
};

TTextBox TextBox(const TPhotoPlan& plan, TPageSize size, TRandom& random) {
  if (plan.EdgeText) {
    const double m = random.Uniform(2.0, 4.0);
    return {m, m, size.Width - m, size.Height - m};
  }
  if (plan.Paper == TPaper::Book) {
    const double inner = random.Uniform(14.0, 18.0), outer = random.Uniform(18.0, 22.0);
    const bool recto = random.Chance(0.5);
    return {recto ? inner : outer, 20.0, size.Width - (recto ? outer : inner), size.Height - 22.0};
  }
  const double side = random.Uniform(18.0, 26.0);
  return {side, random.Uniform(18.0, 28.0), size.Width - side,
          size.Height - random.Uniform(20.0, 30.0)};
}

}  // namespace

QImage RenderPage(const TPhotoPlan& plan, int heightPx, TRandom& random) {
  const TPageSize size = PaperSize(plan.Paper);
  const double pxPerMm = heightPx / size.Height;
  QImage page(std::max(1, static_cast<int>(size.Width * pxPerMm + 0.5)), heightPx,
              QImage::Format_RGB32);
  page.fill(PaperColour(plan.Tone));
  QPainter painter(&page);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.scale(pxPerMm, pxPerMm);
  const TTextBox box = TextBox(plan, size, random);
  TPagePainter text(painter, plan, random, box);
  if (plan.Paper == TPaper::Book && !plan.EdgeText) {
    text.CentredLine(12.0, 40.0);
    text.CentredLine(size.Height - 10.0, 4.0);
  }
  text.Fill();
  return page;
}
