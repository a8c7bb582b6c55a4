#include "platform/Texts.h"
#include "platform/WindowSystemChoice.h"
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

    // Every argument after the program's name is Lumra's: Qt sees only the name, and the
    // window system when Lumra chooses it. Qt's own options come from its environment
    // variables. The choice is made on Qt's command line rather than in the environment, so
    // that programs Lumra starts make their own.
    std::vector<char*> qtArguments(argv, argv + (argc > 0 ? 1 : 0));
    std::string platformOption = "-platform";
    std::string platformName;
    if (const auto platform = WindowSystemChoice::preferredQtPlatform(
            WindowSystemChoice::currentDisplayEnvironment())) {
        platformName = *platform;
        qtArguments.push_back(platformOption.data());
        qtArguments.push_back(platformName.data());
    }
    int qtArgumentCount = static_cast<int>(qtArguments.size());
    qtArguments.push_back(nullptr);

    QApplication app(qtArgumentCount, qtArguments.data());
    QApplication::setApplicationName(Texts::ProgramName);
    QApplication::setOrganizationName(QStringLiteral("Morvanell"));
    QApplication::setApplicationVersion(Texts::version());

    frmLumra viewer(arguments);
    // The viewer is a tool window, which Qt does not count when deciding to quit, so its
    // close ends the program explicitly.
    QObject::connect(&viewer, &frmLumra::unloaded, &app, &QApplication::quit, Qt::QueuedConnection);
    QObject::connect(&viewer, &frmLumra::ended, &app, &QApplication::quit, Qt::QueuedConnection);
    viewer.endWithSession();
    viewer.Form_Load();
    if (viewer.isUnloaded() || viewer.hasEnded())
        return 0;
    viewer.show();
    return QApplication::exec();
}
