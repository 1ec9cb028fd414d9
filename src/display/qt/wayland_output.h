#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "display/qt/frame_painter.h"
#include "display/wayland/layer_client.h"
#include "platform/registry.h"

#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>

class QSocketNotifier;
class QWidget;

namespace statlume {

class TStatlumeDisplay;

/// Puts the window on a Wayland layer surface instead of its own native window: the widget
/// stays a Qt widget (labels, layout, events) but is not shown on the toolkit's platform;
/// each changed frame is rendered into a shm buffer of our own connection. Position, size,
/// visibility and the stay-on-top flag of the widget drive margins, size, mapping and layer;
/// pointer events of the surface move the window or a label and open the menu.
class TWaylandOutput : public QObject
{
    Q_OBJECT
public:
    /// Takes over the output of window (before it is first shown); both must outlive this.
    TWaylandOutput(TStatlumeDisplay& window, std::unique_ptr<wayland::TLayerClient> client,
                   platform::TReportFunc report);
    ~TWaylandOutput() override;

    /// Frames committed to the compositor so far.
    std::uint64_t FramesDrawn() const { return Frames; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ScheduleSync();
    void Sync();
    void Draw();
    void NoteDamage(QWidget& widget, const QRegion& region);
    void ReadSocket();
    void FlushRequests();
    void Fail(const std::string& why);
    void HandlePointer(const wayland::TPointerEvent& event);
    void PressAt(QPoint local, std::uint32_t button);
    QPoint GlobalOf(QPoint local) const;
    wayland::TSurfacePlan PlanNow();
    void ReadStoredChoices();
    void RememberOutput();

    TStatlumeDisplay& Window;
    std::unique_ptr<wayland::TLayerClient> Client;
    platform::TReportFunc Report;
    QSocketNotifier* ReadNotifier = nullptr;
    QSocketNotifier* WriteNotifier = nullptr;
    QTimer SyncTimer;
    /// What changed since the last frame, in the window's logical pixels (from the paint
    /// events Qt sends for its own backing store, which are not drawn there).
    QRegion Damage;
    /// The next frame draws everything (shown, resized, remapped, other opacity).
    bool FullDamage = true;
    TFramePainter Painter;
    bool Rendering = false;
    double DrawnOpacity = 1;
    std::uint64_t Frames = 0;
    bool StoredRead = false;
    std::string StoredOutput;
    /// The pointer while the body drags the window.
    std::optional<wayland::TBodyDrag> BodyGrab;
    /// The label that takes the pointer's events while it is dragged.
    QPointer<QWidget> LabelGrab;
};

} // namespace statlume
