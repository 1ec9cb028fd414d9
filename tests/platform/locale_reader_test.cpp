#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "format/date_time_format.h"
#include "format/number_format.h"
#include "platform/linux/locale_reader.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// glibc's newlocale keeps the list it splits LOCPATH into; not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:__argz_add_sep\n";
}

namespace statlume::platform {
namespace {

TEST(LocaleReader, ConvertsStrftimePatterns)
{
    struct TCase
    {
        const char* name;
        const char* pattern;
        const char* separator;
        char token;
        const char* expected;
    };
    const std::vector<TCase> cases{
        {"day first", "%d/%m/%Y", "/", '/', "dd/mm/yyyy"},
        {"points become the date separator", "%d.%m.%Y", ".", '/', "dd/mm/yyyy"},
        {"C locale date", "%m/%d/%y", "/", '/', "mm/dd/yy"},
        {"year first", "%Y-%m-%d", "-", '/', "yyyy/mm/dd"},
        {"unpadded flags", "%e.%-m.%Y", ".", '/', "d/m/yyyy"},
        {"composite time", "%T", ":", ':', "hh:nn:ss"},
        {"composite 12-hour time", "%r", ":", ':', "hh:nn:ss ampm"},
        {"points in a time", "%H.%M.%S", ".", ':', "hh:nn:ss"},
        {"12-hour with marker", "%I:%M %p", ":", ':', "hh:nn ampm"},
        {"unknown conversion dropped", "%H:%M:%S %Z", ":", ':', "hh:nn:ss "},
        {"names", "%a %d %b %Y", " ", '/', "ddd/dd/mmm/yyyy"},
        {"literal letters are quoted", "%d de %B de %Y", " ", '/', "dd/\"de\"/mmmm/\"de\"/yyyy"},
        {"literal slash in a date is quoted", "%d:%m/%Y", ":", '/', "dd/mm\"/\"yyyy"},
        {"multi-byte separator", "%Y\u5e74%m\u6708%d\u65e5", "\u5e74", '/',
         "yyyy/mm\u6708dd\u65e5"},
        {"adjacent same letters kept apart", "%d%d", "/", '/', "dd''dd"},
        {"double quote literal", "%H\"%M", "\"", ':', "hh:nn"},
        {"single quote literal", "%H'%M", ":", ':', "hh\"'\"nn"},
        {"percent literal", "%H%%", ":", ':', "hh%"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ConvertStrftimePattern(c.pattern, c.separator, c.token), c.expected);
    }
}

TEST(LocaleReader, SeparatorsShortTimeAndLongDate)
{
    EXPECT_EQ(FirstLiteral("%d.%m.%Y", "/"), ".");
    EXPECT_EQ(FirstLiteral("%T", "?"), ":");
    EXPECT_EQ(FirstLiteral("%Y\u5e74%m", "/"), "\u5e74");
    EXPECT_EQ(FirstLiteral("%d%m", "/"), "/");

    EXPECT_EQ(DropSeconds("%H:%M:%S"), "%H:%M");
    EXPECT_EQ(DropSeconds("%T"), "%H:%M");
    EXPECT_EQ(DropSeconds("%r"), "%I:%M %p");
    EXPECT_EQ(DropSeconds("%H.%M"), "%H.%M");

    EXPECT_EQ(LongDatePattern("%m/%d/%y"), "dddd, mmmm d, yyyy");
    EXPECT_EQ(LongDatePattern("%d.%m.%Y"), "dddd, d mmmm yyyy");
    EXPECT_EQ(LongDatePattern("%F"), "dddd, yyyy mmmm d");
}

TEST(LocaleReader, CLocale)
{
    const std::optional<LocaleInfo> c = ReadNamedLocale("C");
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->DecimalSeparator, ".");
    EXPECT_EQ(c->ThousandSeparator, "");
    EXPECT_EQ(c->DateSeparator, "/");
    EXPECT_EQ(c->TimeSeparator, ":");
    EXPECT_EQ(c->ShortDateFormat, "mm/dd/yy");
    EXPECT_EQ(c->LongDateFormat, "dddd, mmmm d, yyyy");
    EXPECT_EQ(c->LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(c->ShortTimeFormat, "hh:nn");
    EXPECT_EQ(c->TimeAMString, "AM");
    EXPECT_EQ(c->TimePMString, "PM");
    EXPECT_EQ(c->ShortDayNames[0], "Sun");
    EXPECT_EQ(c->LongDayNames[6], "Saturday");
    EXPECT_EQ(c->ShortMonthNames[0], "Jan");
    EXPECT_EQ(c->LongMonthNames[11], "December");
    EXPECT_EQ(FormatDateTime("c", 37685.5, *c), "03/05/03 12:00:00");
    EXPECT_EQ(FormatFloat("%n", 1234.5, *c), "1234.50");
}

TEST(LocaleReader, ProcessLocaleIsTheGlobalOne)
{
    // The test program never calls setlocale, so the process runs in the C locale.
    const LocaleInfo process = ReadProcessLocale();
    EXPECT_EQ(process.ShortDateFormat, "mm/dd/yy");
    EXPECT_EQ(process.ThousandSeparator, "");
    EXPECT_EQ(process.LongMonthNames[2], "March");
}

TEST(LocaleReader, UnknownLocaleIsNullopt)
{
    EXPECT_FALSE(ReadNamedLocale("xx_NOWHERE.UTF-8").has_value());
}

/// Builds a locale from the machine's locale sources into a temporary folder with localedef,
/// for machines that have the sources but not the compiled locale; removed on destruction.
class TGeneratedLocale
{
public:
    TGeneratedLocale(const std::string& source, const std::string& charmap, const std::string& name)
    {
        if (!std::filesystem::exists("/usr/share/i18n/locales/" + source))
            return;
        std::string folder = (std::filesystem::temp_directory_path() / "statlume-locale-XXXXXX");
        if (mkdtemp(folder.data()) == nullptr)
            return;
        Folder = folder;
        const std::string output = Folder + "/" + name;
        std::vector<std::string> args{"localedef", "-i", source, "-f", charmap, output};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, "localedef", nullptr, nullptr, argv.data(), environ) != 0)
            return;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
            return;
        // localedef warns with exit code 1 yet writes the locale.
        Built = std::filesystem::exists(output);
    }
    ~TGeneratedLocale()
    {
        if (!Folder.empty())
            std::filesystem::remove_all(Folder);
    }
    TGeneratedLocale(const TGeneratedLocale&) = delete;
    TGeneratedLocale& operator=(const TGeneratedLocale&) = delete;

    /// Reads the generated locale through LOCPATH; nullopt when it could not be built.
    std::optional<LocaleInfo> Read(const std::string& name) const
    {
        if (!Built)
            return std::nullopt;
        setenv("LOCPATH", Folder.c_str(), 1);
        std::optional<LocaleInfo> info = ReadNamedLocale(name);
        unsetenv("LOCPATH");
        return info;
    }

private:
    std::string Folder;
    bool Built = false;
};

/// The installed locale, else one generated for the test; nullopt when neither works.
std::optional<LocaleInfo> InstalledOrGenerated(const std::string& source,
                                               const std::string& charmap, const std::string& name)
{
    if (std::optional<LocaleInfo> installed = ReadNamedLocale(name))
        return installed;
    const TGeneratedLocale generated(source, charmap, name);
    return generated.Read(name);
}

TEST(LocaleReader, GermanUtf8)
{
    const std::optional<LocaleInfo> de = InstalledOrGenerated("de_DE", "UTF-8", "de_DE.UTF-8");
    if (!de)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed and localedef could not build it";
    EXPECT_EQ(de->DecimalSeparator, ",");
    EXPECT_EQ(de->ThousandSeparator, ".");
    EXPECT_EQ(de->DateSeparator, ".");
    EXPECT_EQ(de->ShortDateFormat, "dd/mm/yyyy");
    EXPECT_EQ(de->LongDateFormat, "dddd, d mmmm yyyy");
    EXPECT_EQ(de->LongTimeFormat, "hh:nn:ss");
    EXPECT_EQ(de->ShortTimeFormat, "hh:nn");
    EXPECT_EQ(de->LongDayNames[0], "Sonntag");
    EXPECT_EQ(de->ShortMonthNames[2], "M\u00e4r");
    EXPECT_EQ(FormatDateTime("c", 37685 + 14.0 / 24 + 7.0 / 1440, *de), "05.03.2003 14:07:00");
    EXPECT_EQ(FormatDateTime("dddddd", 37685, *de), "Mittwoch, 5 M\u00e4rz 2003");
    EXPECT_EQ(FormatFloat("%n", 1234567.125, *de), "1.234.567,13");
}

TEST(LocaleReader, LegacyCharacterSetIsConvertedToUtf8)
{
    const std::optional<LocaleInfo> de =
        InstalledOrGenerated("de_DE", "ISO-8859-1", "de_DE.ISO-8859-1");
    if (!de)
        GTEST_SKIP() << "de_DE.ISO-8859-1 is not installed and localedef could not build it";
    EXPECT_EQ(de->LongMonthNames[2], "M\u00e4rz");
    EXPECT_EQ(de->ShortMonthNames[2], "M\u00e4r");
}

} // namespace
} // namespace statlume::platform
