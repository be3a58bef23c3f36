#pragma once

// Writers of real picture files for the splash tests, built at test time with libjpeg, libpng and
// a plain bitmap writer.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <cstdint>
#include <vector>

// A picture of four solid quadrants: red top-left, green top-right, blue bottom-left, white
// bottom-right.
QImage QuadrantPicture(int width, int height);
extern const QColor QuadrantColours[4];

// 24-bit bottom-up Windows bitmap (top-down with a negative height when asked).
QByteArray WriteBitmap(const QImage &picture, bool topDown = false);

enum class JpegHeader { Jfif, ExifOnly };
QByteArray WriteJpeg(const QImage &picture, JpegHeader header, bool greyscale = false);

// A PNG in any stored form: rows hold the packed row bytes (16-bit samples big-endian).
struct PngPicture {
  PngPicture(int width, int height, int colourType, int bitDepth, std::vector<std::vector<uint8_t>> rows)
      : width(width), height(height), colourType(colourType), bitDepth(bitDepth), rows(std::move(rows))
  {
  }
  int width;
  int height;
  int colourType;
  int bitDepth;
  std::vector<std::vector<uint8_t>> rows;
  std::vector<uint8_t> palette; // RGB triples
  std::vector<uint8_t> transparency;
  bool interlaced = false;
};
QByteArray WritePng(const PngPicture &picture);

// A minimal PNG whose header claims the given size; its image data is a single empty row.
QByteArray PngHeaderOnly(uint32_t width, uint32_t height);
