#include "platform/ProgramIcon.h"

#include <QFile>
#include <QImageReader>

namespace ProgramIcon {

namespace {

// Read as the PNG it is, with nothing guessed: a guess, even from the name, has Qt load every
// image plugin it has before the first picture.
QPixmap load(int size)
{
    QFile file(QStringLiteral(":/icons/lumra-%1.png").arg(size));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file, "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
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
