// The platform services: launching programs and documents, the error report, the window
// styles, the folder prompt, the window system asked for, the real message box, and the
// About box.

#include "Support.h"
#include "about/frmAbout.h"
#include "platform/Site.h"
#include "platform/WindowSystemChoice.h"
#include "platform/basTopMost.h"
#include "platform/zbShellEx.h"
#include "platform/zbTransparency.h"
#include "platform/zbasBrowseForFolder.h"

#include <QMessageBox>

// A program of the folder, a copy of tests/support's stand-in (a batch file on Windows): it
// writes its arguments, each followed by "|", into the file "out" beside itself.
static QString standIn(const TestFolder& dir, const std::string& name)
{
    QString program = QDir::fromNativeSeparators(QString::fromStdString(dir.path(name)));
    program += QFileInfo(LUMRA_STAND_IN).fileName().remove("stand-in"); // its suffix, if any
    return QFile::copy(LUMRA_STAND_IN, program) ? program : QString();
}

class PlatformTest : public QObject {
    Q_OBJECT
    TestFolder m_bin; // the only folder on the search path

private slots:
    void shellEx_data()
    {
        qputenv("PATH", QByteArray::fromStdString(m_bin.path()));
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("started"); // the program, then its arguments
        QTest::addColumn<QString>("opened"); // by the desktop; neither: refused
        const QString tool = standIn(m_bin, "tool"), runMe = standIn(m_bin, "run me");
        const QString page = QString::fromStdString(m_bin.file("page.htm"));
        QTest::newRow("blocked") << "CMD.EXE" << QStringList() << "";
        QTest::newRow("blocked: the last, any case") << " Restore.Exe " << QStringList() << "";
        QTest::newRow("no shell") << "tool \"a b\" ;" << QStringList { tool, "a b", ";" } << "";
        QTest::newRow("quoted program path") << '"' + runMe + '"' << QStringList { runMe } << "";
        QTest::newRow("file that cannot run") << page << QStringList() << page;
        QTest::newRow("quoted document") << "\"/my app/a\" -x" << QStringList() << "/my app/a";
    }
    void shellEx()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, started);
        QFETCH(QString, opened);
        ScriptedDialogs dialogs;
        RecordingLauncher launcher;
        // The desktop fails to open what it is given: 31 ("no application is associated").
        QCOMPARE(zbShellEx::ShellEx(command), opened.isEmpty() ? 0 : 31);
        QCOMPARE(launcher.started.empty() ? QStringList() : launcher.started.back(), started);
        QCOMPARE(
            dialogs.count(ScriptedDialogs::Kind::Open) ? dialogs.shown().back().text : "", opened);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message),
            int(started.isEmpty() && opened.isEmpty()));
    }

    void desktopFailures()
    {
        ScriptedDialogs dialogs;
        dialogs.failOpen(5, QStringLiteral("x"));
        QCOMPARE(zbShellEx::ShellEx(QStringLiteral("/a.htm")), 0);
        QCOMPARE(dialogs.shown().back().text, "Error opening:\r\n/a.htm\r\n\r\nError 5 : x");
    }

    void realLauncher()
    {
        QVERIFY(programLauncher().startProgram(standIn(m_bin, "echo"), { "a b", "$(id)" }));
        QTRY_COMPARE(readAll(QString::fromStdString(m_bin.path("out"))).trimmed(), "a b|$(id)|");
    }

    void errorReports()
    {
        ScriptedDialogs dialogs;
        int unloads = 0;
        zbasErrorTrap::setUnloadViewer([&] { ++unloads; });
        dialogs.answerMessage(MsgAnswer::OK); // then Cancel, as nothing more is scripted
        auto onError = zbasErrorTrap::Handler::trap(QStringLiteral("M"), QStringLiteral("R"));
        // Answered OK: the routine goes on with its next step.
        QVERIFY(!onError([] { zbasErrorTrap::Raise(zbasErrorTrap::FileNotFound); }));
        QVERIFY(onError([] {}) && unloads == 0);
        onError([] { (void)std::vector<int>().at(1); }); // answered Cancel: unloads the viewer
        zbasErrorTrap::setUnloadViewer(nullptr);
        QCOMPARE(unloads, 1);
        QCOMPARE(dialogs.shown().front().text.split("\r\n"),
            QStringList({ "Unexpected Error: 53", "", "Function: M : R", "",
                "Error Description: ", "File not found" }));
        QVERIFY(dialogs.shown().back().text.startsWith("Unexpected Error: 9\r\n"));
    }

    void windowSystem()
    {
        QWidget window;
        for (bool on : { true, false }) {
            basTopMost::SetTopMost(&window, on);
            zbTransparency::SetTransparency(&window, on ? 128 : 255);
            QCOMPARE(bool(window.windowFlags() & Qt::WindowStaysOnTopHint), on);
            QCOMPARE(window.windowOpacity(), on ? 128 / 255.0 : 1.0);
        }
        // X11 is asked for in a Wayland session only when there is an X server beside it.
        using WindowSystemChoice::preferredQtPlatform;
        QVERIFY(preferredQtPlatform({ "", "wayland-0", "", ":0" }) == "xcb");
        QVERIFY(!preferredQtPlatform({ "", "", "wayland", "" }));
        QVERIFY(!preferredQtPlatform({ "wayland", "wayland-0", "", ":0" })); // the user's choice
    }

    void dialogBoxes()
    {
        ScriptedDialogs scripted;
        const auto native = [](const char* path) { return QDir::toNativeSeparators(path); };
        scripted.answerFolder(QStringLiteral("/srv")); // as Qt gives folders on every system
        QCOMPARE(zbasBrowseForFolder::BrowseForFolder(native("/usr/"), "Pick"), native("/srv/"));
        QCOMPARE(zbasBrowseForFolder::BrowseForFolder(native("/"), "Pick"), ""); // cancelled
        QCOMPARE(scripted.shown().at(0).title, native("/usr")); // without its separator
        QCOMPARE(scripted.shown().at(1).title, native("/")); // but the root keeps its own
        // The real message box: the program's name its title, the text as it is; Enter
        // answers its default button, No; closed by an end request, it is cancelled.
        setDialogs(nullptr);
        QString seen;
        QTimer answer; // owned here, so that no early return leaves a timer behind
        answer.setSingleShot(true);
        answer.callOnTimeout([&seen] { // the first box answered by Enter, the second ended
            const auto* m = qobject_cast<QMessageBox*>(qApp->activeModalWidget());
            if (!seen.isEmpty())
                return cancelOpenDialogs();
            seen = m->windowTitle() + m->text() + QString(m->textFormat() != Qt::PlainText, '!');
            QTest::keyClick(qApp->activeModalWidget(), Qt::Key_Return);
        });
        answer.start();
        QCOMPARE(dialogs().messageBox("<b>?", MsgButtons::YesNo, MsgIcon::None), MsgAnswer::No);
        QCOMPARE(seen, "Lumra<b>?");
        answer.start();
        QCOMPARE(dialogs().messageBox("?", MsgButtons::OKCancel, MsgIcon::None), MsgAnswer::Cancel);
    }

    void aboutBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("stayOnTop");
        QTest::newRow("Escape closes") << "Escape" << false;
        QTest::newRow("the link opens the site and closes") << "link" << true;
        QTest::newRow("released off the link: nothing") << "off" << false;
    }
    void aboutBox()
    {
        QFETCH(QString, how);
        QFETCH(bool, stayOnTop);
        ScriptedDialogs dialogs;
        basOptions::CurrentOptions.StayOnTop = stayOnTop;
        frmLumra viewer({});
        viewer.mnuMorvanell_Click();
        frmAbout* box = viewer.findChild<frmAbout*>();
        QVERIFY(!box->isModal());
        QCOMPARE(bool(box->windowFlags() & Qt::WindowStaysOnTopHint), stayOnTop);
        QCOMPARE(box->lblVersion->text(),
            QStringLiteral("Version %1.%2").arg(LUMRA_VERSION_MAJOR).arg(LUMRA_VERSION_MINOR));
        if (how == "Escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            QTest::mousePress(box->lblURL, Qt::LeftButton),
                QTest::mouseRelease(
                    box->lblURL, Qt::LeftButton, {}, how == "link" ? QPoint(1, 1) : QPoint(-4, -4));
        QCOMPARE(box->isUnloaded() && box->isHidden(), how != "off");
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open) ? dialogs.shown().back().text : "",
            how == "link" ? Site::address() : "");
        // Chosen again: the open box comes forward, or one is loaded beside the closed one.
        viewer.mnuMorvanell_Click();
        QCOMPARE(viewer.findChildren<frmAbout*>().size(), how == "off" ? 1 : 2);
    }
};

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
