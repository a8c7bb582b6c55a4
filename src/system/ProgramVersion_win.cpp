#include "system/ProgramVersion.h"

#include <vector>
#include <windows.h>

namespace sys {

namespace {

// The full path of the running program, or empty text.
std::wstring programFile()
{
    // A buffer the name fills to its end may have cut it: twice as long again, up to more
    // than the longest path Windows has.
    for (DWORD size = MAX_PATH; size <= 65536; size *= 2) {
        std::wstring path(size, L'\0');
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), size);
        if (length == 0)
            return {};
        if (length < size) {
            path.resize(length);
            return path;
        }
    }
    return {};
}

} // namespace

std::optional<std::string> recordedVersion()
{
    const std::wstring path = programFile();
    if (path.empty())
        return std::nullopt;
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> info(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, info.data()))
        return std::nullopt;
    void* block = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(info.data(), L"\\", &block, &length) || !block
        || length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
    if (fixed->dwSignature != VS_FFI_SIGNATURE)
        return std::nullopt;
    return std::to_string(fixed->dwFileVersionMS >> 16) + '.'
        + std::to_string(fixed->dwFileVersionMS & 0xFFFF);
}

} // namespace sys
