// The launch benchmarks' baseline: the least a Qt program does to put a window on the
// screen, one empty widget of the given size.
//
//   lumra_bench_bare_window WIDTH HEIGHT

#include <QApplication>
#include <QWidget>
#include <cstdlib>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    QWidget window;
    window.resize(std::atoi(argv[1]), std::atoi(argv[2]));
    window.show();
    return QApplication::exec();
}
