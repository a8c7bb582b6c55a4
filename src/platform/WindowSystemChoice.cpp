#include "platform/WindowSystemChoice.h"

#include <cstdlib>

namespace WindowSystemChoice {

namespace {

std::string variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

DisplayEnvironment currentDisplayEnvironment()
{
    return { variable("QT_QPA_PLATFORM"), variable("WAYLAND_DISPLAY"), variable("XDG_SESSION_TYPE"),
        variable("DISPLAY") };
}

std::optional<std::string> preferredQtPlatform(const DisplayEnvironment& environment)
{
    if (!environment.qtPlatform.empty())
        return std::nullopt;
    const bool wayland
        = !environment.waylandDisplay.empty() || environment.sessionType == "wayland";
    if (wayland && !environment.x11Display.empty())
        return "xcb";
    return std::nullopt;
}

} // namespace WindowSystemChoice
