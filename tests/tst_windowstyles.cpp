// Stay-on-top and transparency: the options put on the window at start, the two toggles,
// and the opacity routine.

#include "Pictures.h"
#include "UserProfile.h"
#include "platform/zbTransparency.h"
#include "viewer/IntervalTimer.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

using basOptions::CurrentOptions;

using Stored = QMap<QString, QString>;

namespace {

bool topmost(const QWidget& window) { return window.windowFlags() & Qt::WindowStaysOnTopHint; }

const QLabel* shownPicture(const frmLumra& viewer)
{
    for (const QLabel* control : viewer.imgPic)
        if (!control->isHidden())
            return control;
    return nullptr;
}

} // namespace

class WindowStylesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void optionsAppliedAtStart_data();
    void optionsAppliedAtStart();
    void toggleTwiceRestores_data();
    void toggleTwiceRestores();
    void setTransparency_data();
    void setTransparency();

private:
    std::unique_ptr<frmLumra> loadedViewer(const QMap<QString, QString>& stored);

    std::unique_ptr<UserProfile> m_profile;
    std::unique_ptr<TestFolder> m_pictures;
};

void WindowStylesTest::initTestCase()
{
    m_pictures = std::make_unique<TestFolder>();
    drawPicture(*m_pictures, "a.png", { 60, 40 });
    drawPicture(*m_pictures, "b.png", { 60, 40 }, Qt::darkRed);
}

void WindowStylesTest::init()
{
    basGeneral::PicturePaths.clear();
    m_profile = std::make_unique<UserProfile>();
}

std::unique_ptr<frmLumra> WindowStylesTest::loadedViewer(const QMap<QString, QString>& stored)
{
    if (!stored.isEmpty())
        m_profile->store(stored);
    auto viewer = std::make_unique<frmLumra>(std::vector<std::string> { m_pictures->path() });
    viewer->Form_Load();
    return viewer;
}

void WindowStylesTest::optionsAppliedAtStart_data()
{
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<QList<bool>>("checks"); // AutoAdvance, StayOnTop, Sorted, Reverse, Transparent
    QTest::addColumn<bool>("reverseVisible");
    QTest::addColumn<bool>("onTop");
    QTest::addColumn<double>("opacity");
    QTest::addColumn<int>("interval");

    using Map = Stored;
    QTest::newRow("defaults: on top, opaque, 2 s")
        << Map {} << QList<bool> { true, true, true, false, false } << true << true << 1.0 << 2000;
    QTest::newRow("Sorted off hides Reverse, whose check still shows it")
        << Map { { "Sorted", "False" }, { "Reverse", "True" } }
        << QList<bool> { true, true, false, true, false } << false << true << 1.0 << 2000;
    QTest::newRow("Sorted and Reverse on: Reverse visible")
        << Map { { "Reverse", "True" } } << QList<bool> { true, true, true, true, false } << true
        << true << 1.0 << 2000;
    QTest::newRow("ordinary window, transparent, 0 s never ticks")
        << Map { { "StayOnTop", "False" }, { "Transparent", "True" }, { "AutoAdvanceSeconds", "0" },
               { "AutoAdvance", "False" } }
        << QList<bool> { false, false, true, false, true } << true << false << 128 / 255.0 << 0;
    QTest::newRow("60 s") << Map { { "AutoAdvanceSeconds", "60" } }
                          << QList<bool> { true, true, true, false, false } << true << true << 1.0
                          << 60000;
    QTest::newRow("7 s") << Map { { "AutoAdvanceSeconds", "7" } }
                         << QList<bool> { true, true, true, false, false } << true << true << 1.0
                         << 7000;
}

void WindowStylesTest::optionsAppliedAtStart()
{
    QFETCH(Stored, stored);
    QFETCH(QList<bool>, checks);
    QFETCH(bool, reverseVisible);
    QFETCH(bool, onTop);
    QFETCH(double, opacity);
    QFETCH(int, interval);

    const auto viewer = loadedViewer(stored);
    const QList<bool> shownChecks { viewer->mnuOptionsAutoAdvance->isChecked(),
        viewer->mnuOptionsStayOnTop->isChecked(), viewer->mnuOptionsSorted->isChecked(),
        viewer->mnuOptionsReverse->isChecked(), viewer->mnuOptionsTransparent->isChecked() };
    QCOMPARE(shownChecks, checks);
    QCOMPARE(viewer->mnuOptionsReverse->isVisible(), reverseVisible);
    QCOMPARE(topmost(*viewer), onTop);
    QCOMPARE(viewer->windowOpacity(), opacity);
    QCOMPARE(viewer->tmrTimer->interval(), interval);
}

void WindowStylesTest::toggleTwiceRestores_data()
{
    QTest::addColumn<bool>("stayOnTopCommand");
    QTest::addColumn<bool>("startOn");
    QTest::newRow("Stay On Top, from on") << true << true;
    QTest::newRow("Stay On Top, from off") << true << false;
    QTest::newRow("Transparent, from off") << false << false;
    QTest::newRow("Transparent, from on") << false << true;
}

void WindowStylesTest::toggleTwiceRestores()
{
    QFETCH(bool, stayOnTopCommand);
    QFETCH(bool, startOn);
    const QString option
        = stayOnTopCommand ? QStringLiteral("StayOnTop") : QStringLiteral("Transparent");
    const auto viewer = loadedViewer({ { option, startOn ? "True" : "False" } });
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer.get()));
    const QRect placed = viewer->geometry();
    const QLabel* picture = shownPicture(*viewer);
    QVERIFY(picture);
    const qint64 pictureKey = picture->pixmap().cacheKey();

    QAction* item = stayOnTopCommand ? viewer->mnuOptionsStayOnTop : viewer->mnuOptionsTransparent;
    auto optionValue
        = [&] { return stayOnTopCommand ? CurrentOptions.StayOnTop : CurrentOptions.Transparent; };
    auto windowState
        = [&] { return stayOnTopCommand ? topmost(*viewer) : viewer->windowOpacity() < 1.0; };
    for (bool expected : { !startOn, startOn }) {
        if (stayOnTopCommand)
            viewer->mnuOptionsStayOnTop_Click();
        else
            viewer->mnuOptionsTransparent_Click();
        QCOMPARE(optionValue(), expected);
        QCOMPARE(item->isChecked(), expected);
        QCOMPARE(windowState(), expected);
        if (!stayOnTopCommand)
            QCOMPARE(viewer->windowOpacity(), expected ? 128 / 255.0 : 1.0);
        // The window stays shown where it was, with its picture.
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->geometry(), placed);
        QCOMPARE(shownPicture(*viewer), picture);
        QCOMPARE(picture->pixmap().cacheKey(), pictureKey);
    }
    // The other style is left alone.
    QCOMPARE(stayOnTopCommand ? viewer->windowOpacity() == 1.0 : topmost(*viewer), true);
}

void WindowStylesTest::setTransparency_data()
{
    QTest::addColumn<int>("alpha");
    QTest::addColumn<double>("opacity");
    QTest::newRow("0: fully see-through, still layered") << 0 << 0.0;
    QTest::newRow("1") << 1 << 1 / 255.0;
    QTest::newRow("128: the viewer's half") << 128 << 128 / 255.0;
    QTest::newRow("254: almost opaque, still layered") << 254 << 254 / 255.0;
    QTest::newRow("255: opaque") << 255 << 1.0;
}

void WindowStylesTest::setTransparency()
{
    QFETCH(int, alpha);
    QFETCH(double, opacity);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    zbTransparency::SetTransparency(&window, alpha);
    QCOMPARE(window.windowOpacity(), opacity);
    QVERIFY(window.isVisible());
    // Back to opaque from any value.
    zbTransparency::SetTransparency(&window, 255);
    QCOMPARE(window.windowOpacity(), 1.0);
}

QTEST_MAIN(WindowStylesTest)
#include "tst_windowstyles.moc"
