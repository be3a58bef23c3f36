#include "TestImages.h"

#include <QPainter>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>
#include <zlib.h>

const QColor QuadrantColours[4] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 0, 255),
                                   QColor(255, 255, 255)};

QImage QuadrantPicture(int width, int height)
{
  QImage picture(width, height, QImage::Format_RGB888);
  QPainter painter(&picture);
  const int halfW = width / 2, halfH = height / 2;
  painter.fillRect(0, 0, halfW, halfH, QuadrantColours[0]);
  painter.fillRect(halfW, 0, width - halfW, halfH, QuadrantColours[1]);
  painter.fillRect(0, halfH, halfW, height - halfH, QuadrantColours[2]);
  painter.fillRect(halfW, halfH, width - halfW, height - halfH, QuadrantColours[3]);
  return picture;
}

namespace
{

void PutLittleEndian(QByteArray &bytes, uint32_t value, int size)
{
  for (int i = 0; i < size; ++i)
    bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray WriteBitmap(const QImage &picture, bool topDown)
{
  const int width = picture.width(), height = picture.height();
  const int rowSize = (width * 3 + 3) / 4 * 4;
  QByteArray bytes("BM");
  PutLittleEndian(bytes, static_cast<uint32_t>(54 + rowSize * height), 4);
  PutLittleEndian(bytes, 0, 4);
  PutLittleEndian(bytes, 54, 4);
  PutLittleEndian(bytes, 40, 4);
  PutLittleEndian(bytes, static_cast<uint32_t>(width), 4);
  PutLittleEndian(bytes, static_cast<uint32_t>(topDown ? -height : height), 4);
  PutLittleEndian(bytes, 1, 2);
  PutLittleEndian(bytes, 24, 2);
  for (int i = 0; i < 6; ++i)
    PutLittleEndian(bytes, 0, 4);
  for (int row = 0; row < height; ++row) {
    const int y = topDown ? row : height - 1 - row;
    QByteArray line;
    for (int x = 0; x < width; ++x) {
      const QColor colour = picture.pixelColor(x, y);
      line.append(static_cast<char>(colour.blue()));
      line.append(static_cast<char>(colour.green()));
      line.append(static_cast<char>(colour.red()));
    }
    line.append(QByteArray(rowSize - line.size(), '\0'));
    bytes.append(line);
  }
  return bytes;
}

QByteArray WriteJpeg(const QImage &picture, JpegHeader header, bool greyscale)
{
  const QImage rgb = picture.convertToFormat(greyscale ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(rgb.width());
  info.image_height = static_cast<JDIMENSION>(rgb.height());
  info.input_components = greyscale ? 1 : 3;
  info.in_color_space = greyscale ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  info.write_JFIF_header = header == JpegHeader::Jfif ? TRUE : FALSE;
  jpeg_start_compress(&info, TRUE);
  if (header == JpegHeader::ExifOnly) {
    static const unsigned char exif[] = "Exif\0\0MM\0\x2a\0\0\0\x08\0\0";
    jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif - 1);
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<uchar *>(rgb.constScanLine(static_cast<int>(info.next_scanline)));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  QByteArray bytes(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
  std::free(buffer);
  return bytes;
}

namespace
{

void AppendPngBytes(png_structp png, png_bytep data, size_t length)
{
  static_cast<QByteArray *>(png_get_io_ptr(png))
      ->append(reinterpret_cast<const char *>(data), static_cast<qsizetype>(length));
}

void FlushNothing(png_structp) {}

} // namespace

QByteArray WritePng(const PngPicture &picture)
{
  QByteArray bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("the test PNG could not be written");
  }
  png_set_write_fn(png, &bytes, AppendPngBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
               picture.bitDepth, picture.colourType,
               picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!picture.palette.empty())
    png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(picture.palette.data()),
                 static_cast<int>(picture.palette.size() / 3));
  if (!picture.transparency.empty())
    png_set_tRNS(png, info, picture.transparency.data(), static_cast<int>(picture.transparency.size()),
                 nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const auto &row : picture.rows)
    rows.push_back(const_cast<png_bytep>(row.data()));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

namespace
{

void AppendChunk(QByteArray &bytes, const char *type, const QByteArray &data)
{
  const auto length = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.append(static_cast<char>((length >> shift) & 0xFF));
  QByteArray body(type, 4);
  body.append(data);
  bytes.append(body);
  const auto crc = static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef *>(body.constData()), static_cast<uInt>(body.size())));
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.append(static_cast<char>((crc >> shift) & 0xFF));
}

QByteArray BigEndian32(uint32_t value)
{
  QByteArray bytes;
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.append(static_cast<char>((value >> shift) & 0xFF));
  return bytes;
}

} // namespace

QByteArray PngHeaderOnly(uint32_t width, uint32_t height)
{
  QByteArray bytes("\x89PNG\r\n\x1a\n", 8);
  QByteArray header = BigEndian32(width) + BigEndian32(height);
  header.append(QByteArray("\x08\x02\x00\x00\x00", 5)); // 8-bit RGB, no interlace
  AppendChunk(bytes, "IHDR", header);
  const QByteArray row(1 + 3, '\0');
  AppendChunk(bytes, "IDAT", qCompress(row).mid(4)); // qCompress prefixes the length
  AppendChunk(bytes, "IEND", {});
  return bytes;
}
