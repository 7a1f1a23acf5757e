#pragma once
// The three kinds of widget on the editor's panel: the editor image, the crop handles and the
// page corner handles. They only paint and pass their mouse events on to the editor page, which
// holds all the logic.
#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QWidget>

class TEditorPage;

// ImageShpora: shows its picture 1:1 at its top-left corner and reports pointer movement (with
// or without a button held) and the pointer leaving it.
class TEditorImage : public QWidget {
  Q_OBJECT
 public:
  TEditorImage(TEditorPage& page, QWidget* parent);
  QImage Picture;  // empty until the first photo is drawn
  // In Page mode the page's outline, drawn over the picture in image coordinates; empty
  // otherwise.
  QPolygonF Outline;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  TEditorPage& Page;
};

// pp1..pp4: a borderless bar, red while idle and lime green while dragged. Tag 0 marks a
// horizontal bar (top and bottom edges), 1 a vertical bar (left and right edges).
class TCropHandle : public QWidget {
  Q_OBJECT
 public:
  TCropHandle(TEditorPage& page, int tag, QWidget* parent);
  const int Tag;
  void SetDragged(bool dragged);
  QColor Colour() const { return Fill; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TEditorPage& Page;
  QColor Fill;
};

// pc1..pc4: a round handle on one corner of the page, idle red and lime green while dragged like
// the crop bars. Its centre is the corner; Tag is the corner's index (0 top-left, 1 top-right,
// 2 bottom-right, 3 bottom-left of the page).
class TCornerHandle : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kDiameter = 15;
  TCornerHandle(TEditorPage& page, int tag, QWidget* parent);
  const int Tag;
  void SetDragged(bool dragged);
  QColor Colour() const { return Fill; }
  // Moves the handle so that its centre is on `centre` (parent coordinates, rounded).
  void Centre(QPointF centre);
  QPoint CentrePoint() const { return geometry().topLeft() + QPoint(kDiameter / 2, kDiameter / 2); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TEditorPage& Page;
  QColor Fill;
};
