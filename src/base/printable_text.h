#pragma once

#include <string>
#include <string_view>

namespace statlume {

/// The text with each control character replaced by "?": C0 (0x00..0x1F), DEL (0x7F), C1
/// (U+0080..U+009F), any byte 0x80..0x9F outside a valid UTF-8 sequence, the bidirectional
/// controls U+202A..U+202E, U+2066..U+2069, U+200E, U+200F, U+061C and the separators U+2028
/// and U+2029. Other valid UTF-8 characters and other bytes (text in a single-byte code page)
/// are kept, so text from a peer or a file can never steer the terminal it is printed on nor
/// reorder or split the line it is shown in.
std::string PrintableText(std::string_view text);

} // namespace statlume
