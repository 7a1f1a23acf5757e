#include "FormWait.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "Icons.h"

namespace {

constexpr int kWidth = 490;
constexpr int kHeight = 105;

}  // namespace

TFormWait::TFormWait(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint) {
  setFixedSize(kWidth, kHeight);
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(10);
  setFont(font);

  auto* panel = new QFrame(this);
  panel->setGeometry(0, 0, kWidth, kHeight);

  Picture = new QLabel(panel);
  Picture->setGeometry(8, 13, 64, 64);
  Picture->setPixmap(QPixmap::fromImage(WaitImage()));

  sLabel1 = new QLabel(panel);
  sLabel1->setObjectName(QStringLiteral("sLabel1"));
  sLabel1->setGeometry(0, 6, kWidth, 22);
  sLabel1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  QPalette palette = sLabel1->palette();
  palette.setColor(QPalette::WindowText, QColor(0x24, 0x2C, 0x35));
  sLabel1->setPalette(palette);

  sProgressBar1 = new QProgressBar(panel);
  sProgressBar1->setObjectName(QStringLiteral("sProgressBar1"));
  sProgressBar1->setGeometry(64, 32, 409, 24);

  sButton1 = new QPushButton(QStringLiteral("Cancel"), panel);
  sButton1->setObjectName(QStringLiteral("sButton1"));
  sButton1->setGeometry(176, 64, 129, 33);
  connect(sButton1, &QPushButton::clicked, this, &TFormWait::sButton1Click);
}

void TFormWait::ShowWait(const QString& caption, const QString& text, int minimum, int maximum) {
  setWindowTitle(caption);
  sLabel1->setText(text);
  // A range of one value would leave the bar without any room to move.
  sProgressBar1->setRange(minimum, maximum == minimum ? maximum + 1 : maximum);
  sProgressBar1->setValue(minimum);
  RunningFlag = 1;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  QCoreApplication::processEvents();
}

void TFormWait::SetProgress(int position) {
  sProgressBar1->setValue(position);
  repaint();
  // This is where a click on Cancel is delivered.
  QCoreApplication::processEvents();
}

void TFormWait::Close() { hide(); }

void TFormWait::sButton1Click() { RunningFlag = 0; }

void TFormWait::reject() {
  // Escape would close a dialog; this one only closes when the loop that opened it ends.
}

void TFormWait::closeEvent(QCloseEvent* event) { event->ignore(); }
