#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace statlume {

/// The help page's file name inside its folder.
inline constexpr std::string_view HelpPageFileName = "slnettmp.htm";

/// Opens a file with the desktop's handler; false with a message in error when it cannot.
using TOpenFunc = std::function<bool(const std::string& path, std::string& error)>;

/// Where the page went, or why it could not be written.
struct THelpPageResult
{
    /// The page's full path; set on success.
    std::string Path;
    /// A message for the user; empty on success.
    std::string Error;
    /// The page was written.
    bool Ok() const { return Error.empty(); }
};

/// The page about network use for both programs: 23 lines, each ended by CR LF.
std::string HelpPageText();

/// The folder for the page: the TEMP value when set and not empty, else the per-user folder.
std::string HelpPageFolder(const std::optional<std::string>& tempValue,
                           const std::string& userFolder);

/// Writes the page as "slnettmp.htm" in folder through a temporary file and a rename, so a
/// link planted at that name is replaced, never followed.
THelpPageResult WriteHelpPage(const std::string& folder);

} // namespace statlume
