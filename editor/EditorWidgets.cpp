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
