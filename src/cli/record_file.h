#pragma once

#include <optional>
#include <string>
#include <variant>

#include "collect/raw_data.h"

namespace statlume {

/// A record file's bytes, or the message saying why it cannot be used (naming the file).
using TRecordFileResult = std::variant<TRawBytes, std::string>;

/// Reads a file that must hold exactly one 272-byte record.
TRecordFileResult ReadRecordFile(const std::string& path);

/// Replaces path by a file holding bytes (a temporary beside it, then rename), so a reader
/// sees the old or the new record, never part of one; the error message on failure.
std::optional<std::string> WriteRecordFile(const std::string& path, const TRawBytes& bytes);

/// The whole text of a file; nothing when it cannot be read.
std::optional<std::string> ReadTextFile(const std::string& path);

} // namespace statlume
