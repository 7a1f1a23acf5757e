#pragma once
// TSpinEdit: a number field with up and down arrows whose value is what its text says.
//
// The arrows, the Up and Down keys and the mouse wheel step by 1 and stay within the range, and
// SetValue clamps for display. A number the user types is reported as typed, even outside the
// range, and an empty or non-numeric text reports the minimum; when the field loses the focus
// with a value outside the range, the text is corrected to the nearer limit. Every change of the
// text (a keystroke, a step, that correction, SetValue) emits Changed. Only digits and signs can
// be typed, at most four characters, so a typed value can never overflow what it is used for.
#include <QLineEdit>

class QToolButton;

class TSpinEdit : public QLineEdit {
  Q_OBJECT
 public:
  TSpinEdit(int minValue, int maxValue, QWidget* parent = nullptr);

  int MinValue() const { return Min; }
  int MaxValue() const { return Max; }
  // The integer the text shows, unclamped; the minimum for an empty or non-numeric text.
  int Value() const;
  // Shows `value` clamped to the range.
  void SetValue(int value);
  // Value() + delta, clamped to the range.
  void StepBy(int delta);

 signals:
  void Changed();

 protected:
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int Clamp(int value) const;

  int Min, Max;
  QToolButton* UpButton;
  QToolButton* DownButton;
};
