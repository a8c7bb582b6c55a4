#pragma once

// Picture files drawn for a test.

#include "GifWriter.h"
#include "TestFolders.h"

#include <QImage>

inline std::string drawPicture(const TestFolder& dir, const std::string& name, QSize size,
    QColor colour = Qt::darkCyan, const char* format = "PNG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const std::string path = dir.path(name);
    if (QByteArray(format) == "GIF") {
        dir.file(name, gifBytes(image, { colour }).toStdString());
        return path;
    }
    if (!image.save(QString::fromLocal8Bit(path), format))
        qFatal("cannot draw %s", path.c_str());
    return path;
}
