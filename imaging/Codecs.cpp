#include "Codecs.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
// clang-format on

namespace {

// Decoded pictures above this many pixels are refused before anything is allocated: no photo
// of a real camera comes near it, and a forged header must not make us allocate gigabytes.
constexpr int64_t kMaxDecodedPixels = int64_t(1) << 28;
// What the decoder itself may allocate. A progressive JPEG keeps every coefficient of the whole
// picture, whatever the output scale: a forged 65500 x 65500 header would ask for over 12 GB.
// With a limit, the decoder refuses such a picture with an error instead.
constexpr long kMaxDecoderMemory = 1L << 30;

std::runtime_error FileError(const QString& path, const QString& what) {
  return std::runtime_error(
      QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), what).toStdString());
}

// libjpeg's default error handler ends the process. This one keeps the library's message and
// jumps back to the guarded call, which releases the objects and throws.
struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// A file that ends early is only a warning to libjpeg (it pads with gray); for us it is a
// broken photo. Other warnings (extraneous bytes and the like) are harmless in camera files.
void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegErrorExit(cinfo);
  // The same when the picture's data stops at a marker (a cut file closed with an end marker,
  // or a forged header far larger than its data): the rest would be gray padding.
  if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER) JpegErrorExit(cinfo);
}

void InstallErrorManager(jpeg_decompress_struct& cinfo, JpegErrorManager& err) {
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JpegErrorExit;
  err.pub.emit_message = JpegEmitMessage;
  err.message[0] = 0;
}

// Runs `step` with the jump target set. The step must only hold trivially destructible locals:
// a jump out of it skips destructors.
template <typename Step>
bool Guarded(JpegErrorManager& err, Step&& step) {
  if (setjmp(err.jump)) return false;
  step();
  return true;
}

// Owns a decompressor for the length of one decode.
struct Decompressor {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err{};
  Decompressor() {
    InstallErrorManager(cinfo, err);
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  }
  ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
};

[[noreturn]] void ThrowJpegError(const QString& name, const JpegErrorManager& err) {
  // The decoder ran into its memory limit (it has no disk to spill to).
  if (err.pub.msg_code == JERR_NO_BACKING_STORE)
    throw FileError(name, QStringLiteral("the picture is too large to be decoded"));
  throw FileError(
      name,
      QStringLiteral("not a readable JPEG picture (%1)").arg(QString::fromLocal8Bit(err.message)));
}

void StartDecode(Decompressor& d, const QByteArray& data, const QString& name) {
  if (data.isEmpty()) throw FileError(name, QStringLiteral("the file is empty"));
  jpeg_decompress_struct* c = &d.cinfo;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  const auto size = static_cast<unsigned long>(data.size());
  if (!Guarded(d.err, [c, bytes, size] {
        jpeg_mem_src(c, bytes, size);
        jpeg_read_header(c, TRUE);
      }))
    ThrowJpegError(name, d.err);
}

void CheckDecodedSize(const Decompressor& d, const QString& name) {
  const int64_t pixels = int64_t(d.cinfo.output_width) * d.cinfo.output_height;
  if (pixels <= 0 || pixels > kMaxDecodedPixels)
    throw FileError(name, QStringLiteral("the picture is too large (%1 x %2 pixels)")
                              .arg(d.cinfo.output_width)
                              .arg(d.cinfo.output_height));
}

void CmykRowToBgr(const unsigned char* src, uint8_t* dst, int32_t w, bool inverted) {
  // Adobe writes CMYK inverted (255 = no ink); others store ink amounts.
  for (int32_t x = 0; x < w; ++x, src += 4, dst += 3) {
    int c = src[0], m = src[1], y = src[2], k = src[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    dst[0] = static_cast<uint8_t>((y * k + 127) / 255);
    dst[1] = static_cast<uint8_t>((m * k + 127) / 255);
    dst[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

void FillIdentityGrayTable(TFastDIB& image) {
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    image.Colors[i] = PaletteEntry{v, v, v, 0};
  }
  image.UpdateSurfacePalette();
}

// Sets the decoder up for the output (scale, transform, colour space), checks the output size,
// allocates the image and starts the decompression. `scratch` is the CMYK conversion's row.
std::unique_ptr<TFastDIB> StartDecoding(Decompressor& d, const QString& name, bool asColor,
                                        bool fastIdct, int denominator,
                                        std::vector<unsigned char>& scratch) {
  jpeg_decompress_struct* c = &d.cinfo;
  const bool cmyk = c->jpeg_color_space == JCS_CMYK || c->jpeg_color_space == JCS_YCCK;
  const bool gray = c->jpeg_color_space == JCS_GRAYSCALE;
  if (cmyk) {
    c->out_color_space = JCS_CMYK;
  } else if (gray && !asColor) {
    c->out_color_space = JCS_GRAYSCALE;
  } else {
    c->out_color_space = JCS_EXT_BGR;  // straight into the image's pixel order
  }
  c->scale_num = 1;
  c->scale_denom = static_cast<unsigned>(denominator);
  c->dct_method = fastIdct ? JDCT_IFAST : JDCT_ISLOW;
  if (!Guarded(d.err, [c] { jpeg_calc_output_dimensions(c); })) ThrowJpegError(name, d.err);
  CheckDecodedSize(d, name);
  const int depth = (gray && !asColor) ? 8 : 24;
  // The decoder writes every row; an image whose decoding fails is thrown away.
  auto image =
      std::make_unique<TFastDIB>(static_cast<int32_t>(c->output_width), depth,
                                 static_cast<int32_t>(c->output_height), TFastDIB::TUncleared{});
  if (depth == 8) FillIdentityGrayTable(*image);
  if (cmyk) scratch.resize(static_cast<size_t>(c->output_width) * 4);
  if (!Guarded(d.err, [c] { jpeg_start_decompress(c); })) ThrowJpegError(name, d.err);
  return image;
}

bool DecodesCmyk(const Decompressor& d) { return d.cinfo.out_color_space == JCS_CMYK; }

// The one row reader of every decoding: up to 16 more rows of a started decompression, and at
// the last row its end; the number of rows decoded so far. The picture's top row goes to the
// image's last memory row. Throws for a broken picture. The rows come out the same however many
// are asked for at a time, so a caller that hands rows on as they come and one that wants the
// whole picture share it.
int32_t ReadRows(Decompressor& d, TFastDIB& image, const QString& name,
                 std::vector<unsigned char>& scratch) {
  jpeg_decompress_struct* c = &d.cinfo;
  uint8_t** rows = image.Scanlines.data();
  const int32_t h = image.AbsHeight;
  const int32_t w = image.Width();
  const bool inverted = c->saw_Adobe_marker;
  unsigned char* cmykRow = DecodesCmyk(d) ? scratch.data() : nullptr;
  if (!Guarded(d.err, [c, rows, h, w, cmykRow, inverted] {
        const int32_t r = static_cast<int32_t>(c->output_scanline);
        if (cmykRow) {
          for (int32_t n = 0; n < 16 && c->output_scanline < c->output_height; ++n) {
            JSAMPROW row = cmykRow;
            const int32_t at = static_cast<int32_t>(c->output_scanline);
            jpeg_read_scanlines(c, &row, 1);
            CmykRowToBgr(cmykRow, rows[h - 1 - at], w, inverted);
          }
        } else {
          // Several rows at once: the decoder fills up to rec_outbuf_height per call.
          JSAMPROW batch[16];
          int32_t n = 0;
          while (n < 16 && r + n < h) {
            batch[n] = rows[h - 1 - (r + n)];
            ++n;
          }
          // The decoder may hand fewer rows than asked; the caller asks again.
          if (n > 0) jpeg_read_scanlines(c, batch, static_cast<JDIMENSION>(n));
        }
        if (c->output_scanline >= c->output_height) jpeg_finish_decompress(c);
      }))
    ThrowJpegError(name, d.err);
  return static_cast<int32_t>(c->output_scanline);
}

std::unique_ptr<TFastDIB> DecodeStarted(Decompressor& d, const QString& name, bool asColor,
                                        bool fastIdct, int denominator) {
  std::vector<unsigned char> scratch;
  auto image = StartDecoding(d, name, asColor, fastIdct, denominator, scratch);
  while (ReadRows(d, *image, name, scratch) < image->AbsHeight) {
  }
  return image;
}

// The one JPEG encoder set-up: a baseline JPEG of the given quality with the library's defaults
// otherwise, fed a few rows at a time, top row first; the same bytes however the rows come in.
// The whole-picture encoding and the import's row-by-row one both go through it.
class TJpegEncoder {
 public:
  // A buffer of about the size a photo at quality 90 takes, so that the encoder seldom has to
  // grow it (each time by a new block and a copy); it may still do so, and then the first block
  // is ours to free as well.
  TJpegEncoder(int32_t width, int32_t height, int quality)
      : Size(std::max<unsigned long>(65536,
                                     static_cast<unsigned long>(int64_t(width) * height / 2))) {
    First = static_cast<unsigned char*>(std::malloc(Size));
    if (!First) throw std::bad_alloc();
    Buffer = First;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    jpeg_create_compress(&cinfo);
    jpeg_compress_struct* c = &cinfo;
    unsigned char** buffer = &Buffer;
    unsigned long* size = &Size;
    Ok = Guarded(err, [c, buffer, size, width, height, quality] {
      jpeg_mem_dest(c, buffer, size);
      c->image_width = static_cast<JDIMENSION>(width);
      c->image_height = static_cast<JDIMENSION>(height);
      c->input_components = 3;
      c->in_color_space = JCS_EXT_BGR;
      jpeg_set_defaults(c);
      jpeg_set_quality(c, quality, TRUE);
      jpeg_start_compress(c, TRUE);
    });
  }
  ~TJpegEncoder() {
    jpeg_destroy_compress(&cinfo);
    if (Buffer != First) std::free(Buffer);
    std::free(First);
  }
  TJpegEncoder(const TJpegEncoder&) = delete;
  TJpegEncoder& operator=(const TJpegEncoder&) = delete;

  // Memory rows from `top` down to `bottom` (picture order) of a bottom-up image.
  void Write(const TFastDIB& image, int32_t top, int32_t bottom) {
    if (!Ok) return;
    jpeg_compress_struct* c = &cinfo;
    uint8_t* const* rows = image.Scanlines.data();
    Ok = Guarded(err, [c, rows, top, bottom] {
      for (int32_t r = top; r >= bottom;) {
        JSAMPROW batch[16];
        JDIMENSION n = 0;
        while (n < 16 && r >= bottom) batch[n++] = rows[r--];
        jpeg_write_scanlines(c, batch, n);
      }
    });
  }

  // The encoded bytes; empty, with the encoder's message in `error`, when it failed.
  QByteArray Finish(std::string& error) {
    jpeg_compress_struct* c = &cinfo;
    if (Ok) Ok = Guarded(err, [c] { jpeg_finish_compress(c); });
    if (!Ok) {
      error = std::string("JPEG encoder: ") + err.message;
      return QByteArray();
    }
    return QByteArray(reinterpret_cast<const char*>(Buffer), static_cast<qsizetype>(Size));
  }

 private:
  jpeg_compress_struct cinfo{};
  JpegErrorManager err{};
  unsigned long Size;
  unsigned char* First = nullptr;
  unsigned char* Buffer = nullptr;
  bool Ok = false;
};

}  // namespace

QByteArray ReadWholeFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) throw FileError(path, file.errorString());
  QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) throw FileError(path, file.errorString());
  return data;
}

JpegHeader ReadJpegHeader(const QString& path) { return ReadJpegHeader(ReadWholeFile(path), path); }

JpegHeader ReadJpegHeader(const QByteArray& data, const QString& name) {
  Decompressor d;
  StartDecode(d, data, name);
  return JpegHeader{static_cast<int32_t>(d.cinfo.image_width),
                    static_cast<int32_t>(d.cinfo.image_height), d.cinfo.num_components};
}

std::unique_ptr<TFastDIB> DecodeJpegAsColor(
    const QString& path, const std::function<int(int32_t, int32_t)>& chooseDenominator,
    bool fastIdct) {
  const QByteArray data = ReadWholeFile(path);
  Decompressor d;
  StartDecode(d, data, path);
  const int denominator = chooseDenominator(static_cast<int32_t>(d.cinfo.image_width),
                                            static_cast<int32_t>(d.cinfo.image_height));
  return DecodeStarted(d, path, true, fastIdct, denominator);
}

std::unique_ptr<TFastDIB> DecodeJpegData(const QByteArray& data, const QString& name) {
  Decompressor d;
  StartDecode(d, data, name);
  return DecodeStarted(d, name, false, false, 1);
}

TReducedPhoto DecodeReduceEncode(
    const QString& path, const std::function<int(int32_t, int32_t)>& chooseDenominator,
    const std::function<void(int32_t, int32_t, int32_t&, int32_t&)>& reducedSize, int quality) {
  const QByteArray data = ReadWholeFile(path);
  Decompressor d;
  StartDecode(d, data, path);
  const int denominator = chooseDenominator(static_cast<int32_t>(d.cinfo.image_width),
                                            static_cast<int32_t>(d.cinfo.image_height));
  std::vector<unsigned char> scratch;
  const std::unique_ptr<TFastDIB> decoded =
      StartDecoding(d, path, true, true, denominator, scratch);
  TReducedPhoto photo;
  photo.DecodedWidth = decoded->Width();
  photo.DecodedHeight = decoded->AbsHeight;
  int32_t rw = 0, rh = 0;
  reducedSize(photo.DecodedWidth, photo.DecodedHeight, rw, rh);
  // Every row of the reduced picture is written by the resize below.
  photo.Picture = std::make_unique<TFastDIB>(rw, 24, rh, TFastDIB::TUncleared{});
  TFastDIB& reduced = *photo.Picture;
  const int32_t sh = photo.DecodedHeight;

  // The decoder delivers the picture's rows from the top, that is memory rows from sh - 1 down;
  // `decodedRows` says how many are there. The reduction of target row t needs source rows from
  // QuickResizeLowestSourceRow(t) up, so the reduced rows come out from the top as well, which
  // is the order the encoder takes them in.
  std::mutex mutex;
  std::condition_variable progress;
  int32_t decodedRows = 0;
  bool decoderFailed = false;
  std::atomic<bool> encoderFailed{false};

  // Rows are handed on in bands: the decoder may deliver a row or two per call, and waking the
  // other side for each would cost more than the work it does.
  constexpr int32_t kBand = 48;
  const std::function<void()> decode = [&] {
    try {
      int32_t done = 0, told = 0;
      while (done < sh && !encoderFailed.load(std::memory_order_relaxed)) {
        done = ReadRows(d, *decoded, path, scratch);
        if (done - told < kBand && done < sh) continue;
        {
          std::lock_guard<std::mutex> lock(mutex);
          decodedRows = done;
        }
        told = done;
        progress.notify_one();
      }
    } catch (...) {
      {
        std::lock_guard<std::mutex> lock(mutex);
        decoderFailed = true;
      }
      progress.notify_one();
      throw;
    }
  };
  const std::function<void()> reduceAndEncode = [&] {
    TJpegEncoder encoder(rw, rh, quality);
    int32_t next = rh;  // target memory rows next..rh-1 are done
    int32_t seen = 0;
    while (next > 0) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        progress.wait(lock, [&] { return decoderFailed || decodedRows > seen; });
        if (decoderFailed) return;
        seen = decodedRows;
      }
      const int32_t lowest = sh - seen;  // the lowest memory row decoded so far
      int32_t t = next;
      while (t > 0 && TFastDIB::QuickResizeLowestSourceRow(sh, rh, t - 1) >= lowest) --t;
      if (t == next) continue;
      decoded->QuickResizeRowsInto(reduced, t, next);
      encoder.Write(reduced, next - 1, t);
      next = t;
    }
    photo.Jpeg = encoder.Finish(photo.EncodeError);
    if (photo.Jpeg.isEmpty()) encoderFailed.store(true, std::memory_order_relaxed);
  };
  RunBeside(reduceAndEncode, decode);
  return photo;
}

std::unique_ptr<TFastDIB> TFastDIB::LoadFromJpegFile(const QString& path) {
  return DecodeJpegData(ReadWholeFile(path), path);
}

QByteArray EncodeJpeg(const TFastDIB& image, int quality) {
  if (image.IsEmpty() || image.BitCount() != 24)
    throw std::runtime_error("Only a non-empty 24-bit picture can be saved as JPEG");
  TJpegEncoder encoder(image.Width(), image.AbsHeight, quality);
  encoder.Write(image, image.AbsHeight - 1, 0);
  std::string error;
  QByteArray out = encoder.Finish(error);
  if (out.isEmpty()) throw std::runtime_error(error);
  return out;
}

namespace {

struct PngWriteState {
  QByteArray* out;
  char message[256];
};

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto* state = static_cast<PngWriteState*>(png_get_io_ptr(png));
  state->out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}
void PngFlush(png_structp) {}
void PngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

}  // namespace

QByteArray EncodePng(const TFastDIB& image) {
  if (image.IsEmpty() || image.BitCount() != 24)
    throw std::runtime_error("Only a non-empty 24-bit picture can be saved as PNG");
  QByteArray out;
  PngWriteState state{&out, {0}};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
  if (!png) throw std::bad_alloc();
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw std::bad_alloc();
  }
  uint8_t* const* rows = image.Scanlines.data();
  const int32_t w = image.Width(), h = image.AbsHeight;
  volatile bool ok = false;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(png, &state, PngWrite, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_set_bgr(png);  // our pixels are blue, green, red
    for (int32_t r = 0; r < h; ++r) png_write_row(png, rows[h - 1 - r]);
    png_write_end(png, info);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (!ok) throw std::runtime_error(std::string("PNG encoder: ") + state.message);
  return out;
}

void WriteFileSafely(const QString& path, const QByteArray& data) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) throw FileError(path, file.errorString());
  if (file.write(data) != data.size()) {
    const QString why = file.errorString();
    file.cancelWriting();
    throw FileError(path, why);
  }
  // Small writes stay in Qt's buffer until the commit, and a commit whose last flush failed
  // (a full disk) would still put the short file in place: flush and check first.
  if (!file.flush()) {
    const QString why = file.errorString();
    file.cancelWriting();
    throw FileError(path, why);
  }
  if (!file.commit()) throw FileError(path, file.errorString());
}

void SaveJpegFile(const TFastDIB& image, const QString& path, int quality) {
  WriteFileSafely(path, EncodeJpeg(image, quality));
}

void SavePngFile(const TFastDIB& image, const QString& path) {
  WriteFileSafely(path, EncodePng(image));
}
