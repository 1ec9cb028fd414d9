// Starts a program and prints the milliseconds from its start until it maps its first
// top-level window, then ends it. Watches the root window's MapNotify events, so the figure
// is precise to the event's delivery rather than to a polling step.
// Usage: map_wait TIMEOUT_MS PROGRAM [ARGUMENTS...]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

using TClock = std::chrono::steady_clock;

struct TConnectionClose
{
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using TConnection = std::unique_ptr<xcb_connection_t, TConnectionClose>;

struct TFree
{
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using TReply = std::unique_ptr<T, TFree>;

/// The started program: ended (TERM, then KILL after a bound) when this goes.
class TChild
{
public:
    explicit TChild(pid_t pid)
        : Pid(pid)
    {
    }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    ~TChild() { End(); }

    /// The process id.
    pid_t Id() const { return Pid; }

    /// True once the program has ended on its own.
    bool Gone()
    {
        if (Pid > 0 && waitpid(Pid, nullptr, WNOHANG) == Pid) {
            Pid = -1;
        }
        return Pid <= 0;
    }

    /// Asks the program to end and waits up to 5 s before killing it.
    void End()
    {
        if (Gone()) {
            return;
        }
        kill(Pid, SIGTERM);
        const auto deadline = TClock::now() + std::chrono::seconds(5);
        while (!Gone() && TClock::now() < deadline) {
            usleep(10'000);
        }
        if (!Gone()) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
            Pid = -1;
        }
    }

private:
    pid_t Pid;
};

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name)
{
    const TReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<std::uint32_t> WindowPid(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom)
{
    const TReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    std::uint32_t pid = 0;
    std::memcpy(&pid, xcb_get_property_value(reply.get()), sizeof pid);
    return pid;
}

pid_t Start(char** argv)
{
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        std::perror(argv[0]);
        _exit(127);
    }
    return pid;
}

// The window when the event is the started program mapping a managed top-level window; a
// window without _NET_WM_PID is taken as the program's own, as nothing else starts meanwhile.
std::optional<xcb_window_t> ProgramsWindow(xcb_connection_t* c, const xcb_generic_event_t* event,
                                           xcb_window_t root, xcb_atom_t pidAtom, pid_t pid)
{
    if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) {
        return std::nullopt;
    }
    const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
    if (map->event != root || map->override_redirect != 0) {
        return std::nullopt;
    }
    const auto owner = WindowPid(c, map->window, pidAtom);
    if (owner && *owner != static_cast<std::uint32_t>(pid)) {
        return std::nullopt;
    }
    return map->window;
}

double MsSince(TClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: map_wait TIMEOUT_MS PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    char* end = nullptr;
    const long timeoutMs = std::strtol(argv[1], &end, 10);
    if (*end != '\0' || timeoutMs <= 0 || timeoutMs > 600'000) {
        std::fprintf(stderr, "map_wait: the timeout must be 1..600000 ms\n");
        return 2;
    }
    const TConnection connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) {
        std::fprintf(stderr, "map_wait: cannot open the display\n");
        return 1;
    }
    xcb_connection_t* c = connection.get();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t pidAtom = InternAtom(c, "_NET_WM_PID");
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the selection is in force before the program starts.
    if (const TReply<xcb_generic_error_t> error(xcb_request_check(
            c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask)));
        error) {
        std::fprintf(stderr, "map_wait: cannot watch the root window\n");
        return 1;
    }

    const auto started = TClock::now();
    TChild child(Start(argv + 2));
    if (child.Id() < 0) {
        std::perror("map_wait: fork");
        return 1;
    }
    const auto deadline = started + std::chrono::milliseconds(timeoutMs);
    pollfd watch{xcb_get_file_descriptor(c), POLLIN, 0};
    while (TClock::now() < deadline) {
        while (const TReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            if (ProgramsWindow(c, event.get(), root, pidAtom, child.Id())) {
                std::printf("%.1f\n", MsSince(started));
                return 0;
            }
        }
        if (xcb_connection_has_error(c) != 0 || child.Gone()) {
            std::fprintf(stderr, "map_wait: the program ended or the display went away\n");
            return 1;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
        poll(&watch, 1, static_cast<int>(std::min<long>(left.count() + 1, 50)));
    }
    std::fprintf(stderr, "map_wait: no window within %ld ms\n", timeoutMs);
    return 1;
}
