#include "platform/linux/locale_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include <iconv.h>
#include <langinfo.h>

namespace statlume::platform {
namespace {

/// One piece of a strftime pattern: a conversion ("%-d") or one literal character.
struct TStrftimeToken
{
    bool IsConversion = false;
    char Conversion = 0;
    /// The first GNU flag ('-', '_', '0', '^', '#') or 0.
    char Flag = 0;
    std::string_view Text;
};

std::size_t Utf8Length(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

std::vector<TStrftimeToken> Tokenize(std::string_view pattern)
{
    std::vector<TStrftimeToken> tokens;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t start = i;
        TStrftimeToken token;
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            ++i;
            if (std::string_view("-_0^#").find(pattern[i]) != std::string_view::npos)
                token.Flag = pattern[i++];
            while (i < pattern.size() &&
                   (std::string_view("-_0^#").find(pattern[i]) != std::string_view::npos ||
                    (pattern[i] >= '0' && pattern[i] <= '9')))
                ++i;
            if (i < pattern.size() && (pattern[i] == 'E' || pattern[i] == 'O'))
                ++i;
            if (i < pattern.size()) {
                token.IsConversion = true;
                token.Conversion = pattern[i++];
            }
        } else {
            i = std::min(pattern.size(), i + Utf8Length(static_cast<unsigned char>(pattern[i])));
        }
        token.Text = pattern.substr(start, i - start);
        tokens.push_back(token);
    }
    return tokens;
}

/// Spells out the composite conversions so that their parts are converted one by one.
std::string ExpandComposites(std::string_view pattern)
{
    std::string out;
    for (const TStrftimeToken& t : Tokenize(pattern)) {
        switch (t.IsConversion ? t.Conversion : 0) {
        case 'r':
            out += "%I:%M:%S %p";
            break;
        case 'R':
            out += "%H:%M";
            break;
        case 'T':
            out += "%H:%M:%S";
            break;
        case 'D':
            out += "%m/%d/%y";
            break;
        case 'F':
            out += "%Y-%m-%d";
            break;
        default:
            out += t.Text;
            break;
        }
    }
    return out;
}

/// The DateTime specifier for one conversion; empty for those it has no counterpart for.
std::string_view SpecifierFor(const TStrftimeToken& t)
{
    const bool unpadded = t.Flag == '-' || t.Flag == '_';
    switch (t.Conversion) {
    case 'd':
        return unpadded ? "d" : "dd";
    case 'e':
        return t.Flag == '0' ? "dd" : "d";
    case 'm':
        return unpadded ? "m" : "mm";
    case 'y':
    case 'g':
        return "yy";
    case 'Y':
    case 'G':
        return "yyyy";
    case 'b':
    case 'h':
        return "mmm";
    case 'B':
        return "mmmm";
    case 'a':
        return "ddd";
    case 'A':
        return "dddd";
    case 'H':
    case 'I':
        return unpadded ? "h" : "hh";
    case 'k':
    case 'l':
        return t.Flag == '0' ? "hh" : "h";
    case 'M':
        return unpadded ? "n" : "nn";
    case 'S':
        return unpadded ? "s" : "ss";
    case 'p':
    case 'P':
        return "ampm";
    case 't':
        return "\t";
    case 'n':
        return " ";
    case '%':
        return "%";
    default:
        return {};
    }
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char ToLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Literal text that the DateTime language would read as a specifier or quote.
bool NeedsQuoting(std::string_view literal)
{
    const char c = literal.front();
    return literal.size() == 1 && (IsAsciiLetter(c) || c == '/' || c == ':' || c == '\'');
}

/// Frees a locale object on every path.
class TLocaleHandle
{
public:
    explicit TLocaleHandle(locale_t handle)
        : Handle(handle)
    {
    }
    ~TLocaleHandle()
    {
        if (Handle != locale_t{})
            freelocale(Handle);
    }
    TLocaleHandle(const TLocaleHandle&) = delete;
    TLocaleHandle& operator=(const TLocaleHandle&) = delete;

    locale_t Get() const { return Handle; }

private:
    locale_t Handle;
};

struct TIconvCloser
{
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

/// Text in the locale's own character set as UTF-8; bytes that do not convert become '?'.
std::string ToUtf8(std::string_view text, std::string_view codeset)
{
    if (IsAscii(text) || codeset == "UTF-8" || codeset == "utf8")
        return std::string(text);
    const iconv_t raw = iconv_open("UTF-8", std::string(codeset).c_str());
    if (raw == reinterpret_cast<iconv_t>(-1))
        return std::string(text);
    const std::unique_ptr<void, TIconvCloser> cd(raw);
    std::string in(text);
    std::string out;
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    std::array<char, 256> chunk{};
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t rc = iconv(raw, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), static_cast<std::size_t>(outPtr - chunk.data()));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?';
            ++inPtr;
            --inLeft;
        }
    }
    return out;
}

/// value, or fallback when value is empty. Built as a new string rather than assigned over
/// the old one, which GCC 12 at -O3 misreads as an overlapping copy (-Wrestrict).
std::string OrFallback(std::string value, std::string_view fallback)
{
    return value.empty() ? std::string(fallback) : std::move(value);
}

} // namespace

std::string FirstLiteral(std::string_view strftimePattern, std::string_view fallback)
{
    const std::string expanded = ExpandComposites(strftimePattern);
    for (const TStrftimeToken& t : Tokenize(expanded))
        if (!t.IsConversion)
            return std::string(t.Text);
    return std::string(fallback);
}

std::string ConvertStrftimePattern(std::string_view strftimePattern, std::string_view separator,
                                   char separatorToken)
{
    const std::string expanded = ExpandComposites(strftimePattern);
    std::string out;
    std::string quoted;
    auto flushQuoted = [&] {
        if (!quoted.empty())
            out += '"' + quoted + '"';
        quoted.clear();
    };
    for (const TStrftimeToken& t : Tokenize(expanded)) {
        if (!t.IsConversion) {
            if (t.Text == separator) {
                flushQuoted();
                out += separatorToken;
            } else if (NeedsQuoting(t.Text)) {
                quoted += t.Text;
            } else if (t.Text == "\"") {
                flushQuoted();
                out += "'\"'";
            } else {
                flushQuoted();
                out += t.Text;
            }
            continue;
        }
        flushQuoted();
        const std::string_view specifier = SpecifierFor(t);
        // "%d%d" would read as "dddd"; an empty quote keeps the two apart.
        if (!specifier.empty() && !out.empty() && IsAsciiLetter(specifier.front()) &&
            ToLowerAscii(out.back()) == specifier.front())
            out += "''";
        out += specifier;
    }
    flushQuoted();
    return out;
}

std::string DropSeconds(std::string_view strftimePattern)
{
    const std::string expanded = ExpandComposites(strftimePattern);
    const std::vector<TStrftimeToken> tokens = Tokenize(expanded);
    std::size_t seconds = 0;
    while (seconds < tokens.size() &&
           !(tokens[seconds].IsConversion && tokens[seconds].Conversion == 'S'))
        ++seconds;
    if (seconds == tokens.size())
        return expanded;
    std::size_t from = seconds;
    while (from > 0 && !tokens[from - 1].IsConversion)
        --from;
    if (from == 0) // seconds lead the pattern: drop the separator after them instead
        while (seconds + 1 < tokens.size() && !tokens[seconds + 1].IsConversion)
            ++seconds;
    std::string out;
    for (std::size_t i = 0; i < tokens.size(); ++i)
        if (i < from || i > seconds)
            out += tokens[i].Text;
    return out;
}

std::string LongDatePattern(std::string_view strftimeDatePattern)
{
    std::string order;
    const std::string expanded = ExpandComposites(strftimeDatePattern);
    for (const TStrftimeToken& t : Tokenize(expanded)) {
        if (!t.IsConversion)
            continue;
        char part = 0;
        if (std::string_view("de").find(t.Conversion) != std::string_view::npos)
            part = 'D';
        else if (std::string_view("mbBh").find(t.Conversion) != std::string_view::npos)
            part = 'M';
        else if (std::string_view("yYgGC").find(t.Conversion) != std::string_view::npos)
            part = 'Y';
        if (part != 0 && order.find(part) == std::string::npos)
            order += part;
    }
    if (order.rfind("MD", 0) == 0)
        return "dddd, mmmm d, yyyy";
    if (order.rfind("Y", 0) == 0)
        return "dddd, yyyy mmmm d";
    return "dddd, d mmmm yyyy";
}

LocaleInfo ReadLocale(locale_t locale)
{
    const std::string_view codeset = nl_langinfo_l(CODESET, locale);
    auto text = [&](nl_item item) { return ToUtf8(nl_langinfo_l(item, locale), codeset); };

    LocaleInfo info;
    info.DecimalSeparator = OrFallback(text(RADIXCHAR), ".");
    info.ThousandSeparator = text(THOUSEP);

    const std::string dateFormat = text(D_FMT);
    const std::string timeFormat = OrFallback(text(T_FMT), "%H:%M:%S");
    info.DateSeparator = FirstLiteral(dateFormat, "/");
    info.TimeSeparator = FirstLiteral(timeFormat, ":");
    info.ShortDateFormat = ConvertStrftimePattern(dateFormat, info.DateSeparator, '/');
    info.LongDateFormat = LongDatePattern(dateFormat);
    info.LongTimeFormat = ConvertStrftimePattern(timeFormat, info.TimeSeparator, ':');
    info.ShortTimeFormat = ConvertStrftimePattern(DropSeconds(timeFormat), info.TimeSeparator, ':');
    info.TimeAMString = text(AM_STR);
    info.TimePMString = text(PM_STR);

    constexpr std::array<nl_item, 7> shortDays{ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                               ABDAY_5, ABDAY_6, ABDAY_7};
    constexpr std::array<nl_item, 7> longDays{DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    constexpr std::array<nl_item, 12> shortMonths{ABMON_1, ABMON_2,  ABMON_3,  ABMON_4,
                                                  ABMON_5, ABMON_6,  ABMON_7,  ABMON_8,
                                                  ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    constexpr std::array<nl_item, 12> longMonths{MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                                 MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    for (std::size_t i = 0; i < 7; ++i) {
        info.ShortDayNames[i] = text(shortDays[i]);
        info.LongDayNames[i] = text(longDays[i]);
    }
    for (std::size_t i = 0; i < 12; ++i) {
        info.ShortMonthNames[i] = text(shortMonths[i]);
        info.LongMonthNames[i] = text(longMonths[i]);
    }
    return info;
}

std::optional<LocaleInfo> ReadNamedLocale(const std::string& name)
{
    const TLocaleHandle handle(newlocale(LC_ALL_MASK, name.c_str(), locale_t{}));
    if (handle.Get() == locale_t{})
        return std::nullopt;
    return ReadLocale(handle.Get());
}

LocaleInfo ReadProcessLocale()
{
    // A copy of the global locale lets one reader serve both; the copy sees what
    // setlocale chose, as localeconv and nl_langinfo would.
    const TLocaleHandle handle(duplocale(LC_GLOBAL_LOCALE));
    if (handle.Get() == locale_t{})
        return LocaleInfo{};
    return ReadLocale(handle.Get());
}

} // namespace statlume::platform
