// The command line: how its text is rebuilt from the arguments and split into folders.

#include "ScriptedDialogs.h"
#include "TestFolders.h"
#include "viewer/CommandLine.h"
#include "viewer/Usage.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QtTest>

using Args = std::vector<std::string>;
Q_DECLARE_METATYPE(Args)

namespace {
const QString Invalid = QStringLiteral("Invalid Folder or File Name:\r\n\r\n");

// Replaces %A, %B, %C, %My and %My Pictures in an argument by paths in the test folder.
std::string expand(std::string text, const TestFolder& dir)
{
    for (const char* name : { "My Pictures", "My", "A", "B", "C" }) {
        const std::string key = std::string("%") + name;
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key))
            text.replace(at, key.size(), dir.path(name));
    }
    return text;
}
} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void rebuiltText();
    void parse_data();
    void parse();
    void usage_data();
    void usage();
};

void CommandLineTest::rebuiltText()
{
    QCOMPARE(CommandLine::text({}), std::string());
    QCOMPARE(
        CommandLine::text({ "/home/ann/My Pictures" }), std::string("\"/home/ann/My Pictures\""));
    QCOMPARE(CommandLine::text({ "a b", "c", "d\te", "" }), std::string("\"a b\" c \"d\te\" "));
}

void CommandLineTest::parse_data()
{
    QTest::addColumn<Args>("arguments");
    QTest::addColumn<Args>("accepted");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("nothing") << Args {} << Args {} << QStringList {};
    QTest::newRow("only separators") << Args { ",;", "\t", ";" } << Args {} << QStringList {};
    QTest::newRow("a name with spaces, quoted by the rebuilt text")
        << Args { "%My Pictures" } << Args { "%My Pictures" } << QStringList {};
    QTest::newRow("a name with spaces typed unquoted is the whole line")
        << Args { "%My", "Pictures" } << Args { "%My Pictures" } << QStringList {};
    QTest::newRow("quoted name, then another folder")
        << Args { "%My Pictures", "%B" } << Args { "%My Pictures", "%B" } << QStringList {};
    QTest::newRow("commas and semicolons separate")
        << Args { "%A,%B;%C" } << Args { "%A", "%B", "%C" } << QStringList {};
    QTest::newRow("two spaces in a row give an empty item, skipped")
        << Args { "%A", "", "%B" } << Args { "%A", "%B" } << QStringList {};
    QTest::newRow("quotes typed around a name are stripped")
        << Args { "\"%A\"" } << Args { "%A" } << QStringList {};
    QTest::newRow("invalid item reported, the others still count") << Args { "/nowhere/x",
        "%A" } << Args { "%A" } << QStringList { Invalid + QStringLiteral("/nowhere/x") };
    QTest::newRow("each invalid item has its own message")
        << Args { "%A", "/no/1", "/no/2" } << Args { "%A" }
        << QStringList { Invalid + QStringLiteral("/no/1"), Invalid + QStringLiteral("/no/2") };
    QTest::newRow("an unclosed quote on the last item is a name without it")
        << Args { "%A", "\"%B" } << Args { "%A", "%B" } << QStringList {};
    QTest::newRow("a file is an argument too")
        << Args { "%A/one.jpg" } << Args { "%A/one.jpg" } << QStringList {};
    QTest::newRow("tabs between arguments separate")
        << Args { "%A\t", "%B" } << Args { "%A", "%B" } << QStringList {};
}

void CommandLineTest::parse()
{
    QFETCH(Args, arguments);
    QFETCH(Args, accepted);
    QFETCH(QStringList, messages);
    TestFolder dir;
    for (const char* name : { "My Pictures", "A", "B", "C" })
        dir.folder(name);
    dir.file("A/one.jpg");
    for (std::string& argument : arguments)
        argument = expand(argument, dir);
    for (std::string& argument : accepted)
        argument = expand(argument, dir);

    ScriptedDialogs dialogs;
    frmLumra viewer(arguments);
    viewer.ParseCommandLine();
    QCOMPARE(viewer.FolderArgs(), accepted);
    QCOMPARE(dialogs.messages(), messages);
    for (const auto& shown : dialogs.shown()) {
        QCOMPARE(shown.buttons, MsgButtons::OK);
        QCOMPARE(shown.icon, MsgIcon::Information);
    }
}

void CommandLineTest::usage_data()
{
    QTest::addColumn<Args>("arguments");
    QTest::addColumn<QString>("startsWith");
    QTest::newRow("help") << Args { "--help" } << "Usage: lumra";
    QTest::newRow("short help") << Args { "-h" } << "Usage: lumra";
    QTest::newRow("version") << Args { "--version" } << "Lumra 1.0\n";
    QTest::newRow("not alone") << Args { "--help", "/tmp" } << "";
    QTest::newRow("a folder") << Args { "/tmp" } << "";
    QTest::newRow("no arguments") << Args {} << "";
}

void CommandLineTest::usage()
{
    QFETCH(Args, arguments);
    QFETCH(QString, startsWith);
    const auto reply = usageReply(arguments);
    QCOMPARE(reply.has_value(), !startsWith.isEmpty());
    if (reply)
        QVERIFY(QString::fromStdString(*reply).startsWith(startsWith));

    // A file that happens to be called --help is a picture argument, not a request.
    TestFolder dir;
    dir.file("--help");
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    QVERIFY(!usageReply({ "--help" }).has_value());
    QDir::setCurrent(previous);
}

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
