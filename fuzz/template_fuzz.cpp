// Feeds arbitrary templates and FORMAT texts through the whole format registry.
// Input: one flag byte; when bit 1 is set, the next 272 bytes are the record; the rest is a
// template, then (after the first NUL byte) a FORMAT text given to every item directly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "base/ascii_case.h"
#include "format/default_template.h"
#include "format/formatter.h"
#include "format/parsed_line.h"
#include "format/tag_language.h"
#include "platform/fake/test_locales.h"
#include "record/raw_data.h"
#include "record/raw_data_shell.h"

namespace {

using namespace statlume;

TRawData FixedRecord()
{
    TRawData d;
    d.Marker = 'T';
    d.Drives[0] = {'C', {}, 476940.5f, 12345.6f};
    d.ProcUsage[0] = 7.25f;
    d.ProcUsage[1] = 99.5f;
    d.NetRead[0] = 3.5f;
    d.NetWrite[2] = 1234.567f;
    SetMemoryBytes(d, 1u << 30, 4ull << 30, 3ull << 30, 16ull << 30);
    d.UptimeSecs = 93784;
    d.ThreadCount = 312;
    d.ProcessCount = 42;
    d.LocalTime = 37685 + 847.0 / 1440.0;
    d.IPAddrs[0][0] = 192;
    d.IPAddrs[0][1] = 168;
    d.IPAddrs[0][3] = 5;
    d.IPAddrs[2][0] = 10;
    d.ComputerName.Assign("HOST");
    d.LogonName.Assign("user");
    d.Temps[0] = 45;
    d.Fans[1] = 255;
    return d;
}

// Separators and names that are longer than one byte, and formats that hold tag openings.
LocaleInfo OddLocale()
{
    LocaleInfo l = platform::FrenchLocale();
    l.DateSeparator = "<NAME=Blank SIZE=3>";
    l.TimeSeparator = "\xE2\x80\xAF";
    l.LongTimeFormat = "hh:nn:ss ampm \"<NAME=DateTime>\"";
    l.TimeAMString = "<NAME=Threads>";
    return l;
}

LocaleInfo PickLocale(std::uint8_t choice)
{
    switch (choice & 3) {
    case 1:
        return platform::GermanLocale();
    case 2:
        return platform::FrenchLocale();
    case 3:
        return OddLocale();
    default:
        return LocaleInfo{};
    }
}

struct TRig
{
    explicit TRig(std::uint8_t localeChoice)
        : Locale(PickLocale(localeChoice))
        , Formatters(CreateFormatters(Shell, Locale))
    {
    }
    LocaleInfo Locale;
    TRawDataShell Shell;
    TFormatterList Formatters;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Every replacement an observer is told of.
class TCallLog final : public TTagObserver
{
public:
    void OnTagReplaced(const TFormatter&, const TFormatData& item, std::string_view tag,
                       std::size_t start, std::size_t valueSize) override
    {
        Calls += item.TagName;
        Calls += tag;
        Calls += std::to_string(start) + ' ' + std::to_string(valueSize) + '\n';
    }

    std::string Calls;
};

void RenderTemplate(const TFormatterList& formatters, std::string_view templateText)
{
    DecideAllActive(formatters, templateText);
    for (const std::string& line : SplitTemplateLines(templateText)) {
        Check(line.find_first_of("\r\n") == std::string::npos);
        const std::string out = RenderLine(formatters, line);
        if (FindFolded(line, "<NAME=") == std::string::npos)
            Check(out == line);
        // Padding is capped and values are short, so no line can swell without bound.
        Check(out.size() <= 256 * line.size() + 1024);
        // The parsed line renders as RenderLine, once the drive letters are entered.
        TCallLog expected;
        TCallLog got;
        const std::string again = RenderLine(formatters, line, &expected);
        Check(TParsedLine(formatters, line).Render(formatters, &got) == again);
        Check(got.Calls == expected.Calls);
    }
}

void CallEveryItem(const TFormatterList& formatters, const std::string& format, bool leadZero,
                   bool decimal, std::int64_t seconds)
{
    for (const auto& formatter : formatters) {
        for (const auto& [name, item] : formatter->Items) {
            const std::string value = item.Func(format, leadZero, decimal);
            Check(value.size() <= 256 * format.size() + 1024);
        }
        formatter->GetDescription(format);
        formatter->GetDefaultUsage(format);
    }
    TUTPFormat::UpTimeSubFormat(format, leadZero, seconds);
    ReadTagOptions(format);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    std::span<const std::uint8_t> rest(data + 1, size - 1);

    // Building the registry costs more than a render, so each locale keeps one; every piece
    // of state a run can change (record, Active, Alignment) is set afresh below.
    static TRig rigs[4] = {TRig(0), TRig(1), TRig(2), TRig(3)};
    TRig& rig = rigs[(flags >> 2) & 3];
    TRawDataShell& shell = rig.Shell;
    const TFormatterList& formatters = rig.Formatters;
    shell.Data = FixedRecord();
    if ((flags & 2) != 0 && rest.size() >= RawDataSize) {
        shell.Data = DecodeRawData(rest.first<RawDataSize>());
        rest = rest.subspan(RawDataSize);
    }
    for (const auto& formatter : formatters)
        formatter->Alignment = flags & 1;

    const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
    const std::size_t nul = text.find('\0');
    const std::string_view templateText = text.substr(0, nul);
    const std::string format(nul == std::string_view::npos ? std::string_view()
                                                           : text.substr(nul + 1));

    RenderTemplate(formatters, templateText);
    CallEveryItem(formatters, format, (flags & 16) != 0, (flags & 32) != 0, shell.Data.UptimeSecs);
    if ((flags & 64) != 0)
        RenderTemplate(formatters, ComposeDefaultTemplate(formatters));
    return 0;
}
