// The operating-system layer's promises about files, on the platform it is built for: only a
// regular file opens, and opening never waits on a FIFO or a device; reads at offsets; a
// listing that agrees with opening; removing a file without following links, never a folder.
// Names outside Windows' old code pages pass whole (through the manifest's UTF-8 code page).

#include "ContractSupport.h"
#include "system/ProgramVersion.h"
#include "system/RegularFile.h"
#include "system/System.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using contract::TemporaryFolder;
namespace fs = std::filesystem;

TEST(RegularFile, OpensOnlyARegularFile)
{
    TemporaryFolder dir;
    const std::string content = dir.file("content.jpg", "0123456789");
    dir.folder("folder.jpg");
    dir.file("日本.png", "01234");
    dir.file("Ā-odd.png", "0123456");
    struct Row {
        std::string name;
        std::int64_t size; // -1: refused
    };
    std::vector<Row> rows = { { "content.jpg", 10 }, { "folder.jpg", -1 }, { "none.jpg", -1 },
        { "日本.png", 5 }, { "Ā-odd.png", 7 } };
    // What the platform has: on this thread, an open that waited for the FIFO's writer or
    // read the device would hang the test.
    if (contract::makeLink(content, dir.path("link.jpg")))
        rows.push_back({ "link.jpg", 10 });
    if (contract::makeLink(dir.path("none.jpg"), dir.path("dangling.jpg")))
        rows.push_back({ "dangling.jpg", -1 });
    if (contract::makeFifo(dir.path("fifo.jpg")))
        rows.push_back({ "fifo.jpg", -1 });
    if (contract::makeLink(contract::endlessDevice(), dir.path("device.jpg")))
        rows.push_back({ "device.jpg", -1 });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto file = sys::RegularFile::open(dir.path(row.name));
        EXPECT_EQ(file ? file->size() : -1, row.size);
        // The listing agrees, and holds every file that opens under the name it opened by.
        const auto listing = sys::listFolder(dir.path());
        const auto entry = std::find_if(listing.begin(), listing.end(),
            [&](const sys::FolderEntry& listed) { return listed.name == row.name; });
        if (entry != listing.end())
            EXPECT_EQ(entry->regularFile, row.size >= 0);
        else
            EXPECT_LT(row.size, 0);
    }
    EXPECT_FALSE(sys::RegularFile::open(contract::endlessDevice()));
}

TEST(RegularFile, ReadsAtOffsets)
{
    TemporaryFolder dir;
    const auto file = sys::RegularFile::open(dir.file("content", "0123456789"));
    ASSERT_TRUE(file);
    std::string buffer(8, '\0');
    EXPECT_EQ(file->readAt(6, buffer.data(), 8), 4); // stops at the end
    EXPECT_EQ(buffer.substr(0, 4), "6789");
    EXPECT_EQ(file->readAt(2, buffer.data(), 0), 0);
    EXPECT_EQ(file->readAt(-1, buffer.data(), 8), -1);
}

TEST(RemoveFile, RemovesAFileOrALinkNeverAFolder)
{
    TemporaryFolder dir;
    const fs::perms readOnly
        = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const std::string target = dir.file("日本-read-only");
    fs::permissions(contract::bytes(target), readOnly);
    if (contract::makeLink(target, dir.path("link"))) {
        EXPECT_EQ(sys::removeFile(dir.path("link")), std::nullopt); // the link itself goes,
        EXPECT_EQ(fs::status(contract::bytes(target)).permissions() & fs::perms::all,
            readOnly); // not its target
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path("link"))));
    }
    EXPECT_EQ(sys::removeFile(target), std::nullopt);
    EXPECT_FALSE(fs::exists(contract::bytes(target)));
    const std::string fifo = dir.path("fifo");
    if (contract::makeFifo(fifo)) {
        fs::create_hard_link(fifo, fifo + "2");
        EXPECT_EQ(sys::removeFile(fifo), std::nullopt);
        // Only a regular file is made writable first.
        EXPECT_EQ(fs::status(fifo + "2").permissions() & fs::perms::all, readOnly);
    }
    const std::string folder = dir.folder("folder");
    EXPECT_EQ(sys::removeFile(folder), contract::folderError());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_NE(sys::removeFile(dir.path("none")), std::nullopt);
}

TEST(System, CurrentDirectory)
{
    TemporaryFolder dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(fs::path(sys::currentDirectory()), fs::current_path());
    fs::current_path(before);
}

TEST(System, ProgramVersion)
{
    // On Windows read from the program file's version information, written from the same
    // number the build gives the code.
    const std::string built
        = std::to_string(LUMRA_VERSION_MAJOR) + '.' + std::to_string(LUMRA_VERSION_MINOR);
    EXPECT_EQ(sys::programVersion(), built);
    EXPECT_EQ(sys::recordedVersion(), contract::Windows ? std::optional(built) : std::nullopt);
}

TEST(System, NativeFolder)
{
    const std::string sep = contract::Windows ? "\\" : "/";
    EXPECT_EQ(sys::nativeFolder("C:/Pictures/2026"), "C:" + sep + "Pictures" + sep + "2026" + sep);
    EXPECT_EQ(sys::nativeFolder("C:/Pictures/"), "C:" + sep + "Pictures" + sep);
    EXPECT_EQ(sys::nativeFolder("C:/"), "C:" + sep); // a root keeps its one separator
}
