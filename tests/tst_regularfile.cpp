// The one place special files are refused: only a regular file opens, and opening never
// waits on a FIFO or a device. Reads at offsets, and removing a file without following links
// or removing a folder.

#include "Support.h"
#include "system/RegularFile.h"
#include "system/System.h"

#include <filesystem>

class RegularFileTest : public QObject {
    Q_OBJECT
    TestFolder m_dir;
    const std::string m_content = m_dir.file("content.jpg", "0123456789");

private slots:
    void open_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size"); // -1: refused
        ::mkfifo(m_dir.path("fifo.jpg").c_str(), 0600);
        std::filesystem::create_symlink(m_content, m_dir.path("link.jpg"));
        std::filesystem::create_symlink("/dev/zero", m_dir.path("zero.jpg"));
        m_dir.folder("folder.jpg");
        QTest::newRow("file") << "content.jpg" << 10;
        QTest::newRow("link to a file") << "link.jpg" << 10;
        QTest::newRow("folder") << "folder.jpg" << -1;
        QTest::newRow("FIFO") << "fifo.jpg" << -1;
        QTest::newRow("link to an endless device") << "zero.jpg" << -1;
    }
    void open()
    {
        QFETCH(QString, name);
        QFETCH(int, size);
        // On this thread: an open that waited for the FIFO's writer would hang the test.
        const auto file = sys::RegularFile::open(m_dir.path(name.toStdString()));
        QCOMPARE(file ? int(file->size()) : -1, size);
        for (const sys::FolderEntry& entry : sys::listFolder(m_dir.path())) // the listing agrees
            if (entry.name == name.toStdString())
                QCOMPARE(entry.regularFile, size >= 0);
    }

    void readAt()
    {
        const auto file = sys::RegularFile::open(m_content);
        QByteArray buffer(8, '\0');
        QCOMPARE(file->readAt(6, buffer.data(), 8), 4); // stops at the end
        QCOMPARE(buffer.left(4), "6789");
        QCOMPARE(file->readAt(2, buffer.data(), 0), 0);
        QCOMPARE(file->readAt(-1, buffer.data(), 8), -1);
    }

    void removeFile()
    {
        namespace fs = std::filesystem;
        const std::string readOnly = m_dir.file("read-only"), fifo = m_dir.path("fifo");
        fs::permissions(readOnly, fs::perms(0444));
        fs::create_symlink(readOnly, m_dir.path("link"));
        QVERIFY(!::mkfifo(fifo.c_str(), 0444) && !::link(fifo.c_str(), (fifo + "2").c_str()));
        QCOMPARE(sys::removeFile(m_dir.path("link")).value_or(0), 0); // the link itself goes,
        QCOMPARE(fs::status(readOnly).permissions(), fs::perms(0444)); // not its target
        QCOMPARE(sys::removeFile(readOnly).value_or(0), 0);
        QCOMPARE(sys::removeFile(fifo).value_or(0), 0);
        // Only a regular file is made writable first.
        QCOMPARE(fs::status(fifo + "2").permissions(), fs::perms(0444));
        QCOMPARE(sys::removeFile(m_dir.folder("folder")).value_or(0), EISDIR);
        QVERIFY(!isThere(readOnly) && !isThere(fifo) && isThere(m_dir.path("folder")));
    }
};

QTEST_MAIN(RegularFileTest)
#include "tst_regularfile.moc"
