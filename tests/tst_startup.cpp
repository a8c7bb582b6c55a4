// Start-up and close of the viewer window: the first list and picture from the command line,
// the saved folder or the prompt, the place and caption, and the options saved once at close;
// and below it the picture list of a folder, the sort and the command line.

#include "Support.h"
#include "viewer/CommandLine.h"
#include "viewer/Usage.h"
#include "viewer/basFindFile.h"

#include <QScreen>
#include <csignal>
#include <unistd.h>

using namespace basGeneral;

// Lists are separated by spaces, paths relative to a test folder, the current directory,
// that "@" stands for. files: pictures, whatever their names; "locked/" cannot be listed.
// list: the picture list, the one shown marked "*" at its end. close: how the window is then
// closed. messages, prompts: how many were shown.
// folder: the saved folder, "-" an empty one. answers: to the folder prompts, "-" cancels;
// one left over goes to Select Folder after start-up.
struct Scenario {
    QString files, arguments, list;
    void (*close)(frmLumra&);
    int messages = 0, prompts = 0;
    QString folder = {}, answers = {};
};
Q_DECLARE_METATYPE(Scenario)
static void row(const char* name, const Scenario& scenario) { QTest::newRow(name) << scenario; }

// The ways to close the window; nullptr when the program ended at start-up.
static void escape(frmLumra& viewer) { QTest::keyClick(&viewer, Qt::Key_Escape); }
static void menuExit(frmLumra& viewer) { viewer.mnuExit_Click(); }
static void closeBox(frmLumra& viewer) { viewer.close(); }
static void sigterm(frmLumra&) { ::raise(SIGTERM); }
static void sessionEnd(frmLumra&)
{
    int none = 0; // no test can make a session manager, and the close never looks at it
    emit qGuiApp->commitDataRequest(reinterpret_cast<QSessionManager&>(none));
}

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    // As under nohup: a signal ignored from the start must stay ignored.
    void initTestCase() { std::signal(SIGHUP, SIG_IGN); }
    void init() { PicturePaths.clear(); }
    void scenarios_data();
    void scenarios();
    void lists_data();
    void lists();
};

void StartupTest::scenarios_data()
{
    QTest::addColumn<Scenario>("s");
    row("folders and pictures given: one list by full path, no folder in it",
        { "b/a.png b/x.png/y A/m.png l.png", "b A l.png", "A/m.png* b/a.png l.png", escape });
    row("a lone picture: its folder, on it, its name the caption as it is",
        { "a.png z<i>[*].png", "z<i>[*].png", "a.png z<i>[*].png*", menuExit });
    row("a lone picture in a folder that cannot be listed",
        { "locked/p.png locked/q.png", "locked/p.png", "locked/p.png*", sessionEnd });
    row("the saved folder, sorted by bytes",
        { "p/b.png p/B.png p/a.bmp", "", "p/B.png* p/a.bmp p/b.png", sigterm, 0, 0, "@/p" });
    row("a missing folder given: reported, then the current directory",
        { "y.png x.png", "gone", "x.png* y.png", closeBox, 1 });
    row("saved folder missing, prompt cancelled: goes on; Select Folder unsorted",
        { "n/z.png n/y.bmp", "", "n/y.bmp* n/z.png", closeBox, 1, 2, "@/gone", "- @/n" });
    row("first run: the chosen folder sorted",
        { "c/b.png c/a.png", "", "c/a.png* c/b.png", closeBox, 0, 1, "-", "@/c" });
    row("first run cancelled: the program ends", { "", "", "", nullptr, 0, 1, "-", "-" });
}

void StartupTest::scenarios()
{
    QFETCH(Scenario, s);
    UserProfile profile;
    TestFolder world;
    const QString w = QString::fromStdString(world.path());
    const auto items = [&w](QString x) { return x.replace('@', w).split(' ', Qt::SkipEmptyParts); };
    for (const QString& file : items(s.files))
        QVERIFY(QDir(w).mkpath(QFileInfo(file).path())
            && writeFile(w + '/' + file, pictureBytes({ 40, 30 })));
    if (!s.folder.isEmpty())
        profile.store({ { "Folder", s.folder == "-" ? QString() : items(s.folder).front() } });
    QDir::setCurrent(w);
    ScriptedDialogs shown;
    for (const QString& answer : items(s.answers))
        shown.answerFolder(answer == "-" ? QString() : answer);
    std::vector<std::string> commandLine;
    for (const QString& argument : items(s.arguments))
        commandLine.push_back(world.path(argument.toStdString()));
    frmLumra viewer(commandLine);
    QSignalSpy unloaded(&viewer, &frmLumra::unloaded);
    // Root reads any folder, so the locked one is read as another user.
    const bool locked = isThere(world.path("locked"))
        && ::chmod(world.path("locked").c_str(), 0311) == 0
        && ::chmod(world.path().c_str(), 0711) == 0 && ::geteuid() == 0 && ::seteuid(65534) == 0;
    viewer.Form_Load();
    QVERIFY(!locked || ::seteuid(0) == 0);
    if (shown.count(ScriptedDialogs::Kind::Folder) < items(s.answers).size())
        viewer.mnuOptionsSelectFolder_Click();

    QCOMPARE(shown.count(ScriptedDialogs::Kind::Message), s.messages);
    QCOMPARE(shown.count(ScriptedDialogs::Kind::Folder), s.prompts);
    QStringList listed;
    for (std::int32_t i = 1; i <= PictureCount(); ++i)
        listed << QString::fromStdString(PicturePaths.at(i)).remove(0, w.size() + 1)
                + (i == viewer.CurrentIndex() ? "*" : "");
    QCOMPARE(listed, items(s.list));
    const QRect screen = viewer.screen()->geometry(), frame = viewer.frameGeometry();
    QVERIFY(frame.right() == screen.right() && frame.top() > screen.center().y());
    viewer.winId(); // the native window, which carries the title
    const QString picture = listed.filter("*").value(0, "Lumra - WWW.MORVANELL.EXAMPLE*");
    QCOMPARE(viewer.windowHandle()->title(), QFileInfo(picture).fileName().chopped(1));
    QCOMPARE(viewer.hasEnded(), !s.close);

    // The close saves the options, here one changed, once whichever way it comes; after the
    // end of the program no close runs.
    viewer.endWithSession();
    QVERIFY(std::signal(SIGHUP, SIG_IGN) == SIG_IGN);
    viewer.mnuOptionsSorted_Click();
    (s.close ? s.close : closeBox)(viewer);
    const int closes = viewer.hasEnded() ? 0 : 1;
    QTRY_COMPARE(unloaded.count(), closes);
    QCOMPARE(profile.stored().value("Sorted"), QString(closes ? "False" : ""));
    viewer.close();
    QCOMPARE(unloaded.count(), closes);
}

// Each row: what is done with the input, and what that gives, names joined by spaces.
// "folder": the input names the files of a folder; the pictures listed.
// "sort", with bounds or not: the input sorted by bytes.
// "args": arguments separated by "^", "@" a folder holding A, B and "My Pictures/1.jpg";
// the first word of a usage reply, or the invalid items after "?", then the names taken.
void StartupTest::lists_data()
{
    QTest::addColumn<QByteArrayList>("row");
    const QByteArray table = //
        "five patterns: folder | e.PNG d.jpeg c.Jpg b.gif a.bmp | a.bmp b.gif c.Jpg d.jpeg e.PNG\n"
        "others left out: folder | notes.txt a.jpgx jpg b.jpe .png c.png.txt | .png\n"
        "ASCII, upper case then bytes: folder | b.jpg C.jpg a.JPG B.JPG | a.JPG B.JPG b.jpg C.jpg\n"
        "beyond ASCII, Qt's upper-case: folder | \xc3\xa9.jpg B.jpg a.jpg \xc3\x89.jpg caf\xe9.jpg "
        "| a.jpg B.jpg caf\xe9.jpg \xc3\x89.jpg \xc3\xa9.jpg\n"
        "by bytes, shorter first: sort | b B ab a \xc3\xa9 A b | A B a ab b b \xc3\xa9\n"
        "reversed: sort | /p/e /p/d /p/c /p/b /p/a | /p/a /p/b /p/c /p/d /p/e\n"
        "between bounds: sort 2 3 | d c b a | d b c a\n"
        "bounds the wrong way round: sort 4 1 | d c b a | d c b a\n"
        "help: args | --help | Usage:\n"
        "version: args | -V | Lumra\n"
        "a quoted name with spaces, then another: args | @/My Pictures^@/B | @/My Pictures @/B\n"
        "unquoted, the whole line names a file: args | @/My^Pictures/1.jpg | @/My Pictures/1.jpg\n"
        "separators, an empty argument: args | @/A,@/B;@/A^@/B\t^^@/A | @/A @/B @/A @/B @/A\n"
        "typed quotes, an unclosed one last: args | \"@/A\"^@/B^\"@/A | @/A @/B @/A\n"
        "each invalid item reported, the others kept: args | /no/1^@/A^/no/2 | ?/no/1 ?/no/2 @/A";
    for (const QByteArray& line : table.split('\n'))
        QTest::newRow(line.left(line.indexOf(':')).constData())
            << line.mid(line.indexOf(':') + 1).split('|');
}

void StartupTest::lists()
{
    QFETCH(QByteArrayList, row);
    const QByteArray how = row[0].trimmed(), output = row[2].trimmed();
    QByteArray input = row[1].trimmed();
    TestFolder dir;
    const QByteArray w = QByteArray::fromStdString(dir.path());
    QByteArrayList found;
    if (how == "args") {
        for (const char* name : { "A", "B", "My Pictures" })
            dir.folder(name);
        dir.file("My Pictures/1.jpg");
        std::vector<std::string> arguments;
        for (const QByteArray& argument : input.replace('@', w).split('^'))
            arguments.push_back(argument.toStdString());
        if (const auto reply = usageReply(arguments))
            found << QByteArray::fromStdString(*reply).split(' ').front();
        else
            for (const std::string& name : CommandLine::arguments(
                     CommandLine::text(arguments), [&found](const std::string& item) {
                         found << "?" + QByteArray::fromStdString(item);
                     }))
                found << QByteArray::fromStdString(name);
    } else {
        for (const QByteArray& name : input.split(' '))
            how == "folder" ? (void)dir.file(name.toStdString()) : AddFile(name.toStdString());
        if (how == "folder")
            basFindFile::FindPictureFiles(dir.path());
        else // a missing upper bound sorts the whole list
            SortStrings(PicturePaths, true, how.split(' ').value(1).toInt(),
                how.count(' ') > 1 ? std::optional(how.split(' ')[2].toInt()) : std::nullopt);
        for (std::int32_t i = 1; i <= PictureCount(); ++i)
            found << QByteArray::fromStdString(PicturePaths.at(i)).replace(w + '/', "");
        // A name that is no UTF-8 outlives Qt's clean-up.
        ::remove((w + "/caf\xe9.jpg").constData());
    }
    QCOMPARE(found.join(' ').replace(w, "@"), output);
    // Reading past the end of the list fails with "Subscript out of range".
    QVERIFY(!zbasErrorTrap::Handler::silent()([] { (void)PicturePaths.at(PictureCount() + 1); })
        && zbasErrorTrap::Err().Number == 9);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
