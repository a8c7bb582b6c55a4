// The profile-file half of CReg: the profile rules for reading and writing INI files, the
// section reader, and the two yes/no words.

#include "ScriptedDialogs.h"
#include "settings/CReg.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using Variant = CReg::Variant;
Q_DECLARE_METATYPE(Variant)

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}

const Variant Null = std::nullopt;
Variant text(const char* value) { return QString::fromUtf8(value); }

} // namespace

class tst_Profile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString fileFor(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }

private slots:
    void getProfile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<Variant>("key");
        QTest::addColumn<Variant>("defaultValue");
        QTest::addColumn<QString>("expected");

        const QByteArray basic = "[Viewer]\nSorted=False\n  Folder  =  /home/ann/Pictures  \n"
                                 "Quoted=\"  spaced  \"\nSingle='x'\nHalf=\"x\n[Other]\nA=1\n";
        QTest::newRow("value") << basic << "Viewer" << text("Sorted") << Null << "False";
        QTest::newRow("names in any case")
            << basic << "VIEWER" << text("sorted") << Null << "False";
        QTest::newRow("value trimmed")
            << basic << "Viewer" << text("Folder") << Null << "/home/ann/Pictures";
        QTest::newRow("double quotes removed")
            << basic << "Viewer" << text("Quoted") << Null << "  spaced  ";
        QTest::newRow("single quotes removed")
            << basic << "Viewer" << text("Single") << Null << "x";
        QTest::newRow("one quote kept") << basic << "Viewer" << text("Half") << Null << "\"x";
        QTest::newRow("missing key gives default")
            << basic << "Viewer" << text("Nope") << text("fallback") << "fallback";
        QTest::newRow("missing key, null default")
            << basic << "Viewer" << text("Nope") << Null << "";
        QTest::newRow("key of another section")
            << basic << "Viewer" << text("A") << text("d") << "d";
        QTest::newRow("key names") << basic << "viewer" << Null << text("ignored")
                                   << QStringLiteral("Sorted|Folder|Quoted|Single|Half|")
                                          .replace(QLatin1Char('|'), QChar(0));
        QTest::newRow("key names of a missing section") << basic << "None" << Null << Null << "";
        QTest::newRow("CR LF lines")
            << QByteArray("[s]\r\nk = v \r\n") << "s" << text("k") << Null << "v";
        QTest::newRow("comment is no key")
            << QByteArray("[s]\n;k=commented\nk=real\n") << "s" << text("k") << Null << "real";
        QTest::newRow("sections of one name read as one")
            << QByteArray("[s]\na=1\n[t]\nb=2\n[S]\nc=3\n") << "s" << text("c") << Null << "3";
        QTest::newRow("names asked for are trimmed")
            << basic << " \tViewer  " << text("  Sorted\t") << Null << "False";
        QTest::newRow("first of two equal keys")
            << QByteArray("[s]\nk=1\nK=2\n") << "s" << text("k") << Null << "1";
        QTest::newRow("cut to 4095 characters")
            << (QByteArray("[s]\nlong=") + QByteArray(5000, 'x') + '\n') << "s" << text("long")
            << Null << QString(4095, QLatin1Char('x'));
    }
    void getProfile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(Variant, key);
        QFETCH(Variant, defaultValue);
        QFETCH(QString, expected);
        ScriptedDialogs dialogs;
        const QString file = fileFor("get.ini");
        QVERIFY(writeFile(file, content));
        QCOMPARE(CReg().GetProfile(file, section, key, defaultValue), expected);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void setProfile_data()
    {
        QTest::addColumn<QByteArray>("before"); // "<none>": no file
        QTest::addColumn<Variant>("section");
        QTest::addColumn<Variant>("key");
        QTest::addColumn<Variant>("setting");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QByteArray>("after"); // "<none>": no file

        const QByteArray none = "<none>";
        const QByteArray two = "[A]\nx=1\ny=2\n\n[B]\nz=3\n";
        QTest::newRow("new file") << none << text("S") << text("k") << text("v") << true
                                  << QByteArray("[S]\nk=v\n");
        QTest::newRow("new section") << two << text("C") << text("k") << text("v") << true
                                     << QByteArray("[A]\nx=1\ny=2\n\n[B]\nz=3\n[C]\nk=v\n");
        QTest::newRow("new key after the last entry")
            << two << text("a") << text("w") << text("4") << true
            << QByteArray("[A]\nx=1\ny=2\nw=4\n\n[B]\nz=3\n");
        QTest::newRow("existing key, any case")
            << two << text("a") << text("Y") << text("new") << true
            << QByteArray("[A]\nx=1\ny=new\n\n[B]\nz=3\n");
        QTest::newRow("null setting deletes the key")
            << two << text("A") << text("x") << Null << true
            << QByteArray("[A]\ny=2\n\n[B]\nz=3\n");
        QTest::newRow("null key deletes the section")
            << two << text("a") << Null << Null << true << QByteArray("[B]\nz=3\n");
        QTest::newRow("every section of the name deleted")
            << QByteArray("[A]\nx=1\n[B]\nz=3\n[a]\ny=2\n") << text("A") << Null << text("v")
            << true << QByteArray("[B]\nz=3\n");
        QTest::newRow("deleting from a missing file writes nothing")
            << none << text("A") << Null << Null << true << none;
        QTest::newRow("CR LF kept") << QByteArray("[A]\r\nx=1\r\n") << text("A") << text("y")
                                    << text("2") << true << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
        QTest::newRow("comments and other lines kept")
            << QByteArray("; top\n[A]\n; note\nx=1\nodd line\n") << text("A") << text("x")
            << text("2") << true << QByteArray("; top\n[A]\n; note\nx=2\nodd line\n");
        QTest::newRow("line break in a value refused")
            << two << text("A") << text("x") << text("1\n[Evil]\nk=v") << false << two;
        QTest::newRow("line break in a key refused")
            << two << text("A") << text("x\ny") << text("1") << false << two;
        QTest::newRow("= in a key refused")
            << two << text("A") << text("x=y") << text("1") << false << two;
        QTest::newRow("] in a section refused")
            << two << text("A]x") << text("k") << text("1") << false << two;
        QTest::newRow("null section writes nothing")
            << two << Null << text("k") << text("1") << false << two;
    }
    void setProfile()
    {
        QFETCH(QByteArray, before);
        QFETCH(Variant, section);
        QFETCH(Variant, key);
        QFETCH(Variant, setting);
        QFETCH(bool, written);
        QFETCH(QByteArray, after);
        ScriptedDialogs dialogs;
        const QString file = fileFor("set.ini");
        QFile::remove(file);
        if (before != "<none>")
            QVERIFY(writeFile(file, before));

        QCOMPARE(CReg().SetProfile(file, section, key, setting), written);
        if (after == "<none>")
            QVERIFY(!QFileInfo::exists(file));
        else
            QCOMPARE(readAll(file), after);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void writtenValueReadsBack()
    {
        ScriptedDialogs dialogs;
        CReg reg;
        const QString file = fileFor("round.ini");
        QVERIFY(reg.SetProfile(file, text("S"), text("path"), text("  /a b/c  ")));
        QVERIFY(reg.SetProfile(file, text("S"), text("other"), text("1")));
        QCOMPARE(reg.GetProfile(file, QStringLiteral("s"), text("PATH"), Null),
            QStringLiteral("/a b/c"));
        QCOMPARE(reg.GetProfile(file, QStringLiteral("S"), Null, Null),
            QStringLiteral("path|other|").replace(QLatin1Char('|'), QChar(0)));
        // Names with blanks around them are written trimmed, and read back by the same names.
        QVERIFY(reg.SetProfile(file, text(" \t"), text(" \tKey  "), text("blank section")));
        QCOMPARE(reg.GetProfile(file, QStringLiteral(" \t"), text(" \tKey  "), Null),
            QStringLiteral("blank section"));
    }

    // The file is replaced as a whole: a write that cannot finish leaves the old file.
    void failedWriteLeavesFileWhole()
    {
        ScriptedDialogs dialogs;
        const QString file = fileFor("whole.ini");
        const QByteArray before = "[A]\nx=1\n";
        QVERIFY(writeFile(file, before));
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = saved;
        tight.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &tight);
        const bool written
            = CReg().SetProfile(file, text("A"), text("long"), QString(100, QLatin1Char('y')));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, handler);

        QVERIFY(!written);
        QCOMPARE(readAll(file), before);
        QCOMPARE(QDir(m_dir.path()).entryList({ QStringLiteral("whole.ini*") }, QDir::Files),
            QStringList { QStringLiteral("whole.ini") });
    }

    // Only regular files are opened: a FIFO would block the viewer.
    void notARegularFile()
    {
        ScriptedDialogs dialogs;
        const QString fifo = fileFor("fifo.ini");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString folder = fileFor("folder.ini");
        QVERIFY(QDir().mkpath(folder));
        CReg reg;
        QElapsedTimer timer;
        timer.start();
        for (const QString& file : { fifo, folder }) {
            QCOMPARE(reg.GetProfile(file, QStringLiteral("S"), text("k"), text("d")),
                QStringLiteral("d"));
            QVERIFY(!reg.SetProfile(file, text("S"), text("k"), text("v")));
            QCOMPARE(reg.GetProfileSection(file, QStringLiteral("S")), QString());
        }
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 2); // one per section read
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
    }

    void getProfileSection_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every section of the name, blank lines kept inside")
            << QByteArray("[A]\none\n\n[B]\ntwo\n[a]\nthree\n\n") << "a"
            << "one\r\n\r\nthree\r\n";
        QTest::newRow("CR LF file") << QByteArray("[A]\r\none\r\n[B]\r\n") << "A"
                                    << "one\r\n";
        QTest::newRow("comments kept") << QByteArray("[A]\n; c\nk=v\n") << "A"
                                       << "; c\r\nk=v\r\n";
        QTest::newRow("header not trimmed") << QByteArray(" [A]\none\n") << "A"
                                            << "";
        QTest::newRow("empty section") << QByteArray("[A]\n\n\n[B]\nx\n") << "A"
                                       << "";
        QTest::newRow("missing section") << QByteArray("[A]\none\n") << "C"
                                         << "";
        QTest::newRow("last line without end") << QByteArray("[A]\none") << "A"
                                               << "one\r\n";
    }
    void getProfileSection()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, expected);
        ScriptedDialogs dialogs;
        const QString file = fileFor("section.txt");
        QVERIFY(writeFile(file, content));
        QCOMPARE(CReg().GetProfileSection(file, section), expected);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void getProfileSectionOfMissingFileIsReported()
    {
        ScriptedDialogs dialogs;
        QCOMPARE(CReg().GetProfileSection(fileFor("missing.txt"), QStringLiteral("A")), QString());
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
        const QString report = dialogs.messages().constFirst();
        QVERIFY(report.startsWith(QStringLiteral("Unexpected Error: 53\r\n")));
        QVERIFY(report.contains(QStringLiteral("\r\nFunction: CReg : GetProfileSection\r\n")));
    }

    void yesNoAndTrueFalse_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("yesNo");
        QTest::addColumn<bool>("trueFalse");
        QTest::newRow("1") << "1"
                           << "Yes" << true;
        QTest::newRow("true") << "true"
                              << "Yes" << true;
        QTest::newRow("Yes") << "Yes"
                             << "Yes" << true;
        QTest::newRow("on") << "on"
                            << "Yes" << true;
        QTest::newRow("-1") << "-1"
                            << "No" << true;
        QTest::newRow("leading blank") << " yes"
                                       << "No" << false;
        QTest::newRow("0") << "0"
                           << "No" << false;
        QTest::newRow("off") << "off"
                             << "No" << false;
        QTest::newRow("empty") << ""
                               << "No" << false;
        QTest::newRow("2") << "2"
                           << "No" << false;
    }
    void yesNoAndTrueFalse()
    {
        QFETCH(QString, word);
        QFETCH(QString, yesNo);
        QFETCH(bool, trueFalse);
        CReg reg;
        QCOMPARE(reg.YesNo(word), yesNo);
        QCOMPARE(reg.TrueFalse(word), trueFalse);
    }
};

QTEST_MAIN(tst_Profile)
#include "tst_profile.moc"
