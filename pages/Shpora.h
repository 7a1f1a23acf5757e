#pragma once
// TShpora: one photo of the document. It keeps what the user decided about the photo (eight
// parameters), a private working JPEG in the work folder, and up to two cached processed pictures.
//
// The crop edges live in a 420 x 594 reference frame (A4 at 2 units per millimetre) whatever the
// photo's size; Preview has exactly that size, so on it one unit is one pixel.
#include <cstdint>
#include <functional>
#include <memory>

#include <QString>

#include "FastDIB.h"
#include "PageFind.h"
#include "PageWarp.h"

class QPainter;

constexpr int32_t kFrameWidth = 420;
constexpr int32_t kFrameHeight = 594;
// The working JPEG is at most this many pixels on its longer side.
constexpr int32_t kWorkLongSide = 1500;
// JPEG quality of working copies and JPEG exports.
constexpr int kJpegQuality = 90;

// The page's four corners in the photo and whether the photo is flattened by them. The corners are
// in the working JPEG's picture coordinates (PageWarp.h), before any rotation.
struct TPageGeometry {
  bool HasCorners = false;
  TPageQuad Corners;
  bool Straighten = false;  // only with HasCorners
  bool Straightened() const { return HasCorners && Straighten; }
  bool operator==(const TPageGeometry& o) const {
    if (HasCorners != o.HasCorners || Straighten != o.Straighten) return false;
    if (!HasCorners) return true;
    for (int i = 0; i < 4; ++i)
      if (Corners.Corners[i].X != o.Corners.Corners[i].X ||
          Corners.Corners[i].Y != o.Corners.Corners[i].Y)
        return false;
    return true;
  }
};

// The eight parameters, in the order the document file stores them, and the page geometry,
// which a document keeps in a block of its own after the photos.
class TShporaData {
 public:
  int32_t Rotation = 0;    // 0 none, 1 +90 (clockwise), 2 -90, 3 180; other values: none
  int32_t ImageType = 1;   // 0 colour; anything else: the photocopy filter ("Grayscale")
  int32_t Brightness = 1;  // -20..20 in the editor
  int32_t Contrast = 1;    // -20..20 in the editor
  int32_t CropLeft = 40;
  int32_t CropRight = kFrameWidth - 40;
  int32_t CropTop = 40;
  int32_t CropBottom = kFrameHeight - 40;
  TPageGeometry Page;  // none: the photo is processed as it lies

  TShporaData() = default;

  // A record whose parameters are all zero, for a document reader that fills them itself.
  struct Zeroed {};
  explicit TShporaData(Zeroed)
      : Rotation(0),
        ImageType(0),
        Brightness(0),
        Contrast(0),
        CropLeft(0),
        CropRight(0),
        CropTop(0),
        CropBottom(0) {}
};

// A rectangle of a picture, y from the top.
struct TCropRect {
  int32_t X0 = 0, Y0 = 0, W = 0, H = 0;
};

// What the import may do with the reduced picture it holds before the record is processed: look
// at it (to find the page, say) and set the record's parameters, which processing then uses.
using TImportHook = std::function<void(const TFastDIB& picture, TShporaData& record)>;

class TShpora : public TShporaData {
 public:
  std::unique_ptr<TFastDIB> Preview;    // 420 x 594, 24 bits, cached
  std::unique_ptr<TFastDIB> FullImage;  // the processed picture at working size, 24 bits
  QString WorkFile;                     // full path of the working JPEG

  // The import: decodes the photo at a scale chosen by its size, turns it if wider than high,
  // reduces it to at most 1500 pixels on its longer side, writes the working JPEG (quality 90)
  // under a free number in `folder` (which ends with a separator) and builds Preview.
  // Throws std::runtime_error (the photo unreadable, the work file unwritable, no free name);
  // no file is left behind then. `beforeProcess`, when set, sees the reduced picture (the working
  // JPEG's size, so corners found on it are working-copy coordinates) and may change the record's
  // parameters before Preview is built; what it throws ends the import the same way.
  static std::unique_ptr<TShpora> CreateFromPhoto(const QString& photoPath, const QString& folder,
                                                  const TImportHook& beforeProcess = {});

  // For a document being opened: WorkFile set, parameters zero, no pictures. The caller sets the
  // parameters, writes the working JPEG and calls Reload(false).
  static std::unique_ptr<TShpora> CreateForWorkFile(const QString& path);

  // The first prefix + n + suffix, n = 0 .. 99999, naming no existing file; empty if none is free.
  static QString FindFreeFileName(const QString& prefix, const QString& suffix);

  // The import's decoding scale for a photo of width x height: 1, 2, 4 or 8 by the ratio of its
  // longer side to 1500 (below 1.5, below 3, below 6, from 6 on).
  static int ImportScaleDenominator(int32_t width, int32_t height);

  ~TShpora();  // drops the pictures and deletes WorkFile (a failed delete is ignored)

  void DropPreview();
  void DropFullImage();
  void DropImages();

  // Decodes WorkFile and processes it. On failure (missing or damaged file) throws and the
  // record keeps the pictures it had.
  void Reload(bool keepFull);
  // Takes the picture: the page flattened when Page is straightened and its corners are usable for
  // the picture (unusable corners, from a damaged document, are ignored: the photo is processed as
  // it lies), rotation, then the photocopy filter or the colour tables, then Preview (Blackman);
  // FullImage stays only when keepFull.
  void Process(std::unique_ptr<TFastDIB> picture, bool keepFull);
  // The photocopy filter, in place on a 24-bit picture, with this record's Brightness/Contrast.
  void PhotocopyFilter(TFastDIB& picture) const;

  // Looks for the page in the working JPEG as it is stored (before rotation and straightening);
  // the corners are in its coordinates, ready for Page. Throws std::runtime_error when the
  // working copy cannot be read. The record is not changed.
  TPageFindResult FindPageInWorkingCopy() const;

  // The crop rectangle mapped onto a W x H picture (products first, truncating division).
  TCropRect MapCrop(int32_t width, int32_t height) const;

  // Draws the (cropped) page stretched to width x height at (x, y) of the painter's device:
  // from FullImage (useFull) or Preview, rebuilding the source when it is missing. A crop that
  // maps to nothing draws a black cell.
  void DrawCell(QPainter& surface, int x, int y, int width, int height, bool useFull, bool crop);

  // Writes the cropped page (its own size when width or height <= 0) with the caption line as
  // PNG or JPEG quality 90, replacing the file. Throws for a crop that maps to nothing (no file
  // is written) or a write failure (the previous file stays).
  void ExportPage(const QString& fileName, bool asPng, int width, int height);

 private:
  TShpora() = default;
  explicit TShpora(Zeroed z) : TShporaData(z) {}

  // What the current Preview was made from, when Reload made it: the working file, the four
  // parameters and the page geometry that shape the picture (the crop edges are applied only when
  // drawing). Decoding that file again with the same values gives the same picture, so a Preview
  // that matches need not be resampled again: printing rebuilds FullImage for every cell and keeps
  // the Preview. A Preview made from any other picture (the import's own reduced picture, which the
  // working JPEG only approximates) never matches.
  struct TPreviewSource {
    const TFastDIB* Picture = nullptr;  // the Preview this describes
    QString WorkFile;
    int32_t Rotation = 0, ImageType = 0, Brightness = 0, Contrast = 0;
    TPageGeometry Page;
  };
  TPreviewSource PreviewSource;

  // The photocopy filter from the picture's gray values (an 8-bit image of the picture's size):
  // writes every pixel of the 24-bit `picture`, which is not read.
  void PhotocopyFromGray(const TFastDIB& gray, TFastDIB& picture) const;

  // Decodes a working JPEG as Reload needs it. One whose header declares more than
  // kWorkLongSide pixels on either side was not written by the import: it is reported as damaged
  // (std::runtime_error naming the file) before anything is allocated for its pixels.
  static std::unique_ptr<TFastDIB> LoadWorkingCopy(const QString& path);

  TPreviewSource CurrentSource() const;
  bool PreviewMatchesWorkFile() const;
  void ProcessPicture(std::unique_ptr<TFastDIB> picture, bool keepFull, bool fromWorkFile);
};

// "Generated by Tavrolin (" + site address + ")": the caption line of an exported page.
QString ExportCaption();
