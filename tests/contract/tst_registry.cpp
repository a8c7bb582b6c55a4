// The settings store's promises, addressed as the registry addresses it, on the platform the
// tests are built for: keys made along their whole path, string values stored with their
// zero, the default (unnamed) value, what is missing, and keys deleted only without subkeys.
// Everything lives under a key of its own below the current user's Software key.

#include "system/Registry.h"

#include <gtest/gtest.h>

using sys::RegStatus;
using sys::RootKey;

namespace {

const std::string Top = "Software\\Morvanell\\Lumra contract";

// The value's size and data as a key reports them; the size is 0 when the size cannot be read.
std::pair<std::uint32_t, std::string> valueOf(sys::RegistryKey& key, const std::string& name)
{
    std::uint32_t size = 0;
    std::string data;
    if (key.valueSize(name, size) != sys::RegSuccess || key.readValue(name, size, data) != 0)
        return { 0, {} };
    return { size, data };
}

} // namespace

TEST(Registry, KeysAndValues)
{
    std::unique_ptr<sys::RegistryKey> key;
    sys::deleteKey(RootKey::CurrentUser, Top + "\\A\\B"); // what an earlier run left
    sys::deleteKey(RootKey::CurrentUser, Top + "\\A");
    EXPECT_EQ(sys::openKey(RootKey::CurrentUser, Top + "\\A\\B", key), sys::RegFileNotFound);
    EXPECT_EQ(sys::deleteKey(RootKey::CurrentUser, Top + "\\A\\B"), sys::RegFileNotFound);

    ASSERT_EQ(sys::createKey(RootKey::CurrentUser, Top + "\\A\\B", key), sys::RegSuccess);
    EXPECT_EQ(key->writeString("V", "text"), sys::RegSuccess);
    EXPECT_EQ(key->writeString("", "unnamed"), sys::RegSuccess);
    key.reset();

    ASSERT_EQ(sys::openKey(RootKey::CurrentUser, Top + "\\A\\B", key), sys::RegSuccess);
    EXPECT_EQ(valueOf(*key, "V"), std::pair(5u, std::string("text", 5))); // with its zero
    EXPECT_EQ(valueOf(*key, ""), std::pair(8u, std::string("unnamed", 8)));
    std::string data;
    EXPECT_EQ(key->readValue("V", 4, data), sys::RegMoreData);
    std::uint32_t size = 0;
    EXPECT_EQ(key->valueSize("W", size), sys::RegFileNotFound);
    EXPECT_EQ(key->deleteValue("V"), sys::RegSuccess);
    EXPECT_EQ(key->valueSize("V", size), sys::RegFileNotFound);
    EXPECT_EQ(key->deleteValue("V"), sys::RegFileNotFound);
    key.reset();

    EXPECT_EQ(sys::deleteKey(RootKey::CurrentUser, Top + "\\A"), sys::RegAccessDenied);
    EXPECT_EQ(sys::openKey(RootKey::CurrentUser, Top + "\\A\\B", key), sys::RegSuccess);
    key.reset();
    EXPECT_EQ(sys::deleteKey(RootKey::CurrentUser, Top + "\\A\\B"), sys::RegSuccess);
    EXPECT_EQ(sys::openKey(RootKey::CurrentUser, Top + "\\A\\B", key), sys::RegFileNotFound);
}
