#include "display/wayland/layer_client.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "fractional-scale-v1-client.h"
#include "relative-pointer-unstable-v1-client.h"
#include "viewporter-client.h"
#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace statlume::wayland {
namespace {

// set_layer came with version 2; we send nothing newer than version 4 knows.
constexpr std::uint32_t MaxLayerShellVersion = 4;
// damage_buffer needs wl_surface version 4.
constexpr std::uint32_t MinCompositorVersion = 4;
constexpr std::uint32_t MaxOutputVersion = 4;
constexpr std::uint32_t MaxXdgOutputVersion = 3;
constexpr std::uint32_t MaxSeatVersion = 5;
// A name from the compositor is shown and stored; keep it short.
constexpr std::size_t MaxNameLength = 64;
constexpr const char* SurfaceNamespace = "statlume";
constexpr std::size_t MaxDamageRects = 32;

template <typename T>
T* Bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
        std::uint32_t offered, std::uint32_t wanted)
{
    return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

std::string CleanName(const char* name)
{
    std::string clean;
    for (const char* c = name; c != nullptr && *c != '\0' && clean.size() < MaxNameLength; ++c) {
        const auto u = static_cast<unsigned char>(*c);
        clean.push_back(u >= 0x20 && u < 0x7F ? *c : '?');
    }
    return clean;
}

struct TOutput
{
    TLayerClient::TState* Owner = nullptr;
    std::uint32_t Global = 0;
    wl_output* Output = nullptr;
    zxdg_output_v1* XdgOutput = nullptr;
    std::string Name;
    TLogicalPoint Origin;
    TPixelSize Size;
    int Scale = 1;

    ~TOutput()
    {
        if (XdgOutput != nullptr) {
            zxdg_output_v1_destroy(XdgOutput);
        }
        if (Output != nullptr) {
            if (wl_output_get_version(Output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
                wl_output_release(Output);
            } else {
                wl_output_destroy(Output);
            }
        }
    }
};

struct TBuffer
{
    wl_buffer* Buffer = nullptr;
    void* Data = MAP_FAILED;
    std::size_t Bytes = 0;
    TPixelSize Size;
    int Stride = 0;
    bool Busy = false;
    /// The commit whose picture the buffer holds; 0 for none.
    std::uint64_t Holds = 0;

    ~TBuffer()
    {
        if (Buffer != nullptr) {
            wl_buffer_destroy(Buffer);
        }
        if (Data != MAP_FAILED) {
            munmap(Data, Bytes);
        }
    }
};

struct TMarginSync
{
    wl_callback* Callback = nullptr;
    TLogicalPoint Margins;
};

} // namespace

struct TLayerClient::TState
{
    TLayerClient* Client = nullptr;
    wl_display* Display = nullptr;
    wl_registry* Registry = nullptr;
    wl_compositor* Compositor = nullptr;
    wl_shm* Shm = nullptr;
    zwlr_layer_shell_v1* LayerShell = nullptr;
    zxdg_output_manager_v1* XdgOutputs = nullptr;
    wp_fractional_scale_manager_v1* Fractions = nullptr;
    wp_viewporter* Viewporter = nullptr;
    wl_seat* Seat = nullptr;
    wl_pointer* Pointer = nullptr;
    zwp_relative_pointer_manager_v1* RelativePointers = nullptr;
    zwp_relative_pointer_v1* Relative = nullptr;
    std::vector<std::unique_ptr<TOutput>> Outputs;

    wl_surface* Surface = nullptr;
    zwlr_layer_surface_v1* Layer = nullptr;
    wp_viewport* Viewport = nullptr;
    wp_fractional_scale_v1* Fraction = nullptr;
    wl_callback* Frame = nullptr;
    TOutput* On = nullptr;
    bool Configured = false;
    bool ClosedPending = false;
    bool PointerInside = false;
    // The last pointer place: button events carry none.
    double PointerX = 0;
    double PointerY = 0;
    std::uint32_t Scale120 = ScaleDenominator;
    std::array<std::unique_ptr<TBuffer>, 2> Buffers;
    int Drawing = -1;
    /// The buffer committed last, and how many commits there were.
    int Front = -1;
    std::uint64_t Commits = 0;
    TSurfacePlan Plan;
    TLogicalPoint Applied;
    std::vector<TMarginSync> Syncs;

    ~TState()
    {
        Unmap();
        // Every proxy goes before the connection that owns it.
        for (auto& buffer : Buffers) {
            buffer.reset();
        }
        for (TMarginSync& sync : Syncs) {
            wl_callback_destroy(sync.Callback);
        }
        Outputs.clear();
        const auto destroy = [](auto* proxy, auto destroyer) {
            if (proxy != nullptr) {
                destroyer(proxy);
            }
        };
        destroy(Relative, zwp_relative_pointer_v1_destroy);
        destroy(Pointer, wl_pointer_destroy);
        destroy(RelativePointers, zwp_relative_pointer_manager_v1_destroy);
        destroy(Seat, wl_seat_destroy);
        destroy(Viewporter, wp_viewporter_destroy);
        destroy(Fractions, wp_fractional_scale_manager_v1_destroy);
        destroy(XdgOutputs, zxdg_output_manager_v1_destroy);
        destroy(LayerShell, zwlr_layer_shell_v1_destroy);
        destroy(Shm, wl_shm_destroy);
        destroy(Compositor, wl_compositor_destroy);
        destroy(Registry, wl_registry_destroy);
        if (Display != nullptr) {
            wl_display_disconnect(Display);
        }
    }

    void Ready() const
    {
        if (Client->OnReady) {
            Client->OnReady();
        }
    }

    TOutput* OutputNamed(const std::string& name) const
    {
        for (const auto& output : Outputs) {
            if (!name.empty() && output->Name == name) {
                return output.get();
            }
        }
        return Outputs.empty() ? nullptr : Outputs.front().get();
    }

    void AddOutput(std::uint32_t global, std::uint32_t version);
    void WatchXdgOutput(TOutput& output);
    void SeatCapabilities(std::uint32_t capabilities);
    void FollowRelativeMotion();
    void Map(const TSurfacePlan& plan);
    void Unmap();
    void UpdateScale();
    void SetScale(std::uint32_t scale120);
    void ForgetPictures();
    void SetInputRegion(bool clickThrough);
    void SyncMargins(TLogicalPoint margins);
    TBuffer* FreeBuffer(TPixelSize size);
    std::unique_ptr<TBuffer> MakeBuffer(TPixelSize size);
};

namespace {

// ---- listeners; each forwards to the state named by data.

void OutputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    std::int32_t, const char*, const char*, std::int32_t)
{
}
void OutputMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void OutputDone(void* data, wl_output*)
{
    static_cast<TOutput*>(data)->Owner->UpdateScale();
}
void OutputScale(void* data, wl_output*, std::int32_t factor)
{
    // A compositor's nonsense must not make giant buffers.
    static_cast<TOutput*>(data)->Scale = std::clamp(factor, 1, 8);
}
void OutputName(void* data, wl_output*, const char* name)
{
    static_cast<TOutput*>(data)->Name = CleanName(name);
}
void OutputDescription(void*, wl_output*, const char*) {}
const wl_output_listener OutputListener{OutputGeometry, OutputMode, OutputDone,
                                        OutputScale,    OutputName, OutputDescription};

void XdgPosition(void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y)
{
    static_cast<TOutput*>(data)->Origin = {x, y};
}
void XdgSize(void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height)
{
    static_cast<TOutput*>(data)->Size = {width, height};
}
void XdgDone(void*, zxdg_output_v1*) {}
void XdgName(void* data, zxdg_output_v1*, const char* name)
{
    auto* output = static_cast<TOutput*>(data);
    // wl_output's own name (version 4) is the same; either arrives first.
    if (output->Name.empty()) {
        output->Name = CleanName(name);
    }
}
void XdgDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener XdgOutputListener{XdgPosition, XdgSize, XdgDone, XdgName,
                                                XdgDescription};

void PointerEnter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y);
void PointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface* surface);
void PointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y);
void PointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                   std::uint32_t state);
void PointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
void PointerAxisValue120(void*, wl_pointer*, std::uint32_t, std::int32_t) {}
const wl_pointer_listener PointerListener{
    PointerEnter, PointerLeave,      PointerMotion,   PointerButton,       PointerAxis,
    PointerFrame, PointerAxisSource, PointerAxisStop, PointerAxisDiscrete, PointerAxisValue120};

void Pointer(TLayerClient::TState& state, TPointerEvent::TKind kind, double x, double y,
             std::uint32_t button = 0)
{
    if (state.Client->OnPointer) {
        state.Client->OnPointer(TPointerEvent{kind, x, y, button});
    }
}

void PointerEnter(void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x,
                  wl_fixed_t y)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    state.PointerInside = surface != nullptr && surface == state.Surface;
    if (state.PointerInside) {
        state.PointerX = wl_fixed_to_double(x);
        state.PointerY = wl_fixed_to_double(y);
        Pointer(state, TPointerEvent::TKind::Enter, state.PointerX, state.PointerY);
    }
}

void PointerLeave(void* data, wl_pointer*, std::uint32_t, wl_surface*)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    if (state.PointerInside) {
        state.PointerInside = false;
        Pointer(state, TPointerEvent::TKind::Leave, state.PointerX, state.PointerY);
    }
}

void PointerMotion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    if (state.PointerInside) {
        state.PointerX = wl_fixed_to_double(x);
        state.PointerY = wl_fixed_to_double(y);
        Pointer(state, TPointerEvent::TKind::Motion, state.PointerX, state.PointerY);
    }
}

void PointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
                   std::uint32_t pressed)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    if (state.PointerInside) {
        Pointer(state,
                pressed == WL_POINTER_BUTTON_STATE_PRESSED ? TPointerEvent::TKind::Press
                                                           : TPointerEvent::TKind::Release,
                state.PointerX, state.PointerY, button);
    }
}

void RelativeMotion(void* data, zwp_relative_pointer_v1*, std::uint32_t, std::uint32_t,
                    wl_fixed_t dx, wl_fixed_t dy, wl_fixed_t, wl_fixed_t)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    if (state.PointerInside) {
        Pointer(state, TPointerEvent::TKind::Shift, wl_fixed_to_double(dx), wl_fixed_to_double(dy));
    }
}
const zwp_relative_pointer_v1_listener RelativeListener{RelativeMotion};

void SeatCapabilities(void* data, wl_seat*, std::uint32_t capabilities)
{
    static_cast<TLayerClient::TState*>(data)->SeatCapabilities(capabilities);
}
void SeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener SeatListener{SeatCapabilities, SeatName};

void RegistryGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                    std::uint32_t version)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    const std::string_view which(interface);
    if (which == wl_compositor_interface.name && version >= MinCompositorVersion) {
        state.Compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version,
                                               MinCompositorVersion);
    } else if (which == wl_shm_interface.name) {
        state.Shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (which == zwlr_layer_shell_v1_interface.name) {
        state.LayerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface,
                                                     version, MaxLayerShellVersion);
    } else if (which == zxdg_output_manager_v1_interface.name && version >= 2) {
        state.XdgOutputs = Bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, MaxXdgOutputVersion);
        for (const auto& output : state.Outputs) {
            state.WatchXdgOutput(*output);
        }
    } else if (which == wp_fractional_scale_manager_v1_interface.name) {
        state.Fractions = Bind<wp_fractional_scale_manager_v1>(
            registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (which == wp_viewporter_interface.name) {
        state.Viewporter =
            Bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
    } else if (which == zwp_relative_pointer_manager_v1_interface.name) {
        state.RelativePointers = Bind<zwp_relative_pointer_manager_v1>(
            registry, name, &zwp_relative_pointer_manager_v1_interface, version, 1);
        state.FollowRelativeMotion();
    } else if (which == wl_seat_interface.name && state.Seat == nullptr) {
        state.Seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, MaxSeatVersion);
        wl_seat_add_listener(state.Seat, &SeatListener, &state);
    } else if (which == wl_output_interface.name) {
        state.AddOutput(name, version);
    }
}

void RegistryGlobalRemove(void* data, wl_registry*, std::uint32_t name)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    auto& outputs = state.Outputs;
    const auto gone = std::find_if(outputs.begin(), outputs.end(),
                                   [name](const auto& output) { return output->Global == name; });
    if (gone == outputs.end()) {
        return;
    }
    if (state.On == gone->get()) {
        // The compositor closes the surface as well; it comes back on another output.
        state.On = nullptr;
        state.ClosedPending = true;
    }
    outputs.erase(gone);
}
const wl_registry_listener RegistryListener{RegistryGlobal, RegistryGlobalRemove};

void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t,
                    std::uint32_t)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    const bool first = !state.Configured;
    state.Configured = true;
    if (first) {
        state.Ready();
    }
}
void LayerClosed(void* data, zwlr_layer_surface_v1*)
{
    static_cast<TLayerClient::TState*>(data)->ClosedPending = true;
}
const zwlr_layer_surface_v1_listener LayerListener{LayerConfigure, LayerClosed};

void FrameDone(void* data, wl_callback* callback, std::uint32_t)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    wl_callback_destroy(callback);
    if (state.Frame == callback) {
        state.Frame = nullptr;
        state.Ready();
    }
}
const wl_callback_listener FrameListener{FrameDone};

void SyncDone(void* data, wl_callback* callback, std::uint32_t)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    auto& syncs = state.Syncs;
    const auto done = std::find_if(syncs.begin(), syncs.end(),
                                   [callback](const auto& s) { return s.Callback == callback; });
    if (done != syncs.end()) {
        // Events sent after this one see the surface at these margins.
        state.Applied = done->Margins;
        syncs.erase(syncs.begin(), done + 1);
    }
    wl_callback_destroy(callback);
}
const wl_callback_listener SyncListener{SyncDone};

void BufferRelease(void* data, wl_buffer*)
{
    auto* buffer = static_cast<TBuffer*>(data);
    buffer->Busy = false;
}
const wl_buffer_listener BufferListener{BufferRelease};

void PreferredScale(void* data, wp_fractional_scale_v1*, std::uint32_t scale)
{
    auto& state = *static_cast<TLayerClient::TState*>(data);
    // At most 8x, as for integer scales.
    state.SetScale(std::clamp<std::uint32_t>(scale, 1, 8 * ScaleDenominator));
}
const wp_fractional_scale_v1_listener FractionListener{PreferredScale};

void RoundTripDone(void* data, wl_callback* callback, std::uint32_t)
{
    *static_cast<bool*>(data) = true;
    wl_callback_destroy(callback);
}
const wl_callback_listener RoundTripListener{RoundTripDone};

// A round trip that gives up after timeoutMs: a silent compositor must not hang the start.
bool RoundTrip(wl_display* display, int timeoutMs)
{
    bool done = false;
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &RoundTripListener, &done);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done) {
        if (wl_display_dispatch_pending(display) < 0) {
            return false;
        }
        if (done) {
            break;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            // The callback stays with the connection, which the caller now drops.
            return false;
        }
        pollfd wait{wl_display_get_fd(display), POLLIN, 0};
        if (wl_display_prepare_read(display) != 0) {
            continue;
        }
        if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) {
            wl_display_cancel_read(display);
            continue;
        }
        if (wl_display_read_events(display) < 0) {
            return false;
        }
    }
    return true;
}

} // namespace

void TLayerClient::TState::AddOutput(std::uint32_t global, std::uint32_t version)
{
    auto output = std::make_unique<TOutput>();
    output->Owner = this;
    output->Global = global;
    output->Output =
        Bind<wl_output>(Registry, global, &wl_output_interface, version, MaxOutputVersion);
    wl_output_add_listener(output->Output, &OutputListener, output.get());
    WatchXdgOutput(*output);
    Outputs.push_back(std::move(output));
}

void TLayerClient::TState::WatchXdgOutput(TOutput& output)
{
    if (XdgOutputs == nullptr || output.XdgOutput != nullptr) {
        return;
    }
    output.XdgOutput = zxdg_output_manager_v1_get_xdg_output(XdgOutputs, output.Output);
    zxdg_output_v1_add_listener(output.XdgOutput, &XdgOutputListener, &output);
}

void TLayerClient::TState::SeatCapabilities(std::uint32_t capabilities)
{
    const bool has = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
    if (has && Pointer == nullptr) {
        Pointer = wl_seat_get_pointer(Seat);
        wl_pointer_add_listener(Pointer, &PointerListener, this);
        FollowRelativeMotion();
    } else if (!has && Pointer != nullptr) {
        if (Relative != nullptr) {
            zwp_relative_pointer_v1_destroy(Relative);
            Relative = nullptr;
        }
        wl_pointer_destroy(Pointer);
        Pointer = nullptr;
        PointerInside = false;
    }
}

void TLayerClient::TState::FollowRelativeMotion()
{
    if (Pointer == nullptr || RelativePointers == nullptr || Relative != nullptr) {
        return;
    }
    Relative = zwp_relative_pointer_manager_v1_get_relative_pointer(RelativePointers, Pointer);
    zwp_relative_pointer_v1_add_listener(Relative, &RelativeListener, this);
}

void TLayerClient::TState::SetInputRegion(bool clickThrough)
{
    if (!clickThrough) {
        // No region: the whole surface takes input.
        wl_surface_set_input_region(Surface, nullptr);
        return;
    }
    wl_region* empty = wl_compositor_create_region(Compositor);
    wl_surface_set_input_region(Surface, empty);
    wl_region_destroy(empty);
}

void TLayerClient::TState::SyncMargins(TLogicalPoint margins)
{
    wl_callback* callback = wl_display_sync(Display);
    wl_callback_add_listener(callback, &SyncListener, this);
    Syncs.push_back({callback, margins});
}

void TLayerClient::TState::Map(const TSurfacePlan& plan)
{
    On = OutputNamed(plan.OutputName);
    Surface = wl_compositor_create_surface(Compositor);
    const auto layer = plan.Layer == TLayer::Top ? ZWLR_LAYER_SHELL_V1_LAYER_TOP
                                                 : ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM;
    Layer = zwlr_layer_shell_v1_get_layer_surface(
        LayerShell, Surface, On != nullptr ? On->Output : nullptr, layer, SurfaceNamespace);
    zwlr_layer_surface_v1_add_listener(Layer, &LayerListener, this);
    zwlr_layer_surface_v1_set_anchor(Layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP |
                                                ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    zwlr_layer_surface_v1_set_size(Layer, static_cast<std::uint32_t>(std::max(plan.Size.Width, 1)),
                                   static_cast<std::uint32_t>(std::max(plan.Size.Height, 1)));
    zwlr_layer_surface_v1_set_margin(Layer, plan.Margins.Y, 0, 0, plan.Margins.X);
    zwlr_layer_surface_v1_set_exclusive_zone(Layer, 0);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        Layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    if (Fractions != nullptr && Viewporter != nullptr) {
        Fraction = wp_fractional_scale_manager_v1_get_fractional_scale(Fractions, Surface);
        wp_fractional_scale_v1_add_listener(Fraction, &FractionListener, this);
        Viewport = wp_viewporter_get_viewport(Viewporter, Surface);
    }
    SetInputRegion(plan.ClickThrough);
    Configured = false;
    ForgetPictures();
    UpdateScale();
    // The first commit has no buffer: the compositor answers with configure.
    wl_surface_commit(Surface);
    SyncMargins(plan.Margins);
}

void TLayerClient::TState::Unmap()
{
    if (Frame != nullptr) {
        wl_callback_destroy(Frame);
        Frame = nullptr;
    }
    if (Viewport != nullptr) {
        wp_viewport_destroy(Viewport);
        Viewport = nullptr;
    }
    if (Fraction != nullptr) {
        wp_fractional_scale_v1_destroy(Fraction);
        Fraction = nullptr;
    }
    if (Layer != nullptr) {
        zwlr_layer_surface_v1_destroy(Layer);
        Layer = nullptr;
    }
    if (Surface != nullptr) {
        wl_surface_destroy(Surface);
        Surface = nullptr;
    }
    // A buffer the compositor still holds is released with the surface.
    for (auto& buffer : Buffers) {
        if (buffer) {
            buffer->Busy = false;
        }
    }
    Configured = false;
    PointerInside = false;
    On = nullptr;
}

void TLayerClient::TState::UpdateScale()
{
    if (Fraction != nullptr || On == nullptr) {
        return;
    }
    SetScale(static_cast<std::uint32_t>(On->Scale) * ScaleDenominator);
}

void TLayerClient::TState::SetScale(std::uint32_t scale120)
{
    if (scale120 != Scale120) {
        Scale120 = scale120;
        ForgetPictures();
        Ready();
    }
}

void TLayerClient::TState::ForgetPictures()
{
    for (auto& buffer : Buffers) {
        if (buffer) {
            buffer->Holds = 0;
        }
    }
    Front = -1;
}

TBuffer* TLayerClient::TState::FreeBuffer(TPixelSize size)
{
    // A free buffer of the size that holds the newest picture needs the least drawing.
    TBuffer* best = nullptr;
    for (auto& slot : Buffers) {
        if (slot && !slot->Busy && slot->Size == size && (!best || slot->Holds > best->Holds)) {
            best = slot.get();
        }
    }
    if (best != nullptr) {
        return best;
    }
    for (std::size_t i = 0; i < Buffers.size(); ++i) {
        auto& slot = Buffers[i];
        if (slot && slot->Busy) {
            continue;
        }
        if (Front == static_cast<int>(i)) {
            Front = -1;
        }
        slot = MakeBuffer(size);
        return slot.get();
    }
    return nullptr;
}

std::unique_ptr<TBuffer> TLayerClient::TState::MakeBuffer(TPixelSize size)
{
    auto buffer = std::make_unique<TBuffer>();
    buffer->Size = size;
    buffer->Stride = size.Width * 4;
    buffer->Bytes =
        static_cast<std::size_t>(buffer->Stride) * static_cast<std::size_t>(size.Height);
    const int fd = memfd_create("statlume-frame", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(buffer->Bytes)) != 0) {
        close(fd);
        return nullptr;
    }
    buffer->Data = mmap(nullptr, buffer->Bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (buffer->Data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(Shm, fd, static_cast<std::int32_t>(buffer->Bytes));
    buffer->Buffer = wl_shm_pool_create_buffer(pool, 0, size.Width, size.Height, buffer->Stride,
                                               WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(buffer->Buffer, &BufferListener, buffer.get());
    return buffer;
}

TLayerClient::TLayerClient(std::unique_ptr<TState> state)
    : State(std::move(state))
{
    State->Client = this;
}

TLayerClient::~TLayerClient() = default;

std::unique_ptr<TLayerClient> TLayerClient::Connect(std::string& reason, int timeoutMs)
{
    auto state = std::make_unique<TState>();
    state->Display = wl_display_connect(nullptr);
    if (state->Display == nullptr) {
        reason = "no Wayland compositor answers at WAYLAND_DISPLAY";
        return nullptr;
    }
    state->Registry = wl_display_get_registry(state->Display);
    wl_registry_add_listener(state->Registry, &RegistryListener, state.get());
    // The second trip brings the outputs' names, places and scales.
    if (!RoundTrip(state->Display, timeoutMs) || !RoundTrip(state->Display, timeoutMs)) {
        reason =
            "the Wayland compositor did not answer within " + std::to_string(timeoutMs) + " ms";
        return nullptr;
    }
    if (state->LayerShell == nullptr) {
        reason = "the Wayland compositor lacks the zwlr_layer_shell_v1 protocol";
        return nullptr;
    }
    if (state->Compositor == nullptr || state->Shm == nullptr) {
        reason = "the Wayland compositor lacks wl_compositor version 4 or wl_shm";
        return nullptr;
    }
    return std::unique_ptr<TLayerClient>(new TLayerClient(std::move(state)));
}

int TLayerClient::Fd() const
{
    return wl_display_get_fd(State->Display);
}

bool TLayerClient::ReadEvents()
{
    if (!Failure.empty()) {
        return false;
    }
    wl_display* display = State->Display;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) {
            break;
        }
    }
    pollfd ready{wl_display_get_fd(display), POLLIN, 0};
    if (poll(&ready, 1, 0) > 0) {
        wl_display_read_events(display);
    } else {
        wl_display_cancel_read(display);
    }
    wl_display_dispatch_pending(display);
    if (const int error = wl_display_get_error(display); error != 0) {
        Failure = std::string("the Wayland connection failed: ") + std::strerror(error);
        return false;
    }
    if (State->ClosedPending) {
        State->ClosedPending = false;
        State->Unmap();
        // The next Apply maps the surface again.
        State->Plan.Shown = false;
        if (OnClosed) {
            OnClosed();
        }
    }
    return true;
}

TFlushState TLayerClient::Flush()
{
    if (!Failure.empty()) {
        return TFlushState::Failed;
    }
    if (wl_display_flush(State->Display) >= 0) {
        return TFlushState::Sent;
    }
    if (errno == EAGAIN) {
        return TFlushState::Waiting;
    }
    Failure = std::string("the Wayland connection failed: ") + std::strerror(errno);
    return TFlushState::Failed;
}

void TLayerClient::Apply(const TSurfacePlan& plan)
{
    TState& s = *State;
    if (!plan.Shown) {
        if (s.Surface != nullptr) {
            s.Unmap();
            // A hidden window keeps no pixels.
            for (auto& buffer : s.Buffers) {
                buffer.reset();
            }
            s.Front = -1;
        }
        s.Plan = plan;
        return;
    }
    const bool wrongOutput =
        s.Surface != nullptr && !plan.OutputName.empty() && s.OutputNamed(plan.OutputName) != s.On;
    if (s.Surface == nullptr || wrongOutput || s.On == nullptr) {
        s.Unmap();
        s.Map(plan);
        s.Plan = plan;
        return;
    }
    bool changed = false;
    if (plan.Margins != s.Plan.Margins) {
        zwlr_layer_surface_v1_set_margin(s.Layer, plan.Margins.Y, 0, 0, plan.Margins.X);
        changed = true;
    }
    if (plan.Size != s.Plan.Size) {
        zwlr_layer_surface_v1_set_size(s.Layer,
                                       static_cast<std::uint32_t>(std::max(plan.Size.Width, 1)),
                                       static_cast<std::uint32_t>(std::max(plan.Size.Height, 1)));
        changed = true;
    }
    if (plan.Layer != s.Plan.Layer) {
        zwlr_layer_surface_v1_set_layer(s.Layer, plan.Layer == TLayer::Top
                                                     ? ZWLR_LAYER_SHELL_V1_LAYER_TOP
                                                     : ZWLR_LAYER_SHELL_V1_LAYER_BOTTOM);
        changed = true;
    }
    if (plan.ClickThrough != s.Plan.ClickThrough) {
        s.SetInputRegion(plan.ClickThrough);
        changed = true;
    }
    const bool moved = plan.Margins != s.Plan.Margins;
    s.Plan = plan;
    if (changed) {
        wl_surface_commit(s.Surface);
    }
    if (moved) {
        s.SyncMargins(plan.Margins);
    }
}

bool TLayerClient::CanDraw() const
{
    const TState& s = *State;
    if (s.Layer == nullptr || !s.Configured || s.Frame != nullptr) {
        return false;
    }
    return std::any_of(s.Buffers.begin(), s.Buffers.end(),
                       [](const auto& buffer) { return !buffer || !buffer->Busy; });
}

std::optional<TFramePixels> TLayerClient::BeginFrame()
{
    TState& s = *State;
    if (!CanDraw()) {
        return std::nullopt;
    }
    const TPixelSize size = BufferSizeFor(s.Plan.Size, s.Scale120);
    TBuffer* buffer = s.FreeBuffer(size);
    if (buffer == nullptr) {
        return std::nullopt;
    }
    s.Drawing = buffer == s.Buffers[0].get() ? 0 : 1;
    int age = 0;
    if (buffer->Holds != 0 && buffer->Holds == s.Commits) {
        age = 1;
    } else if (buffer->Holds != 0 && buffer->Holds + 1 == s.Commits && s.Front >= 0 &&
               s.Front != s.Drawing && s.Buffers[static_cast<std::size_t>(s.Front)]->Size == size) {
        age = 2;
    }
    return TFramePixels{buffer->Data, buffer->Size, buffer->Stride, s.Scale120, age, s.Drawing};
}

bool TLayerClient::PictureLost() const
{
    return State->Front < 0;
}

void TLayerClient::CopyFromFront(std::span<const TPixelRect> rects)
{
    TState& s = *State;
    if (s.Drawing < 0 || s.Front < 0 || s.Front == s.Drawing) {
        return;
    }
    const TBuffer& from = *s.Buffers[static_cast<std::size_t>(s.Front)];
    TBuffer& to = *s.Buffers[static_cast<std::size_t>(s.Drawing)];
    if (from.Size == to.Size) {
        CopyRects(from.Data, to.Data, to.Size, to.Stride, rects);
    }
}

void TLayerClient::CommitFrame(std::span<const TPixelRect> damage)
{
    TState& s = *State;
    if (s.Drawing < 0 || s.Surface == nullptr) {
        return;
    }
    TBuffer& buffer = *s.Buffers[static_cast<std::size_t>(s.Drawing)];
    s.Front = s.Drawing;
    s.Drawing = -1;
    buffer.Holds = ++s.Commits;
    wl_surface_attach(s.Surface, buffer.Buffer, 0, 0);
    // Many small rects cost the compositor more than their bounds.
    if (damage.empty() || damage.size() > MaxDamageRects) {
        wl_surface_damage_buffer(s.Surface, 0, 0, buffer.Size.Width, buffer.Size.Height);
    } else {
        for (const TPixelRect& r : damage) {
            wl_surface_damage_buffer(s.Surface, r.X, r.Y, r.Width, r.Height);
        }
    }
    if (s.Viewport != nullptr) {
        wp_viewport_set_destination(s.Viewport, std::max(s.Plan.Size.Width, 1),
                                    std::max(s.Plan.Size.Height, 1));
    } else {
        wl_surface_set_buffer_scale(s.Surface,
                                    static_cast<std::int32_t>(s.Scale120 / ScaleDenominator));
    }
    s.Frame = wl_surface_frame(s.Surface);
    wl_callback_add_listener(s.Frame, &FrameListener, &s);
    buffer.Busy = true;
    wl_surface_commit(s.Surface);
}

TLogicalPoint TLayerClient::AppliedMargins() const
{
    return State->Applied;
}

TLogicalPoint TLayerClient::OutputOrigin() const
{
    return State->On != nullptr ? State->On->Origin : TLogicalPoint{};
}

std::string TLayerClient::OutputName() const
{
    return State->On != nullptr ? State->On->Name : std::string();
}

TPixelSize TLayerClient::OutputSize() const
{
    return State->On != nullptr ? State->On->Size : TPixelSize{};
}

bool TLayerClient::PointerShifts() const
{
    return State->Relative != nullptr;
}

bool TLayerClient::FractionalScaling() const
{
    return State->Fractions != nullptr && State->Viewporter != nullptr;
}

} // namespace statlume::wayland
