// The real program on a virtual X screen, driven by real keys and clicks and judged by what
// a user sees: the window's title and place, the pixels on the screen, the options file
// after closing and the files on disk.

#include "Pictures.h"
#include "VirtualScreen.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSettings>
#include <QtTest>
#include <csignal>
#include <utility>

// Asks the window to close as its close button does (WM_DELETE_WINDOW).
bool sendCloseRequest(const QByteArray& display, unsigned long window);

namespace {

// How long to wait for what the user would see: the machine may be busy.
constexpr int Patience = 20000;

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
const QColor Blue(0, 0, 255);
const QColor Yellow(255, 255, 0);

// A name Qt would read as rich text and as a title placeholder: shown and deleted literally.
const QString B = QStringLiteral("b<u>[*].png");

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40
        && std::abs(a.blue() - b.blue()) < 40;
}

// One run of the program with its own home and a folder of pictures.
class Session {
public:
    explicit Session(const VirtualScreen& screen)
        : m_screen(screen)
    {
        // Sorted by full path: a, b, c, d.
        drawPicture(m_pictures, "a.png", { 400, 300 }, Red);
        drawPicture(m_pictures, B.toStdString(), { 100, 50 }, Green);
        drawPicture(m_pictures, "c.jpg", { 50, 50 }, Blue, "JPEG");
        drawPicture(m_pictures, "d.png", { 60, 60 }, Yellow);
        // No slide show and an ordinary window to start with.
        QSettings options(conf(), QSettings::NativeFormat);
        options.setValue(QStringLiteral("AutoAdvance"), QStringLiteral("False"));
        options.setValue(QStringLiteral("StayOnTop"), QStringLiteral("False"));
    }

    ~Session()
    {
        if (m_lumra.state() != QProcess::NotRunning) {
            m_lumra.kill();
            m_lumra.waitForFinished();
        }
    }

    QString conf() const
    {
        return QString::fromStdString(m_home.path(".config/Morvanell/Lumra.conf"));
    }
    std::string picture(const char* name) const { return m_pictures.path(name); }

    bool start(const QStringList& extra = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_screen.display());
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(m_home.path()));
        environment.insert(
            QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(m_home.path(".config")));
        environment.insert(
            QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(m_home.path("run")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The leak check's tracer can itself crash at the exit of a busy program with several
        // threads; leaks are the unit tests' to find, in process.
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
            environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        m_home.folder("run");
        ::chmod(m_home.path("run").c_str(), 0700);
        m_lumra.setProcessEnvironment(environment);
        m_lumra.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_lumra.start(QStringLiteral(LUMRA_EXECUTABLE),
            QStringList { QString::fromStdString(m_pictures.path()) } + extra);
        return m_lumra.waitForStarted(10000) && waitForWindow();
    }

    // Takes the first window the program shows other than the one it had.
    bool waitForWindow()
    {
        const QString before = std::exchange(m_window, QString());
        // Generous: the machine may be busy, and the sanitizers slow the program down.
        QDeadlineTimer deadline(60000);
        while (
            m_window.isEmpty() && !deadline.hasExpired() && m_lumra.state() == QProcess::Running) {
            for (const QString& window : m_screen.windowsOf(m_lumra.processId()))
                if (window != before && m_window.isEmpty())
                    m_window = window;
            if (m_window.isEmpty())
                QTest::qWait(100);
        }
        return !m_window.isEmpty();
    }

    void signal(int number) const { ::kill(static_cast<pid_t>(m_lumra.processId()), number); }

    const QString& window() const { return m_window; }
    QString title() const { return m_screen.title(m_window); }
    QRect geometry() const { return m_screen.geometry(m_window); }
    void keys(const QStringList& names) const { m_screen.keys(m_window, names); }
    void click(QPoint at, int button, int count = 1) const
    {
        m_screen.click(m_window, at, button, count);
    }
    int windowCount() const
    {
        return static_cast<int>(m_screen.windowsOf(m_lumra.processId()).size());
    }
    // The window other than the viewer: a message box or the popup menu.
    QString otherWindow() const
    {
        for (const QString& w : m_screen.windowsOf(m_lumra.processId()))
            if (w != m_window)
                return w;
        return {};
    }

    // The colour of a point of the window's client area, from a screenshot.
    QColor pixel(QPoint at) const
    {
        const QImage shot = m_screen.screenshot();
        return shot.pixelColor(geometry().topLeft() + at);
    }

    bool waitForExit()
    {
        if (!m_lumra.waitForFinished(20000))
            return false;
        if (m_lumra.exitStatus() != QProcess::NormalExit || m_lumra.exitCode() != 0)
            qWarning("lumra ended with status %d", m_lumra.exitCode());
        return m_lumra.exitStatus() == QProcess::NormalExit && m_lumra.exitCode() == 0;
    }

    QString stored(const QString& key) const
    {
        QSettings options(conf(), QSettings::NativeFormat);
        return options.value(key).toString();
    }

private:
    const VirtualScreen& m_screen;
    TestFolder m_home;
    TestFolder m_pictures;
    QProcess m_lumra;
    QString m_window;
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeSession();
    void closingRoutes_data();
    void closingRoutes();

private:
    std::unique_ptr<VirtualScreen> m_screen;
};

void EndToEndTest::initTestCase()
{
    m_screen = std::make_unique<VirtualScreen>();
    if (!m_screen->isRunning())
        QSKIP("Xvfb is not installed");
    for (const char* tool : { "xdotool", "xprop", "xwininfo", "import" })
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP("an X tool is missing");
}

void EndToEndTest::wholeSession()
{
    Session lumra(*m_screen);
    // Every argument is Lumra's, Qt's own options too: -reverse is no folder.
    QVERIFY(lumra.start({ "-reverse" }));
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("Lumra"), Patience);
    lumra.keys({ "Return" });
    QVERIFY(lumra.waitForWindow());
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("a.png"), Patience);

    // At the bottom right, 900 twips (60 pixels) above the bottom of the screen.
    const QRect placed = lumra.geometry();
    QCOMPARE(placed.size(), QSize(261, 176));
    QCOMPARE(placed.right(), VirtualScreen::Width - 1);
    QCOMPARE(placed.bottom(), VirtualScreen::Height - 60 - 1);

    // A picture larger than the window is shrunk (235 x 176, 13 pixels of black each side);
    // a small one sits centred at its own size.
    QTRY_VERIFY_WITH_TIMEOUT(near(lumra.pixel({ 130, 88 }), Red), Patience);
    QVERIFY(near(lumra.pixel({ 4, 88 }), Qt::black));
    QVERIFY(near(lumra.pixel({ 20, 88 }), Red));
    lumra.keys({ "Next" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), B, Patience);
    QTRY_VERIFY_WITH_TIMEOUT(near(lumra.pixel({ 130, 88 }), Green), Patience);
    QVERIFY(near(lumra.pixel({ 75, 88 }), Qt::black));
    QVERIFY(near(lumra.pixel({ 130, 60 }), Qt::black));

    // Every order.
    const std::pair<QStringList, QString> walk[] = {
        { { "Prior" }, "a.png" },
        { { "End" }, "d.png" },
        { { "Next" }, "a.png" },
        { { "Home" }, "a.png" },
        { { "n" }, B },
        { { "Return" }, "c.jpg" },
        { { "ctrl+r", "Next" }, B },
        { { "Next" }, "a.png" },
        { { "Next" }, "d.png" },
        { { "Prior" }, "c.jpg" },
        { { "ctrl+r", "Next" }, "d.png" },
    };
    for (const auto& [keys, title] : walk) {
        lumra.keys(keys);
        QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), title, Patience);
    }
    // At random, a move always lands on another picture of the list (or stays, rarely).
    lumra.keys({ "ctrl+s", "Next" });
    QTest::qWait(300);
    QVERIFY(QStringList({ "a.png", B, "c.jpg", "d.png" }).contains(lumra.title()));
    lumra.keys({ "ctrl+s", "Home" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("a.png"), Patience);

    // The pace from a digit: the next picture at once, then one a second; space pauses.
    lumra.keys({ "1" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), B, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("c.jpg"), Patience);
    lumra.keys({ "space" });
    QTest::qWait(300);
    const QString paused = lumra.title();
    QTest::qWait(2500);
    QCOMPARE(lumra.title(), paused);

    // Delete: No keeps the file, Yes deletes the one named and moves on.
    lumra.keys({ "Home" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("a.png"), Patience);
    lumra.keys({ "Delete" });
    QTRY_VERIFY_WITH_TIMEOUT(!lumra.otherWindow().isEmpty(), Patience);
    QCOMPARE(m_screen->title(lumra.otherWindow()), QStringLiteral("Lumra"));
    m_screen->keys(lumra.otherWindow(), { "Escape" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.windowCount(), 1, Patience);
    QVERIFY(QFile::exists(QString::fromStdString(lumra.picture("a.png"))));
    QCOMPARE(lumra.title(), QStringLiteral("a.png"));
    lumra.keys({ "Next" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), B, Patience);
    lumra.keys({ "Delete" });
    QTRY_VERIFY_WITH_TIMEOUT(!lumra.otherWindow().isEmpty(), Patience);
    m_screen->keys(lumra.otherWindow(), { "alt+y" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("c.jpg"), Patience);
    QVERIFY(!QFile::exists(QString::fromStdString(lumra.picture(B.toUtf8().constData()))));
    QVERIFY(QFile::exists(QString::fromStdString(lumra.picture("a.png"))));

    // The popup menu on a right click; Escape closes the menu, not the viewer.
    lumra.click({ 130, 88 }, 3);
    QTRY_VERIFY_WITH_TIMEOUT(!lumra.otherWindow().isEmpty(), Patience);
    m_screen->keys(lumra.otherWindow(), { "Escape" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.windowCount(), 1, Patience);

    // Half transparent and back: the window manager reads the opacity from the window.
    const QString half = QString::number(128u * 0x01010101u);
    lumra.keys({ "ctrl+t" });
    QTRY_VERIFY_WITH_TIMEOUT(
        m_screen->property(lumra.window(), QStringLiteral("_NET_WM_WINDOW_OPACITY")).endsWith(half),
        Patience);
    lumra.keys({ "ctrl+t" });
    QTRY_VERIFY_WITH_TIMEOUT(
        m_screen->property(lumra.window(), QStringLiteral("_NET_WM_WINDOW_OPACITY")).isEmpty(),
        Patience);

    // Stay On Top from the menu, twice; the window keeps its place and picture throughout.
    for (bool above : { true, false }) {
        lumra.click({ 130, 88 }, 3);
        QTRY_VERIFY_WITH_TIMEOUT(!lumra.otherWindow().isEmpty(), Patience);
        // Transparent and Stay On Top share the letter T: the second T, then Enter.
        m_screen->keys(lumra.otherWindow(), { "t", "t", "Return" });
        QTRY_COMPARE_WITH_TIMEOUT(
            m_screen->property(lumra.window(), QStringLiteral("_NET_WM_STATE"))
                .contains(QLatin1String("_NET_WM_STATE_ABOVE")),
            above, Patience);
        // Qt hides the window to change the hint and shows it again: wait for it to be back.
        QTRY_COMPARE_WITH_TIMEOUT(lumra.windowCount(), 1, Patience);
        QCOMPARE(lumra.geometry(), placed);
        QCOMPARE(lumra.title(), QStringLiteral("c.jpg"));
    }

    // Under a second between pictures the caption is empty: no name, not the program's.
    lumra.click({ 130, 88 }, 3);
    QTRY_VERIFY_WITH_TIMEOUT(!lumra.otherWindow().isEmpty(), Patience);
    m_screen->keys(lumra.otherWindow(), { "e" });
    QTRY_COMPARE_WITH_TIMEOUT(m_screen->title(lumra.otherWindow()),
        QStringLiteral("Auto-Advance Delay Seconds"), Patience);
    m_screen->keys(lumra.otherWindow(), { "ctrl+a", "0", "Return" });
    QTRY_COMPARE_WITH_TIMEOUT(lumra.windowCount(), 1, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QString(), Patience);

    // Escape closes, and the options changed in the session are kept.
    lumra.keys({ "ctrl+r" });
    lumra.keys({ "Escape" });
    QVERIFY(lumra.waitForExit());
    QCOMPARE(lumra.stored(QStringLiteral("Reverse")), QStringLiteral("True"));
    QCOMPARE(lumra.stored(QStringLiteral("AutoAdvanceSeconds")), QStringLiteral("0"));
    QCOMPARE(lumra.stored(QStringLiteral("Sorted")), QString());
}

void EndToEndTest::closingRoutes_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("backquote") << "grave";
    QTest::newRow("double click") << "double";
    QTest::newRow("Exit in the menu") << "exit";
    QTest::newRow("close button") << "close";
    QTest::newRow("SIGTERM, twice") << "signal";
}

void EndToEndTest::closingRoutes()
{
    QFETCH(QString, route);
    Session lumra(*m_screen);
    QVERIFY(lumra.start());
    QTRY_COMPARE_WITH_TIMEOUT(lumra.title(), QStringLiteral("a.png"), Patience);
    lumra.keys({ "ctrl+s" }); // one changed option to be saved
    if (route == QLatin1String("escape")) {
        lumra.keys({ "Escape" });
    } else if (route == QLatin1String("grave")) {
        lumra.keys({ "grave" });
    } else if (route == QLatin1String("double")) {
        lumra.click({ 130, 88 }, 1, 2);
    } else if (route == QLatin1String("exit")) {
        lumra.click({ 130, 88 }, 3);
        QTRY_VERIFY_WITH_TIMEOUT(!lumra.otherWindow().isEmpty(), Patience);
        m_screen->keys(lumra.otherWindow(), { "x" });
    } else if (route == QLatin1String("signal")) {
        lumra.signal(SIGTERM);
        lumra.signal(SIGTERM);
    } else {
        QVERIFY(sendCloseRequest(m_screen->display().toLocal8Bit(), lumra.window().toULong()));
    }
    QVERIFY(lumra.waitForExit());
    QCOMPARE(lumra.stored(QStringLiteral("Sorted")), QStringLiteral("False"));
    // Nothing else was written: only what the test stored before and the one change.
    QSettings options(lumra.conf(), QSettings::NativeFormat);
    QStringList keys = options.allKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList { "AutoAdvance", "Sorted", "StayOnTop" }));
}

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"

// Xlib last: its macros would clash with Qt's names above.
#include <X11/Xlib.h>

bool sendCloseRequest(const QByteArray& displayName, unsigned long window)
{
    Display* display = XOpenDisplay(displayName.constData());
    if (!display)
        return false;
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, window, False, NoEventMask, &event) != 0;
    XFlush(display);
    XCloseDisplay(display);
    return sent;
}
