#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/help_page.h"
#include "platform/instance.h"
#include "platform/registry.h"

namespace statlume {

/// What the program does after its entry logic.
enum class TEntryAction
{
    /// Create the display window and run it.
    RunDisplay,
    /// The help page was written (and handed to the opener); end with exit code 0.
    HelpShown,
    /// The help page could not be written; end with a non-zero exit code.
    HelpFailed,
    /// Another local display runs and was asked to restore its tray icon; end with 0.
    SignalledRunningCopy,
};

/// The decision, and with RunDisplay the display lock to keep for the window's life.
struct TEntryResult
{
    TEntryAction Action = TEntryAction::RunDisplay;
    /// Set with RunDisplay when the single-instance test ran and took the lock.
    std::unique_ptr<platform::TInstanceHold> Hold;
    /// Why the help page failed (HelpFailed), or where it is when it was written but could
    /// not be opened (HelpShown).
    std::string Message;
    /// The process exit code for the actions that end the program.
    int ExitCode() const { return Action == TEntryAction::HelpFailed ? 1 : 0; }
};

/// What the entry logic needs from the outside.
struct TEntryServices
{
    platform::TSingleInstance& Instance;
    /// The value of the environment variable TEMP; nullopt when unset.
    std::optional<std::string> TempFolder;
    /// Opens the written help page; its failure is reported, not fatal.
    TOpenFunc Open;
    /// Receives non-fatal problems (opener failure, an unusable lock folder).
    platform::TReportFunc Report;
};

/// The program entry: "-?" (before any later switch ends the walk) writes and opens the help
/// page (in TEMP, else, or when TEMP refuses it, in the private user folder); "-c"/"-C"
/// skips the single-instance test; otherwise the display lock is taken, or, when another copy
/// holds it, that copy is signalled. A lock that cannot be used at all lets the display
/// start, as if no other copy ran.
TEntryResult ProgramEntry(const std::vector<std::string>& args, const TEntryServices& services);

} // namespace statlume
