#include "Form3.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include "Prompts.h"

namespace {

constexpr int kClientWidth = 353;
constexpr int kClientHeight = 149;
constexpr int kMaxFolderLength = 255;

}  // namespace

TNumberPanel::TNumberPanel(QWidget* parent) : QLabel(parent) { setMouseTracking(true); }

void TNumberPanel::mouseMoveEvent(QMouseEvent* event) {
  QToolTip::showText(event->globalPosition().toPoint(), toolTip(), this);
  QLabel::mouseMoveEvent(event);
}

TForm3::TForm3(IUserPrompts& prompts, QWidget* parent) : QDialog(parent), Prompts(prompts) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Export resulted images"));

  auto* folderLabel = new QLabel(QStringLiteral("Output folder:"), this);
  sDirectoryEdit1 = new QLineEdit(this);
  sDirectoryEdit1->setObjectName(QStringLiteral("sDirectoryEdit1"));
  sDirectoryEdit1->setMaxLength(kMaxFolderLength);
  sDirectoryEdit1Button = new QToolButton(this);
  sDirectoryEdit1Button->setObjectName(QStringLiteral("sDirectoryEdit1Button"));
  sDirectoryEdit1Button->setText(QStringLiteral("..."));
  folderLabel->setBuddy(sDirectoryEdit1);

  auto* nameLabel = new QLabel(QStringLiteral("Filename:"), this);
  sEdit2 = new QLineEdit(QStringLiteral("TavDoc"), this);
  sEdit2->setObjectName(QStringLiteral("sEdit2"));
  nameLabel->setBuddy(sEdit2);
  sPanel2 = new TNumberPanel(this);
  sPanel2->setObjectName(QStringLiteral("sPanel2"));
  sPanel2->setText(QStringLiteral("XXX"));
  sPanel2->setToolTip(QStringLiteral("Image number will be attached to the filename."));
  sPanel2->setFrameShape(QFrame::Panel);
  sPanel2->setFrameShadow(QFrame::Sunken);
  sPanel2->setAlignment(Qt::AlignCenter);
  sComboExt = new QComboBox(this);
  sComboExt->setObjectName(QStringLiteral("sComboExt"));
  sComboExt->addItems({QStringLiteral(".JPG"), QStringLiteral(".PNG")});
  sComboExt->setCurrentIndex(0);

  sLabelSize = new QLabel(QStringLiteral("Output size:"), this);
  sComboSize = new QComboBox(this);
  sComboSize->setObjectName(QStringLiteral("sComboSize"));
  sComboSize->addItems({QStringLiteral("Up to 1500x1000"), QStringLiteral("Up to 1024x786"),
                        QStringLiteral("Up to 800x600"), QStringLiteral("Up to 640x480"),
                        QStringLiteral("Up to 320x240")});
  sLabelSize->hide();
  sComboSize->hide();

  sButton1 = new QPushButton(QStringLiteral("&Export"), this);
  sButton1->setObjectName(QStringLiteral("sButton1"));
  sButton1->setDefault(true);
  sButton2 = new QPushButton(QStringLiteral("&Cancel"), this);
  sButton2->setObjectName(QStringLiteral("sButton2"));

  auto* grid = new QGridLayout(this);
  grid->addWidget(folderLabel, 0, 0, 1, 4);
  auto* folderRow = new QHBoxLayout;
  folderRow->setSpacing(2);
  folderRow->addWidget(sDirectoryEdit1, 1);
  folderRow->addWidget(sDirectoryEdit1Button);
  grid->addLayout(folderRow, 1, 0, 1, 4);
  grid->addWidget(nameLabel, 2, 0, 1, 4);
  grid->addWidget(sEdit2, 3, 0);
  grid->addWidget(sPanel2, 3, 1);
  grid->addWidget(sComboExt, 3, 2);
  grid->setColumnStretch(0, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(sButton1);
  buttons->addWidget(sButton2);
  grid->addLayout(buttons, 4, 0, 1, 4);
  // A fixed dialog border: the designed client size, or larger where the fonts need it.
  setFixedSize(sizeHint().expandedTo(QSize(kClientWidth, kClientHeight)));

  connect(sDirectoryEdit1Button, &QToolButton::clicked, this, &TForm3::sDirectoryEdit1BrowseClick);
  connect(sButton1, &QPushButton::clicked, this, &QDialog::accept);
  connect(sButton2, &QPushButton::clicked, this, &QDialog::reject);

  FormCreate();
}

void TForm3::FormCreate() {
  InitialDir = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (InitialDir.isEmpty()) {
    Prompts.Message(parentWidget(), windowTitle(),
                    QStringLiteral("SHGetPathFromIDList failed : invalid pidl"),
                    IUserPrompts::Buttons::Ok, IUserPrompts::Icon::Error);
    return;
  }
  sDirectoryEdit1->setText(QDir::toNativeSeparators(InitialDir));
}

QString TForm3::OutputFolder() const { return sDirectoryEdit1->text(); }
QString TForm3::FilePrefix() const { return sEdit2->text(); }
int32_t TForm3::FormatIndex() const { return sComboExt->currentIndex(); }
void TForm3::SetFormatIndex(int32_t format) { sComboExt->setCurrentIndex(format); }
TExportSettings TForm3::Settings() const {
  return TExportSettings{OutputFolder(), FilePrefix(), FormatIndex()};
}

void TForm3::sDirectoryEdit1BrowseClick() {
  if (sDirectoryEdit1->isReadOnly()) return;
  const QString text = sDirectoryEdit1->text();
  const QString start = (!text.isEmpty() && QFileInfo(text).isDir()) ? text : InitialDir;
  const QString chosen =
      Prompts.BrowseFolder(this, QStringLiteral("Choose the output folder"), start);
  if (!chosen.isEmpty()) sDirectoryEdit1->setText(QDir::toNativeSeparators(chosen));
}

void TForm3::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  // After the dialog has appeared, so the browser opens over it; not if it closed meanwhile.
  QTimer::singleShot(0, this, [this] {
    if (isVisible()) sDirectoryEdit1BrowseClick();
  });
}

int32_t ExportImagesCommand(TForm3& form, IWaitProtocol& wait, const std::vector<TShpora*>& photos,
                            int32_t format) {
  if (photos.empty()) return 0;
  form.SetFormatIndex(format);
  if (form.exec() != QDialog::Accepted) return 0;
  // The format that counts is the one shown when "&Export" was pressed.
  return ExportImages(photos, wait, form.Settings());
}
