// The .TavDoc reader driven as the main window opens a document: magic, version, layout, count,
// then for every photo a fresh working file, its parameters, title and JPEG bytes, and Reload.
// The photos read are then drawn into a sheet cell and exported, so that parameters straight
// from the file (crop edges, rotation, tone values out of every range) reach the page code.
//
// After every input: no crash, no leak, every failure a std::runtime_error, and no working file
// left behind once the records are gone.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include "Document.h"
#include "FuzzApplication.h"
#include "FuzzSupport.h"
#include "Shpora.h"

namespace {

// One photo record, as the window's reader takes it: the working file is created exclusively
// before anything is read, the row is added before Reload.
void ReadPhoto(TDocumentReader& reader, const QString& workFolder,
               std::vector<std::unique_ptr<TShpora>>& rows) {
  const QString workFile = TShpora::FindFreeFileName(workFolder, QStringLiteral(".jpg"));
  if (workFile.isEmpty()) throw std::runtime_error("no free name");
  std::unique_ptr<TShpora> photo = TShpora::CreateForWorkFile(workFile);
  QFile work(workFile);
  if (!work.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    photo->WorkFile.clear();
    throw std::runtime_error("cannot create the working file");
  }
  reader.ReadParameters(*photo);
  const QString title = reader.ReadTitle();
  (void)title;
  reader.CopyJpeg(work, workFile);
  if (!work.flush()) throw WriteFailure(workFile, work);
  work.close();
  TShpora* added = photo.get();
  rows.push_back(std::move(photo));
  added->Reload(false);
  if (!added->Preview || added->Preview->Width() != kFrameWidth ||
      added->Preview->AbsHeight != kFrameHeight || added->Preview->BitCount() != 24)
    fuzz::Fail("Reload", QStringLiteral("no 420 x 594 preview"));
}

// What the sheet preview, printing and export do with a record.
void UsePhoto(TShpora& photo, const QString& exportFolder, bool asPng) {
  QImage sheet(64, 80, QImage::Format_RGB888);
  sheet.fill(Qt::white);
  {
    QPainter painter(&sheet);
    photo.DrawCell(painter, 2, 3, 40, 56, false, true);
    photo.DrawCell(painter, 1, 1, 13, 17, true, true);
  }
  photo.DropFullImage();
  const QString page = exportFolder + (asPng ? QStringLiteral("0.png") : QStringLiteral("0.jpg"));
  try {
    photo.ExportPage(page, asPng, 31, 44);
    // Exporting many photos holds one full picture at a time.
    if (photo.FullImage) fuzz::Fail("ExportPage", QStringLiteral("kept the full picture"));
  } catch (const std::runtime_error&) {
    // A crop that leaves nothing is refused; nothing may be written then.
    if (QFile::exists(page)) fuzz::Fail("ExportPage", QStringLiteral("failed but wrote a file"));
  }
  QFile::remove(page);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::StartGuiApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString workFolder = fuzz::PrivateFolder("work");
  static const QString exportFolder = fuzz::PrivateFolder("export");
  QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer file(&bytes);
  file.open(QIODevice::ReadOnly);
  TDocumentReader reader(file);
  std::vector<std::unique_ptr<TShpora>> rows;
  try {
    if (reader.ReadMagic() && reader.ReadInt32() == kDocumentVersion) {
      const TDocumentLayout layout = reader.ReadLayout();
      const int32_t count = reader.ReadCount();
      const int32_t range = reader.MaxPhotosLeft(count);
      if (range < 0 || range > count) fuzz::Fail("MaxPhotosLeft", QString::number(range));
      for (int64_t i = 1; i <= count; ++i) ReadPhoto(reader, workFolder, rows);
      (void)layout;
    }
  } catch (const std::runtime_error&) {
    // The photos read before the damaged one stay, as they do in the window.
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    try {
      UsePhoto(*rows[i], exportFolder, (i + size) % 2 == 0);
    } catch (const std::runtime_error&) {
    }
  }
  rows.clear();
  fuzz::ExpectEmptyFolder(workFolder);
  fuzz::ExpectEmptyFolder(exportFolder);
  return 0;
}
