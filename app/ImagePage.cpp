#include "ImagePage.h"

#include <QMouseEvent>
#include <QPainter>

TImagePage::TImagePage(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void TImagePage::SetPicture(const QImage& picture) {
  Shown = picture;
  update();
}

void TImagePage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(0, 0, Shown);
}

void TImagePage::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(event->button(), at.x(), at.y());
}
