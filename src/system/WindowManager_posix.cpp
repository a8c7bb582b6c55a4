#include "system/WindowManager.h"

#include <QGuiApplication>

#if LUMRA_X11
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#endif

namespace sys {

#if LUMRA_X11

namespace {

// The X connection the toolkit uses, or none when it runs on another window system.
xcb_connection_t* x11Connection()
{
    const auto* guiApp = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!guiApp)
        return nullptr;
    const auto* x11 = guiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class Reply> using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t { XCB_ATOM_NONE };
}

xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window)
{
    const ReplyPtr<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return reply ? reply->root : xcb_window_t { XCB_WINDOW_NONE };
}

// The window manager announces itself on the root window.
bool windowManagerRunning(xcb_connection_t* connection, xcb_window_t root)
{
    const xcb_atom_t check = atom(connection, "_NET_SUPPORTING_WM_CHECK");
    const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr));
    return reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) >= 4
        && *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()))
        != XCB_WINDOW_NONE;
}

// Waits until the server has carried out everything sent so far, so that other clients
// see the result.
void roundTrip(xcb_connection_t* connection)
{
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

} // namespace

void recordStaysAbove(std::uintptr_t window, bool above)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || window == 0)
        return;
    const auto id = static_cast<xcb_window_t>(window);
    const xcb_window_t root = rootOf(connection, id);
    if (root == XCB_WINDOW_NONE || windowManagerRunning(connection, root))
        return;

    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    // The toolkit names both states for a window that stays on top; both go together.
    const xcb_atom_t staysAbove[] = { atom(connection, "_NET_WM_STATE_ABOVE"),
        atom(connection, "_NET_WM_STATE_STAYS_ON_TOP") };

    std::vector<xcb_atom_t> states;
    const ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* first = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        states.assign(first, first + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const xcb_atom_t name : staysAbove) {
        const auto found = std::find(states.begin(), states.end(), name);
        if (above && found == states.end())
            states.push_back(name);
        else if (!above && found != states.end())
            states.erase(found);
    }
    if (states.empty())
        xcb_delete_property(connection, id, state);
    else
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
            static_cast<std::uint32_t>(states.size()), states.data());
    roundTrip(connection);
}

void dropOpacity(std::uintptr_t window)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || window == 0)
        return;
    xcb_delete_property(
        connection, static_cast<xcb_window_t>(window), atom(connection, "_NET_WM_WINDOW_OPACITY"));
    roundTrip(connection);
}

void recordTitle(std::uintptr_t window, const std::string& title)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || window == 0)
        return;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window),
        atom(connection, "_NET_WM_NAME"), atom(connection, "UTF8_STRING"), 8,
        static_cast<std::uint32_t>(title.size()), title.data());
    roundTrip(connection);
}

#else

// Other window systems keep these states through the toolkit alone.
void recordStaysAbove(std::uintptr_t, bool) { }
void dropOpacity(std::uintptr_t) { }
void recordTitle(std::uintptr_t, const std::string&) { }

#endif

} // namespace sys
