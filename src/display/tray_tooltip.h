#pragma once

#include <cstddef>
#include <string>

namespace statlume {

/// What the tray's tooltip tells about the window's roles and its figures.
struct TTrayStatus
{
    /// The server this window is a client of; empty when not a client.
    std::string ClientHost{};
    int ClientPort = 0;
    /// The port served on; 0 when not serving.
    int ServingPort = 0;
    std::size_t Connections = 0;
    /// Every reply failed the checks: the passwords differ.
    bool PasswordMismatch = false;
    /// The time of the last record ("17:32:05") while the figures are old; empty otherwise.
    std::string FiguresFrom{};
};

/// The tooltip: "Statlume", the roles ("client of 192.0.2.10:6130", "serving on 6130,
/// 2 connections"), then a line for each problem. The host is shown in safe characters only.
std::string TrayToolTip(const TTrayStatus& status);

} // namespace statlume
