// The picture on screen: the fit into the client area, the two alternating controls and
// the caption.

#include "Pictures.h"
#include "viewer/IntervalTimer.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QLabel>
#include <QtTest>

using namespace basGeneral;

namespace {
QLabel* shown(const frmLumra& viewer)
{
    for (QLabel* control : viewer.imgPic)
        if (!control->isHidden())
            return control;
    return nullptr;
}
} // namespace

class DisplayTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        PicturePaths.clear();
        basOptions::CurrentOptions = {};
        basOptions::CurrentOptions.Sorted = true;
    }
    void fit_data();
    void fit();
    void noRefitOnResize();
    void slotsAlternate();
    void failedLoadLeavesBlack();
    void minimiseAndRestoreCaption();
    void formatsByContent();
};

void DisplayTest::fit_data()
{
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("expected");
    QTest::addColumn<bool>("stretched");

    QTest::newRow("wide picture shrunk by the width ratio")
        << QSize(200, 200) << QSize(300, 150) << QRect(0, 50, 200, 100) << true;
    QTest::newRow("exact fit at natural size")
        << QSize(200, 200) << QSize(200, 200) << QRect(0, 0, 200, 200) << false;
    QTest::newRow("small picture never enlarged, centred")
        << QSize(200, 200) << QSize(50, 40) << QRect(75, 80, 50, 40) << false;
    QTest::newRow("wider, less tall")
        << QSize(200, 200) << QSize(400, 100) << QRect(0, 75, 200, 50) << true;
    QTest::newRow("taller, narrower")
        << QSize(200, 200) << QSize(100, 400) << QRect(75, 0, 50, 200) << true;
    QTest::newRow("equal ratios") << QSize(200, 200) << QSize(400, 400) << QRect(0, 0, 200, 200)
                                  << true;
    QTest::newRow("odd margins drop the half")
        << QSize(200, 200) << QSize(51, 51) << QRect(74, 74, 51, 51) << false;
    QTest::newRow("odd sizes shrunk")
        << QSize(200, 200) << QSize(301, 101) << QRect(0, 66, 200, 67) << true;
    QTest::newRow("one side fits exactly, the other is larger")
        << QSize(261, 176) << QSize(261, 177) << QRect(1, 0, 260, 176) << true;
}

void DisplayTest::fit()
{
    QFETCH(QSize, client);
    QFETCH(QSize, picture);
    QFETCH(QRect, expected);
    QFETCH(bool, stretched);
    TestFolder dir;
    AddFile(drawPicture(dir, "p.png", picture));
    frmLumra viewer({});
    viewer.resize(client);
    viewer.MovePic(1);
    QLabel* control = shown(viewer);
    QVERIFY(control);
    QCOMPARE(control->geometry(), expected);
    QCOMPARE(control->hasScaledContents(), stretched);
    // Decoded at the size it is shown: one picture pixel per device pixel.
    QCOMPARE(control->pixmap().size(), expected.size());
}

void DisplayTest::noRefitOnResize()
{
    TestFolder dir;
    AddFile(drawPicture(dir, "p.png", { 400, 200 }));
    frmLumra viewer({});
    viewer.resize(200, 200);
    viewer.MovePic(1);
    const QRect before = shown(viewer)->geometry();
    viewer.resize(800, 600);
    QCOMPARE(shown(viewer)->geometry(), before);
    viewer.resize(100, 100);
    QCOMPARE(shown(viewer)->geometry(), before);
    // The next picture uses the new client size.
    viewer.MovePic(1);
    QCOMPARE(shown(viewer)->geometry(), QRect(0, 25, 100, 50));
}

void DisplayTest::slotsAlternate()
{
    TestFolder dir;
    AddFile(drawPicture(dir, "a.png", { 10, 10 }));
    AddFile(drawPicture(dir, "b.png", { 10, 10 }));
    frmLumra viewer({});
    viewer.MovePic(1);
    QCOMPARE(shown(viewer), viewer.imgPic[1]);
    QVERIFY(viewer.imgPic[0]->isHidden());
    viewer.MovePic(1);
    QCOMPARE(shown(viewer), viewer.imgPic[0]);
    QVERIFY(viewer.imgPic[1]->pixmap().isNull());
    viewer.MovePic(1);
    QCOMPARE(shown(viewer), viewer.imgPic[1]);
}

void DisplayTest::failedLoadLeavesBlack()
{
    TestFolder dir;
    AddFile(drawPicture(dir, "a.png", { 10, 10 }));
    AddFile(dir.file("b.png", "not a picture"));
    AddFile(drawPicture(dir, "c.png", { 10, 10 }));
    frmLumra viewer({});
    viewer.MovePic(1);
    QCOMPARE(shown(viewer), viewer.imgPic[1]);
    viewer.MovePic(1);
    // Nothing on screen, no message, but the caption names the file.
    QCOMPARE(shown(viewer), nullptr);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("b.png"));
    viewer.MovePic(1);
    // The slots swapped on the failed call too: the third picture goes to imgPic(1).
    QCOMPARE(shown(viewer), viewer.imgPic[1]);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("c.png"));

    // The very first call failing leaves its control visible but empty.
    frmLumra fresh({});
    fresh.SetPic(dir.path("b.png"));
    QVERIFY(!fresh.imgPic[1]->isHidden());
    QVERIFY(fresh.imgPic[1]->pixmap().isNull());
    QVERIFY(fresh.imgPic[0]->isHidden());
}

void DisplayTest::minimiseAndRestoreCaption()
{
    TestFolder dir;
    AddFile(drawPicture(dir, "a.png", { 10, 10 }));
    frmLumra viewer({});
    viewer.setWindowTitle(QStringLiteral("before"));
    viewer.resize(300, 200);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("before")); // nothing shown yet
    viewer.tmrTimer->setInterval(500);
    viewer.MovePic(1);
    QCOMPARE(viewer.windowTitle(), QString());
    viewer.show();
    viewer.showMinimized();
    QTRY_VERIFY(viewer.isMinimized());
    QCOMPARE(viewer.windowTitle(), QString());
    viewer.showNormal();
    QTRY_COMPARE(viewer.windowTitle(), QStringLiteral("a.png"));
}

void DisplayTest::formatsByContent()
{
    TestFolder dir;
    for (const char* format : { "BMP", "GIF", "JPEG", "PNG" })
        AddFile(drawPicture(dir, std::string("x.") + format, { 30, 20 }, Qt::red, format));
    // A PNG named like a JPEG still shows.
    AddFile(drawPicture(dir, "png-inside.jpg", { 30, 20 }, Qt::red, "PNG"));
    frmLumra viewer({});
    for (int i = 1; i <= PictureCount(); ++i) {
        viewer.MovePic(1);
        QVERIFY2(shown(viewer), PicturePaths.at(i).c_str());
        QCOMPARE(shown(viewer)->pixmap().size(), QSize(30, 20));
    }
}

QTEST_MAIN(DisplayTest)
#include "tst_display.moc"
