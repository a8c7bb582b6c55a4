#include "system/WindowManager.h"

// The toolkit already calls SetWindowPos for the topmost state and clears WS_EX_LAYERED
// when a window becomes fully opaque, so there is nothing left to do here.

namespace sys {

void recordStaysAbove(std::uintptr_t, bool) { }

void dropOpacity(std::uintptr_t) { }

} // namespace sys
