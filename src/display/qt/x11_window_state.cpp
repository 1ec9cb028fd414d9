#include "display/qt/x11_window_state.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/qt/x11_connection.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace statlume {
namespace {

constexpr std::uint32_t NetWmStateRemove = 0;
constexpr std::uint32_t NetWmStateAdd = 1;
constexpr std::uint32_t SourceApplication = 1;
constexpr std::uint32_t AllDesktops = 0xFFFFFFFFu;
constexpr std::uint32_t MaxStateAtoms = 64;

// The screen number of the display name, as the selection's name needs it.
int ScreenNumber()
{
    int screen = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) {
        screen = 0;
    }
    std::free(host);
    return screen;
}

xcb_window_t RootOf(xcb_connection_t* connection, xcb_window_t window)
{
    const TReply<xcb_get_geometry_reply_t> reply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    return reply ? reply->root : xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

void SendToRoot(xcb_connection_t* connection, xcb_window_t root, xcb_window_t window,
                xcb_atom_t type, std::uint32_t d0, std::uint32_t d1, std::uint32_t d2)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    event.data.data32[0] = d0;
    event.data.data32[1] = d1;
    event.data.data32[2] = d2;
    event.data.data32[3] = SourceApplication;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

bool IsMapped(xcb_connection_t* connection, xcb_window_t window)
{
    const TReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window),
                                        nullptr),
        &std::free);
    return reply && reply->map_state != XCB_MAP_STATE_UNMAPPED;
}

std::vector<xcb_atom_t> StateAtoms(xcb_connection_t* connection, xcb_window_t window,
                                   xcb_atom_t state)
{
    const TReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, MaxStateAtoms),
            nullptr),
        &std::free);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) {
        return {};
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const auto count =
        static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(xcb_atom_t);
    return {atoms, atoms + count};
}

/// One state the window carries or not.
struct TWantedState
{
    xcb_atom_t Atom;
    bool On;
};

// Before mapping: the properties, keeping states that others (Qt) set.
void WriteStateProperties(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t state,
                          const std::vector<TWantedState>& wanted, bool sticky)
{
    std::vector<xcb_atom_t> atoms = StateAtoms(connection, window, state);
    for (const TWantedState& one : wanted) {
        std::erase(atoms, one.Atom);
        if (one.On) {
            atoms.push_back(one.Atom);
        }
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
    const xcb_atom_t desktop = X11Atom(connection, "_NET_WM_DESKTOP");
    if (sticky) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, desktop, XCB_ATOM_CARDINAL,
                            32, 1, &AllDesktops);
    } else {
        xcb_delete_property(connection, window, desktop);
    }
}

// While mapped: requests to the window manager.
void RequestStates(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t state,
                   const std::vector<TWantedState>& wanted, bool sticky)
{
    const xcb_window_t root = RootOf(connection, window);
    for (const TWantedState& one : wanted) {
        SendToRoot(connection, root, window, state, one.On ? NetWmStateAdd : NetWmStateRemove,
                   one.Atom, 0);
    }
    if (sticky) {
        SendToRoot(connection, root, window, X11Atom(connection, "_NET_WM_DESKTOP"), AllDesktops, 0,
                   0);
    }
}

} // namespace

std::uint32_t NativeWindowId(QWidget& window)
{
    // Qt may give a shown window a new native window (a flag change) that the widget's own
    // winId() does not follow; its QWindow always knows the current one.
    const QWindow* handle = window.windowHandle();
    return static_cast<std::uint32_t>(handle != nullptr ? handle->winId() : window.winId());
}

bool OnX11()
{
    return X11Connection() != nullptr;
}

bool TCompositorWatch::Active()
{
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return true;
    }
    if (Selection == XCB_ATOM_NONE) {
        const std::string name = "_NET_WM_CM_S" + std::to_string(ScreenNumber());
        Selection = X11Atom(connection, name.c_str());
    }
    const TReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, Selection),
                                      nullptr),
        &std::free);
    return reply && reply->owner != XCB_NONE;
}

void ApplyWindowStates(QWidget& window, TWindowLayer layer, bool sticky)
{
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr || !window.testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    const xcb_window_t id = NativeWindowId(window);
    const xcb_atom_t state = X11Atom(connection, "_NET_WM_STATE");
    const std::vector<TWantedState> wanted{
        {X11Atom(connection, "_NET_WM_STATE_SKIP_TASKBAR"), true},
        {X11Atom(connection, "_NET_WM_STATE_SKIP_PAGER"), true},
        {X11Atom(connection, "_NET_WM_STATE_STICKY"), sticky},
        {X11Atom(connection, "_NET_WM_STATE_ABOVE"), layer == TWindowLayer::Above},
        {X11Atom(connection, "_NET_WM_STATE_BELOW"), layer == TWindowLayer::Below},
    };
    if (IsMapped(connection, id)) {
        RequestStates(connection, id, state, wanted, sticky);
    } else {
        WriteStateProperties(connection, id, state, wanted, sticky);
    }
    xcb_flush(connection);
}

bool IsMapNotify(const QByteArray& eventType, const void* message)
{
    if (eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    return (event->response_type & 0x7F) == XCB_MAP_NOTIFY;
}

} // namespace statlume
