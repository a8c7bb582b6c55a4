// The settings: the options, CReg on the registry and its stand-in, the per-user store file
// (read safely, replaced whole), and profile files.

#include "Support.h"

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace basOptions;
using namespace Qt::StringLiterals;
using Values = QMap<QString, QString>;

namespace {

// A window that stands where the options put it, its timer at their pace.
class Window final : public OptionsWindow {
    double leftTwips() const override { return CurrentOptions.WindowLeft; }
    double topTwips() const override { return CurrentOptions.WindowTop; }
    double widthTwips() const override { return CurrentOptions.WindowWidth; }
    double heightTwips() const override { return CurrentOptions.WindowHeight; }
    int timerInterval() const override { return CurrentOptions.AutoAdvanceSeconds * 1000; }
} window;

// Reads an option's field and, given a value, first sets it.
using Field = QVariant (*)(OptionSet&, const QVariant&);
template <auto Member> QVariant field(OptionSet& options, const QVariant& value)
{
    using Type = std::remove_reference_t<decltype(options.*Member)>;
    if (value.isValid())
        options.*Member = value.value<Type>();
    return QVariant::fromValue(options.*Member);
}

} // namespace

class tst_Settings : public QObject {
    Q_OBJECT

    std::unique_ptr<UserProfile> m_profile;
    ScriptedDialogs m_dialogs;
    CReg reg;
    QString conf() const { return m_profile->lumraConf(); }
    static void newRun() { UserProfile::newRun(), setOptionsWindow(&window), GetOptions(); }

private slots:
    void init() { m_profile = std::make_unique<UserProfile>(); }
    void cleanup() { QCOMPARE(m_dialogs.count(ScriptedDialogs::Kind::Message), 0); }

    // The options, loaded by GetOptions and saved by SetOptions. Each row stores "key text"
    // ("~" the home) and sees that text load. Unchanged, a first run writes
    // nothing; changed back to its default, the option is written, and it alone. Seconds
    // out of range load as the default; a text that does not convert is reported and leaves
    // the field as it was, zero or false at the first load.
    void options_data()
    {
        QTest::addColumn<Field>("option");
        QTest::addColumn<QVariant>("byDefault");
        QTest::addColumn<QVariant>("loads");
        QTest::addColumn<int>("reports");
        const auto row
            = [](const char* tag, Field f, const QVariant& byDefault, const QVariant& loads,
                  int reports = 0) { QTest::newRow(tag) << f << byDefault << loads << reports; };
        const Field seconds = field<&OptionSet::AutoAdvanceSeconds>;
        row("WindowLeft -150", field<&OptionSet::WindowLeft>, 0, -150);
        row("WindowTop 900", field<&OptionSet::WindowTop>, 0, 900);
        row("WindowHeight 4200.5", field<&OptionSet::WindowHeight>, 0, 4200); // half to even
        row("Folder /srv/photos", field<&OptionSet::Folder>, u"~/Pictures"_s, u"/srv/photos"_s);
        row("Sorted yes", field<&OptionSet::Sorted>, true, false, 1);
        row("Reverse -1", field<&OptionSet::Reverse>, false, true);
        row("StayOnTop 0", field<&OptionSet::StayOnTop>, true, false);
        row("Transparent tRuE", field<&OptionSet::Transparent>, false, true);
        row("AutoAdvance False", field<&OptionSet::AutoAdvance>, true, false);
        row("AutoAdvanceSeconds 60", seconds, 2, 60);
        row("AutoAdvanceSeconds 61", seconds, 2, 2);
        row("AutoAdvanceSeconds abc", seconds, 2, 0, 1);
    }
    void options()
    {
        const QStringList stored = QString::fromUtf8(QTest::currentDataTag()).split(u' ');
        QFETCH(Field, option);
        QFETCH(QVariant, byDefault);
        QFETCH(QVariant, loads);
        QFETCH(int, reports);
        if (byDefault == u"~/Pictures"_s)
            byDefault = m_profile->path(u"Pictures"_s);
        newRun();
        QCOMPARE(option(CurrentOptions, {}), byDefault);
        SetOptions();
        QVERIFY(!QFile::exists(conf()));

        m_profile->store({ { stored[0], stored[1] } });
        newRun();
        QCOMPARE(option(CurrentOptions, {}), loads);
        QCOMPARE(m_dialogs.count(ScriptedDialogs::Kind::Message), reports);
        m_dialogs.clear();

        option(CurrentOptions, byDefault);
        SetOptions();
        QCOMPARE(m_profile->stored().keys(), QStringList { stored[0] });
        newRun();
        QCOMPARE(option(CurrentOptions, {}), byDefault);
    }

    // A call on "path\name" ("~" the program key) with the store holding before: what it
    // answers ("d" the default, true or false) and what the store holds after it.
    void registry_data()
    {
        QTest::addColumn<Values>("before");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("result");
        QTest::addColumn<Values>("after");
        const auto row = [](const char* tag, const Values& before, const QString& call,
                             const QString& result, const std::optional<Values>& after = {}) {
            QTest::newRow(tag) << before << call << result << after.value_or(before);
        };
        const Values made { { "V", "v" } }, w { { "W", "w" } };
        row("hkcu, doubled \\", {}, "set hkcu\\\\Software\\\\Morvanell\\Lumra\\V", "true", made);
        row("slash after the root", {}, "set HKCU/Software\\Morvanell\\Lumra\\V", "false");
        row("parent folder", {}, "set HKCU\\Software\\..\\Lumra\\V", "false");
        row("slash in a key", {}, "set HKCU\\Software\\Morvanell/x\\Lumra\\V", "false");
        row("zero in a key", {}, u"set HKCU\\Software\\Morvanell\\Lu\0mra\\V"_s, "false");
        row("slash in a value name", {}, "set ~\\a/b", "false");
        row("every subkey made", {}, "set ~\\A\\B\\V", "true", Values { { "A/B/V", "v" } });
        row("unnamed value", { { ".", "unnamed" }, { "V", "v" } }, "get ~\\*", "unnamed");
        row("key deleted", { { "A/B/V", "v" }, { "W", "w" } }, "del ~\\A\\B\\", "true", w);
    }
    void registry()
    {
        QFETCH(Values, before);
        QFETCH(QString, call);
        QFETCH(QString, result);
        QFETCH(Values, after);
        m_profile->store(before);
        const QString target = call.mid(4).replace(u'~', ProgramKey);
        const qsizetype cut = target.lastIndexOf(u'\\');
        const QString path = target.left(cut), name = target.mid(cut + 1);
        const QString answer = call.startsWith(u'g') ? reg.GetReg(path, name, u"d"_s)
            : call.startsWith(u's') ? QVariant(reg.SetReg(path, name, u"v"_s)).toString()
                                    : QVariant(reg.DelReg(path, name)).toString();
        QCOMPARE(answer, result);
        QCOMPARE(m_profile->stored(), after);
    }

#ifndef _WIN32 // the settings file that stands in for the registry
    // A store with lines a rewrite would lose is read for what it holds and kept as .bad
    // before it is rewritten; one over 1 MiB is not read at all. A value Qt would decode
    // from binary data reads as missing, however it is spelt.
    void damagedStore_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reads");
        QTest::addColumn<bool>("kept");
        const auto row
            = [](const char* tag, const QByteArray& lines, const char* reads, bool kept) {
                  QTest::newRow(tag) << "[General]\n" + lines + '\n' << reads << kept;
              };
        const QByteArray junk = "A=1\nthis line is junk\nB=";
        const qsizetype fill = (1 << 20) - junk.size() - 11; // to a file of 1 MiB
        row("line without =", junk, "1", true);
        row("1 MiB", junk + QByteArray(fill, 'x'), "1", true);
        row("over 1 MiB", junk + QByteArray(fill + 1, 'x'), "-", true);
        const QByteArray five = "(\\0\\0\\0\\x2\\0\\0\\0\\x5)";
        row("binary value in a list", "A=x, @Variant" + five, "-", true);
        row("text", "A=@@Variant(x)", "@Variant(x)", false);
    }
    void damagedStore()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reads);
        QFETCH(bool, kept);
        QVERIFY(QDir().mkpath(QFileInfo(conf()).path()) && writeFile(conf(), content));
        QCOMPARE(reg.GetReg(ProgramKey, u"A"_s, u"-"_s), reads);
        QVERIFY(reg.SetReg(ProgramKey, u"B"_s, u"v"_s));
        QCOMPARE(readAll(conf() + u".bad"_s), kept ? content : QByteArray());
    }

    // Both write a new file beside the old one and put it in place only when all is written.
    void fullDisk()
    {
        const QString ini = m_profile->path(u"p.ini"_s);
        const QByteArray before = "[General]\nA=1\n";
        QVERIFY(QDir().mkpath(QFileInfo(conf()).path()) && writeFile(conf(), before)
            && writeFile(ini, before));
        rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit tight { 512, saved.rlim_max }; // room for a lock file, not for the value
        std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &tight);
        const bool stored = reg.SetReg(ProgramKey, u"B"_s, QString(2000, u'x'));
        const bool profiled = reg.SetProfile(ini, u"General"_s, u"B"_s, QString(2000, u'x'));
        ::setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!stored && !profiled);
        QCOMPARE(readAll(conf()), before);
        QCOMPARE(readAll(ini), before);
    }

    // Qt takes a file of the size and time it read before for unchanged, so every rewrite
    // gets a later time than any before it, even when the file is gone meanwhile.
    void rewriteGetsLaterTime()
    {
        QVERIFY(reg.SetReg(ProgramKey, u"A"_s, u"1"_s));
        QFile file(conf());
        QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(
                QDateTime::currentDateTime().addSecs(3600), QFile::FileModificationTime));
        QVERIFY(reg.SetReg(ProgramKey, u"A"_s, u"2"_s));
        const QDateTime second = QFileInfo(conf()).lastModified();
        QVERIFY(QFile::remove(conf()));
        QVERIFY(reg.SetReg(ProgramKey, u"A"_s, u"3"_s));
        QVERIFY(QFileInfo(conf()).lastModified() > second);
    }

#endif

    // A call on a profile file holding before ({} none, "->" a link to no file): "get section key"
    // (no key: the key names), "set section key value" (no value: delete the key; no key: the
    // section), or "section name"; what it answers ("d" the default, true or false) and the file
    // after.
    void profile_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char* tag, const QByteArray& before, const QString& call,
                             const QString& result, const std::optional<QByteArray>& after = {}) {
            QTest::newRow(tag) << before << call << result << after.value_or(before);
        };
        const QByteArray two = "[A]\nx=1\n\n[B]\nz=3\n";
        row("key names, not comments", "[s]\n;c=1\nk=v\nK=w\n", "get s", u"k\0"_s);
        row("cut to 4095", "[s]\nk=" + QByteArray(5000, 'x'), "get s k", QString(4095, u'x'));
        row("key in any case", "[A]\r\n;c\r\nx=1\r\n?\r\n", "set a X 2", "true",
            "[A]\r\n;c\r\nx=2\r\n?\r\n");
        row("every section deleted", "[A]\nx=1\n[B]\nz=3\n[a]\ny=2\n", "set A", "true",
            "[B]\nz=3\n");
        row("link to no file", "->", "set S k v", "false", QByteArray());
        row("line break in a value", two, "set A x 1\n[C]", "false");
        row("] in a section", two, "set A]x k 1", "false");
        row("section text", "[A]\n1\n\n[B]\n2\n[a]\n3\n", "section a", "1\r\n\r\n3\r\n");
    }
    void profile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, call);
        QFETCH(QString, result);
        QFETCH(QByteArray, after);
        const QString file = m_profile->path(u"p.ini"_s);
        QVERIFY(before == "->" ? QFile::link(m_profile->path(u"nowhere.ini"_s), file)
                               : before.isNull() || writeFile(file, before));
        const QStringList w = call.split(u' ');
        const auto part = [&w](int i) { return i < w.size() ? CReg::Variant(w[i]) : std::nullopt; };
        const QString answer = w[0] == u"get" ? reg.GetProfile(file, w[1], part(2), u"d"_s)
            : w[0] == u"set" ? QVariant(reg.SetProfile(file, w[1], part(2), part(3))).toString()
                             : reg.GetProfileSection(file, w[1]);
        QCOMPARE(answer, result);
        QCOMPARE(QFile::exists(file), !after.isNull());
        QCOMPARE(readAll(file), after);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
