#pragma once

// Keeping a window above all ordinary windows.

class QWidget;

namespace basTopMost {

// Puts the window among the windows that stay on top (on) or back among the ordinary ones,
// without hiding, moving or resizing it.
void SetTopMost(QWidget* hWnd, bool on);

} // namespace basTopMost
