#pragma once

// Qt writes no GIF, so tests write their own: a 128-colour table and LZW codes that stay
// 8 bits wide because the table is cleared long before it grows. Every pixel of the image
// must be one of the palette's colours (at most 128).

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>

inline void appendLittle16(QByteArray& bytes, int value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char((value >> 8) & 0xFF));
}

inline QByteArray gifBytes(const QImage& image, const QList<QColor>& palette)
{
    QByteArray bytes("GIF89a");
    appendLittle16(bytes, image.width());
    appendLittle16(bytes, image.height());
    bytes.append(char(0xF6)); // global table of 2^(6+1) colours, 8 bits of colour resolution
    bytes.append(char(0));
    bytes.append(char(0));
    for (int index = 0; index < 128; ++index) {
        const QColor colour = index < palette.size() ? palette[index] : QColor(Qt::black);
        bytes.append(char(colour.red()));
        bytes.append(char(colour.green()));
        bytes.append(char(colour.blue()));
    }
    bytes.append(char(0x2C));
    appendLittle16(bytes, 0);
    appendLittle16(bytes, 0);
    appendLittle16(bytes, image.width());
    appendLittle16(bytes, image.height());
    bytes.append(char(0));
    bytes.append(char(7)); // minimum code size: clear is 128, end is 129

    const char clearCode = char(128);
    QByteArray codes;
    int sinceClear = 64;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (sinceClear == 64) {
                codes.append(clearCode);
                sinceClear = 0;
            }
            codes.append(char(palette.indexOf(QColor(image.pixel(x, y)))));
            ++sinceClear;
        }
    }
    codes.append(char(129));
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        bytes.append(char(block.size()));
        bytes.append(block);
    }
    bytes.append(char(0));
    bytes.append(char(0x3B));
    return bytes;
}
