#include "viewer/Usage.h"
#include "viewer/frmLumra.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (const auto reply = usageReply(arguments)) {
        std::fputs(reply->c_str(), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumra"));
    QApplication::setOrganizationName(QStringLiteral("Morvanell"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(LUMRA_VERSION_MAJOR).arg(LUMRA_VERSION_MINOR));

    frmLumra viewer(std::move(arguments));
    // The viewer is a tool window, which Qt does not count when deciding to quit, so its
    // close ends the program explicitly.
    QObject::connect(&viewer, &frmLumra::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    QObject::connect(&viewer, &frmLumra::ended, &app, &QApplication::quit, Qt::QueuedConnection);
    viewer.Form_Load();
    if (viewer.isUnloaded() || viewer.hasEnded())
        return 0;
    viewer.show();
    return QApplication::exec();
}
