#pragma once

#include <optional>

#include <QRect>

namespace statlume {

/// The place on the X11 root of a window of another running copy of this program (mapped,
/// larger than a tray icon, its WM_CLASS instance this program's file name); nullopt off X11
/// or when there is none.
std::optional<QRect> PeerProgramWindow();

} // namespace statlume
