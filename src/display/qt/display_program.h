#pragma once

#include <string_view>

namespace statlume {

/// The desktop program: "--help" and "--version" on stdout, else the entry logic ("-?", the
/// single-instance lock, signalling a running copy), then the window on the Qt event loop
/// until the Exit command; returns the exit code.
int RunDisplayProgram(int argc, char** argv, std::string_view version);

} // namespace statlume
