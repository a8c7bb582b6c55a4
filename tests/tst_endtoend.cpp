// The real program on a virtual X screen, driven by real keys and clicks and judged by what
// only a window system shows: the window's place and pixels, the popup menu, what the window
// manager reads from the windows, and the options file once the program has ended.

#include "Support.h"
#include "VirtualScreen.h"

#include "picture/PictureLoader.h"

#include <QElapsedTimer>
#include <QProcess>
#include <csignal>

// The colour of a point of the screen (Xlib comes last, below).
QColor screenPixel(const QString& display, QPoint at);

namespace {

// How long to wait for what the user would see: the machine may be busy.
constexpr int Patience = 20000;
// 128/255 of the full range.
const QString HalfOpaque = "_NET_WM_WINDOW_OPACITY(CARDINAL) = " + QString::number(0x80808080u);

// One run of the program with its own profile, on a folder of pictures.
struct Session {
    const VirtualScreen& x;
    UserProfile profile;
    TestFolder pictures;
    QProcess lumra;
    QString window;

    // Run in the folder of pictures; more: pictures of the row's own, put there first;
    // empty: no others drawn.
    Session(const VirtualScreen& screen, const QMap<QString, QString>& options,
        const std::function<void(TestFolder&)>& more = {}, bool empty = false)
        : x(screen)
    {
        if (more)
            more(pictures);
        // A name Qt would read as rich text and as a title placeholder: shown literally.
        if (!empty)
            drawPicture(pictures, "a.png", { 400, 300 }, Qt::red),
                drawPicture(pictures, "b<u>[*].png", { 100, 50 }, Qt::green),
                drawPicture(pictures, "c.jpg", { 50, 50 }, Qt::blue, "JPEG");
        profile.store(options);
        lumra.setWorkingDirectory(QString::fromStdString(pictures.path()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", x.display());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        // The leak check's tracer can itself crash at the exit of a busy program with several
        // threads; leaks are the unit tests' to find, in process.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
        lumra.setProcessEnvironment(environment);
        lumra.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        lumra.start(LUMRA_EXECUTABLE, { QString::fromStdString(pictures.path()) });
        window = shown({});
    }

    // The first window the program shows that is not one of those known.
    QString shown(const QStringList& known) const
    {
        QString found;
        // Generous: the machine may be busy, and the sanitizers slow the program down.
        const bool done = QTest::qWaitFor(
            [&] {
                for (const QString& id : x.windowsOf(lumra.processId()))
                    if (!known.contains(id))
                        found = id;
                return !found.isEmpty() || lumra.state() == QProcess::NotRunning;
            },
            60000);
        return done ? found : QString();
    }
    // Whether the viewer is, or comes to be, the program's one window.
    bool alone() const
    {
        return QTest::qWaitFor(
            [&] { return x.windowsOf(lumra.processId()) == QStringList { window }; }, Patience);
    }
    QString caption() const
    {
        return x.property(window, "_NET_WM_NAME").section(" = ", 1).remove('"');
    }
    QString opacity() const { return x.property(window, "_NET_WM_WINDOW_OPACITY"); }
    bool above(const QString& of) const
    {
        return x.property(of, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE");
    }
    QColor pixel(QPoint at) const
    {
        return screenPixel(x.display(), x.geometry(window).topLeft() + at);
    }
    void keys(const QStringList& names) const { x.keys(window, names); }
    // Right clicks on the picture, and types into the popup menu they leave open.
    QString menu(const QStringList& names, int clicks = 1) const
    {
        if (!alone())
            return {};
        x.click(window, { 130, 88 }, 3, clicks);
        QString popup = shown({ window });
        x.keys(popup, names);
        return popup;
    }
    bool ended()
    {
        return lumra.waitForFinished(Patience) && lumra.exitStatus() == QProcess::NormalExit
            && lumra.exitCode() == 0;
    }
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void session();
    void endRequest();
    void exitDuringDecodeAhead();

private:
    VirtualScreen m_screen;
};

void EndToEndTest::initTestCase()
{
    if (m_screen.display().isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty()
        || QStandardPaths::findExecutable("xprop").isEmpty())
        QSKIP("Xvfb, xdotool or xprop is not installed");
}

void EndToEndTest::session()
{
    Session s(m_screen,
        { { "AutoAdvance", "False" }, { "StayOnTop", "True" }, { "Transparent", "True" } });
    QTRY_COMPARE_WITH_TIMEOUT(s.caption(), QStringLiteral("a.png"), Patience);

    // At the bottom right, 900 twips (60 pixels) above the bottom of the screen; on top and
    // half transparent from the options.
    const QRect placed = m_screen.geometry(s.window);
    QCOMPARE(placed.size(), QSize(261, 176));
    QCOMPARE(placed.bottomRight(), QPoint(VirtualScreen::Width - 1, VirtualScreen::Height - 61));
    QVERIFY(s.above(s.window));
    QCOMPARE(s.opacity(), HalfOpaque);

    // A picture larger than the window is shrunk (235 x 176, 13 pixels of black each side);
    // a small one sits centred at its own size.
    QTRY_VERIFY_WITH_TIMEOUT(near(s.pixel({ 130, 88 }), Qt::red), Patience);
    QVERIFY(near(s.pixel({ 4, 88 }), Qt::black));
    QVERIFY(near(s.pixel({ 20, 88 }), Qt::red));
    s.keys({ "Next" });
    QTRY_COMPARE_WITH_TIMEOUT(s.caption(), QStringLiteral("b<u>[*].png"), Patience);
    QTRY_VERIFY_WITH_TIMEOUT(near(s.pixel({ 130, 88 }), Qt::green), Patience);
    QVERIFY(near(s.pixel({ 75, 88 }), Qt::black));

    // The keys as the window system sends them.
    const std::pair<QStringList, QString> walk[] = {
        { { "End" }, "c.jpg" },
        { { "Next" }, "a.png" },
        { { "Prior" }, "c.jpg" },
        { { "Home" }, "a.png" },
        { { "ctrl+r", "Next" }, "c.jpg" },
    };
    for (const auto& [keys, caption] : walk) {
        s.keys(keys);
        QTRY_COMPARE_WITH_TIMEOUT(s.caption(), caption, Patience);
    }

    // The popup menu on a right click. Quick right clicks: the second, outside the menu,
    // closes it and the third opens it again. Escape closes the menu only.
    QVERIFY(!s.menu({ "Escape" }).isEmpty());
    QVERIFY(!s.menu({ "Escape" }, 3).isEmpty());

    // Opaque again: the opacity leaves the window.
    s.keys({ "ctrl+t" });
    QTRY_COMPARE_WITH_TIMEOUT(s.opacity(), QString(), Patience);

    // The About box stays on top with the viewer.
    const QString about = s.shown({ s.window, s.menu({ "Up", "Up", "Return" }) });
    QVERIFY(s.above(about));
    m_screen.keys(about, { "Escape" });

    // Stay On Top off, then on again over an above state another client put there, which
    // stays. Transparent and Stay On Top share the letter T: the second T, then Enter.
    s.menu({ "t", "t", "Return" });
    QTRY_VERIFY_WITH_TIMEOUT(!s.above(s.window), Patience);
    m_screen.run("xprop",
        { "-id", s.window, "-f", "_NET_WM_STATE", "32a", "-set", "_NET_WM_STATE",
            "_NET_WM_STATE_ABOVE" });
    s.menu({ "t", "t", "Return" });
    QTRY_VERIFY_WITH_TIMEOUT(
        m_screen.property(s.window, "_NET_WM_STATE").contains("STAYS_ON_TOP"), Patience);
    QVERIFY(s.above(s.window));
    QCOMPARE(m_screen.geometry(s.window), placed);

    // Escape closes, and the options changed in the session are kept.
    QVERIFY(s.alone());
    s.keys({ "Escape" });
    QVERIFY(s.ended());
    QCOMPARE(s.profile.stored(),
        (QMap<QString, QString> { { "AutoAdvance", "False" }, { "Reverse", "True" },
            { "StayOnTop", "True" }, { "Transparent", "False" } }));
}

void EndToEndTest::endRequest()
{
    // Under a second between pictures the caption is empty: no name, not the program's.
    Session s(m_screen, { { "AutoAdvance", "False" }, { "AutoAdvanceSeconds", "0" } });
    QTRY_COMPARE_WITH_TIMEOUT(s.caption(), QStringLiteral("a.png"), Patience);
    s.keys({ "Next" });
    QTRY_COMPARE_WITH_TIMEOUT(m_screen.property(s.window, "_NET_WM_NAME"),
        QStringLiteral("_NET_WM_NAME(UTF8_STRING) ="), Patience);

    // A signal, even twice, ends the program as closing does.
    s.keys({ "ctrl+t" });
    QTRY_COMPARE_WITH_TIMEOUT(s.opacity(), HalfOpaque, Patience);
    ::kill(pid_t(s.lumra.processId()), SIGTERM);
    ::kill(pid_t(s.lumra.processId()), SIGTERM);
    QVERIFY(s.ended());
    QCOMPARE(s.profile.stored(),
        (QMap<QString, QString> { { "AutoAdvance", "False" }, { "AutoAdvanceSeconds", "0" },
            { "Transparent", "True" } }));

    // Started on an empty folder from that folder: the message that no picture was found. A
    // signal closes it and ends the program, with no folder prompt, and writes nothing.
    Session empty(m_screen, {}, {}, true);
    QCOMPARE(empty.caption(), QStringLiteral("Lumra"));
    ::kill(pid_t(empty.lumra.processId()), SIGTERM);
    QVERIFY(empty.ended());
    QVERIFY(empty.profile.stored().isEmpty());
}

// Escape while the picture after the first is decoded ahead: the program ends without
// waiting for that decode, in well under the time the decode alone takes here.
void EndToEndTest::exitDuringDecodeAhead()
{
    // 196 megapixels of a bit each: a small file, long to decode.
    QImage lines(14000, 14000, QImage::Format_Mono);
    lines.fill(1);
    const std::string slow = encoded(lines, "PNG").toStdString();
    TestFolder scratch;
    QElapsedTimer clock;
    clock.start();
    PictureLoader loader;
    QVERIFY(loader.open(scratch.file("slow.png", slow)));
    QVERIFY(!loader.read({ 176, 176 }).image.isNull());
    const qint64 decode = clock.elapsed();
    Session s(m_screen, { { "AutoAdvance", "False" } },
        [&](TestFolder& folder) { folder.file("a2.png", slow); });
    QTRY_COMPARE_WITH_TIMEOUT(s.caption(), QStringLiteral("a.png"), Patience);
    clock.restart();
    s.keys({ "Escape" });
    QVERIFY(s.ended());
    QCOMPARE_LT(clock.elapsed(), decode / 2);
}

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"

// Xlib last: its macros would clash with Qt's names above.
#include <X11/Xlib.h>

QColor screenPixel(const QString& display, QPoint at)
{
    Display* x = XOpenDisplay(display.toLocal8Bit().constData());
    XImage* image
        = x ? XGetImage(x, XDefaultRootWindow(x), at.x(), at.y(), 1, 1, ~0UL, ZPixmap) : nullptr;
    // The screen is 24 bits deep: 0xRRGGBB.
    const QColor colour = image ? QColor(QRgb(image->f.get_pixel(image, 0, 0))) : QColor();
    if (image)
        image->f.destroy_image(image);
    if (x)
        XCloseDisplay(x);
    return colour;
}
