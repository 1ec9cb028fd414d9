#include "platform/linux/registry_text.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/line_scan.h"

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
        HadEnding = end != std::string_view::npos;
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
    /// False when the line last handed out ran to the end of the text without a line ending.
    bool LastHadEnding() const { return HadEnding; }

private:
    std::string_view Rest;
    std::size_t Number = 0;
    bool Done = false;
    bool HadEnding = true;
};

class TParser
{
public:
    TParser(std::string_view text, bool salvage)
        : Lines(text)
        , Salvage(salvage)
    {
    }

    TRegistryParseResult Run()
    {
        std::string_view line;
        const bool any = Lines.Next(line);
        if (!any || StripBom(line) != Header) {
            if (!Salvage || !any) {
                return Fail(1, "the first line is not REGEDIT4");
            }
            Result.Line = 1;
            Result.Reason = "the first line is not REGEDIT4";
            // The line may still be a section or a value of a file that lost its header.
            if (const std::string reason = Handle(StripBom(line)); !reason.empty()) {
                Lose(1, line, reason);
            }
        }
        while (Lines.Next(line)) {
            const std::size_t number = Lines.LineNumber();
            std::string reason = Handle(line);
            if (reason.empty()) {
                continue;
            }
            if (!Lines.LastHadEnding()) {
                reason = "the file ends inside this line";
            }
            if (!Salvage) {
                return Fail(number, reason);
            }
            Lose(number, line, reason);
        }
        Result.Tree = std::move(Tree);
        return std::move(Result);
    }

private:
    std::string Handle(std::string_view line)
    {
        line = TrimBlanks(line);
        if (line.empty() || line.front() == ';') {
            return {};
        }
        if (line.front() == '[') {
            std::string reason = Section(line);
            SectionLost = !reason.empty();
            return reason;
        }
        if (SectionLost) {
            return "its section line is damaged";
        }
        return Value(line);
    }

    void Lose(std::size_t number, std::string_view line, const std::string& reason)
    {
        if (Result.Line == 0) {
            Result.Line = number;
            Result.Reason = reason;
        }
        ++Result.LostCount;
        if (Result.Lost.size() >= MaxListedLostLines) {
            return;
        }
        TRegistryLostLine lost{number, {}};
        line = TrimBlanks(line);
        if (const auto name = TakeQuoted(line); name && IsValidValueName(*name)) {
            lost.Name = *name;
        }
        Result.Lost.push_back(std::move(lost));
    }

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
        // A last line without its line ending may have been cut short (a full disk, a
        // crash): a number or byte list there is trusted only when it is visibly whole.
        const bool mayBeCut = !Lines.LastHadEnding();
        if (line.starts_with("dword:")) {
            if (mayBeCut && line.size() != 6 + 8) {
                return std::nullopt;
            }
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
            if (!Lines.LastHadEnding()) {
                return std::nullopt;
            }
            auto bytes = ParseHexList(list);
            return bytes ? std::optional<TRegistryValue>(std::move(*bytes)) : std::nullopt;
        }
        return std::nullopt;
    }

    TLineCursor Lines;
    bool Salvage;
    // A damaged section line: its values cannot be put under any key.
    bool SectionLost = false;
    std::string CurrentKey;
    TRegistryTree Tree;
    TRegistryParseResult Result;
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
    return TParser(text, false).Run();
}

TRegistryParseResult SalvageRegistryText(std::string_view text)
{
    if (text.size() > MaxRegistryTextSize) {
        return ParseRegistryText(text);
    }
    return TParser(text, true).Run();
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
