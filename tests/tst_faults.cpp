// The faults a picture viewer meets in real folders: bad files, files that change behind its
// back, odd names and long paths. Nothing may block, crash or lose data, and the slide show
// goes on.

#include "GifWriter.h"
#include "Pictures.h"
#include "ScriptedDialogs.h"
#include "UserProfile.h"
#include "viewer/CommandLine.h"
#include "viewer/IntervalTimer.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QLabel>
#include <QtTest>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace basGeneral;
using basOptions::CurrentOptions;

namespace {

QLabel* shown(const frmLumra& viewer)
{
    for (QLabel* control : viewer.imgPic)
        if (!control->isHidden() && !control->pixmap().isNull())
            return control;
    return nullptr;
}

QColor shownColour(const frmLumra& viewer)
{
    QLabel* control = shown(viewer);
    return control ? control->pixmap().toImage().pixelColor(0, 0) : QColor();
}

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void putBigEndian32(QByteArray& bytes, qsizetype at, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char((value >> (24 - 8 * i)) & 0xFF);
}

quint32 crc32(const char* data, qsizetype size)
{
    quint32 crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A valid PNG header claiming the given size, with one pixel of data behind it.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray bytes = pngBytes(QImage(1, 1, QImage::Format_RGB32));
    // The IHDR fields follow the 8-byte signature, the chunk length and its type; its CRC
    // covers the type and the 13 bytes of data.
    putBigEndian32(bytes, 16, width);
    putBigEndian32(bytes, 20, height);
    putBigEndian32(bytes, 29, crc32(bytes.constData() + 12, 17));
    return bytes;
}

// A GIF of frames 1 x 1 pixel: the first red, all the others green.
QByteArray animatedGif(int frames)
{
    QImage red(1, 1, QImage::Format_RGB32);
    red.fill(Qt::red);
    QImage green = red;
    green.fill(Qt::green);
    const QList<QColor> palette { Qt::red, Qt::green };
    QByteArray first = gifBytes(red, palette);
    const QByteArray greenGif = gifBytes(green, palette);
    // The frame is everything from the image descriptor to the trailer.
    const qsizetype frameStart = 13 + 3 * 128;
    const QByteArray frame = greenGif.mid(frameStart, greenGif.size() - frameStart - 1);
    first.chop(1);
    QByteArray all;
    all.reserve(first.size() + frame.size() * frames + 1);
    all += first;
    for (int i = 1; i < frames; ++i)
        all += frame;
    all += char(0x3B);
    return all;
}

std::string randomBytes(std::size_t size)
{
    std::mt19937 generator(12345);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    // Decoding
    void badFilesLeaveBlackAndTheShowGoesOn_data();
    void badFilesLeaveBlackAndTheShowGoesOn();
    void hugePicturesAreRefusedByTheirHeader_data();
    void hugePicturesAreRefusedByTheirHeader();
    void animatedGifShowsItsFirstFrame();

    // File system
    void specialFilesNeverBlock();
    void filesVanishDuringTheShow();
    void unreadableFile();
    void oddNames_data();
    void oddNames();
    void pathLongerThanTheSystemAllows();

    // Command line
    void tenThousandItems();

private:
    std::unique_ptr<UserProfile> m_profile;
};

void FaultsTest::init()
{
    m_profile = std::make_unique<UserProfile>();
    PicturePaths.clear();
    CurrentOptions.Sorted = true;
    CurrentOptions.Reverse = false;
}

void FaultsTest::badFilesLeaveBlackAndTheShowGoesOn_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("zero bytes") << QByteArray();
    QTest::newRow("random bytes") << QByteArray::fromStdString(randomBytes(5000));
    QTest::newRow("truncated PNG") << pngBytes(QImage(64, 64, QImage::Format_RGB32)).left(60);
    QTest::newRow("text named .png") << QByteArray("not a picture at all\n");
    QTest::newRow("PNG signature, then junk")
        << QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray::fromStdString(randomBytes(200));
}

void FaultsTest::badFilesLeaveBlackAndTheShowGoesOn()
{
    QFETCH(QByteArray, content);
    TestFolder dir;
    ScriptedDialogs dialogs;
    AddFile(drawPicture(dir, "1.png", { 8, 8 }, Qt::red));
    AddFile(dir.file("2.png", content.toStdString()));
    AddFile(drawPicture(dir, "3.png", { 8, 8 }, Qt::blue));
    frmLumra viewer({});
    viewer.MovePic(1);
    QCOMPARE(shownColour(viewer), QColor(Qt::red));
    viewer.tmrTimer->setInterval(50);
    viewer.tmrTimer->setEnabled(true);
    QTRY_COMPARE(viewer.CurrentIndex(), 2);
    QCOMPARE(shown(viewer), nullptr);
    QCOMPARE(viewer.windowTitle(), QString()); // below one second a name is not shown
    QTRY_COMPARE(viewer.CurrentIndex(), 3);
    QCOMPARE(shownColour(viewer), QColor(Qt::blue));
    viewer.tmrTimer->setEnabled(false);
    QVERIFY(dialogs.shown().empty());
}

void FaultsTest::hugePicturesAreRefusedByTheirHeader_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("header claims 30000 x 30000") << pngClaiming(30000, 30000);
    QImage mono(16384, 16384, QImage::Format_Mono);
    mono.fill(0);
    QTest::newRow("small PNG inflating to 16384 x 16384") << pngBytes(mono);
}

void FaultsTest::hugePicturesAreRefusedByTheirHeader()
{
    QFETCH(QByteArray, content);
    QVERIFY(content.size() < 4 * 1024 * 1024);
    TestFolder dir;
    AddFile(dir.file("huge.png", content.toStdString()));
    AddFile(drawPicture(dir, "small.png", { 8, 8 }, Qt::blue));
    frmLumra viewer({});
    viewer.MovePic(1);
    QCOMPARE(viewer.CurrentIndex(), 1);
    QCOMPARE(shown(viewer), nullptr);
    viewer.MovePic(1);
    QCOMPARE(shownColour(viewer), QColor(Qt::blue));
}

void FaultsTest::animatedGifShowsItsFirstFrame()
{
    TestFolder dir;
    AddFile(dir.file("many.gif", animatedGif(100000).toStdString()));
    frmLumra viewer({});
    viewer.MovePic(1);
    QVERIFY(shown(viewer));
    QCOMPARE(shownColour(viewer), QColor(Qt::red));
    QCOMPARE(shown(viewer)->pixmap().size(), QSize(1, 1));
}

void FaultsTest::specialFilesNeverBlock()
{
    // Each of these is named like a picture; showing one must come back at once. Should it
    // ever block, the test runner's time limit fails the test.
    TestFolder dir;
    QCOMPARE(::mkfifo(dir.path("fifo.jpg").c_str(), 0644), 0);
    QCOMPARE(::symlink("/dev/zero", dir.path("zero.png").c_str()), 0);
    QCOMPARE(::symlink(dir.path("missing.png").c_str(), dir.path("dangling.png").c_str()), 0);
    QCOMPARE(::symlink(dir.path("loop2.png").c_str(), dir.path("loop1.png").c_str()), 0);
    QCOMPARE(::symlink(dir.path("loop1.png").c_str(), dir.path("loop2.png").c_str()), 0);
    dir.folder("folder.jpg");
    drawPicture(dir, "real.png", { 8, 8 }, Qt::blue);

    QCOMPARE(::symlink(dir.path("real.png").c_str(), dir.path("link.png").c_str()), 0);

    // Nothing is listed that cannot be shown: only the picture and the link to it.
    frmLumra viewer({});
    viewer.AddFolderPictures(dir.path());
    QCOMPARE(PictureCount(), 2);
    QCOMPARE(PicturePaths.at(1), dir.path("link.png"));
    QCOMPARE(PicturePaths.at(2), dir.path("real.png"));

    // Named on their own, they are looked at and refused without waiting.
    for (const char* name : { "fifo.jpg", "zero.png", "dangling.png", "loop1.png", "folder.jpg" }) {
        PicturePaths.clear();
        AddFile(dir.path(name));
        frmLumra alone({});
        alone.MovePic(1);
        QCOMPARE(alone.CurrentIndex(), 1);
        QVERIFY2(!shown(alone), name);
    }
}

void FaultsTest::filesVanishDuringTheShow()
{
    TestFolder dir;
    dir.folder("gone");
    for (int i = 1; i <= 4; ++i)
        AddFile(drawPicture(dir, "gone/" + std::to_string(i) + ".png", { 8, 8 }, Qt::red));
    ScriptedDialogs dialogs;
    frmLumra viewer({});
    viewer.MovePic(1);
    viewer.tmrTimer->setInterval(30);
    viewer.tmrTimer->setEnabled(true);
    QTRY_COMPARE(viewer.CurrentIndex(), 2);
    ::unlink(PicturePaths.at(3).c_str());
    QTRY_COMPARE(viewer.CurrentIndex(), 4);
    // The whole folder goes: every move stops once on a missing entry, and the show goes on.
    for (int i = 1; i <= 4; ++i)
        ::unlink(PicturePaths.at(i).c_str());
    ::rmdir(dir.path("gone").c_str());
    QTRY_COMPARE(viewer.CurrentIndex(), 3);
    QVERIFY(viewer.tmrTimer->enabled());
    viewer.tmrTimer->setEnabled(false);
    QVERIFY(dialogs.shown().empty());
}

void FaultsTest::unreadableFile()
{
    if (::geteuid() == 0)
        QSKIP("the superuser reads every file");
    TestFolder dir;
    AddFile(drawPicture(dir, "locked.png", { 8, 8 }, Qt::red));
    QCOMPARE(::chmod(PicturePaths.at(1).c_str(), 0), 0);
    frmLumra viewer({});
    viewer.MovePic(1);
    QCOMPARE(viewer.CurrentIndex(), 1);
    QCOMPARE(shown(viewer), nullptr);
}

void FaultsTest::oddNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("leading dash") << QByteArray("-rf.png");
    QTest::newRow("newline") << QByteArray("two\nlines.png");
    QTest::newRow("not UTF-8") << QByteArray("\xff\xfe.png");
    QTest::newRow("spaces and quotes") << QByteArray(" \"quoted\" .png");
}

void FaultsTest::oddNames()
{
    QFETCH(QByteArray, name);
    TestFolder dir;
    const std::string path = drawPicture(dir, name.toStdString(), { 8, 8 }, Qt::red);
    drawPicture(dir, "zz.png", { 8, 8 }, Qt::blue);
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MsgAnswer::Yes);
    frmLumra viewer({});
    viewer.AddFolderPictures(dir.path());
    QCOMPARE(PictureCount(), 2);
    const int index = PicturePaths.at(1) == path ? 1 : 2;
    QCOMPARE(PicturePaths.at(index), path);
    viewer.MovePic(index == 1 ? 0 : 2);
    QCOMPARE(shownColour(viewer), QColor(Qt::red));
    viewer.deleteCommand();
    struct stat info { };
    QCOMPARE(::lstat(path.c_str(), &info), -1);
    QCOMPARE(::lstat(dir.path("zz.png").c_str(), &info), 0);
    QCOMPARE(shownColour(viewer), QColor(Qt::blue));
}

void FaultsTest::pathLongerThanTheSystemAllows()
{
    TestFolder dir;
    std::string longPath = dir.path();
    while (longPath.size() < 5000)
        longPath += "/" + std::string(200, 'd');
    longPath += "/x.png";
    ScriptedDialogs dialogs;
    AddFile(longPath);
    frmLumra viewer({ longPath });
    viewer.AddFolderPictures(longPath);
    QCOMPARE(PictureCount(), 1);
    viewer.MovePic(1);
    QCOMPARE(viewer.CurrentIndex(), 1);
    QCOMPARE(shown(viewer), nullptr);
    viewer.ParseCommandLine();
    QVERIFY(viewer.FolderArgs().empty());
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY(dialogs.messages().first().startsWith(QLatin1String("Invalid Folder or File Name:")));
}

void FaultsTest::tenThousandItems()
{
    TestFolder dir;
    dir.folder("f");
    std::string line;
    for (int i = 0; i < 10000; ++i)
        line += dir.path("f") + (i % 2 ? ";" : ",");
    int invalid = 0;
    const auto accepted = CommandLine::arguments(line, [&](const std::string&) { ++invalid; });
    QCOMPARE(accepted.size(), std::size_t(10000));
    QCOMPARE(invalid, 0);

    // Ten thousand opening quotes join into one long name: linear, and reported once.
    std::string quotes;
    for (int i = 0; i < 10000; ++i)
        quotes += "\"x ";
    std::vector<std::string> reported;
    const auto none = CommandLine::arguments(
        quotes, [&](const std::string& item) { reported.push_back(item); });
    QVERIFY(none.empty());
    QCOMPARE(reported.size(), std::size_t(1));
}

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
