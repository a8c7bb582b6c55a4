// Writes the seeds of the picture loader's corpus: tiny pictures of each format the viewer
// shows, in the variants their readers take different ways through. Run once; the seeds
// are kept with the sources. Usage: make_picture_seeds <folder>

#include "GifWriter.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <cstdio>

namespace {

QImage drawing(QSize size, QImage::Format format)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(0, 0, size.width() / 2, size.height(), QColor(255, 0, 0));
    painter.fillRect(size.width() / 2, 0, size.width() - size.width() / 2, size.height() / 2,
        QColor(0, 0, 255, 128));
    painter.end();
    return image.convertToFormat(format);
}

bool save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

QByteArray encoded(const QImage& image, const char* format, int quality = -1,
    QImageIOHandler::Transformations turn = QImageIOHandler::TransformationNone,
    bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setTransformation(turn);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        std::fprintf(stderr, "cannot write %s: %s\n", format, qPrintable(writer.errorString()));
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_picture_seeds <folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    const QSize small(5, 3);
    bool ok = true;
    ok &= save(folder + "rgb24.bmp", encoded(drawing(small, QImage::Format_RGB888), "bmp"));
    ok &= save(folder + "argb32.bmp", encoded(drawing(small, QImage::Format_ARGB32), "bmp"));
    ok &= save(folder + "indexed8.bmp", encoded(drawing(small, QImage::Format_Indexed8), "bmp"));
    ok &= save(folder + "mono.bmp", encoded(drawing(small, QImage::Format_Mono), "bmp"));
    ok &= save(folder + "rgb.png", encoded(drawing(small, QImage::Format_RGB32), "png"));
    ok &= save(folder + "argb.png", encoded(drawing(small, QImage::Format_ARGB32), "png"));
    ok &= save(folder + "indexed.png", encoded(drawing(small, QImage::Format_Indexed8), "png"));
    ok &= save(folder + "grey16.png", encoded(drawing(small, QImage::Format_Grayscale16), "png"));
    ok &= save(folder + "rgba64.png", encoded(drawing(small, QImage::Format_RGBA64), "png"));
    ok &= save(
        folder + "plain.jpg", encoded(drawing(QSize(17, 9), QImage::Format_RGB32), "jpeg", 50));
    ok &= save(
        folder + "grey.jpg", encoded(drawing(QSize(9, 17), QImage::Format_Grayscale8), "jpeg", 50));
    ok &= save(folder + "progressive.jpg",
        encoded(drawing(QSize(17, 9), QImage::Format_RGB32), "jpeg", 50,
            QImageIOHandler::TransformationNone, true));
    ok &= save(folder + "turned.jpg",
        encoded(drawing(QSize(17, 9), QImage::Format_RGB32), "jpeg", 50,
            QImageIOHandler::TransformationRotate90));
    const QList<QColor> palette = { QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 0, 0) };
    QImage gif(small, QImage::Format_RGB32);
    gif.fill(QColor(0, 0, 0));
    gif.setPixelColor(0, 0, palette[0]);
    gif.setPixelColor(4, 2, palette[1]);
    ok &= save(folder + "small.gif", gifBytes(gif, palette));
    return ok ? 0 : 1;
}
