#include "system/System.h"

#include "system/ScanCodes.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace sys {

const char* const PathSeparator = "/";

std::string nativeFolder(std::string folder) { return withTrailingSeparator(std::move(folder)); }

std::optional<PathAttributes> attributesOf(const std::string& path)
{
    struct stat info { };
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    PathAttributes attributes;
    attributes.directory = S_ISDIR(info.st_mode);
    return attributes;
}

std::vector<FolderEntry> listFolder(const std::string& folder) { return listFolder(folder, {}); }

std::vector<FolderEntry> listFolder(
    const std::string& folder, const std::function<bool(std::string_view name)>& keep)
{
    std::vector<FolderEntry> entries;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return entries;
    const int dirFd = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (keep && !keep(name))
            continue;
        bool regularFile = entry->d_type == DT_REG;
        // A link may point at anything or nowhere, and some file systems do not fill in the
        // type: only then is the entry looked at more closely.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info { };
            regularFile = ::fstatat(dirFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        entries.push_back({ name, regularFile });
    }
    return entries;
}

std::optional<int> removeFile(const std::string& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0)
        return errno;
    // unlink never removes a folder, but the folder must not lose its permissions either.
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    // A link is removed itself; its target, whatever it is, keeps its permissions.
    if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0
        && ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) != 0)
        return errno;
    if (::unlink(path.c_str()) != 0)
        return errno;
    return std::nullopt;
}

bool isKeyLeftOfOne(std::uint32_t nativeScanCode)
{
    // X11 and Wayland report the evdev code plus 8: KEY_GRAVE is 41.
    return nativeScanCode == 41 + 8;
}

char latinKeyAt(std::uint32_t nativeScanCode)
{
    // Evdev codes are the set-1 scan codes for these keys; X11 and Wayland add 8.
    if (nativeScanCode < 8)
        return 0;
    return scancodes::latinKeyAt(nativeScanCode - 8);
}

std::string currentDirectory()
{
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::string errorText(int number)
{
    char buffer[256] = {};
    // The GNU and the XSI forms of strerror_r differ in their result; both fill buffer or
    // return a static text.
    auto result = ::strerror_r(number, buffer, sizeof buffer);
    if constexpr (std::is_same_v<decltype(result), char*>)
        return result ? std::string(result) : std::string(buffer);
    else
        return std::string(buffer);
}

} // namespace sys
