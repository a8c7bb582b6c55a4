// The window system asked for: the X server in a Wayland session that has one, unless the
// user chose a Qt platform.

#include "platform/WindowSystemChoice.h"

#include <QtTest>

using namespace WindowSystemChoice;

using Arguments = std::vector<std::string>;
Q_DECLARE_METATYPE(Arguments)

class WindowSystemChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
};

void WindowSystemChoiceTest::choice_data()
{
    QTest::addColumn<QString>("qtPlatform");
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("sessionType");
    QTest::addColumn<QString>("x11Display");
    QTest::addColumn<Arguments>("arguments");
    QTest::addColumn<QString>("chosen"); // empty: Qt's own choice

    QTest::newRow("Wayland with XWayland") << ""
                                           << "wayland-0"
                                           << "wayland"
                                           << ":0" << Arguments {} << "xcb";
    QTest::newRow("Wayland display only named") << ""
                                                << "wayland-0"
                                                << ""
                                                << ":1" << Arguments { "/srv/photos" } << "xcb";
    QTest::newRow("Wayland session type only") << ""
                                               << ""
                                               << "wayland"
                                               << ":0" << Arguments {} << "xcb";
    QTest::newRow("Wayland without an X server") << ""
                                                 << "wayland-0"
                                                 << "wayland"
                                                 << "" << Arguments {} << "";
    QTest::newRow("X11 session") << ""
                                 << ""
                                 << "x11"
                                 << ":0" << Arguments {} << "";
    QTest::newRow("no display at all") << ""
                                       << ""
                                       << ""
                                       << "" << Arguments {} << "";
    QTest::newRow("QT_QPA_PLATFORM chosen") << "wayland"
                                            << "wayland-0"
                                            << "wayland"
                                            << ":0" << Arguments {} << "";
    QTest::newRow("-platform chosen") << ""
                                      << "wayland-0"
                                      << "wayland"
                                      << ":0" << Arguments { "-platform", "wayland", "/srv" } << "";
    QTest::newRow("--platform chosen")
        << ""
        << "wayland-0"
        << "wayland"
        << ":0" << Arguments { "/srv", "--platform", "wayland" } << "";
    QTest::newRow("a folder named like the option's value")
        << ""
        << "wayland-0"
        << "wayland"
        << ":0" << Arguments { "platform" } << "xcb";
}

void WindowSystemChoiceTest::choice()
{
    QFETCH(QString, qtPlatform);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, sessionType);
    QFETCH(QString, x11Display);
    QFETCH(Arguments, arguments);
    QFETCH(QString, chosen);
    const DisplayEnvironment environment { qtPlatform.toStdString(), waylandDisplay.toStdString(),
        sessionType.toStdString(), x11Display.toStdString() };
    const auto platform = preferredQtPlatform(environment, arguments);
    QCOMPARE(platform.has_value(), !chosen.isEmpty());
    if (platform)
        QCOMPARE(QString::fromStdString(*platform), chosen);
}

QTEST_MAIN(WindowSystemChoiceTest)
#include "tst_windowsystemchoice.moc"
