// The window system asked for: the X server in a Wayland session that has one, unless the
// user chose a Qt platform.

#include "platform/WindowSystemChoice.h"

#include <QtTest>

using namespace WindowSystemChoice;

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
    QTest::addColumn<QString>("chosen"); // empty: Qt's own choice

    QTest::newRow("Wayland with XWayland") << ""
                                           << "wayland-0"
                                           << "wayland"
                                           << ":0"
                                           << "xcb";
    QTest::newRow("Wayland display only named") << ""
                                                << "wayland-0"
                                                << ""
                                                << ":1"
                                                << "xcb";
    QTest::newRow("Wayland session type only") << ""
                                               << ""
                                               << "wayland"
                                               << ":0"
                                               << "xcb";
    QTest::newRow("Wayland without an X server") << ""
                                                 << "wayland-0"
                                                 << "wayland"
                                                 << ""
                                                 << "";
    QTest::newRow("X11 session") << ""
                                 << ""
                                 << "x11"
                                 << ":0"
                                 << "";
    QTest::newRow("no display at all") << ""
                                       << ""
                                       << ""
                                       << ""
                                       << "";
    QTest::newRow("QT_QPA_PLATFORM chosen") << "wayland"
                                            << "wayland-0"
                                            << "wayland"
                                            << ":0"
                                            << "";
}

void WindowSystemChoiceTest::choice()
{
    QFETCH(QString, qtPlatform);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, sessionType);
    QFETCH(QString, x11Display);
    QFETCH(QString, chosen);
    const DisplayEnvironment environment { qtPlatform.toStdString(), waylandDisplay.toStdString(),
        sessionType.toStdString(), x11Display.toStdString() };
    const auto platform = preferredQtPlatform(environment);
    QCOMPARE(QString::fromStdString(platform.value_or("")), chosen);
}

QTEST_MAIN(WindowSystemChoiceTest)
#include "tst_windowsystemchoice.moc"
