// PNG decoding with libpng. libpng's error callback must not return; ours jumps back to the
// decoding function, which releases the decoder and throws from C++.
#include "app/SplashImage.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace
{

struct PngDecoding {
  const QByteArray *bytes;
  size_t position;
  QImage image;
  std::vector<png_bytep> rows;
  char message[256];
};

[[noreturn]] void FailPng(png_structp png, png_const_charp message)
{
  auto *decoding = static_cast<PngDecoding *>(png_get_error_ptr(png));
  std::snprintf(decoding->message, sizeof decoding->message, "%s", message);
  png_longjmp(png, 1);
}

// Warnings are about ancillary data (colour profiles, text) that the picture does not need.
void IgnorePngWarning(png_structp, png_const_charp) {}

void ReadPngBytes(png_structp png, png_bytep data, size_t length)
{
  auto *decoding = static_cast<PngDecoding *>(png_get_io_ptr(png));
  const size_t size = static_cast<size_t>(decoding->bytes->size());
  if (length > size - decoding->position)
    png_error(png, "the file is truncated");
  std::memcpy(data, decoding->bytes->constData() + decoding->position, length);
  decoding->position += length;
}

// Asks libpng for 8-bit RGB or RGBA whatever the stored form (palette, grey, 16-bit, transparency).
void RequestRgb(png_structp png, png_infop info)
{
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
}

// Holds no C++ object with a destructor, so the jump from the error callback skips nothing.
bool RunPngDecoder(PngDecoding &decoding)
{
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &decoding, FailPng, IgnorePngWarning);
  if (png == nullptr) {
    std::snprintf(decoding.message, sizeof decoding.message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &decoding, ReadPngBytes);
  png_read_info(png, info);
  try {
    CheckSplashSize(png_get_image_width(png, info), png_get_image_height(png, info));
  } catch (const ESplashImageError &error) {
    std::snprintf(decoding.message, sizeof decoding.message, "%s", error.what());
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  RequestRgb(png, info);
  const bool alpha = png_get_channels(png, info) == 4;
  decoding.image = QImage(static_cast<int>(png_get_image_width(png, info)),
                          static_cast<int>(png_get_image_height(png, info)),
                          alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
  if (decoding.image.isNull())
    png_error(png, "out of memory");
  decoding.rows.resize(static_cast<size_t>(decoding.image.height()));
  for (int y = 0; y < decoding.image.height(); ++y)
    decoding.rows[static_cast<size_t>(y)] = decoding.image.scanLine(y);
  png_read_image(png, decoding.rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

} // namespace

QImage DecodePng(const QByteArray &bytes)
{
  PngDecoding decoding{&bytes, 0, QImage(), {}, {}};
  if (!RunPngDecoder(decoding))
    throw ESplashImageError(std::string("Invalid PNG image: ") + decoding.message);
  return decoding.image;
}
