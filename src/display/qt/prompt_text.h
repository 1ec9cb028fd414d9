#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace statlume {

/// The text without leading and trailing blanks and control characters (bytes up to 0x20).
std::string TrimPromptText(std::string_view text);

/// The body of a prompt: the caption's question, then the prompt text, so a title bar cut
/// short by the window manager loses nothing.
std::string PromptBody(std::string_view caption, std::string_view prompt);

/// True when text is not empty and every character is one of "0" to "9".
bool IsAllDigits(std::string_view text);

/// A digit string as a 32-bit signed number; throws TCommandError when it is too large.
std::int32_t DigitsToInt32(std::string_view digits);

/// The whole text (trimmed) as a decimal integer (one optional sign); fallback when it is
/// none or outside 32 bits.
std::int32_t IntegerOr(std::string_view text, std::int32_t fallback);

} // namespace statlume
