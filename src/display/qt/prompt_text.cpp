#include "display/qt/prompt_text.h"

#include <algorithm>
#include <charconv>

#include "display/qt/command_error.h"

namespace statlume {

std::string TrimPromptText(std::string_view text)
{
    const auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string PromptBody(std::string_view caption, std::string_view prompt)
{
    if (caption.empty()) {
        return std::string(prompt);
    }
    return std::string(caption) + "\n" + std::string(prompt);
}

bool IsAllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::int32_t DigitsToInt32(std::string_view digits)
{
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        throw TCommandError("'" + std::string(digits) + "' is not a valid integer value");
    }
    return value;
}

std::int32_t IntegerOr(std::string_view text, std::int32_t fallback)
{
    const std::string trimmed = TrimPromptText(text);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return fallback;
    }
    return value;
}

} // namespace statlume
