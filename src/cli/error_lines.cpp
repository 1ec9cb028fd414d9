#include "cli/error_lines.h"

#include <algorithm>
#include <climits>
#include <iostream>
#include <utility>

#include <poll.h>
#include <unistd.h>

namespace statlume {

std::size_t WriteWithoutBlocking(int fd, std::string_view text)
{
    // Ready for output and at most PIPE_BUF bytes: a pipe or terminal takes them without
    // waiting; the rest of a longer text is dropped rather than waited for.
    pollfd ready{fd, POLLOUT, 0};
    if (::poll(&ready, 1, 0) != 1 || (ready.revents & POLLOUT) == 0)
        return 0;
    const auto written = ::write(fd, text.data(), std::min<std::size_t>(text.size(), PIPE_BUF));
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

std::function<void(std::string_view)> ErrorSinkFor(std::ostream& err)
{
    if (&err == &std::cerr)
        return [](std::string_view text) { WriteWithoutBlocking(STDERR_FILENO, text); };
    return [&err](std::string_view text) {
        err.write(text.data(), static_cast<std::streamsize>(text.size()));
        err.flush();
    };
}

TErrorLines::TErrorLines(std::function<void(std::string_view)> sink, asio::io_context* io,
                         std::function<TClock::time_point()> now)
    : Sink(std::move(sink))
    , Now(std::move(now))
{
    if (io)
        Timer.emplace(*io);
}

TErrorLines::~TErrorLines()
{
    // The last word is not lost at exit, whatever the gap.
    if (Held)
        Write(TakeHeld());
}

void TErrorLines::Post(std::string line)
{
    const auto now = Now();
    if (!Held && (!LastWrite || now - *LastWrite >= Gap)) {
        LastWrite = now;
        Write(line);
        return;
    }
    if (Held)
        ++HeldReplaced;
    Held = std::move(line);
    ArmTimer(*LastWrite + Gap);
}

std::optional<TErrorLines::TClock::time_point> TErrorLines::Flush()
{
    if (!Held)
        return std::nullopt;
    const auto due = *LastWrite + Gap;
    const auto now = Now();
    if (now < due)
        return due;
    LastWrite = now;
    Write(TakeHeld());
    return std::nullopt;
}

std::string TErrorLines::TakeHeld()
{
    std::string line = std::move(*Held);
    if (HeldReplaced > 0)
        line += " (" + std::to_string(HeldReplaced) + " more)";
    Held.reset();
    HeldReplaced = 0;
    return line;
}

void TErrorLines::Write(const std::string& line)
{
    ++WrittenCount;
    Sink(line + "\n");
}

void TErrorLines::ArmTimer(TClock::time_point when)
{
    if (!Timer || TimerArmed)
        return;
    TimerArmed = true;
    // The timer runs on the real clock; an injected clock is only for tests without a loop.
    Timer->expires_at(when);
    Timer->async_wait([this](std::error_code error) {
        if (error)
            return;
        TimerArmed = false;
        if (const auto again = Flush())
            ArmTimer(*again);
    });
}

} // namespace statlume
