#include "display/qt/dialog_place.h"

#include <array>
#include <exception>
#include <vector>

#include "display/screen_fit.h"
#include "platform/registry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace statlume {
namespace {

// The window manager's frame is not known before the dialog is shown: room for a usual one.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 32;
constexpr int Gap = 8;

QRect AreaOf(const QWidget& window)
{
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

TWindowBox BoxOf(const QRect& rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

} // namespace

void PlaceBesideWindow(QWidget& dialog, const QWidget& window)
{
    const QRect area = AreaOf(window);
    if (area.isEmpty()) {
        return;
    }
    if (!dialog.testAttribute(Qt::WA_Resized)) {
        dialog.adjustSize();
    }
    const TWindowBox place = PlaceBeside(BoxOf(window.frameGeometry()), dialog.width() + FrameWidth,
                                         dialog.height() + FrameHeight, BoxOf(area), Gap);
    dialog.move(place.Left, place.Top);
}

std::optional<QRect> ReadDialogPlace(platform::TRegistry& registry, const std::string& name)
{
    std::array<std::int32_t, 4> values{};
    const std::array<const char*, 4> parts{"Left", "Top", "Width", "Height"};
    try {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const auto value = registry.ReadInteger(name + parts[i]);
            if (!value) {
                return std::nullopt;
            }
            values[i] = *value;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0) {
        return std::nullopt;
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

bool WriteDialogPlace(platform::TRegistry& registry, const std::string& name, const QRect& place,
                      bool placeKnown)
{
    const bool keepPlace = !placeKnown && ReadDialogPlace(registry, name).has_value();
    try {
        if (!keepPlace) {
            registry.WriteInteger(name + "Left", place.x());
            registry.WriteInteger(name + "Top", place.y());
        }
        registry.WriteInteger(name + "Width", place.width());
        registry.WriteInteger(name + "Height", place.height());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void RestoreDialogPlace(QWidget& dialog, const QWidget& window, const std::optional<QRect>& stored)
{
    if (!stored) {
        PlaceBesideWindow(dialog, window);
        return;
    }
    dialog.resize(stored->size().expandedTo(dialog.minimumSize()));
    std::vector<TWindowBox> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(BoxOf(screen->availableGeometry()));
    }
    // A place on a screen that has gone is no place: the dialog comes back within reach.
    const TWindowBox outer{stored->x(), stored->y(), dialog.width() + FrameWidth,
                           dialog.height() + FrameHeight};
    const auto fitted = FitOnScreens(outer, areas);
    if (fitted && (fitted->Width < outer.Width || fitted->Height < outer.Height)) {
        dialog.resize(std::max(fitted->Width - FrameWidth, 1),
                      std::max(fitted->Height - FrameHeight, 1));
    }
    dialog.move(fitted ? QPoint(fitted->Left, fitted->Top) : stored->topLeft());
}

} // namespace statlume
