#include "system/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

namespace {

const QByteArray Content("0123456789abcdefghij");

} // namespace

class tst_RegularFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void opensRegularFiles_data();
    void opensRegularFiles();
    void refusesEverythingElse_data();
    void refusesEverythingElse();
    void readsAtOffsets_data();
    void readsAtOffsets();
    void movesOwnership();

private:
    std::string pathOf(const QString& name) const
    {
        return QFile::encodeName(m_dir.filePath(name)).toStdString();
    }

    QTemporaryDir m_dir;
};

void tst_RegularFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile file(m_dir.filePath("content.jpg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(Content), Content.size());
    file.close();
    QFile empty(m_dir.filePath("empty.jpg"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    std::filesystem::create_symlink(pathOf("content.jpg"), pathOf("link.jpg"));
    QVERIFY(QDir(m_dir.path()).mkdir("folder.jpg"));
}

void tst_RegularFile::opensRegularFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");

    QTest::newRow("file") << "content.jpg" << qint64(Content.size());
    QTest::newRow("empty file") << "empty.jpg" << qint64(0);
    QTest::newRow("link to a file") << "link.jpg" << qint64(Content.size());
}

void tst_RegularFile::opensRegularFiles()
{
    QFETCH(QString, name);
    QFETCH(qint64, size);

    const std::optional<sys::RegularFile> file = sys::RegularFile::open(pathOf(name));
    QVERIFY(file.has_value());
    QCOMPARE(file->size(), size);
}

void tst_RegularFile::refusesEverythingElse_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");

    QTest::newRow("folder") << "folder.jpg" << QString();
    QTest::newRow("missing") << "missing.jpg" << QString();
    QTest::newRow("empty path") << QString() << QString();
    QTest::newRow("FIFO") << "fifo.jpg"
                          << "fifo";
    QTest::newRow("link to an endless device") << "zero.jpg"
                                               << "/dev/zero";
    QTest::newRow("link to an empty device") << "null.jpg"
                                             << "/dev/null";
    QTest::newRow("link to a folder") << "folder link.jpg" << m_dir.filePath("folder.jpg");
}

void tst_RegularFile::refusesEverythingElse()
{
    QFETCH(QString, name);
    QFETCH(QString, target);

    if (target == "fifo") {
        // mkfifo is a POSIX program; where there is none, there are no FIFOs to fear.
        if (QProcess::execute("mkfifo", { m_dir.filePath(name) }) != 0)
            QSKIP("FIFOs cannot be made here");
    } else if (!target.isEmpty()) {
        if (!std::filesystem::exists(target.toStdString()))
            QSKIP("no such device here");
        std::filesystem::create_symlink(target.toStdString(), pathOf(name));
    }

    const std::string path = name.isEmpty() ? std::string() : pathOf(name);
    // On its own thread, so that an open that blocks fails the test instead of hanging it.
    auto task = std::make_shared<std::packaged_task<bool()>>(
        [path] { return sys::RegularFile::open(path).has_value(); });
    std::future<bool> opened = task->get_future();
    std::thread worker([task] { (*task)(); });
    if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        worker.detach();
        QFAIL("opening blocked");
    }
    worker.join();
    QVERIFY(!opened.get());
}

void tst_RegularFile::readsAtOffsets_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("result");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("all") << qint64(0) << qint64(20) << qint64(20) << Content;
    QTest::newRow("middle") << qint64(5) << qint64(4) << qint64(4) << QByteArray("5678");
    QTest::newRow("past the end") << qint64(15) << qint64(10) << qint64(5) << QByteArray("fghij");
    QTest::newRow("at the end") << qint64(20) << qint64(10) << qint64(0) << QByteArray();
    QTest::newRow("beyond the end") << qint64(100) << qint64(10) << qint64(0) << QByteArray();
    QTest::newRow("nothing") << qint64(3) << qint64(0) << qint64(0) << QByteArray();
    QTest::newRow("negative offset") << qint64(-1) << qint64(4) << qint64(-1) << QByteArray();
}

void tst_RegularFile::readsAtOffsets()
{
    QFETCH(qint64, offset);
    QFETCH(qint64, count);
    QFETCH(qint64, result);
    QFETCH(QByteArray, bytes);

    const std::optional<sys::RegularFile> file = sys::RegularFile::open(pathOf("content.jpg"));
    QVERIFY(file.has_value());
    QByteArray buffer(count, '\0');
    QCOMPARE(file->readAt(offset, buffer.data(), count), result);
    QCOMPARE(buffer.left(qMax<qint64>(result, 0)), bytes);
    // Reads are positioned: one does not move another.
    char first = '\0';
    QCOMPARE(file->readAt(0, &first, 1), qint64(1));
    QCOMPARE(first, '0');
}

void tst_RegularFile::movesOwnership()
{
    std::optional<sys::RegularFile> file = sys::RegularFile::open(pathOf("content.jpg"));
    QVERIFY(file.has_value());
    sys::RegularFile moved = std::move(*file);
    // The emptied original must not close what it gave away.
    file.reset();
    char byte = '\0';
    QCOMPARE(moved.readAt(1, &byte, 1), qint64(1));
    QCOMPARE(byte, '1');

    std::optional<sys::RegularFile> other = sys::RegularFile::open(pathOf("empty.jpg"));
    QVERIFY(other.has_value());
    moved = std::move(*other);
    QCOMPARE(moved.size(), qint64(0));
    QCOMPARE(moved.readAt(0, &byte, 1), qint64(0));
}

QTEST_GUILESS_MAIN(tst_RegularFile)
#include "tst_regularfile.moc"
