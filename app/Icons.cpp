#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace {

constexpr int kIconSize = 32;

const QColor kInk(0x33, 0x3b, 0x47);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kBlue(0x2f, 0x6f, 0xb7);
const QColor kGreen(0x2e, 0x8b, 0x3e);
const QColor kRed(0xc8, 0x32, 0x2b);
const QColor kAmber(0xe0, 0xa4, 0x2a);

QImage Canvas(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void Antialiased(QPainter& p) { p.setRenderHint(QPainter::Antialiasing); }

// A sheet of paper with a folded corner, in the 32 x 32 icon frame.
void DrawPage(QPainter& p, QRectF r = QRectF(7, 3, 18, 26)) {
  const qreal fold = 6;
  QPolygonF sheet;
  sheet << r.topLeft() << QPointF(r.right() - fold, r.top()) << QPointF(r.right(), r.top() + fold)
        << r.bottomRight() << r.bottomLeft();
  p.setPen(QPen(kInk, 1.4));
  p.setBrush(kPaper);
  p.drawPolygon(sheet);
  QPolygonF corner;
  corner << QPointF(r.right() - fold, r.top()) << QPointF(r.right() - fold, r.top() + fold)
         << QPointF(r.right(), r.top() + fold);
  p.setBrush(QColor(0xdd, 0xdd, 0xd8));
  p.drawPolygon(corner);
  p.setPen(QPen(QColor(0x9a, 0xa3, 0xae), 1.2));
  for (qreal y = r.top() + 11; y < r.bottom() - 3; y += 4) {
    p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
  }
}

// A round badge with a plus or a cross, lower right.
void DrawBadge(QPainter& p, const QColor& colour, bool cross) {
  const QPointF c(23, 23);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(c, 7.5, 7.5);
  p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
  if (cross) {
    p.drawLine(c + QPointF(-3.2, -3.2), c + QPointF(3.2, 3.2));
    p.drawLine(c + QPointF(-3.2, 3.2), c + QPointF(3.2, -3.2));
  } else {
    p.drawLine(c + QPointF(-4, 0), c + QPointF(4, 0));
    p.drawLine(c + QPointF(0, -4), c + QPointF(0, 4));
  }
}

void DrawArrow(QPainter& p, bool up) {
  QPolygonF arrow;
  arrow << QPointF(16, 4) << QPointF(27, 16) << QPointF(20, 16) << QPointF(20, 28)
        << QPointF(12, 28) << QPointF(12, 16) << QPointF(5, 16);
  if (!up) {
    for (QPointF& point : arrow) point.setY(32 - point.y());
  }
  p.setPen(QPen(kBlue.darker(130), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(kBlue);
  p.drawPolygon(arrow);
}

void DrawFolder(QPainter& p) {
  QPainterPath back;
  back.moveTo(3, 9);
  back.lineTo(12, 9);
  back.lineTo(15, 12);
  back.lineTo(28, 12);
  back.lineTo(28, 27);
  back.lineTo(3, 27);
  back.closeSubpath();
  p.setPen(QPen(kAmber.darker(150), 1.4));
  p.setBrush(kAmber.darker(110));
  p.drawPath(back);
  QPolygonF front;
  front << QPointF(3, 27) << QPointF(7, 15) << QPointF(31, 15) << QPointF(28, 27);
  p.setBrush(kAmber);
  p.drawPolygon(front);
}

void DrawDisk(QPainter& p) {
  p.setPen(QPen(kBlue.darker(160), 1.4));
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(4, 4, 24, 24), 3, 3);
  p.setBrush(kPaper);
  p.drawRect(QRectF(9, 4, 14, 9));
  p.setBrush(QColor(0xd8, 0xdd, 0xe4));
  p.drawRect(QRectF(8, 17, 16, 11));
  p.setBrush(kBlue.darker(160));
  p.drawRect(QRectF(18, 6, 3, 5));
}

void DrawSort(QPainter& p) {
  QFont font = p.font();
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.setPen(kInk);
  p.drawText(QRectF(1, 1, 16, 14), Qt::AlignCenter, QStringLiteral("A"));
  p.drawText(QRectF(1, 17, 16, 14), Qt::AlignCenter, QStringLiteral("Z"));
  p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(23, 5), QPointF(23, 26));
  p.drawLine(QPointF(18.5, 21), QPointF(23, 26));
  p.drawLine(QPointF(27.5, 21), QPointF(23, 26));
}

// A printer with a copied page coming out of it.
void DrawPrinter(QPainter& p) {
  p.setPen(QPen(kInk, 1.4));
  p.setBrush(kPaper);
  p.drawRect(QRectF(9, 3, 14, 9));  // the paper waiting at the back
  p.setBrush(QColor(0xc9, 0xd0, 0xd8));
  p.drawRoundedRect(QRectF(3, 11, 26, 11), 2, 2);
  p.setBrush(kGreen);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(25, 15), 1.3, 1.3);
  p.setPen(QPen(kInk, 1.4));
  p.setBrush(kPaper);
  p.drawRect(QRectF(8, 18, 16, 12));  // the copy
  p.setPen(QPen(QColor(0x9a, 0xa3, 0xae), 1.2));
  for (qreal y = 22; y < 29; y += 3) p.drawLine(QPointF(11, y), QPointF(21, y));
}

QImage IconImage(TButtonIcon kind) {
  QImage image = Canvas(kIconSize);
  QPainter p(&image);
  Antialiased(p);
  switch (kind) {
    case TButtonIcon::NewDocument:
      DrawPage(p);
      break;
    case TButtonIcon::Open:
      DrawFolder(p);
      break;
    case TButtonIcon::Save:
      DrawDisk(p);
      break;
    case TButtonIcon::Add:
      DrawPage(p, QRectF(4, 3, 18, 24));
      DrawBadge(p, kGreen, false);
      break;
    case TButtonIcon::Remove:
      DrawPage(p, QRectF(4, 3, 18, 24));
      DrawBadge(p, kRed, true);
      break;
    case TButtonIcon::Up:
      DrawArrow(p, true);
      break;
    case TButtonIcon::Down:
      DrawArrow(p, false);
      break;
    case TButtonIcon::Sort:
      DrawSort(p);
      break;
    case TButtonIcon::Print:
      DrawPrinter(p);
      break;
  }
  return image;
}

}  // namespace

QIcon ButtonIcon(TButtonIcon kind) {
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(IconImage(kind)));
  return icon;
}

QImage LogoImage(int size) {
  QImage image = Canvas(size);
  QPainter p(&image);
  Antialiased(p);
  p.scale(size / 64.0, size / 64.0);
  // Two pages, the photo behind and its black-on-white copy in front.
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  p.setBrush(QColor(0xa9, 0xc8, 0xec));
  p.drawRoundedRect(QRectF(12, 9, 30, 40), 3, 3);
  p.setBrush(kPaper);
  p.drawRoundedRect(QRectF(22, 16, 30, 40), 3, 3);
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
  for (int y = 25; y <= 47; y += 7) p.drawLine(QPointF(28, y), QPointF(46, y));
  return image;
}

QImage WaitImage() {
  QImage image = Canvas(64);
  QPainter p(&image);
  Antialiased(p);
  // An hourglass.
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(14, 8), QPointF(50, 8));
  p.drawLine(QPointF(14, 56), QPointF(50, 56));
  QPainterPath glass;
  glass.moveTo(18, 10);
  glass.cubicTo(18, 26, 30, 28, 30, 32);
  glass.cubicTo(30, 36, 18, 38, 18, 54);
  glass.lineTo(46, 54);
  glass.cubicTo(46, 38, 34, 36, 34, 32);
  glass.cubicTo(34, 28, 46, 26, 46, 10);
  glass.closeSubpath();
  p.setPen(QPen(kInk, 2));
  p.setBrush(QColor(0xe8, 0xf0, 0xfa));
  p.drawPath(glass);
  p.setPen(Qt::NoPen);
  p.setBrush(kAmber);
  QPolygonF top;
  top << QPointF(23, 20) << QPointF(41, 20) << QPointF(32, 30);
  p.drawPolygon(top);
  QPolygonF bottom;
  bottom << QPointF(21, 53) << QPointF(43, 53) << QPointF(32, 42);
  p.drawPolygon(bottom);
  return image;
}
