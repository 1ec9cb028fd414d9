#pragma once

#include <string>

#include <sys/types.h>

namespace statlume::platform {

/// How a folder meant for one user's private files is checked.
struct TFolderRule
{
    /// Mode bits that must be clear (077: closed to others; 022: not writable by others).
    mode_t ForbiddenBits = 077;
    /// Accept a link to a folder (a user's own dotfile links), else only a real folder.
    bool FollowLinks = false;
};

/// What is wrong with a folder; empty What when it is usable.
struct TFolderProblem
{
    /// What is wrong, naming the folder.
    std::string What;
    /// The command that mends it; empty when there is none to give.
    std::string Fix;
    /// The system error when the folder cannot be examined at all (ENOENT: missing), else 0.
    int Errno = 0;
    /// The folder is usable.
    bool Ok() const { return What.empty(); }
    /// What and the fix in one line.
    std::string Message() const { return Fix.empty() ? What : What + "; fix: " + Fix; }
};

/// Checks that folder can hold the user's private files: a folder (a link to one only when
/// the rule allows), owned by the effective user, with none of the rule's forbidden bits.
TFolderProblem CheckPrivateFolder(const std::string& folder, const TFolderRule& rule);

/// Creates folder (0700) when missing and checks it with rule (closed to others, no link by
/// default); returns an error message, empty when usable.
std::string EnsurePrivateFolder(const std::string& folder, const TFolderRule& rule = {});

/// Creates folder and its missing parents, each 0700; an error message, empty when done.
std::string MakeFolders(const std::string& folder);

} // namespace statlume::platform
