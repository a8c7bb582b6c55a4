// Start-up and close of the viewer window: placement, the menu, the first list and picture,
// the folder prompt, and the one close path.

#include "ScriptedDialogs.h"
#include "TestFolders.h"
#include "UserProfile.h"
#include "platform/zbasErrorTrap.h"
#include "viewer/IntervalTimer.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace basGeneral;

namespace {
const QString NoPictures
    = QStringLiteral("No supported Image Files were found in the selected folder.");
const QString FolderPrompt
    = QStringLiteral("Please select the folder containing the Image Files to view.");

// A small picture file of the given size.
std::string picture(const TestFolder& dir, const std::string& name, QSize size = { 40, 30 })
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    std::string path = dir.path(name);
    const bool saved = image.save(QString::fromLocal8Bit(path), "PNG");
    Q_ASSERT(saved);
    return path;
}

QString qs(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }

// A folder whose names cannot be read while it lives, though its files can be opened. Root
// reads any folder, so a test run by root takes another user's rights for that time.
class Unlistable {
public:
    explicit Unlistable(std::string folder)
        : m_folder(std::move(folder))
    {
        if (m_folder.empty())
            return;
        ::chmod(m_folder.c_str(), 0311);
        if (::geteuid() == 0) {
            // The way in: every folder above must be open to the other user.
            for (std::string up = m_folder; up.size() > 1; up.resize(up.rfind('/')))
                if (struct stat info {};
                    ::stat(up.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && up != m_folder)
                    ::chmod(up.c_str(), info.st_mode | 0011);
            m_wasRoot = ::seteuid(65534) == 0;
        }
    }
    ~Unlistable()
    {
        if (m_wasRoot)
            QVERIFY(::seteuid(0) == 0);
        if (!m_folder.empty())
            ::chmod(m_folder.c_str(), 0755);
    }
    Unlistable(const Unlistable&) = delete;
    Unlistable& operator=(const Unlistable&) = delete;

private:
    std::string m_folder;
    bool m_wasRoot = false;
};
} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void designedWindow();
    void placedAtBottomRight();
    void captionsDecoratedAndMenuHidden();
    void scenarios_data();
    void scenarios();
    void closeSavesOnceByEveryRoute_data();
    void closeSavesOnceByEveryRoute();

private:
    QString m_startDirectory;
    std::unique_ptr<TestFolder> m_emptyCurrent;
    std::unique_ptr<UserProfile> m_profile;
};

void StartupTest::initTestCase() { m_startDirectory = QDir::currentPath(); }

void StartupTest::init()
{
    PicturePaths.clear();
    m_profile = std::make_unique<UserProfile>();
    // The current directory is the last fallback of start-up: keep it empty of pictures.
    m_emptyCurrent = std::make_unique<TestFolder>();
    QDir::setCurrent(qs(m_emptyCurrent->path()));
}

void StartupTest::cleanup() { QDir::setCurrent(m_startDirectory); }

void StartupTest::designedWindow()
{
    frmLumra viewer({});
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Lumra - WWW.MORVANELL.EXAMPLE"));
    const double tpp = viewer.twipsPerPixel();
    QCOMPARE(viewer.width(), qRound(3915 / tpp));
    QCOMPARE(viewer.height(), qRound(2640 / tpp));
    QVERIFY(viewer.windowFlags() & Qt::Tool);
    QVERIFY(!(viewer.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(viewer.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(viewer.palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(viewer.tmrTimer->interval(), 2000);
    QVERIFY(!viewer.tmrTimer->enabled());
    for (QLabel* control : viewer.imgPic) {
        QVERIFY(control);
        QCOMPARE(control->pos(), QPoint(0, 0));
        QVERIFY(!control->hasScaledContents());
    }
    // Every item of the menu, in order, with its design caption.
    QStringList captions;
    for (QAction* action : viewer.mnuFile->actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(captions,
        (QStringList { "&Select Folder...", "-", "Show First", "Show Previous", "Show Next",
            "Show Last", "-", "&Auto-Advance", "S&et Auto-Advance Seconds...", "&Sorted",
            "&Reverse", "&Transparent", "-", "Stay On &Top", "-", "&Help...",
            "&Visit WWW.MORVANELL.EXAMPLE...", "-", "About Lumra...", "-", "E&xit" }));
    QCOMPARE(viewer.mnuFile->title(), QStringLiteral("&Lumra"));
    QCOMPARE(viewer.mnuOptionsSelectFolder->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    QCOMPARE(viewer.mnuOptionsAutoAdvance->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(viewer.mnuOptionsSorted->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(viewer.mnuOptionsReverse->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    QCOMPARE(viewer.mnuOptionsTransparent->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
    QVERIFY(viewer.mnuOptionsStayOnTop->shortcut().isEmpty());
}

void StartupTest::placedAtBottomRight()
{
    TestFolder dir;
    picture(dir, "a.png");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path() });
    viewer.Form_Load();
    const QRect screen = viewer.screen()->geometry();
    const QRect frame = viewer.frameGeometry();
    const double tpp = viewer.twipsPerPixel();
    QCOMPARE(frame.right(), screen.right());
    QCOMPARE(frame.bottom() + 1, screen.bottom() + 1 - qRound(900 / tpp));
    QCOMPARE(viewer.width(), qRound(3915 / tpp));

    // Once shown with its frame, the outer edge is in the corner.
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QTRY_COMPARE(viewer.frameGeometry().right(), screen.right());
    QCOMPARE(viewer.frameGeometry().bottom() + 1, screen.bottom() + 1 - qRound(900 / tpp));
    QCOMPARE(viewer.width(), qRound(3915 / tpp));
}

void StartupTest::captionsDecoratedAndMenuHidden()
{
    TestFolder dir;
    picture(dir, "a.png");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path() });
    viewer.Form_Load();
    QCOMPARE(viewer.mnuFileShowFirst->text(), QStringLiteral("Show First\tHome"));
    QCOMPARE(viewer.mnuFileShowPrevious->text(), QStringLiteral("Show Previous\tPg Up"));
    QCOMPARE(viewer.mnuFileShowNext->text(), QStringLiteral("Show Next\tPg Dn"));
    QCOMPARE(viewer.mnuFileShowLast->text(), QStringLiteral("Show Last\tEnd"));
    QCOMPARE(viewer.mnuExit->text(), QStringLiteral("E&xit\tEsc"));
    QCOMPARE(viewer.mnuOptionsSelectFolder->text(), QStringLiteral("&Select Folder..."));
    QVERIFY(!viewer.mnuFile->menuAction()->isVisible());
    QCOMPARE(AppFolder, ProgramFolder());
    QVERIFY(dialogs.shown().empty());
}

void StartupTest::scenarios_data()
{
    // Paths are relative to a test folder; "{w}" in options and answers stands for it.
    QTest::addColumn<QStringList>("files"); // pictures by their extension, other files empty
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("stored"); // options as Name=Value
    QTest::addColumn<QString>("current"); // the current directory; "-" deleted
    QTest::addColumn<QString>("unlistable"); // a folder whose names cannot be read
    QTest::addColumn<QStringList>("answers"); // to the folder prompts; "" cancels
    QTest::addColumn<bool>("selectFolder"); // Select Folder after start-up
    QTest::addColumn<QStringList>("dialogs"); // messages, or "prompt"
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("timer");
    QTest::addColumn<bool>("ended");
    using L = QStringList;
    const QString designed = QStringLiteral("Lumra - WWW.MORVANELL.EXAMPLE");
    const L noFolder { "Folder=" };
    const L asked { NoPictures, "prompt" };

    QTest::newRow("folders: one list by full path, upper case first")
        << L { "b/z.png", "b/a.png", "A/m.png", "b/notes.txt" } << L { "b", "A" } << L {} << ""
        << "" << L {} << false << L {} << L { "A/m.png", "b/a.png", "b/z.png" } << 1 << "m.png"
        << true << false;
    QTest::newRow("one picture: its folder, starting on it")
        << L { "a.png", "b.png", "c.png" } << L { "b.png" } << L {} << ""
        << "" << L {} << false << L {} << L { "a.png", "b.png", "c.png" } << 2 << "b.png" << true
        << false;
    QTest::newRow("pictures among other arguments")
        << L { "f/in.png", "loose.png", "readme.txt" } << L { "readme.txt", "loose.png", "f" }
        << L {} << ""
        << "" << L {} << false << L {} << L { "f/in.png", "loose.png" } << 1 << "in.png" << true
        << false;
    QTest::newRow("stored folder, no command line")
        << L { "p/b.png", "p/B.png", "p/a.bmp" } << L {} << L { "Folder={w}/p" } << ""
        << "" << L {} << false << L {} << L { "p/B.png", "p/a.bmp", "p/b.png" } << 1 << "B.png"
        << true << false;
    QTest::newRow("the current directory when the arguments have none")
        << L { "e/x.txt", "c/y.png", "c/x.png" } << L { "e" } << L {} << "c"
        << "" << L {} << false << L {} << L { "c/x.png", "c/y.png" } << 1 << "x.png" << true
        << false;
    QTest::newRow("a deleted current directory adds nothing")
        << L { "e/x.txt" } << L { "e" } << L {} << "-"
        << "" << L { "" } << false << asked << L {} << 0 << designed << true << false;
    QTest::newRow("no pictures: the chosen folder in search order")
        << L { "e/x.txt", "c/c.png", "c/b.bmp", "c/a.png" } << L { "e" } << L {} << ""
        << "" << L { "{w}/c" } << false << asked << L { "c/b.bmp", "c/a.png", "c/c.png" } << 1
        << "b.bmp" << true << false;
    QTest::newRow("no pictures, prompt cancelled with a folder known")
        << L { "readme.txt" } << L { "readme.txt" } << L {} << ""
        << "" << L { "" } << false << asked << L {} << 0 << designed << true << false;
    QTest::newRow("first run: the chosen folder sorted")
        << L { "c/b.png", "c/a.png", "c/c.bmp" } << L {} << noFolder << ""
        << "" << L { "{w}/c" } << false << L { "prompt" } << L { "c/a.png", "c/b.png", "c/c.bmp" }
        << 1 << "a.png" << true << false;
    QTest::newRow("first run cancelled: the program ends")
        << L {} << L {} << noFolder << ""
        << "" << L { "" } << false << L { "prompt" } << L {} << 0 << designed << false << true;
    QTest::newRow("a lone picture in a folder that cannot be listed")
        << L { "locked/p.png", "locked/q.png" } << L { "locked/p.png" } << L {} << ""
        << "locked" << L {} << false << L {} << L { "locked/p.png" } << 1 << "p.png" << true
        << false;
    QTest::newRow("a name with tags and Qt's placeholder, literally")
        << L { "x<u>[*]y.png" } << L { "x<u>[*]y.png" } << L {} << ""
        << "" << L {} << false << L {} << L { "x<u>[*]y.png" } << 1 << "x<u>[*]y.png" << true
        << false;
    QTest::newRow("slide show off")
        << L { "a.png" } << L { "a.png" } << L { "AutoAdvance=False" } << ""
        << "" << L {} << false << L {} << L { "a.png" } << 1 << "a.png" << false << false;
    QTest::newRow("stored window place and size are not applied")
        << L { "a.png" } << L { "a.png" }
        << L { "WindowLeft=0", "WindowTop=0", "WindowWidth=9000", "WindowHeight=9000" } << ""
        << "" << L {} << false << L {} << L { "a.png" } << 1 << "a.png" << true << false;
    QTest::newRow("Select Folder replaces the list, in search order")
        << L { "a.png", "b.png", "n/z.png", "n/y.bmp" } << L { "b.png" } << L {} << ""
        << "" << L { "{w}/n" } << true << L { "prompt" } << L { "n/y.bmp", "n/z.png" } << 1
        << "y.bmp" << true << false;
    QTest::newRow("Select Folder cancelled keeps the list")
        << L { "a.png", "b.png" } << L { "b.png" } << L {} << ""
        << "" << L { "" } << true << L { "prompt" } << L { "a.png", "b.png" } << 2 << "b.png"
        << true << false;
}

void StartupTest::scenarios()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, stored);
    QFETCH(QString, current);
    QFETCH(QString, unlistable);
    QFETCH(QStringList, answers);
    QFETCH(bool, selectFolder);
    QFETCH(QStringList, dialogs);
    QFETCH(QStringList, list);
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(bool, timer);
    QFETCH(bool, ended);

    TestFolder world;
    const QString w = qs(world.path());
    auto inWorld = [&](const QString& relative) { return world.path(relative.toStdString()); };
    for (const QString& file : files) {
        const qsizetype slash = file.lastIndexOf(QLatin1Char('/'));
        if (slash > 0)
            QDir().mkpath(qs(inWorld(file.left(slash))));
        if (file.endsWith(QLatin1String(".png")) || file.endsWith(QLatin1String(".bmp")))
            picture(world, file.toStdString());
        else
            world.file(file.toStdString());
    }
    QMap<QString, QString> options;
    for (const QString& option : stored)
        options.insert(option.section(QLatin1Char('='), 0, 0),
            option.section(QLatin1Char('='), 1).replace(QLatin1String("{w}"), w));
    if (!options.isEmpty())
        m_profile->store(options);
    const auto storedBefore = m_profile->stored();
    std::unique_ptr<TestFolder> deleted;
    if (current == QLatin1String("-")) {
        deleted = std::make_unique<TestFolder>();
        QDir::setCurrent(qs(deleted->path()));
        QVERIFY(QDir().rmdir(qs(deleted->path())));
    } else if (!current.isEmpty()) {
        QDir::setCurrent(qs(inWorld(current)));
    }
    // Where the test may write there, a picture in the root folder shows whether the root
    // is listed in place of a current directory that is gone.
    const std::string rootPicture = "/lumra-startup-test-" + std::to_string(::getpid()) + ".png";
    const bool rootWritable = deleted && ::access("/", W_OK) == 0;
    if (rootWritable)
        QImage(4, 4, QImage::Format_RGB32).save(qs(rootPicture), "PNG");

    ScriptedDialogs shown;
    for (const QString& answer : answers)
        shown.answerFolder(QString(answer).replace(QLatin1String("{w}"), w));
    std::vector<std::string> commandLine;
    for (const QString& argument : arguments)
        commandLine.push_back(inWorld(argument));
    frmLumra viewer(commandLine);
    QSignalSpy endedSpy(&viewer, &frmLumra::ended);
    {
        Unlistable locked(unlistable.isEmpty() ? std::string() : inWorld(unlistable));
        viewer.Form_Load();
    }
    if (rootWritable)
        ::unlink(rootPicture.c_str());
    bool timerOffWhilePrompting = true;
    if (selectFolder) {
        shown.whileOpen(
            [&](const QString&) { timerOffWhilePrompting = !viewer.tmrTimer->enabled(); });
        viewer.mnuOptionsSelectFolder_Click();
    }

    QStringList texts;
    for (const auto& dialog : shown.shown())
        texts << (dialog.kind == ScriptedDialogs::Kind::Folder ? QStringLiteral("prompt")
                                                               : dialog.text);
    QCOMPARE(texts, dialogs);
    QStringList listed;
    for (std::int32_t i = 1; i <= PictureCount(); ++i)
        listed << qs(PicturePaths.at(i)).remove(0, w.size() + 1);
    QCOMPARE(listed, list);
    QCOMPARE(viewer.CurrentIndex(), index);
    // Placed at the bottom right at its designed size, whatever was stored.
    const QRect screen = viewer.screen()->geometry();
    QCOMPARE(viewer.frameGeometry().right(), screen.right());
    QCOMPARE(viewer.width(), qRound(3915 / viewer.twipsPerPixel()));
    viewer.winId(); // the native window, which carries the title
    QCOMPARE(viewer.windowHandle()->title(), caption);
    QCOMPARE(viewer.tmrTimer->enabled(), timer);
    QVERIFY(timerOffWhilePrompting);
    QCOMPARE(endedSpy.count(), ended ? 1 : 0);
    // Start-up saves nothing; after the end of the program nothing can.
    QCOMPARE(m_profile->stored(), storedBefore);
    if (ended) {
        QSignalSpy unloaded(&viewer, &frmLumra::unloaded);
        viewer.close();
        viewer.mnuExit_Click();
        QCOMPARE(unloaded.count(), 0);
        QCOMPARE(m_profile->stored(), storedBefore);
    }
}

void StartupTest::closeSavesOnceByEveryRoute_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<int>("signal"); // the system's request to end, for the route "signal"
    QTest::newRow("exit command") << "exit" << 0;
    QTest::newRow("close button") << "close" << 0;
    QTest::newRow("cancel in the error report") << "report" << 0;
    QTest::newRow("SIGTERM") << "signal" << SIGTERM;
    QTest::newRow("SIGHUP") << "signal" << SIGHUP;
    QTest::newRow("SIGINT") << "signal" << SIGINT;
}

void StartupTest::closeSavesOnceByEveryRoute()
{
    QFETCH(QString, route);
    QFETCH(int, signal);
    TestFolder dir;
    picture(dir, "a.png");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path() });
    QSignalSpy unloaded(&viewer, &frmLumra::unloaded);
    viewer.Form_Load();
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));

    // One changed option: the close writes it and nothing else.
    viewer.mnuOptionsSorted->trigger();
    QVERIFY(!QFileInfo::exists(m_profile->lumraConf()));

    bool resumed = false;
    if (route == QLatin1String("exit")) {
        viewer.mnuExit_Click();
    } else if (route == QLatin1String("close")) {
        viewer.close();
    } else if (signal) {
        viewer.endWithSession();
        ::raise(signal);
        QTRY_COMPARE(unloaded.count(), 1);
    } else {
        dialogs.answerMessage(MsgAnswer::Cancel);
        auto onError
            = zbasErrorTrap::Handler::trap(QStringLiteral("Lumra"), QStringLiteral("KeyDown"));
        onError([] { zbasErrorTrap::Raise(5, QStringLiteral("Invalid procedure call")); });
        // The failing routine goes on after the report, with the window unloaded.
        onError([&] {
            viewer.MovePic(1);
            resumed = true;
        });
        QVERIFY(resumed);
    }
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(viewer.isUnloaded());
    QVERIFY(!viewer.isVisible());
    QCOMPARE(m_profile->stored(), (QMap<QString, QString> { { "Sorted", "False" } }));

    // Whatever comes after does not save again.
    QVERIFY(QFile::remove(m_profile->lumraConf()));
    viewer.mnuExit_Click();
    viewer.close();
    if (signal) {
        ::raise(signal);
        QTest::qWait(50);
    }
    QCOMPARE(unloaded.count(), 1);
    QVERIFY(!QFileInfo::exists(m_profile->lumraConf()));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
