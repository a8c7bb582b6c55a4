#pragma once

// The system's requests that the program end, other than through its windows.

#include <functional>

namespace sys {

// Calls onEnd from the event loop (never inside a signal handler) each time the system asks
// the program to end: SIGTERM, SIGHUP or SIGINT on POSIX. A later call replaces onEnd. A
// signal that was ignored when the program started (nohup) stays ignored.
void watchEndRequests(std::function<void()> onEnd);

} // namespace sys
