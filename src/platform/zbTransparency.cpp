#include "platform/zbTransparency.h"

#include "system/WindowManager.h"

#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace zbTransparency {

void SetTransparency(QWidget* hWnd, int alpha)
{
    if (!hWnd)
        return;
    SetLayeredStyle(hWnd, alpha != OpaqueAlpha);
    // Only a layered window takes an opacity: an opaque one is simply left alone.
    if (alpha != OpaqueAlpha)
        hWnd->setWindowOpacity(std::clamp(alpha, 0, OpaqueAlpha) / 255.0);
}

void SetLayeredStyle(QWidget* hWnd, bool on)
{
    // The toolkit makes a window layered as soon as it is given an opacity below full, so
    // turning the style on waits for that opacity; only turning it off has work to do.
    if (!hWnd || on)
        return;
    hWnd->setWindowOpacity(1.0);
    if (const QWindow* native = hWnd->windowHandle())
        sys::dropOpacity(native->winId());
}

} // namespace zbTransparency
