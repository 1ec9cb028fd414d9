#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "display/wayland/surface_geometry.h"

namespace statlume::wayland {

/// The layer the surface sits in: bottom is under normal windows, top over them.
enum class TLayer : std::uint8_t
{
    Bottom,
    Top
};

/// What the surface should be; Apply sends only what differs from the last plan.
struct TSurfacePlan
{
    bool Shown = false;
    /// Margins from the output's top-left corner, in logical pixels.
    TLogicalPoint Margins;
    /// Logical size; sides below 1 count as 1.
    TPixelSize Size{1, 1};
    TLayer Layer = TLayer::Bottom;
    /// An empty input region: clicks go to what lies below.
    bool ClickThrough = false;
    /// The output to appear on, by name; empty or unknown takes the first output.
    std::string OutputName;
    bool operator==(const TSurfacePlan&) const = default;
};

/// One pointer event on the surface, in surface-local logical pixels.
struct TPointerEvent
{
    enum class TKind : std::uint8_t
    {
        Enter,
        Leave,
        Motion,
        Press,
        Release,
        /// The pointer's own motion (relative-pointer deltas): X and Y are the distances moved,
        /// however the surface itself moved meanwhile.
        Shift
    };
    TKind Kind = TKind::Motion;
    double X = 0;
    double Y = 0;
    /// The Linux input button code (BTN_LEFT 0x110, BTN_RIGHT 0x111) for Press and Release.
    std::uint32_t Button = 0;
};

/// One frame's pixels: premultiplied ARGB in native 32-bit words, Stride bytes a row.
struct TFramePixels
{
    void* Data = nullptr;
    TPixelSize Size;
    int Stride = 0;
    /// Buffer pixels per logical pixel, in 120ths.
    std::uint32_t Scale120 = ScaleDenominator;
    /// What the buffer holds: 0 nothing usable (new, resized, rescaled or remapped), 1 the
    /// frame committed last, 2 the one before it (the last frame's changes are missing).
    int Age = 0;
    /// Which of the two buffers; its memory stays where it is until it is made again.
    int Slot = 0;
};

/// How far the queued requests went out.
enum class TFlushState : std::uint8_t
{
    Sent,
    Waiting,
    Failed
};

/// A connection of our own to the Wayland compositor with one zwlr_layer_shell_v1 surface:
/// outputs and their names, the seat's pointer, two shm buffers, frame callbacks and scale.
/// Nothing blocks after Connect: the owner reads when Fd() is readable and flushes until
/// Flush() says Sent.
class TLayerClient
{
public:
    /// Connects to $WAYLAND_DISPLAY; null with the reason in reason when there is no
    /// compositor, it does not answer within timeoutMs, or it lacks zwlr_layer_shell_v1.
    static std::unique_ptr<TLayerClient> Connect(std::string& reason, int timeoutMs = 2000);
    ~TLayerClient();
    TLayerClient(const TLayerClient&) = delete;
    TLayerClient& operator=(const TLayerClient&) = delete;

    /// The connection's socket.
    int Fd() const;
    /// Reads and handles what arrived without blocking; false once the connection failed.
    bool ReadEvents();
    /// Sends queued requests; Waiting when the compositor takes no more now.
    TFlushState Flush();
    /// Why the connection failed; empty while it works.
    const std::string& Error() const { return Failure; }

    /// Brings the surface to plan: maps, moves, resizes, changes layer or input, unmaps.
    void Apply(const TSurfacePlan& plan);
    /// A frame may be drawn now: mapped, configured, no frame callback outstanding and a
    /// buffer the compositor has released.
    bool CanDraw() const;
    /// The buffer to draw the next frame into at the surface's size and scale; nullopt when
    /// CanDraw() is false or no memory could be had.
    std::optional<TFramePixels> BeginFrame();
    /// No buffer holds what the surface shows (new surface, new scale): the next frame must
    /// be drawn whole.
    bool PictureLost() const;
    /// Copies rects from the frame committed last into the buffer being drawn (Age 2).
    void CopyFromFront(std::span<const TPixelRect> rects);
    /// Attaches the drawn buffer with the changed rects as its damage (empty: all of it),
    /// asks for the next frame callback and commits.
    void CommitFrame(std::span<const TPixelRect> damage);

    /// The margins the compositor had applied when the last event was sent: the base of
    /// surface-local pointer positions.
    TLogicalPoint AppliedMargins() const;
    /// The logical position of the surface's output in the compositor's layout.
    TLogicalPoint OutputOrigin() const;
    /// The name of the output the surface is on; empty before it is mapped.
    std::string OutputName() const;
    /// The logical size of the surface's output; 0 x 0 when unknown.
    TPixelSize OutputSize() const;
    /// The compositor offers fractional scales and viewports.
    bool FractionalScaling() const;
    /// Pointer events include Shift: the pointer's own motion.
    bool PointerShifts() const;

    /// A frame could be drawn now that could not before (configure, frame done, buffer
    /// released, scale changed).
    std::function<void()> OnReady;
    /// A pointer event on the surface.
    std::function<void(const TPointerEvent&)> OnPointer;
    /// The compositor removed the surface (its output went); it comes back on the next Apply.
    std::function<void()> OnClosed;

    struct TState;

private:
    explicit TLayerClient(std::unique_ptr<TState> state);
    std::unique_ptr<TState> State;
    std::string Failure;
};

} // namespace statlume::wayland
