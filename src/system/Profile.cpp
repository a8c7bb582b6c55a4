// What profile writes may hold, alike on every system.

#include "system/Profile.h"

namespace sys {

namespace {

// Also true when text holds a zero character.
bool hasAny(const std::string& text, const char* characters)
{
    return text.find_first_of(characters, 0, std::char_traits<char>::length(characters) + 1)
        != std::string::npos;
}

} // namespace

bool profileWriteAllowed(const std::string& section, const std::optional<std::string>& key,
    const std::optional<std::string>& value)
{
    const char* const breaks = "\r\n";
    if (hasAny(section, breaks) || section.find(']') != std::string::npos)
        return false;
    if (key) {
        const std::size_t first = key->find_first_not_of(" \t\r");
        if (first == std::string::npos || hasAny(*key, breaks)
            || key->find('=') != std::string::npos || (*key)[first] == '[' || (*key)[first] == ';')
            return false;
    }
    return !value || !hasAny(*value, breaks);
}

} // namespace sys
