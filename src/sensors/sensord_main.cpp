// statlume-sensord: publishes the first three temperatures and fan speeds of the hardware
// monitoring devices in the shared sensor block, refreshed until SIGTERM, SIGINT or SIGHUP.

#include <array>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/unique_fd.h"
#include "sensors/block_publisher.h"
#include "sensors/hwmon_scan.h"
#include "sensors/publisher_lock.h"
#include "sensors/sensord_options.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

using namespace statlume;

// The signals that end the publisher are blocked and taken with sigtimedwait, so the refresh
// clock and the shutdown share one wait and no handler or global flag is needed. Dispositions
// are reset first: an ignored signal would never be delivered to the wait.
sigset_t BlockEndSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        std::signal(number, SIG_DFL);
        sigaddset(&set, number);
    }
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return set;
}

// True when an end signal arrived within interval.
bool WaitForEnd(const sigset_t& set, std::chrono::milliseconds interval)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(interval);
    timespec timeout{static_cast<std::time_t>(seconds.count()),
                     static_cast<long>((interval - seconds).count()) * 1000000L};
    while (true) {
        if (sigtimedwait(&set, nullptr, &timeout) > 0)
            return true;
        if (errno == EAGAIN)
            return false;
        // EINTR: another signal; the remaining time is not tracked, a slightly late refresh
        // does no harm.
    }
}

// A failure, on stderr and, while a detaching caller still waits on ready, through the pipe
// to that caller, since a detached publisher's stderr is /dev/null.
int Failure(platform::TUniqueFd& ready, const std::string& message)
{
    const std::string line = "statlume-sensord: " + message + "\n";
    std::cerr << line;
    if (ready) {
        [[maybe_unused]] const auto written = ::write(ready.Get(), line.data(), line.size());
        ready.Reset();
    }
    return 1;
}

int Publish(const TSensordOptions& options, platform::TUniqueFd& ready)
{
    const sigset_t endSignals = BlockEndSignals();
    const auto folder = RuntimeFolder();
    if (!folder)
        return Failure(ready, "no private runtime folder for the lock file");
    const auto lock = TPublisherLock::TryAcquire(PublisherLockPath(*folder, options.Name));
    if (!lock)
        return Failure(ready, "already running for " + options.Name);
    TBlockPublisher block(options.Name);
    block.Write(ScanHwmon(options.Root));
    if (ready) {
        const char byte = 'R';
        [[maybe_unused]] const auto written = ::write(ready.Get(), &byte, 1);
        ready.Reset();
    }
    if (options.Once) {
        block.Keep();
        return 0;
    }
    // Once the lock file or the block's name is no longer this publisher's (its run-time
    // folder was removed, or a publisher started elsewhere took the name), nobody reads what
    // it writes: it ends rather than run on unseen.
    while (!WaitForEnd(endSignals, options.Interval)) {
        if (!lock->StillHeld() || !block.StillNamed())
            return 0;
        block.Write(ScanHwmon(options.Root));
    }
    return 0;
}

// Detaches in the classic way: the caller forks, the child starts a session and forks again,
// and the grandchild, which can never regain a terminal, publishes. The caller waits on a
// pipe until the block is up or the publisher has given up, so a launcher returns only once
// the block exists. Returns the write end of the pipe in the publisher, empty in the caller
// (with the caller's exit status in status).
std::optional<platform::TUniqueFd> Detach(int& status)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        status = 1;
        return std::nullopt;
    }
    platform::TUniqueFd readEnd(ends[0]);
    platform::TUniqueFd writeEnd(ends[1]);
    const pid_t child = ::fork();
    if (child < 0) {
        status = 1;
        return std::nullopt;
    }
    if (child > 0) {
        writeEnd.Reset();
        pollfd wait{readEnd.Get(), POLLIN, 0};
        std::array<char, 512> reply{};
        const ssize_t got =
            ::poll(&wait, 1, 5000) == 1 ? ::read(readEnd.Get(), reply.data(), reply.size()) : 0;
        status = got == 1 && reply[0] == 'R' ? 0 : 1;
        // Anything else is the publisher's failure message.
        if (got > 1)
            std::cerr.write(reply.data(), got);
        return std::nullopt;
    }
    readEnd.Reset();
    ::setsid();
    if (::fork() != 0)
        ::_exit(0);
    [[maybe_unused]] const int root = ::chdir("/");
    const platform::TUniqueFd null(::open("/dev/null", O_RDWR | O_CLOEXEC));
    for (const int fd : {0, 1, 2})
        ::dup2(null.Get(), fd);
    return writeEnd;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    std::string error;
    const auto options = ParseSensordOptions(args, error);
    if (!options) {
        std::cerr << "statlume-sensord: " << error << "\n" << SensordUsage();
        return 2;
    }
    if (options->Help) {
        std::cout << SensordUsage();
        return 0;
    }
    platform::TUniqueFd ready;
    if (options->Detach) {
        int status = 0;
        auto writeEnd = Detach(status);
        if (!writeEnd)
            return status;
        ready = std::move(*writeEnd);
    }
    try {
        return Publish(*options, ready);
    } catch (const std::exception& failure) {
        return Failure(ready, failure.what());
    }
}
