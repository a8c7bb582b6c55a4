#pragma once

// A settings file in Qt's INI format, read safely and changed atomically. Only a regular
// file of at most 1 MiB is read (anything else holds no values), and a line that Qt would
// decode from binary data never reaches Qt. A change is made under the file's lock on a
// scratch copy, which replaces the file only once it reads back whole. Before a file with
// lines that a rewrite would lose (or one too big to read) is rewritten or removed, it is
// kept under a second name beside it, <name>.bad.
// File names are the file system's bytes; keys ("Group/Sub/Name") and texts are UTF-8.

#include <map>
#include <optional>
#include <string>

namespace sys {

using SettingsValues = std::map<std::string, std::string>;

// Every value in file as text; the items of a list are joined by ", ".
SettingsValues readSettings(const std::string& file);

// Sets key to text or, without a text, removes key and every key under it. False when the
// file was left as it was.
bool changeSettings(
    const std::string& file, const std::string& key, const std::optional<std::string>& text);

// Removes file. False when it is still there.
bool removeSettings(const std::string& file);

} // namespace sys
