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
    // Opens path (the file system's bytes; links are followed) for reading, or nothing when
    // it does not name a regular file or cannot be opened.
    static std::optional<RegularFile> open(const std::string& path);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The file's size in bytes when it was opened.
    std::int64_t size() const { return m_size; }

    // Reads up to count bytes starting at offset into buffer. The number of bytes read,
    // fewer than count only at the end of the file; -1 when the read failed.
    std::int64_t readAt(std::int64_t offset, void* buffer, std::int64_t count) const;

private:
    RegularFile(std::intptr_t handle, std::int64_t size)
        : m_handle(handle)
        , m_size(size)
    {
    }
    void close();

    // A descriptor on POSIX, a HANDLE on Windows; -1 when closed on both.
    std::intptr_t m_handle = -1;
    std::int64_t m_size = 0;
};

} // namespace sys
