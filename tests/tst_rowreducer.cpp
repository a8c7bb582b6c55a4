#include "picture/RowReducer.h"

#include <QImage>
#include <QtTest>

namespace {

// Feeds image to a reducer row by row, as bytes in the order the reducer takes them.
QImage reduced(const QImage& image, QSize target, bool alpha)
{
    const QImage rows
        = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    RowReducer reducer(rows.size(), target, alpha);
    for (int y = 0; y < rows.height(); ++y)
        reducer.addRow(rows.constScanLine(y));
    return reducer.takeResult();
}

// A picture of blocks of one colour each: columns split at xs, rows at ys.
QImage blocks(QSize size, const QList<int>& xs, const QList<int>& ys, const QList<QRgb>& colours)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        const auto row = std::upper_bound(ys.begin(), ys.end(), y) - ys.begin();
        for (int x = 0; x < size.width(); ++x) {
            const auto column = std::upper_bound(xs.begin(), xs.end(), x) - xs.begin();
            image.setPixel(x, y, colours[row * (xs.size() + 1) + column]);
        }
    }
    return image;
}

QString describe(QRgb pixel) { return QStringLiteral("%1").arg(pixel, 8, 16, QLatin1Char('0')); }

} // namespace

class tst_RowReducer : public QObject {
    Q_OBJECT

private slots:
    void givesBlockMeans_data();
    void givesBlockMeans();
    void countsEverySourcePixelOnce_data();
    void countsEverySourcePixelOnce();
    void refusesWhatItCannotReduce_data();
    void refusesWhatItCannotReduce();
    void givesNothingBeforeTheLastRow();
};

void tst_RowReducer::givesBlockMeans_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<QImage>("expected"); // as Format_ARGB32_Premultiplied holds it

    const QList<QRgb> six
        = { 0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00, 0xff102030, 0xff808080 };
    QImage sixBlocks(3, 2, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < 6; ++i)
        sixBlocks.setPixel(i % 3, i / 3, six[i]);

    // Each target pixel falls on exactly one block of the source: the mean is its colour.
    QTest::newRow("2 x 2 blocks") << blocks({ 6, 4 }, { 2, 4 }, { 2 }, six) << QSize(3, 2) << false
                                  << sixBlocks;
    // 7 columns into 3 take 2, 2 and 3; 5 rows into 2 take 2 and 3.
    QTest::newRow("uneven blocks")
        << blocks({ 7, 5 }, { 2, 4 }, { 2 }, six) << QSize(3, 2) << false << sixBlocks;
    QTest::newRow("uneven blocks with alpha")
        << blocks({ 7, 5 }, { 2, 4 }, { 2 }, six) << QSize(3, 2) << true << sixBlocks;
    QTest::newRow("a wide picture into one pixel") << blocks({ 1000, 3 }, {}, {},
        { 0xff336699 }) << QSize(1, 1) << false << blocks({ 1, 1 }, {}, {}, { 0xff336699 });

    // Two of red, two of transparent green: half as opaque, half as red; no green.
    QImage checker(4, 4, QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? 0x0000ff00 : 0xffff0000);
    QImage halfRed(2, 2, QImage::Format_ARGB32_Premultiplied);
    halfRed.fill(0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            halfRed.setPixel(x, y, 0x80800000); // 127.5 rounds up
    QTest::newRow("transparent and opaque checker") << checker << QSize(2, 2) << true << halfRed;

    // Half-transparent white and opaque black: premultiplied, (128 + 0) / 2 of colour.
    QImage greys = blocks({ 2, 1 }, { 1 }, {}, { 0x80ffffff, 0xff000000 });
    QImage greyMean(1, 1, QImage::Format_ARGB32_Premultiplied);
    greyMean.setPixel(0, 0, 0xc0404040);
    QTest::newRow("half-transparent white beside black")
        << greys << QSize(1, 1) << true << greyMean;
}

void tst_RowReducer::givesBlockMeans()
{
    QFETCH(QImage, source);
    QFETCH(QSize, target);
    QFETCH(bool, alpha);
    QFETCH(QImage, expected);

    const QImage image = reduced(source, target, alpha);
    QCOMPARE(image.size(), target);
    QCOMPARE(image.format(), alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
            QVERIFY2(image.pixel(x, y) == expected.pixel(x, y),
                qPrintable(QStringLiteral("(%1, %2) is %3, expected %4")
                               .arg(x)
                               .arg(y)
                               .arg(describe(image.pixel(x, y)), describe(expected.pixel(x, y)))));
        }
    }
}

void tst_RowReducer::countsEverySourcePixelOnce_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QPoint>("lit");
    QTest::addColumn<QPoint>("box");
    QTest::addColumn<int>("area");

    // One white pixel on black, at every place in turn: it lights the one box it falls
    // in, by its share of that box, and no other.
    struct Reduction {
        QSize source;
        QSize target;
        QList<int> columnStarts; // of each target column in the source, and the end
        QList<int> rowStarts;
    };
    const QList<Reduction> reductions = {
        { { 7, 5 }, { 3, 2 }, { 0, 2, 4, 7 }, { 0, 2, 5 } },
        { { 5, 7 }, { 5, 3 }, { 0, 1, 2, 3, 4, 5 }, { 0, 2, 4, 7 } },
    };
    for (const Reduction& r : reductions) {
        for (int y = 0; y < r.source.height(); ++y) {
            for (int x = 0; x < r.source.width(); ++x) {
                const auto column
                    = std::upper_bound(r.columnStarts.begin(), r.columnStarts.end(), x)
                    - r.columnStarts.begin() - 1;
                const auto row = std::upper_bound(r.rowStarts.begin(), r.rowStarts.end(), y)
                    - r.rowStarts.begin() - 1;
                const int area = (r.columnStarts[column + 1] - r.columnStarts[column])
                    * (r.rowStarts[row + 1] - r.rowStarts[row]);
                QTest::addRow("%dx%d to %dx%d, (%d, %d) lit", r.source.width(), r.source.height(),
                    r.target.width(), r.target.height(), x, y)
                    << r.source << r.target << QPoint(x, y)
                    << QPoint(static_cast<int>(column), static_cast<int>(row)) << area;
            }
        }
    }
}

void tst_RowReducer::countsEverySourcePixelOnce()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(QPoint, lit);
    QFETCH(QPoint, box);
    QFETCH(int, area);

    QImage picture(source, QImage::Format_RGB32);
    picture.fill(Qt::black);
    picture.setPixel(lit, 0xffffffff);
    const QImage image = reduced(picture, target, false);
    QCOMPARE(image.size(), target);
    const int share = (255 + area / 2) / area;
    for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
            const int expected = QPoint(x, y) == box ? share : 0;
            QCOMPARE(image.pixel(x, y), qRgb(expected, expected, expected));
        }
    }
}

void tst_RowReducer::refusesWhatItCannotReduce_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("reducible");

    QTest::newRow("smaller") << QSize(6000, 4000) << QSize(1620, 1080) << true;
    QTest::newRow("the same size") << QSize(64, 32) << QSize(64, 32) << true;
    QTest::newRow("narrower only") << QSize(64, 32) << QSize(10, 32) << true;
    QTest::newRow("wider") << QSize(64, 32) << QSize(65, 16) << false;
    QTest::newRow("taller") << QSize(64, 32) << QSize(32, 33) << false;
    QTest::newRow("empty target") << QSize(64, 32) << QSize(0, 16) << false;
    QTest::newRow("empty source") << QSize(0, 32) << QSize(1, 1) << false;
    // Sums of boxes of more than 2^23 pixels would not stay exact.
    QTest::newRow("a box of 2^23 pixels") << QSize(4096, 2048) << QSize(1, 1) << true;
    QTest::newRow("a box of more") << QSize(4097, 2048) << QSize(1, 1) << false;
}

void tst_RowReducer::refusesWhatItCannotReduce()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, reducible);

    QCOMPARE(RowReducer::canReduce(source, target), reducible);
}

void tst_RowReducer::givesNothingBeforeTheLastRow()
{
    const QImage rows
        = blocks({ 8, 8 }, {}, {}, { 0xff102030 }).convertToFormat(QImage::Format_RGB888);
    RowReducer reducer(rows.size(), { 4, 4 }, false);
    for (int y = 0; y + 1 < rows.height(); ++y)
        reducer.addRow(rows.constScanLine(y));
    QVERIFY(reducer.takeResult().isNull());
}

QTEST_MAIN(tst_RowReducer)
#include "tst_rowreducer.moc"
