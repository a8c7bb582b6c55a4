#include "platform/ProgramIcon.h"

#include "picture/PngRows.h"

#include <QFile>

namespace ProgramIcon {

namespace {

// Read by libpng as the PNG it is: Qt's reader would look through its image plugins first,
// before the first picture is on the screen.
QPixmap load(int size)
{
    QFile file(QStringLiteral(":/icons/lumra-%1.png").arg(size));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QSize stored(size, size);
    return QPixmap::fromImage(PngRows::read(file, { stored, stored }).image);
}

} // namespace

QIcon icon()
{
    QIcon icon;
    for (int size : { 16, 32, 48 })
        icon.addPixmap(load(size));
    return icon;
}

QPixmap picture() { return load(48); }

} // namespace ProgramIcon
