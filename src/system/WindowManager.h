#pragma once

// What the window manager keeps about a window beyond what the toolkit tells it: whether
// the window stays above ordinary windows, and whether it carries an opacity for the
// compositor. Windows are named by the toolkit's native window id.

#include <cstdint>
#include <string>

namespace sys {

// Records on a window whether it stays above ordinary windows. A running window manager was
// already asked by the toolkit and keeps that record itself; without one nobody would, and
// a window manager started later reads the record from the window.
void recordStaysAbove(std::uintptr_t window, bool above);

// Takes away the opacity a window carried, so that it is an ordinary opaque window again
// rather than one marked as fully opaque.
void dropOpacity(std::uintptr_t window);

// Gives the window exactly this title (UTF-8), an empty one included: the toolkit shows the
// program's name where a window has no title.
void recordTitle(std::uintptr_t window, const std::string& title);

} // namespace sys
