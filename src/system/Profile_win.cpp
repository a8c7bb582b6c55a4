#include "system/Profile.h"

#include <windows.h>

namespace sys {

namespace {
const char* orNull(const std::optional<std::string>& text)
{
    return text ? text->c_str() : nullptr;
}
} // namespace

std::size_t readProfileString(const std::optional<std::string>& section,
    const std::optional<std::string>& key, const std::string& defaultText, std::span<char> buffer,
    const std::string& file)
{
    if (buffer.empty())
        return 0;
    return ::GetPrivateProfileStringA(orNull(section), orNull(key), defaultText.c_str(),
        buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
}

bool writeProfileString(const std::optional<std::string>& section,
    const std::optional<std::string>& key, const std::optional<std::string>& value,
    const std::string& file)
{
    // The system would write a line break or a "]" as it stands, and so make new entries of
    // it, and would stop at a zero.
    if (section && !profileWriteAllowed(*section, key, value))
        return false;
    return ::WritePrivateProfileStringA(orNull(section), orNull(key), orNull(value), file.c_str())
        != FALSE;
}

} // namespace sys
