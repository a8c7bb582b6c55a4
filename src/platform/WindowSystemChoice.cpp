#include "platform/WindowSystemChoice.h"

#include <algorithm>
#include <cstdlib>

namespace WindowSystemChoice {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool choosesPlatform(const std::string& argument)
{
    return argument == "-platform" || argument == "--platform";
}

} // namespace

DisplayEnvironment currentDisplayEnvironment()
{
    return { variable("QT_QPA_PLATFORM"), variable("WAYLAND_DISPLAY"), variable("XDG_SESSION_TYPE"),
        variable("DISPLAY") };
}

std::optional<std::string> preferredQtPlatform(
    const DisplayEnvironment& environment, const std::vector<std::string>& arguments)
{
    if (!environment.qtPlatform.empty()
        || std::any_of(arguments.begin(), arguments.end(), choosesPlatform))
        return std::nullopt;
    const bool wayland
        = !environment.waylandDisplay.empty() || environment.sessionType == "wayland";
    if (wayland && !environment.x11Display.empty())
        return "xcb";
    return std::nullopt;
}

} // namespace WindowSystemChoice
