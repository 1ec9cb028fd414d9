// Reading the short one-value files of sysfs and procfs, and the names their links point to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace statlume::platform {

/// Longest file text the readers of kernel attribute files accept, in bytes.
inline constexpr std::size_t SmallFileLimit = 4095;

/// The text of the regular file at path without trailing white space, read with one open and
/// one read into a stack buffer; empty when it cannot be opened or read (EOPNOTSUPP, EIO, a
/// folder, a FIFO), is not a regular file or is longer than SmallFileLimit.
std::optional<std::string> ReadSmallFile(const std::string& path);

/// As ReadSmallFile, for the file name below the folder open as dirFd (or AT_FDCWD), so
/// several files of one folder cost one walk of its path.
std::optional<std::string> ReadSmallFileAt(int dirFd, const char* name);

/// The decimal number that is the whole of text (white space around it allowed); empty for
/// anything else, including a sign, a fraction or a value beyond 64 bits.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text);

/// As ParseUnsigned but a leading "-" is allowed; empty beyond the 64-bit signed range.
std::optional<std::int64_t> ParseSigned(std::string_view text);

/// The unsigned decimal number the file at path holds; empty when unreadable or not one.
std::optional<std::uint64_t> ReadUnsignedFile(const std::string& path);

/// The signed decimal number the file at path holds; empty when unreadable or not one.
std::optional<std::int64_t> ReadSignedFile(const std::string& path);

/// The target of the symbolic link at path as written in it; empty when path is no link.
std::optional<std::string> ReadLinkTarget(const std::string& path);

/// The last component of the link's target ("amdgpu" for ".../drivers/amdgpu"); empty when
/// path is no link or the target ends in "", "." or "..".
std::optional<std::string> ReadLinkName(const std::string& path);

} // namespace statlume::platform
