#include "display/program_entry.h"

#include <utility>

#include "settings/command_line.h"

namespace statlume {
namespace {

void Tell(const TEntryServices& services, const std::string& message)
{
    if (services.Report) {
        services.Report(message);
    }
}

TEntryResult ShowHelp(const TEntryServices& services)
{
    TEntryResult result;
    const bool useTemp = services.TempFolder && !services.TempFolder->empty();
    const std::string folder = HelpPageFolder(
        services.TempFolder, useTemp ? std::string() : services.Instance.UserFolder());
    if (folder.empty()) {
        result.Action = TEntryAction::HelpFailed;
        result.Message = "Cannot write the help page: TEMP is not set and no private folder of "
                         "this user is usable.";
        return result;
    }
    THelpPageResult page = WriteHelpPage(folder);
    if (!page.Ok() && useTemp) {
        // In a shared sticky TEMP another user's page makes the rename fail: the private
        // folder is ours alone.
        if (const std::string own = services.Instance.UserFolder(); !own.empty()) {
            if (THelpPageResult fallback = WriteHelpPage(own); fallback.Ok()) {
                page = std::move(fallback);
            }
        }
    }
    if (!page.Ok()) {
        result.Action = TEntryAction::HelpFailed;
        result.Message = page.Error;
        return result;
    }
    result.Action = TEntryAction::HelpShown;
    std::string error;
    if (services.Open && !services.Open(page.Path, error)) {
        result.Message = "The help page is at '" + page.Path +
                         "'; no browser could be started to show it (" + error + ").";
    }
    return result;
}

} // namespace

TEntryResult ProgramEntry(const std::vector<std::string>& args, const TEntryServices& services)
{
    const TEntrySwitches switches = ParseEntrySwitches(args);
    if (switches.ShowHelp) {
        return ShowHelp(services);
    }
    TEntryResult result;
    if (switches.SkipInstanceTest) {
        return result;
    }
    platform::TAcquireResult acquired = services.Instance.TryAcquire();
    if (acquired.State == platform::TAcquireState::HeldElsewhere) {
        services.Instance.SignalRunning();
        result.Action = TEntryAction::SignalledRunningCopy;
        return result;
    }
    if (!acquired.Error.empty()) {
        Tell(services, acquired.Error);
    }
    result.Hold = std::move(acquired.Hold);
    return result;
}

} // namespace statlume
