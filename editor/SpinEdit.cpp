#include "SpinEdit.h"

#include <algorithm>

#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QWheelEvent>

namespace {

constexpr int kArrowWidth = 13;
constexpr int kMaxTypedLength = 4;

QToolButton* MakeArrow(Qt::ArrowType arrow, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setArrowType(arrow);
  b->setAutoRepeat(true);
  // The field keeps the focus, so a click on an arrow never triggers the focus-out correction.
  b->setFocusPolicy(Qt::NoFocus);
  b->setCursor(Qt::ArrowCursor);
  return b;
}

}  // namespace

TSpinEdit::TSpinEdit(int minValue, int maxValue, QWidget* parent)
    : QLineEdit(parent), Min(minValue), Max(std::max(minValue, maxValue)) {
  setAlignment(Qt::AlignCenter);
  setMaxLength(kMaxTypedLength);
  // Characters only, not a number's shape: a text like "2-" can be typed and then reads as the
  // minimum, as any other text that is not a number.
  setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-+0-9]*")), this));
  setTextMargins(0, 0, kArrowWidth, 0);
  UpButton = MakeArrow(Qt::UpArrow, this);
  DownButton = MakeArrow(Qt::DownArrow, this);
  connect(UpButton, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(DownButton, &QToolButton::clicked, this, [this] { StepBy(-1); });
  connect(this, &QLineEdit::textChanged, this, [this] { emit Changed(); });
  SetValue(std::clamp(0, Min, Max));
}

int TSpinEdit::Clamp(int value) const { return std::clamp(value, Min, Max); }

int TSpinEdit::Value() const {
  bool ok = false;
  const int v = text().toInt(&ok);
  return ok ? v : Min;
}

void TSpinEdit::SetValue(int value) { setText(QString::number(Clamp(value))); }

void TSpinEdit::StepBy(int delta) { SetValue(Value() + delta); }

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  const int v = Value();
  if (Clamp(v) != v) SetValue(v);
  QLineEdit::focusOutEvent(event);
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      StepBy(1);
      return;
    case Qt::Key_Down:
      StepBy(-1);
      return;
    default:
      QLineEdit::keyPressEvent(event);
  }
}

void TSpinEdit::wheelEvent(QWheelEvent* event) {
  const int dy = event->angleDelta().y();
  if (dy == 0) {
    QLineEdit::wheelEvent(event);
    return;
  }
  StepBy(dy > 0 ? 1 : -1);
  event->accept();
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int half = height() / 2;
  UpButton->setGeometry(width() - kArrowWidth, 0, kArrowWidth, half);
  DownButton->setGeometry(width() - kArrowWidth, half, kArrowWidth, height() - half);
}
