// Moving through the list, the slide-show timer and its commands.

#include "Pictures.h"
#include "ScriptedDialogs.h"
#include "viewer/IntervalTimer.h"
#include "viewer/Moves.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QtTest>
#include <unistd.h>

using namespace basGeneral;
using basOptions::CurrentOptions;

namespace {
const QString Untouched = QStringLiteral("untouched");

// A list of count pictures named 1.png, 2.png, ...
void fillList(const TestFolder& dir, int count)
{
    PicturePaths.clear();
    for (int i = 1; i <= count; ++i)
        AddFile(drawPicture(dir, std::to_string(i) + ".png", { 8, 8 }));
}

// Index of the picture control on screen, or -1 when none is.
int shownControl(const frmLumra& viewer)
{
    for (int i : { 0, 1 })
        if (!viewer.imgPic[static_cast<std::size_t>(i)]->isHidden())
            return i;
    return -1;
}
} // namespace

class NavigationTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void nextIndex_data();
    void nextIndex();
    void firstAndLastStayPut();
    void oneEntryShowsItAgain();
    void randomWithTwoEntries();
    void missingAndEmptiedEntriesStopOnce_data();
    void missingAndEmptiedEntriesStopOnce();
    void emptyList();
    void captionFollowsInterval_data();
    void captionFollowsInterval();
    void secondsDialog_data();
    void secondsDialog();
    void timerIntervalZeroNeverTicks();
    void newIntervalStartsNewCount();
    void timerTickMovesNext();
    void toggles();
};

void NavigationTest::init()
{
    CurrentOptions = {};
    CurrentOptions.Sorted = true;
    CurrentOptions.AutoAdvanceSeconds = 2;
}

void NavigationTest::nextIndex_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<int>("expected"); // a random draw answers 4
    using namespace Moves;
    QTest::newRow("next from none is the first") << int(Next) << 0 << 5 << true << false << 1;
    QTest::newRow("next") << int(Next) << 2 << 5 << true << false << 3;
    QTest::newRow("next wraps to the first") << int(Next) << 5 << 5 << true << false << 1;
    QTest::newRow("previous") << int(Previous) << 3 << 5 << true << false << 2;
    QTest::newRow("previous wraps to the last") << int(Previous) << 1 << 5 << true << false << 5;
    QTest::newRow("reverse: next from none is the last")
        << int(Next) << 0 << 5 << true << true << 5;
    QTest::newRow("reverse: next goes down") << int(Next) << 3 << 5 << true << true << 2;
    QTest::newRow("reverse: next from the first wraps") << int(Next) << 1 << 5 << true << true << 5;
    QTest::newRow("reverse: previous goes down too")
        << int(Previous) << 3 << 5 << true << true << 2;
    QTest::newRow("first") << int(First) << 3 << 5 << true << false << 1;
    QTest::newRow("last") << int(Last) << 3 << 5 << true << false << 5;
    QTest::newRow("random: next draws") << int(Next) << 1 << 5 << false << false << 4;
    QTest::newRow("random: previous draws") << int(Previous) << 1 << 5 << false << true << 4;
    QTest::newRow("random: first does not draw") << int(First) << 3 << 5 << false << false << 1;
    QTest::newRow("unknown direction stays") << 7 << 2 << 5 << true << false << 2;
    QTest::newRow("empty list: last") << int(Last) << 0 << 0 << true << false << 0;
}

void NavigationTest::nextIndex()
{
    QFETCH(int, direction);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(bool, sorted);
    QFETCH(bool, reverse);
    QFETCH(int, expected);
    QCOMPARE(
        Moves::nextIndex(direction, index, count, sorted, reverse, [] { return 4; }), expected);
}

void NavigationTest::firstAndLastStayPut()
{
    // First on the first picture and Last on the last show nothing again.
    TestFolder dir;
    fillList(dir, 5);
    frmLumra viewer({});
    viewer.MovePic(Moves::First);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("1.png"));
    viewer.setWindowTitle(Untouched);
    const int control = shownControl(viewer);
    viewer.MovePic(Moves::First);
    QCOMPARE(viewer.windowTitle(), Untouched);
    QCOMPARE(shownControl(viewer), control);
    viewer.MovePic(Moves::Last);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("5.png"));
    viewer.setWindowTitle(Untouched);
    viewer.MovePic(Moves::Last);
    QCOMPARE(viewer.CurrentIndex(), 5);
    QCOMPARE(viewer.windowTitle(), Untouched);
}

void NavigationTest::oneEntryShowsItAgain()
{
    TestFolder dir;
    fillList(dir, 1);
    frmLumra viewer({});
    int previousControl = -1;
    for (int direction : { 1, -1, 0, 2, 1 }) {
        viewer.setWindowTitle(Untouched);
        viewer.MovePic(direction);
        QCOMPARE(viewer.CurrentIndex(), 1);
        QCOMPARE(viewer.windowTitle(), QStringLiteral("1.png"));
        // Shown again: loaded into the other control each time.
        QVERIFY(shownControl(viewer) != previousControl);
        previousControl = shownControl(viewer);
    }
}

void NavigationTest::randomWithTwoEntries()
{
    TestFolder dir;
    fillList(dir, 2);
    CurrentOptions.Sorted = false;
    frmLumra viewer({});
    viewer.MovePic(0);
    int changes = 0;
    for (int i = 0; i < 60; ++i) {
        const int before = viewer.CurrentIndex();
        viewer.setWindowTitle(Untouched);
        viewer.MovePic(i % 2 ? 1 : -1);
        const int after = viewer.CurrentIndex();
        QVERIFY(after == 1 || after == 2);
        if (after != before) {
            ++changes;
            QCOMPARE(viewer.windowTitle(), QStringLiteral("%1.png").arg(after));
        } else {
            // Four draws all hit the picture on screen: nothing is shown.
            QCOMPARE(viewer.windowTitle(), Untouched);
        }
    }
    QVERIFY(changes > 40);
}

void NavigationTest::missingAndEmptiedEntriesStopOnce_data()
{
    QTest::addColumn<bool>("emptied");
    QTest::newRow("file deleted behind the viewer") << false;
    QTest::newRow("entry emptied by the delete command") << true;
}

void NavigationTest::missingAndEmptiedEntriesStopOnce()
{
    QFETCH(bool, emptied);
    TestFolder dir;
    fillList(dir, 4);
    if (emptied)
        PicturePaths.at(3).clear();
    else
        ::unlink(PicturePaths.at(3).c_str());
    frmLumra viewer({});
    viewer.MovePic(1);
    viewer.MovePic(1);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("2.png"));
    const int control = shownControl(viewer);
    viewer.MovePic(1);
    QCOMPARE(viewer.CurrentIndex(), 3);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("2.png"));
    QCOMPARE(shownControl(viewer), control);
    viewer.MovePic(1);
    QCOMPARE(viewer.CurrentIndex(), 4);
    QCOMPARE(viewer.windowTitle(), QStringLiteral("4.png"));
    QCOMPARE(PictureCount(), 4);
}

void NavigationTest::emptyList()
{
    PicturePaths.clear();
    ScriptedDialogs dialogs;
    frmLumra viewer({});
    viewer.setWindowTitle(Untouched);
    // Next and first stand on 1, previous and last wrap to the count, 0.
    for (const auto& [direction, index] : { std::pair { 1, 1 }, { -1, 0 }, { 0, 1 }, { 2, 0 } }) {
        viewer.MovePic(direction);
        QCOMPARE(viewer.CurrentIndex(), index);
        QCOMPARE(viewer.windowTitle(), Untouched);
    }
    CurrentOptions.Sorted = false;
    viewer.MovePic(1);
    QCOMPARE(viewer.CurrentIndex(), 1);
    // From no picture, a move on the empty list empties the caption below one second.
    frmLumra fast({});
    fast.tmrTimer->setInterval(500);
    fast.setWindowTitle(Untouched);
    fast.MovePic(1);
    QCOMPARE(fast.CurrentIndex(), 1);
    QCOMPARE(fast.windowTitle(), QString());
    QCOMPARE(shownControl(viewer), 0);
    QVERIFY(viewer.imgPic[0]->pixmap().isNull());
    QVERIFY(dialogs.shown().empty());
    // A resize with the index on an empty list leaves the caption alone.
    viewer.setWindowTitle(Untouched);
    viewer.resize(300, 300);
    QCOMPARE(viewer.windowTitle(), Untouched);
}

void NavigationTest::captionFollowsInterval_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("caption");
    QTest::newRow("999 ms") << 999 << "";
    QTest::newRow("1000 ms") << 1000 << "1.png";
    QTest::newRow("0 ms") << 0 << "";
}

void NavigationTest::captionFollowsInterval()
{
    QFETCH(int, interval);
    QFETCH(QString, caption);
    TestFolder dir;
    fillList(dir, 2);
    frmLumra viewer({});
    viewer.tmrTimer->setInterval(interval);
    viewer.setWindowTitle(Untouched);
    viewer.MovePic(1);
    QCOMPARE(viewer.windowTitle(), caption);
}

void NavigationTest::secondsDialog_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("moved");
    QTest::newRow("5") << std::optional<QString>("5") << 5000 << true;
    QTest::newRow("-3") << std::optional<QString>("-3") << 0 << true;
    QTest::newRow("75") << std::optional<QString>("75") << 60000 << true;
    QTest::newRow("a word") << std::optional<QString>("soon") << 0 << true;
    QTest::newRow("0.5") << std::optional<QString>("0.5") << 500 << true;
    QTest::newRow("2.5") << std::optional<QString>("2.5") << 2500 << true;
    QTest::newRow("leading blanks, trailing text")
        << std::optional<QString>("  7 seconds") << 7000 << true;
    QTest::newRow("exponent") << std::optional<QString>("1e1") << 10000 << true;
    QTest::newRow("cancel") << std::optional<QString>() << 2000 << false;
    QTest::newRow("empty") << std::optional<QString>("") << 2000 << false;
}

void NavigationTest::secondsDialog()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(int, interval);
    QFETCH(bool, moved);
    TestFolder dir;
    fillList(dir, 3);
    CurrentOptions.AutoAdvanceSeconds = 7;
    frmLumra viewer({});
    viewer.MovePic(1);
    ScriptedDialogs dialogs;
    dialogs.answerInput(answer);
    viewer.mnuOptionsAutoAdvanceSeconds_Click();

    QCOMPARE(dialogs.shown().size(), std::size_t(1));
    const auto& box = dialogs.shown().front();
    QCOMPARE(box.kind, ScriptedDialogs::Kind::Input);
    QCOMPARE(box.text,
        QStringLiteral(
            "Number of Seconds to display each image when in Auto-Advance mode (0-60)."));
    QCOMPARE(box.title, QStringLiteral("Auto-Advance Delay Seconds"));
    QCOMPARE(box.defaultText, QStringLiteral("7"));
    QCOMPARE(viewer.tmrTimer->interval(), interval);
    QCOMPARE(viewer.CurrentIndex(), moved ? 2 : 1);
    QVERIFY(!viewer.tmrTimer->enabled());
    QCOMPARE(CurrentOptions.AutoAdvanceSeconds, 7);
}

void NavigationTest::timerIntervalZeroNeverTicks()
{
    QObject owner;
    IntervalTimer timer(&owner);
    QSignalSpy ticks(&timer, &IntervalTimer::Timer);
    timer.setInterval(0);
    timer.setEnabled(true);
    QTest::qWait(50);
    QCOMPARE(ticks.count(), 0);
    QCOMPARE(timer.remainingTime(), -1);
    timer.setInterval(10);
    QTRY_VERIFY(ticks.count() > 0);
    timer.setEnabled(false);
    QCOMPARE(timer.remainingTime(), -1);
}

void NavigationTest::newIntervalStartsNewCount()
{
    QObject owner;
    IntervalTimer timer(&owner);
    timer.setInterval(60000);
    timer.setEnabled(true);
    QTest::qWait(300);
    QVERIFY(timer.remainingTime() < 59800);
    timer.setInterval(60000);
    QVERIFY(timer.remainingTime() > 59800);
}

void NavigationTest::timerTickMovesNext()
{
    TestFolder dir;
    fillList(dir, 3);
    frmLumra viewer({});
    viewer.MovePic(1);
    viewer.tmrTimer->setInterval(20);
    viewer.tmrTimer->setEnabled(true);
    QTRY_VERIFY(viewer.CurrentIndex() != 1);
    viewer.tmrTimer->setEnabled(false);
}

void NavigationTest::toggles()
{
    frmLumra viewer({});
    CurrentOptions.AutoAdvance = false;
    viewer.mnuOptionsAutoAdvance_Click();
    QVERIFY(CurrentOptions.AutoAdvance);
    QVERIFY(viewer.mnuOptionsAutoAdvance->isChecked());
    QVERIFY(viewer.tmrTimer->enabled());
    QCOMPARE(viewer.tmrTimer->interval(), 2000);
    viewer.mnuOptionsAutoAdvance_Click();
    QVERIFY(!viewer.tmrTimer->enabled());
    QVERIFY(!viewer.mnuOptionsAutoAdvance->isChecked());

    viewer.mnuOptionsReverse_Click();
    QVERIFY(CurrentOptions.Reverse);
    QVERIFY(viewer.mnuOptionsReverse->isChecked());
    viewer.mnuOptionsSorted_Click();
    QVERIFY(!CurrentOptions.Sorted);
    QVERIFY(!viewer.mnuOptionsReverse->isVisible());
    viewer.mnuOptionsSorted_Click();
    QVERIFY(CurrentOptions.Sorted);
    QVERIFY(viewer.mnuOptionsSorted->isChecked());
    QVERIFY(viewer.mnuOptionsReverse->isVisible());
    QVERIFY(viewer.mnuOptionsReverse->isChecked());

    // The menu item runs the same command.
    viewer.mnuOptionsSorted->trigger();
    QVERIFY(!CurrentOptions.Sorted);
    QVERIFY(!viewer.mnuOptionsSorted->isChecked());
}

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
