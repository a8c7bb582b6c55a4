// The eleven options: defaults on a first run, how stored texts load, what a close writes,
// and that a store which cannot be written never stops the viewer from closing.

#include "ScriptedDialogs.h"
#include "UserProfile.h"
#include "settings/basOptions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

using namespace basOptions;

namespace {

class FakeWindow final : public OptionsWindow {
public:
    double left = 18000;
    double top = 9000;
    double width = 4800;
    double height = 3600;
    int interval = 2000;

    double leftTwips() const override { return left; }
    double topTwips() const override { return top; }
    double widthTwips() const override { return width; }
    double heightTwips() const override { return height; }
    int timerInterval() const override { return interval; }
};

using Reader = std::function<QVariant(const OptionSet&)>;

} // namespace

Q_DECLARE_METATYPE(Reader)

class tst_Options : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<UserProfile> m_profile;
    FakeWindow m_window;

    QString lumraConf() const { return m_profile->lumraConf(); }
    QMap<QString, QString> stored() const { return m_profile->stored(); }
    void store(const QMap<QString, QString>& values) { m_profile->store(values); }

    // A new run of the viewer, with a fresh window.
    void newRun()
    {
        UserProfile::newRun();
        m_window = FakeWindow();
        setOptionsWindow(&m_window);
    }

private slots:
    void init()
    {
        m_profile = std::make_unique<UserProfile>();
        newRun();
    }
    void cleanup() { setOptionsWindow(nullptr); }

    void firstRunGivesDefaultsAndWritesNothing()
    {
        ScriptedDialogs dialogs;
        GetOptions();
        const QString pictures = m_profile->path(QStringLiteral("Pictures"));
        QCOMPARE(CurrentOptions.Folder, pictures);
        QVERIFY(CurrentOptions.Sorted);
        QVERIFY(!CurrentOptions.Reverse);
        QVERIFY(CurrentOptions.StayOnTop);
        QVERIFY(!CurrentOptions.Transparent);
        QVERIFY(CurrentOptions.AutoAdvance);
        QCOMPARE(CurrentOptions.AutoAdvanceSeconds, 2);
        QCOMPARE(CurrentOptions.WindowLeft, 18000);
        QCOMPARE(DefaultOptions.WindowHeight, 3600);
        QCOMPARE(DefaultOptions.Folder, pictures);

        SetOptions();
        QVERIFY(!QFileInfo::exists(lumraConf()));

        // Only what changed at close is written.
        newRun();
        GetOptions();
        m_window.left = 15000;
        m_window.height = 4200;
        SetOptions();
        const QMap<QString, QString> expected { { QStringLiteral("WindowLeft"),
                                                    QStringLiteral("15000") },
            { QStringLiteral("WindowHeight"), QStringLiteral("4200") } };
        QCOMPARE(stored(), expected);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // The window values are whole twips: an unmoved window writes nothing even where the
    // screen gives fractions.
    void windowDefaultsRoundHalfToEven()
    {
        ScriptedDialogs dialogs;
        m_window.left = 1234.5;
        m_window.top = 1235.5;
        m_window.width = 4800.4;
        GetOptions();
        QCOMPARE(DefaultOptions.WindowLeft, 1234);
        QCOMPARE(DefaultOptions.WindowTop, 1236);
        QCOMPARE(DefaultOptions.WindowWidth, 4800);
        SetOptions();
        QVERIFY(stored().isEmpty());
    }

    void storedTextsLoad_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Reader>("field");
        QTest::addColumn<QVariant>("expected");

        const Reader seconds = [](const OptionSet& o) { return QVariant(o.AutoAdvanceSeconds); };
        const Reader stayOnTop = [](const OptionSet& o) { return QVariant(o.StayOnTop); };
        const Reader sorted = [](const OptionSet& o) { return QVariant(o.Sorted); };
        const Reader left = [](const OptionSet& o) { return QVariant(o.WindowLeft); };
        const Reader folder = [](const OptionSet& o) { return QVariant(o.Folder); };
        QTest::newRow("seconds 75 out of range") << "AutoAdvanceSeconds"
                                                 << "75" << seconds << QVariant(2);
        QTest::newRow("seconds -1 out of range") << "AutoAdvanceSeconds"
                                                 << "-1" << seconds << QVariant(2);
        QTest::newRow("seconds 60") << "AutoAdvanceSeconds"
                                    << "60" << seconds << QVariant(60);
        QTest::newRow("seconds 0") << "AutoAdvanceSeconds"
                                   << "0" << seconds << QVariant(0);
        QTest::newRow("seconds 2.5 to even") << "AutoAdvanceSeconds"
                                             << "2.5" << seconds << QVariant(2);
        QTest::newRow("seconds 3.5 to even") << "AutoAdvanceSeconds"
                                             << "3.5" << seconds << QVariant(4);
        QTest::newRow("truth 0") << "StayOnTop"
                                 << "0" << stayOnTop << QVariant(false);
        QTest::newRow("truth 1") << "StayOnTop"
                                 << "1" << stayOnTop << QVariant(true);
        QTest::newRow("truth -1") << "StayOnTop"
                                  << "-1" << stayOnTop << QVariant(true);
        QTest::newRow("truth TRUE") << "StayOnTop"
                                    << "TRUE" << stayOnTop << QVariant(true);
        QTest::newRow("truth fAlSe") << "Sorted"
                                     << "fAlSe" << sorted << QVariant(false);
        QTest::newRow("truth 0.0") << "Sorted"
                                   << "0.0" << sorted << QVariant(false);
        QTest::newRow("window left") << "WindowLeft"
                                     << "-1200" << left << QVariant(-1200);
        QTest::newRow("folder unchanged") << "Folder"
                                          << " /x/y/ " << folder << QVariant(" /x/y/ ");
    }
    void storedTextsLoad()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(Reader, field);
        QFETCH(QVariant, expected);
        ScriptedDialogs dialogs;
        store({ { key, text } });
        GetOptions();
        QCOMPARE(field(CurrentOptions), expected);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // A text that does not convert is reported once, and the field keeps what it had: at the
    // first load zero, false or empty, not the default.
    void unconvertibleTextIsReportedOnce_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Reader>("field");
        QTest::addColumn<QVariant>("kept");
        const Reader seconds = [](const OptionSet& o) { return QVariant(o.AutoAdvanceSeconds); };
        const Reader sorted = [](const OptionSet& o) { return QVariant(o.Sorted); };
        const Reader width = [](const OptionSet& o) { return QVariant(o.WindowWidth); };
        QTest::newRow("word as truth value") << "Sorted"
                                             << "maybe" << sorted << QVariant(false);
        QTest::newRow("yes is no truth value") << "Sorted"
                                               << "yes" << sorted << QVariant(false);
        QTest::newRow("empty truth value") << "Sorted"
                                           << "" << sorted << QVariant(false);
        QTest::newRow("letters as seconds") << "AutoAdvanceSeconds"
                                            << "abc" << seconds << QVariant(0);
        QTest::newRow("empty seconds") << "AutoAdvanceSeconds"
                                       << "" << seconds << QVariant(0);
        QTest::newRow("too large for the width") << "WindowWidth"
                                                 << "99999999999" << width << QVariant(0);
        QTest::newRow("not a number") << "WindowWidth"
                                      << "nan" << width << QVariant(0);
    }
    void unconvertibleTextIsReportedOnce()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(Reader, field);
        QFETCH(QVariant, kept);
        ScriptedDialogs dialogs;
        dialogs.answerMessage(MsgAnswer::OK);
        store({ { key, text }, { QStringLiteral("Reverse"), QStringLiteral("True") } });
        GetOptions();
        QCOMPARE(field(CurrentOptions), kept);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
        QVERIFY(dialogs.messages().constFirst().contains(
            QStringLiteral("\r\nFunction: Options : GetOptions\r\n")));
        // The options after it still load.
        QVERIFY(CurrentOptions.Reverse);
        QVERIFY(CurrentOptions.AutoAdvance);

        // A later load keeps the value the field had.
        CurrentOptions.Sorted = true;
        CurrentOptions.AutoAdvanceSeconds = 7;
        CurrentOptions.WindowWidth = 1;
        const QVariant before = field(CurrentOptions);
        GetOptions();
        QCOMPARE(field(CurrentOptions), before);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 2);
    }

    void closeWrites_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("seconds"); // empty: not written
        QTest::newRow("4500 ms") << 4500 << "4";
        QTest::newRow("2000 ms") << 2000 << "";
        QTest::newRow("2999 ms") << 2999 << "";
        QTest::newRow("60000 ms") << 60000 << "60";
        QTest::newRow("61000 ms") << 61000 << "";
        QTest::newRow("500 ms") << 500 << "0";
    }
    void closeWrites()
    {
        QFETCH(int, interval);
        QFETCH(QString, seconds);
        ScriptedDialogs dialogs;
        GetOptions();
        m_window.interval = interval;
        SetOptions();
        QCOMPARE(stored().value(QStringLiteral("AutoAdvanceSeconds")), seconds);
        QCOMPARE(stored().size(), seconds.isEmpty() ? 0 : 1);
    }

    // Toggling back to the default is written too, once something else is stored.
    void toggledOptionIsWrittenBothWays()
    {
        ScriptedDialogs dialogs;
        GetOptions();
        CurrentOptions.Sorted = false;
        CurrentOptions.Folder = QStringLiteral("/srv/photos");
        SetOptions();
        QCOMPARE(stored().value(QStringLiteral("Sorted")), QStringLiteral("False"));
        QCOMPARE(stored().value(QStringLiteral("Folder")), QStringLiteral("/srv/photos"));

        newRun();
        GetOptions();
        QVERIFY(!CurrentOptions.Sorted);
        QCOMPARE(CurrentOptions.Folder, QStringLiteral("/srv/photos"));
        CurrentOptions.Sorted = true;
        SetOptions();
        QCOMPARE(stored().value(QStringLiteral("Sorted")), QStringLiteral("True"));
        QCOMPARE(stored().size(), 2);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    void optionInSubkey()
    {
        ScriptedDialogs dialogs;
        GetOptions();
        SetOption(QStringLiteral("Recent\\First"), QStringLiteral("/a"), QString());
        QCOMPARE(
            GetOption(QStringLiteral("Recent\\First"), QStringLiteral("d")), QStringLiteral("/a"));
        QCOMPARE(stored().value(QStringLiteral("Recent/First")), QStringLiteral("/a"));
        SetOption(QStringLiteral("Same"), QStringLiteral("d"), QStringLiteral("d"));
        QVERIFY(!stored().contains(QStringLiteral("Same")));
    }

    void noStoreNoPictureFolder()
    {
        ScriptedDialogs dialogs;
        QCOMPARE(GetMyPicturesFolder(), QString());
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    }

    // A store that cannot be written gives no report and does not hold up the close.
    void closeWithUnwritableStore()
    {
        ScriptedDialogs dialogs;
        QFile blocker(QFileInfo(lumraConf()).absolutePath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        GetOptions();
        QVERIFY(CurrentOptions.Sorted);
        CurrentOptions.Sorted = false;
        m_window.left = 1;
        QElapsedTimer timer;
        timer.start();
        SetOptions();
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
        QVERIFY(QFileInfo(blocker.fileName()).isFile());
    }
};

QTEST_MAIN(tst_Options)
#include "tst_options.moc"
