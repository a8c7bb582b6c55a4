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
    const std::string path = dir.path(name);
    const bool saved = image.save(QString::fromLocal8Bit(path), "PNG");
    Q_ASSERT(saved);
    return path;
}

QString qs(const std::string& bytes) { return QString::fromLocal8Bit(bytes); }
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
    void argumentsGiveOneSortedList();
    void singlePictureFileStartsOnIt();
    void pictureFilesAmongArguments();
    void noPicturesPromptsAndShowsFirst();
    void firstRunPromptStartsOnSortedFirst();
    void cancelWithNoFolderEndsWithoutSaving();
    void cancelWithKnownFolderKeepsList();
    void timerFollowsAutoAdvance();
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

void StartupTest::argumentsGiveOneSortedList()
{
    TestFolder dir;
    dir.folder("b");
    dir.folder("A");
    picture(dir, "b/z.png");
    picture(dir, "b/a.png");
    picture(dir, "A/m.png");
    dir.file("b/notes.txt");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path("b"), dir.path("A") });
    viewer.Form_Load();
    QCOMPARE(PictureCount(), 3);
    // One sequence by full path, upper case before lower case.
    QCOMPARE(PicturePaths.at(1), dir.path("A/m.png"));
    QCOMPARE(PicturePaths.at(2), dir.path("b/a.png"));
    QCOMPARE(PicturePaths.at(3), dir.path("b/z.png"));
    QCOMPARE(viewer.CurrentIndex(), 1);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("m.png"));
    QVERIFY(dialogs.shown().empty());
}

void StartupTest::singlePictureFileStartsOnIt()
{
    TestFolder dir;
    picture(dir, "a.png");
    picture(dir, "b.png");
    picture(dir, "c.png");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path("b.png") });
    viewer.Form_Load();
    QCOMPARE(PictureCount(), 3);
    QCOMPARE(viewer.CurrentIndex(), 2);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("b.png"));
    viewer.MovePic(1);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("c.png"));
}

void StartupTest::pictureFilesAmongArguments()
{
    TestFolder dir;
    dir.folder("f");
    picture(dir, "f/in.png");
    picture(dir, "loose.png");
    dir.file("readme.txt");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path("readme.txt"), dir.path("loose.png"), dir.path("f") });
    viewer.Form_Load();
    QCOMPARE(PictureCount(), 2);
    QCOMPARE(PicturePaths.at(1), dir.path("f/in.png"));
    QCOMPARE(PicturePaths.at(2), dir.path("loose.png"));

    // A text file alone adds nothing: the list stays empty and the user is asked.
    PicturePaths.clear();
    dialogs.answerFolder(QString());
    frmLumra second({ dir.path("readme.txt") });
    second.Form_Load();
    QCOMPARE(dialogs.messages().last(), NoPictures);
}

void StartupTest::noPicturesPromptsAndShowsFirst()
{
    TestFolder empty;
    TestFolder chosen;
    picture(chosen, "c.png");
    picture(chosen, "b.bmp");
    picture(chosen, "a.png");
    ScriptedDialogs dialogs;
    dialogs.answerFolder(qs(chosen.path()));
    frmLumra viewer({ empty.path() });
    QSignalSpy ended(&viewer, &frmLumra::ended);
    viewer.Form_Load();

    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 1);
    const auto& message = dialogs.shown().front();
    QCOMPARE(message.text, NoPictures);
    QCOMPARE(message.buttons, MsgButtons::OK);
    QCOMPARE(message.icon, MsgIcon::Exclamation);
    const auto& prompt = dialogs.shown().back();
    QCOMPARE(prompt.kind, ScriptedDialogs::Kind::Folder);
    QCOMPARE(prompt.text, FolderPrompt);

    // The chosen folder's list in search order, starting on its first picture.
    QCOMPARE(PictureCount(), 3);
    QCOMPARE(PicturePaths.at(1), chosen.path("b.bmp"));
    QCOMPARE(PicturePaths.at(2), chosen.path("a.png"));
    QCOMPARE(viewer.CurrentIndex(), 1);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("b.bmp"));
    QCOMPARE(basOptions::CurrentOptions.Folder, qs(chosen.path()) + QLatin1Char('/'));
    QVERIFY(viewer.FolderArgs().empty());
    QCOMPARE(ended.count(), 0);
}

void StartupTest::firstRunPromptStartsOnSortedFirst()
{
    // No folder known: the user's picture folder is recorded as empty.
    m_profile->store({ { QStringLiteral("Folder"), QString() } });
    TestFolder chosen;
    picture(chosen, "b.png");
    picture(chosen, "a.png");
    picture(chosen, "c.bmp");
    ScriptedDialogs dialogs;
    dialogs.answerFolder(qs(chosen.path()));
    frmLumra viewer({});
    viewer.Form_Load();
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Folder), 1);
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 0);
    QCOMPARE(PicturePaths.at(1), chosen.path("a.png"));
    QCOMPARE(viewer.CurrentIndex(), 1);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("a.png"));
}

void StartupTest::cancelWithNoFolderEndsWithoutSaving()
{
    m_profile->store({ { QStringLiteral("Folder"), QString() } });
    const auto storedBefore = m_profile->stored();
    const QDateTime writtenBefore = QFileInfo(m_profile->lumraConf()).lastModified();
    ScriptedDialogs dialogs;
    frmLumra viewer({});
    QSignalSpy ended(&viewer, &frmLumra::ended);
    QSignalSpy unloaded(&viewer, &frmLumra::unloaded);
    viewer.Form_Load();
    QCOMPARE(ended.count(), 1);
    QVERIFY(viewer.hasEnded());
    QVERIFY(!viewer.tmrTimer->enabled());
    // Nothing that follows can take the close path any more.
    viewer.close();
    viewer.mnuExit_Click();
    QCOMPARE(unloaded.count(), 0);
    QCOMPARE(m_profile->stored(), storedBefore);
    QCOMPARE(QFileInfo(m_profile->lumraConf()).lastModified(), writtenBefore);
}

void StartupTest::cancelWithKnownFolderKeepsList()
{
    TestFolder dir;
    picture(dir, "a.png");
    picture(dir, "b.png");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path() });
    QSignalSpy ended(&viewer, &frmLumra::ended);
    viewer.Form_Load();
    basOptions::CurrentOptions.Folder = qs(dir.path());
    viewer.MovePic(1);
    viewer.AskForFolder();
    QCOMPARE(dialogs.shown().back().title, qs(dir.path()));
    QCOMPARE(ended.count(), 0);
    QCOMPARE(PictureCount(), 2);
    QCOMPARE(viewer.CurrentIndex(), 2);
    QCOMPARE(viewer.tmrTimer->enabled(), basOptions::CurrentOptions.AutoAdvance);
}

void StartupTest::timerFollowsAutoAdvance()
{
    TestFolder dir;
    picture(dir, "a.png");
    ScriptedDialogs dialogs;
    frmLumra viewer({ dir.path() });
    viewer.Form_Load();
    QVERIFY(basOptions::CurrentOptions.AutoAdvance);
    QVERIFY(viewer.tmrTimer->enabled());
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
