// The error reports: their exact texts, and what a routine does after one.

#include "ScriptedDialogs.h"
#include "platform/zbasErrorTrap.h"

#include <QApplication>
#include <QtTest>
#include <cerrno>
#include <cstring>

using namespace zbasErrorTrap;

class ErrorTrapTest : public QObject {
    Q_OBJECT
private slots:
    void init() { setUnloadViewer(nullptr); }
    void trapText_data();
    void trapText();
    void briefText();
    void cancelUnloadsOkDoesNot();
    void resumeNextAndLeave();
    void systemErrorCarriesErrnoAndText();
    void otherFailuresHaveNumbers();
    void ignoredNumberPassesSilently();
    void ownFailuresCarryTheirDescriptions();
    void trapRestoresThePointer();
};

void ErrorTrapTest::trapText_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");
    QTest::newRow("registry read")
        << 5 << "Invalid procedure call or argument"
        << "Unexpected Error: 5\r\n\r\nFunction: CReg : GetReg\r\n\r\nError Description: \r\n"
           "Invalid procedure call or argument";
    QTest::newRow("empty description keeps its line")
        << 5 << ""
        << "Unexpected Error: 5\r\n\r\nFunction: CReg : GetReg\r\n\r\nError Description: \r\n";
    QTest::newRow("negative number") << -2147024891 << "Access is denied."
                                     << "Unexpected Error: -2147024891\r\n\r\nFunction: CReg : "
                                        "GetReg\r\n\r\nError Description: \r\n"
                                        "Access is denied.";
}

void ErrorTrapTest::trapText()
{
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, expected);
    ScriptedDialogs dialogs;
    Handler::trap(QStringLiteral("CReg"), QStringLiteral("GetReg"))(
        [&] { Raise(number, description); });
    QCOMPARE(dialogs.messages(), QStringList { expected });
    QCOMPARE(dialogs.shown().front().buttons, MsgButtons::OKCancel);
    QCOMPARE(dialogs.shown().front().icon, MsgIcon::Exclamation);
}

void ErrorTrapTest::briefText()
{
    ScriptedDialogs dialogs;
    Handler::brief()([] { Raise(53, QStringLiteral("File not found")); });
    QCOMPARE(dialogs.messages(), QStringList { QStringLiteral("53 : File not found") });
    QCOMPARE(dialogs.shown().front().buttons, MsgButtons::OK);
    QCOMPARE(dialogs.shown().front().icon, MsgIcon::Exclamation);
}

void ErrorTrapTest::cancelUnloadsOkDoesNot()
{
    int unloads = 0;
    setUnloadViewer([&] { ++unloads; });
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MsgAnswer::OK);
    dialogs.answerMessage(MsgAnswer::Cancel);
    auto onError = Handler::trap(QStringLiteral("Options"), QStringLiteral("GetOption"));
    onError([] { Raise(13, QStringLiteral("Type mismatch")); });
    QCOMPARE(unloads, 0);
    onError([] { Raise(13, QStringLiteral("Type mismatch")); });
    QCOMPARE(unloads, 1);
    QVERIFY(dialogs.messages().at(1).contains(QStringLiteral("Function: Options : GetOption\r\n")));

    // The short report never closes anything.
    dialogs.answerMessage(MsgAnswer::Cancel);
    Handler::brief()([] { Raise(9, QStringLiteral("Subscript out of range")); });
    QCOMPARE(unloads, 1);
}

void ErrorTrapTest::resumeNextAndLeave()
{
    ScriptedDialogs dialogs;
    QStringList ran;
    auto routine = [&](bool leaveOnFailure) {
        auto onError = Handler::trap(QStringLiteral("Lumra"), QStringLiteral("Lumra"));
        onError([&] { ran << "1"; });
        const bool ok = onError([&] {
            Raise(5, QStringLiteral("boom"));
            ran << "never";
        });
        if (!ok && leaveOnFailure)
            return;
        onError([&] { ran << "3"; });
    };
    routine(false);
    QCOMPARE(ran, (QStringList { "1", "3" }));
    ran.clear();
    routine(true);
    QCOMPARE(ran, QStringList { "1" });
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 2);
}

void ErrorTrapTest::systemErrorCarriesErrnoAndText()
{
    ScriptedDialogs dialogs;
    Handler::brief()([] { RaiseSystemError(ENOENT); });
    QCOMPARE(Err().Number, ENOENT);
    QCOMPARE(dialogs.messages(),
        QStringList { QString::number(ENOENT) + QStringLiteral(" : ")
            + QString::fromLocal8Bit(std::strerror(ENOENT)) });
}

void ErrorTrapTest::otherFailuresHaveNumbers()
{
    ScriptedDialogs dialogs;
    auto onError = Handler::brief();
    onError([] { throw std::bad_alloc(); });
    QCOMPARE(Err().Number, 7);
    onError([] { (void)std::vector<int>().at(3); });
    QCOMPARE(Err().Number, 9);
    QVERIFY(onError.anyFailed());
    QCOMPARE(dialogs.count(ScriptedDialogs::Kind::Message), 2);
}

void ErrorTrapTest::ignoredNumberPassesSilently()
{
    ScriptedDialogs dialogs;
    auto onError = Handler::brief().ignoring(SubscriptOutOfRange);
    QVERIFY(onError([] { Raise(9, QStringLiteral("Subscript out of range")); }));
    QVERIFY(dialogs.shown().empty());
    QVERIFY(!onError([] { Raise(6, QStringLiteral("Overflow")); }));
    QCOMPARE(dialogs.messages(), QStringList { QStringLiteral("6 : Overflow") });
}

// The program's own failures are reported with the numbers and texts users know them by.
void ErrorTrapTest::ownFailuresCarryTheirDescriptions()
{
    ScriptedDialogs dialogs;
    for (const ErrorKind& kind : { InvalidProcedureCall, Overflow, OutOfMemory, SubscriptOutOfRange,
             TypeMismatch, FileNotFound, DeviceIOError, PathFileAccessError, ObjectNotSet })
        Handler::brief()([&] { Raise(kind); });
    QCOMPARE(dialogs.messages(),
        (QStringList { "5 : Invalid procedure call or argument", "6 : Overflow",
            "7 : Out of memory", "9 : Subscript out of range", "13 : Type mismatch",
            "53 : File not found", "57 : Device I/O error", "75 : Path/File access error",
            "91 : Object variable or With block variable not set" }));
}

void ErrorTrapTest::trapRestoresThePointer()
{
    ScriptedDialogs dialogs;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    Handler::trap(QStringLiteral("About"), QStringLiteral("About"))([] { Raise(5, QString()); });
    QVERIFY(!QApplication::overrideCursor());
    // The short report leaves the pointer alone.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Handler::brief()([] { Raise(5, QString()); });
    QVERIFY(QApplication::overrideCursor());
    QApplication::restoreOverrideCursor();
}

QTEST_MAIN(ErrorTrapTest)
#include "tst_errortrap.moc"
