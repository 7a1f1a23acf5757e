#include "LibjpegEncoder.h"

#include <cstdlib>
#include <vector>

int ComponentsOf(J_COLOR_SPACE space) {
  switch (space) {
    case JCS_GRAYSCALE:
      return 1;
    case JCS_CMYK:
      return 4;
    default:
      return 3;
  }
}

QByteArray EncodeWithLibjpeg(int width, int height, const TLibjpegSettings& settings,
                             const TRowFiller& fill) {
  const int components = ComponentsOf(settings.Space);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = components;
  c.in_color_space = settings.Space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, settings.Quality, TRUE);
  if (settings.Progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * static_cast<size_t>(components));
  while (c.next_scanline < c.image_height) {
    fill(static_cast<int>(c.next_scanline), row.data());
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
  std::free(buffer);
  return out;
}
