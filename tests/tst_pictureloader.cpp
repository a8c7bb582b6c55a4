#include "GifWriter.h"
#include "picture/PictureLoader.h"
#include "picture/PngRows.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <png.h>
#include <thread>
#include <vector>
#include <zlib.h>

namespace {

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
const QColor Blue(0, 0, 255);
const QColor Yellow(255, 255, 0);

// A picture whose four quarters differ, so that any turn or mirror shows.
QImage quarters(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    const int w = size.width() / 2;
    const int h = size.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, w, h, Red);
    painter.fillRect(w, 0, size.width() - w, h, Green);
    painter.fillRect(0, h, w, size.height() - h, Blue);
    painter.fillRect(w, h, size.width() - w, size.height() - h, Yellow);
    return image;
}

// A picture red on its left half and blue on its right.
QImage halves(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height(), Red);
    painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height(), Blue);
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int quality = 95)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        qFatal("cannot encode a %s test picture", format);
    return bytes;
}

QByteArray gifOf(const QImage& image) { return gifBytes(image, { Red, Green, Blue, Yellow }); }

// A JPEG with an EXIF segment holding nothing but the orientation tag (1 to 8).
QByteArray withOrientation(const QByteArray& jpeg, int orientation)
{
    QByteArray exif("Exif\0\0", 6);
    exif.append("MM\0\x2A\0\0\0\x08", 8); // big-endian TIFF header, first IFD at 8
    exif.append("\0\x01", 2); // one entry
    exif.append("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    exif.append(char(0));
    exif.append(char(orientation));
    exif.append("\0\0", 2);
    exif.append("\0\0\0\0", 4); // no further IFD
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char((exif.size() + 2) >> 8));
    segment.append(char((exif.size() + 2) & 0xFF));
    segment.append(exif);
    // After the JFIF segment, which by its rules follows the start marker directly.
    qsizetype at = 2;
    if (jpeg.size() > 6 && quint8(jpeg[2]) == 0xFF && quint8(jpeg[3]) == 0xE0)
        at = 4 + ((quint8(jpeg[4]) << 8) | quint8(jpeg[5]));
    return jpeg.left(at) + segment + jpeg.mid(at);
}

// A JPEG whose frame header claims another size; only its headers can be read right.
QByteArray jpegClaimingSize(QByteArray jpeg, int width, int height)
{
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    if (frame < 0)
        qFatal("no baseline frame header in a JPEG written by Qt");
    jpeg[frame + 5] = char(height >> 8);
    jpeg[frame + 6] = char(height & 0xFF);
    jpeg[frame + 7] = char(width >> 8);
    jpeg[frame + 8] = char(width & 0xFF);
    return jpeg;
}

// Pictures of formats that Lumra does not show, written by hand so that no image plugin is
// needed to make them: a 2 x 2 grey TIFF and a 2 x 2 lossless WebP.
QByteArray tiffPicture()
{
    QByteArray tiff("II*\0\x08\0\0\0", 8); // little-endian, first directory at 8
    const std::pair<quint16, quint32> tags[] = { { 256, 2 }, { 257, 2 }, { 258, 8 }, { 259, 1 },
        { 262, 1 }, { 273, 110 }, { 278, 2 }, { 279, 4 } };
    auto put = [&](quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            tiff.append(char((value >> (8 * i)) & 0xFF));
    };
    put(std::size(tags), 2);
    for (const auto& [tag, value] : tags) {
        const bool isLong = tag == 273 || tag == 279; // strip offset and byte count
        put(tag, 2);
        put(isLong ? 4 : 3, 2);
        put(1, 4);
        put(value, 4);
    }
    put(0, 4); // no next directory; the pixels follow at 110
    tiff.append("\x20\x60\xA0\xE0", 4);
    return tiff;
}

const QByteArray WebPPicture("RIFF\x1c\0\0\0WEBPVP8L\x0f\0\0\0\x2f\x01\x40\0\0\x07\x10\xfd"
                             "\x8f\xfe\x07\x22\xa2\xff\x01\0",
    36);

void putBig32(QByteArray& bytes, qsizetype at, quint32 value)
{
    for (int shift = 24, i = 0; shift >= 0; shift -= 8, ++i)
        bytes[at + i] = char((value >> shift) & 0xFF);
}

// A PNG whose header claims another size, with the checksum to match; its pixels are those
// of the real size.
QByteArray pngClaimingSize(QByteArray png, int width, int height)
{
    // The signature, then the header chunk: length, type, width, height, ..., checksum.
    putBig32(png, 16, quint32(width));
    putBig32(png, 20, quint32(height));
    const auto* typeAndData = reinterpret_cast<const Bytef*>(png.constData() + 12);
    putBig32(png, 29, quint32(crc32(0, typeAndData, 17)));
    return png;
}

// A PNG written by libpng itself, of kinds that Qt does not write: gray with alpha, 16-bit
// colour without alpha, interlaced. Gray kinds take the red channel.
QByteArray libpngWritten(const QImage& image, int colourType, int bitDepth, bool interlaced)
{
    const QImage source = image.convertToFormat(QImage::Format_RGBA64);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    QByteArray bytes;
    png_set_write_fn(
        png, &bytes,
        [](png_structp writer, png_bytep data, std::size_t length) {
            static_cast<QByteArray*>(png_get_io_ptr(writer))
                ->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(source.width()), png_uint_32(source.height()), bitDepth,
        colourType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);

    const bool colour = (colourType & PNG_COLOR_MASK_COLOR) != 0;
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    std::vector<QByteArray> rows;
    std::vector<png_bytep> rowPointers;
    for (int y = 0; y < source.height(); ++y) {
        QByteArray row;
        const auto* pixels = reinterpret_cast<const QRgba64*>(source.constScanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            QList<quint16> channels = { pixels[x].red() };
            if (colour)
                channels << pixels[x].green() << pixels[x].blue();
            if (alpha)
                channels << pixels[x].alpha();
            for (const quint16 value : channels) {
                row.append(char(value >> 8));
                if (bitDepth == 16)
                    row.append(char(value & 0xFF));
            }
        }
        rows.push_back(row);
    }
    rowPointers.reserve(rows.size());
    for (QByteArray& row : rows)
        rowPointers.push_back(reinterpret_cast<png_bytep>(row.data()));
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// Smooth colours, or grays, over the picture; with alpha, opaque on the left third, fading
// out over the middle one, and wholly transparent on the right.
QImage shaded(QSize size, bool gray, bool alpha)
{
    QImage image(size, QImage::Format_ARGB32);
    const int w = size.width() - 1;
    const int h = size.height() - 1;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int red = x * 255 / w;
            const int green = y * 255 / h;
            const int opacity = alpha ? qBound(0, (2 * w - 3 * x) * 255 / w, 255) : 255;
            image.setPixel(x, y,
                gray ? qRgba((red + green) / 2, (red + green) / 2, (red + green) / 2, opacity)
                     : qRgba(red, green, (x + y) * 255 / (w + h), opacity));
        }
    }
    return image;
}

// A few colours in blocks, some of them partly or wholly transparent.
QImage paletted(QSize size)
{
    QImage image(size, QImage::Format_Indexed8);
    image.setColorTable({ qRgba(255, 0, 0, 255), qRgba(0, 128, 255, 255), qRgba(0, 255, 0, 0),
        qRgba(255, 255, 255, 128), qRgba(40, 40, 40, 255), qRgba(255, 200, 0, 200) });
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, uint((x / 32 + 2 * (y / 32)) % 6));
    return image;
}

// The largest of the mean differences of the four premultiplied channels of two pictures
// of one size.
double meanDifference(const QImage& a, const QImage& b)
{
    const QImage first = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage second = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::array<qint64, 4> sums {};
    for (int y = 0; y < first.height(); ++y) {
        const auto* one = reinterpret_cast<const QRgb*>(first.constScanLine(y));
        const auto* other = reinterpret_cast<const QRgb*>(second.constScanLine(y));
        for (int x = 0; x < first.width(); ++x) {
            sums[0] += qAbs(qRed(one[x]) - qRed(other[x]));
            sums[1] += qAbs(qGreen(one[x]) - qGreen(other[x]));
            sums[2] += qAbs(qBlue(one[x]) - qBlue(other[x]));
            sums[3] += qAbs(qAlpha(one[x]) - qAlpha(other[x]));
        }
    }
    return double(*std::max_element(sums.begin(), sums.end()))
        / (double(first.width()) * first.height());
}

bool isNear(QRgb actual, const QColor& expected)
{
    const int tolerance = 40;
    return qAbs(qRed(actual) - expected.red()) <= tolerance
        && qAbs(qGreen(actual) - expected.green()) <= tolerance
        && qAbs(qBlue(actual) - expected.blue()) <= tolerance;
}

QString describe(QRgb colour) { return QColor(colour).name(); }

// The colours at the centres of the picture's four quarters, top left, top right, bottom
// left, bottom right, checked against the expected ones.
void verifyQuarters(const QImage& image, const QList<QColor>& expected)
{
    const int w = image.width();
    const int h = image.height();
    const QList<QPoint> centres = { { w / 4, h / 4 }, { 3 * w / 4, h / 4 }, { w / 4, 3 * h / 4 },
        { 3 * w / 4, 3 * h / 4 } };
    for (int corner = 0; corner < 4; ++corner) {
        const QRgb actual = image.pixel(centres[corner]);
        QVERIFY2(isNear(actual, expected[corner]),
            qPrintable(QStringLiteral("quarter %1 is %2, expected %3")
                           .arg(corner)
                           .arg(describe(actual), expected[corner].name())));
    }
}

// Runs call on its own thread and gives its result, or nothing when it has not returned
// after a generous while: a loader that blocks fails the test instead of hanging it.
template <typename Call> std::optional<bool> guarded(Call call)
{
    auto task = std::make_shared<std::packaged_task<bool()>>(std::move(call));
    std::future<bool> result = task->get_future();
    std::thread worker([task] { (*task)(); });
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        worker.detach();
        return std::nullopt;
    }
    worker.join();
    return result.get();
}

} // namespace

class tst_PictureLoader : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void decodesByContent_data();
    void decodesByContent();
    void refusesWhatIsNoPicture_data();
    void refusesWhatIsNoPicture();
    void refusesSpecialFilesAtOnce_data();
    void refusesSpecialFilesAtOnce();
    void failsOnDamagedData_data();
    void failsOnDamagedData();
    void appliesExifOrientation_data();
    void appliesExifOrientation();
    void scalesTurnedPictureBeforeTurning_data();
    void scalesTurnedPictureBeforeTurning();
    void limitsPixels_data();
    void limitsPixels();
    void reducesPngLikeQt_data();
    void reducesPngLikeQt();
    void readsLargePhoto_data();
    void readsLargePhoto();
    void namesAreBytes();
    void closesAndReopens();

private:
    std::string pathOf(const QString& name) const
    {
        return QFile::encodeName(m_dir.filePath(name)).toStdString();
    }
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(m_dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    QTemporaryDir m_dir;
    QByteArray m_png;
};

void tst_PictureLoader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QImage picture = quarters(QSize(64, 32));
    m_png = encoded(picture, "PNG");
    write("picture.bmp", encoded(picture, "BMP"));
    write("picture.gif", gifOf(picture));
    write("picture.jpg", encoded(picture, "JPEG"));
    write("picture.png", m_png);
    {
        QByteArray progressive;
        QBuffer buffer(&progressive);
        QImageWriter writer(&buffer, "JPEG");
        writer.setProgressiveScanWrite(true);
        QVERIFY(writer.write(picture));
        write("progressive.jpg", progressive);
    }
    write("png named.jpg", m_png);
    write("jpeg named.png", encoded(picture, "JPEG"));
    write("gif named.bmp", gifOf(picture));

    write("text.png", "This is a text, not a picture.\n");
    write("empty.jpg", {});
    write("header cut.png", m_png.left(20));
    write("header cut.jpg", encoded(picture, "JPEG").left(40));
    write("tiff.jpg", tiffPicture());
    write("webp.jpg", WebPPicture);
    QVERIFY(QDir(m_dir.path()).mkdir("folder.png"));
}

void tst_PictureLoader::decodesByContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("target");

    const QList<QSize> targets = { QSize(64, 32), QSize(40, 20), QSize(30, 30), QSize(8, 4) };
    for (const QString name : { "picture.bmp", "picture.gif", "picture.jpg", "progressive.jpg",
             "picture.png", "png named.jpg", "jpeg named.png", "gif named.bmp" }) {
        for (const QSize target : targets) {
            QTest::addRow("%s at %dx%d", qPrintable(name), target.width(), target.height())
                << name << target;
        }
    }
}

void tst_PictureLoader::decodesByContent()
{
    QFETCH(QString, name);
    QFETCH(QSize, target);

    PictureLoader loader;
    QVERIFY(loader.open(pathOf(name)));
    QVERIFY(loader.isOpen());
    QCOMPARE(loader.naturalSize(), QSize(64, 32));
    const QImage image = loader.read(target);
    QCOMPARE(image.size(), target);
    verifyQuarters(image, { Red, Green, Blue, Yellow });
}

void tst_PictureLoader::refusesWhatIsNoPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("foreignFormat");

    QTest::newRow("text named .png") << "text.png" << QByteArray();
    QTest::newRow("empty file") << "empty.jpg" << QByteArray();
    QTest::newRow("PNG cut in its header") << "header cut.png" << QByteArray();
    QTest::newRow("JPEG cut before its frame header") << "header cut.jpg" << QByteArray();
    QTest::newRow("TIFF named .jpg") << "tiff.jpg" << QByteArray("tiff");
    QTest::newRow("WebP named .jpg") << "webp.jpg" << QByteArray("webp");
    QTest::newRow("folder named .png") << "folder.png" << QByteArray();
    QTest::newRow("missing file") << "missing.png" << QByteArray();
}

void tst_PictureLoader::refusesWhatIsNoPicture()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, foreignFormat);

    PictureLoader loader;
    QVERIFY(!loader.open(pathOf(name)));
    QVERIFY(!loader.isOpen());
    QVERIFY(loader.naturalSize().isEmpty());
    QVERIFY(loader.read(QSize(64, 32)).isNull());
    // With Qt's extra plugins installed (./test.sh installs them), Qt itself reads the file:
    // the refusal is the loader's own.
    if (QImageReader::supportedImageFormats().contains(foreignFormat))
        QVERIFY(!QImage(QString::fromStdString(pathOf(name)), foreignFormat.constData()).isNull());
}

void tst_PictureLoader::refusesSpecialFilesAtOnce_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("FIFO named .jpg") << "fifo";
    QTest::newRow("link named .jpg to an endless device") << "/dev/zero";
    QTest::newRow("link named .png to an empty device") << "/dev/null";
}

void tst_PictureLoader::refusesSpecialFilesAtOnce()
{
    QFETCH(QString, kind);

    const QString name = "special " + QString(kind).replace('/', '_') + ".jpg";
    if (kind == "fifo") {
        // mkfifo is a POSIX program; where there is none, there are no FIFOs to fear.
        if (QProcess::execute("mkfifo", { m_dir.filePath(name) }) != 0)
            QSKIP("FIFOs cannot be made here");
    } else {
        if (!std::filesystem::exists(kind.toStdString()))
            QSKIP("no such device here");
        std::filesystem::create_symlink(kind.toStdString(), pathOf(name));
    }

    const std::string path = pathOf(name);
    const std::optional<bool> opened = guarded([path] {
        PictureLoader loader;
        return loader.open(path) || !loader.read(QSize(16, 16)).isNull();
    });
    QVERIFY2(opened.has_value(), "the loader blocked on a special file");
    QVERIFY(!*opened);
}

void tst_PictureLoader::failsOnDamagedData_data()
{
    QTest::addColumn<QByteArray>("bytes");

    // Big and busy enough that the cut falls inside the compressed pixels.
    QImage noisy(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y)
        for (int x = 0; x < noisy.width(); ++x)
            noisy.setPixel(x, y, qRgb((x * 7 + y * 13) % 256, (x * y) % 256, (x ^ y) % 256));
    const QByteArray png = encoded(noisy, "PNG");
    const QByteArray jpeg = encoded(noisy, "JPEG");
    const QByteArray bmp = encoded(noisy, "BMP");
    const QByteArray gif = gifOf(quarters(QSize(256, 256)));
    QTest::newRow("PNG cut in its pixels") << png.left(png.size() / 2);
    QTest::newRow("PNG with its pixels overwritten")
        << png.left(png.size() / 2) + QByteArray(png.size() / 2, '\x55');
    QByteArray flipped = png;
    flipped[png.indexOf("IDAT") + 100] = char(flipped[png.indexOf("IDAT") + 100] ^ 0x10);
    QTest::newRow("PNG with a byte of its pixels changed") << flipped;
    // The end chunk is 12 bytes: length, type and checksum.
    QTest::newRow("PNG without its end chunk") << png.left(png.size() - 12);
    QTest::newRow("PNG cut in its end chunk") << png.left(png.size() - 6);
    const QByteArray interlaced = libpngWritten(noisy, PNG_COLOR_TYPE_RGB, 8, true);
    QTest::newRow("interlaced PNG cut in its pixels") << interlaced.left(interlaced.size() / 2);
    QTest::newRow("JPEG cut early in its pixels") << jpeg.left(jpeg.size() / 4);
    QTest::newRow("JPEG cut before its end marker") << jpeg.left(jpeg.size() - 2);
    QTest::newRow("BMP cut in its pixels") << bmp.left(bmp.size() / 2);
    QTest::newRow("BMP short of one byte") << bmp.left(bmp.size() - 1);
    // Rows of 10^13 bytes, two million of them: more than 64 bits can count.
    QTest::newRow("BMP promising more than can be counted")
        << QByteArray::fromHex("424d4a0003017ff5000005010000000000000001"
                               "007f01002000be0000be00000002000000000000be");
    QTest::newRow("GIF cut in its pixels") << gif.left(gif.size() / 2);
    QTest::newRow("GIF cut in its last quarter") << gif.left(gif.size() * 7 / 8);
}

void tst_PictureLoader::failsOnDamagedData()
{
    QFETCH(QByteArray, bytes);

    write("damaged.png", bytes);
    PictureLoader loader;
    if (loader.open(pathOf("damaged.png")))
        QCOMPARE(loader.naturalSize(), QSize(256, 256));
    QVERIFY(loader.read(QSize(256, 256)).isNull());
    QVERIFY(loader.read(QSize(100, 100)).isNull());
}

void tst_PictureLoader::appliesExifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QList<QColor>>("corners");

    // The picture as stored is 64 x 32: red, green over blue, yellow. Each row gives the
    // quarters as they must appear once the orientation has been applied.
    struct Case {
        int orientation;
        QList<QColor> corners;
    };
    const QList<Case> cases = {
        { 1, { Red, Green, Blue, Yellow } },
        { 2, { Green, Red, Yellow, Blue } }, // mirrored left to right
        { 3, { Yellow, Blue, Green, Red } }, // turned half round
        { 4, { Blue, Yellow, Red, Green } }, // mirrored top to bottom
        { 5, { Red, Blue, Green, Yellow } }, // mirrored about the main diagonal
        { 6, { Blue, Red, Yellow, Green } }, // turned a quarter clockwise
        { 7, { Yellow, Green, Blue, Red } }, // mirrored about the other diagonal
        { 8, { Green, Yellow, Red, Blue } }, // turned a quarter anticlockwise
    };
    for (const Case& c : cases) {
        const bool turned = c.orientation >= 5;
        const QSize natural = turned ? QSize(32, 64) : QSize(64, 32);
        for (const QSize target : { natural, natural * 3 / 4, natural / 4 }) {
            QTest::addRow("orientation %d at %dx%d", c.orientation, target.width(), target.height())
                << c.orientation << natural << target << c.corners;
        }
    }
}

void tst_PictureLoader::appliesExifOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, natural);
    QFETCH(QSize, target);
    QFETCH(QList<QColor>, corners);

    const QString name = QStringLiteral("oriented %1.jpg").arg(orientation);
    write(name, withOrientation(encoded(quarters(QSize(64, 32)), "JPEG"), orientation));
    PictureLoader loader;
    QVERIFY(loader.open(pathOf(name)));
    QCOMPARE(loader.naturalSize(), natural);
    const QImage image = loader.read(target);
    QCOMPARE(image.size(), target);
    verifyQuarters(image, corners);
}

void tst_PictureLoader::scalesTurnedPictureBeforeTurning_data()
{
    QTest::addColumn<int>("orientation");

    QTest::newRow("turned a quarter clockwise") << 6;
    QTest::newRow("turned a quarter anticlockwise") << 8;
}

// Asked for a narrow strip of a picture stored on its side, the decoder must reduce the
// stored picture along the edge between its halves; reducing it across and stretching it
// back afterwards would smear that edge over many rows.
void tst_PictureLoader::scalesTurnedPictureBeforeTurning()
{
    QFETCH(int, orientation);

    const QString name = QStringLiteral("halves %1.jpg").arg(orientation);
    write(name, withOrientation(encoded(halves(QSize(64, 32)), "JPEG"), orientation));
    PictureLoader loader;
    QVERIFY(loader.open(pathOf(name)));
    QCOMPARE(loader.naturalSize(), QSize(32, 64));
    const QImage image = loader.read(QSize(8, 64));
    QCOMPARE(image.size(), QSize(8, 64));
    const QColor top = orientation == 6 ? Red : Blue;
    const QColor bottom = orientation == 6 ? Blue : Red;
    for (int x = 0; x < image.width(); ++x) {
        for (int y : { 0, 29, 30 }) {
            QVERIFY2(isNear(image.pixel(x, y), top),
                qPrintable(QStringLiteral("(%1, %2) is %3")
                               .arg(x)
                               .arg(y)
                               .arg(describe(image.pixel(x, y)))));
        }
        for (int y : { 33, 34, 63 }) {
            QVERIFY2(isNear(image.pixel(x, y), bottom),
                qPrintable(QStringLiteral("(%1, %2) is %3")
                               .arg(x)
                               .arg(y)
                               .arg(describe(image.pixel(x, y)))));
        }
    }
}

void tst_PictureLoader::limitsPixels_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("opens");

    for (const char* format : { "JPEG", "PNG" }) {
        QTest::addRow("%s of 200 megapixels", format)
            << QByteArray(format) << QSize(20000, 10000) << true;
        QTest::addRow("%s a row more", format)
            << QByteArray(format) << QSize(20000, 10001) << false;
        QTest::addRow("%s a column more", format)
            << QByteArray(format) << QSize(20001, 10000) << false;
    }
    // libjpeg takes no side longer than 65500.
    QTest::newRow("JPEG widest within the limit")
        << QByteArray("JPEG") << QSize(65500, 3053) << true;
    QTest::newRow("JPEG widest a row beyond") << QByteArray("JPEG") << QSize(65500, 3054) << false;
}

// The limit is judged from the headers, before any pixel is decoded.
void tst_PictureLoader::limitsPixels()
{
    QFETCH(QByteArray, format);
    QFETCH(QSize, size);
    QFETCH(bool, opens);

    const QByteArray picture = encoded(quarters(QSize(64, 32)), format.constData());
    const QString name = "huge." + format.toLower();
    write(name,
        format == "PNG" ? pngClaimingSize(picture, size.width(), size.height())
                        : jpegClaimingSize(picture, size.width(), size.height()));
    PictureLoader loader;
    QCOMPARE(loader.open(pathOf(name)), opens);
    QCOMPARE(loader.naturalSize(), opens ? size : QSize());
    // Its pixels are missing: read, it fails at once rather than decode for long.
    if (format == "PNG")
        QVERIFY(loader.read(QSize(261, 130)).isNull());
}

void tst_PictureLoader::reducesPngLikeQt_data()
{
    QTest::addColumn<QByteArray>("png");
    QTest::addColumn<QSize>("target");
    // Whether Lumra reduces this kind of PNG itself; Qt's reader reduces the others.
    QTest::addColumn<bool>("summed");

    const QSize size(160, 120);
    const QImage colour = shaded(size, false, false);
    const QImage translucent = shaded(size, false, true);
    const QImage gray = shaded(size, true, false);
    const QImage grayAlpha = shaded(size, true, true);
    const QImage oneBit = quarters(size).convertToFormat(
        QImage::Format_Mono, { qRgb(0, 0, 0), qRgb(255, 255, 255) }, Qt::ThresholdDither);
    struct Kind {
        const char* name;
        QByteArray png;
        bool summed;
    };
    const QList<Kind> kinds = {
        { "RGB", encoded(colour.convertToFormat(QImage::Format_RGB32), "PNG"), true },
        { "RGBA", encoded(translucent, "PNG"), true },
        { "palette with transparency", encoded(paletted(size), "PNG"), true },
        { "1-bit", encoded(oneBit, "PNG"), true },
        { "16-bit RGBA", encoded(translucent.convertToFormat(QImage::Format_RGBA64), "PNG"), true },
        { "16-bit RGB", libpngWritten(colour, PNG_COLOR_TYPE_RGB, 16, false), true },
        { "gray", encoded(gray.convertToFormat(QImage::Format_Grayscale8), "PNG"), true },
        { "16-bit gray", encoded(gray.convertToFormat(QImage::Format_Grayscale16), "PNG"), true },
        { "gray and alpha", libpngWritten(grayAlpha, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false), true },
        { "16-bit gray and alpha", libpngWritten(grayAlpha, PNG_COLOR_TYPE_GRAY_ALPHA, 16, false),
            true },
        { "interlaced RGB", libpngWritten(colour, PNG_COLOR_TYPE_RGB, 8, true), false },
        { "interlaced RGBA", libpngWritten(translucent, PNG_COLOR_TYPE_RGBA, 8, true), false },
    };
    for (const Kind& kind : kinds) {
        for (const QSize target : { QSize(50, 37), QSize(53, 120), QSize(160, 61), QSize(1, 1) }) {
            QTest::addRow("%s at %dx%d", kind.name, target.width(), target.height())
                << kind.png << target << kind.summed;
        }
    }
}

// A PNG shown smaller looks as Qt's whole picture reduced smoothly does: the same size, the
// same colours and transparency within a little rounding, whichever way it was reduced.
void tst_PictureLoader::reducesPngLikeQt()
{
    QFETCH(QByteArray, png);
    QFETCH(QSize, target);
    QFETCH(bool, summed);

    const QImage whole = QImage::fromData(png, "PNG");
    QVERIFY(!whole.isNull());
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const std::optional<QImage> reduced = PngRows::readReduced(buffer, whole.size(), target);
    QCOMPARE(reduced.has_value(), summed);

    write("kind.png", png);
    PictureLoader loader;
    QVERIFY(loader.open(pathOf("kind.png")));
    QCOMPARE(loader.naturalSize(), whole.size());
    const QImage image = loader.read(target);
    QCOMPARE(image.size(), target);
    if (reduced)
        QCOMPARE(image, *reduced);
    // Qt averages palette, 1-bit and 16-bit pictures with alpha as if it were a colour;
    // premultiplied first, its smooth reduction is a fair reference.
    const QImage reference = whole.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                 .scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double difference = meanDifference(image, reference);
    QVERIFY2(
        difference < 3, qPrintable(QStringLiteral("differs by %1 on average").arg(difference)));
}

void tst_PictureLoader::readsLargePhoto_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("target");

    // 48 megapixels: Qt's default limit refuses these at full size.
    for (const char* format : { "JPEG", "PNG", "BMP" }) {
        for (const QSize target : { QSize(800, 600), QSize(8000, 6000) }) {
            QTest::addRow("%s at %dx%d", format, target.width(), target.height())
                << QByteArray(format) << target;
        }
    }
}

void tst_PictureLoader::readsLargePhoto()
{
    QFETCH(QByteArray, format);
    QFETCH(QSize, target);

    const QString name = "large." + format.toLower();
    if (!QFile::exists(m_dir.filePath(name))) {
        write(name, encoded(quarters(QSize(8000, 6000)), format.constData(), 10));
    }
    PictureLoader loader;
    QVERIFY(loader.open(pathOf(name)));
    QCOMPARE(loader.naturalSize(), QSize(8000, 6000));
    const QImage image = loader.read(target);
    QCOMPARE(image.size(), target);
    verifyQuarters(image, { Red, Green, Blue, Yellow });
}

void tst_PictureLoader::namesAreBytes()
{
    // "café" in Latin-1: not valid UTF-8, so Qt could not name this file itself.
    const std::string name = m_dir.path().toStdString() + "/caf\xE9.png";
    // QTemporaryDir cannot name this file either, so the test removes it.
    const auto removeFile = qScopeGuard([&] { std::filesystem::remove(name); });
    {
        std::ofstream out(std::filesystem::path(name), std::ios::binary);
        out.write(m_png.constData(), m_png.size());
        QVERIFY(out.good());
    }
    PictureLoader loader;
    QVERIFY(loader.open(name));
    QCOMPARE(loader.naturalSize(), QSize(64, 32));
    QCOMPARE(loader.read(QSize(64, 32)).size(), QSize(64, 32));
}

void tst_PictureLoader::closesAndReopens()
{
    PictureLoader loader;
    QVERIFY(loader.open(pathOf("picture.png")));
    QCOMPARE(loader.read(QSize(10, 10)).size(), QSize(10, 10));
    // The file stays open, so a second read works too.
    QCOMPARE(loader.read(QSize(64, 32)).size(), QSize(64, 32));

    QVERIFY(!loader.open(pathOf("text.png")));
    QVERIFY(!loader.isOpen());
    QVERIFY(loader.read(QSize(64, 32)).isNull());

    QVERIFY(loader.open(pathOf("picture.jpg")));
    loader.close();
    QVERIFY(!loader.isOpen());
    QVERIFY(loader.naturalSize().isEmpty());
    QVERIFY(loader.read(QSize(64, 32)).isNull());
}

QTEST_MAIN(tst_PictureLoader)
#include "tst_pictureloader.moc"
