#pragma once

// What the contract tests of the operating-system layer share, without Qt: a temporary
// folder of their own, and the special files a platform has. The few lines that differ
// between POSIX and Windows are here, so the tests read the same on both.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#endif

namespace contract {

namespace fs = std::filesystem;

// A name in the file system's bytes as a path. On Windows those bytes are UTF-8 (the
// manifest's code page), which a plain string would be read as the C locale's.
inline fs::path bytes(const std::string& name) { return std::u8string(name.begin(), name.end()); }

// A folder of its own under the system's temporary folder, removed with everything in it.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::random_device random;
        m_path = fs::temp_directory_path() / ("lumra-contract-" + std::to_string(random()));
        fs::create_directories(m_path);
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(m_path, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string path() const { return m_path.string(); }
    std::string path(const std::string& name) const { return (m_path / bytes(name)).string(); }
    std::string file(const std::string& name, const std::string& content = "x") const
    {
        std::ofstream(m_path / bytes(name), std::ios::binary) << content;
        return path(name);
    }
    std::string folder(const std::string& name) const
    {
        fs::create_directory(m_path / bytes(name));
        return path(name);
    }

private:
    fs::path m_path;
};

// A symbolic link at link to target; false where the system or the user's rights allow none
// (Windows without developer mode or the right to create them).
inline bool makeLink(const std::string& target, const std::string& link)
{
    std::error_code error;
    fs::create_symlink(bytes(target), bytes(link), error);
    return !error;
}

// A FIFO at path, read-only for everyone; false where there are none (Windows).
inline bool makeFifo(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(path.c_str(), 0444) == 0;
#endif
}

// A device that reads without end.
inline std::string endlessDevice()
{
#ifdef _WIN32
    return "NUL";
#else
    return "/dev/zero";
#endif
}

#ifdef _WIN32
constexpr bool Windows = true;
#else
constexpr bool Windows = false;
#endif

// The system's error number for a folder where a file was expected.
inline int folderError()
{
#ifdef _WIN32
    return ERROR_DIRECTORY;
#else
    return EISDIR;
#endif
}

} // namespace contract
