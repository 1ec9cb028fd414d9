#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "base/locale_info.h"

namespace statlume {

/// Exit status when the record file is missing or not exactly one record long.
inline constexpr int RecordFileErrorStatus = 2;

/// Renders the record in recordPath through templateText as a client shows a received record:
/// the labels are built first (clearing the drive letters), then the record becomes the
/// snapshot as it stands. Writes the lines and one empty line to out and returns 0; a file
/// that is missing or not exactly 272 bytes gives a message naming it on err and status 2.
int RenderRecordFile(const std::string& recordPath, std::string_view templateText,
                     const LocaleInfo& locale, std::ostream& out, std::ostream& err);

} // namespace statlume
