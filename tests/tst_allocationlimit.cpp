// The decoding memory limit: the user's QT_IMAGEIO_MAXALLOC wins over Lumra's own, and a
// picture it refuses shows as the black client area, like any picture that cannot be
// decoded. Qt reads the variable once per process, so this suite sets it before anything
// else and runs alone in its own executable.

#include "Pictures.h"
#include "picture/PictureLoader.h"
#include "viewer/frmLumra.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QtTest>

class AllocationLimitTest : public QObject {
    Q_OBJECT
private slots:
    void userLimitWins();
    void refusedPictureLeavesBlack();
};

void AllocationLimitTest::userLimitWins()
{
    TestFolder dir;
    // 800 × 600 at 4 bytes a pixel is 1.8 MiB: over the user's 1 MiB, far below Lumra's.
    const std::string path = drawPicture(dir, "big.png", { 800, 600 });
    PictureLoader loader;
    QVERIFY(loader.open(path));
    QCOMPARE(loader.naturalSize(), QSize(800, 600));
    QCOMPARE(QImageReader::allocationLimit(), 1);
    QVERIFY(loader.read({ 800, 600 }).isNull());
    // Decoded at the size shown, the same picture stays within the limit.
    QCOMPARE(loader.read({ 400, 300 }).size(), QSize(400, 300));
}

void AllocationLimitTest::refusedPictureLeavesBlack()
{
    TestFolder dir;
    const std::string small = drawPicture(dir, "small.png", { 100, 100 });
    const std::string big = drawPicture(dir, "big.png", { 800, 600 });
    frmLumra viewer({});
    viewer.resize(1000, 1000);
    viewer.SetPic(small);
    QVERIFY(!viewer.imgPic[1]->isHidden());
    viewer.SetPic(big);
    QVERIFY(viewer.imgPic[0]->isHidden());
    QVERIFY(viewer.imgPic[0]->pixmap().isNull());
    QVERIFY(viewer.imgPic[1]->isHidden());
    QVERIFY(viewer.imgPic[1]->pixmap().isNull());
}

int main(int argc, char** argv)
{
    qputenv("QT_IMAGEIO_MAXALLOC", "1");
    QApplication app(argc, argv);
    AllocationLimitTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_allocationlimit.moc"
