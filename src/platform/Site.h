#pragma once

// The maker's web site, as the caption, the menu and the About box show it.

#include <QString>

namespace Site {
inline QString address() { return QStringLiteral("https://www.morvanell.example/"); }
inline QString name() { return QStringLiteral("WWW.MORVANELL.EXAMPLE"); }
} // namespace Site
