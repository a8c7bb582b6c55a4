#include "GifWriter.h"
#include "viewer/PictureLoader.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
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
#include <thread>

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
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
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
    write("tiff.jpg", encoded(picture, "TIFF"));
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

    QTest::newRow("text named .png") << "text.png";
    QTest::newRow("empty file") << "empty.jpg";
    QTest::newRow("PNG cut in its header") << "header cut.png";
    QTest::newRow("JPEG cut before its frame header") << "header cut.jpg";
    QTest::newRow("TIFF named .jpg") << "tiff.jpg";
    QTest::newRow("folder named .png") << "folder.png";
    QTest::newRow("missing file") << "missing.png";
}

void tst_PictureLoader::refusesWhatIsNoPicture()
{
    QFETCH(QString, name);

    PictureLoader loader;
    QVERIFY(!loader.open(pathOf(name)));
    QVERIFY(!loader.isOpen());
    QVERIFY(loader.naturalSize().isEmpty());
    QVERIFY(loader.read(QSize(64, 32)).isNull());
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
    QTest::newRow("JPEG cut early in its pixels") << jpeg.left(jpeg.size() / 4);
    QTest::newRow("JPEG cut before its end marker") << jpeg.left(jpeg.size() - 2);
    QTest::newRow("BMP cut in its pixels") << bmp.left(bmp.size() / 2);
    QTest::newRow("BMP short of one byte") << bmp.left(bmp.size() - 1);
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
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("opens");

    QTest::newRow("200 megapixels") << QSize(20000, 10000) << true;
    QTest::newRow("a row more") << QSize(20000, 10001) << false;
    QTest::newRow("a column more") << QSize(20001, 10000) << false;
    // libjpeg takes no side longer than 65500.
    QTest::newRow("widest within the limit") << QSize(65500, 3053) << true;
    QTest::newRow("widest a row beyond") << QSize(65500, 3054) << false;
}

// The limit is judged from the headers, before any pixel is decoded.
void tst_PictureLoader::limitsPixels()
{
    QFETCH(QSize, size);
    QFETCH(bool, opens);

    write("huge.jpg",
        withClaimedSize(encoded(quarters(QSize(64, 32)), "JPEG"), size.width(), size.height()));
    PictureLoader loader;
    QCOMPARE(loader.open(pathOf("huge.jpg")), opens);
    QCOMPARE(loader.naturalSize(), opens ? size : QSize());
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
