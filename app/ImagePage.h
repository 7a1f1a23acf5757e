#pragma once
// ImagePage: the picture of the "Page Preview" tab, shown 1:1 at its top-left corner. It holds
// a copy of what it shows (the last sheet, or the editor's magnifier for a while) and reports a
// press of any mouse button with the point in its own pixels.
#include <functional>

#include <QImage>
#include <QWidget>

class TImagePage : public QWidget {
 public:
  explicit TImagePage(QWidget* parent = nullptr);

  // Shows `picture` (a shared copy) and repaints.
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return Shown; }

  std::function<void(Qt::MouseButton button, int x, int y)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage Shown;
};
