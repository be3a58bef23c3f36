#include "app/SplashImage.h"
#include "TestImages.h"

#include <gtest/gtest.h>
#include <png.h>
#include <random>

namespace
{

using Formats = std::vector<SplashFormat>;

// Decoded colour against the expected one; JPEG is lossy, so a tolerance can be given.
void ExpectColour(const QImage &image, int x, int y, const QColor &expected, int tolerance = 0)
{
  const QColor actual = image.pixelColor(x, y);
  EXPECT_NEAR(actual.red(), expected.red(), tolerance) << "at " << x << "," << y;
  EXPECT_NEAR(actual.green(), expected.green(), tolerance) << "at " << x << "," << y;
  EXPECT_NEAR(actual.blue(), expected.blue(), tolerance) << "at " << x << "," << y;
  EXPECT_NEAR(actual.alpha(), expected.alpha(), tolerance) << "at " << x << "," << y;
}

void ExpectQuadrants(const QImage &image, int width, int height, int tolerance = 0)
{
  ASSERT_EQ(image.size(), QSize(width, height));
  ExpectColour(image, 1, 1, QuadrantColours[0], tolerance);
  ExpectColour(image, width - 2, 1, QuadrantColours[1], tolerance);
  ExpectColour(image, 1, height - 2, QuadrantColours[2], tolerance);
  ExpectColour(image, width - 2, height - 2, QuadrantColours[3], tolerance);
}

std::string LoadError(const QByteArray &bytes)
{
  try {
    LoadSplashImage(bytes);
  } catch (const ESplashImageError &error) {
    return error.what();
  }
  return "no error";
}

} // namespace

TEST(SplashImage, DetectionLooksAtTheFirstTenBytesIgnoringCase)
{
  EXPECT_EQ(DetectSplashFormats("BM\x36\xFA\0\0\0\0\0\0"), Formats{SplashFormat::Bitmap});
  EXPECT_EQ(DetectSplashFormats(QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11)), Formats{SplashFormat::Jpeg});
  EXPECT_EQ(DetectSplashFormats("\x89PNG\r\n\x1a\n"), Formats{SplashFormat::Png});
  EXPECT_EQ(DetectSplashFormats("xxbmxxjfif"), (Formats{SplashFormat::Bitmap, SplashFormat::Jpeg}));
  EXPECT_EQ(DetectSplashFormats("png.....BM"), (Formats{SplashFormat::Bitmap, SplashFormat::Png}));
  // "JFIF" starting at the eighth byte runs past the tenth.
  EXPECT_EQ(DetectSplashFormats("\xFF\xD8\xFF\xE0\0\0\0JFIF"), Formats{});
  EXPECT_EQ(DetectSplashFormats("GIF89a...."), Formats{});
  EXPECT_EQ(DetectSplashFormats(""), Formats{});
}

TEST(SplashImage, UnknownFormatsGiveNoPictureAndNoError)
{
  const QImage picture = QuadrantPicture(40, 30);
  const QByteArray exif = WriteJpeg(picture, JpegHeader::ExifOnly);
  EXPECT_EQ(DetectSplashFormats(exif), Formats{});
  EXPECT_TRUE(LoadSplashImage(exif).isNull());
  EXPECT_TRUE(LoadSplashImage("GIF89a with anything after it").isNull());
  EXPECT_TRUE(LoadSplashImage({}).isNull());
  // The same picture with a JFIF header is shown.
  ExpectQuadrants(LoadSplashImage(WriteJpeg(picture, JpegHeader::Jfif)), 40, 30, 12);
}

TEST(SplashImage, BitmapsDecodeBottomUpAndTopDown)
{
  const QImage picture = QuadrantPicture(292, 73);
  const QByteArray bitmap = WriteBitmap(picture);
  EXPECT_EQ(bitmap.size(), 64002); // the size of the shipped 292 x 73 picture
  ExpectQuadrants(LoadSplashImage(bitmap), 292, 73);
  ExpectQuadrants(LoadSplashImage(WriteBitmap(QuadrantPicture(7, 5), true)), 7, 5);
}

TEST(SplashImage, JpegDecodesColourAndGrey)
{
  ExpectQuadrants(DecodeJpeg(WriteJpeg(QuadrantPicture(64, 48), JpegHeader::Jfif)), 64, 48, 12);
  const QImage grey = DecodeJpeg(WriteJpeg(QuadrantPicture(32, 32), JpegHeader::Jfif, true));
  ASSERT_EQ(grey.size(), QSize(32, 32));
  EXPECT_EQ(grey.format(), QImage::Format_RGB888);
  const QColor white = grey.pixelColor(30, 30), red = grey.pixelColor(1, 1);
  EXPECT_NEAR(white.red(), 255, 4);
  EXPECT_EQ(white.red(), white.blue());
  EXPECT_NEAR(red.green(), qGray(255, 0, 0), 4);
  EXPECT_EQ(red.red(), red.green());
}

TEST(SplashImage, PngStoredFormsDecodeToRgbOrRgba)
{
  PngPicture palette{4, 2, PNG_COLOR_TYPE_PALETTE, 2, {{0b00011011}, {0b11100100}}};
  palette.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30};
  QImage image = DecodePng(WritePng(palette));
  EXPECT_EQ(image.format(), QImage::Format_RGB888);
  ExpectColour(image, 0, 0, QColor(255, 0, 0));
  ExpectColour(image, 3, 0, QColor(10, 20, 30));
  ExpectColour(image, 0, 1, QColor(10, 20, 30));
  ExpectColour(image, 2, 1, QColor(0, 255, 0));

  palette.transparency = {255, 128};
  image = DecodePng(WritePng(palette));
  EXPECT_EQ(image.format(), QImage::Format_RGBA8888);
  ExpectColour(image, 1, 0, QColor(0, 255, 0, 128));
  ExpectColour(image, 2, 0, QColor(0, 0, 255, 255));

  const PngPicture grey{3, 1, PNG_COLOR_TYPE_GRAY, 8, {{0, 128, 255}}};
  image = DecodePng(WritePng(grey));
  ExpectColour(image, 1, 0, QColor(128, 128, 128));
  ExpectColour(image, 2, 0, QColor(255, 255, 255));

  const PngPicture greyAlpha{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{200, 0, 50, 255}}};
  image = DecodePng(WritePng(greyAlpha));
  EXPECT_EQ(image.format(), QImage::Format_RGBA8888);
  ExpectColour(image, 0, 0, QColor(200, 200, 200, 0));
  ExpectColour(image, 1, 0, QColor(50, 50, 50, 255));

  // 16-bit samples are scaled to 8 bits: 0x8080 is 128, 0xFFFF is 255.
  const PngPicture deep{1,
                        2,
                        PNG_COLOR_TYPE_RGB_ALPHA,
                        16,
                        {{0xFF, 0xFF, 0, 0, 0x80, 0x80, 0xFF, 0xFF}, {0, 0, 0xFF, 0xFF, 0, 0, 0x80, 0x80}}};
  image = DecodePng(WritePng(deep));
  ExpectColour(image, 0, 0, QColor(255, 0, 128, 255));
  ExpectColour(image, 0, 1, QColor(0, 255, 0, 128));
}

TEST(SplashImage, InterlacedPngDecodesEveryRow)
{
  PngPicture picture{9, 9, PNG_COLOR_TYPE_RGB, 8, {}};
  for (int y = 0; y < 9; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < 9; ++x)
      row.insert(row.end(), {static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 20), 7});
    picture.rows.push_back(row);
  }
  picture.interlaced = true;
  const QImage image = LoadSplashImage(WritePng(picture));
  ASSERT_EQ(image.size(), QSize(9, 9));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x)
      ExpectColour(image, x, y, QColor(x * 20, y * 20, 7));
}

TEST(SplashImage, DamagedFilesThrowClearErrors)
{
  const QImage picture = QuadrantPicture(64, 48);
  const QByteArray jpeg = WriteJpeg(picture, JpegHeader::Jfif);
  const QByteArray png = WritePng(PngPicture(2, 1, PNG_COLOR_TYPE_GRAY, 8, {{1, 2}}));
  const QByteArray bitmap = WriteBitmap(picture);

  EXPECT_EQ(LoadError(jpeg.left(jpeg.size() / 2)).rfind("Invalid JPEG image: ", 0), 0u);
  EXPECT_EQ(LoadError(jpeg.left(10)).rfind("Invalid JPEG image: ", 0), 0u);
  QByteArray scrambled = jpeg;
  for (int i = 20; i < scrambled.size(); i += 3)
    scrambled[i] = static_cast<char>(0xFF);
  EXPECT_EQ(LoadError(scrambled).rfind("Invalid JPEG image: ", 0), 0u);

  EXPECT_EQ(LoadError(png.left(png.size() - 5)), "Invalid PNG image: the file is truncated");
  QByteArray badCrc = png;
  badCrc[29] = static_cast<char>(badCrc[29] ^ 1); // inside the header chunk's checksum
  EXPECT_EQ(LoadError(badCrc).rfind("Invalid PNG image: ", 0), 0u);

  EXPECT_EQ(LoadError(bitmap.left(20)), "Invalid bitmap image: the file header is incomplete");
  EXPECT_EQ(LoadError(bitmap.left(100)), "Invalid bitmap image: the file is truncated");
}

TEST(SplashImage, HugeDimensionsAreRefusedBeforeDecoding)
{
  EXPECT_EQ(LoadError(PngHeaderOnly(100000, 100000)),
            "Invalid PNG image: Splash image too large: 100000 x 100000 pixels");
  EXPECT_EQ(LoadError(PngHeaderOnly(16384, 4096)),
            "Invalid PNG image: Splash image too large: 16384 x 4096 pixels");

  QByteArray jpeg = WriteJpeg(QuadrantPicture(16, 16), JpegHeader::Jfif);
  const qsizetype frame = jpeg.indexOf("\xFF\xC0");
  ASSERT_GT(frame, 0);
  jpeg.replace(frame + 5, 4, QByteArray("\xEA\x60\xEA\x60", 4)); // 60000 x 60000
  EXPECT_EQ(LoadError(jpeg), "Invalid JPEG image: Splash image too large: 60000 x 60000 pixels");

  QByteArray bitmap = WriteBitmap(QuadrantPicture(4, 4));
  bitmap.replace(18, 8, QByteArray("\xA0\x86\x01\x00\x60\x79\xFE\xFF", 8)); // 100000 x -100000
  EXPECT_EQ(LoadError(bitmap), "Splash image too large: 100000 x 100000 pixels");
}

TEST(SplashImage, SeveralMarkersKeepTheLastPictureThatDecodes)
{
  // A valid bitmap whose reserved header bytes spell "PNG": the PNG decoder fails on it, the
  // bitmap picture stays.
  QByteArray bitmap = WriteBitmap(QuadrantPicture(8, 6));
  bitmap.replace(6, 3, "PNG");
  EXPECT_EQ(DetectSplashFormats(bitmap), (Formats{SplashFormat::Bitmap, SplashFormat::Png}));
  ExpectQuadrants(LoadSplashImage(bitmap), 8, 6);

  // When every detected decoder fails, the last one's error is given.
  EXPECT_EQ(LoadError("BM..JFIF.. and nothing more").rfind("Invalid JPEG image: ", 0), 0u);
}

TEST(SplashImage, MutatedFilesNeverCrash)
{
  const QImage picture = QuadrantPicture(24, 16);
  const QByteArray samples[] = {
      WriteJpeg(picture, JpegHeader::Jfif), WriteBitmap(picture),
      WritePng(PngPicture(3, 2, PNG_COLOR_TYPE_RGB, 8,
                          {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}}))};
  std::mt19937 random(20240611);
  int failures = 0, pictures = 0;
  for (const QByteArray &sample : samples) {
    for (int round = 0; round < 300; ++round) {
      // Half the samples keep their full length, so damage inside the data is tried too.
      const int length =
          round % 2 ? int(sample.size()) : std::uniform_int_distribution<int>(10, sample.size())(random);
      QByteArray bytes = sample.left(length);
      const int flips = std::uniform_int_distribution<int>(0, 6)(random);
      for (int i = 0; i < flips; ++i) {
        const int at = std::uniform_int_distribution<int>(10, std::max(10, int(bytes.size()) - 1))(random);
        if (at < bytes.size())
          bytes[at] = static_cast<char>(random());
      }
      try {
        const QImage image = LoadSplashImage(bytes);
        pictures += image.isNull() ? 0 : 1;
      } catch (const ESplashImageError &) {
        ++failures;
      }
    }
  }
  // Both outcomes occur; anything else (a crash, an exit, another exception) fails the test.
  EXPECT_GT(failures, 0);
  EXPECT_GT(pictures, 0);
}
