#include "FastDIB.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

bool ProcessorHasAvx2() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

std::atomic<bool>& VectorLoopsFlag() {
  static std::atomic<bool> enabled{ProcessorHasAvx2()};
  return enabled;
}

}  // namespace

bool VectorLoopsEnabled() { return VectorLoopsFlag().load(std::memory_order_relaxed); }

void SetVectorLoopsEnabled(bool enabled) {
  static const bool available = ProcessorHasAvx2();
  VectorLoopsFlag().store(enabled && available, std::memory_order_relaxed);
}

TBitmapSection::TBitmapSection(const TBitmapInfo& info, bool clear) : Info(info) {
  const TBitmapInfoHeader& h = info.Header;
  Stride = RowStride(h.Width, h.BitCount);
  const int64_t rows = h.Height < 0 ? -static_cast<int64_t>(h.Height) : h.Height;
  const size_t bytes = static_cast<size_t>(rows) * static_cast<size_t>(Stride);
  if (clear) {
    // calloc: a fresh block is all zero (black at 24 bits, index 0 at 8 bits).
    Bits = static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
  } else {
    // malloc reuses the blocks of images released before without clearing them, which calloc
    // would have to do; the owner writes every pixel, and the gaps at the row ends are zeroed
    // here as in any image.
    Bits = static_cast<uint8_t*>(std::malloc(bytes ? bytes : 1));
    const size_t used = static_cast<size_t>(RowBytesUsed(h.Width, h.BitCount));
    if (Bits && used < static_cast<size_t>(Stride))
      for (int64_t r = 0; r < rows; ++r) std::memset(Bits + r * Stride + used, 0, Stride - used);
  }
  if (!Bits) throw std::bad_alloc();
  Info.Header.SizeImage = static_cast<uint32_t>(bytes);
}

TBitmapSection::~TBitmapSection() { std::free(Bits); }

TFastDIB::TFastDIB() { Colors = Header.Colors; }

TFastDIB::TFastDIB(int32_t width, int32_t depth, int32_t height) : TFastDIB() {
  SetSize(width, height, depth);
}

TFastDIB::TFastDIB(int32_t width, int32_t depth, int32_t height, TUncleared) : TFastDIB() {
  Allocate(width, height, depth, false);
}

TFastDIB::~TFastDIB() { ReleasePixels(); }

void TFastDIB::ReleasePixels() {
  if (OwnsSurface) delete Surface;
  Surface = nullptr;
  OwnsSurface = false;
  if (OwnsBitmap) delete BitmapHandle;
  BitmapHandle = nullptr;
  OwnsBitmap = false;
  Bits = nullptr;
}

void TFastDIB::FillScanlines(int32_t rows) {
  Scanlines.assign(static_cast<size_t>(rows), nullptr);
  for (int32_t i = 0; i < rows; ++i) Scanlines[i] = Bits + static_cast<ptrdiff_t>(i) * Stride;
}

void TFastDIB::SetSize(int32_t width, int32_t height, int32_t depth) {
  const TBitmapInfoHeader& h = Header.Header;
  if (Surface && width == h.Width && height == h.Height && depth == h.BitCount) return;
  Allocate(width, height, depth, true);
}

void TFastDIB::Allocate(int32_t width, int32_t height, int32_t depth, bool clear) {
  TBitmapInfoHeader& h = Header.Header;
  h.Width = width;
  h.Height = height;
  h.BitCount = static_cast<uint16_t>(depth);
  h.Compression = 0;
  AbsHeight = height < 0 ? -height : height;
  Stride = RowStride(width, depth);
  Gap = Stride - RowBytesUsed(width, depth);
  h.SizeImage = static_cast<uint32_t>(static_cast<int64_t>(AbsHeight) * Stride);
  ReleasePixels();
  auto section = std::make_unique<TBitmapSection>(Header, clear);
  Colors = Header.Colors;
  BitmapHandle = section.release();
  Bits = BitmapHandle->Bits;
  OwnsBitmap = true;
  Surface = new TSurface(*this);
  OwnsSurface = true;
  OwnsBits = false;
  FillScanlines(AbsHeight);
}

void TFastDIB::LoadFromBitmapHandle(TBitmapHandle handle) {
  const TBitmapInfoHeader& src = handle->Info.Header;
  // Every byte is copied over at once, so a new block need not be cleared first.
  const TBitmapInfoHeader& h = Header.Header;
  if (!Surface || src.Width != h.Width || src.Height != h.Height || src.BitCount != h.BitCount)
    Allocate(src.Width, src.Height, src.BitCount, false);
  std::memcpy(Bits, handle->Bits, static_cast<size_t>(AbsHeight) * Stride);
  if (src.BitCount <= 8) {
    std::memcpy(Header.Colors, handle->Info.Colors, sizeof(Header.Colors));
    UpdateSurfacePalette();
  }
}

void TFastDIB::AttachRegion(const TFastDIB& source, int32_t x, int32_t y, int32_t width,
                            int32_t height) {
  if (!source.Bits || x >= source.Width() || y >= source.AbsHeight) return;
  // The clipping works in 64 bits: a rectangle from a damaged document's crop edges may reach
  // far beyond 32 bits on either side, and clipped it always fits the source again.
  int64_t vx = x, vy = y, vw = width, vh = height;
  // The memory row of the rectangle's lowest row, from the unclipped height.
  if (source.Height() > 0) vy = int64_t(source.AbsHeight) - vh - vy;
  if (vx < 0) {
    vw += vx;
    vx = 0;
  }
  if (vy < 0) {
    vh += vy;
    vy = 0;
  }
  if (vx + vw >= source.Width()) vw = source.Width() - vx;
  if (vy + vh >= source.AbsHeight) vh = source.AbsHeight - vy;
  if (vw <= 0 || vh <= 0) return;
  x = static_cast<int32_t>(vx);
  y = static_cast<int32_t>(vy);
  width = static_cast<int32_t>(vw);
  height = static_cast<int32_t>(vh);

  int32_t offset = 0;
  switch (source.BitCount()) {
    case 1:
      offset = x / 8;
      break;
    case 4:
      offset = x / 2;
      break;
    case 8:
      offset = x;
      break;
    case 16:
      offset = 2 * x;
      break;
    case 24:
      offset = 3 * x;
      break;
    case 32:
      offset = 4 * x;
      break;
    default:
      return;
  }
  TBitmapInfoHeader& h = Header.Header;
  h.Width = width;
  h.Height = height;
  h.BitCount = source.Header.Header.BitCount;
  h.Compression = 0;
  h.SizeImage = 0;
  AbsHeight = height;
  Stride = source.Stride;
  Gap = source.Stride - RowBytesUsed(width, h.BitCount);
  Bits = source.Scanlines[y] + offset;
  Colors = source.Colors;
  Surface = source.Surface;
  BitmapHandle = source.BitmapHandle;
  OwnsSurface = false;
  OwnsBitmap = false;
  FillScanlines(height);
}

void TFastDIB::UpdateSurfacePalette() {
  // The surface reads Colors whenever it draws, so there is nothing to hand over; the call stays
  // so that every palette change has one place to notify.
}
