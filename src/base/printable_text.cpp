#include "base/printable_text.h"

#include <cstddef>

namespace statlume {

namespace {

unsigned char ByteAt(std::string_view text, std::size_t at)
{
    return static_cast<unsigned char>(text[at]);
}

// Length of the well-formed UTF-8 sequence at text[at] (no overlong forms, surrogates or code
// points above U+10FFFF), or 0 when none starts there.
std::size_t SequenceLength(std::string_view text, std::size_t at)
{
    const unsigned char lead = ByteAt(text, at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (text.size() - at < length)
        return 0;
    const unsigned char second = ByteAt(text, at + 1);
    if (second < low || second > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((ByteAt(text, at + k) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

// Characters that reorder or break the text around them: the bidirectional embeddings,
// overrides and isolates U+202A..U+202E and U+2066..U+2069, the marks U+200E, U+200F and
// U+061C, and the line and paragraph separators U+2028 and U+2029.
bool IsLayoutControl(std::string_view text, std::size_t at, std::size_t length)
{
    const auto byte = [&](std::size_t k) { return ByteAt(text, at + k); };
    if (length == 2)
        return byte(0) == 0xD8 && byte(1) == 0x9C;
    if (length != 3 || byte(0) != 0xE2)
        return false;
    const unsigned char last = byte(2);
    if (byte(1) == 0x80)
        return last == 0x8E || last == 0x8F || (last >= 0xA8 && last <= 0xAE);
    return byte(1) == 0x81 && last >= 0xA6 && last <= 0xA9;
}

bool IsC0OrDel(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

} // namespace

std::string PrintableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const unsigned char byte = ByteAt(text, at);
        if (byte < 0x80) {
            out += IsC0OrDel(byte) ? '?' : text[at];
            ++at;
            continue;
        }
        const std::size_t length = SequenceLength(text, at);
        if (length == 0) {
            // A stray byte: in an 8-bit terminal 0x80..0x9F are the C1 controls themselves.
            out += byte <= 0x9F ? '?' : text[at];
            ++at;
            continue;
        }
        const bool c1 = length == 2 && byte == 0xC2 && ByteAt(text, at + 1) <= 0x9F;
        if (c1 || IsLayoutControl(text, at, length))
            out += '?';
        else
            out.append(text.substr(at, length));
        at += length;
    }
    return out;
}

} // namespace statlume
