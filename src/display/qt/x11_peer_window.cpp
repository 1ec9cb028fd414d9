#include "display/qt/x11_peer_window.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "display/qt/x11_connection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <unistd.h>

namespace statlume {
namespace {

// A docked tray icon is a window of the program too; the window is larger.
constexpr int LargestIconSide = 48;
constexpr std::uint32_t MaxListedWindows = 4096;

TReply<xcb_get_property_reply_t> Property(xcb_connection_t* connection, xcb_window_t window,
                                          xcb_atom_t name, xcb_atom_t type, std::uint32_t length)
{
    return {xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, window, name, type, 0, length),
                                   nullptr),
            &std::free};
}

// The window manager's list of managed windows; without one, the root's children.
std::vector<xcb_window_t> TopWindows(xcb_connection_t* connection, xcb_window_t root)
{
    if (const auto list = Property(connection, root, X11Atom(connection, "_NET_CLIENT_LIST"),
                                   XCB_ATOM_WINDOW, MaxListedWindows);
        list && list->format == 32 && xcb_get_property_value_length(list.get()) > 0) {
        const auto* first = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
        return {first, first + xcb_get_property_value_length(list.get()) / 4};
    }
    const TReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr), &std::free);
    if (!tree) {
        return {};
    }
    const xcb_window_t* first = xcb_query_tree_children(tree.get());
    return {first, first + xcb_query_tree_children_length(tree.get())};
}

bool IsPeer(xcb_connection_t* connection, xcb_window_t window, const std::string& instance)
{
    const auto wmClass = Property(connection, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 256);
    if (!wmClass || xcb_get_property_value_length(wmClass.get()) <= 0) {
        return false;
    }
    const auto* text = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
    const std::string first(text, strnlen(text, static_cast<std::size_t>(
                                                    xcb_get_property_value_length(wmClass.get()))));
    if (first != instance) {
        return false;
    }
    const auto pid =
        Property(connection, window, X11Atom(connection, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 1);
    return !pid || xcb_get_property_value_length(pid.get()) != 4 ||
           *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get())) !=
               static_cast<std::uint32_t>(getpid());
}

std::optional<QRect> MappedPlace(xcb_connection_t* connection, xcb_window_t window,
                                 xcb_window_t root)
{
    const TReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window),
                                        nullptr),
        &std::free);
    const TReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr),
        &std::free);
    const TReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr),
        &std::free);
    if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE || !geometry || !origin ||
        (geometry->width <= LargestIconSide && geometry->height <= LargestIconSide)) {
        return std::nullopt;
    }
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
}

} // namespace

std::optional<QRect> PeerProgramWindow()
{
    xcb_connection_t* connection = X11Connection();
    if (connection == nullptr) {
        return std::nullopt;
    }
    // The toolkit names a window's WM_CLASS instance after the program's file.
    const std::string instance =
        QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    for (const xcb_window_t window : TopWindows(connection, root)) {
        if (IsPeer(connection, window, instance)) {
            if (const auto place = MappedPlace(connection, window, root)) {
                return place;
            }
        }
    }
    return std::nullopt;
}

} // namespace statlume
