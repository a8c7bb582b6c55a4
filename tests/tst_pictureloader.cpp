// The picture loader: the format told by the content, what cannot be shown refused before
// anything big is allocated, pictures read upright and reduced to exactly the box means of
// the picture, within the budget; and the viewer's black area for a picture it cannot decode.

#include "Support.h"
#include "picture/PictureLoader.h"

#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>
#include <array>
#include <cstdio> // before jpeglib.h, which needs FILE
#include <cstring>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace {

const QList<QColor> Opaque = { Qt::red, Qt::green, Qt::blue, Qt::yellow };

// Four quarters of different colours, so that a turn, a mirror or a smear shows.
QImage quarters(const QList<QColor>& colours = Opaque, QImage::Format format = QImage::Format_RGB32,
    QSize size = { 64, 32 })
{
    QImage image(size, QImage::Format_RGBA64);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(
                x, y, colours[2 * (2 * y >= size.height()) + (2 * x >= size.width())]);
    return image.convertToFormat(format);
}

// Busy, so that a PNG of it is mostly compressed pixels.
QImage noise(QSize size, bool alpha = false)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                qRgba((x * 7 + y * 13) % 256, (x * y) % 256, (x ^ y) * 37 % 256,
                    alpha ? (x * 53 + y * 97) % 256 : 255));
    return image;
}

// The PNG with bytes put at the start of the data of its first chunk of type, and that
// chunk's checksum made right again.
QByteArray patched(QByteArray png, const char* type, const QByteArray& bytes)
{
    const qsizetype chunk = png.indexOf(type);
    png.replace(chunk + 4, bytes.size(), bytes);
    const quint32 length = qFromBigEndian<quint32>(png.constData() + chunk - 4);
    const auto* typeAndData = reinterpret_cast<const Bytef*>(png.constData() + chunk);
    qToBigEndian(quint32(crc32(0, typeAndData, length + 4)), png.data() + chunk + 4 + length);
    return png;
}

// The picture as an interlaced PNG written by libpng: Format_Mono as 1-bit grey (its colours
// black and white), Format_Indexed8 with its palette, Format_RGB888 as RGB.
QByteArray interlaced(const QImage& image)
{
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const auto write = [](png_structp p, png_bytep data, std::size_t n) {
        static_cast<QByteArray*>(png_get_io_ptr(p))
            ->append(reinterpret_cast<char*>(data), qsizetype(n));
    };
    png_set_write_fn(png, &bytes, write, nullptr);
    const int depth = image.depth();
    const int type = depth == 1 ? PNG_COLOR_TYPE_GRAY
        : depth == 8            ? PNG_COLOR_TYPE_PALETTE
                                : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()),
        std::min(depth, 8), type, PNG_INTERLACE_ADAM7, 0, 0);
    std::vector<png_color> palette;
    for (const QRgb c : image.colorTable())
        palette.push_back({ png_byte(qRed(c)), png_byte(qGreen(c)), png_byte(qBlue(c)) });
    if (depth == 8)
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    png_write_info(png, info);
    for (int pass = png_set_interlace_handling(png); pass > 0; --pass)
        for (int y = 0; y < image.height(); ++y)
            png_write_row(png, image.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// A JPEG with an EXIF orientation (1 to 8) in a segment of its own after the start marker.
QByteArray oriented(const QByteArray& jpeg, int orientation)
{
    const QByteArray exif("\xFF\xE1\0\x22"
                          "Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0",
        29);
    return jpeg.left(2) + exif + char(orientation) + QByteArray(6, '\0') + jpeg.mid(2);
}

// The picture written progressive by libjpeg, stored as JCS_YCbCr, JCS_CMYK or JCS_YCCK. For
// CMYK its RGBA bytes are the inks, inverted as Adobe stores them.
QByteArray progressive(const QImage& image, J_COLOR_SPACE stored)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    jpeg_error_mgr errors {};
    jpeg_compress_struct info {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &data, &size);
    info.image_width = JDIMENSION(pixels.width());
    info.image_height = JDIMENSION(pixels.height());
    info.input_components = 4;
    info.in_color_space = stored == JCS_YCbCr ? JCS_EXT_RGBX : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    for (JSAMPROW row = pixels.bits(); row != pixels.bits() + pixels.sizeInBytes();)
        row += jpeg_write_scanlines(&info, &row, 1) * pixels.bytesPerLine();
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const std::unique_ptr<unsigned char, void (*)(void*)> owned(data, std::free);
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A progressive JPEG of size (its height and width in hex) with scans that each end every block
// of the first component's band at once (one code for a run of 32767 ends of band).
QByteArray scans(const char* size, int components, int count)
{
    return QByteArray::fromHex("ffd8ffdb004300") + QByteArray(64, 1) + "\xFF\xC2" + '\0'
        + char(8 + 3 * components) + '\x08' + QByteArray::fromHex(size) + char(components)
        + QByteArray::fromHex("011100").repeated(components)
        + QByteArray::fromHex("ffc400141001000000000000000000000000000000e0")
        + QByteArray::fromHex("ffda0008010100013f007fff00").repeated(count) + "\xFF\xD9";
}

// The BMP as Qt writes it (bottom up, 24 bits a pixel) stored 32 bits a pixel, the fourth
// byte of each pixel unused, or top down.
QByteArray restored(const QByteArray& bmp, QSize size, bool wide)
{
    const qsizetype start = qFromLittleEndian<quint32>(bmp.constData() + 10);
    const qsizetype stride = (qsizetype(size.width()) * 3 + 3) / 4 * 4;
    QByteArray out = bmp.left(start);
    for (int y = 0; y < size.height(); ++y) {
        const qsizetype row = start + stride * (wide ? y : size.height() - 1 - y);
        for (int x = 0; wide && x < size.width(); ++x)
            out += bmp.mid(row + 3 * qsizetype(x), 3) + char(x * y);
        out += wide ? QByteArray() : bmp.mid(row, stride);
    }
    qToLittleEndian<qint32>(wide ? size.height() : -size.height(), out.data() + 22);
    qToLittleEndian<quint16>(wide ? 32 : 24, out.data() + 28);
    return out;
}

// The GIF's frame put at at on a screen of the size given, its background the third colour;
// interlaced and with a transparent colour when asked.
QByteArray framed(QByteArray gif, QSize screen, bool interlaced = false, int transparent = -1,
    QPoint at = { 8, 8 })
{
    const qsizetype frame = gif[10] & 0x80 ? 13 + 3 * 128 : 13;
    qToLittleEndian<quint32>(screen.width() | screen.height() << 16, gif.data() + 6);
    gif[11] = 2;
    qToLittleEndian<quint32>(at.x() | at.y() << 16, gif.data() + frame + 1);
    gif[frame + 9] |= interlaced ? 0x40 : 0;
    if (transparent >= 0)
        gif.insert(frame, QByteArray("\x21\xF9\x04\x01\0\0", 6) + char(transparent) + '\0');
    return gif;
}

// A BMP of its info header's size (12: the old OS/2 one), then more (the rest of a longer
// header, masks, palette) and the pixels, which start right after; both in hex.
QByteArray bmpOf(QSize size, int bits, int compression, const QByteArray& moreHex,
    const QByteArray& pixelsHex, int infoSize = 40, int coloursUsed = 0)
{
    const QByteArray more = QByteArray::fromHex(moreHex), pixels = QByteArray::fromHex(pixelsHex);
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const int start = 14 + std::min(infoSize, 40) + int(more.size());
    out << quint16(0x4D42) << quint32(start + pixels.size()) << quint32(0) << quint32(start);
    if (infoSize == 12)
        out << quint32(12) << quint16(size.width()) << quint16(size.height()) << quint16(1)
            << quint16(bits);
    else
        out << quint32(infoSize) << size.width() << size.height() << quint16(1) << quint16(bits)
            << quint32(compression) << quint32(pixels.size()) << quint64(0) << coloursUsed << 0;
    return file + more + pixels;
}

// How far a picture is from Qt's whole picture of bytes (or from the one expected, where Qt
// is wrong), upright and reduced smoothly: the mean difference of their premultiplied channels.
double offQt(const QImage& image, QByteArray bytes, const QImage& expected = {})
{
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImageReader::setAllocationLimit(int(Decoding::Budget >> 20));
    const QImage one = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage other = (expected.isNull() ? reader.read() : expected)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                             .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (other.size() != one.size())
        return 255;
    qint64 sum = 0;
    for (int y = 0; y < one.height(); ++y) {
        const uchar* p = one.constScanLine(y);
        const uchar* q = other.constScanLine(y);
        if (std::memcmp(p, q, std::size_t(one.width()) * 4) != 0)
            for (int i = 0; i < one.width() * 4; ++i)
                sum += qAbs(p[i] - q[i]);
    }
    return double(sum) / (4.0 * one.width() * one.height());
}

// Each target pixel the rounded mean of the premultiplied source pixels of its box: target
// column i takes the source columns from i * width / target width on, and so do rows.
QImage boxMeans(const QImage& source, QSize target)
{
    const QImage pixels = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::vector<std::array<int, 5>> sums(std::size_t(target.width() * target.height()));
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const int box = ((y + 1) * target.height() - 1) / source.height() * target.width()
                + ((x + 1) * target.width() - 1) / source.width();
            const QRgb pixel = pixels.pixel(x, y);
            auto& s = sums[std::size_t(box)];
            s = { s[0] + qRed(pixel), s[1] + qGreen(pixel), s[2] + qBlue(pixel),
                s[3] + qAlpha(pixel), s[4] + 1 };
        }
    }
    QImage means(target, QImage::Format_ARGB32_Premultiplied);
    for (int box = 0; box < target.width() * target.height(); ++box) {
        const auto& s = sums[std::size_t(box)];
        const auto mean = [&](int channel) { return (s[channel] + s[4] / 2) / s[4]; };
        means.setPixel(
            box % target.width(), box / target.width(), qRgba(mean(0), mean(1), mean(2), mean(3)));
    }
    return means;
}

// A figure of the process's memory, in KiB: VmRSS now, or VmHWM the peak since the peak was
// last set back (Linux only; elsewhere nothing is measured).
qint64 kibibytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string word; status >> word;)
        if (word == field && status >> word)
            return std::stoll(word);
    return 0;
}

// Tolerances that are outcomes: the picture is not shown.
constexpr double Damaged = -1;
constexpr double OverBudget = -2;

} // namespace

class tst_PictureLoader : public QObject {
    Q_OBJECT

private slots:
    void loads_data();
    void loads();
    void viewerShowsBlackAndGoesOn();

private:
    TestFolder m_dir;
};

void tst_PictureLoader::loads_data()
{
    QTest::addColumn<QByteArray>("bytes"); // of the file named by the row; null: a FIFO
    QTest::addColumn<QSize>("natural"); // invalid: refused on opening
    // How far the picture read may be from Qt's whole picture reduced smoothly, or the
    // outcome when it is not shown: Damaged or OverBudget.
    QTest::addColumn<double>("tolerance");
    QTest::addColumn<QSize>("target");
    // Where Qt reads it wrong, the picture drawn by hand to measure against instead.
    QTest::addColumn<QImage>("expected"); // null: Qt's picture
    // Where Qt reads the file wrong or not at all: a file it reads right that shows the same
    // at target; else null.
    QTest::addColumn<QByteArray>("alike");
    // Drawn by hand: the pixels row by row, or one for all of them.
    const auto row = [](const QByteArray& name, const QByteArray& bytes, QSize natural,
                         double tolerance = 0, QSize target = {}, const QList<QRgb>& drawn = {},
                         const QByteArray& alike = {}) {
        const int width = drawn.size() == 1 ? 1 : natural.width();
        QImage expected(width, int(drawn.size()) / width, QImage::Format_ARGB32);
        std::copy_n(drawn.constData(), drawn.size(), reinterpret_cast<QRgb*>(expected.bits()));
        QTest::newRow(name) << bytes << natural << tolerance
                            << (target.isValid() ? target : natural / 2) << expected << alike;
    };
    const QSize size(64, 32);
    const QByteArray png = encoded(quarters(), "PNG");
    const QByteArray jpeg = encoded(quarters(), "JPEG");
    QByteArray animated = gifBytes(quarters(), Opaque).chopped(1);
    animated += gifBytes(quarters(QList<QColor>(4, Qt::blue)), Opaque).mid(13 + 3 * 128);
    const QList<QColor> translucent
        = { Qt::red, QColor(0, 255, 0, 128), Qt::transparent, Qt::blue };
    // Rows repeated from further back than the smallest window, and stored unfiltered.
    const QImage repeated = noise({ 320, 1 })
                                .convertToFormat(QImage::Format_Indexed8)
                                .scaled(320, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    row("png named.jpg", png, size);
    row("jpeg named.png", jpeg, size, 3);
    row("bmp named.gif", encoded(quarters(), "BMP"), size);
    row("gif named.bmp", gifBytes(quarters(), Opaque), size);
    const QSize uneven(42, 30); // rows padded at every depth
    const QByteArray bmp = encoded(quarters(Opaque, QImage::Format_RGB32, uneven), "BMP");
    row("bmp, rows padded.bmp", bmp, uneven, 3, { 21, 10 });
    row("bmp, 32 bits.bmp", restored(bmp, uneven, true), uneven, 3, { 21, 10 });
    row("bmp, top down.bmp", restored(bmp, uneven, false), uneven, 3, { 21, 10 });
    row("bmp, read in blocks.bmp",
        encoded(quarters(Opaque, QImage::Format_RGB32, { 600, 250 }), "BMP"), { 600, 250 }, 3);
    row("bmp, indexed.bmp", encoded(quarters(Opaque, QImage::Format_Indexed8, uneven), "BMP"),
        uneven, 3, { 21, 10 });
    row("bmp, 2 colours.bmp",
        encoded(
            quarters({ Qt::black, Qt::white, Qt::white, Qt::black }, QImage::Format_Mono, uneven),
            "BMP"),
        uneven, 3, { 21, 10 });
    // Four colours, or grey first to show the pixels that run lengths skip.
    const QByteArray four = "0000ff0000ff0000ff000000ffffff00", grey4 = "80808000" + four.mid(8);
    const QRgb grey = 0xff808080, white = 0xffffffff, black = 0xff000000, red = 0xffff0000,
               green = 0xff00ff00, blue = 0xff0000ff;
    row("bmp, run lengths of 8 bits.bmp",
        bmpOf({ 8, 4 }, 8, 1, four,
            "0301000502030001020000000802000000030302010005000000040304010001", 40, 4),
        { 8, 4 }, 1);
    row("bmp, run lengths of 4 bits.bmp",
        bmpOf({ 8, 2 }, 4, 2, four, "051200033020000000050123100003320001", 40, 4), { 8, 2 }, 1);
    row("bmp, run lengths skipping pixels.bmp",
        bmpOf({ 4, 3 }, 8, 1, grey4, "0201000001020002010101030001"), { 4, 3 }, 0, { 4, 3 },
        { grey, grey, white, grey, blue, grey, grey, grey, green, green, grey, grey });
    row("bmp, run lengths past the edges.bmp",
        bmpOf({ 4, 3 }, 8, 1, grey4, "0601000000060203020302030002090000000103000200090102"),
        { 4, 3 }, 0, { 4, 3 },
        { white, grey, grey, grey, blue, white, blue, white, green, green, green, green });
    row("bmp, no end code.bmp", bmpOf({ 4, 2 }, 8, 1, four, "040100000402", 40, 4), { 4, 2 }, 1);
    row("bmp, run lengths cut.bmp", bmpOf({ 4, 3 }, 8, 1, four, "06010000"), { 4, 3 }, Damaged);
    row("bmp, 5-5-5.bmp", bmpOf({ 4, 2 }, 16, 0, "", "ff7f007c1f00e003000010420f3ce07f"), { 4, 2 });
    row("bmp, 5-6-5.bmp",
        bmpOf({ 4, 2 }, 16, 3, "00f80000e00700001f000000", "ffff00f81f00e007000010840f7ce0ff"),
        { 4, 2 });
    const QByteArray masks = "ff00000000ff00000000ff00000000ff",
                     rgba = "ff00008000ff00ff0000ffff10203040";
    const QList<QRgb> byHand = { blue, 0x40102030, 0x80ff0000, green };
    row("bmp, 32 bits, bit fields in 56 bytes.bmp", bmpOf({ 2, 2 }, 32, 3, masks, rgba, 56),
        { 2, 2 }, 0, { 2, 2 }, byHand);
    row("bmp, alpha bit fields.bmp", bmpOf({ 2, 2 }, 32, 6, masks, rgba), { 2, 2 }, 1, {}, byHand);
    row("bmp, the OS-2 header.bmp", bmpOf({ 8, 2 }, 1, 0, "0000ff00ff00", "55000000f0000000", 12),
        { 8, 2 }, 1);
    row("bmp, 4 bits, room for 2 colours.bmp",
        bmpOf({ 4, 2 }, 4, 0, four.left(16), "0123000010320000"), { 4, 2 }, 0, { 4, 2 },
        { green, red, black, black, red, green, black, black });
    row("bmp, indexes past the colours used.bmp",
        bmpOf({ 4, 2 }, 8, 0, four, "0001020303020100", 40, 2), { 4, 2 }, 0, { 4, 2 },
        { black, black, green, red, red, green, black, black });
    // 64 bytes claiming 14000 x 14000 pixels, all skipped at once.
    row("bmp, run lengths ending at once.bmp",
        bmpOf({ 14000, 14000 }, 8, 1, grey4.left(16), "0001"), { 14000, 14000 }, 0, { 140, 140 },
        { grey });
    row("bmp, a million wide.bmp", bmpOf({ 1000000, 1 }, 8, 1, grey4.left(16), "0001"),
        { 1000000, 1 }, 0, { 1000, 1 }, { grey });
    row("bmp, a pixel wider.bmp", bmpOf({ 1000001, 1 }, 8, 1, grey4.left(16), "0001"), {});
    row("animated, its first frame.gif", animated, size);
    // Frames cut by the screen, and a frame small on a large screen, which is the picture.
    row("gif, a frame cut.gif", framed(gifBytes(quarters(), Opaque), { 70, 36 }), { 70, 36 }, 3);
    // Qt mixes up the rows of an interlaced frame cut at the bottom, not at the side.
    row("gif, interlaced, a colour transparent.gif",
        framed(gifBytes(quarters(), Opaque), { 64, 48 }, true, 1), { 64, 48 }, 3);
    const auto speck = [](QSize frame, QSize screen, QPoint at) {
        return framed(
            gifBytes(quarters(Opaque, QImage::Format_RGB32, frame), Opaque), screen, false, -1, at);
    };
    row("gif, a frame on a large screen.gif", speck({ 100, 100 }, { 3000, 3000 }, { 1200, 700 }),
        { 3000, 3000 }, 0, { 300, 300 });
    // Too large for Qt to read whole: a screen of one pixel a box, the frame 2 x 2, is alike.
    row("gif, a speck on a huge screen.gif", speck({ 290, 240 }, { 16385, 12000 }, { 1450, 1200 }),
        { 16385, 12000 }, 0, { 113, 100 }, {}, speck({ 2, 2 }, { 113, 100 }, { 10, 10 }));
    QList<QColor> colours;
    for (int index = 0; index < 128; ++index)
        colours += QColor(index * 2, 255 - index, index * 37 % 256);
    QImage scattered(256, 64, QImage::Format_RGB32);
    QRandomGenerator random(17);
    for (int at = 0; at < 256 * 64; ++at)
        scattered.setPixelColor(at % 256, at / 256, colours[random.bounded(128)]);
    row("gif, its code table full.gif", gifBytes(scattered, colours), scattered.size(), 3);
    row("caf\xE9.png", png, size, 0, size);
    row("stretched past the budget.png", png, size, OverBudget, { 20000, 10000 });
    for (int orientation = 2; orientation <= 8; ++orientation) // turned, mirrored or both
        row(QByteArray("oriented " + QByteArray::number(orientation) + ".jpg"),
            oriented(jpeg, orientation), orientation >= 5 ? QSize(32, 64) : size, 3,
            orientation >= 5 ? QSize(8, 64) : QSize(32, 8));
    // A channel of 0xFF00 is 254 in 8 bits, not its high byte.
    row("16-bit.png",
        encoded(quarters({ QColor::fromRgba64(0xFF00, 0x8000, 0, 0xFF00), Qt::red, Qt::transparent,
                             Qt::blue },
                    QImage::Format_RGBA64),
            "PNG"),
        size);
    row("palette with transparency.png",
        encoded(quarters(translucent, QImage::Format_Indexed8), "PNG"), size);
    row("interlaced with alpha.png",
        QByteArray::fromHex(
            "89504e470d0a1a0a0000000d4948445200000008000000080806000001b3088e1d0000"
            "00314944415478da63f8cfc000460d0c10f0ff3f848f21021745c84065b1aa20ac05a7"
            "1958cc423513a7024cf01f4d0f010500094257b19ffc7fcb0000000049454e44ae426082"),
        { 8, 8 });
    for (const QImage& kind : { noise({ 4, 6 }).convertToFormat(QImage::Format_RGB888),
             noise(uneven).convertToFormat(QImage::Format_Indexed8),
             noise(uneven).convertToFormat(QImage::Format_Mono) }) // some passes left empty
        // Reduced, noise is far from Qt's smooth scaling, and its box means are checked exactly.
        for (const QSize at : { kind.size(), kind.size() * 2 / 5 })
            row("interlaced, depth " + QByteArray::number(kind.depth()) + ", "
                    + QByteArray::number(at.width()) + " wide.png",
                interlaced(kind), kind.size(), at == kind.size() ? 0 : 16, at);
    QImage lit(14000, 14000, QImage::Format_Mono);
    lit.fill(1);
    row("interlaced 1-bit, 14000 x 14000.png", interlaced(lit), lit.size(), 0, { 1400, 1400 },
        { 0xffffffff });
    // 16-bit RGB, (0x8080, 0, 0xFFFF) transparent by a tRNS chunk put after the header: not
    // (0x8081, 0, 0xFFFF), the same in 8 bits.
    QImage wide(2, 1, QImage::Format_RGBX64);
    wide.setPixelColor(0, 0, QColor::fromRgba64(0x8080, 0, 0xFFFF));
    wide.setPixelColor(1, 0, QColor::fromRgba64(0x8081, 0, 0xFFFF));
    const QByteArray tRNS = QByteArray::fromHex("0000000674524e5380800000ffff00000000");
    row("16-bit RGB, a colour transparent.png",
        patched(encoded(wide, "PNG").insert(33, tRNS), "tRNS", {}), { 2, 1 }, 0, { 2, 1 },
        { 0, 0xff8000ff });
    row("claiming too small a window.png",
        patched(encoded(repeated, "PNG"), "IDAT", QByteArray::fromHex("0899")), { 320, 16 }, 1);
    // More than Qt's own allocation limit lets it decode.
    row("36 megapixels.jpg", pictureBytes({ 6000, 6000 }, Qt::darkCyan, "JPEG"), { 6000, 6000 }, 0,
        { 6000, 6000 });
    row("200 megapixels, without them.png",
        patched(png, "IHDR", QByteArray::fromHex("00004e2000002710")), { 20000, 10000 }, Damaged,
        { 200, 100 });
    row("a row more.png", patched(png, "IHDR", QByteArray::fromHex("00004e2000002711")), {});
    // Chunks claiming 2 GiB, past the file's end: skipped unread, never allocated.
    for (const char* type : { "tEXt", "zTXt", "iTXt", "iCCP", "pCAL", "sCAL", "sPLT" })
        row(type + QByteArray(" of 2 GiB.png"),
            png.left(33) + "\x7f\xff\xff\xf0" + type + "0123456789abcdef", {});

    row("text.png", "This is a text, not a picture.\n", {});
    row("tiff.jpg",
        QByteArray::fromHex(
            "49492a00080000000800000103000100000002000000010103000100000002000000"
            "020103000100000008000000030103000100000001000000060103000100000001000000"
            "11010400010000006e0000001601030001000000020000001701040001000000040000"
            "00000000002060a0e0"),
        {});
    row("webp.jpg",
        QByteArray::fromHex(
            "524946461c000000574542505650384c0f0000002f014000000710fd8ffe0722a2ff0100"),
        {});
#ifndef _WIN32 // where there are FIFOs
    QCOMPARE(::mkfifo(m_dir.path("fifo.jpg").c_str(), 0600), 0);
    row("fifo.jpg", QByteArray(), {});
#endif

    const QByteArray busy = encoded(noise({ 256, 256 }), "PNG");
    const QByteArray gif = gifBytes(quarters(Opaque, QImage::Format_RGB32, { 256, 256 }), Opaque);
    const QByteArray odd = encoded(quarters(Opaque, QImage::Format_RGB32, { 63, 32 }), "BMP");
    row("cut in its pixels.png", busy.left(busy.size() / 2), { 256, 256 }, Damaged, { 256, 256 });
    row("without its end chunk.png", busy.chopped(12), { 256, 256 }, Damaged);
    const QSize square(256, 256);
    row("cut before its end marker.jpg", jpeg.chopped(2), size, 3);
    const QByteArray photo = encoded(noise(square), "JPEG");
    row("cut in its data.jpg", photo.left(photo.size() / 2), square, Damaged);
    const QByteArray layered = progressive(noise(square), JCS_YCbCr);
    row("progressive, no end marker.jpg", layered.chopped(2), square, 0, square);
    row("progressive, cut.jpg", layered.left(layered.lastIndexOf("\xFF\xDA")), square, Damaged);
    row("cmyk.jpg", progressive(noise(size, true), JCS_CMYK), size, 0, size);
    row("ycck.jpg", progressive(quarters(), JCS_YCCK), size, 3);
    row("800 scans.jpg", scans("04000400", 1, 800), { 1024, 1024 }, Damaged);
    row("14000 square.jpg", scans("36b036b0", 3, 1), { 14000, 14000 }, OverBudget);
    row("800 scans, 14000 square.jpg", scans("36b036b0", 1, 800), { 14000, 14000 }, OverBudget);
    row("cut in its last quarter.gif", gif.left(gif.size() * 7 / 8), { 256, 256 }, Damaged);
    // Its colours in the frame, not the screen.
    const QByteArray local = gif.left(10) + '\0' + gif.mid(11, 2) + gif.mid(397, 9) + '\x86'
        + gif.mid(13, 384) + gif.mid(407);
    row("cut, its colours in the frame.gif", local.left(local.size() * 7 / 8), { 256, 256 },
        Damaged);
    row("gif, its colours only in the frame.gif", framed(local, { 272, 272 }), { 272, 272 }, 3);
    row("gif, bad codes.gif", QByteArray(gif).replace(410, 1, "\xFF"), { 256, 256 }, Damaged);
    row("odd rows short of a byte.bmp", odd.chopped(1), {});
    // Rows of 10^13 bytes, two million of them: more than 64 bits can count.
    row("promising more than can be counted.bmp",
        QByteArray::fromHex("424d4a0003017ff5000005010000000000000001007f01002000be0000be0000000200"
                            "0000000000be"),
        {});
}

void tst_PictureLoader::loads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, natural);
    QFETCH(double, tolerance);
    QFETCH(QSize, target);
    QFETCH(QImage, expected);
    QFETCH(QByteArray, alike);
    const QByteArray& shown = alike.isNull() ? bytes : alike;
    const std::string path = m_dir.path(QTest::currentDataTag());
    if (!bytes.isNull())
        m_dir.file(QTest::currentDataTag(), bytes.toStdString());
    const auto removeFile = qScopeGuard([&] { std::remove(path.c_str()); });

    PictureLoader loader;
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak set back to the present
    const qint64 before = kibibytes("VmRSS:");
    QCOMPARE(loader.open(path), natural.isValid());
    QCOMPARE(loader.naturalSize(), natural);
    const Decoding::Result result = loader.read(target);
    QCOMPARE_LE((kibibytes("VmHWM:") - before) << 10, Decoding::Budget);
    const QImage& image = result.image;
    QCOMPARE(image.isNull(), !natural.isValid() || tolerance < 0);
    if (natural.isValid() && tolerance < 0)
        QCOMPARE(result.outcome,
            tolerance == OverBudget ? Decoding::Outcome::OverBudget : Decoding::Outcome::Damaged);
    if (!image.isNull()) {
        QCOMPARE(image.size(), target);
        QCOMPARE_LE(offQt(image, shown, expected), tolerance);
    }
    // Every picture that shows here is read by Lumra's own decoders; GIF, BMP and PNG give
    // exactly the box means of Qt's picture (or of the one by hand).
    if ((!bytes.startsWith("BM") && !bytes.startsWith("GIF") && !bytes.startsWith("\x89PNG"))
        || image.isNull())
        return;
    const QImage whole = expected.isNull() ? QImage::fromData(shown) : expected;
    if (whole.size() == natural || !alike.isNull())
        QCOMPARE(
            image.convertToFormat(QImage::Format_ARGB32_Premultiplied), boxMeans(whole, target));
}

// A picture that cannot be decoded leaves the area black, without a message, and the slide
// show goes on to the next.
void tst_PictureLoader::viewerShowsBlackAndGoesOn()
{
    Viewer viewer(3, 1);
    QVERIFY(viewer.shownControl() >= 0);
    viewer.dir.file("2.png", encoded(noise({ 256, 256 }), "PNG").left(5000).toStdString());
    viewer.window->tmrTimer_Timer();
    QCOMPARE(viewer.window->CurrentIndex(), 2);
    QCOMPARE(viewer.shownControl(), -1);
    viewer.window->tmrTimer_Timer();
    QCOMPARE(viewer.window->CurrentIndex(), 3);
    QVERIFY(viewer.shownControl() >= 0);
    QVERIFY(viewer.dialogs.shown().empty());
}

QTEST_MAIN(tst_PictureLoader)
#include "tst_pictureloader.moc"
