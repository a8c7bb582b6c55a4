#include "platform/basTopMost.h"

#include "system/WindowManager.h"

#include <QWidget>
#include <QWindow>

namespace basTopMost {

void SetTopMost(QWidget* hWnd, bool on)
{
    if (!hWnd)
        return;
    const Qt::WindowFlags flags = hWnd->windowFlags().setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == hWnd->windowFlags())
        return;
    // setWindowFlags would hide a shown window and create its native window anew; the flag
    // goes to the widget and to its native window directly instead.
    hWnd->overrideWindowFlags(flags);
    if (QWindow* native = hWnd->windowHandle()) {
        native->setFlags(flags);
        sys::recordStaysAbove(native->winId(), on);
    }
}

} // namespace basTopMost
