// The keyboard and the mouse, driven with real key and mouse events.

#include "Pictures.h"
#include "RecordingLauncher.h"
#include "ScriptedDialogs.h"
#include "UserProfile.h"
#include "about/frmAbout.h"
#include "platform/Site.h"
#include "viewer/IntervalTimer.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace basGeneral;
using basOptions::CurrentOptions;

namespace {

// What a key did, as the user sees it.
enum class Effect {
    Nothing,
    Next,
    Previous,
    First,
    Last,
    Close, // the pictures hidden first, then closed
    Exit, // closed as it stands
    Sorted,
    Reverse,
    AutoAdvance,
    FolderPrompt,
    DeleteQuestion,
    Popup,
    Transparent,
    Help,
    StayOnTop,
    SecondsPrompt,
    Website,
    About
};

struct Viewer {
    TestFolder dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<frmLumra> window;

    explicit Viewer(int pictures = 5)
    {
        PicturePaths.clear();
        for (int i = 1; i <= pictures; ++i)
            AddFile(drawPicture(dir, std::to_string(i) + ".png", { 8, 8 }));
        window = std::make_unique<frmLumra>(std::vector<std::string> {});
        // The options as start-up leaves them, walking the list in order.
        basOptions::GetOptions();
        CurrentOptions.Sorted = true;
        CurrentOptions.Reverse = false;
        CurrentOptions.AutoAdvance = false;
        CurrentOptions.Transparent = false;
        CurrentOptions.StayOnTop = false;
        CurrentOptions.Folder = QString::fromStdString(dir.path());
        window->MovePic(1);
        window->MovePic(1);
        window->MovePic(1); // on entry 3 of 5
    }
};

bool isFileThere(const std::string& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0;
}

void sendScanCode(QWidget* target, quint32 scanCode, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, modifiers, scanCode, 0, 0, QString());
    QCoreApplication::sendEvent(target, &press);
}

} // namespace
Q_DECLARE_METATYPE(Effect)

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void keyTable_data();
    void keyTable();
    void menuItems_data();
    void menuItems();
    void keyLeftOfOneClosesWhateverItPrints();
    void characters_data();
    void characters();
    void deleteAnswers_data();
    void deleteAnswers();
    void deleteWithNothingToDelete();
    void deleteBehindTheViewersBack_data();
    void deleteBehindTheViewersBack();
    void deleteTellsLookAlikeNamesApart();
    void realDialogsShowTextsLiterally();
    void mouse_data();
    void mouse();
    void doubleClickClosesAndSavesOnce();

private:
    std::unique_ptr<UserProfile> m_profile;
};

void KeyboardTest::init() { m_profile = std::make_unique<UserProfile>(); }

void KeyboardTest::keyTable_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("sorted");
    QTest::addColumn<Effect>("effect");
    QTest::addColumn<quint32>("scanCode"); // the physical key, where the layout matters
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers alt = Qt::AltModifier;

    QTest::newRow("Ctrl+R, Sorted on") << int(Qt::Key_R) << ctrl << true << Effect::Reverse << 0u;
    QTest::newRow("Ctrl+R, Sorted off") << int(Qt::Key_R) << ctrl << false << Effect::Nothing << 0u;
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << ctrl << true << Effect::Sorted << 0u;
    QTest::newRow("Ctrl+S, Sorted off") << int(Qt::Key_S) << ctrl << false << Effect::Sorted << 0u;
    QTest::newRow("Ctrl+Shift+S") << int(Qt::Key_S) << (ctrl | shift) << true << Effect::Nothing
                                  << 0u;
    QTest::newRow("Alt+S") << int(Qt::Key_S) << alt << true << Effect::Nothing << 0u;
    QTest::newRow("S") << int(Qt::Key_S) << none << true << Effect::Nothing << 0u;
    QTest::newRow("R") << int(Qt::Key_R) << none << true << Effect::Nothing << 0u;
    QTest::newRow("F") << int(Qt::Key_F) << none << true << Effect::Nothing << 0u;
    QTest::newRow("Shift+T") << int(Qt::Key_T) << shift << true << Effect::Nothing << 0u;
    QTest::newRow("Ctrl+F") << int(Qt::Key_F) << ctrl << true << Effect::FolderPrompt << 0u;
    QTest::newRow("Ctrl+O") << int(Qt::Key_O) << ctrl << true << Effect::FolderPrompt << 0u;
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << ctrl << true << Effect::AutoAdvance << 0u;
    QTest::newRow("A") << int(Qt::Key_A) << none << true << Effect::Nothing << 0u;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << none << true << Effect::DeleteQuestion << 0u;
    QTest::newRow("Shift+Delete") << int(Qt::Key_Delete) << shift << true << Effect::DeleteQuestion
                                  << 0u;
    QTest::newRow("Page Up") << int(Qt::Key_PageUp) << none << true << Effect::Previous << 0u;
    QTest::newRow("Shift+Page Up")
        << int(Qt::Key_PageUp) << shift << true << Effect::Previous << 0u;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << none << true << Effect::Next << 0u;
    QTest::newRow("Enter") << int(Qt::Key_Return) << none << true << Effect::Next << 0u;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << none << true << Effect::Next << 0u;
    QTest::newRow("N") << int(Qt::Key_N) << none << true << Effect::Next << 0u;
    QTest::newRow("Ctrl+N") << int(Qt::Key_N) << ctrl << true << Effect::Next << 0u;
    QTest::newRow("Home") << int(Qt::Key_Home) << none << true << Effect::First << 0u;
    QTest::newRow("Ctrl+Home") << int(Qt::Key_Home) << ctrl << true << Effect::First << 0u;
    QTest::newRow("End") << int(Qt::Key_End) << none << true << Effect::Last << 0u;
    QTest::newRow("Shift+End") << int(Qt::Key_End) << shift << true << Effect::Last << 0u;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << true << Effect::Close << 0u;
    QTest::newRow("Shift+Escape") << int(Qt::Key_Escape) << shift << true << Effect::Nothing << 0u;
    QTest::newRow("Ctrl+Escape") << int(Qt::Key_Escape) << ctrl << true << Effect::Nothing << 0u;
    QTest::newRow("backquote") << int(Qt::Key_QuoteLeft) << none << true << Effect::Close << 0u;
    QTest::newRow("Applications key") << int(Qt::Key_Menu) << none << true << Effect::Popup << 0u;
    QTest::newRow("Shift+Applications key")
        << int(Qt::Key_Menu) << shift << true << Effect::Popup << 0u;
    QTest::newRow("Ctrl+T") << int(Qt::Key_T) << ctrl << true << Effect::Transparent << 0u;
    QTest::newRow("T") << int(Qt::Key_T) << none << true << Effect::Nothing << 0u;
    QTest::newRow("F1") << int(Qt::Key_F1) << none << true << Effect::Help << 0u;
    QTest::newRow("Ctrl+Shift+F1")
        << int(Qt::Key_F1) << (ctrl | shift) << true << Effect::Help << 0u;
    QTest::newRow("X") << int(Qt::Key_X) << none << true << Effect::Nothing << 0u;
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << ctrl << true << Effect::Nothing << 0u;

    // Under a Cyrillic layout the letter keys give Cyrillic letters (Qt names them by their
    // code point): they are found by their place on the keyboard.
    QTest::newRow("N, Cyrillic layout") << 0x0422 << none << true << Effect::Next << 49u + 8;
    QTest::newRow("Ctrl+S, Cyrillic layout") << 0x042B << ctrl << true << Effect::Sorted << 31u + 8;
    QTest::newRow("Ctrl+R, Cyrillic layout")
        << 0x041A << ctrl << true << Effect::Reverse << 19u + 8;
    QTest::newRow("Ctrl+O, Cyrillic layout")
        << 0x0429 << ctrl << true << Effect::FolderPrompt << 24u + 8;
}

namespace {

// Acts on a viewer of five pictures standing on the third, and checks that the act had the
// effect and no other.
void verifyEffect(bool sorted, Effect effect, const std::function<void(frmLumra&)>& act)
{
    Viewer v;
    frmLumra& viewer = *v.window;
    CurrentOptions.Sorted = sorted;
    // A help file where the Help command looks for it.
    const std::string savedAppFolder = AppFolder;
    AppFolder = v.dir.path() + "/";
    v.dir.folder("Help");
    v.dir.file("Help/Lumra.htm", "<html></html>");
    RecordingLauncher launcher;
    const int before = viewer.CurrentIndex();
    QSignalSpy unloaded(&viewer, &frmLumra::unloaded);

    act(viewer);

    const int expectedIndex = effect == Effect::Next ? 4
        : effect == Effect::Previous                 ? 2
        : effect == Effect::First                    ? 1
        : effect == Effect::Last                     ? 5
                                                     : before;
    if (sorted)
        QCOMPARE(viewer.CurrentIndex(), expectedIndex);
    QCOMPARE(unloaded.count(), effect == Effect::Close || effect == Effect::Exit ? 1 : 0);
    QCOMPARE(CurrentOptions.Sorted, effect == Effect::Sorted ? !sorted : sorted);
    QCOMPARE(CurrentOptions.Reverse, effect == Effect::Reverse);
    QCOMPARE(CurrentOptions.AutoAdvance, effect == Effect::AutoAdvance);
    QCOMPARE(CurrentOptions.StayOnTop, effect == Effect::StayOnTop);
    QCOMPARE(
        v.dialogs.count(ScriptedDialogs::Kind::Folder), effect == Effect::FolderPrompt ? 1 : 0);
    QCOMPARE(
        v.dialogs.count(ScriptedDialogs::Kind::Message), effect == Effect::DeleteQuestion ? 1 : 0);
    QCOMPARE(
        v.dialogs.count(ScriptedDialogs::Kind::Input), effect == Effect::SecondsPrompt ? 1 : 0);
    QCOMPARE(viewer.mnuFile->isVisible(), effect == Effect::Popup);
    viewer.mnuFile->hide();
    QCOMPARE(CurrentOptions.Transparent, effect == Effect::Transparent);
    QCOMPARE(!viewer.findChildren<frmAbout*>().isEmpty(), effect == Effect::About);
    const int opened = v.dialogs.count(ScriptedDialogs::Kind::Open);
    QCOMPARE(opened, effect == Effect::Help || effect == Effect::Website ? 1 : 0);
    if (effect == Effect::Help)
        QVERIFY(v.dialogs.shown().back().text.endsWith(QLatin1String("Help/Lumra.htm")));
    if (effect == Effect::Website)
        QCOMPARE(v.dialogs.shown().back().text, Site::address());
    AppFolder = savedAppFolder;
    if (effect == Effect::Close) {
        QVERIFY(viewer.imgPic[0]->isHidden());
        QVERIFY(viewer.imgPic[1]->isHidden());
    }
}

} // namespace

void KeyboardTest::keyTable()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, sorted);
    QFETCH(Effect, effect);
    QFETCH(quint32, scanCode);
    verifyEffect(sorted, effect, [&](frmLumra& viewer) {
        if (scanCode) {
            QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, QString());
            QCoreApplication::sendEvent(&viewer, &press);
        } else {
            QTest::keyClick(&viewer, Qt::Key(key), modifiers);
        }
    });
}

void KeyboardTest::menuItems_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<Effect>("effect");
    QTest::newRow("Select Folder") << "mnuOptionsSelectFolder" << Effect::FolderPrompt;
    QTest::newRow("Show First") << "mnuFileShowFirst" << Effect::First;
    QTest::newRow("Show Previous") << "mnuFileShowPrevious" << Effect::Previous;
    QTest::newRow("Show Next") << "mnuFileShowNext" << Effect::Next;
    QTest::newRow("Show Last") << "mnuFileShowLast" << Effect::Last;
    QTest::newRow("Auto-Advance") << "mnuOptionsAutoAdvance" << Effect::AutoAdvance;
    QTest::newRow("Seconds") << "mnuOptionsAutoAdvanceSeconds" << Effect::SecondsPrompt;
    QTest::newRow("Sorted") << "mnuOptionsSorted" << Effect::Sorted;
    QTest::newRow("Reverse") << "mnuOptionsReverse" << Effect::Reverse;
    QTest::newRow("Transparent") << "mnuOptionsTransparent" << Effect::Transparent;
    QTest::newRow("Stay On Top") << "mnuOptionsStayOnTop" << Effect::StayOnTop;
    QTest::newRow("Help") << "mnuHelp" << Effect::Help;
    QTest::newRow("Visit") << "mnuVisitWebsite" << Effect::Website;
    QTest::newRow("About") << "mnuMorvanell" << Effect::About;
    QTest::newRow("Exit") << "mnuExit" << Effect::Exit;
}

void KeyboardTest::menuItems()
{
    QFETCH(QString, item);
    QFETCH(Effect, effect);
    verifyEffect(true, effect, [&](frmLumra& viewer) {
        viewer.ShowPopupMenu();
        QMenu* menu = viewer.mnuFile;
        const QPoint at = menu->actionGeometry(menu->findChild<QAction*>(item)).center();
        // Only the left button chooses: the right one on an item leaves the menu open.
        QTest::mouseClick(menu, Qt::RightButton, {}, at);
        QVERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
    });
}

void KeyboardTest::keyLeftOfOneClosesWhateverItPrints()
{
    for (Qt::KeyboardModifiers modifiers : { Qt::NoModifier, Qt::ShiftModifier }) {
        Viewer v;
        QSignalSpy unloaded(v.window.get(), &frmLumra::unloaded);
        sendScanCode(v.window.get(), 41 + 8, modifiers);
        QCOMPARE(unloaded.count(), modifiers == Qt::NoModifier ? 1 : 0);
    }
}

void KeyboardTest::characters_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("startRunning");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("moved");
    QTest::newRow("space stops") << " " << Qt::KeyboardModifiers() << true << false << 2000
                                 << false;
    QTest::newRow("space starts") << " " << Qt::KeyboardModifiers() << false << true << 2000
                                  << false;
    QTest::newRow("0 acts like space")
        << "0" << Qt::KeyboardModifiers() << true << false << 2000 << false;
    QTest::newRow("5 sets the pace")
        << "5" << Qt::KeyboardModifiers() << false << true << 5000 << true;
    QTest::newRow("1") << "1" << Qt::KeyboardModifiers() << true << true << 1000 << true;
    QTest::newRow("9") << "9" << Qt::KeyboardModifiers() << false << true << 9000 << true;
    QTest::newRow("keypad 7") << "7" << Qt::KeyboardModifiers(Qt::KeypadModifier) << false << true
                              << 7000 << true;
    QTest::newRow("Ctrl+5 types nothing")
        << "5" << Qt::KeyboardModifiers(Qt::ControlModifier) << false << false << 2000 << false;
    QTest::newRow("a letter") << "q" << Qt::KeyboardModifiers() << true << true << 2000 << false;
}

void KeyboardTest::characters()
{
    QFETCH(QString, typed);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, startRunning);
    QFETCH(bool, running);
    QFETCH(int, interval);
    QFETCH(bool, moved);
    Viewer v;
    frmLumra& viewer = *v.window;
    viewer.tmrTimer->setEnabled(startRunning);
    QTest::keyClick(&viewer, typed.at(0).toLatin1(), modifiers);
    QCOMPARE(viewer.tmrTimer->enabled(), running);
    QCOMPARE(viewer.tmrTimer->interval(), interval);
    QCOMPARE(viewer.CurrentIndex(), moved ? 4 : 3);
    // The keys work on the timer alone.
    QVERIFY(!CurrentOptions.AutoAdvance);
    QVERIFY(!viewer.mnuOptionsAutoAdvance->isChecked());
    viewer.tmrTimer->setEnabled(false);
}

void KeyboardTest::deleteAnswers_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("No, slide show off") << MsgAnswer::No << false << false;
    QTest::newRow("No, slide show on") << MsgAnswer::No << true << false;
    QTest::newRow("Yes, slide show off") << MsgAnswer::Yes << false << false;
    QTest::newRow("Yes, slide show on") << MsgAnswer::Yes << true << false;
    QTest::newRow("Yes, a read-only file") << MsgAnswer::Yes << false << true;
}

void KeyboardTest::deleteAnswers()
{
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, running);
    QFETCH(bool, readOnly);
    Viewer v;
    frmLumra& viewer = *v.window;
    const std::string path = PicturePaths.at(3);
    if (readOnly)
        QCOMPARE(::chmod(path.c_str(), 0444), 0);
    viewer.tmrTimer->setEnabled(running);
    bool runningWhileAsked = true;
    v.dialogs.whileOpen([&](const QString&) { runningWhileAsked = viewer.tmrTimer->enabled(); });
    v.dialogs.answerMessage(answer);

    QTest::keyClick(&viewer, Qt::Key_Delete);

    const auto& question = v.dialogs.shown().front();
    QCOMPARE(question.text, QStringLiteral("Delete %1?").arg(QString::fromStdString(path)));
    QCOMPARE(question.buttons, MsgButtons::YesNo);
    QCOMPARE(question.icon, MsgIcon::Question);
    QVERIFY(!runningWhileAsked);
    QCOMPARE(viewer.tmrTimer->enabled(), running);
    const bool deleted = answer == MsgAnswer::Yes;
    QCOMPARE(isFileThere(path), !deleted);
    QCOMPARE(PictureCount(), 5);
    QCOMPARE(PicturePaths.at(3), deleted ? std::string() : path);
    QCOMPARE(viewer.CurrentIndex(), deleted ? 4 : 3);
    QCOMPARE(v.dialogs.count(ScriptedDialogs::Kind::Message), 1);

    if (deleted) {
        // The emptied entry is never shown again: walking stops on it once, then goes on.
        viewer.setWindowTitle(QString());
        for (int step = 0; step < 12; ++step) {
            viewer.MovePic(1);
            QVERIFY(viewer.windowTitle() != QStringLiteral("3.png"));
        }
        viewer.MovePic(0);
        viewer.MovePic(1);
        viewer.MovePic(1);
        QCOMPARE(viewer.CurrentIndex(), 3);
        QCOMPARE(viewer.windowTitle(), QStringLiteral("2.png"));
        // And Delete there asks nothing.
        QTest::keyClick(&viewer, Qt::Key_Delete);
        QCOMPARE(v.dialogs.count(ScriptedDialogs::Kind::Message), 1);
    }
}

void KeyboardTest::deleteWithNothingToDelete()
{
    ScriptedDialogs dialogs;
    PicturePaths.clear();
    frmLumra empty({});
    basOptions::GetOptions();
    empty.tmrTimer->setEnabled(true);
    QTest::keyClick(&empty, Qt::Key_Delete);
    empty.MovePic(1); // an empty list: the index stands on 1 with nothing there
    QTest::keyClick(&empty, Qt::Key_Delete);
    QVERIFY(dialogs.shown().empty());
    QVERIFY(empty.tmrTimer->enabled());

    TestFolder dir;
    AddFile(drawPicture(dir, "a.png", { 4, 4 }));
    frmLumra fresh({});
    QTest::keyClick(&fresh, Qt::Key_Delete); // nothing shown yet
    QVERIFY(dialogs.shown().empty());
    QVERIFY(isFileThere(dir.path("a.png")));
}

void KeyboardTest::deleteBehindTheViewersBack_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("report");
    QTest::newRow("file vanished")
        << "vanish" << QStringLiteral("2 : ") + QString::fromLocal8Bit(strerror(ENOENT));
    QTest::newRow("folder swapped in")
        << "folder" << QStringLiteral("21 : ") + QString::fromLocal8Bit(strerror(EISDIR));
}

void KeyboardTest::deleteBehindTheViewersBack()
{
    QFETCH(QString, change);
    QFETCH(QString, report);
    Viewer v;
    frmLumra& viewer = *v.window;
    const std::string path = PicturePaths.at(3);
    v.dialogs.whileOpen([&](const QString& text) {
        if (!text.startsWith(QLatin1String("Delete ")))
            return;
        ::unlink(path.c_str());
        if (change == QLatin1String("folder")) {
            ::mkdir(path.c_str(), 0755);
            v.dir.file("3.png/inside.txt", "kept");
        }
    });
    v.dialogs.answerMessage(MsgAnswer::Yes);
    QTest::keyClick(&viewer, Qt::Key_Delete);

    QCOMPARE(v.dialogs.messages().size(), 2);
    QCOMPARE(v.dialogs.messages().at(1), report);
    QCOMPARE(v.dialogs.shown().at(1).buttons, MsgButtons::OK);
    QCOMPARE(v.dialogs.shown().at(1).icon, MsgIcon::Exclamation);
    QCOMPARE(PicturePaths.at(3), std::string());
    QCOMPARE(viewer.CurrentIndex(), 4);
    if (change == QLatin1String("folder"))
        QVERIFY(isFileThere(path + "/inside.txt"));
}

void KeyboardTest::deleteTellsLookAlikeNamesApart()
{
    // Two names that show as the same text: the one deleted is the one on screen.
    TestFolder dir;
    PicturePaths.clear();
    const std::string latin1 = drawPicture(dir, "caf\xe9.png", { 4, 4 });
    const std::string replacement = drawPicture(dir, "caf\xef\xbf\xbd.png", { 4, 4 });
    AddFile(latin1);
    AddFile(replacement);
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MsgAnswer::Yes);
    frmLumra viewer({});
    basOptions::GetOptions();
    CurrentOptions.Sorted = true;
    viewer.MovePic(1);
    QTest::keyClick(&viewer, Qt::Key_Delete);
    QVERIFY(!isFileThere(latin1));
    QVERIFY(isFileThere(replacement));
}

void KeyboardTest::realDialogsShowTextsLiterally()
{
    // The Qt message box itself, looked at and answered from the event loop.
    Viewer v;
    setDialogs(nullptr);
    const std::string tagged = drawPicture(v.dir, "x<u>under.png", { 8, 8 });
    PicturePaths.at(3) = tagged;
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    bool defaultIsNo = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        answer.stop();
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        defaultIsNo
            = static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::No);
        box->defaultButton()->click();
    });
    answer.start(10);
    QTest::keyClick(v.window.get(), Qt::Key_Delete);
    setDialogs(&v.dialogs);
    QCOMPARE(title, QStringLiteral("Lumra"));
    QCOMPARE(text, QStringLiteral("Delete %1?").arg(QString::fromStdString(tagged)));
    QCOMPARE(format, Qt::PlainText);
    QVERIFY(defaultIsNo);
    QVERIFY(isFileThere(tagged));
}

void KeyboardTest::mouse_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("onPicture");
    QTest::addColumn<bool>("popup");
    QTest::addColumn<bool>("twice");
    QTest::newRow("right on the window")
        << Qt::RightButton << Qt::KeyboardModifiers() << false << true << false;
    QTest::newRow("right on the picture")
        << Qt::RightButton << Qt::KeyboardModifiers() << true << true << false;
    QTest::newRow("Ctrl+right") << Qt::RightButton << Qt::KeyboardModifiers(Qt::ControlModifier)
                                << false << false << false;
    QTest::newRow("Shift+right on the picture")
        << Qt::RightButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << true << false << false;
    // Qt makes a quick second press a double click; of the right button it is one more press.
    QTest::newRow("right twice quickly")
        << Qt::RightButton << Qt::KeyboardModifiers() << false << true << true;
    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers() << false << false << false;
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers() << true << false
                            << false;
}

void KeyboardTest::mouse()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, onPicture);
    QFETCH(bool, popup);
    QFETCH(bool, twice);
    Viewer v;
    frmLumra& viewer = *v.window;
    viewer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QWidget* target = &viewer;
    if (onPicture) {
        target = viewer.imgPic[0]->isHidden() ? viewer.imgPic[1] : viewer.imgPic[0];
        QVERIFY(!target->isHidden());
    }
    QTest::mouseClick(target, button, modifiers, QPoint(2, 2));
    if (twice) {
        viewer.mnuFile->hide();
        QTest::mouseDClick(target, button, modifiers, QPoint(2, 2));
    }
    QCOMPARE(viewer.mnuFile->isVisible(), popup);
    viewer.mnuFile->hide();
    QVERIFY(!viewer.isUnloaded());
}

void KeyboardTest::doubleClickClosesAndSavesOnce()
{
    for (bool onPicture : { false, true }) {
        m_profile = std::make_unique<UserProfile>();
        Viewer v;
        frmLumra& viewer = *v.window;
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        viewer.mnuOptionsReverse->trigger();
        QSignalSpy unloaded(&viewer, &frmLumra::unloaded);
        QWidget* target = onPicture ? static_cast<QWidget*>(viewer.imgPic[1]) : &viewer;
        QTest::mouseDClick(target, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(unloaded.count(), 1);
        QCOMPARE(m_profile->stored().value(QStringLiteral("Reverse")), QStringLiteral("True"));
        QTest::mouseDClick(&viewer, Qt::LeftButton);
        QCOMPARE(unloaded.count(), 1);
    }
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
