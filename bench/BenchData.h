#pragma once

// The data the benchmarks measure on, made afresh in a temporary folder on every run:
// photo-like pictures in the four formats and a folder of many files.

#include <QImage>
#include <QSize>
#include <string>

namespace benchdata {

// A picture that looks like a photo to a compressor: smooth gradients with fine noise on
// top, so decoding costs what a real photo costs (a flat fill would decode in no time).
QImage photo(QSize size);

// Writes image as a baseline JPEG of the given quality. False on failure.
bool writeJpeg(const QImage& image, const std::string& path, int quality);
// Writes image as PNG or BMP through Qt. False on failure.
bool writeWithQt(const QImage& image, const std::string& path, const char* format);
// Writes image as a GIF of 256 colours through giflib (Qt writes no GIF). False on failure.
bool writeGif(const QImage& image, const std::string& path);

// The kinds Qt does not write. False on failure.
// An 8-bit RGB PNG stored interlaced (Adam7), through libpng.
bool writeInterlacedPng(const QImage& image, const std::string& path);
// An 8-bit BMP compressed with run lengths (BI_RLE8), in the colours of the GIF's cube.
bool writeRle8Bmp(const QImage& image, const std::string& path);
// A CMYK JPEG as Adobe writes one (the channels inverted), through libjpeg.
bool writeCmykJpeg(const QImage& image, const std::string& path, int quality);

// What makeFolder put in the folder.
struct FolderContents {
    int files = 0;
    int pictures = 0;
};

// Fills folder with count empty files: two thirds named like pictures of the five
// extensions in mixed case, the rest other files, and a few subfolders among them.
FolderContents makeFolder(const std::string& folder, int count);

} // namespace benchdata
