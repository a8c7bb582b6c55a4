// The guarded shell launcher: the blocklist, starting a program (never through a shell),
// the split into file and parameters, and the desktop's opener.

#include "RecordingLauncher.h"
#include "ScriptedDialogs.h"
#include "TestFolders.h"
#include "platform/ProgramLauncher.h"
#include "platform/zbShellEx.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QtTest>

using namespace zbShellEx;

namespace {
const QString CRLF = QStringLiteral("\r\n");

QString qs(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }

// An executable file in dir (its content is never run: the launcher only records).
QString executable(const TestFolder& dir, const std::string& name)
{
    const std::string path = dir.file(name, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(qs(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return qs(path);
}
} // namespace

class ShellExTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void blocklist_data();
    void blocklist();
    void split_data();
    void split();
    void openedByTheDesktop_data();
    void openedByTheDesktop();
    void startedAsProgram_data();
    void startedAsProgram();
    void neverThroughAShell_data();
    void neverThroughAShell();
    void failedStartGoesToTheDesktop();
    void failureReportedWithTheFile();
    void pendingEventsRunOnceOpened();
    void qtLauncherStartsNoMissingProgram();

private:
    TestFolder m_path; // the only folder on the search path
    TestFolder m_files;
    QByteArray m_savedPath;
};

void ShellExTest::initTestCase()
{
    m_savedPath = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(m_path.path()));
    executable(m_path, "viewer-tool");
    executable(m_path, "cmd");
}

void ShellExTest::cleanupTestCase() { qputenv("PATH", m_savedPath); }

void ShellExTest::blocklist_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("refused");
    QTest::newRow("cmd.exe") << "cmd.exe" << true;
    QTest::newRow("CMD.EXE") << "CMD.EXE" << true;
    QTest::newRow("Command Prompt, mixed case") << "Command Prompt" << true;
    QTest::newRow("spaces round format.com") << "   format.com  " << true;
    QTest::newRow("ms-dos") << "ms-dos" << true;
    QTest::newRow("every entry: command.com") << "command.com" << true;
    QTest::newRow("deltree.exe") << "DelTree.Exe" << true;
    QTest::newRow("format.exe") << "format.exe" << true;
    QTest::newRow("replace.exe") << "replace.exe" << true;
    QTest::newRow("restore.exe") << "restore.exe" << true;
    QTest::newRow("two adjacent entries") << "cmd.exe|command prompt" << true;
    QTest::newRow("with arguments") << "cmd.exe /c dir" << false;
    QTest::newRow("with a path") << "C:\\Windows\\System32\\cmd.exe" << false;
    QTest::newRow("without its extension") << "cmd" << false;
    QTest::newRow("part of an entry") << "MS" << false;
    QTest::newRow("a tab is not trimmed") << "\tcmd.exe" << false;
    QTest::newRow("empty") << "" << false;
}

void ShellExTest::blocklist()
{
    QFETCH(QString, command);
    QFETCH(bool, refused);
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    const std::int32_t result = ShellEx(command);
    const QString refusal = QStringLiteral("Command is not allowed:") + CRLF + CRLF;
    if (refused) {
        QCOMPARE(result, 0);
        QCOMPARE(dialogs.messages(), QStringList { refusal + command.trimmed() });
        QCOMPARE(dialogs.shown().front().buttons, MsgButtons::OK);
        QCOMPARE(dialogs.shown().front().icon, MsgIcon::Exclamation);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 0);
        QVERIFY(launcher.started().empty());
    } else {
        QVERIFY(!dialogs.messages().join(QString()).contains(refusal));
        // It went on: started as a program or handed to the desktop.
        QCOMPARE(int(launcher.started().size()) + dialogs.count(ScriptedDialogs::Kind::Open), 1);
    }
}

void ShellExTest::split_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("parameters");
    QTest::newRow("web address") << "https://www.morvanell.example/"
                                 << "https://www.morvanell.example/"
                                 << "";
    QTest::newRow("quoted path with arguments") << "\" /srv/My Files/a.htm \"   -x  y "
                                                << "/srv/My Files/a.htm"
                                                << "-x  y";
    QTest::newRow("quoted path alone") << "\"/opt/my app/Help/Lumra.htm\""
                                       << "/opt/my app/Help/Lumra.htm"
                                       << "";
    QTest::newRow("first space splits") << "/srv/My Files/a.htm"
                                        << "/srv/My"
                                        << "Files/a.htm";
    QTest::newRow("first space, arguments trimmed") << "tool  -a  "
                                                    << "tool"
                                                    << "-a";
    QTest::newRow("unclosed quote keeps it") << "\"/srv/My Files/a.htm"
                                             << "\"/srv/My Files/a.htm"
                                             << "";
    QTest::newRow("empty quotes keep them") << "\"\" rest"
                                            << "\"\" rest"
                                            << "";
    QTest::newRow("no space") << "/srv/a.htm"
                              << "/srv/a.htm"
                              << "";
}

void ShellExTest::split()
{
    QFETCH(QString, command);
    QFETCH(QString, file);
    QFETCH(QString, parameters);
    const FileAndParameters result = splitFileAndParameters(command);
    QCOMPARE(result.file, file);
    QCOMPARE(result.parameters, parameters);
}

void ShellExTest::openedByTheDesktop_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("opened");
    QTest::newRow("web address, whole") << "  https://www.morvanell.example/ "
                                        << "https://www.morvanell.example/";
    QTest::newRow("quoted document with a space") << "\"/opt/my app/Help/Lumra.htm\""
                                                  << "/opt/my app/Help/Lumra.htm";
    QTest::newRow("unquoted document cut at its first space") << "/opt/my app/Help/Lumra.htm"
                                                              << "/opt/my";
    QTest::newRow("unclosed quote") << "\"/opt/my app"
                                    << "\"/opt/my app";
}

void ShellExTest::openedByTheDesktop()
{
    QFETCH(QString, command);
    QFETCH(QString, opened);
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    dialogs.answerOpen(true);
    QVERIFY(ShellEx(command) > 32);
    QVERIFY(launcher.started().empty());
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 1);
    QCOMPARE(dialogs.shown().front().text, opened);
    QVERIFY(dialogs.messages().isEmpty());

    // The desktop could not open it: no report, a result of 32 or less.
    ScriptedDialogs refusing;
    QVERIFY(ShellEx(command) <= 32);
    QVERIFY(refusing.messages().isEmpty());
}

void ShellExTest::startedAsProgram_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    const QString tool = qs(m_path.path("viewer-tool"));
    QTest::newRow("program on the path") << "viewer-tool" << tool << QStringList {};
    QTest::newRow("with arguments")
        << "viewer-tool -a \"b c\"" << tool << QStringList { "-a", "b c" };
    QTest::newRow("executable file by path")
        << executable(m_files, "run me") << "" << QStringList {};
    QTest::newRow("cmd passes the blocklist") << "cmd" << qs(m_path.path("cmd")) << QStringList {};
}

void ShellExTest::startedAsProgram()
{
    QFETCH(QString, command);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    if (program.isEmpty()) {
        // A path with a space is started when quoted.
        program = command;
        command = QLatin1Char('"') + command + QLatin1Char('"');
    }
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    QCOMPARE(ShellEx(command), 0);
    QCOMPARE(launcher.started().size(), std::size_t(1));
    QCOMPARE(launcher.started().front().program, program);
    QCOMPARE(launcher.started().front().arguments, arguments);
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 0);
    QVERIFY(dialogs.messages().isEmpty());
}

void ShellExTest::neverThroughAShell_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("command substitution")
        << "viewer-tool $(touch x)" << QStringList { "$(touch", "x)" };
    QTest::newRow("separator and redirection")
        << "viewer-tool a; rm b > c" << QStringList { "a;", "rm", "b", ">", "c" };
    QTest::newRow("back quotes and pipe")
        << "viewer-tool `id` | cat" << QStringList { "`id`", "|", "cat" };
}

void ShellExTest::neverThroughAShell()
{
    QFETCH(QString, command);
    QFETCH(QStringList, arguments);
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    ShellEx(command);
    QCOMPARE(launcher.started().size(), std::size_t(1));
    // The program itself, with the shell's characters as plain arguments.
    QCOMPARE(launcher.started().front().program, qs(m_path.path("viewer-tool")));
    QCOMPARE(launcher.started().front().arguments, arguments);
}

void ShellExTest::failedStartGoesToTheDesktop()
{
    // A file that exists but is not executable, a program the launcher cannot start, and a
    // name on no path: each is handed to the desktop instead.
    const std::string document = m_files.file("page.htm", "<p>x</p>");
    for (const QString& command :
        { qs(document), QStringLiteral("viewer-tool"), QStringLiteral("no-such-program") }) {
        ScriptedDialogs dialogs;
        RecordingLauncher launcher;
        launcher.answer(false);
        dialogs.answerOpen(true);
        QVERIFY(ShellEx(command) > 32);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 1);
        QCOMPARE(dialogs.shown().front().text, command);
        QVERIFY(dialogs.messages().isEmpty());
    }
}

void ShellExTest::failureReportedWithTheFile()
{
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    dialogs.failOpen(5, QStringLiteral("Invalid procedure call"));
    QCOMPARE(ShellEx(QStringLiteral("\"/opt/my app/a.htm\" -x")), 0);
    QCOMPARE(dialogs.messages(),
        QStringList { QStringLiteral("Error opening:") + CRLF + "/opt/my app/a.htm" + CRLF + CRLF
            + "Error 5 : Invalid procedure call" });
    QCOMPARE(dialogs.shown().back().icon, MsgIcon::Exclamation);
    QCOMPARE(dialogs.shown().back().buttons, MsgButtons::OK);
}

void ShellExTest::pendingEventsRunOnceOpened()
{
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    bool ran = false;
    QTimer::singleShot(0, this, [&] { ran = true; });
    ShellEx(QStringLiteral("cmd.exe"));
    QVERIFY(!ran); // not after a refusal
    ShellEx(QStringLiteral("https://www.morvanell.example/"));
    QVERIFY(ran);
}

void ShellExTest::qtLauncherStartsNoMissingProgram()
{
    const QString missing = qs(m_files.path("missing-program"));
    QVERIFY(!programLauncher().startProgram(missing, {}));
}

QTEST_MAIN(ShellExTest)
#include "tst_shellex.moc"
