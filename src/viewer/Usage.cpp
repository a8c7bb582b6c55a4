#include "viewer/Usage.h"

#include "platform/Texts.h"
#include "viewer/basGeneral.h"

std::optional<std::string> usageReply(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1 || basGeneral::PathExists(arguments.front()))
        return std::nullopt;
    const std::string& option = arguments.front();
    if (option == "--version" || option == "-V")
        return (Texts::ProgramName + u' ' + Texts::version()).toStdString() + "\n";
    if (option == "--help" || option == "-h") {
        return "Usage: lumra [FOLDER|PICTURE]...\n"
               "Shows the pictures (*.bmp, *.gif, *.jpg, *.jpeg, *.png) of the folders given,\n"
               "one at a time, in a small window at the bottom right of the screen.\n"
               "Folders are separated by spaces, tabs, commas or semicolons; put a name with\n"
               "spaces in double quotes. Without a folder, the last folder shown is used.\n"
               "A single picture file shows that picture and lets you walk its folder.\n"
               "\n"
               "Right-click the picture for the menu; Esc or a double click closes.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "  -V, --version  show the version and exit\n";
    }
    return std::nullopt;
}
