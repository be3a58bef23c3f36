// JPEG decoding with libjpeg. libjpeg reports errors through a callback that must not return;
// ours jumps back to the decoding function, which releases the decoder and throws from C++.
#include "app/SplashImage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace
{

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void FailJpeg(j_common_ptr info)
{
  auto *errors = reinterpret_cast<JpegErrorManager *>(info->err);
  errors->base.format_message(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings cover damaged data that libjpeg would otherwise paint over (a premature end of the
// file among them), so they fail the decoding too; trace messages are ignored.
void JpegMessage(j_common_ptr info, int level)
{
  if (level < 0)
    FailJpeg(info);
}

struct JpegDecoding {
  const QByteArray *bytes;
  QImage image;
  JpegErrorManager errors;
};

// Holds no C++ object with a destructor, so the jump from the error callback skips nothing.
bool RunJpegDecoder(JpegDecoding &decoding)
{
  jpeg_decompress_struct info;
  info.err = jpeg_std_error(&decoding.errors.base);
  decoding.errors.base.error_exit = FailJpeg;
  decoding.errors.base.emit_message = JpegMessage;
  decoding.errors.message[0] = '\0';
  if (setjmp(decoding.errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(decoding.bytes->constData()),
               static_cast<unsigned long>(decoding.bytes->size()));
  jpeg_read_header(&info, TRUE);
  try {
    CheckSplashSize(info.image_width, info.image_height);
  } catch (const ESplashImageError &error) {
    std::snprintf(decoding.errors.message, sizeof decoding.errors.message, "%s", error.what());
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  decoding.image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                          QImage::Format_RGB888);
  if (decoding.image.isNull()) {
    std::snprintf(decoding.errors.message, sizeof decoding.errors.message, "out of memory");
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = decoding.image.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray &bytes)
{
  JpegDecoding decoding{&bytes, QImage(), {}};
  if (!RunJpegDecoder(decoding))
    throw ESplashImageError(std::string("Invalid JPEG image: ") + decoding.errors.message);
  return decoding.image;
}
