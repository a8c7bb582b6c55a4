#include "BenchData.h"

#include <QImageWriter>
#include <QString>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gif_lib.h>
#include <memory>
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
    // A colour cube of 6 × 7 × 6 levels; the noise of the photo makes the indices vary
    // from pixel to pixel, so the LZW codes are as busy as in a dithered photo.
    constexpr int reds = 6, greens = 7, blues = 6;
    std::array<GifColorType, 256> colours {};
    for (int r = 0; r < reds; ++r)
        for (int g = 0; g < greens; ++g)
            for (int b = 0; b < blues; ++b) {
                GifColorType& colour
                    = colours[static_cast<std::size_t>((r * greens + g) * blues + b)];
                colour.Red = static_cast<GifByteType>(r * 255 / (reds - 1));
                colour.Green = static_cast<GifByteType>(g * 255 / (greens - 1));
                colour.Blue = static_cast<GifByteType>(b * 255 / (blues - 1));
            }
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
        for (int x = 0; x < image.width(); ++x) {
            const int r = (qRed(line[x]) * (reds - 1) + 127) / 255;
            const int g = (qGreen(line[x]) * (greens - 1) + 127) / 255;
            const int b = (qBlue(line[x]) * (blues - 1) + 127) / 255;
            row[static_cast<std::size_t>(x)]
                = static_cast<GifPixelType>((r * greens + g) * blues + b);
        }
        ok = EGifPutLine(gif, row.data(), image.width()) == GIF_OK;
    }
    return EGifCloseFile(gif, &error) == GIF_OK && ok;
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
