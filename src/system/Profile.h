#pragma once

// Profile (INI) files, read and written by the rules of the Windows profile calls: section
// and key names compared without regard to letter case, values trimmed and unquoted when
// read, a section's key names (or a file's section names) handed out each followed by a zero
// character, results cut to fit the buffer. Writing creates the file or the section when
// needed; a null key deletes the whole section, a null value deletes the key. Names and
// values are the system's bytes.

#include <cstddef>
#include <optional>
#include <span>
#include <string>

namespace sys {

// Fills buffer with the value of key in section of file, or the default when the key is
// missing; with a null key, the section's key names; with a null section, the file's section
// names. The text in buffer always ends with a zero character. Returns the number of
// characters put in buffer, not counting the final zero.
std::size_t readProfileString(const std::optional<std::string>& section,
    const std::optional<std::string>& key, const std::string& defaultText, std::span<char> buffer,
    const std::string& file);

// Whether a write of these names and value leaves the file's other entries as they are. A
// line break or a zero in any of them would start new lines or cut the text short, a "]"
// would end the section's name early, and a key name that is blank, holds "=" or starts
// with "[" or ";" would read back as something else: such writes are refused.
bool profileWriteAllowed(const std::string& section, const std::optional<std::string>& key,
    const std::optional<std::string>& value);

// Writes value under key in section of file, deletes the key (null value) or the whole
// section (null key). True when that succeeded; false for a write profileWriteAllowed
// refuses, which changes nothing.
bool writeProfileString(const std::optional<std::string>& section,
    const std::optional<std::string>& key, const std::optional<std::string>& value,
    const std::string& file);

} // namespace sys
