#include "system/Registry.h"

#include <windows.h>

namespace sys {

namespace {

// The calls take names as C strings, so a name holding a zero would stop there and name
// another key or value: it is refused, as the POSIX store refuses it.
bool holdsZero(const std::string& name) { return name.find('\0') != std::string::npos; }

// The predefined handles are sign-extended on 64-bit Windows, so they are taken from the
// system's own definitions rather than built from the numbers.
HKEY rootHandle(RootKey root)
{
    switch (root) {
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RootKey::CurrentUser: return HKEY_CURRENT_USER;
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::Users: return HKEY_USERS;
    case RootKey::None: break;
    }
    return nullptr;
}

class Win32Key final : public RegistryKey {
public:
    explicit Win32Key(HKEY key)
        : m_key(key)
    {
    }
    ~Win32Key() override { ::RegCloseKey(m_key); }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;

    RegStatus valueSize(const std::string& name, std::uint32_t& size) override
    {
        if (holdsZero(name))
            return RegInvalidParameter;
        DWORD bytes = 0;
        const LONG status
            = ::RegQueryValueExA(m_key, name.c_str(), nullptr, nullptr, nullptr, &bytes);
        size = bytes;
        return status;
    }

    RegStatus readValue(const std::string& name, std::uint32_t size, std::string& data) override
    {
        if (holdsZero(name))
            return RegInvalidParameter;
        std::string buffer(size, '\0');
        DWORD bytes = size;
        const LONG status = ::RegQueryValueExA(
            m_key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (status == ERROR_SUCCESS) {
            buffer.resize(bytes);
            data = std::move(buffer);
        }
        return status;
    }

    RegStatus writeString(const std::string& name, const std::string& text) override
    {
        if (holdsZero(name))
            return RegInvalidParameter;
        return ::RegSetValueExA(m_key, name.c_str(), 0, REG_SZ,
            reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    }

    RegStatus deleteValue(const std::string& name) override
    {
        if (holdsZero(name))
            return RegInvalidParameter;
        return ::RegDeleteValueA(m_key, name.c_str());
    }

private:
    HKEY m_key;
};

} // namespace

RegStatus openKey(RootKey root, const std::string& subKey, std::unique_ptr<RegistryKey>& key)
{
    if (holdsZero(subKey))
        return RegInvalidParameter;
    HKEY opened = nullptr;
    const LONG status
        = ::RegOpenKeyExA(rootHandle(root), subKey.c_str(), 0, KEY_ALL_ACCESS, &opened);
    if (status == ERROR_SUCCESS)
        key = std::make_unique<Win32Key>(opened);
    return status;
}

RegStatus createKey(RootKey root, const std::string& subKey, std::unique_ptr<RegistryKey>& key)
{
    if (holdsZero(subKey))
        return RegInvalidParameter;
    HKEY opened = nullptr;
    const LONG status = ::RegCreateKeyExA(rootHandle(root), subKey.c_str(), 0, nullptr,
        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS)
        key = std::make_unique<Win32Key>(opened);
    return status;
}

RegStatus deleteKey(RootKey root, const std::string& subKey)
{
    if (holdsZero(subKey))
        return RegInvalidParameter;
    return ::RegDeleteKeyA(rootHandle(root), subKey.c_str());
}

} // namespace sys
