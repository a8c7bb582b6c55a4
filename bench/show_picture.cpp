// Shows one picture once in a fresh viewer window and prints the process's peak memory, so
// the peak belongs to that one picture: lumra_bench runs it once per case.
//
//   lumra_bench_show PICTURE WIDTH HEIGHT [full SHOWNWIDTH SHOWNHEIGHT]
//
// With "full" it decodes the whole picture and reduces it to the shown size instead, as the
// baseline does. Prints "idle KIB peak KIB": the peak before the picture and after it.

#include "viewer/frmLumra.h"

#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QStandardPaths>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

long peakKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(
            stderr, "usage: %s PICTURE WIDTH HEIGHT [full SHOWNWIDTH SHOWNHEIGHT]\n", argv[0]);
        return 2;
    }
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    const std::string path = argv[1];
    const QSize client(std::atoi(argv[2]), std::atoi(argv[3]));
    const bool full = argc > 6 && std::strcmp(argv[4], "full") == 0;

    frmLumra viewer({});
    viewer.resize(client);
    QLabel baseline(&viewer);
    const long idle = peakKiB();
    if (full) {
        QImageReader reader(QString::fromLocal8Bit(path));
        reader.setAutoTransform(true);
        QImage image = reader.read();
        image = image.scaled(QSize(std::atoi(argv[5]), std::atoi(argv[6])), Qt::IgnoreAspectRatio,
            Qt::SmoothTransformation);
        baseline.setPixmap(QPixmap::fromImage(std::move(image)));
        if (baseline.pixmap().isNull())
            return 1;
        std::printf("idle %ld peak %ld\n", idle, peakKiB());
        return 0;
    }
    viewer.SetPic(path);
    if (viewer.imgPic[0]->pixmap().isNull() && viewer.imgPic[1]->pixmap().isNull())
        return 1;
    std::printf("idle %ld peak %ld\n", idle, peakKiB());
    return 0;
}
