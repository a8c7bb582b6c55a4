// Profile (INI) files by the rules of the Windows profile calls, on the platform the tests
// are built for: names in any letter case, values cut to the buffer, sections and keys
// deleted, a file made when first written, Windows line ends read. Line ends written are
// compared without their "\r".

#include "ContractSupport.h"
#include "system/Profile.h"

#include <gtest/gtest.h>
#include <iterator>
#include <vector>

using contract::TemporaryFolder;
using Name = std::optional<std::string>;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text;
    for (char c : std::string(std::istreambuf_iterator<char>(in), {}))
        if (c != '\r')
            text += c;
    return text;
}

std::string read(const Name& section, const Name& key, std::size_t room, const std::string& file)
{
    std::vector<char> buffer(room);
    const std::size_t length = sys::readProfileString(section, key, "d", buffer, file);
    return std::string(buffer.data(), length);
}

} // namespace

TEST(Profile, ReadsByTheRules)
{
    TemporaryFolder dir;
    const std::string file
        = dir.file("p.ini", "[Viewer]\r\nSorted = False \r\nk=" + std::string(5000, 'x') + "\n");
    EXPECT_EQ(read("VIEWER", "sorted", 4096, file), "False");
    EXPECT_EQ(read("Viewer", "none", 4096, file), "d");
    EXPECT_EQ(read("Viewer", "k", 4096, file), std::string(4095, 'x')); // cut to the buffer
    EXPECT_EQ(read("Viewer", std::nullopt, 4096, file), std::string("Sorted\0k\0", 9));
    EXPECT_EQ(read("None", "k", 4096, dir.path("none.ini")), "d");
}

TEST(Profile, WritesAndDeletes)
{
    TemporaryFolder dir;
    const std::string file = dir.path("p.ini");
    EXPECT_TRUE(sys::writeProfileString("S", "k", "v", file)); // a new file
    EXPECT_EQ(readAll(file), "[S]\nk=v\n");
    EXPECT_TRUE(sys::writeProfileString("s", "K", "w", file)); // the key in any case
    EXPECT_EQ(read("S", "k", 4096, file), "w");
    EXPECT_TRUE(sys::writeProfileString("T", "x", "1", file));
    EXPECT_TRUE(sys::writeProfileString("S", "k", std::nullopt, file)); // the key deleted
    EXPECT_EQ(read("S", "k", 4096, file), "d");
    EXPECT_TRUE(sys::writeProfileString("T", std::nullopt, std::nullopt, file)); // the section
    EXPECT_EQ(read("T", "x", 4096, file), "d");
}
