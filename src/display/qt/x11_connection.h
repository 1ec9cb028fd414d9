#pragma once

// The toolkit's own X11 connection and the small pieces every X11 request of ours needs.
#include <cstdlib>
#include <memory>

#include <xcb/xcb.h>

namespace statlume {

/// A reply of xcb, freed with free() as xcb asks.
template <typename T> using TReply = std::unique_ptr<T, decltype(&std::free)>;

/// The toolkit's connection; null off X11 (Wayland, offscreen).
xcb_connection_t* X11Connection();

/// The atom of name, interned if needed; XCB_ATOM_NONE when the server does not answer.
xcb_atom_t X11Atom(xcb_connection_t* connection, const char* name);

} // namespace statlume
