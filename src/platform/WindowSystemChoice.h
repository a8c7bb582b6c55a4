#pragma once

// Which window system Lumra asks Qt for. Its placement at the bottom right and its
// stay-on-top state are the window manager's to carry out, and Wayland compositors do not
// let a program place itself; so in a Wayland session with an X server beside it
// (XWayland) Lumra runs on the X server, unless the user chose a Qt platform in
// QT_QPA_PLATFORM (the command line is Lumra's alone).

#include <optional>
#include <string>

namespace WindowSystemChoice {

// What the choice depends on, from the environment.
struct DisplayEnvironment {
    std::string qtPlatform; // QT_QPA_PLATFORM
    std::string waylandDisplay; // WAYLAND_DISPLAY
    std::string sessionType; // XDG_SESSION_TYPE
    std::string x11Display; // DISPLAY
};

DisplayEnvironment currentDisplayEnvironment();

// The Qt platform to ask for, or nothing to leave the choice to Qt.
std::optional<std::string> preferredQtPlatform(const DisplayEnvironment& environment);

} // namespace WindowSystemChoice
