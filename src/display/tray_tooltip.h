#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "format/run.h"

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

/// How many of the template's first lines the tooltip shows, and how many characters of each.
constexpr std::size_t TrayFigureLines = 4;
constexpr std::size_t TrayFigureWidth = 80;

/// One line for the tooltip: its text with drawings as block characters, no colours, control
/// characters as "?", cut to TrayFigureWidth characters ("..." marks the cut).
std::string TrayFigureLine(const TRunLine& line);

/// The lines joined, empty lines at the end left out.
std::string TrayFigures(const std::vector<std::string>& lines);

} // namespace statlume
