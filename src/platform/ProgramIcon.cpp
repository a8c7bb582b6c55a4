#include "platform/ProgramIcon.h"

namespace ProgramIcon {

QIcon icon()
{
    QIcon icon;
    for (int size : { 16, 32, 48 })
        icon.addFile(QStringLiteral(":/icons/lumra-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap picture() { return QPixmap(QStringLiteral(":/icons/lumra-48.png")); }

} // namespace ProgramIcon
