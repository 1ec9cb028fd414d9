#include "display/qt/signal_bridge.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

namespace statlume {
namespace {

constexpr std::array<int, 3> BridgedSignals{SIGTERM, SIGINT, SIGHUP};

// A signal handler can reach only static storage; this is the one descriptor it writes to.
std::atomic<int> SignalWriteFd{-1};

extern "C" void OnProcessSignal(int)
{
    const int savedErrno = errno;
    const int fd = SignalWriteFd.load();
    if (fd >= 0) {
        const char byte = 1;
        // A full pipe already holds a pending wake-up; losing this byte loses nothing.
        [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TSignalBridge::TSignalBridge(std::function<void()> onSignal, QObject* parent)
    : QObject(parent)
    , OnSignal(std::move(onSignal))
{
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
        Error = QString::fromUtf8(std::strerror(errno));
        return;
    }
    ReadEnd.Reset(fds[0]);
    WriteEnd.Reset(fds[1]);
    SignalWriteFd.store(WriteEnd.Get());
    Notifier = new QSocketNotifier(ReadEnd.Get(), QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action
    {
    };
    action.sa_handler = OnProcessSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : BridgedSignals) {
        if (::sigaction(signal, &action, nullptr) != 0) {
            Error = QString::fromUtf8(std::strerror(errno));
        }
    }
}

TSignalBridge::~TSignalBridge()
{
    for (const int signal : BridgedSignals) {
        std::signal(signal, SIG_DFL);
    }
    SignalWriteFd.store(-1);
}

void TSignalBridge::Drain()
{
    std::array<char, 64> bytes{};
    bool any = false;
    while (::read(ReadEnd.Get(), bytes.data(), bytes.size()) > 0) {
        any = true;
    }
    if (any && OnSignal) {
        OnSignal();
    }
}

} // namespace statlume
