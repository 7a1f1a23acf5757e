// The .TavDoc reader driven as the main window opens a document, through the document model the
// window and the command line share: magic, version, layout, count, then for every photo a fresh
// working file, its parameters, title and JPEG bytes, and Reload.
// After the photos the reader takes the blocks that may follow them (the page corners), which
// straighten the rows they name: corners straight from the file, usable or not, reach the warp.
// The photos read are then drawn into a sheet cell and exported, so that parameters straight
// from the file (crop edges, rotation, tone values out of every range) reach the page code.
//
// After every input: no crash, no leak, every failure a std::runtime_error, and no working file
// left behind once the records are gone.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include "FuzzApplication.h"
#include "FuzzSupport.h"
#include "PhotoDocument.h"
#include "Shpora.h"
#include "WaitProtocol.h"

namespace {

// The window's wait dialog, reduced to what a reader may get wrong: a progress bar's range that
// a forged count stretched beyond what the file can hold.
class TCheckedWait : public IWaitProtocol {
 public:
  explicit TCheckedWait(int64_t fileSize) : FileSize(fileSize) {}
  void ShowWait(const QString&, const QString&, int minimum, int maximum) override {
    if (maximum < minimum - 1 || int64_t(maximum) * kMinPhotoRecordBytes > FileSize)
      fuzz::Fail("MaxPhotosLeft", QString::number(maximum));
  }
  void SetProgress(int) override {}
  bool Running() const override { return true; }
  void Close() override {}

 private:
  int64_t FileSize;
};

void CheckPreview(const TShpora& photo) {
  if (!photo.Preview || photo.Preview->Width() != kFrameWidth ||
      photo.Preview->AbsHeight != kFrameHeight || photo.Preview->BitCount() != 24)
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
  static const QString documentFolder = fuzz::PrivateFolder("document");
  static const QString exportFolder = fuzz::PrivateFolder("export");
  const QString path = documentFolder + QStringLiteral("/input.TavDoc");
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
      fuzz::Fail("setup", QStringLiteral("cannot write the input file"));
  }
  QString workFolder;
  {
    TPhotoDocument document;
    TCheckedWait wait{int64_t(size)};
    TPhotoDocument::TOpenHooks hooks;
    // As the window opens a document: each row is reloaded as soon as it is read.
    hooks.PhotoRead = [&](int32_t row) {
      document.ReloadRow(row);
      CheckPreview(*document.Photo(row));
    };
    try {
      document.Open(path, wait, hooks, TPhotoDocument::TLockUse::None);
    } catch (const std::runtime_error&) {
      // The photos read before the damaged one stay, as they do in the window.
    }
    workFolder = document.WorkFolder().Path();
    for (int32_t i = 0; i < document.Count(); ++i) {
      TShpora& photo = *document.Photo(i);
      // Rows the page block straightened were reloaded after it.
      if (photo.Preview) CheckPreview(photo);
      try {
        UsePhoto(photo, exportFolder, (size_t(i) + size) % 2 == 0);
        // The other side of the switch, as the editor flips it.
        if (photo.Page.HasCorners) {
          photo.Page.Straighten = !photo.Page.Straighten;
          photo.Reload(false);
          CheckPreview(photo);
        }
      } catch (const std::runtime_error&) {
      }
    }
  }
  // The records deleted their working files, and the empty work folder went with them.
  if (!workFolder.isEmpty() && QFileInfo::exists(workFolder))
    fuzz::Fail("TPhotoDocument", QStringLiteral("left the work folder ") + workFolder);
  fuzz::ExpectEmptyFolder(exportFolder);
  return 0;
}
