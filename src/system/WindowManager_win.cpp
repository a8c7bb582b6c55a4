#include "system/WindowManager.h"

#include <windows.h>

// The toolkit already calls SetWindowPos for the topmost state and clears WS_EX_LAYERED
// when a window becomes fully opaque, so there is nothing left to do for those.

namespace sys {

void recordStaysAbove(std::uintptr_t, bool) { }

void dropOpacity(std::uintptr_t) { }

void recordTitle(std::uintptr_t window, const std::string& title)
{
    // Only a window of this thread, the one that made the program's windows: where the
    // toolkit runs without real windows (offscreen), its ids are counters that may name
    // another thread's or program's window, which would have to answer before
    // SetWindowTextW returns.
    const HWND handle = reinterpret_cast<HWND>(window);
    if (window == 0 || !::IsWindow(handle)
        || ::GetWindowThreadProcessId(handle, nullptr) != ::GetCurrentThreadId())
        return;
    std::wstring wide;
    if (!title.empty()) {
        const int size = ::MultiByteToWideChar(
            CP_UTF8, 0, title.data(), static_cast<int>(title.size()), nullptr, 0);
        if (size <= 0)
            return;
        wide.resize(static_cast<std::size_t>(size));
        ::MultiByteToWideChar(
            CP_UTF8, 0, title.data(), static_cast<int>(title.size()), wide.data(), size);
    }
    ::SetWindowTextW(handle, wide.c_str());
}

} // namespace sys
