#pragma once
// The two kinds of widget on the editor's panel: the editor image and the crop handles. Both only
// paint and pass their mouse events on to the editor page, which holds all the logic.
#include <QColor>
#include <QImage>
#include <QWidget>

class TEditorPage;

// ImageShpora: shows its picture 1:1 at its top-left corner and reports pointer movement (with
// or without a button held) and the pointer leaving it.
class TEditorImage : public QWidget {
  Q_OBJECT
 public:
  TEditorImage(TEditorPage& page, QWidget* parent);
  QImage Picture;  // empty until the first photo is drawn

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
