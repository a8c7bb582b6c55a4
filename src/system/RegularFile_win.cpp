#include "system/RegularFile.h"

#include <windows.h>

namespace sys {

namespace {

HANDLE toHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

} // namespace

std::optional<RegularFile> RegularFile::open(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open at all; a device or pipe
    // does, and is told apart by its type before anything is read from it.
    const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    RegularFile file(reinterpret_cast<std::intptr_t>(handle));
    BY_HANDLE_FILE_INFORMATION info {};
    FILE_BASIC_INFO times {};
    LARGE_INTEGER size {};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(handle, &info)
        || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0
        || !::GetFileSizeEx(handle, &size)
        || !::GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
        return std::nullopt;
    const auto join = [](DWORD high, DWORD low) { return (std::uint64_t(high) << 32) | low; };
    file.m_identity = { info.dwVolumeSerialNumber, join(info.nFileIndexHigh, info.nFileIndexLow),
        size.QuadPart,
        std::int64_t(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)),
        times.ChangeTime.QuadPart };
    return file;
}

void RegularFile::close()
{
    if (m_handle != -1)
        ::CloseHandle(toHandle(m_handle));
    m_handle = -1;
}

std::int64_t RegularFile::readAt(std::int64_t offset, void* buffer, std::int64_t count) const
{
    if (m_handle == -1 || offset < 0 || count < 0)
        return -1;
    auto* bytes = static_cast<char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        // The offset in OVERLAPPED makes this a positioned read on a synchronous handle.
        OVERLAPPED at {};
        const std::int64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position & 0xFFFFFFFF);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        const std::int64_t left = count - done;
        const DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!::ReadFile(toHandle(m_handle), bytes + done, chunk, &got, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF)
                break;
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace sys
