#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace statlume {

/// The console program: reads the arguments (without the program name), runs the mode they
/// ask for and returns the exit status (0 done, 1 collection failure, 2 bad input).
int RunConsoleProgram(std::span<const std::string> args, std::string_view version,
                      std::ostream& out, std::ostream& err);

} // namespace statlume
