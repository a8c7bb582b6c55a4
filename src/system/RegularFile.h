#pragma once

// A file opened for reading only when it is a regular file. A FIFO, a device or a folder
// given a picture's name is refused at once: opening never waits for a writer or a device,
// and nothing is read before the type is known.

#include <cstdint>
#include <optional>
#include <string>

namespace sys {

class RegularFile {
public:
    // What tells one file from another and one version of it from the next: the same file
    // rewritten in place gets another size or modification time, a file put in its place
    // another device or file number.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t file = 0;
        std::int64_t size = 0;
        std::int64_t modified = 0; // in the system's own units
        // When the file's data or its record last changed, which no program can set back: a
        // file rewritten in place with its size and modification time restored still differs.
        std::int64_t changed = 0;
        bool operator==(const Identity&) const = default;
    };

    // Opens path (the file system's bytes; links are followed) for reading, or nothing when
    // it does not name a regular file or cannot be opened.
    static std::optional<RegularFile> open(const std::string& path);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The file's size in bytes when it was opened.
    std::int64_t size() const { return m_identity.size; }
    // The file as it was when it was opened.
    const Identity& identity() const { return m_identity; }

    // Reads up to count bytes starting at offset into buffer. The number of bytes read,
    // fewer than count only at the end of the file; -1 when the read failed.
    std::int64_t readAt(std::int64_t offset, void* buffer, std::int64_t count) const;

private:
    explicit RegularFile(std::intptr_t handle)
        : m_handle(handle)
    {
    }
    void close();

    // A descriptor on POSIX, a HANDLE on Windows; -1 when closed on both.
    std::intptr_t m_handle = -1;
    Identity m_identity;
};

} // namespace sys
