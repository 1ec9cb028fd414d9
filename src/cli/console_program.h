#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace statlume {

/// The console program: reads the arguments (without the program name; a password in them is
/// overwritten in place once read), runs the mode they ask for and returns the exit status
/// (0 done, 1 a failure at run time, 2 bad usage or input). environmentPassword is the value
/// of STATLUME_PASSWORD, if set.
int RunConsoleProgram(std::span<char* const> argv,
                      const std::optional<std::string>& environmentPassword,
                      std::string_view version, std::ostream& out, std::ostream& err);

} // namespace statlume
