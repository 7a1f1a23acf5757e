#include "SheetFixture.h"

#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

#include <QDir>
#include <QPainter>

const std::vector<TRgb> kPalette = {
    {220, 40, 40}, {40, 160, 60}, {40, 60, 200}, {230, 200, 40}, {160, 60, 180},
    {40, 190, 200}, {240, 140, 60}, {120, 120, 120}, {200, 200, 255}, {90, 50, 20},
};

void WriteTestJpeg(const QString& path, int width, int height, TRgb colour) {
  FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!file) throw std::runtime_error("cannot write the test photo " + path.toStdString());
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[static_cast<size_t>(x) * 3] = colour.R;
    row[static_cast<size_t>(x) * 3 + 1] = colour.G;
    row[static_cast<size_t>(x) * 3 + 2] = colour.B;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(file);
}

TPhotoDocument::TPhotoDocument() {
  QDir(Dir.path()).mkpath(QStringLiteral("work"));
  QDir(Dir.path()).mkpath(QStringLiteral("photos"));
}

TShpora* TPhotoDocument::AddPhoto(TRgb colour, int width, int height) {
  const QString photo =
      Dir.filePath(QStringLiteral("photos/%1.jpg").arg(static_cast<int>(Records.size())));
  WriteTestJpeg(photo, width, height, colour);
  std::unique_ptr<TShpora> record = TShpora::CreateFromPhoto(photo, WorkFolder());
  record->ImageType = 0;
  record->Brightness = 0;
  record->Contrast = 0;
  record->DropImages();
  record->Reload(false);
  Records.push_back(std::move(record));
  return Records.back().get();
}

std::vector<TShpora*> TPhotoDocument::Photos() const {
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

void TRecordingWait::ShowWait(const QString& caption, const QString& text, int minimum,
                              int maximum) {
  ++Shows;
  Caption = caption;
  Text = text;
  Minimum = minimum;
  Maximum = maximum;
}

void TRecordingWait::SetProgress(int position) {
  Progress.push_back(position);
  // The press made while the previous page was written is seen when events run here.
  if (CancelDuring >= 0 && position > CancelDuring) Cancelled = true;
}

IUserPrompts::Answer TScriptedPrompts::Message(QWidget*, const QString&, const QString& text,
                                               Buttons, Icon) {
  Messages << text;
  return Answer::Ok;
}

QString TScriptedPrompts::BrowseFolder(QWidget*, const QString&, const QString& start) {
  BrowseStarts << start;
  if (OnBrowse) OnBrowse();
  return BrowseAnswer;
}

bool TScriptedPrompts::Print(QWidget*, QPrinter&, PrintChoice& choice) {
  PrintOffers.push_back(choice);
  return PrintAnswer(choice);
}
