// From the working JPEG and the eight parameters to what the user sees: the processed full
// picture, the 420 x 594 preview, a drawn sheet cell and an exported page.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <stdexcept>

#include <QDir>
#include <QFileInfo>

#include "Codecs.h"
#include "Shpora.h"

namespace {

// Pages above this many pixels are refused before anything is allocated; only a damaged
// document's crop edges can ask for one.
constexpr int64_t kMaxPagePixels = int64_t(1) << 28;

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// A colour amount of 10 per editor step. Outside -255..255 the tone tables depend on the amount
// only through min(a, 255) above and a modulo 256 below, so huge values from a damaged document
// are folded into that range instead of overflowing.
int ToneAmount(int32_t value) {
  const int64_t a = int64_t(value) * 10;
  if (a > 255) return 255;
  if (a >= 0) return static_cast<int>(a);
  return static_cast<int>(-1 - ((-1 - a) % 256));  // -256..-1, same residue
}

// The angle and the size of the turned picture for a rotation code; false for no turn.
bool RotationStep(int32_t rotation, int32_t w, int32_t h, double& angle, int32_t& tw, int32_t& th) {
  switch (rotation) {
    case 1:
      angle = 90;
      tw = h;
      th = w;
      return true;
    case 2:
      angle = -90;
      tw = h;
      th = w;
      return true;
    case 3:
      angle = 180;
      tw = w;
      th = h;
      return true;
    default:
      return false;
  }
}

// A picture of another depth than 24 bits (a grayscale working JPEG written by another program
// into a document) is brought to colour before processing: every later step works on 24 bits.
std::unique_ptr<TFastDIB> AsColour(std::unique_ptr<TFastDIB> picture) {
  if (picture->BitCount() == 24) return picture;
  auto colour = std::make_unique<TFastDIB>(picture->Width(), 24, picture->Height());
  picture->ConvertInto(*colour);
  return colour;
}

// The page of `picture` flattened onto an upright rectangle of the page's own proportions, as
// long on its longer side as the picture is on its own: the flattened page keeps about the
// working copy's resolution, and the crop and the preview work on it as on any picture.
std::unique_ptr<TFastDIB> FlattenPage(const TFastDIB& picture, const TPageQuad& corners) {
  const int32_t w = picture.Width(), h = picture.AbsHeight;
  const TPageAspect aspect = EstimatePageAspect(corners, w, h);
  const TPageSize size = PageOutputSize(aspect.Aspect, std::max(w, h));
  // The warp writes every pixel of its target.
  auto page = std::make_unique<TFastDIB>(size.Width, 24, size.Height, TFastDIB::TUncleared{});
  WarpPageInto(picture, corners, *page);
  return page;
}

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

TCropRect TShpora::MapCrop(int32_t width, int32_t height) const {
  // Products first, then a truncating division; in 64 bits so that edges out of any sane range
  // cannot overflow. Width and height come from the differences, not from two mapped edges.
  TCropRect r;
  r.X0 = ClampToInt32(int64_t(width) * CropLeft / kFrameWidth);
  r.Y0 = ClampToInt32(int64_t(height) * CropTop / kFrameHeight);
  r.W = ClampToInt32((int64_t(CropRight) - CropLeft) * width / kFrameWidth);
  r.H = ClampToInt32((int64_t(CropBottom) - CropTop) * height / kFrameHeight);
  return r;
}

TShpora::TPreviewSource TShpora::CurrentSource() const {
  TPreviewSource source;
  source.Picture = Preview.get();
  source.WorkFile = WorkFile;
  source.Rotation = Rotation;
  source.ImageType = ImageType;
  source.Brightness = Brightness;
  source.Contrast = Contrast;
  source.Page = Page;
  return source;
}

bool TShpora::PreviewMatchesWorkFile() const {
  const TPreviewSource& s = PreviewSource;
  return Preview && s.Picture == Preview.get() && s.WorkFile == WorkFile &&
         s.Rotation == Rotation && s.ImageType == ImageType && s.Brightness == Brightness &&
         s.Contrast == Contrast && s.Page == Page;
}

void TShpora::Process(std::unique_ptr<TFastDIB> picture, bool keepFull) {
  ProcessPicture(std::move(picture), keepFull, false);
}

void TShpora::ProcessPicture(std::unique_ptr<TFastDIB> picture, bool keepFull, bool fromWorkFile) {
  DropFullImage();
  if (!picture || picture->IsEmpty())
    throw std::runtime_error("The photo holds no picture to process.");
  // The decoded working file with the values the Preview was made with gives that same Preview
  // again: it stays, and without FullImage there is nothing left to compute.
  const bool previewStands = fromWorkFile && PreviewMatchesWorkFile();
  if (previewStands && !keepFull) return;
  picture = AsColour(std::move(picture));
  if (Page.Straightened() && IsUsablePageQuad(Page.Corners, picture->Width(), picture->AbsHeight))
    picture = FlattenPage(*picture, Page.Corners);

  std::unique_ptr<TFastDIB> full;
  double angle = 0;
  int32_t tw = 0, th = 0;
  const bool turned = RotationStep(Rotation, picture->Width(), picture->AbsHeight, angle, tw, th);
  if (turned && ImageType != 0) {
    // The photocopy filter reads nothing of the turned colour picture but its gray values and
    // then writes every pixel of it. Gray values are per pixel and a turn only moves pixels, so
    // the turned gray image is the gray image turned, a third of the bytes to move; the turn's
    // unwritten edge is 0 either way (the gray of black, and a new 8-bit image).
    TFastDIB unturned(picture->Width(), 8, picture->Height(), TFastDIB::TUncleared{});
    picture->ConvertToGray(unturned);
    picture.reset();
    TFastDIB gray(tw, 8, th);
    unturned.RotateInto(gray, 65536, angle);
    full = std::make_unique<TFastDIB>(tw, 24, th, TFastDIB::TUncleared{});
    PhotocopyFromGray(gray, *full);
  } else {
    if (turned) {
      full = std::make_unique<TFastDIB>(tw, 24, th);
      picture->RotateInto(*full, 65536, angle);
      picture.reset();
    } else {
      full = std::move(picture);
    }
    if (ImageType != 0) {
      PhotocopyFilter(*full);
    } else {
      const int brightness = ToneAmount(Brightness);
      const int contrast = ToneAmount(Contrast);
      full->ApplyBrightness(brightness, brightness, brightness);
      full->ApplyContrast(contrast, contrast, contrast);
    }
  }

  if (!previewStands) {
    // The old preview stays until the new one is complete.
    auto preview =
        std::make_unique<TFastDIB>(kFrameWidth, 24, kFrameHeight, TFastDIB::TUncleared{});
    full->ResampleInto(*preview, FilterBlackman);
    Preview = std::move(preview);
    PreviewSource = fromWorkFile ? CurrentSource() : TPreviewSource();
  }
  if (keepFull) FullImage = std::move(full);
}

void TShpora::Reload(bool keepFull) {
  if (WorkFile.isEmpty()) throw std::runtime_error("This photo has no working copy to read.");
  // Decode before touching the record: a missing or damaged file leaves its pictures as they are.
  std::unique_ptr<TFastDIB> picture;
  try {
    picture = LoadWorkingCopy(WorkFile);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(QStringLiteral("The working copy of a photo (%1) cannot be read: %2")
                                 .arg(Shown(WorkFile), QString::fromStdString(e.what()))
                                 .toStdString());
  }
  ProcessPicture(std::move(picture), keepFull, true);
}

void TShpora::DrawCell(QPainter& surface, int x, int y, int width, int height, bool useFull,
                       bool crop) {
  TFastDIB* source = nullptr;
  if (useFull) {
    if (!FullImage) Reload(true);
    source = FullImage.get();
  } else {
    if (!Preview) Reload(false);
    source = Preview.get();
  }
  if (width <= 0 || height <= 0) return;

  TCropRect r{0, 0, source->Width(), source->AbsHeight};
  if (crop) r = MapCrop(source->Width(), source->AbsHeight);

  // A crop that maps to nothing leaves the view empty and the cell black; otherwise the
  // resample writes every pixel of the cell.
  TFastDIB view;
  if (r.W > 0 && r.H > 0) view.AttachRegion(*source, r.X0, r.Y0, r.W, r.H);
  if (view.IsEmpty()) {
    TFastDIB(width, 24, height).DrawTo(surface, x, y);
    return;
  }
  TFastDIB cell(width, 24, height, TFastDIB::TUncleared{});
  view.ResampleInto(cell, FilterBox);
  cell.DrawTo(surface, x, y);
}

void TShpora::ExportPage(const QString& fileName, bool asPng, int width, int height) {
  if (!FullImage) Reload(true);
  const TCropRect r = MapCrop(FullImage->Width(), FullImage->AbsHeight);
  if (r.W <= 0 || r.H <= 0)
    throw std::runtime_error(
        QStringLiteral("Cannot export %1: the photo's crop edges leave nothing of the page.")
            .arg(Shown(fileName))
            .toStdString());

  const bool ownSize = width <= 0 || height <= 0;
  const int32_t pw = ownSize ? r.W : width;
  const int32_t ph = ownSize ? r.H : height;
  if (int64_t(pw) * ph > kMaxPagePixels)
    throw std::runtime_error(QStringLiteral("Cannot export %1: the page would be too large "
                                            "(%2 x %3 pixels).")
                                 .arg(Shown(fileName))
                                 .arg(pw)
                                 .arg(ph)
                                 .toStdString());

  auto page = std::make_unique<TFastDIB>(pw, 24, ph);
  if (ownSize) {
    page->CopyRectFrom(*FullImage, 0, 0, r.X0, r.Y0, r.W, r.H);
  } else {
    TFastDIB view;
    view.AttachRegion(*FullImage, r.X0, r.Y0, r.W, r.H);
    if (!view.IsEmpty()) view.ResampleInto(*page, FilterBox);
  }
  page->DrawTextLine(0, page->AbsHeight - 20, ExportCaption());

  // Both writers go through a temporary file and a rename: a failure leaves whatever was under
  // the name before, and the record keeps FullImage.
  if (asPng)
    SavePngFile(*page, fileName);
  else
    SaveJpegFile(*page, fileName, kJpegQuality);
  page.reset();
  DropFullImage();
}
