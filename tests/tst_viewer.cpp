// The viewer as the user drives it: keys, the popup menu and the mouse, moving through the
// list, the slide-show timer and the picture fitted into the window.

#include "Support.h"
#include "about/frmAbout.h"
#include "platform/Site.h"
#include "system/System.h"
#include "viewer/IntervalTimer.h"
#include "viewer/Moves.h"

#include <QMenu>
#include <QSignalSpy>
#include <filesystem>

using namespace basGeneral;

class ViewerTest : public QObject {
    Q_OBJECT
    static void row(const char* inputs, const QString& effect) { QTest::newRow(inputs) << effect; }
private slots:
    // Each row: inputs, any of which has the effect on a fresh viewer on entry 3 of 1.png to
    // 5.png. An input is steps separated by commas, each one of:
    //   a key sequence ("Ctrl+S", "PgDown"), with "@code" the key's place on the keyboard;
    //   "mnu..." that item chosen from the popup menu with the mouse;
    //   "click" or "double" on the window, with "right" the right button, "Ctrl" held,
    //   "picture" on the picture instead;
    //   "seconds n": the seconds prompt answered n; "tick": the slide show's next tick;
    //   "load": start-up with the folder, Transparent and 5 seconds stored;
    //   "empty": the list emptied, "one": the list 1.png alone; "resize": the window grown;
    //   "yes": the next question answered Yes, "yes though gone": and the file gone meanwhile.
    // The effect names what then differs from the fresh viewer, in this order: "at n" the
    // entry; "shows name" or "untitled" the caption set; "gone" 3.png deleted, "emptied" its
    // entry; the options "unsorted", "reverse", "auto", "transparent", "top"; "every ms" the
    // timer's interval, "on" the timer running; "menu" the popup open; each dialog shown (a
    // message's text, " y/n" when it asks; "input" and its default; "folder"; "open" and the
    // document); "about" the About box, "blank" no picture shown, "closed" the window
    // unloaded, "saved n" an option written, n the pace stored ("-" none).
    void commands_data()
    {
        QTest::addColumn<QString>("effect");
        row("F1 or mnuHelp", "open Lumra.htm");
        row("mnuVisitWebsite", "open " + Site::address());
        row("mnuMorvanell, mnuMorvanell", "about");
        row("Ctrl+R or mnuOptionsReverse", "reverse");
        row("Ctrl+S or mnuOptionsSorted or Ctrl+\u042B@31 or Ctrl+S, Ctrl+R", "unsorted");
        row("Ctrl+Shift+S or Ctrl+X or X or Shift+Esc or Ctrl+5 or click Ctrl right or click", "");
        row("Ctrl+T or mnuOptionsTransparent", "transparent");
        row("mnuOptionsStayOnTop", "top");
        row("Ctrl+F or Ctrl+O or mnuOptionsSelectFolder", "folder");
        row("Ctrl+A or mnuOptionsAutoAdvance", "auto, on");
        row("Menu or click right or click right picture or click right, double right", "menu");
        row("Esc or ` or \u00B2@41", "blank, closed, saved -"); // @41: the key left of 1
        row("mnuExit or double or double picture, double", "closed, saved -");
        row("PgUp or mnuFileShowPrevious", "at 2, shows 2.png");
        row("PgDown or Return or N or \u0422@49 or mnuFileShowNext", "at 4, shows 4.png");
        row("Home or mnuFileShowFirst", "at 1, shows 1.png");
        row("End or mnuFileShowLast", "at 5, shows 5.png");
        row("Home, Home", "at 1"); // nothing shown again
        row("one, Home, PgDown", "at 1, shows 1.png");
        row("empty, PgDown, Del or empty, Home, resize", "at 1");
        row("empty, End, Del", "at 0");
        row("load", "at 4, shows 4.png, auto, transparent, top, every 5000, on, saved 5");
        // The timer keys and the seconds prompt work on the slide show, not on its option.
        row("Space or 0", "on");
        row("5", "at 4, shows 4.png, every 5000, on");
        row("5, Esc", "at 4, every 5000, blank, closed, saved 5"); // from the timer
        row("mnuOptionsAutoAdvanceSeconds", "input 2");
        row("seconds 1", "at 4, shows 4.png, every 1000, input 2");
        row("Space, seconds 0 or Space, seconds soon", "at 4, untitled, every 0, on, input 2");
        row("seconds 0.1, Space, tick", "at 5, untitled, every 100, input 2");
        row("seconds 0.5, End, resize", "at 5, shows 5.png, every 500, input 2");
        row("seconds 75 or seconds 60", "at 4, shows 4.png, every 60000, input 2");
        // Delete asks first, and asks nothing when there is no file to delete.
        row("Del", "Delete 3.png? y/n");
        row("Space, Del", "on, Delete 3.png? y/n");
        row("yes, Del", "at 4, shows 4.png, gone, emptied, Delete 3.png? y/n");
        row("yes, Del, PgUp, Del, PgUp", "at 2, shows 2.png, gone, emptied, Delete 3.png? y/n");
        row("yes though gone, Del",
            "at 4, shows 4.png, gone, emptied, Delete 3.png? y/n, 2 : "
                + QString::fromStdString(sys::errorText(ENOENT)));
    }

    void commands()
    {
        QFETCH(QString, effect);
        for (const QString& input : QString::fromUtf8(QTest::currentDataTag()).split(" or ")) {
            UserProfile profile;
            Viewer v;
            frmLumra& w = *v.window;
            AppFolder = v.dir.path() + Separator();
            v.dir.file("Lumra.htm");
            w.show();
            QSignalSpy unloaded(&w, &frmLumra::unloaded);
            const std::string third = v.dir.path("3.png");
            bool gone = false; // the file goes while the question is open, not before
            v.dialogs.whileOpen([&](const QString&) {
                QVERIFY(!w.tmrTimer->enabled()); // nothing moves while a question is open
                std::remove(gone ? third.c_str() : "");
            });
            for (const QString& step : input.split(", ")) {
                const QStringList words = step.split(' ');
                w.setWindowTitle("untouched");
                w.mnuFile->hide();
                if (step.startsWith("mnu")) {
                    w.ShowPopupMenu();
                    const QRect item = w.mnuFile->actionGeometry(w.findChild<QAction*>(step));
                    QTest::mouseClick(w.mnuFile, Qt::LeftButton, {}, item.center());
                } else if (words[0] == "click" || words[0] == "double") {
                    QTest::mouseEvent(words[0] == "click" ? QTest::MouseClick : QTest::MouseDClick,
                        words.contains("picture") ? static_cast<QWidget*>(w.imgPic[1]) : &w,
                        words.contains("right") ? Qt::RightButton : Qt::LeftButton,
                        words.contains("Ctrl") ? Qt::ControlModifier : Qt::NoModifier, { 2, 2 });
                } else if (step.contains('@')) {
                    const QKeyCombination key = QKeySequence(step.section('@', 0, 0))[0];
                    // @: the key's set-1 scan code, which X gives 8 more.
                    QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(),
                        step.section('@', 1).toUInt()
                            + (QSysInfo::productType() == "windows" ? 0 : 8),
                        0, 0);
                    QCoreApplication::sendEvent(&w, &press);
                } else if (words[0] == "seconds") { // the prompt answered so
                    v.dialogs.answerInput(words[1]);
                    w.mnuOptionsAutoAdvanceSeconds->trigger();
                } else if (step == "tick") {
                    QSignalSpy tick(w.tmrTimer, &IntervalTimer::Timer);
                    QVERIFY(tick.wait());
                    w.tmrTimer->setEnabled(false);
                } else if (step == "load") { // start-up with these options stored
                    profile.store({ { "Folder", QString::fromStdString(v.dir.path()) },
                        { "Transparent", "True" }, { "AutoAdvanceSeconds", "5" } });
                    PicturePaths.clear();
                    w.Form_Load();
                    // At the bottom right, 900 twips (60 pixels) above the screen's bottom.
                    QCOMPARE(w.screen()->geometry().bottom() - w.frameGeometry().bottom(), 60);
                } else if (step == "empty" || step == "one") {
                    PicturePaths.clear();
                    if (step == "one")
                        AddFile(v.dir.path("1.png"));
                } else if (step.startsWith("yes")) {
                    v.dialogs.answerMessage(MsgAnswer::Yes);
                    gone = step.endsWith("though gone");
                } else if (step == "resize") {
                    w.resize(w.size() + QSize(10, 10));
                } else {
                    QTest::keySequence(&w, QKeySequence(step));
                }
            }

            QStringList seen;
            const auto note = [&](qsizetype n, const QString& s) { seen << QStringList(n, s); };
            const basOptions::OptionSet& o = basOptions::CurrentOptions;
            const QString title = w.windowTitle();
            IntervalTimer& timer = *w.tmrTimer;
            note(w.CurrentIndex() != 3, QStringLiteral("at %1").arg(w.CurrentIndex()));
            note(title != "untouched", title.isEmpty() ? "untitled" : "shows " + title);
            note(!std::filesystem::exists(std::filesystem::symlink_status(third)), "gone");
            note(PictureCount() >= 3 && PicturePaths.at(3).empty(), "emptied");
            for (const auto& [on, name] : { std::pair { !o.Sorted, "unsorted" },
                     { o.Reverse, "reverse" }, { o.AutoAdvance, "auto" },
                     { o.Transparent, "transparent" }, { o.StayOnTop, "top" } })
                note(on, name);
            // The Reverse item goes with Sorted; the window turns see-through with Transparent.
            QCOMPARE(w.mnuOptionsReverse->isVisible(), o.Sorted);
            QCOMPARE(w.windowOpacity() < 1, o.Transparent);
            note(timer.interval() != basOptions::DefaultOptions.AutoAdvanceSeconds * 1000,
                QStringLiteral("every %1").arg(timer.interval()));
            note(timer.enabled(), "on");
            // A tick is coming exactly when the timer runs with an interval; 0 never ticks.
            QCOMPARE(timer.remainingTime() >= 0, timer.enabled() && timer.interval() > 0);
            note(w.mnuFile->isVisible(), "menu");
            for (const ScriptedDialogs::Shown& s : v.dialogs.shown()) {
                const QString text = QString(s.text).remove(QString::fromStdString(AppFolder));
                const QString kinds[] = { s.buttons == MsgButtons::YesNo ? text + " y/n" : text,
                    "input " + s.defaultText, "folder", "open " + text };
                seen << kinds[int(s.kind)];
            }
            note(w.findChildren<frmAbout*>().size(), "about");
            note(w.imgPic[0]->isHidden() && w.imgPic[1]->isHidden(), "blank");
            note(unloaded.size(), "closed");
            note(!profile.stored().isEmpty(),
                "saved " + profile.stored().value("AutoAdvanceSeconds", "-"));
            QVERIFY2(seen.join(", ") == effect, qPrintable(input + " -> " + seen.join(", ")));
        }
    }

    // Entry 3 shown, 4.png is decoded ahead. Each row changes something, then moves to the
    // next: what is held ahead after the change, and the colour shown after the move.
    void prefetch_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QColor>("shown"); // invalid: nothing new shown
        const QColor drawn = Qt::darkCyan, redrawn = Qt::red;
        QTest::newRow("shown: the picture decoded ahead") << "4.png" << drawn;
        QTest::newRow("redrawn, same size and time") << "4.png" << redrawn;
        QTest::newRow("redrawn in place") << "4.png" << redrawn;
        QTest::newRow("replaced") << "4.png" << redrawn;
        QTest::newRow("deleted") << "4.png" << QColor();
        QTest::newRow("resized") << "" << drawn;
        QTest::newRow("Ctrl+R") << "" << drawn;
        QTest::newRow("Ctrl+S") << "" << drawn;
        QTest::newRow("Del") << "" << drawn;
        QTest::newRow("Ctrl+F, an empty folder") << "" << QColor();
    }
    void prefetch()
    {
        QFETCH(QString, held);
        QFETCH(QColor, shown);
        namespace fs = std::filesystem;
        UserProfile profile;
        Viewer v;
        frmLumra& w = *v.window;
        const QString change = QTest::currentDataTag();
        const auto ahead
            = [&w] { return QFileInfo(QString::fromStdString(w.prefetched().held())).fileName(); };
        // Drawn again as a BMP, whose size does not change with its colour.
        const std::string fourth
            = v.dir.file("4.png", pictureBytes({ 8, 8 }, Qt::darkCyan, "BMP").toStdString());
        const std::string red = pictureBytes({ 8, 8 }, Qt::red, "BMP").toStdString();
        // In whole seconds, which every system can set again (mingw's library sets no less).
        fs::last_write_time(
            fourth, std::chrono::floor<std::chrono::seconds>(fs::last_write_time(fourth)));
        w.MovePic(Moves::Previous);
        QCOMPARE(ahead(), "1.png"); // the way of the last move
        w.MovePic(Moves::Next);
        QCOMPARE(ahead(), "4.png");
        QTRY_VERIFY(w.prefetched().ready());
        const fs::file_time_type stamp = fs::last_write_time(fourth);
        if (change.startsWith("redrawn"))
            std::ofstream(fourth, std::ios::binary | std::ios::in) << red;
        if (change.startsWith("redrawn, same"))
            fs::last_write_time(fourth, stamp);
        if (change == "replaced")
            fs::rename(v.dir.file("new.png", red), fourth);
        if (change == "deleted")
            fs::remove(fourth);
        if (change == "resized" || change.startsWith("shown"))
            w.show();
        if (change == "resized")
            w.resize(w.size() + QSize(10, 10));
        if (change.startsWith("Ctrl"))
            v.dialogs.answerFolder(QString::fromStdString(v.dir.folder("empty"))),
                QTest::keySequence(&w, QKeySequence(change.section(',', 0, 0)));
        if (change == "Del")
            v.dialogs.answerMessage(MsgAnswer::Yes), QTest::keyClick(&w, Qt::Key_Delete);
        QCOMPARE(ahead(), change == "Del" ? "5.png" : held);
        const int taken = w.prefetched().taken();
        if (change != "Del")
            w.setWindowTitle(""), w.MovePic(Moves::Next);
        QCOMPARE(w.prefetched().taken() > taken, held == "4.png" && shown == Qt::darkCyan);
        const int control = v.shownControl();
        // Reversed, the move goes back to 2.png; unsorted, it draws at random.
        if (change != "Ctrl+S")
            QCOMPARE(w.windowTitle() == "4.png" || change == "Ctrl+R", shown.isValid());
        else
            QCOMPARE(ahead(), ""); // nothing is known ahead of a random draw
        if (shown.isValid())
            QVERIFY(control >= 0
                && near(w.imgPic[control]->pixmap().toImage().pixelColor(4, 4), shown, 10));
    }

    void nextIndex_data()
    {
        QTest::addColumn<QList<int>>("m"); // direction, index, count, sorted, reverse: lands on
        using namespace Moves;
        QTest::newRow("next wraps") << QList<int> { Next, 5, 5, true, false, 1 };
        QTest::newRow("previous wraps") << QList<int> { Previous, 1, 5, true, false, 5 };
        QTest::newRow("reverse next") << QList<int> { Next, 3, 5, true, true, 2 };
        QTest::newRow("reverse previous") << QList<int> { Previous, 3, 5, true, true, 2 };
        QTest::newRow("last") << QList<int> { Last, 3, 5, true, false, 5 };
        QTest::newRow("random next draws") << QList<int> { Next, 1, 5, false, false, 4 };
        QTest::newRow("random first") << QList<int> { First, 3, 5, false, false, 1 };
    }

    void nextIndex()
    {
        QFETCH(QList<int>, m);
        QCOMPARE(Moves::nextIndex(m[0], m[1], m[2], m[3], m[4], [] { return 4; }), m[5]);
    }

    void fit_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QRect>("place"); // in a window of 200 x 200
        QTest::newRow("natural size, centred") << QSize(50, 40) << QRect(75, 80, 50, 40);
        QTest::newRow("wide, shrunk") << QSize(300, 150) << QRect(0, 50, 200, 100);
        QTest::newRow("tall, shrunk") << QSize(100, 400) << QRect(75, 0, 50, 200);
        QTest::newRow("a line, a pixel high") << QSize(65535, 1) << QRect(0, 99, 200, 1);
        QTest::newRow("a line, a pixel wide") << QSize(1, 65535) << QRect(99, 0, 1, 200);
        QTest::newRow("22.5 twips high, to even") << QSize(400, 3) << QRect(0, 99, 200, 1);
    }

    void fit()
    {
        QFETCH(QSize, picture);
        QFETCH(QRect, place);
        UserProfile profile;
        Viewer v(0, 0);
        AddFile(drawPicture(v.dir, "p.png", picture));
        v.window->resize(200, 200);
        v.window->MovePic(Moves::Next);
        QLabel* shown = v.window->imgPic[std::size_t(v.shownControl())];
        QCOMPARE(shown->geometry(), place);
        QCOMPARE(shown->hasScaledContents(), place.size() != picture);
        // Decoded at the size it is shown: one picture pixel per device pixel.
        QCOMPARE(shown->pixmap().size(), place.size());
    }
};

QTEST_MAIN(ViewerTest)
#include "tst_viewer.moc"
