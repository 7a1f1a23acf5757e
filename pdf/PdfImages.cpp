#include "PdfImages.h"

#include <array>
#include <cstdlib>
#include <stdexcept>

#include <zlib.h>

#include "Codecs.h"

namespace {

// The gray value of each index of an 8-bit picture, and whether every index the picture uses
// is gray; for 24 bits the identity.
struct TGrayTable {
  std::array<uint8_t, 256> Value{};
  std::array<bool, 256> Gray{};
};

TGrayTable GrayTableOf(const TFastDIB& image) {
  TGrayTable table;
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& c = image.Colors[i];
    table.Value[i] = c.Red;
    table.Gray[i] = c.Red == c.Green && c.Green == c.Blue;
  }
  return table;
}

// A picture row from the top: memory rows are bottom-up.
const uint8_t* PictureRow(const TFastDIB& image, int32_t y) {
  return image.Scanlines[static_cast<size_t>(image.AbsHeight - 1 - y)];
}

uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// Magnitude of a filtered byte read as signed: small values and values near 256 both mean a
// good prediction.
inline uint32_t Cost(uint8_t v) { return v < 128 ? v : 256u - v; }

// Writes `row` filtered with the filter that costs least into out[0] (the filter byte) and
// out[1..width]; `previous` is the row above (zeros for the top row).
void FilterRow(const uint8_t* row, const uint8_t* previous, int32_t width, TPngRowFilter mode,
               std::vector<uint8_t>& scratch, uint8_t* out) {
  if (mode != TPngRowFilter::Adaptive) {
    out[0] = 0;
    std::copy(row, row + width, out + 1);
    return;
  }
  const size_t w = static_cast<size_t>(width);
  scratch.resize(5 * w);
  uint8_t* f[5];
  for (size_t k = 0; k < 5; ++k) f[k] = scratch.data() + k * w;
  uint32_t cost[5] = {};
  for (size_t x = 0; x < w; ++x) {
    const int a = x > 0 ? row[x - 1] : 0;
    const int b = previous[x];
    const int c = x > 0 ? previous[x - 1] : 0;
    const int v = row[x];
    f[0][x] = static_cast<uint8_t>(v);
    f[1][x] = static_cast<uint8_t>(v - a);
    f[2][x] = static_cast<uint8_t>(v - b);
    f[3][x] = static_cast<uint8_t>(v - ((a + b) >> 1));
    f[4][x] = static_cast<uint8_t>(v - Paeth(a, b, c));
    for (int k = 0; k < 5; ++k) cost[k] += Cost(f[k][x]);
  }
  int best = 0;
  for (int k = 1; k < 5; ++k)
    if (cost[k] < cost[best]) best = k;
  out[0] = static_cast<uint8_t>(best);
  std::copy(f[best], f[best] + w, out + 1);
}

class TDeflater {
 public:
  explicit TDeflater(int level) {
    if (deflateInit(&Stream, level) != Z_OK) throw std::runtime_error("zlib could not start");
  }
  ~TDeflater() { deflateEnd(&Stream); }
  TDeflater(const TDeflater&) = delete;
  TDeflater& operator=(const TDeflater&) = delete;

  void Feed(const uint8_t* data, size_t size, bool last,
            const std::function<void(const char*, int64_t)>& sink) {
    Stream.next_in = const_cast<Bytef*>(data);
    Stream.avail_in = static_cast<uInt>(size);
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    for (;;) {
      Stream.next_out = Out.data();
      Stream.avail_out = static_cast<uInt>(Out.size());
      const int result = deflate(&Stream, flush);
      if (result == Z_STREAM_ERROR) throw std::runtime_error("zlib could not compress a picture");
      const size_t produced = Out.size() - Stream.avail_out;
      if (produced > 0) {
        sink(reinterpret_cast<const char*>(Out.data()), static_cast<int64_t>(produced));
        Total += static_cast<int64_t>(produced);
      }
      if (last ? result == Z_STREAM_END : Stream.avail_out != 0) break;
    }
  }
  int64_t Total = 0;

 private:
  z_stream Stream{};
  std::array<Bytef, 1 << 16> Out{};
};

}  // namespace

bool IsGrayPicture(const TFastDIB& image) {
  if (image.IsEmpty()) return false;
  const size_t width = static_cast<size_t>(image.Width());
  if (image.BitCount() == 24) {
    for (int32_t y = 0; y < image.AbsHeight; ++y) {
      const uint8_t* p = image.Scanlines[static_cast<size_t>(y)];
      // Both comparisons are folded into one test per pixel so the loop has no early exit to
      // predict; the row is rejected at its end.
      unsigned differ = 0;
      for (size_t x = 0; x < width; ++x, p += 3)
        differ |= static_cast<unsigned>(p[0] ^ p[1]) | static_cast<unsigned>(p[1] ^ p[2]);
      if (differ != 0) return false;
    }
    return true;
  }
  if (image.BitCount() == 8) {
    const TGrayTable table = GrayTableOf(image);
    for (int32_t y = 0; y < image.AbsHeight; ++y) {
      const uint8_t* p = image.Scanlines[static_cast<size_t>(y)];
      for (size_t x = 0; x < width; ++x)
        if (!table.Gray[p[x]]) return false;
    }
    return true;
  }
  return false;
}

namespace {

// Deflates the filtered picture rows for which `take(y)` holds (all rows: the stream itself).
int64_t DeflateRows(const TFastDIB& image, int level, TPngRowFilter filter,
                    const std::function<bool(int32_t)>& take,
                    const std::function<void(const char*, int64_t)>& sink) {
  const int32_t width = image.Width();
  const size_t w = static_cast<size_t>(width);
  const TGrayTable table = GrayTableOf(image);
  std::vector<uint8_t> previous(w, 0), current(w), scratch, out(w + 1);
  TDeflater deflater(level);
  int32_t last = image.AbsHeight - 1;
  while (last > 0 && take && !take(last)) --last;
  for (int32_t y = 0; y <= last; ++y) {
    if (take && !take(y)) continue;
    const uint8_t* p = PictureRow(image, y);
    if (image.BitCount() == 24) {
      for (size_t x = 0; x < w; ++x) current[x] = p[3 * x];
    } else {
      for (size_t x = 0; x < w; ++x) current[x] = table.Value[p[x]];
    }
    // A sampled row is predicted from the row above it in the picture, as in the real stream.
    if (take && y > 0) {
      const uint8_t* above = PictureRow(image, y - 1);
      for (size_t x = 0; x < w; ++x)
        previous[x] = image.BitCount() == 24 ? above[3 * x] : table.Value[above[x]];
    }
    FilterRow(current.data(), previous.data(), width, filter, scratch, out.data());
    deflater.Feed(out.data(), out.size(), y == last, sink);
    std::swap(previous, current);
  }
  return deflater.Total;
}

}  // namespace

TPngRowFilter ChooseRowFilter(const TFastDIB& image) {
  const auto sample = [](int32_t y) { return (y / 32) % 8 == 0; };
  const auto nowhere = [](const char*, int64_t) {};
  const int64_t none = DeflateRows(image, 6, TPngRowFilter::None, sample, nowhere);
  const int64_t adaptive = DeflateRows(image, 6, TPngRowFilter::Adaptive, sample, nowhere);
  return none <= adaptive ? TPngRowFilter::None : TPngRowFilter::Adaptive;
}

int64_t DeflateGrayRows(const TFastDIB& image, const TFlateSettings& settings,
                        const std::function<void(const char* data, int64_t size)>& sink) {
  if (image.IsEmpty() || (image.BitCount() != 8 && image.BitCount() != 24))
    throw std::runtime_error("Only a non-empty 8- or 24-bit picture can be stored as gray");
  const TPngRowFilter filter =
      settings.Filter == TPngRowFilter::Auto ? ChooseRowFilter(image) : settings.Filter;
  return DeflateRows(image, settings.Level, filter, {}, sink);
}

QByteArray EncodeColorJpeg(const TFastDIB& image, int quality) {
  if (!image.IsEmpty() && image.BitCount() == 8) {
    TFastDIB color(image.Width(), 24, image.AbsHeight);
    image.ConvertInto(color);
    return EncodeJpeg(color, quality);
  }
  return EncodeJpeg(image, quality);
}
