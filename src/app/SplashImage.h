#pragma once

#include <QByteArray>
#include <QImage>
#include <stdexcept>
#include <vector>

// The picture formats the splash screen recognises by its first bytes.
enum class SplashFormat { None, Bitmap, Jpeg, Png };

// A splash image that cannot be decoded or is too large to show.
class ESplashImageError : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

// Larger pictures are refused before any pixel memory is taken, so a small file that claims
// huge dimensions cannot exhaust the memory of the splash process.
constexpr int MaxSplashSide = 16384;
constexpr long long MaxSplashPixels = 32LL * 1024 * 1024;

// Every format whose marker ("BM", "JFIF", "PNG") occurs in the first 10 bytes, upper-cased,
// in that order. Usually one; an empty list means none.
std::vector<SplashFormat> DetectSplashFormats(const QByteArray &bytes);

// Decoders of the whole file in memory. RGB pictures come back as Format_RGB888, pictures with
// transparency as Format_RGBA8888. Any damaged or truncated input throws ESplashImageError.
QImage DecodeBitmap(const QByteArray &bytes);
QImage DecodeJpeg(const QByteArray &bytes);
QImage DecodePng(const QByteArray &bytes);

// Decodes with each detected format in turn, every decoder reading the file from its start; the
// last decoding that succeeds gives the picture. No detected format gives a null image; when
// every detected format fails, the last failure is thrown.
QImage LoadSplashImage(const QByteArray &bytes);

// Throws ESplashImageError when width x height is not a picture the splash may allocate.
void CheckSplashSize(long long width, long long height);
