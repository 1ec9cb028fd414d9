#pragma once

#include <optional>
#include <string>

#include <QRect>

class QWidget;

namespace statlume {

namespace platform {
class TRegistry;
}

/// Moves a dialog about to be shown beside the window, where the window's screen allows, so
/// that what the dialog changes stays in sight.
void PlaceBesideWindow(QWidget& dialog, const QWidget& window);

/// A dialog's stored outer place and client size (the integer values name + "Left", "Top",
/// "Width" and "Height"); nullopt when one is missing, of another type or not positive.
std::optional<QRect> ReadDialogPlace(platform::TRegistry& registry, const std::string& name);

/// Stores a dialog's outer place and client size under the names ReadDialogPlace reads; with
/// placeKnown false (the compositor placed it) a stored place stays and only the size is new;
/// false when the settings could not be written (the dialog then opens beside the window).
bool WriteDialogPlace(platform::TRegistry& registry, const std::string& name, const QRect& place,
                      bool placeKnown = true);

/// Shows a dialog where it was last closed (if that is still on a screen) or else beside the
/// window, at its stored size, not below its own minimum.
void RestoreDialogPlace(QWidget& dialog, const QWidget& window, const std::optional<QRect>& stored);

} // namespace statlume
