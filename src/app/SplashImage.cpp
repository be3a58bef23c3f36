#include "app/SplashImage.h"

#include <QBuffer>
#include <QImageReader>
#include <cstdint>
#include <string>

std::vector<SplashFormat> DetectSplashFormats(const QByteArray &bytes)
{
  const QByteArray head = bytes.left(10).toUpper();
  std::vector<SplashFormat> formats;
  if (head.contains("BM"))
    formats.push_back(SplashFormat::Bitmap);
  if (head.contains("JFIF"))
    formats.push_back(SplashFormat::Jpeg);
  if (head.contains("PNG"))
    formats.push_back(SplashFormat::Png);
  return formats;
}

void CheckSplashSize(long long width, long long height)
{
  if (width <= 0 || height <= 0)
    throw ESplashImageError("Invalid splash image size " + std::to_string(width) + " x " +
                            std::to_string(height));
  if (width > MaxSplashSide || height > MaxSplashSide || width * height > MaxSplashPixels)
    throw ESplashImageError("Splash image too large: " + std::to_string(width) + " x " +
                            std::to_string(height) + " pixels");
}

namespace
{

uint32_t LittleEndian(const QByteArray &bytes, int offset, int size)
{
  uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = (value << 8) | static_cast<uint8_t>(bytes[offset + i]);
  return value;
}

// Checks the dimensions before Qt allocates, and that uncompressed pixel data is complete (Qt
// would otherwise paint the missing rows).
void CheckBitmapHeader(const QByteArray &bytes)
{
  if (bytes.size() < 30 || !bytes.startsWith("BM"))
    throw ESplashImageError("Invalid bitmap image: the file header is incomplete");
  const uint32_t pixelOffset = LittleEndian(bytes, 10, 4);
  const uint32_t headerSize = LittleEndian(bytes, 14, 4);
  long long width, height;
  uint32_t bitsPerPixel, compression = 0;
  if (headerSize == 12) {
    width = LittleEndian(bytes, 18, 2);
    height = LittleEndian(bytes, 20, 2);
    bitsPerPixel = LittleEndian(bytes, 24, 2);
  } else {
    if (bytes.size() < 34)
      throw ESplashImageError("Invalid bitmap image: the file header is incomplete");
    width = static_cast<int32_t>(LittleEndian(bytes, 18, 4));
    height = static_cast<int32_t>(LittleEndian(bytes, 22, 4));
    height = height < 0 ? -height : height; // a negative height marks a top-down bitmap
    bitsPerPixel = LittleEndian(bytes, 28, 2);
    compression = LittleEndian(bytes, 30, 4);
  }
  CheckSplashSize(width, height);
  const bool uncompressed = compression == 0 || compression == 3; // BI_RGB, BI_BITFIELDS
  const long long stride = (width * bitsPerPixel + 31) / 32 * 4;
  if (uncompressed && bytes.size() < pixelOffset + stride * height)
    throw ESplashImageError("Invalid bitmap image: the file is truncated");
}

} // namespace

QImage DecodeBitmap(const QByteArray &bytes)
{
  CheckBitmapHeader(bytes);
  QByteArray data = bytes;
  QBuffer buffer(&data);
  QImageReader reader(&buffer, "BMP");
  reader.setAllocationLimit(0); // the size was checked above
  const QImage image = reader.read();
  if (image.isNull())
    throw ESplashImageError("Invalid bitmap image: " + reader.errorString().toStdString());
  return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
}

QImage LoadSplashImage(const QByteArray &bytes)
{
  QImage picture;
  std::string lastError;
  for (const SplashFormat format : DetectSplashFormats(bytes)) {
    try {
      switch (format) {
      case SplashFormat::Bitmap:
        picture = DecodeBitmap(bytes);
        break;
      case SplashFormat::Jpeg:
        picture = DecodeJpeg(bytes);
        break;
      case SplashFormat::Png:
        picture = DecodePng(bytes);
        break;
      case SplashFormat::None:
        break;
      }
    } catch (const ESplashImageError &error) {
      lastError = error.what();
    }
  }
  if (picture.isNull() && !lastError.empty())
    throw ESplashImageError(lastError);
  return picture;
}
