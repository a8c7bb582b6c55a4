#include "system/EndRequests.h"

namespace sys {

// A Windows program is asked to end through its windows: the end of the session arrives as
// window messages, which the toolkit passes on as its session manager's request, and the
// viewer answers that itself. There are no signals to watch.
void watchEndRequests(std::function<void()>) { }

} // namespace sys
