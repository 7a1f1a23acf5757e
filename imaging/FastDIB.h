#pragma once
// TFastDIB: the one raster image type of the program.
//
// An image is Width x AbsHeight pixels at 8 bits (an index into a 256-entry colour table that
// holds a gray ramp) or 24 bits (blue, green, red). Rows are padded to a multiple of 4 bytes and,
// with the positive Height every image here has, stored bottom-up: memory row 0 (Scanlines[0]) is
// the bottom row of the picture. Pixel operations walk Scanlines and never depend on the
// orientation as long as source and target share it; operations that take picture coordinates
// (AttachRegion, CopyRectFrom) measure y from the top and convert.
//
// Every operation writes into a target the caller has created with the wanted size and depth;
// none allocates its result for the caller. Operations on an empty image do nothing.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "PixelThreads.h"

class QImage;
class QPainter;

struct BgrPixel {
  uint8_t Blue, Green, Red;
};
static_assert(sizeof(BgrPixel) == 3);

struct PaletteEntry {
  uint8_t Blue, Green, Red, Reserved;
};
static_assert(sizeof(PaletteEntry) == 4);

#pragma pack(push, 1)
// The 40-byte bitmap info header, little-endian, followed by the 256-entry colour table.
struct TBitmapInfoHeader {
  int32_t Size = 40;
  int32_t Width = 0;
  int32_t Height = 0;  // positive: bottom-up rows
  uint16_t Planes = 1;
  uint16_t BitCount = 0;
  uint32_t Compression = 0;
  uint32_t SizeImage = 0;  // AbsHeight x Stride; 0 in a region view
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ClrUsed = 0;
  uint32_t ClrImportant = 0;
};
struct TBitmapInfo {
  TBitmapInfoHeader Header;
  PaletteEntry Colors[256] = {};
};
#pragma pack(pop)
static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(sizeof(TBitmapInfo) == 1064);

// A pixel block with its description: what a codec hands over and what an image's pixels live in.
// Rows follow the same stride rule and orientation as TFastDIB. The block is zero-filled when
// created and freed with the section.
struct TBitmapSection {
  TBitmapInfo Info;
  uint8_t* Bits = nullptr;
  int32_t Stride = 0;

  // Allocates a zero-filled block for the header in `info`; throws std::bad_alloc on failure.
  // With `clear` false only the bytes past each row's pixels are zeroed and the pixels hold
  // whatever the memory held before: for an owner that writes every pixel at once.
  explicit TBitmapSection(const TBitmapInfo& info, bool clear = true);
  ~TBitmapSection();
  TBitmapSection(const TBitmapSection&) = delete;
  TBitmapSection& operator=(const TBitmapSection&) = delete;
};
using TBitmapHandle = TBitmapSection*;

class TFastDIB;

// The drawing surface of an image: draws text into the image's pixel block and copies the block
// 1:1 onto other drawing targets. It never owns pixels.
class TSurface {
 public:
  explicit TSurface(TFastDIB& owner) : Owner(owner) {}
  TFastDIB& Owner;
};

// Resampling kernels of ResampleInto, by number.
enum ResampleFilter : int {
  FilterNearest = 0,
  FilterBox = 1,
  FilterTriangle = 2,
  FilterHann = 3,
  FilterHamming = 4,
  FilterHermite = 5,
  FilterBell = 6,
  FilterCatmullRom = 7,
  FilterBSpline = 8,
  FilterSpline16 = 9,
  FilterMitchell = 10,
  FilterGaussian = 11,
  FilterSpline36 = 12,
  FilterSinc = 13,
  FilterLanczos3 = 14,
  FilterBlackman = 15,
};

// The kernel of `filter` at x, evaluated in extended precision and rounded to double, and its
// support radius (0 for numbers outside 0..15). ResampleInto builds its weights from these.
double ResampleKernelValue(int filter, double x);
double ResampleKernelSupport(int filter);

// Bytes from one row to the next: the row's bits rounded up to a multiple of 32, in bytes.
constexpr int32_t RowStride(int32_t width, int32_t bitCount) {
  return static_cast<int32_t>(((static_cast<int64_t>(width) * bitCount + 31) / 32) * 4);
}
// Bytes the pixels of a row use.
constexpr int32_t RowBytesUsed(int32_t width, int32_t bitCount) {
  return static_cast<int32_t>((static_cast<int64_t>(width) * bitCount + 7) / 8);
}

// The pixel loops of the hot paths have a form for the processor's AVX2 instructions, used where
// the processor has them, beside their plain form; both give the same pixels, bit for bit.
// Switching the vector form off (process-wide) lets tests and benchmarks compare the two; on a
// processor without AVX2 it stays off whatever is asked.
bool VectorLoopsEnabled();
void SetVectorLoopsEnabled(bool enabled);

// The pixel passes split their rows between threads (see PixelThreads.h); included here so
// that every user of an image has the thread setting at hand.

// Fills entries first..last of a 256-byte table with a 16.16 ramp from `start` towards `end`.
// Entries outside first..last are untouched; nothing is written when last <= first.
void MakeRampTable(uint8_t* table, int first, int start, int end, int last);

class TFastDIB {
 public:
  TSurface* Surface = nullptr;           // null for an empty image or a view's own surface
  TBitmapHandle BitmapHandle = nullptr;  // the section that holds the pixel block
  int32_t Stride = 0;
  int32_t AbsHeight = 0;
  int32_t Gap = 0;                 // bytes at the end of each row that hold no pixels
  uint8_t* Bits = nullptr;         // memory row 0
  PaletteEntry* Colors = nullptr;  // Header.Colors, or the source's table for a view
  TBitmapInfo Header;
  std::vector<uint8_t*> Scanlines;  // Scanlines[i] == Bits + i * Stride
  bool OwnsSurface = false;
  bool OwnsBits = false;  // never true here: blocks always belong to a section
  bool OwnsBitmap = false;

  // An empty image: no rows, no surface, Colors at the own all-zero table.
  TFastDIB();
  // An image of width x height at `depth` bits per pixel (note the argument order).
  TFastDIB(int32_t width, int32_t depth, int32_t height);
  // The same for a caller that writes every pixel before anything reads one (a decoder, the
  // target of a resample): the pixels start undefined instead of black, which saves clearing
  // them. The bytes past each row's pixels are zero as in any image.
  struct TUncleared {};
  TFastDIB(int32_t width, int32_t depth, int32_t height, TUncleared);
  ~TFastDIB();
  TFastDIB(const TFastDIB&) = delete;
  TFastDIB& operator=(const TFastDIB&) = delete;

  int32_t Width() const { return Header.Header.Width; }
  int32_t Height() const { return Header.Header.Height; }
  int32_t BitCount() const { return Header.Header.BitCount; }
  bool IsEmpty() const { return Width() <= 0 || AbsHeight <= 0 || Bits == nullptr; }

  // Allocates the pixels. Returns at once, keeping the pixels, when the image has a surface and
  // the size and depth are unchanged; otherwise the image gets a fresh all-zero block.
  void SetSize(int32_t width, int32_t height, int32_t depth);

  // Decodes a JPEG file at full scale with the decoder's accurate settings: a colour file gives a
  // 24-bit image, a grayscale file an 8-bit image with the decoder's gray table.
  // Throws std::runtime_error with a readable message for a missing, unreadable or broken file.
  static std::unique_ptr<TFastDIB> LoadFromJpegFile(const QString& path);

  // Makes this image a copy of a section: size, signed height, bit count, colour table, pixels.
  void LoadFromBitmapHandle(TBitmapHandle handle);

  // Turns this empty image into a view of a rectangle of `source` (y from the top of the
  // picture), clipped to the source; no pixels are copied. A rectangle that clips to nothing
  // leaves the image empty. The view must not outlive its source.
  void AttachRegion(const TFastDIB& source, int32_t x, int32_t y, int32_t width, int32_t height);

  // Hands the colour table to the surface; called by every operation that changes it.
  void UpdateSurfacePalette();

  // --- Pixel format conversion ---
  // Fills colour table entries first..last with a gradient through `colours` (at least one;
  // first < last), then updates the surface palette.
  void FillPaletteGradient(int first, int last, const BgrPixel* colours, int count);
  // Makes `target` an 8-bit image of this size with the gray table and fills it with the gray
  // values of this image (sources of 8, 16, 24 and 32 bits).
  void ConvertToGray(TFastDIB& target) const;
  // Copies the pixels into `target` (same width and rows, created by the caller), converting the
  // pixel format: same depth is a byte copy; 8 to 24 bits looks each index up in Colors.
  void ConvertInto(TFastDIB& target) const;

  // --- Resampling (target created by the caller; a source of another depth than the target
  // throws std::runtime_error, since it would be read outside its rows) ---
  // Bilinear resize in 16.16 fixed point; variants 8, 16, 24, 32 bits by the target's depth.
  void QuickResizeInto(TFastDIB& target) const;
  // The same for the target's memory rows firstRow..endRow-1 alone, written as the whole resize
  // writes them: for making a picture while its source is still being decoded.
  void QuickResizeRowsInto(TFastDIB& target, int32_t firstRow, int32_t endRow) const;
  // The lowest source memory row that target memory rows `row` and up read, for a source of
  // sourceRows rows resized to targetRows.
  static int32_t QuickResizeLowestSourceRow(int32_t sourceRows, int32_t targetRows, int32_t row);
  // Separable two-pass resample with kernel `filter` (0..15; others do nothing).
  void ResampleInto(TFastDIB& target, int filter) const;

  // --- Tone and geometry ---
  // 24/32 bits: pixel bytes through the tables; 8 bits and below: the colour table instead.
  void ApplyChannelTables(const uint8_t* red, const uint8_t* green, const uint8_t* blue);
  void ApplyBrightness(int red, int green, int blue);
  void ApplyContrast(int red, int green, int blue);
  // Gamma values <= 0 leave the image unchanged.
  void ApplyGamma(double red, double green, double blue);
  // One in-place smoothing pass at distance d; each pixel reads already smoothed neighbours.
  void SmoothPass(int distance);
  // Turns this image by `angle` degrees and scales it by scale/65536 into `target` (same depth,
  // created by the caller). Target pixels whose point falls outside the source keep their value.
  void RotateInto(TFastDIB& target, int32_t scale, double angle) const;

  // --- Drawing and output ---
  // Copies the whole image 1:1 (no blending or scaling) with its top-left at (x, y) of the
  // painter's device; the picture comes out upright.
  void DrawTo(QPainter& painter, int x, int y) const;
  // Copies the whole image 1:1 into another image of the same depth (8 bits or more), or an
  // 8-bit image into a 24-bit one through its colour table; (x, y) measured from the target's
  // top-left, clipped to it. The fast path for drawing cells onto a sheet held as a TFastDIB.
  // Other pairs of depths copy nothing.
  void DrawTo(TFastDIB& target, int x, int y) const;
  // Draws one line of text, black on an opaque white cell, top-left at (x, y) from the top;
  // pixels outside the cell are untouched. Needs the application's font system (a
  // QGuiApplication); without one it throws std::runtime_error.
  void DrawTextLine(int x, int y, const QString& text);
  // Copies a width x height rectangle of `source` at (srcX, srcY) to (destX, destY), picture
  // coordinates from the top, clipped to both images; same depth of 8 bits or more.
  void CopyRectFrom(const TFastDIB& source, int destX, int destY, int srcX, int srcY, int width,
                    int height);

 private:
  void ReleasePixels();
  void FillScanlines(int32_t rows);
  void Allocate(int32_t width, int32_t height, int32_t depth, bool clear);
};

// An upright copy of the image for Qt: 8 bits as Format_Indexed8 with the colour table, 16 bits
// as Format_RGB555, 24 bits as Format_BGR888, 32 bits as Format_RGB32. A null image for an empty
// image or another depth.
QImage ToQImage(const TFastDIB& image);
