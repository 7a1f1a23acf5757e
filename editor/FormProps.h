#pragma once
// TFormProps: the "Apply to many..." dialog. It asks which groups of the open photo's parameters
// to copy and to which photos; it starts from the same choice every time it is opened.
#include <QDialog>

#include "EditorLogic.h"

class QCheckBox;
class QRadioButton;
class QPushButton;

class TFormProps : public QDialog {
  Q_OBJECT
 public:
  explicit TFormProps(QWidget* parent = nullptr);

  // Resets the controls, shows the dialog modally and returns true when it was closed with "OK";
  // `options` then holds the ticked groups and the chosen photos.
  bool AskApplyOptions(TApplyOptions& options);

  // The choice the controls show now.
  TApplyOptions Options() const;

  QCheckBox* sCheckBox1;        // "Image type (colored/grayscale)"
  QCheckBox* sCheckBox2;        // "Brightness and contrast"
  QCheckBox* sCheckBox3;        // "Cropping "
  QCheckBox* sCheckBox4;        // "Rotation"
  QCheckBox* sCheckBox5;        // "Page (find automatically)"
  QRadioButton* sRadioButton1;  // "All photos"
  QRadioButton* sRadioButton2;  // "Even"
  QRadioButton* sRadioButton3;  // "Odd"
  QPushButton* sSpeedButton1;   // "OK"
  QPushButton* sSpeedButton2;   // "Cancel"

 private:
  void Reset();
  void sSpeedButton1Click() { accept(); }
  void sSpeedButton2Click() { reject(); }
};
