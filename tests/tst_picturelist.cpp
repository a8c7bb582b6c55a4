// The picture list: which files a folder contributes, in which order, and the sort.

#include "TestFolders.h"
#include "platform/zbasErrorTrap.h"
#include "viewer/basFindFile.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QtTest>
#include <algorithm>
#include <random>
#include <unistd.h>

using namespace basGeneral;
using Names = std::vector<std::string>;
Q_DECLARE_METATYPE(Names)

namespace {

Names listNames(const std::string& folder)
{
    Names names;
    for (std::int32_t i = 1; i <= PictureCount(); ++i) {
        const std::string& entry = PicturePaths.at(i);
        names.push_back(entry.rfind(folder, 0) == 0 ? entry.substr(folder.size()) : "?" + entry);
    }
    return names;
}

TextArray arrayOf(const Names& items)
{
    TextArray array;
    for (const std::string& item : items)
        array.append(item);
    return array;
}

Names contents(const TextArray& array)
{
    Names items;
    for (std::int32_t i = array.lowerBound(); i <= array.upperBound(); ++i)
        items.push_back(array.at(i));
    return items;
}

} // namespace

class PictureListTest : public QObject {
    Q_OBJECT
private slots:
    void init() { PicturePaths.clear(); }

    void folderOrder_data();
    void folderOrder();
    void groupsOfManyNames_data();
    void groupsOfManyNames();
    void listingKeepsOnlyWhatIsAsked();
    void trailingSeparatorAndMissingFolder();
    void findPictureFiles();
    void nonUtf8NameIsListedAsItsBytes();
    void sortStrings_data();
    void sortStrings();
    void sortStringsBounds();
    void sortLargeSortedAndReversedInput();
    void sortManyPathsAlike();
    void outsideTheListFailsWithNine();
    void stripEnds_data();
    void stripEnds();
    void getFileName_data();
    void getFileName();
    void appFolderEndsWithSeparator();
    void randomBetweenStaysInRange();
};

void PictureListTest::folderOrder_data()
{
    QTest::addColumn<Names>("files");
    QTest::addColumn<Names>("folders");
    QTest::addColumn<Names>("expected");

    QTest::newRow("patterns in table order, case ignored")
        << Names { "b.png", "a.JPG", "c.bmp" } << Names {} << Names { "c.bmp", "a.JPG", "b.png" };
    QTest::newRow("all five groups") << Names { "e.png", "d.jpeg", "c.jpg", "b.gif",
        "a.bmp" } << Names {} << Names { "a.bmp", "b.gif", "c.jpg", "d.jpeg", "e.png" };
    QTest::newRow("name order within a group ignores case") << Names { "b.jpg", "C.jpg", "a.JPG",
        "B.JPG" } << Names {} << Names { "a.JPG", "B.JPG", "b.jpg", "C.jpg" };
    QTest::newRow("other files and near misses are left out")
        << Names { "notes.txt", "a.jpgx", "jpg", "b.jpe", "c.png.txt", ".png", "d.PnG" } << Names {}
        << Names { ".png", "d.PnG" };
    QTest::newRow("a folder named like a picture is not an entry")
        << Names { "a.jpg" } << Names { "x.jpg", "sub" } << Names { "a.jpg" };
    QTest::newRow("signs between the letters order by the upper-case forms")
        << Names { "_a.png", "B.png", "a.png", "[x].png", "`q.png" } << Names {}
        << Names { "a.png", "B.png", "[x].png", "_a.png", "`q.png" };
    QTest::newRow("names alike in their first eight characters")
        << Names { "picture-0002.png", "picture-00010.PNG", "PICTURE-0001.png", "picture-0001.png",
               "pic.png" }
        << Names {}
        << Names { "pic.png", "PICTURE-0001.png", "picture-0001.png", "picture-00010.PNG",
               "picture-0002.png" };
    // É and é share the upper-case form É (U+00C9), after every ASCII letter; between the two
    // the bytes decide.
    QTest::newRow("letters beyond ASCII by their upper-case forms")
        << Names { "\xc3\xa9.jpg", "z.jpg", "\xc3\x89.jpg", "E.jpg" } << Names {}
        << Names { "E.jpg", "z.jpg", "\xc3\x89.jpg", "\xc3\xa9.jpg" };
}

void PictureListTest::folderOrder()
{
    QFETCH(Names, files);
    QFETCH(Names, folders);
    QFETCH(Names, expected);
    TestFolder dir;
    for (const std::string& name : files)
        dir.file(name);
    for (const std::string& name : folders) {
        dir.folder(name);
        dir.file(name + "/inside.jpg");
    }
    frmLumra viewer({});
    viewer.AddFolderPictures(dir.path());
    QCOMPARE(listNames(dir.path() + "/"), expected);
}

namespace {

// The order of one group by its definition: the upper-case forms Qt gives, compared as
// UTF-16, then the bytes of the names.
Names referenceGroup(const std::vector<sys::FolderEntry>& entries, const std::string& pattern)
{
    Names names;
    for (const sys::FolderEntry& entry : entries)
        if (entry.regularFile && basFindFile::MatchesPattern(entry.name, pattern))
            names.push_back(entry.name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int order = QString::compare(
            QString::fromUtf8(a).toUpper(), QString::fromUtf8(b).toUpper(), Qt::CaseSensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

} // namespace

void PictureListTest::groupsOfManyNames_data()
{
    QTest::addColumn<QByteArray>("alphabet");
    QTest::newRow("ASCII letters, digits and signs") << QByteArray("aAbBzZ09_[`.- ");
    QTest::newRow("with letters beyond ASCII") << QByteArray("aAeE.\xc3\xa9\xc3\x89_");
}

// Many made-up names, many alike: the picture names are every group in pattern order, each
// holding what the definition says in the order it says.
void PictureListTest::groupsOfManyNames()
{
    QFETCH(QByteArray, alphabet);
    std::mt19937 random(7);
    const Names endings { ".jpg", ".JPG", ".Jpeg", ".png", ".PNG", ".bmp", ".gif", ".GIF", ".txt",
        ".jpgx", "" };
    std::vector<sys::FolderEntry> entries;
    for (int n = 0; n < 3000; ++n) {
        std::string name;
        const int length = static_cast<int>(random() % 12);
        for (int k = 0; k < length; ++k)
            name += alphabet[static_cast<int>(random() % static_cast<unsigned>(alphabet.size()))];
        name += endings[random() % endings.size()];
        entries.push_back({ name, random() % 20 != 0 });
    }
    Names expected;
    for (const std::string& pattern : basFindFile::PicturePatterns()) {
        const Names group = referenceGroup(entries, pattern);
        QVERIFY(group.size() > 100);
        expected.insert(expected.end(), group.begin(), group.end());
    }
    QCOMPARE(basFindFile::PictureNames(entries), expected);
}

void PictureListTest::listingKeepsOnlyWhatIsAsked()
{
    TestFolder dir;
    dir.file("a.jpg");
    dir.file("b.txt");
    dir.folder("c.jpg");
    dir.folder("e");
    QCOMPARE(::symlink(dir.path("e").c_str(), dir.path("d.jpg").c_str()), 0);
    QCOMPARE(::symlink(dir.path("a.jpg").c_str(), dir.path("f.jpg").c_str()), 0);
    std::vector<sys::FolderEntry> entries = sys::listFolder(dir.path(),
        [](std::string_view name) { return name.size() > 4 && name.substr(1) == ".jpg"; });
    std::sort(entries.begin(), entries.end(),
        [](const sys::FolderEntry& a, const sys::FolderEntry& b) { return a.name < b.name; });
    QCOMPARE(entries.size(), std::size_t(4));
    const std::vector<std::pair<std::string, bool>> expected { { "a.jpg", true },
        { "c.jpg", false }, { "d.jpg", false }, { "f.jpg", true } };
    for (std::size_t k = 0; k < expected.size(); ++k) {
        QCOMPARE(entries[k].name, expected[k].first);
        QCOMPARE(entries[k].regularFile, expected[k].second);
    }
    // Without a filter everything is listed.
    QCOMPARE(sys::listFolder(dir.path()).size(), std::size_t(6));
}

void PictureListTest::trailingSeparatorAndMissingFolder()
{
    TestFolder dir;
    dir.file("a.gif");
    frmLumra viewer({});
    viewer.AddFolderPictures(dir.path());
    viewer.AddFolderPictures(dir.path() + "/");
    viewer.AddFolderPictures(dir.path() + "/missing");
    QCOMPARE(PictureCount(), 2);
    QCOMPARE(PicturePaths.at(1), dir.path("a.gif"));
    QCOMPARE(PicturePaths.at(2), dir.path("a.gif"));
}

void PictureListTest::findPictureFiles()
{
    TestFolder dir;
    dir.file("one.jpeg");
    dir.file("two.JPEG");
    dir.file("three.jpg");
    dir.folder("four.jpeg");
    basFindFile::FindPictureFiles(dir.path());
    QCOMPARE(listNames(dir.path() + "/"), (Names { "three.jpg", "one.jpeg", "two.JPEG" }));
}

void PictureListTest::nonUtf8NameIsListedAsItsBytes()
{
    TestFolder dir;
    const std::string latin1Name = "caf\xe9.jpg";
    dir.file(latin1Name, "picture");
    frmLumra viewer({});
    viewer.AddFolderPictures(dir.path());
    QCOMPARE(PictureCount(), 1);
    QCOMPARE(PicturePaths.at(1), dir.path(latin1Name));
    QVERIFY(PathExists(PicturePaths.at(1)));
}

void PictureListTest::sortStrings_data()
{
    QTest::addColumn<Names>("input");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<Names>("expected");

    QTest::newRow("by character code: upper case first") << Names { "/P/b.jpg", "/P/B.jpg",
        "/P/a.jpg" } << true << Names { "/P/B.jpg", "/P/a.jpg", "/P/b.jpg" };
    QTest::newRow("upper-case forms, entries keep their case") << Names { "/P/B.jpg", "/P/c.jpg",
        "/P/a.jpg" } << false << Names { "/P/a.jpg", "/P/B.jpg", "/P/c.jpg" };
    QTest::newRow("shorter text first")
        << Names { "abc", "ab", "a" } << true << Names { "a", "ab", "abc" };
    QTest::newRow("duplicates stay together")
        << Names { "b", "a", "b", "a", "c", "a" } << true << Names { "a", "a", "a", "b", "b", "c" };
    QTest::newRow("bytes above 127 after ASCII")
        << Names { "\xc3\xa9", "z", "A" } << true << Names { "A", "z", "\xc3\xa9" };
    QTest::newRow("one entry") << Names { "x" } << true << Names { "x" };
}

void PictureListTest::sortStrings()
{
    QFETCH(Names, input);
    QFETCH(bool, caseSensitive);
    QFETCH(Names, expected);
    TextArray array = arrayOf(input);
    SortStrings(array, caseSensitive);
    QCOMPARE(contents(array), expected);
}

void PictureListTest::sortStringsBounds()
{
    TextArray array = arrayOf({ "d", "c", "b", "a" });
    SortStrings(array, true, 2, 3);
    QCOMPARE(contents(array), (Names { "d", "b", "c", "a" }));
    SortStrings(array, true, 3, 3);
    SortStrings(array, true, 4, 1);
    QCOMPARE(contents(array), (Names { "d", "b", "c", "a" }));
    // Either bound missing sorts the whole array.
    SortStrings(array, true, 2, std::nullopt);
    QCOMPARE(contents(array), (Names { "a", "b", "c", "d" }));

    TextArray empty;
    SortStrings(empty, true);
    QVERIFY(!empty.hasStorage());
}

void PictureListTest::sortLargeSortedAndReversedInput()
{
    for (bool reversed : { false, true }) {
        TextArray array;
        Names expected;
        for (int i = 0; i < 20000; ++i)
            expected.push_back(
                QStringLiteral("/pictures/%1.jpg").arg(i, 6, 10, QLatin1Char('0')).toStdString());
        Names input = expected;
        if (reversed)
            std::reverse(input.begin(), input.end());
        array = arrayOf(input);
        SortStrings(array, true);
        QCOMPARE(contents(array), expected);
    }
}

// Paths alike in long beginnings, of every length, with duplicates, cases and bytes above
// 127: the sort gives exactly the order of the bytes, inside the range it is given only.
void PictureListTest::sortManyPathsAlike()
{
    std::mt19937 random(11);
    const std::string alphabet = "aAbB0_.\xc3\xa9";
    Names input;
    for (int n = 0; n < 5000; ++n) {
        std::string path = n % 3 ? "/home/ann/Pictures/" : "/home/ann/Pictures/holiday/";
        const int length = static_cast<int>(random() % 14);
        for (int k = 0; k < length; ++k)
            path += alphabet[random() % alphabet.size()];
        input.push_back(path);
    }
    input.push_back("/home/ann/Pictures");
    input.push_back(input[17]);

    Names expected = input;
    std::sort(expected.begin(), expected.end());
    TextArray array = arrayOf(input);
    SortStrings(array, true);
    QCOMPARE(contents(array), expected);

    expected = input;
    std::sort(expected.begin() + 99, expected.begin() + 4000);
    array = arrayOf(input);
    SortStrings(array, true, 100, 4000);
    QCOMPARE(contents(array), expected);
}

void PictureListTest::outsideTheListFailsWithNine()
{
    AddFile("/a.jpg");
    for (std::int32_t index : { 0, 2, -1 }) {
        try {
            (void)PicturePaths.at(index);
            QFAIL("reading outside the list must fail");
        } catch (const zbasErrorTrap::RuntimeError& failure) {
            QCOMPARE(failure.number(), 9);
        }
    }
}

void PictureListTest::stripEnds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quotes both ends") << "\"\"a b\""
                                      << "\""
                                      << "a b";
    QTest::newRow("inner quotes stay") << "\"a\"b\""
                                       << "\""
                                       << "a\"b";
    QTest::newRow("only the part") << "\"\"\""
                                   << "\""
                                   << "";
    QTest::newRow("nothing to strip") << "abc"
                                      << " "
                                      << "abc";
    QTest::newRow("longer part") << "ababXab"
                                 << "ab"
                                 << "X";
    QTest::newRow("empty part") << "  x  "
                                << ""
                                << "  x  ";
}

void PictureListTest::stripEnds()
{
    QFETCH(QString, text);
    QFETCH(QString, part);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(StripEnds(text.toStdString(), part.toStdString())), expected);
}

void PictureListTest::getFileName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("full path") << "/home/ann/a.jpg"
                               << "a.jpg";
    QTest::newRow("no separator") << "a.jpg"
                                  << "a.jpg";
    QTest::newRow("ends in separator") << "/home/ann/"
                                       << "";
    QTest::newRow("empty") << ""
                           << "";
}

void PictureListTest::getFileName()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(GetFileName(path.toStdString())), expected);
}

void PictureListTest::appFolderEndsWithSeparator()
{
    const std::string folder = ProgramFolder();
    QVERIFY(!folder.empty());
    QCOMPARE(folder.back(), '/');
    QVERIFY(folder.size() == 1 || folder[folder.size() - 2] != '/');
    QVERIFY(FolderExists(folder));
    QCOMPARE(
        QString::fromStdString(folder), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

void PictureListTest::randomBetweenStaysInRange()
{
    std::vector<int> seen(6, 0);
    for (int i = 0; i < 600; ++i) {
        const std::int32_t pick = RandomBetween(1, 5);
        QVERIFY(pick >= 1 && pick <= 5);
        ++seen[static_cast<std::size_t>(pick)];
    }
    for (int value = 1; value <= 5; ++value)
        QVERIFY2(seen[static_cast<std::size_t>(value)] > 0, "every value is drawn");
    QCOMPARE(RandomBetween(7, 7), 7);
}

QTEST_MAIN(PictureListTest)
#include "tst_picturelist.moc"
