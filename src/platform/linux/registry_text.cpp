#include "platform/linux/registry_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace statlume::platform {
namespace {

constexpr std::string_view Header = "REGEDIT4";
constexpr std::string_view RootPrefix = "HKEY_CURRENT_USER\\";
constexpr char HexDigits[] = "0123456789abcdef";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Reads a quoted text at the start of s and moves s past it; nullopt when it is not closed
// or holds an unknown escape.
std::optional<std::string> TakeQuoted(std::string_view& s)
{
    if (s.empty() || s.front() != '"') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i == s.size()) {
            return std::nullopt;
        }
        switch (s[i]) {
        case '\\':
            out.push_back('\\');
            break;
        case '"':
            out.push_back('"');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 'n':
            out.push_back('\n');
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::int32_t> ParseDword(std::string_view digits)
{
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int v = HexValue(c);
        if (v < 0) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(v);
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view list)
{
    std::vector<std::uint8_t> bytes;
    list = TrimBlanks(list);
    if (list.empty()) {
        return bytes;
    }
    while (true) {
        list = TrimBlanks(list);
        if (list.size() < 2) {
            return std::nullopt;
        }
        const int hi = HexValue(list[0]);
        const int lo = HexValue(list[1]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        list = TrimBlanks(list.substr(2));
        if (list.empty()) {
            return bytes;
        }
        if (list.front() != ',') {
            return std::nullopt;
        }
        list.remove_prefix(1);
    }
}

// Hands out the lines of a text one by one, without their CR LF / LF endings; holds no
// more than the text itself, whatever the number of lines.
class TLineCursor
{
public:
    explicit TLineCursor(std::string_view text)
        : Rest(text)
    {
    }

    /// The next line into line; false at the end of the text.
    bool Next(std::string_view& line)
    {
        if (Done) {
            return false;
        }
        const std::size_t end = Rest.find('\n');
        line = Rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ++Number;
        if (end == std::string_view::npos) {
            Done = true;
        } else {
            Rest.remove_prefix(end + 1);
            Done = Rest.empty();
        }
        return true;
    }

    /// The 1-based number of the line last handed out.
    std::size_t LineNumber() const { return Number; }

private:
    std::string_view Rest;
    std::size_t Number = 0;
    bool Done = false;
};

class TParser
{
public:
    explicit TParser(std::string_view text)
        : Lines(text)
    {
    }

    TRegistryParseResult Run()
    {
        std::string_view line;
        if (!Lines.Next(line) || StripBom(line) != Header) {
            return Fail(1, "the first line is not REGEDIT4");
        }
        while (Lines.Next(line)) {
            const std::size_t number = Lines.LineNumber();
            line = TrimBlanks(line);
            if (line.empty() || line.front() == ';') {
                continue;
            }
            const std::string reason = line.front() == '[' ? Section(line) : Value(line);
            if (!reason.empty()) {
                return Fail(number, reason);
            }
        }
        TRegistryParseResult result;
        result.Tree = std::move(Tree);
        return result;
    }

private:
    static std::string_view StripBom(std::string_view line)
    {
        constexpr std::string_view bom = "\xEF\xBB\xBF";
        return line.starts_with(bom) ? line.substr(bom.size()) : line;
    }

    static TRegistryParseResult Fail(std::size_t line, std::string reason)
    {
        TRegistryParseResult result;
        result.Line = line;
        result.Reason = std::move(reason);
        return result;
    }

    std::string Section(std::string_view line)
    {
        if (line.back() != ']') {
            return "a section line does not end with ]";
        }
        const std::string_view inner = line.substr(1, line.size() - 2);
        if (!inner.starts_with(RootPrefix)) {
            return "a section is not below HKEY_CURRENT_USER";
        }
        CurrentKey = TRegistry::NormalizePath(inner.substr(RootPrefix.size()));
        if (CurrentKey.empty()) {
            return "a section names no key";
        }
        if (!IsValidKeyPath(CurrentKey)) {
            return "a key is deeper than " + std::to_string(MaxKeyDepth) +
                   " levels or has a name " + "longer than " + std::to_string(MaxKeyNameLength) +
                   " characters or holding control characters";
        }
        Tree.try_emplace(CurrentKey);
        return {};
    }

    std::string Value(std::string_view line)
    {
        if (CurrentKey.empty()) {
            return "a value comes before any section";
        }
        auto name = TakeQuoted(line);
        if (!name) {
            return "a value name is not a closed quoted text";
        }
        if (!IsValidValueName(*name)) {
            return "a value name is longer than " + std::to_string(MaxValueNameLength) +
                   " characters";
        }
        line = TrimBlanks(line);
        if (line.empty() || line.front() != '=') {
            return "a value name is not followed by =";
        }
        line = TrimBlanks(line.substr(1));
        auto data = Data(line);
        if (!data) {
            return "a value's data is malformed";
        }
        Tree[CurrentKey][*name] = std::move(*data);
        return {};
    }

    std::optional<TRegistryValue> Data(std::string_view line)
    {
        if (line.starts_with('"')) {
            auto text = TakeQuoted(line);
            if (!text || !TrimBlanks(line).empty()) {
                return std::nullopt;
            }
            return TRegistryValue(std::move(*text));
        }
        if (line.starts_with("dword:")) {
            const auto value = ParseDword(line.substr(6));
            return value ? std::optional<TRegistryValue>(*value) : std::nullopt;
        }
        if (line.starts_with("hex:")) {
            std::string list(line.substr(4));
            // A trailing backslash continues the list on the next line.
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                std::string_view next;
                if (!Lines.Next(next)) {
                    return std::nullopt;
                }
                list += TrimBlanks(next);
            }
            auto bytes = ParseHexList(list);
            return bytes ? std::optional<TRegistryValue>(std::move(*bytes)) : std::nullopt;
        }
        return std::nullopt;
    }

    TLineCursor Lines;
    std::string CurrentKey;
    TRegistryTree Tree;
};

void AppendQuoted(std::string& out, std::string_view text)
{
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out.push_back(c);
        }
    }
    out.push_back('"');
}

void AppendData(std::string& out, const TRegistryValue& value)
{
    if (const auto* number = std::get_if<std::int32_t>(&value)) {
        const auto bits = static_cast<std::uint32_t>(*number);
        out += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) {
            out.push_back(HexDigits[(bits >> shift) & 0xF]);
        }
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        AppendQuoted(out, *text);
    } else {
        out += "hex:";
        const auto& bytes = std::get<std::vector<std::uint8_t>>(value);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i > 0) {
                out.push_back(',');
            }
            out.push_back(HexDigits[bytes[i] >> 4]);
            out.push_back(HexDigits[bytes[i] & 0xF]);
        }
    }
}

} // namespace

TRegistryParseResult ParseRegistryText(std::string_view text)
{
    if (text.size() > MaxRegistryTextSize) {
        TRegistryParseResult result;
        result.Reason = "the file is larger than 16 MiB";
        return result;
    }
    return TParser(text).Run();
}

std::string FormatRegistryText(const TRegistryTree& tree)
{
    std::string out(Header);
    out += "\n\n";
    for (const auto& [path, values] : tree) {
        out += "[";
        out += RootPrefix;
        out += path;
        out += "]\n";
        for (const auto& [name, value] : values) {
            AppendQuoted(out, name);
            out.push_back('=');
            AppendData(out, value);
            out.push_back('\n');
        }
        out.push_back('\n');
    }
    return out;
}

} // namespace statlume::platform
