#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "record/raw_data.h"

namespace statlume {

/// A record file's bytes, or the message saying why it cannot be used (naming the file).
using TRecordFileResult = std::variant<TRawBytes, std::string>;

/// Reads a file that must hold exactly one 272-byte record.
TRecordFileResult ReadRecordFile(const std::string& path);

/// Replaces path by a file holding bytes (a temporary beside it, then rename), so a reader
/// sees the old or the new record, never part of one; the error message on failure.
std::optional<std::string> WriteRecordFile(const std::string& path, const TRawBytes& bytes);

/// Writes the record to one file after each collection or reception.
class TRecordDump
{
public:
    /// Writes to path; messages go to err, which must outlive the object.
    TRecordDump(std::string path, std::ostream& err);
    /// Replaces the file by bytes (see WriteRecordFile); false, with the reason on err, when
    /// that failed.
    bool Write(const TRawBytes& bytes);

private:
    std::string Path;
    std::ostream& Err;
};

/// The largest text file ReadTextFile accepts, in bytes.
inline constexpr std::size_t MaxTextFileSize = 16 * 1024 * 1024;

/// The whole text of a regular file, opened without blocking (a FIFO or device is refused,
/// never waited on); nothing, with the reason in reason (the system's text where there is
/// one), when it cannot be read or holds more than MaxTextFileSize bytes.
std::optional<std::string> ReadTextFile(const std::string& path, std::string& reason);

/// The largest password file ReadPasswordFile accepts, in bytes.
inline constexpr std::size_t MaxPasswordFileSize = 4096;

/// The first line of a password file (without its line end), which must not be empty; the
/// file must be a regular file owned by this user that neither group nor others may read or
/// write, or a credential the service manager handed this service (IsServiceCredential).
/// Nothing, with the whole message in message, otherwise.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& message);

} // namespace statlume
