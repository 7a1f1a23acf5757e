// The photo import on arbitrary bytes under a .jpg name, as "Add photos" hands a file over.
//
// After every input: no crash, no leak, no allocation beyond the decoder's bounds; a failure is a
// std::runtime_error and leaves no working file; a success gives a working JPEG of at most 1500
// pixels on its longer side and a 420 x 594 preview, and destroying the record removes its file.
#include <cstdint>
#include <memory>
#include <stdexcept>

#include <QFile>

#include "Codecs.h"
#include "FuzzApplication.h"
#include "FuzzSupport.h"
#include "Shpora.h"

namespace {

void CheckImported(const TShpora& record) {
  if (!record.Preview || record.Preview->Width() != kFrameWidth ||
      record.Preview->AbsHeight != kFrameHeight)
    fuzz::Fail("CreateFromPhoto", QStringLiteral("no 420 x 594 preview"));
  if (record.FullImage) fuzz::Fail("CreateFromPhoto", QStringLiteral("kept the full picture"));
  const JpegHeader work = ReadJpegHeader(record.WorkFile);
  if (work.Width < 1 || work.Height < 1 || work.Width > kWorkLongSide ||
      work.Height > kWorkLongSide)
    fuzz::Fail("CreateFromPhoto",
               QStringLiteral("working copy of %1 x %2 pixels").arg(work.Width).arg(work.Height));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::StartGuiApplication(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const QString photos = fuzz::PrivateFolder("photos");
  static const QString workFolder = fuzz::PrivateFolder("work");
  const QString photo = photos + QStringLiteral("IMG_0001.jpg");
  {
    QFile out(photo);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size))
      fuzz::Fail("setup", QStringLiteral("cannot write the photo"));
  }
  try {
    std::unique_ptr<TShpora> record = TShpora::CreateFromPhoto(photo, workFolder);
    CheckImported(*record);
  } catch (const std::runtime_error&) {
  }
  fuzz::ExpectEmptyFolder(workFolder);
  return 0;
}
