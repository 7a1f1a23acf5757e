#include "EditorWidgets.h"

#include <QMouseEvent>
#include <QPainter>

#include "EditorPage.h"

namespace {
const QColor kIdle(255, 0, 0);
const QColor kDragged(0, 255, 0);
}  // namespace

TEditorImage::TEditorImage(TEditorPage& page, QWidget* parent) : QWidget(parent), Page(page) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TEditorImage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  if (!Picture.isNull()) p.drawImage(0, 0, Picture);
  if (!Outline.isEmpty()) {
    p.setRenderHint(QPainter::Antialiasing);
    // A dark line under a light one shows on white paper and on a dark desk alike.
    p.setPen(QPen(QColor(0, 0, 0, 160), 3));
    p.drawPolygon(Outline);
    p.setPen(QPen(kIdle, 1));
    p.drawPolygon(Outline);
  }
}

void TEditorImage::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.ImageShporaMouseMove(at.x(), at.y());
}

void TEditorImage::leaveEvent(QEvent*) { Page.ImageShporaMouseLeave(); }

TCropHandle::TCropHandle(TEditorPage& page, int tag, QWidget* parent)
    : QWidget(parent), Tag(tag), Page(page), Fill(kIdle) {
  setCursor(tag == 0 ? Qt::SizeVerCursor : Qt::SizeHorCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves arrive also without a button, as the handler expects; it ignores them then.
  setMouseTracking(true);
}

void TCropHandle::SetDragged(bool dragged) {
  Fill = dragged ? kDragged : kIdle;
  update();
}

void TCropHandle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), Fill);
}

void TCropHandle::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.pp1MouseDown(this, event->button(), at.x(), at.y());
}

void TCropHandle::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.pp1MouseMove(this, at.x(), at.y());
}

void TCropHandle::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.pp1MouseUp(this, event->button(), at.x(), at.y());
}

TCornerHandle::TCornerHandle(TEditorPage& page, int tag, QWidget* parent)
    : QWidget(parent), Tag(tag), Page(page), Fill(kIdle) {
  resize(kDiameter, kDiameter);
  setCursor(Qt::SizeAllCursor);
  // Round: only the disc takes the pointer, and the picture shows around it.
  setMask(QRegion(0, 0, kDiameter, kDiameter, QRegion::Ellipse));
  setMouseTracking(true);
}

void TCornerHandle::SetDragged(bool dragged) {
  Fill = dragged ? kDragged : kIdle;
  update();
}

void TCornerHandle::Centre(QPointF centre) {
  move(qRound(centre.x()) - kDiameter / 2, qRound(centre.y()) - kDiameter / 2);
}

void TCornerHandle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Fill);
  p.drawEllipse(QRectF(0.5, 0.5, kDiameter - 1, kDiameter - 1));
  // The exact corner: a dot in the middle of the disc.
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(kDiameter / 2 - 1, kDiameter / 2 - 1, 3, 3));
}

void TCornerHandle::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.CornerMouseDown(this, at.x(), at.y());
}

void TCornerHandle::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.CornerMouseMove(this, at.x(), at.y());
}

void TCornerHandle::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  Page.CornerMouseUp(this, at.x(), at.y());
}
