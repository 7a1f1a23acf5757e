#pragma once
// TForm3, "Export resulted images": the output folder, the file name prefix and the format of
// an export. Created once with the main window and reused, so it keeps what the user entered
// for the rest of the run (nothing is saved).
#include <cstdint>
#include <vector>

#include <QDialog>
#include <QLabel>
#include <QString>

#include "ExportImages.h"

class IUserPrompts;
class IWaitProtocol;
class QComboBox;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QShowEvent;
class QToolButton;
class TShpora;

// The "XXX" placeholder between the prefix and the extension. Its hint shows as soon as the
// pointer moves over it, without the usual hover delay.
class TNumberPanel : public QLabel {
  Q_OBJECT
 public:
  explicit TNumberPanel(QWidget* parent = nullptr);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
};

class TForm3 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm3(IUserPrompts& prompts, QWidget* parent = nullptr);

  QString OutputFolder() const;
  QString FilePrefix() const;
  int32_t FormatIndex() const;
  void SetFormatIndex(int32_t format);
  // The folder, prefix and format shown in the dialog now.
  TExportSettings Settings() const;
  // The folder the browser starts in when the edit names no existing folder: the desktop.
  QString InitialBrowseFolder() const { return InitialDir; }

  // Opens the folder browser as the edit's browse button does; a chosen folder replaces the text.
  void sDirectoryEdit1BrowseClick();

  QLineEdit* sDirectoryEdit1 = nullptr;
  QToolButton* sDirectoryEdit1Button = nullptr;
  QLineEdit* sEdit2 = nullptr;
  TNumberPanel* sPanel2 = nullptr;
  QComboBox* sComboExt = nullptr;
  QLabel* sLabelSize = nullptr;
  QComboBox* sComboSize = nullptr;  // laid out but hidden: pages always keep their cropped size
  QPushButton* sButton1 = nullptr;
  QPushButton* sButton2 = nullptr;

 protected:
  // The user picks the output folder first: the browser opens as soon as the dialog shows.
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();

  IUserPrompts& Prompts;
  QString InitialDir;
};

// The export command of the save menu ("Save as JPGs" format 0, "Save as PNGs" format 1): with
// no photos nothing at all; otherwise the dialog opens with that format preselected, and on
// "&Export" every page is written (ExportImages) with the folder, prefix and format shown in the
// dialog then. Returns the number of pages written; throws std::runtime_error like ExportImages.
int32_t ExportImagesCommand(TForm3& form, IWaitProtocol& wait, const std::vector<TShpora*>& photos,
                            int32_t format);
