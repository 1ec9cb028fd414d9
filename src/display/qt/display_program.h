#pragma once

namespace statlume {

/// The desktop program: the entry logic ("-?", the single-instance lock, signalling a running
/// copy), then the window on the Qt event loop until the Exit command; returns the exit code.
int RunDisplayProgram(int argc, char** argv);

} // namespace statlume
