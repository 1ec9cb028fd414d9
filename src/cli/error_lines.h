#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include <asio.hpp>

namespace statlume {

/// Writes text to fd without ever waiting: what the descriptor cannot take now is dropped.
/// Returns the bytes written.
std::size_t WriteWithoutBlocking(int fd, std::string_view text);

/// A writer for err: the process's stderr is written without blocking (a pipe nobody drains
/// must not stall the event loop); any other stream is written as it is.
std::function<void(std::string_view)> ErrorSinkFor(std::ostream& err);

/// Status lines on the error stream, at most one per gap: a line that comes sooner is held,
/// and the latest held one is written once the gap has passed, saying how many it stands for.
class TErrorLines
{
public:
    using TClock = std::chrono::steady_clock;

    /// Writes complete lines ("...\n") to sink; with io, held lines are written by a timer,
    /// otherwise by Flush. now gives the time (steady clock unless a test injects one).
    explicit TErrorLines(std::function<void(std::string_view)> sink, asio::io_context* io = nullptr,
                         std::function<TClock::time_point()> now = TClock::now);
    /// Writes a line still held, so the last word is not lost.
    ~TErrorLines();
    TErrorLines(const TErrorLines&) = delete;
    TErrorLines& operator=(const TErrorLines&) = delete;

    /// Writes line now when the last one is at least a gap old and nothing is held, else holds
    /// it in place of any line held before.
    void Post(std::string line);
    /// Writes the held line, with " (N more)" for the N lines it replaced, when the gap has
    /// passed; returns when to call again, or nullopt when nothing is held any more.
    std::optional<TClock::time_point> Flush();
    /// Lines written so far.
    std::size_t Written() const { return WrittenCount; }

    /// The shortest time between two lines.
    static constexpr std::chrono::milliseconds Gap{1000};

private:
    void Write(const std::string& line);
    std::string TakeHeld();
    void ArmTimer(TClock::time_point when);

    std::function<void(std::string_view)> Sink;
    std::function<TClock::time_point()> Now;
    std::optional<asio::steady_timer> Timer;
    bool TimerArmed = false;
    std::optional<TClock::time_point> LastWrite;
    std::optional<std::string> Held;
    std::size_t HeldReplaced = 0;
    std::size_t WrittenCount = 0;
};

} // namespace statlume
