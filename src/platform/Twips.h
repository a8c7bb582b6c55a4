#pragma once

// Twips, the unit the windows are laid out in: 1440 to the logical inch.

#include <QScreen>

namespace Twips {

// Twips per device-independent pixel on screen (15 at 96 dots per inch), taking 96 dots
// per inch when the screen is unknown or says nothing sensible.
inline double perPixel(const QScreen* screen)
{
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

} // namespace Twips
