// What the window manager sees on a real X server: _NET_WM_STATE_ABOVE while Stay On Top is
// on, _NET_WM_WINDOW_OPACITY at 128/255 while Transparent is on, neither afterwards. The
// test starts its own Xvfb (without a window manager) and reads the properties with xprop;
// it skips when either is not installed.

#include "Pictures.h"
#include "UserProfile.h"
#include "VirtualScreen.h"
#include "about/frmAbout.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The properties of one window as xprop prints them.
QString windowProperties(WId window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
        { QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_WM_STATE"),
            QStringLiteral("_NET_WM_WINDOW_OPACITY") });
    if (!xprop.waitForFinished())
        return {};
    return QString::fromLocal8Bit(xprop.readAllStandardOutput());
}

bool hasAbove(const QString& properties)
{
    return properties.contains(QStringLiteral("_NET_WM_STATE_ABOVE"));
}

// The opacity line, or nothing when the window carries none.
QString opacity(const QString& properties)
{
    for (const QString& line : properties.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("_NET_WM_WINDOW_OPACITY(CARDINAL)")))
            return line.section(QStringLiteral("= "), 1).trimmed();
    return {};
}

// 128/255 of the full 32-bit range.
const QString HalfOpacity = QString::number(128u * 0x01010101u);

std::string* screenDisplay = nullptr;

} // namespace

class X11PropertiesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void startUpAndToggles_data();
    void startUpAndToggles();
    void aboutBoxFollowsStayOnTop();

private:
    // A viewer on the X server, loaded with the given options and shown.
    std::unique_ptr<frmLumra> shownViewer(bool stayOnTop, bool transparent);

    std::unique_ptr<UserProfile> m_profile;
    std::unique_ptr<TestFolder> m_pictures;
};

void X11PropertiesTest::initTestCase()
{
    if (!screenDisplay || screenDisplay->empty())
        QSKIP("Xvfb is not installed or did not start");
    if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        QSKIP("xprop (x11-utils) is not installed");
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    m_pictures = std::make_unique<TestFolder>();
    drawPicture(*m_pictures, "a.png", { 60, 40 });
    drawPicture(*m_pictures, "b.png", { 60, 40 });
}

void X11PropertiesTest::init()
{
    basGeneral::PicturePaths.clear();
    m_profile = std::make_unique<UserProfile>();
}

std::unique_ptr<frmLumra> X11PropertiesTest::shownViewer(bool stayOnTop, bool transparent)
{
    m_profile->store({ { QStringLiteral("StayOnTop"), stayOnTop ? "True" : "False" },
        { QStringLiteral("Transparent"), transparent ? "True" : "False" },
        { QStringLiteral("AutoAdvance"), QStringLiteral("False") } });
    auto viewer = std::make_unique<frmLumra>(std::vector<std::string> { m_pictures->path() });
    viewer->Form_Load();
    viewer->show();
    if (!QTest::qWaitForWindowExposed(viewer.get()))
        return nullptr;
    return viewer;
}

void X11PropertiesTest::startUpAndToggles_data()
{
    QTest::addColumn<bool>("stayOnTop");
    QTest::addColumn<bool>("transparent");
    QTest::newRow("defaults: on top, opaque") << true << false;
    QTest::newRow("ordinary and transparent") << false << true;
    QTest::newRow("both on") << true << true;
    QTest::newRow("both off") << false << false;
}

void X11PropertiesTest::startUpAndToggles()
{
    QFETCH(bool, stayOnTop);
    QFETCH(bool, transparent);
    const auto viewer = shownViewer(stayOnTop, transparent);
    QVERIFY(viewer);
    const WId window = viewer->winId();
    const QRect placed = viewer->geometry();

    // Each toggle, and each toggle back, shows on the window at once; the window stays
    // shown, the same native window, in the same place.
    struct Step {
        void (frmLumra::*command)();
        bool above;
        bool halfOpaque;
    };
    const Step steps[] = {
        { nullptr, stayOnTop, transparent },
        { &frmLumra::mnuOptionsStayOnTop_Click, !stayOnTop, transparent },
        { &frmLumra::mnuOptionsTransparent_Click, !stayOnTop, !transparent },
        { &frmLumra::mnuOptionsStayOnTop_Click, stayOnTop, !transparent },
        { &frmLumra::mnuOptionsTransparent_Click, stayOnTop, transparent },
    };
    for (const Step& step : steps) {
        if (step.command)
            (viewer.get()->*step.command)();
        QApplication::sync();
        const QString properties = windowProperties(window);
        QCOMPARE(hasAbove(properties), step.above);
        QCOMPARE(opacity(properties), step.halfOpaque ? HalfOpacity : QString());
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->winId(), window);
        QCOMPARE(viewer->geometry(), placed);
    }
}

void X11PropertiesTest::aboutBoxFollowsStayOnTop()
{
    const auto viewer = shownViewer(true, false);
    QVERIFY(viewer);
    viewer->mnuMorvanell_Click();
    auto* box = viewer->findChild<frmAbout*>();
    QVERIFY(box);
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QVERIFY(hasAbove(windowProperties(box->winId())));
    box->cmdOK_Click();

    // Stay On Top turned off: the next About box is an ordinary window.
    viewer->mnuOptionsStayOnTop_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    viewer->mnuMorvanell_Click();
    box = viewer->findChild<frmAbout*>();
    QVERIFY(box);
    QVERIFY(QTest::qWaitForWindowExposed(box));
    QVERIFY(!hasAbove(windowProperties(box->winId())));
}

int main(int argc, char* argv[])
{
    // The X server comes first, as the application connects to its display when it starts.
    VirtualScreen screen;
    screenDisplay = new std::string(screen.display().toStdString());
    if (screen.isRunning()) {
        qputenv("DISPLAY", screen.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
        // Nor has it a session bus; without this Qt's bus library would try to reach one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    }
    int status = 0;
    {
        QApplication app(argc, argv);
        X11PropertiesTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    delete screenDisplay;
    return status;
}

#include "tst_x11properties.moc"
