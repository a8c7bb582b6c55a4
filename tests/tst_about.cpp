// The About box and the commands that open the help file, the maker's web site and the box.

#include "RecordingLauncher.h"
#include "ScriptedDialogs.h"
#include "TestFolders.h"
#include "UserProfile.h"
#include "about/frmAbout.h"
#include "viewer/basGeneral.h"
#include "viewer/frmLumra.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

namespace {

const QString Address = QStringLiteral("https://www.morvanell.example/");

QColor textColour(const QWidget* control) { return control->palette().color(QPalette::WindowText); }

// The About boxes the viewer owns that are still open.
QList<frmAbout*> openBoxes(const frmLumra& viewer)
{
    QList<frmAbout*> boxes;
    for (frmAbout* box : viewer.findChildren<frmAbout*>(QString(), Qt::FindDirectChildrenOnly))
        if (box->isVisible())
            boxes << box;
    return boxes;
}

void deleteClosed() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

} // namespace

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void designedBox();
    void controls_data();
    void controls();
    void icons();
    void closes_data();
    void closes();
    void linkOpensSiteAndCloses();
    void oneBoxOwnedByTheViewer();
    void loadRunsAgainAfterClose();
    void topmostFollowsStayOnTop_data();
    void topmostFollowsStayOnTop();
    void helpLookup_data();
    void helpLookup();
    void visitWebsite();

private:
    std::unique_ptr<UserProfile> m_profile;
    std::string m_savedAppFolder;
};

void AboutTest::init()
{
    m_profile = std::make_unique<UserProfile>();
    basOptions::CurrentOptions.StayOnTop = false;
    m_savedAppFolder = basGeneral::AppFolder;
}

void AboutTest::cleanup()
{
    deleteClosed();
    basGeneral::AppFolder = m_savedAppFolder;
}

void AboutTest::designedBox()
{
    frmLumra viewer({});
    frmAbout box(&viewer);
    const double tpp = box.twipsPerPixel();
    QCOMPARE(box.windowTitle(), QStringLiteral("About Lumra"));
    QCOMPARE(box.size(), QSize(qRound(5445 / tpp), qRound(2205 / tpp)));
    QCOMPARE(box.minimumSize(), box.maximumSize()); // not resizable
    QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(box.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(box.lblVersion->text(), QStringLiteral("Version 1.0"));
    QCOMPARE(box.lblLabel.at(0)->text(), QStringLiteral("Lumra"));
    QVERIFY(!box.lblLabel.at(33)->text().isEmpty());
    QVERIFY(!box.lblLabel.at(1)->text().isEmpty());
    QCOMPARE(box.cmdOK->text(), QStringLiteral("&Close"));
    QVERIFY(box.cmdOK->isDefault());
    QCOMPARE(box.lblURL->text(), QStringLiteral("www.morvanell.example"));
    QCOMPARE(box.lblURL->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(!box.isModal());
}

void AboutTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<double>("points"); // 0: the default font
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<QColor>("colour"); // invalid: the default colour

    const QColor grey(64, 64, 64);
    QTest::newRow("lblVersion") << "lblVersion" << QRect(960, 420, 1380, 285) << 8.25 << true
                                << false << grey;
    QTest::newRow("lblLabel 33") << "lblLabel33" << QRect(960, 660, 4260, 285) << 8.25 << false
                                 << false << grey;
    QTest::newRow("cmdOK") << "cmdOK" << QRect(3960, 1620, 1290, 405) << 0.0 << false << false
                           << QColor();
    QTest::newRow("lblLabel 0") << "lblLabel0" << QRect(960, 120, 1140, 285) << 12.0 << true
                                << false << grey;
    QTest::newRow("lblURL") << "lblURL" << QRect(960, 1680, 2745, 255) << 9.75 << true << true
                            << QColor(0, 0, 255);
    QTest::newRow("lblLabel 1") << "lblLabel1" << QRect(960, 1020, 3975, 495) << 0.0 << false
                                << false << QColor();
    QTest::newRow("Image2") << "Image2" << QRect(120, 120, 720, 720) << 0.0 << false << false
                            << QColor();
}

void AboutTest::controls()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(bool, underline);
    QFETCH(QColor, colour);
    frmLumra viewer({});
    frmAbout box(&viewer);
    const auto* control = box.findChild<QWidget*>(name);
    QVERIFY(control);
    const double tpp = box.twipsPerPixel();
    QCOMPARE(control->geometry(),
        QRect(qRound(twips.x() / tpp), qRound(twips.y() / tpp), qRound(twips.width() / tpp),
            qRound(twips.height() / tpp)));
    if (points > 0) {
        QCOMPARE(control->font().family(), QStringLiteral("Arial"));
        QCOMPARE(control->font().pointSizeF(), points);
        QCOMPARE(control->font().bold(), bold);
        QCOMPARE(control->font().underline(), underline);
    }
    if (colour.isValid())
        QCOMPARE(textColour(control), colour);
}

void AboutTest::icons()
{
    frmLumra viewer({});
    frmAbout box(&viewer);
    for (const QWidget* window :
        { static_cast<const QWidget*>(&viewer), static_cast<const QWidget*>(&box) }) {
        const QList<QSize> sizes = window->windowIcon().availableSizes();
        for (int size : { 16, 32, 48 })
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    }
    QCOMPARE(box.Image2->pixmap().size(), QSize(48, 48));
}

void AboutTest::closes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter") << "Enter";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("Close button") << "Close";
    QTest::newRow("window's close button") << "window";
}

void AboutTest::closes()
{
    QFETCH(QString, how);
    ScriptedDialogs dialogs;
    frmLumra viewer({});
    viewer.mnuMorvanell_Click();
    QPointer<frmAbout> box = viewer.findChild<frmAbout*>();
    QVERIFY(box);
    QVERIFY(QTest::qWaitForWindowExposed(box.data()));
    if (how == QLatin1String("Enter"))
        QTest::keyClick(box.data(), Qt::Key_Return);
    else if (how == QLatin1String("Escape"))
        QTest::keyClick(box.data(), Qt::Key_Escape);
    else if (how == QLatin1String("Close"))
        QTest::mouseClick(box->cmdOK, Qt::LeftButton);
    else
        box->close();
    QVERIFY(box->isHidden());
    QVERIFY(box->isUnloaded());
    deleteClosed();
    QVERIFY(!box);
    QVERIFY(viewer.isVisible() || !viewer.isUnloaded()); // the viewer is untouched
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 0);
}

void AboutTest::linkOpensSiteAndCloses()
{
    for (bool opened : { true, false }) {
        ScriptedDialogs dialogs;
        RecordingLauncher launcher;
        dialogs.answerOpen(opened);
        frmLumra viewer({});
        viewer.mnuMorvanell_Click();
        QPointer<frmAbout> box = viewer.findChild<frmAbout*>();
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box.data()));
        QTest::mouseClick(box->lblURL, Qt::LeftButton);
        QCOMPARE(textColour(box->lblURL), QColor(0, 0, 128));
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 1);
        QCOMPARE(dialogs.shown().front().text, Address);
        QVERIFY(launcher.started().empty());
        QVERIFY(box->isHidden()); // closed whether or not the site opened
        deleteClosed();
        QVERIFY(!box);
    }
}

void AboutTest::oneBoxOwnedByTheViewer()
{
    frmLumra viewer({});
    viewer.show();
    viewer.mnuMorvanell_Click();
    frmAbout* first = viewer.findChild<frmAbout*>();
    QVERIFY(first);
    viewer.mnuMorvanell_Click();
    QCOMPARE(openBoxes(viewer), QList<frmAbout*> { first });
    QCOMPARE(first->parentWidget(), &viewer);
    QVERIFY(!first->isModal());
    QVERIFY(viewer.isEnabled());
}

void AboutTest::loadRunsAgainAfterClose()
{
    ScriptedDialogs dialogs;
    frmLumra viewer({});
    viewer.mnuMorvanell_Click();
    frmAbout* first = viewer.findChild<frmAbout*>();
    QVERIFY(first);
    QTest::mouseClick(first->lblURL, Qt::LeftButton); // followed and closed
    // Chosen again before the closed box is gone: a new box, loaded afresh.
    viewer.mnuMorvanell_Click();
    const QList<frmAbout*> boxes = openBoxes(viewer);
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes.front() != first);
    QCOMPARE(textColour(boxes.front()->lblURL), QColor(0, 0, 255));
    QCOMPARE(boxes.front()->lblVersion->text(), QStringLiteral("Version 1.0"));
}

void AboutTest::topmostFollowsStayOnTop_data()
{
    QTest::addColumn<bool>("stayOnTop");
    QTest::newRow("Stay On Top on") << true;
    QTest::newRow("Stay On Top off") << false;
}

void AboutTest::topmostFollowsStayOnTop()
{
    QFETCH(bool, stayOnTop);
    frmLumra viewer({});
    basOptions::CurrentOptions.StayOnTop = !stayOnTop;
    viewer.mnuOptionsStayOnTop_Click(); // the option as the command leaves it
    QCOMPARE(basOptions::CurrentOptions.StayOnTop, stayOnTop);
    viewer.mnuMorvanell_Click();
    const frmAbout* box = viewer.findChild<frmAbout*>();
    QVERIFY(box);
    QCOMPARE(bool(box->windowFlags() & Qt::WindowStaysOnTopHint), stayOnTop);
}

void AboutTest::helpLookup_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("opened"); // empty: nothing
    QTest::addColumn<bool>("spaceInFolder");
    const QStringList all { "Lumra.chm", "Lumra.htm", "Help/Lumra.chm", "Help/Lumra.htm" };
    QTest::newRow("all four: the chm beside the program") << all << "Lumra.chm" << false;
    QTest::newRow("htm beside wins over the Help folder")
        << QStringList { "Lumra.htm", "Help/Lumra.chm", "Help/Lumra.htm" } << "Lumra.htm" << false;
    QTest::newRow("Help folder: chm before htm")
        << QStringList { "Help/Lumra.chm", "Help/Lumra.htm" } << "Help/Lumra.chm" << false;
    QTest::newRow("Help folder htm only")
        << QStringList { "Help/Lumra.htm" } << "Help/Lumra.htm" << false;
    QTest::newRow("program folder with a space")
        << QStringList { "Help/Lumra.htm" } << "Help/Lumra.htm" << true;
    QTest::newRow("none of the four") << QStringList { "Help/Other.htm" } << "" << false;
}

void AboutTest::helpLookup()
{
    QFETCH(QStringList, present);
    QFETCH(QString, opened);
    QFETCH(bool, spaceInFolder);
    TestFolder root;
    const std::string program
        = spaceInFolder ? root.folder("My Programs") + "/" : root.path() + "/";
    basGeneral::AppFolder = program;
    ::mkdir((program + "Help").c_str(), 0755);
    for (const QString& name : present)
        std::ofstream(program + name.toStdString()) << "<html></html>";

    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    dialogs.answerOpen(true);
    frmLumra viewer({});
    viewer.mnuHelp_Click();
    QVERIFY(launcher.started().empty());
    QVERIFY(dialogs.messages().isEmpty());
    if (opened.isEmpty()) {
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 0);
    } else {
        QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 1);
        QCOMPARE(dialogs.shown().front().text, QString::fromLocal8Bit(program) + opened);
    }
}

void AboutTest::visitWebsite()
{
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    frmLumra viewer({});
    viewer.mnuVisitWebsite->trigger();
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Open), 1);
    QCOMPARE(dialogs.shown().front().text, Address);
    QVERIFY(launcher.started().empty());
}

QTEST_MAIN(AboutTest)
#include "tst_about.moc"
