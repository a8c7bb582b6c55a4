#include "system/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

std::optional<RegularFile> RegularFile::open(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    // O_NONBLOCK keeps the open itself from waiting: a FIFO without a writer would otherwise
    // hold the viewer until one comes. O_NOCTTY keeps a terminal from becoming ours.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    RegularFile file(fd);
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    // Reads from a regular file block only as disks do; clearing the flag keeps a network
    // file system from answering EAGAIN.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return std::nullopt;
    file.m_identity
        = { std::uint64_t(info.st_dev), std::uint64_t(info.st_ino), std::int64_t(info.st_size),
              std::int64_t(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
              std::int64_t(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec };
    return file;
}

void RegularFile::close()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

std::int64_t RegularFile::readAt(std::int64_t offset, void* buffer, std::int64_t count) const
{
    if (m_handle < 0 || offset < 0 || count < 0)
        return -1;
    auto* bytes = static_cast<char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(static_cast<int>(m_handle), bytes + done,
            static_cast<size_t>(count - done), static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace sys
