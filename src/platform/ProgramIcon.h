#pragma once

// The program's icon, drawn once (icons/lumra.svg) and rendered at the sizes windows use.

#include <QIcon>
#include <QPixmap>

namespace ProgramIcon {

// The window icon: 16, 32 and 48 pixels.
QIcon icon();

// The 48 by 48 picture of the About box.
QPixmap picture();

} // namespace ProgramIcon
