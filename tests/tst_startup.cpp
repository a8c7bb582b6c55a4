// Start-up and close of the viewer window: the first list and picture from the command line,
// the saved folder or the prompt, the caption, and the options saved once at close;
// and below it the picture list of a folder, the sort and the command line.

#include "Support.h"
#include "viewer/CommandLine.h"
#include "viewer/Usage.h"
#include "viewer/basFindFile.h"

using namespace basGeneral;

// Lists are separated by spaces, paths relative to a test folder, the current directory,
// that "@" stands for. files: pictures, whatever their names; "locked/" cannot be listed.
// list: the picture list, the one shown marked "*" at its end. close: how the window is then
// closed. messages, prompts: how many were shown.
// folder: the saved folder, "-" an empty one. answers: to the folder prompts, "-" cancels;
// one left over goes to Select Folder after start-up. endIn: the close comes while that
// dialog of start-up (the first is 1) is open, not after start-up.
struct Scenario {
    QString files, arguments, list;
    void (*close)(frmLumra&);
    int messages = 0, prompts = 0;
    QString folder = {}, answers = {};
    int endIn = 0;
};
Q_DECLARE_METATYPE(Scenario)
static void row(const char* name, const Scenario& scenario) { QTest::newRow(name) << scenario; }

// The ways to close the window, with the system's in Support.h; nullptr when the program
// ended at start-up.
static void escape(frmLumra& viewer) { QTest::keyClick(&viewer, Qt::Key_Escape); }
static void menuExit(frmLumra& viewer) { viewer.mnuExit_Click(); }
static void closeBox(frmLumra& viewer) { viewer.close(); }

// The tables below: one row a line, "name: input | output", or "name: bounds | input |
// output" for the sort; names are joined by spaces.
static void table(const QByteArray& lines)
{
    QTest::addColumn<QByteArrayList>("row");
    for (const QByteArray& line : lines.split('\n'))
        QTest::newRow(line.left(line.indexOf(':')).constData())
            << line.mid(line.indexOf(':') + 1).trimmed().split('|');
}
// The picture list below folder, the entry current marked "*", its separators "/".
static QByteArray listing(const std::string& folder, std::int32_t current = 0)
{
    QByteArrayList found;
    for (std::int32_t i = 1; i <= PictureCount(); ++i)
        found << QByteArray::fromStdString(PicturePaths.at(i).substr(folder.size()))
                + (i == current ? "*" : "");
    return found.join(' ').replace(QDir::separator().toLatin1(), '/');
}

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void init() { PicturePaths.clear(); }
    void scenarios_data();
    void scenarios();
    // The files of a folder; the pictures listed.
    void folder_data()
    {
        table("five patterns: e.PNG d.jpeg c.Jpg b.gif a.bmp | a.bmp b.gif c.Jpg d.jpeg e.PNG\n"
              "others left out: notes.txt a.jpgx jpg b.jpe .png c.png.txt | .png\n"
              "ASCII, upper case then bytes: b.jpg C.jpg a.JPG B.JPG | a.JPG B.JPG b.jpg C.jpg\n"
              "beyond ASCII, Qt's upper-case: \xc3\xa9.jpg B.jpg a.jpg \xc3\x89.jpg caf\xe9.jpg "
              "| a.jpg B.jpg caf\xe9.jpg \xc3\x89.jpg \xc3\xa9.jpg");
    }
    void folder()
    {
        QFETCH(QByteArrayList, row);
        TestFolder dir;
        for (const QByteArray& name : row[0].trimmed().split(' '))
            dir.file(name.toStdString());
        basFindFile::FindPictureFiles(dir.path());
        QCOMPARE(listing(dir.path("")), row[1].trimmed());
        // A name that is no UTF-8 outlives Qt's clean-up.
        ::remove(dir.path("caf\xe9.jpg").c_str());
    }

    // Bounds: the entries sorted, all when none is given; "any case": by upper-case forms,
    // else by bytes.
    void sort_data()
    {
        table("by bytes, shorter first: | b B ab a \xc3\xa9 A b | A B a ab b b \xc3\xa9\n"
              "reversed: | /p/e /p/d /p/c /p/b /p/a | /p/a /p/b /p/c /p/d /p/e\n"
              "between bounds: 2 3 | d c b a | d b c a\n"
              "bounds the wrong way round: 4 1 | d c b a | d c b a\n"
              "any case, between bounds: 2 4 any case | d C b A e | d A b C e");
    }
    void sort()
    {
        QFETCH(QByteArrayList, row);
        for (const QByteArray& name : row[1].trimmed().split(' '))
            AddFile(name.toStdString());
        const QByteArrayList bounds = row[0].simplified().split(' ');
        // A missing upper bound sorts the whole list.
        SortStrings(PicturePaths, !row[0].contains("any case"), bounds[0].toInt(),
            bounds.size() > 1 ? std::optional(bounds[1].toInt()) : std::nullopt);
        QCOMPARE(listing(""), row[2].trimmed());
        // Reading past the end of the list fails with "Subscript out of range".
        QVERIFY(!zbasErrorTrap::Handler::silent()([] { (void)PicturePaths.at(PictureCount() + 1); })
            && zbasErrorTrap::Err().Number == 9);
    }

    // Arguments separated by "^", "@" a folder holding A, B and "My Pictures/1.jpg": the first
    // word of a usage reply, or the invalid items after "?", then the names taken.
    void arguments_data()
    {
        table("help, short: -h | Usage:\n"
              "version: -V | Lumra\n"
              "a quoted name with spaces, then another: @/My Pictures^@/B | @/My Pictures @/B\n"
              "unquoted, the whole line names a file: @/My^Pictures/1.jpg | @/My Pictures/1.jpg\n"
              "separators, an empty argument: @/A,@/B;@/A^@/B\t^^@/A | @/A @/B @/A @/B @/A\n"
              "typed quotes, an unclosed one last: \"@/A\"^@/B^\"@/A | @/A @/B @/A\n"
              "each invalid item reported, the others kept: /no/1^@/A^/no/2 | ?/no/1 ?/no/2 @/A");
    }
    void arguments()
    {
        QFETCH(QByteArrayList, row);
        TestFolder dir;
        const QByteArray w = QByteArray::fromStdString(dir.path());
        for (const char* name : { "A", "B", "My Pictures" })
            dir.folder(name);
        dir.file("My Pictures/1.jpg");
        std::vector<std::string> arguments;
        for (const QByteArray& argument : row[0].trimmed().replace('@', w).split('^'))
            arguments.push_back(argument.toStdString());
        QByteArrayList found;
        if (const auto reply = usageReply(arguments))
            found << QByteArray::fromStdString(*reply).split(' ').front();
        else
            for (const std::string& name : CommandLine::arguments(
                     CommandLine::text(arguments), [&found](const std::string& item) {
                         found << "?" + QByteArray::fromStdString(item);
                     }))
                found << QByteArray::fromStdString(name);
        QCOMPARE(found.join(' ').replace(w, "@"), row[1].trimmed());
    }
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
        { "p/b.png p/C.png p/a.bmp", "", "p/C.png* p/a.bmp p/b.png", endRequest, 0, 0, "@/p" });
    row("a missing folder given: reported, then the current directory",
        { "y.png x.png", "gone", "x.png* y.png", closeBox, 1 });
    row("saved folder missing, prompt cancelled: goes on; Select Folder unsorted",
        { "n/z.png n/y.bmp", "", "n/y.bmp* n/z.png", closeBox, 1, 2, "@/gone", "- @/n" });
    row("first run: the chosen folder sorted",
        { "c/b.png c/a.png", "", "c/a.png* c/b.png", closeBox, 0, 1, "-", "@/c" });
    row("first run cancelled: the program ends", { "", "", "", nullptr, 0, 1, "-", "-" });
    row("an end request in the invalid-name message: no more dialogs",
        { "", "x y", "", endRequest, 1, 0, "-", "@/c", 1 });
    row("the session's end in the no-pictures message: no folder prompt",
        { "", "", "", sessionEnd, 1, 0, "@/gone", "", 1 });
    row("an end request in the first-run prompt: the answer not taken",
        { "c/a.png", "", "", endRequest, 0, 1, "-", "@/c", 1 });
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
        commandLine.push_back(world.path(QDir::toNativeSeparators(argument).toStdString()));
    frmLumra viewer(commandLine);
    QSignalSpy unloaded(&viewer, &frmLumra::unloaded);
    shown.whileOpen([&, open = 0](const QString&) mutable {
        if (++open == s.endIn)
            s.close(viewer), (void)QTest::qWaitFor([&] { return viewer.isUnloaded(); });
    });
    startUp(viewer, world.path("locked"));
    if (shown.count(ScriptedDialogs::Kind::Folder) < items(s.answers).size())
        viewer.mnuOptionsSelectFolder_Click();

    QCOMPARE(shown.count(ScriptedDialogs::Kind::Message), s.messages);
    QCOMPARE(shown.count(ScriptedDialogs::Kind::Folder), s.prompts);
    const QString listed = listing(world.path(""), viewer.CurrentIndex());
    QCOMPARE(listed, s.list);
    viewer.winId(); // the native window, which carries the title
    const QString picture
        = listed.split(' ').filter("*").value(0, "Lumra - WWW.MORVANELL.EXAMPLE*");
    QCOMPARE(viewer.windowHandle()->title(), QFileInfo(picture).fileName().chopped(1));
    QCOMPARE(viewer.hasEnded(), !s.close);

    // The close saves the options, here one changed, once whichever way it comes; after the
    // end of the program no close runs.
    viewer.mnuOptionsSorted_Click();
    (s.close && !s.endIn ? s.close : closeBox)(viewer);
    const int closes = viewer.hasEnded() ? 0 : 1;
    QTRY_COMPARE(unloaded.count(), closes);
    QCOMPARE(profile.stored().value("Sorted"), QString(closes && !s.endIn ? "False" : ""));
    QVERIFY(!s.endIn || profile.stored().keys() == QStringList("Folder")); // nothing else
    viewer.close();
    QCOMPARE(unloaded.count(), closes);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
