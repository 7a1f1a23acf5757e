#include "EditorTestSupport.h"

#include <stdexcept>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>

#include "FormProps.h"
#include "JpegFixture.h"

namespace {

// A w x h colour JPEG with a smooth pattern that depends on `seed`.
void WriteTestJpeg(const QString& path, int width, int height, int seed) {
  WriteJpegFixture(path, width, height, [=](int x, int y) {
    const int row = height - 1 - y;  // the pattern was drawn in memory rows, bottom-up
    return BgrPixel{static_cast<uint8_t>((x * 3 + seed * 40) & 0xFF),
                    static_cast<uint8_t>((row * 2 + seed * 17) & 0xFF),
                    static_cast<uint8_t>(((x + row) / 3 + seed * 60) & 0xFF)};
  });
}

// Whether (x, y) lies inside the convex quadrilateral, corners clockwise on the screen.
bool InsideQuad(const TPageQuad& q, double x, double y) {
  for (int i = 0; i < 4; ++i) {
    const TPagePoint& a = q.Corners[i];
    const TPagePoint& b = q.Corners[(i + 1) % 4];
    if ((b.X - a.X) * (y - a.Y) - (b.Y - a.Y) * (x - a.X) < 0) return false;
  }
  return true;
}

}  // namespace

TPhotoSet::TPhotoSet() {
  if (!Dir.isValid()) throw std::runtime_error("no temporary folder");
}

TPhotoSet::~TPhotoSet() { Records.clear(); }

TShpora* TPhotoSet::Add(int width, int height) {
  const int seed = NextSeed++;
  const QString photo = Dir.filePath(QStringLiteral("photo-%1.jpeg").arg(seed));
  WriteTestJpeg(photo, width, height, seed);
  // The work folder is a subfolder, so the photos never take working-file names.
  QDir(Dir.path()).mkpath(QStringLiteral("work"));
  Records.push_back(TShpora::CreateFromPhoto(photo, Dir.filePath(QStringLiteral("work/"))));
  return Records.back().get();
}

TShpora* TPhotoSet::AddPageOnDesk(int width, int height, const TPageQuad& corners) {
  const int seed = NextSeed++;
  const QString photo = Dir.filePath(QStringLiteral("page-%1.jpeg").arg(seed));
  WriteJpegFixture(photo, width, height, [&](int x, int y) {
    if (InsideQuad(corners, x + 0.5, y + 0.5)) return BgrPixel{228, 234, 236};
    // A dark desk, a little lighter towards the bottom as under a lamp.
    const auto grain = static_cast<uint8_t>(y * 12 / height);
    return BgrPixel{static_cast<uint8_t>(30 + grain), static_cast<uint8_t>(42 + grain),
                    static_cast<uint8_t>(58 + grain)};
  });
  QDir(Dir.path()).mkpath(QStringLiteral("work"));
  Records.push_back(TShpora::CreateFromPhoto(photo, Dir.filePath(QStringLiteral("work/"))));
  return Records.back().get();
}

std::vector<TShpora*> TPhotoSet::All() const {
  std::vector<TShpora*> all;
  for (const auto& r : Records) all.push_back(r.get());
  return all;
}

void TFakeHost::ShowPrintPreview() {
  ++PrintPreviews;
  if (OnPrintPreview) OnPrintPreview();
}

void TFakeHost::ShowOnImagePage(const QImage& picture) {
  ++Shown;
  ImagePage = picture.copy();
}

void TFakeHost::ShowError(const QString& message) {
  Errors << message;
  EnabledAtError.push_back(MainEnabled);
  WaitVisibleAtError.push_back(WaitDialog.Visible());
}

void TFakeHost::SetMainWindowEnabled(bool enabled) {
  EnabledCalls.push_back(enabled);
  MainEnabled = enabled;
  if (!enabled && !WaitDialog.Visible()) WaitOpenWhileDisabled = false;
}

void SendMouse(QWidget* widget, int type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(static_cast<QEvent::Type>(type), QPointF(local),
                    QPointF(widget->mapToGlobal(local)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void Press(QWidget* widget, QPoint local) {
  SendMouse(widget, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton);
}

void MoveHeld(QWidget* widget, QPoint local) {
  SendMouse(widget, QEvent::MouseMove, local, Qt::NoButton, Qt::LeftButton);
}

void Release(QWidget* widget, QPoint local) {
  SendMouse(widget, QEvent::MouseButtonRelease, local, Qt::LeftButton, Qt::NoButton);
}

void WhenShown(TFormProps* dialog, std::function<void(TFormProps&)> act) {
  auto* poll = new QTimer(dialog);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(poll, &QTimer::timeout, dialog, [=] {
    if (dialog->isVisible()) {
      poll->stop();
      act(*dialog);
    } else if (clock->elapsed() < 5000) {
      return;
    }
    if (dialog->isVisible()) dialog->reject();
    poll->deleteLater();
  });
  poll->start(5);
}

const uint8_t* PictureRow(const TFastDIB& image, int y) {
  return image.Scanlines[image.AbsHeight - 1 - y];
}

testing::AssertionResult ShowsWindowOf(const QImage& zoom, const TFastDIB& full, int left,
                                       int top) {
  if (zoom.format() != QImage::Format_BGR888) return testing::AssertionFailure() << "format";
  for (int y = 0; y < zoom.height(); ++y) {
    const uint8_t* out = zoom.constScanLine(y);
    const int sy = top + y;
    for (int x = 0; x < zoom.width(); ++x) {
      const int sx = left + x;
      uint8_t want[3] = {255, 255, 255};
      if (sx >= 0 && sx < full.Width() && sy >= 0 && sy < full.AbsHeight)
        for (int c = 0; c < 3; ++c) want[c] = PictureRow(full, sy)[3 * sx + c];
      for (int c = 0; c < 3; ++c)
        if (out[3 * x + c] != want[c])
          return testing::AssertionFailure()
                 << "pixel " << x << "," << y << " channel " << c << ": " << int(out[3 * x + c])
                 << " vs " << int(want[c]);
    }
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult SamePixels(const QImage& picture, const TFastDIB& image) {
  if (picture.width() != image.Width() || picture.height() != image.AbsHeight)
    return testing::AssertionFailure() << "size " << picture.width() << "x" << picture.height();
  for (int y = 0; y < picture.height(); ++y) {
    const auto* in = reinterpret_cast<const BgrPixel*>(PictureRow(image, y));
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      if (qRed(p) != in[x].Red || qGreen(p) != in[x].Green || qBlue(p) != in[x].Blue)
        return testing::AssertionFailure() << "pixel " << x << "," << y;
    }
  }
  return testing::AssertionSuccess();
}
