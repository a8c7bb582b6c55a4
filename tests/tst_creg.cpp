// The registry half of CReg and the per-user store behind it: root names, keys and values,
// where the values land on disk, and what happens when the store cannot be written.

#include "ScriptedDialogs.h"
#include "settings/CReg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString LumraKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Morvanell\\Lumra");

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

// Files may not grow past a few bytes while it lives: a full disk, as far as a write can
// tell.
class FullDisk {
public:
    FullDisk()
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = m_saved;
        tight.rlim_cur = 512; // room for a lock file, not for the value
        ::setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FullDisk()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit m_saved {};
    void (*m_savedHandler)(int) = nullptr;
};

// The child-process mode: writes values <prefix>1 .. <prefix>count under the program key.
// Its exit code is the number of writes that failed.
int writeValues(int count, const QString& prefix)
{
    ScriptedDialogs dialogs;
    CReg reg;
    int failed = 0;
    for (int i = 1; i <= count; ++i)
        failed += reg.SetReg(LumraKey, prefix + QString::number(i), QString::number(i)) ? 0 : 1;
    return failed + static_cast<int>(dialogs.shown().size());
}

} // namespace

class tst_CReg : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString config() const { return m_home->filePath(QStringLiteral("config")); }
    QString machine() const { return m_home->filePath(QStringLiteral("machine")); }
    QString lumraConf() const { return config() + QStringLiteral("/Morvanell/Lumra.conf"); }

    QProcess* startWriter(int count, const QString& prefix)
    {
        auto* process = new QProcess(this);
        process->start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--write"), QString::number(count), prefix });
        return process;
    }

private slots:
    // Every test gets a home of its own, so no store, cache or lock carries over.
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("HOME", m_home->path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config().toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", machine().toLocal8Bit());
    }

    void rootNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("recognised");
        QTest::newRow("long name") << LumraKey << true;
        QTest::newRow("short name") << QStringLiteral("HKCU\\Software\\Morvanell\\Lumra") << true;
        QTest::newRow("lower case") << QStringLiteral("hkcu\\Software\\Morvanell\\Lumra") << true;
        QTest::newRow("mixed case")
            << QStringLiteral("hKey_Current_User\\Software\\Morvanell\\Lumra") << true;
        QTest::newRow("no backslash after the root")
            << QStringLiteral("HKEY_CURRENT_USERSoftware\\Morvanell\\Lumra") << false;
        QTest::newRow("root name alone") << QStringLiteral("HKEY_CURRENT_USER") << false;
        QTest::newRow("slash after the root")
            << QStringLiteral("HKCU/Software\\Morvanell\\Lumra") << false;
        QTest::newRow("blank before the root")
            << QStringLiteral(" HKCU\\Software\\Morvanell\\Lumra") << false;
        QTest::newRow("no root") << QStringLiteral("Software\\Morvanell\\Lumra") << false;
    }
    void rootNames()
    {
        QFETCH(QString, path);
        QFETCH(bool, recognised);
        ScriptedDialogs dialogs;
        CReg reg;
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Sorted"), QStringLiteral("False")));

        QCOMPARE(reg.GetReg(path, QStringLiteral("Sorted"), QStringLiteral("none")),
            recognised ? QStringLiteral("False") : QStringLiteral("none"));
        QCOMPARE(reg.SetReg(path, QStringLiteral("Reverse"), QStringLiteral("True")), recognised);
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Reverse"), QStringLiteral("none")),
            recognised ? QStringLiteral("True") : QStringLiteral("none"));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // The program key is Qt's own file for the organisation and the application; its
    // values are in [General], deeper keys are groups.
    void storeIsTheQtSettingsFile()
    {
        ScriptedDialogs dialogs;
        CReg reg;
        QVERIFY(
            reg.SetReg(LumraKey, QStringLiteral("Folder"), QStringLiteral("/home/ann/My Pics")));
        QVERIFY(reg.SetReg(LumraKey + QStringLiteral("\\Sub\\Deeper"), QStringLiteral("Name"),
            QStringLiteral("value")));

        QVERIFY(QFileInfo(lumraConf()).isFile());
        QVERIFY(readAll(lumraConf()).startsWith("[General]\n"));
        QSettings qt(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Morvanell"),
            QStringLiteral("Lumra"));
        QCOMPARE(qt.fileName(), lumraConf());
        QCOMPARE(
            qt.value(QStringLiteral("Folder")).toString(), QStringLiteral("/home/ann/My Pics"));
        QCOMPARE(qt.value(QStringLiteral("Sub/Deeper/Name")).toString(), QStringLiteral("value"));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void valuesAndKeys()
    {
        ScriptedDialogs dialogs;
        CReg reg;
        const QString dflt = QStringLiteral("default");
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Sorted"), dflt), dflt); // no key yet
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Empty"), QString()));
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Empty"), dflt), QString());
        QVERIFY(!reg.GetReg(LumraKey, QStringLiteral("Empty"), dflt).isNull());
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Missing"), dflt), dflt);

        // Every missing key along the path is created.
        const QString deep = LumraKey + QStringLiteral("\\A\\B\\C");
        QCOMPARE(reg.GetReg(deep, QStringLiteral("V"), dflt), dflt);
        QVERIFY(reg.SetReg(deep, QStringLiteral("V"), QStringLiteral("deep")));
        QCOMPARE(reg.GetReg(deep, QStringLiteral("V"), dflt), QStringLiteral("deep"));
        QCOMPARE(reg.GetReg(deep + QLatin1Char('\\'), QStringLiteral("V"), dflt),
            QStringLiteral("deep"));

        // "*" is the key's default value, apart from any named value.
        QVERIFY(reg.SetReg(deep, QStringLiteral("*"), QStringLiteral("unnamed")));
        QCOMPARE(reg.GetReg(deep, QStringLiteral("*"), dflt), QStringLiteral("unnamed"));
        QCOMPARE(reg.GetReg(deep, QStringLiteral("V"), dflt), QStringLiteral("deep"));
        QVERIFY(reg.DelReg(deep, QStringLiteral("*")));
        QCOMPARE(reg.GetReg(deep, QStringLiteral("*"), dflt), dflt);
        QVERIFY(!reg.DelReg(deep, QStringLiteral("*")));

        // A key with subkeys stays; an empty value name deletes the key itself.
        QVERIFY(!reg.DelReg(LumraKey + QStringLiteral("\\A"), QString()));
        QVERIFY(reg.DelReg(deep, QString()));
        QCOMPARE(reg.GetReg(deep, QStringLiteral("V"), dflt), dflt);
        QVERIFY(!reg.DelReg(deep, QString()));
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Empty"), dflt), QString());

        QVERIFY(reg.DelReg(LumraKey, QStringLiteral("Empty")));
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Empty"), dflt), dflt);
        QVERIFY(!reg.DelReg(LumraKey, QStringLiteral("Empty")));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // Qt answers from what it read before while a store's size and time are unchanged, so a
    // rewrite must never leave the time as it was, even when the old time lies ahead.
    void rewrittenStoreReadsAsNew()
    {
        ScriptedDialogs dialogs;
        CReg reg;
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Sorted"), QStringLiteral("True!")));
        const QString store = config() + QStringLiteral("/Morvanell/Lumra.conf");
        QFile file(store);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime ahead = QDateTime::currentDateTimeUtc().addSecs(3600);
        QVERIFY(file.setFileTime(ahead, QFileDevice::FileModificationTime));
        file.close();
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), QStringLiteral("True!"));
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Sorted"), QStringLiteral("False")));
        QVERIFY(QFileInfo(store).lastModified() > ahead);
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), QStringLiteral("False"));
        for (int i = 0; i < 20; ++i) {
            const QString value = i % 2 ? QStringLiteral("odd") : QStringLiteral("eve");
            QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Sorted"), value));
            QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), value);
        }
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void keysThatCannotBeOpened_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("classes root")
            << QStringLiteral("HKEY_CLASSES_ROOT\\Software\\Morvanell\\Lumra");
        QTest::newRow("users") << QStringLiteral("HKU\\Software\\Morvanell\\Lumra");
        QTest::newRow("outside Software") << QStringLiteral("HKCU\\Control Panel\\Desktop");
        QTest::newRow("parent folder as organisation")
            << QStringLiteral("HKCU\\Software\\..\\Lumra");
        QTest::newRow("slash in a name") << QStringLiteral("HKCU\\Software\\Morvanell/x\\Lumra");
        QTest::newRow("shell folders") << QStringLiteral(
            "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    }
    void keysThatCannotBeOpened()
    {
        QFETCH(QString, path);
        ScriptedDialogs dialogs;
        CReg reg;
        QVERIFY(!reg.SetReg(path, QStringLiteral("Name"), QStringLiteral("x")));
        QCOMPARE(
            reg.GetReg(path, QStringLiteral("Name"), QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(!reg.DelReg(path, QStringLiteral("Name")));
        QVERIFY(!reg.DelReg(path, QString()));
        // Nothing appeared outside the two stores.
        QCOMPARE(
            QDir(m_home->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void valueNameWithSlashIsRefused()
    {
        ScriptedDialogs dialogs;
        CReg reg;
        QVERIFY(!reg.SetReg(LumraKey, QStringLiteral("a/b"), QStringLiteral("x")));
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("a\\b"), QStringLiteral("x")));
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("a\\b"), QString()), QStringLiteral("x"));
    }

    void myPicturesFromXdgUserFolders()
    {
        ScriptedDialogs dialogs;
        writeFile(
            config() + QStringLiteral("/user-dirs.dirs"), "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
        CReg reg;
        const QString shellFolders = QStringLiteral(
            "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
        QCOMPARE(reg.GetReg(shellFolders, QStringLiteral("My Pictures"), QString()),
            m_home->filePath(QStringLiteral("Bilder")));
        QCOMPARE(reg.GetReg(shellFolders, QStringLiteral("Personal"), QStringLiteral("d")),
            QStringLiteral("d"));
    }

    // The machine's store is opened for full access too, so only a machine store that can be
    // written can be read.
    void machineStore()
    {
        ScriptedDialogs dialogs;
        CReg reg;
        const QString key = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Morvanell\\Lumra");
        const QString file = machine() + QStringLiteral("/Morvanell/Lumra.conf");
        writeFile(file, "[General]\nFolder=/srv/pictures\n");
        QVERIFY(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (::geteuid() == 0) {
            QCOMPARE(reg.GetReg(key, QStringLiteral("Folder"), QStringLiteral("d")),
                QStringLiteral("/srv/pictures"));
            QSKIP("Running as root: every store can be written");
        }
        QCOMPARE(
            reg.GetReg(key, QStringLiteral("Folder"), QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(!reg.SetReg(key, QStringLiteral("Folder"), QStringLiteral("/x")));
        QCOMPARE(readAll(file), QByteArray("[General]\nFolder=/srv/pictures\n"));
    }

    void storeThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("file where the folder should be") << QStringLiteral("file for folder");
        QTest::newRow("folder where the store should be") << QStringLiteral("folder for store");
        QTest::newRow("FIFO as the store") << QStringLiteral("fifo");
        QTest::newRow("read-only folder") << QStringLiteral("read-only");
        QTest::newRow("full disk") << QStringLiteral("full disk");
    }
    void storeThatCannotBeWritten()
    {
        QFETCH(QString, obstacle);
        ScriptedDialogs dialogs;
        CReg reg;
        const QString folder = QFileInfo(lumraConf()).absolutePath();
        const QByteArray before = "[General]\nSorted=False\n";
        bool storeReadable = true;
        if (obstacle == QLatin1String("file for folder")) {
            writeFile(folder, "not a folder");
            storeReadable = false;
        } else if (obstacle == QLatin1String("folder for store")) {
            QVERIFY(QDir().mkpath(lumraConf()));
            storeReadable = false;
        } else if (obstacle == QLatin1String("fifo")) {
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(::mkfifo(QFile::encodeName(lumraConf()).constData(), 0600), 0);
            storeReadable = false;
        } else {
            writeFile(lumraConf(), before);
        }
        if (obstacle == QLatin1String("read-only")) {
            if (::geteuid() == 0)
                QSKIP("Running as root: a read-only folder can still be written");
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }

        QElapsedTimer timer;
        timer.start();
        bool written = false;
        {
            std::unique_ptr<FullDisk> full;
            if (obstacle == QLatin1String("full disk"))
                full = std::make_unique<FullDisk>();
            written
                = reg.SetReg(LumraKey, QStringLiteral("Folder"), QString(2000, QLatin1Char('x')));
        }
        QVERIFY(!written);
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Sorted"), QStringLiteral("d")),
            storeReadable ? QStringLiteral("False") : QStringLiteral("d"));
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Folder"), QStringLiteral("d")),
            QStringLiteral("d"));
        QVERIFY(timer.elapsed() < 2000);
        if (storeReadable)
            QCOMPARE(readAll(lumraConf()), before);
        // No temporary file is left behind.
        if (QFileInfo(folder).isDir())
            QVERIFY(QDir(folder)
                        .entryList({ QStringLiteral("Lumra.conf.*") }, QDir::Files | QDir::Hidden)
                        .isEmpty());
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Qt waits for its lock file without a time limit; a viewer must still close.
    void lockThatCannotBeHad_data()
    {
        QTest::addColumn<bool>("lockIsFolder");
        QTest::newRow("lock held by a live process") << false;
        QTest::newRow("folder in place of the lock") << true;
    }
    void lockThatCannotBeHad()
    {
        QFETCH(bool, lockIsFolder);
        writeFile(lumraConf(), "[General]\nSorted=False\n");
        const QString lockName = lumraConf() + QStringLiteral(".lock");
        QLockFile held(lockName);
        if (lockIsFolder)
            QVERIFY(QDir().mkpath(lockName));
        else
            QVERIFY(held.tryLock(0));

        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<QProcess> writer(startWriter(3, QStringLiteral("Value")));
        const bool finished = writer->waitForFinished(20000);
        if (!finished)
            writer->kill();
        QVERIFY2(finished, "saving hung on the lock");
        QVERIFY(timer.elapsed() < 10000);
        QCOMPARE(writer->exitCode(), 3); // all three writes skipped
        const QString errors = QString::fromLocal8Bit(writer->readAllStandardError());
        QCOMPARE(errors.count(QStringLiteral("Lumra.conf.lock")), 1);
        QCOMPARE(readAll(lumraConf()), QByteArray("[General]\nSorted=False\n"));
    }

    // Two viewers that close at the same moment both keep what they changed.
    void concurrentWritersKeepBothSets()
    {
        writeFile(lumraConf(), "[General]\nSorted=False\n");
        const int count = 25;
        std::unique_ptr<QProcess> first(startWriter(count, QStringLiteral("First")));
        std::unique_ptr<QProcess> second(startWriter(count, QStringLiteral("Second")));
        QVERIFY(first->waitForFinished(60000));
        QVERIFY(second->waitForFinished(60000));
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(second->exitCode(), 0);

        ScriptedDialogs dialogs;
        CReg reg;
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), QStringLiteral("False"));
        for (int i = 1; i <= count; ++i) {
            const QString n = QString::number(i);
            QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("First") + n, QString()), n);
            QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Second") + n, QString()), n);
        }
    }

    // A store with lines Qt cannot read loads what it can, and a copy of it is kept before
    // the next save rewrites it.
    void unreadableStoreIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("line without =")
            << QByteArray("[General]\nSorted=False\nthis line is junk\n");
        QTest::newRow("unclosed section") << QByteArray("[General]\nSorted=False\n[Other\nA=1\n");
        QTest::newRow("comment") << QByteArray("[General]\n; kept by hand\nSorted=False\n");
        QTest::newRow("not UTF-8") << QByteArray("[General]\nSorted=False\nFolder=/p\xe9t\n");
        // A store over 1 MiB is not read at all; one of 1 MiB still is.
        const QByteArray start = "[General]\nSorted=False\nthis line is junk\nA=";
        QTest::newRow("1 MiB") << start + QByteArray((1 << 20) - start.size() - 1, 'x') + '\n';
        QTest::newRow("over 1 MiB") << start + QByteArray((1 << 20) - start.size(), 'x') + '\n';
    }
    void unreadableStoreIsKept()
    {
        QFETCH(QByteArray, content);
        ScriptedDialogs dialogs;
        writeFile(lumraConf(), content);
        CReg reg;
        const QString sorted = content.size() > (1 << 20) ? QString() : QStringLiteral("False");
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), sorted);
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Reverse"), QStringLiteral("True")));
        QCOMPARE(readAll(lumraConf() + QStringLiteral(".bad")), content);
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), sorted);
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("Reverse"), QString()), QStringLiteral("True"));

        // A clean store makes no copy; a later bad one does not replace the first copy.
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Reverse"), QStringLiteral("False")));
        QVERIFY(!QFileInfo::exists(lumraConf() + QStringLiteral(".bad.2")));
        writeFile(lumraConf(), "[General]\nSorted=True\nmore junk\n");
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Reverse"), QStringLiteral("True")));
        QCOMPARE(readAll(lumraConf() + QStringLiteral(".bad")), content);
        QCOMPARE(readAll(lumraConf() + QStringLiteral(".bad.2")),
            QByteArray("[General]\nSorted=True\nmore junk\n"));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // Qt decodes a value written as @Variant(...) or @DateTime(...) from binary data whose
    // lengths it believes. Such a line, however it is spelt, never reaches Qt: the value
    // reads as missing, the rest of the store as it is, and the next save keeps a copy.
    // Text that only looks alike is still text.
    void binaryValuesNeverReachQt_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("reads"); // null: read as missing
        const QByteArray five = "(\\0\\0\\0\\x2\\0\\0\\0\\x5)";
        QTest::newRow("plain") << "@Variant" + five << QString();
        QTest::newRow("date and time") << QByteArray("@DateTime(\\0\\0\\0\\x1)") << QString();
        QTest::newRow("quoted") << "\"@Variant" + five + "\"" << QString();
        QTest::newRow("after blanks") << " \t@Variant" + five << QString();
        QTest::newRow("in a list") << "x, @Variant" + five << QString();
        QTest::newRow("quotes inside") << "@\"Vari\"ant" + five << QString();
        QTest::newRow("hex escape") << "\\x40Variant" + five << QString();
        QTest::newRow("long hex escape") << "\\x10040Variant" + five << QString();
        QTest::newRow("octal escape") << "@\\126ariant" + five << QString();
        QTest::newRow("unknown escape") << "@Vari\\kant" + five << QString();
        QTest::newRow("continued line") << "@Var\\\niant" + five << QString();
        QTest::newRow("continued line, CR LF") << "@\\\r\nVariant" + five << QString();
        QTest::newRow("huge length")
            << QByteArray("@Variant(\\0\\0\\0\\[Genera0\\x5)") << QString();
        QTest::newRow("escaped at") << QByteArray("@@Variant(x)") << QStringLiteral("@Variant(x)");
        QTest::newRow("blank between quotes") << "\"@\" \"Variant" + five + "\"" << QString();
        QTest::newRow("escaped at, quoted")
            << QByteArray("\"@\"@Variant(x)") << QStringLiteral("@Variant(x)");
        QTest::newRow("escaped quote")
            << QByteArray("@\\\"Variant(x)") << QStringLiteral("@\"Variant(x)");
        QTest::newRow("control characters") << QByteArray("a\\tb\\nc\\x1\\x62")
                                            << QStringLiteral("a\tb\nc\x01"
                                                              "b");
        QTest::newRow("comment") << QByteArray("@Vari;ant(x)") << QStringLiteral("@Vari");
        QTest::newRow("after text") << QByteArray("x@Variant(x)") << QStringLiteral("x@Variant(x)");
    }
    void binaryValuesNeverReachQt()
    {
        QFETCH(QByteArray, value);
        QFETCH(QString, reads);
        ScriptedDialogs dialogs;
        const QByteArray content = "[General]\nSorted=False\nA=" + value + "\nReverse=True\n";
        writeFile(lumraConf(), content);
        CReg reg;
        const QString missing = QStringLiteral("missing");
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("A"), missing), reads.isNull() ? missing : reads);
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("Sorted"), QString()), QStringLiteral("False"));
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("Reverse"), QString()), QStringLiteral("True"));

        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("Folder"), QStringLiteral("/p")));
        QCOMPARE(QFileInfo::exists(lumraConf() + QStringLiteral(".bad")), reads.isNull());
        if (reads.isNull())
            QCOMPARE(readAll(lumraConf() + QStringLiteral(".bad")), content);
        QCOMPARE(
            reg.GetReg(LumraKey, QStringLiteral("A"), missing), reads.isNull() ? missing : reads);
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("Folder"), QString()), QStringLiteral("/p"));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // Text that Qt writes reads back as that text, however much it looks like a value Qt
    // would decode. (Only an opening right after a comma or blanks inside quotes is taken
    // for one: whether a quote is open depends on every line before it.)
    void textsLikeBinaryValuesReadBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("opening") << QStringLiteral("@Variant(\\0\\0\\0\\x2)");
        QTest::newRow("opening with a zero")
            << QStringLiteral("@Variant(") + QChar(0) + QStringLiteral("\x05)");
        QTest::newRow("date and time") << QStringLiteral("@DateTime(x)");
        QTest::newRow("quoted") << QStringLiteral("@Variant(x); y ");
        QTest::newRow("after a comma") << QStringLiteral("a,b@Variant(x)");
        QTest::newRow("control characters") << QStringLiteral("@Variant(\t\n\r\x01)");
    }
    void textsLikeBinaryValuesReadBack()
    {
        QFETCH(QString, text);
        ScriptedDialogs dialogs;
        {
            QSettings qt(lumraConf(), QSettings::NativeFormat);
            qt.setValue(QStringLiteral("A"), text);
        }
        CReg reg;
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("A"), QString()), text);
        QVERIFY(reg.SetReg(LumraKey, QStringLiteral("B"), text));
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("B"), QString()), text);
        QCOMPARE(reg.GetReg(LumraKey, QStringLiteral("A"), QString()), text);
        QVERIFY(!QFileInfo::exists(lumraConf() + QStringLiteral(".bad")));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--write") == 0)
        return writeValues(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    QApplication app(argc, argv);
    tst_CReg test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_creg.moc"
