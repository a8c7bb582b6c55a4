#include "viewer/Usage.h"

#include "platform/Texts.h"
#include "viewer/UsageText.h"
#include "viewer/basGeneral.h"

std::optional<std::string> usageReply(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1 || basGeneral::PathExists(arguments.front()))
        return std::nullopt;
    const std::string& option = arguments.front();
    if (option == "--version" || option == "-V")
        return (Texts::ProgramName + u' ' + Texts::version()).toStdString() + "\n";
    if (option == "--help" || option == "-h")
        return UsageText;
    return std::nullopt;
}
