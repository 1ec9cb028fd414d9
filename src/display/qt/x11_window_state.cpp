#include "display/qt/x11_window_state.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

namespace statlume {
namespace {

constexpr std::uint32_t NetWmStateRemove = 0;
constexpr std::uint32_t NetWmStateAdd = 1;
constexpr std::uint32_t SourceApplication = 1;
constexpr std::uint32_t AllDesktops = 0xFFFFFFFFu;

xcb_connection_t* Connection()
{
    const auto* x11 = qGuiApp == nullptr
                          ? nullptr
                          : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 == nullptr ? nullptr : x11->connection();
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

xcb_window_t RootOf(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

void SendToRoot(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t type,
                std::uint32_t d0, std::uint32_t d1, std::uint32_t d2, std::uint32_t d3)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    event.data.data32[3] = d3;
    xcb_send_event(connection, 0, RootOf(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

} // namespace

bool OnX11()
{
    return Connection() != nullptr;
}

bool CompositorAvailable()
{
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) {
        return true;
    }
    const auto cookie = xcb_get_selection_owner(connection, Atom(connection, "_NET_WM_CM_S0"));
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(connection, cookie, nullptr), &std::free);
    return reply && reply->owner != XCB_NONE;
}

void SetPinnedStates(QWidget& window, bool pinned)
{
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || !window.isVisible()) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t state = Atom(connection, "_NET_WM_STATE");
    const std::uint32_t action = pinned ? NetWmStateAdd : NetWmStateRemove;
    SendToRoot(connection, id, state, action, Atom(connection, "_NET_WM_STATE_BELOW"),
               Atom(connection, "_NET_WM_STATE_STICKY"), SourceApplication);
    // The window is a tool window: off the taskbar and pager whether pinned or not.
    SendToRoot(connection, id, state, NetWmStateAdd, Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
               Atom(connection, "_NET_WM_STATE_SKIP_PAGER"), SourceApplication);
    if (pinned) {
        SendToRoot(connection, id, Atom(connection, "_NET_WM_DESKTOP"), AllDesktops,
                   SourceApplication, 0, 0);
    }
    xcb_flush(connection);
}

} // namespace statlume
