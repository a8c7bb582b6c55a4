#include "system/System.h"

#include "system/ScanCodes.h"

#include <algorithm>
#include <windows.h>

namespace sys {

const char* const PathSeparator = "\\";

std::string nativeFolder(std::string folder)
{
    std::replace(folder.begin(), folder.end(), '/', '\\');
    return withTrailingSeparator(std::move(folder));
}

std::optional<PathAttributes> attributesOf(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return std::nullopt;
    PathAttributes result;
    result.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return result;
}

std::vector<FolderEntry> listFolder(const std::string& folder) { return listFolder(folder, {}); }

std::vector<FolderEntry> listFolder(
    const std::string& folder, const std::function<bool(std::string_view name)>& keep)
{
    std::vector<FolderEntry> entries;
    const std::string pattern = withTrailingSeparator(folder) + '*';
    WIN32_FIND_DATAA found {};
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (keep && !keep(name))
            continue;
        entries.push_back({ name,
            (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0 });
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return entries;
}

std::optional<int> removeFile(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return static_cast<int>(::GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_DIRECTORY;
    if (!::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL))
        return static_cast<int>(::GetLastError());
    if (!::DeleteFileA(path.c_str()))
        return static_cast<int>(::GetLastError());
    return std::nullopt;
}

bool isKeyLeftOfOne(std::uint32_t nativeScanCode)
{
    // The set-1 scan code of the key left of 1.
    return nativeScanCode == 0x29;
}

char latinKeyAt(std::uint32_t nativeScanCode) { return scancodes::latinKeyAt(nativeScanCode); }

std::string currentDirectory()
{
    const DWORD size = ::GetCurrentDirectoryA(0, nullptr);
    if (size == 0)
        return {};
    std::string buffer(size, '\0');
    const DWORD written = ::GetCurrentDirectoryA(size, buffer.data());
    buffer.resize(written);
    return buffer;
}

std::string errorText(int number)
{
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(number), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length ? std::string(text, length) : std::string();
    if (text)
        ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

} // namespace sys
