#include "BenchData.h"

#include <QImageWriter>
#include <QString>
#include <QtEndian>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gif_lib.h>
#include <jpeglib.h>
#include <memory>
#include <png.h>
#include <vector>

namespace benchdata {

namespace {

// A small fast generator: the noise needs to be cheap, not good.
class Noise {
public:
    int next(int spread)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<int>(m_state % static_cast<quint32>(2 * spread + 1)) - spread;
    }

private:
    quint32 m_state = 2463534242u;
};

int clampByte(double value) { return value < 0 ? 0 : value > 255 ? 255 : static_cast<int>(value); }

// A colour cube of 6 × 7 × 6 levels; the noise of the photo makes the indices vary from pixel
// to pixel, so the codes are as busy as in a dithered photo.
constexpr int Reds = 6, Greens = 7, Blues = 6;

int cubeIndex(QRgb colour)
{
    const int r = (qRed(colour) * (Reds - 1) + 127) / 255;
    const int g = (qGreen(colour) * (Greens - 1) + 127) / 255;
    const int b = (qBlue(colour) * (Blues - 1) + 127) / 255;
    return (r * Greens + g) * Blues + b;
}

std::array<QRgb, 256> cubeColours()
{
    std::array<QRgb, 256> colours {};
    for (int r = 0; r < Reds; ++r)
        for (int g = 0; g < Greens; ++g)
            for (int b = 0; b < Blues; ++b)
                colours[(std::size_t(r) * Greens + std::size_t(g)) * Blues + std::size_t(b)]
                    = qRgb(r * 255 / (Reds - 1), g * 255 / (Greens - 1), b * 255 / (Blues - 1));
    return colours;
}

} // namespace

QImage photo(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    Noise noise;
    const double w = size.width();
    const double h = size.height();
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = y / h;
        for (int x = 0; x < size.width(); ++x) {
            const double u = x / w;
            // A sky-like gradient over a few soft waves: large smooth areas and some detail.
            const double wave = 40 * std::sin(u * 23 + v * 7) * std::cos(v * 17 - u * 5);
            const int r = clampByte(90 + 120 * v + wave + noise.next(6));
            const int g = clampByte(130 + 60 * u - 40 * v + wave / 2 + noise.next(6));
            const int b = clampByte(200 - 150 * v + 30 * u - wave + noise.next(6));
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

bool writeJpeg(const QImage& image, const std::string& path, int quality)
{
    QImageWriter writer(QString::fromLocal8Bit(path), "jpeg");
    writer.setQuality(quality);
    return writer.write(image);
}

bool writeWithQt(const QImage& image, const std::string& path, const char* format)
{
    QImageWriter writer(QString::fromLocal8Bit(path), format);
    return writer.write(image);
}

bool writeGif(const QImage& image, const std::string& path)
{
    std::array<GifColorType, 256> colours {};
    const std::array<QRgb, 256> cube = cubeColours();
    for (std::size_t i = 0; i < cube.size(); ++i)
        colours[i] = { static_cast<GifByteType>(qRed(cube[i])),
            static_cast<GifByteType>(qGreen(cube[i])), static_cast<GifByteType>(qBlue(cube[i])) };
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
        GifMakeMapObject(256, colours.data()), GifFreeMapObject);
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    if (!gif || !map)
        return false;
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map.get()) == GIF_OK
        && EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(static_cast<std::size_t>(image.width()));
    for (int y = 0; ok && y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[static_cast<std::size_t>(x)] = static_cast<GifPixelType>(cubeIndex(line[x]));
        ok = EGifPutLine(gif, row.data(), image.width()) == GIF_OK;
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

bool writeInterlacedPng(const QImage& image, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<png_bytep> rows(static_cast<std::size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(rgb.constScanLine(y));
    bool ok = info != nullptr;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(rgb.width()), png_uint_32(rgb.height()), 8,
            PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
            PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

bool writeRle8Bmp(const QImage& image, const std::string& path)
{
    // Each row bottom up as runs of one index, at most 255 long, then an end of line; an end
    // of bitmap at the end. Photo noise makes most runs short, as in a scanned picture.
    QByteArray data;
    for (int y = image.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width();) {
            const int index = cubeIndex(line[x]);
            int run = 1;
            while (x + run < image.width() && run < 255 && cubeIndex(line[x + run]) == index)
                ++run;
            data += char(run);
            data += char(index);
            x += run;
        }
        data += QByteArray("\0\0", 2);
    }
    data += QByteArray("\0\1", 2);
    const std::array<QRgb, 256> cube = cubeColours();
    QByteArray header(14 + 40 + 256 * 4, '\0');
    char* h = header.data();
    h[0] = 'B', h[1] = 'M';
    qToLittleEndian<quint32>(quint32(header.size() + data.size()), h + 2);
    qToLittleEndian<quint32>(quint32(header.size()), h + 10);
    qToLittleEndian<quint32>(40, h + 14);
    qToLittleEndian<qint32>(image.width(), h + 18);
    qToLittleEndian<qint32>(image.height(), h + 22);
    qToLittleEndian<quint16>(1, h + 26);
    qToLittleEndian<quint16>(8, h + 28);
    qToLittleEndian<quint32>(1, h + 30); // BI_RLE8
    qToLittleEndian<quint32>(quint32(data.size()), h + 34);
    for (std::size_t i = 0; i < cube.size(); ++i)
        qToLittleEndian<quint32>(cube[i] & 0xFFFFFF, h + 54 + 4 * i); // blue, green, red, 0
    std::ofstream file(path, std::ios::binary);
    file << header.toStdString() << data.toStdString();
    return bool(file.flush());
}

bool writeCmykJpeg(const QImage& image, const std::string& path, int quality)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // The Adobe marker tells readers the channels are stored inverted.
    info.write_Adobe_marker = TRUE;
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(image.width()) * 4);
    while (info.next_scanline < info.image_height) {
        const auto* line
            = reinterpret_cast<const QRgb*>(image.constScanLine(int(info.next_scanline)));
        for (int x = 0; x < image.width(); ++x) {
            // Inverted CMYK with no black: each channel is the colour itself, and K is full.
            JSAMPLE* pixel = &row[static_cast<std::size_t>(x) * 4];
            pixel[0] = JSAMPLE(qRed(line[x]));
            pixel[1] = JSAMPLE(qGreen(line[x]));
            pixel[2] = JSAMPLE(qBlue(line[x]));
            pixel[3] = 255;
        }
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

FolderContents makeFolder(const std::string& folder, int count)
{
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    // Two thirds pictures: each group of three names holds two pictures and one other file.
    static const std::array<const char*, 10> pictureNames = { "IMG_%06d.JPG", "img_%06d.jpg",
        "Photo %06d.jpeg", "scan%06d.Bmp", "anim%06d.gif", "Screenshot_%06d.png", "DSC%06d.JPEG",
        "drawing-%06d.PNG", "icon%06d.GIF", "Picture%06d.BMP" };
    static const std::array<const char*, 5> otherNames
        = { "notes%06d.txt", "IMG_%06d.xmp", "clip%06d.mp4", "archive%06d.zip", "readme%06d" };
    FolderContents contents;
    char name[64];
    for (int n = 0; n < count; ++n) {
        if (n % 3 == 2) {
            std::snprintf(name, sizeof name, otherNames[static_cast<std::size_t>(n / 3 % 5)], n);
        } else {
            std::snprintf(name, sizeof name, pictureNames[static_cast<std::size_t>(n % 10)], n);
            ++contents.pictures;
        }
        // One in a thousand is a folder named like a picture: listed, never a picture.
        if (n % 1000 == 999) {
            fs::create_directory(folder + "/" + name);
            if (n % 3 != 2)
                --contents.pictures;
            continue;
        }
        std::ofstream(folder + "/" + name).flush();
        ++contents.files;
    }
    return contents;
}

} // namespace benchdata
