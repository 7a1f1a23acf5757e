#include "FormProps.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

// A framed panel with its title in bold, centred along the top edge.
QFrame* MakePanel(QWidget* parent, const QString& title, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setGeometry(geometry);
  auto* label = new QLabel(title, panel);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(2, 3, geometry.width() - 4, 17);
  return panel;
}

template <class T>
T* Place(QWidget* parent, const QString& caption, int x, int y, int width) {
  auto* w = new T(caption, parent);
  w->setGeometry(x, y, width, 17);
  return w;
}

}  // namespace

TFormProps::TFormProps(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Apply to many..."));
  setFixedSize(245, 309);
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  QFrame* groups = MakePanel(this, QStringLiteral("Change properties"), QRect(8, 8, 225, 137));
  sCheckBox1 =
      Place<QCheckBox>(groups, QStringLiteral("Image type (colored/grayscale)"), 16, 24, 200);
  sCheckBox2 = Place<QCheckBox>(groups, QStringLiteral("Brightness and contrast"), 16, 48, 200);
  sCheckBox4 = Place<QCheckBox>(groups, QStringLiteral("Rotation"), 16, 72, 200);
  sCheckBox3 = Place<QCheckBox>(groups, QStringLiteral("Cropping "), 16, 96, 200);
  // Two pixels closer than the rows above, so that it fits inside the panel's frame.
  sCheckBox5 = Place<QCheckBox>(groups, QStringLiteral("Page (find automatically)"), 16, 118, 200);

  QFrame* scope = MakePanel(this, QStringLiteral("Apply to..."), QRect(8, 152, 225, 97));
  sRadioButton1 = Place<QRadioButton>(scope, QStringLiteral("All photos"), 16, 24, 200);
  sRadioButton2 = Place<QRadioButton>(scope, QStringLiteral("Even"), 16, 48, 200);
  sRadioButton3 = Place<QRadioButton>(scope, QStringLiteral("Odd"), 16, 72, 200);

  sSpeedButton1 = new QPushButton(QStringLiteral("OK"), this);
  sSpeedButton1->setGeometry(8, 264, 105, 33);
  sSpeedButton2 = new QPushButton(QStringLiteral("Cancel"), this);
  sSpeedButton2->setGeometry(128, 264, 105, 33);
  // Enter must not pick an answer the user did not point at.
  sSpeedButton1->setAutoDefault(false);
  sSpeedButton2->setAutoDefault(false);
  connect(sSpeedButton1, &QPushButton::clicked, this, &TFormProps::sSpeedButton1Click);
  connect(sSpeedButton2, &QPushButton::clicked, this, &TFormProps::sSpeedButton2Click);
  Reset();
}

void TFormProps::Reset() {
  sCheckBox1->setChecked(false);
  sCheckBox2->setChecked(true);
  sCheckBox3->setChecked(false);
  sCheckBox4->setChecked(true);
  sCheckBox5->setChecked(false);
  sRadioButton1->setChecked(true);
}

TApplyOptions TFormProps::Options() const {
  TApplyOptions o;
  o.ApplyWhat = (sCheckBox1->isChecked() ? ApplyImageType : 0) |
                (sCheckBox2->isChecked() ? ApplyBrightnessContrast : 0) |
                (sCheckBox3->isChecked() ? ApplyCropping : 0) |
                (sCheckBox4->isChecked() ? ApplyRotation : 0) |
                (sCheckBox5->isChecked() ? ApplyPageFind : 0);
  o.ApplyScope = sRadioButton2->isChecked()   ? TApplyScope::Even
                 : sRadioButton3->isChecked() ? TApplyScope::Odd
                                              : TApplyScope::All;
  return o;
}

bool TFormProps::AskApplyOptions(TApplyOptions& options) {
  Reset();
  const bool ok = exec() == QDialog::Accepted;
  if (ok) options = Options();
  return ok;
}
