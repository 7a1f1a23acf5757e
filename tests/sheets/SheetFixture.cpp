#include "SheetFixture.h"

#include <QDir>
#include <QPainter>

#include "JpegFixture.h"

const std::vector<TRgb> kPalette = {
    {220, 40, 40},  {40, 160, 60},  {40, 60, 200},   {230, 200, 40},  {160, 60, 180},
    {40, 190, 200}, {240, 140, 60}, {120, 120, 120}, {200, 200, 255}, {90, 50, 20},
};

TColourPhotos::TColourPhotos() {
  QDir(Dir.path()).mkpath(QStringLiteral("work"));
  QDir(Dir.path()).mkpath(QStringLiteral("photos"));
}

TShpora* TColourPhotos::AddPhoto(TRgb colour, int width, int height) {
  const QString photo =
      Dir.filePath(QStringLiteral("photos/%1.jpg").arg(static_cast<int>(Records.size())));
  WriteJpegFixture(
      photo, width, height,
      [colour](int, int) {
        return BgrPixel{colour.B, colour.G, colour.R};
      },
      95);
  std::unique_ptr<TShpora> record = TShpora::CreateFromPhoto(photo, WorkFolder());
  record->ImageType = 0;
  record->Brightness = 0;
  record->Contrast = 0;
  record->DropImages();
  record->Reload(false);
  Records.push_back(std::move(record));
  return Records.back().get();
}

std::vector<TShpora*> TColourPhotos::Photos() const {
  std::vector<TShpora*> photos;
  for (const auto& record : Records) photos.push_back(record.get());
  return photos;
}

QImage CellPicture(TShpora& photo, int width, int height) {
  QImage cell(width, height, QImage::Format_RGB888);
  cell.fill(Qt::magenta);
  QPainter painter(&cell);
  photo.DrawCell(painter, 0, 0, width, height, false, true);
  return cell;
}

QRect InkBox(const QImage& image, const QRect& area, int threshold) {
  QRect box;
  const QRect clipped = area & image.rect();
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      const QRgb p = image.pixel(x, y);
      if (qRed(p) < threshold && qGreen(p) < threshold && qBlue(p) < threshold)
        box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

bool Near(QRgb pixel, TRgb colour, int tolerance) {
  return std::abs(qRed(pixel) - colour.R) <= tolerance &&
         std::abs(qGreen(pixel) - colour.G) <= tolerance &&
         std::abs(qBlue(pixel) - colour.B) <= tolerance;
}
