// The folder picker: the prompt, the initial folder, the separator rules in both
// directions and cancel.

#include "ScriptedDialogs.h"
#include "platform/zbasBrowseForFolder.h"

#include <QtTest>

using namespace zbasBrowseForFolder;

class BrowseForFolderTest : public QObject {
    Q_OBJECT
private slots:
    void separators_data();
    void separators();
    void prompt_data();
    void prompt();
    void showFolderBrowserPassesThrough_data();
    void showFolderBrowserPassesThrough();
};

void BrowseForFolderTest::separators_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("dialogGets");
    QTest::addColumn<QString>("chosen"); // empty: cancelled
    QTest::addColumn<QString>("result");
    QTest::newRow("trailing separator taken off going in, put on coming out")
        << "/home/ann/Pictures/"
        << "/home/ann/Pictures"
        << "/home/ann/Holiday"
        << "/home/ann/Holiday/";
    QTest::newRow("no trailing separator going in") << "/home/ann/Pictures"
                                                    << "/home/ann/Pictures"
                                                    << "/srv/photos"
                                                    << "/srv/photos/";
    QTest::newRow("only one separator taken off") << "/home/ann//"
                                                  << "/home/ann/"
                                                  << "/a"
                                                  << "/a/";
    QTest::newRow("the root keeps its separator going in") << "/"
                                                           << "/"
                                                           << "/srv"
                                                           << "/srv/";
    QTest::newRow("the root chosen gets no second separator") << "/home"
                                                              << "/home"
                                                              << "/"
                                                              << "/";
    QTest::newRow("a chosen folder already ending in one gets no second") << ""
                                                                          << ""
                                                                          << "/srv/photos/"
                                                                          << "/srv/photos/";
    QTest::newRow("no initial folder") << ""
                                       << ""
                                       << "/srv"
                                       << "/srv/";
    QTest::newRow("cancel gives empty text") << "/home/ann/"
                                             << "/home/ann"
                                             << ""
                                             << "";
}

void BrowseForFolderTest::separators()
{
    QFETCH(QString, initial);
    QFETCH(QString, dialogGets);
    QFETCH(QString, chosen);
    QFETCH(QString, result);
    ScriptedDialogs dialogs;
    if (!chosen.isEmpty())
        dialogs.answerFolder(chosen);
    QCOMPARE(BrowseForFolder(initial, QStringLiteral("Pick one")), result);
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Folder), 1);
    QCOMPARE(dialogs.shown().front().title, dialogGets); // the initial folder, preselected
    QCOMPARE(dialogs.shown().front().text, QStringLiteral("Pick one"));
}

void BrowseForFolderTest::prompt_data()
{
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the viewer's prompt")
        << "Please select the folder containing the Image Files to view."
        << "Please select the folder containing the Image Files to view.";
    QTest::newRow("empty prompt") << ""
                                  << "Select Folder";
}

void BrowseForFolderTest::prompt()
{
    QFETCH(QString, prompt);
    QFETCH(QString, shown);
    ScriptedDialogs dialogs;
    BrowseForFolder(QStringLiteral("/srv"), prompt);
    QCOMPARE(dialogs.shown().front().text, shown);
}

void BrowseForFolderTest::showFolderBrowserPassesThrough_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("path as the dialog gives it") << "/srv/"
                                                 << "/srv/photos";
    QTest::newRow("cancel") << "/srv"
                            << "";
}

void BrowseForFolderTest::showFolderBrowserPassesThrough()
{
    QFETCH(QString, initial);
    QFETCH(QString, chosen);
    ScriptedDialogs dialogs;
    if (!chosen.isEmpty())
        dialogs.answerFolder(chosen);
    QCOMPARE(ShowFolderBrowser(initial, QStringLiteral("Pick")), chosen);
    QCOMPARE(dialogs.shown().front().title, initial);
}

QTEST_MAIN(BrowseForFolderTest)
#include "tst_browseforfolder.moc"
