#pragma once

// Picture files drawn for a test, written under names of any bytes.

#include "GifWriter.h"
#include "TestFolders.h"

#include <QBuffer>
#include <QImage>

inline std::string drawPicture(const TestFolder& dir, const std::string& name, QSize size,
    QColor colour = Qt::darkCyan, const char* format = "PNG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray encoded;
    if (QByteArray(format) == "GIF") {
        encoded = gifBytes(image, { colour });
    } else {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, format))
            qFatal("cannot draw %s", name.c_str());
    }
    return dir.file(name, encoded.toStdString());
}
