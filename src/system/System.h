#pragma once

// The operating-system layer: the few services of the file system and the process that
// the viewer needs, in standard types only, so that it builds on POSIX and on Windows
// without the rest of the program knowing which. Paths are the file system's own bytes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sys {

// The native path separator, as text: "/" on POSIX, "\" on Windows.
extern const char* const PathSeparator;

// folder with the path separator after it, unless it ends in one already. Folder paths are
// kept as std::string below the windows and as QString in them; this serves both.
template <class Text> Text withTrailingSeparator(Text folder)
{
    if (folder.size() == 0 || folder.back() != PathSeparator[0])
        folder += PathSeparator;
    return folder;
}

// folder as the system writes it, ending in exactly one separator: Qt hands folders back
// with "/" on every system, and on Windows each becomes "\". A drive root keeps its one.
std::string nativeFolder(std::string folder);

// A failed system call: its error number and the system's text for it.
struct SystemError {
    int number = 0;
    std::string description;
};

// Attributes of a path, as far as the viewer asks about them.
struct PathAttributes {
    bool directory = false;
};

// The attributes of path (following links), or nothing when they cannot be read.
std::optional<PathAttributes> attributesOf(const std::string& path);

// One entry of a folder listing: its name and whether it is a file that can be read like
// one: a regular file or a link to one. Folders, pipes, devices, sockets and links that lead
// nowhere are not.
struct FolderEntry {
    std::string name;
    bool regularFile = false;
};

// The entries of one folder, without "." and "..", in the order the system gives them.
// A folder that cannot be read lists nothing.
std::vector<FolderEntry> listFolder(const std::string& folder);

// The same, but only the entries whose names keep accepts: the others are passed over in the
// same pass, without being stored or looked at more closely.
std::vector<FolderEntry> listFolder(
    const std::string& folder, const std::function<bool(std::string_view name)>& keep);

// Deletes the file or link at path for good, never a folder: a read-only file is made
// writable by its owner first. Nothing on success, else the system's error number.
std::optional<int> removeFile(const std::string& path);

// True when a key event's native scan code is that of the key left of 1 on the main
// block, whatever character the keyboard layout gives it.
bool isKeyLeftOfOne(std::uint32_t nativeScanCode);

// The Latin letter or digit (upper case) of the key with a native scan code, by its place
// on a US keyboard, or 0 for any other key: how a key is found under a layout that prints
// no Latin letters.
char latinKeyAt(std::uint32_t nativeScanCode);

// The process's current directory, or empty text when it cannot be read.
std::string currentDirectory();

// The system's text for an error number.
std::string errorText(int number);

} // namespace sys
