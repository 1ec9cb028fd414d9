#include "platform/fake/test_locales.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

void SetAddress(TRawData& data, std::size_t slot, std::array<std::uint8_t, 4> octets)
{
    for (std::size_t i = 0; i < 4; ++i)
        data.IPAddrs[slot][i] = octets[i];
}

TEST(HostItems, Addresses)
{
    struct Row
    {
        const char* name;
        std::array<std::array<std::uint8_t, 4>, 4> slots;
        std::string templateLine;
        std::string text;
    };
    const std::array<std::uint8_t, 4> none{};
    const std::array<std::uint8_t, 4> lan{192, 168, 0, 5};
    const std::array<std::uint8_t, 4> ten{10, 0, 0, 1};
    const Row rows[] = {
        {"default separator", {lan, ten, none, none}, "<NAME=IPAddr>", "192.168.0.5, 10.0.0.1"},
        {"lead zero pads octets with blanks",
         {lan, ten, none, none},
         "<NAME=IPAddr LEADZERO>",
         "192.168.  0.  5,  10.  0.  0.  1"},
        {"own separator",
         {lan, ten, none, none},
         "<NAME=IPAddr FORMAT=\" | \">",
         "192.168.0.5 | 10.0.0.1"},
        {"no address", {none, none, none, none}, "[<NAME=IPAddr>]", "[]"},
        {"empty first slot leaves no separator in front",
         {none, ten, none, lan},
         "<NAME=IPAddr>",
         "10.0.0.1, 192.168.0.5"},
        {"first octet zero is empty",
         {{{0, 1, 2, 3}, ten, none, none}},
         "<NAME=IPAddr>",
         "10.0.0.1"},
        {"largest octets",
         {{{255, 255, 255, 255}, none, none, none}},
         "<NAME=IPAddr LEADZERO>",
         "255.255.255.255"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFormatRig rig;
        for (std::size_t i = 0; i < 4; ++i)
            SetAddress(rig.Shell.Data, i, row.slots[i]);
        EXPECT_EQ(rig.Render(row.templateLine), row.text);
    }
}

TEST(HostItems, NamesAndBlank)
{
    TFormatRig rig;
    rig.Shell.Data.ComputerName.Assign("HOST-1");
    rig.Shell.Data.LogonName.Assign("j\xC3\xB6rg");
    EXPECT_EQ(rig.Render("<NAME=CompName>@<NAME=UserName>"), "HOST-1@j\xC3\xB6rg");
    EXPECT_EQ(rig.Render("[<NAME=Blank>][<NAME=Blank SIZE=5>]"), "[][     ]");
    // A malformed length byte never reads past the fifteen characters.
    rig.Shell.Data.ComputerName.Length = 200;
    EXPECT_EQ(rig.Render("<NAME=CompName>").size(), 15u);
}

// Names from a peer or a record file may carry terminal controls; the template's own may stay.
TEST(HostItems, NamesNeverCarryControlCharacters)
{
    TFormatRig rig;
    rig.Shell.Data.ComputerName.Assign("\x1B]0;owned\x07");
    rig.Shell.Data.LogonName.Assign("\xC2\x9B"
                                    "31m\xC5\x98"
                                    "e\xC5\xBE");
    EXPECT_EQ(rig.Render("\x1B[1m<NAME=CompName>|<NAME=UserName>"), "\x1B[1m?]0;owned?|?31m\xC5\x98"
                                                                    "e\xC5\xBE");
}

TEST(HostItems, DateAndTime)
{
    const double march5th2003At1407 = 37685 + 847.0 / 1440.0;
    struct Row
    {
        const char* name;
        LocaleInfo locale;
        double when;
        std::string templateLine;
        std::string text;
    };
    const Row rows[] = {
        {"default usage", platform::EnglishUsLocale(), march5th2003At1407,
         "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\">", "Date 05/03/03 Time 14:07"},
        {"locale separators", platform::GermanLocale(), march5th2003At1407,
         "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\">", "Date 05.03.03 Time 14:07"},
        {"German names", platform::GermanLocale(), march5th2003At1407,
         "<NAME=DateTime FORMAT=\"dddd, d. mmmm\">", "Mittwoch, 5. M\xC3\xA4rz"},
        {"French names", platform::FrenchLocale(), march5th2003At1407,
         "<NAME=DateTime FORMAT=\"ddd d mmm\">", "mer. 5 mars"},
        {"empty FORMAT at midnight shows the date alone", platform::EnglishUsLocale(), 37685,
         "<NAME=DateTime>", "3/5/2003"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFormatRig rig(row.locale);
        rig.Shell.Data.LocalTime = row.when;
        EXPECT_EQ(rig.Render(row.templateLine), row.text);
    }
}

// Applies a template once, then renders it as successive ticks would.
struct TDriveRig : TFormatRig
{
    explicit TDriveRig(std::string_view templateLine, LocaleInfo locale = {})
        : TFormatRig(std::move(locale))
        , Line(templateLine)
    {
        DecideAllActive(Formatters, Line);
    }
    std::string Tick() { return RenderLine(Formatters, Line); }
    std::string Line;
};

TEST(HostItems, DriveSpaceRegistersThenShows)
{
    TDriveRig rig("<NAME=DriveSpace FORMAT=\"c free\">|<NAME=DriveSpace DECIMAL FORMAT=\"C FREE "
                  "TOTAL\">|<NAME=DriveSpace FORMAT=\"d total\">|<NAME=DriveSpace FORMAT=\"C\">");
    // The first C tag registers the letter; the second then finds the slot, which holds no
    // measurement yet.
    EXPECT_EQ(rig.Tick(), "|0.00||");
    const TDriveEntry* drives = rig.Shell.Data.Drives;
    EXPECT_EQ(drives[0].Letter, 'C');
    EXPECT_EQ(drives[1].Letter, 'D');
    EXPECT_EQ(drives[2].Letter, 0);

    rig.Shell.Data.Drives[0].FreeMB = 12345.6f;
    rig.Shell.Data.Drives[0].TotalMB = 99999.0f;
    rig.Shell.Data.Drives[1].TotalMB = 1000.0f;
    EXPECT_EQ(rig.Tick(), "12,346|12,345.60|1,000|");

    // Applying the template again clears the letters; the first tags register anew while the
    // slot keeps its last sizes.
    DecideAllActive(rig.Formatters, rig.Line);
    EXPECT_EQ(rig.Tick(), "|12,345.60||");
    EXPECT_EQ(rig.Tick(), "12,346|12,345.60|1,000|");
}

TEST(HostItems, DriveSpaceUnderCommaLocale)
{
    TDriveRig rig("<NAME=DriveSpace FORMAT=\"C FREE\">/<NAME=DriveSpace DECIMAL FORMAT=\"C FREE\">",
                  platform::GermanLocale());
    rig.Tick();
    rig.Shell.Data.Drives[0].FreeMB = 12345.6f;
    EXPECT_EQ(rig.Tick(), "12.346/12.345,60");
}

TEST(HostItems, DriveSpaceSlotsRunOut)
{
    TDriveRig rig("<NAME=DriveSpace FORMAT=\"A FREE\"><NAME=DriveSpace FORMAT=\"B FREE\">"
                  "<NAME=DriveSpace FORMAT=\"C FREE\"><NAME=DriveSpace FORMAT=\"D FREE\">"
                  "<NAME=DriveSpace FORMAT=\"E FREE\"><NAME=DriveSpace FORMAT=\"F FREE\">"
                  "<NAME=DriveSpace FORMAT=\"G FREE\"><NAME=DriveSpace FORMAT=\"H FREE\">"
                  "<NAME=DriveSpace FORMAT=\"I FREE\"><NAME=DriveSpace FORMAT=\"\">");
    rig.Tick();
    std::string letters;
    for (const TDriveEntry& drive : rig.Shell.Data.Drives)
        letters += drive.Letter;
    EXPECT_EQ(letters, "ABCDEFGH");
    EXPECT_EQ(rig.Tick(), "00000000");
}

} // namespace
} // namespace statlume
