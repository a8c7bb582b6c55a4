#pragma once

// The per-user and per-machine settings store, addressed the way the registry addresses it:
// a predefined root key, a path of subkeys separated by "\" and named values under each key.
// Windows uses its registry. Elsewhere a key "Software\Org\App\Group..." is the group
// "Group/..." of the QSettings file Org/App.conf: the current user's under $XDG_CONFIG_HOME
// (default ~/.config), the machine's under the first folder of $XDG_CONFIG_DIRS (default
// /etc/xdg). The shell's "Shell Folders" key answers "My Pictures" from the XDG user folders.
// Names and data are the system's bytes.

#include <cstdint>
#include <memory>
#include <string>

namespace sys {

// The predefined root keys, by their Windows handle values; None addresses nothing.
enum class RootKey : std::uint32_t {
    None = 0,
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
};

// The result of a registry call: 0 for success, otherwise the system's error code.
using RegStatus = long;
constexpr RegStatus RegSuccess = 0;
constexpr RegStatus RegFileNotFound = 2;
constexpr RegStatus RegAccessDenied = 5;
constexpr RegStatus RegInvalidParameter = 87;
constexpr RegStatus RegMoreData = 234;

// A key opened for full access. Closed when destroyed. An empty value name stands for the
// key's default (unnamed) value.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // The size in bytes of a value's data; a string value counts its terminating zero.
    virtual RegStatus valueSize(const std::string& name, std::uint32_t& size) = 0;
    // Reads a value's data into data, which is given room for size bytes.
    virtual RegStatus readValue(const std::string& name, std::uint32_t size, std::string& data) = 0;
    // Writes text as a string value (stored with its terminating zero).
    virtual RegStatus writeString(const std::string& name, const std::string& text) = 0;
    virtual RegStatus deleteValue(const std::string& name) = 0;
};

// Opens an existing key for full access.
RegStatus openKey(RootKey root, const std::string& subKey, std::unique_ptr<RegistryKey>& key);
// Opens a key for full access, creating it and every missing key along the path.
RegStatus createKey(RootKey root, const std::string& subKey, std::unique_ptr<RegistryKey>& key);
// Deletes a key that has no subkeys.
RegStatus deleteKey(RootKey root, const std::string& subKey);

} // namespace sys
