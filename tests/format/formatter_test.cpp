#include "base/ascii_case.h"
#include "format/formatter.h"
#include "format/item_catalogue.h"
#include "format/item_texts.h"

#include "format_rig.h"
#include <gtest/gtest.h>

namespace statlume {
namespace {

TEST(Formatter, RegistryHoldsTheSixFamiliesInOrderThenTheFiguresBeyondTheRecord)
{
    TFormatRig rig;
    ASSERT_EQ(rig.Formatters.size(), FamilyCount);
    EXPECT_NE(dynamic_cast<TMBMFormat*>(&rig.Family(TFamily::MBM)), nullptr);
    EXPECT_NE(dynamic_cast<TUTPFormat*>(&rig.Family(TFamily::UTP)), nullptr);
    EXPECT_NE(dynamic_cast<TPageRAMFormat*>(&rig.Family(TFamily::PageRAM)), nullptr);
    EXPECT_NE(dynamic_cast<TProcFormat*>(&rig.Family(TFamily::Proc)), nullptr);
    EXPECT_NE(dynamic_cast<TNetworkFormat*>(&rig.Family(TFamily::Network)), nullptr);
    EXPECT_NE(dynamic_cast<TNonPerfFormat*>(&rig.Family(TFamily::NonPerf)), nullptr);
    for (const TFamily family :
         {TFamily::Load, TFamily::Disk, TFamily::Battery, TFamily::Gpu, TFamily::Top})
        EXPECT_NE(dynamic_cast<TFiguresFormat*>(&rig.Family(family)), nullptr);
    for (const auto& formatter : rig.Formatters) {
        EXPECT_FALSE(formatter->Active);
        EXPECT_EQ(formatter->Alignment, 0);
        EXPECT_EQ(&formatter->Shell, &rig.Shell);
    }
}

TEST(Formatter, ListsTheTwentyFourItemsInRegistryOrderThenTheNewOnes)
{
    TFormatRig rig;
    std::vector<std::string> names;
    for (const auto& formatter : rig.Formatters)
        formatter->ListItems(names);
    const std::vector<std::string> expected = {"Temperature 1",
                                               "Temperature 2",
                                               "Temperature 3",
                                               "Fan 1",
                                               "Fan 2",
                                               "Fan 3",
                                               "Uptime",
                                               "System Thread Count",
                                               "System Processes Count",
                                               "PageTotal",
                                               "PageUsed",
                                               "PageFree",
                                               "RAMTotal",
                                               "RAMUsed",
                                               "RAMFree",
                                               "Processor Usage",
                                               "Network Read Stats",
                                               "Network Write Stats",
                                               "IP Addresses",
                                               "Computer Name",
                                               "User Name",
                                               "Date and Time",
                                               "Blank",
                                               "Drive Space"};
    // The laid-down items keep their order; the newer ones follow in catalogue order.
    ASSERT_EQ(names.size(), ItemCount);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 24), expected);
    for (std::size_t i = 24; i < ItemCount; ++i)
        EXPECT_EQ(names[i], ItemCatalogue()[i].DisplayName);
}

TEST(Formatter, TagNamesAreStoredUpperCased)
{
    TFormatRig rig;
    std::vector<std::string> tags;
    for (const auto& formatter : rig.Formatters) {
        for (const auto& [name, item] : formatter->Items)
            tags.push_back(item.TagName);
    }
    const std::vector<std::string> expected = {
        "TEMP1",    "TEMP2",    "TEMP3",     "FAN1",      "FAN2",     "FAN3",
        "UPTIME",   "THREADS",  "PROCESSES", "PAGETOTAL", "PAGEUSED", "PAGEFREE",
        "RAMTOTAL", "RAMUSED",  "RAMFREE",   "PROCUSAGE", "NETREAD",  "NETWRITE",
        "IPADDR",   "COMPNAME", "USERNAME",  "DATETIME",  "BLANK",    "DRIVESPACE"};
    ASSERT_EQ(tags.size(), ItemCount);
    EXPECT_EQ(std::vector<std::string>(tags.begin(), tags.begin() + 24), expected);
    for (std::size_t i = 24; i < ItemCount; ++i)
        EXPECT_EQ(tags[i], AsciiUpperCopy(ItemCatalogue()[i].TagName));
}

TEST(Formatter, DescriptionOfThreadItemBreaksAfterEveryPoint)
{
    TFormatRig rig;
    const std::string expected = "Total number of Threads active across the system.\r\n"
                                 " Uses SIZE.\r\n"
                                 " <NAME=Threads>.\r\n"
                                 "\r\n"
                                 "Default Usage String:\r\n"
                                 "Threads: <NAME=Threads SIZE=5>";
    TFormatter& utp = rig.Family(TFamily::UTP);
    EXPECT_EQ(utp.GetDescription("System Thread Count"), expected);
    EXPECT_EQ(utp.GetDescription("system thread count"), expected);
    EXPECT_EQ(utp.GetDescription("Processor Usage"), "");
    EXPECT_EQ(utp.GetDescription("System Thread"), "");
    std::string joined;
    for (const auto& formatter : rig.Formatters)
        joined += formatter->GetDescription("SYSTEM THREAD COUNT");
    EXPECT_EQ(joined, expected);
}

TEST(Formatter, DefaultUsageLookupIgnoresCase)
{
    TFormatRig rig;
    TFormatter& proc = rig.Family(TFamily::Proc);
    EXPECT_EQ(proc.GetDefaultUsage("processor usage"),
              "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">");
    EXPECT_EQ(proc.GetDefaultUsage("Uptime"), "");
    EXPECT_EQ(rig.Family(TFamily::MBM).GetDefaultUsage("Temperature 3"),
              "Temp3: <NAME=Temp3 FORMAT=\"F\">\xC2\xBA");
    EXPECT_EQ(rig.Family(TFamily::NonPerf).GetDefaultUsage("Drive Space"),
              "Drive C: <NAME=DriveSpace SIZE=5 FORMAT=\"C FREE\">");
}

TEST(Formatter, DescriptionsSpotChecks)
{
    struct Row
    {
        const char* name;
        TItem item;
        std::string expected;
    };
    const std::string starter =
        " in MBM. Can be read without MBM running (though MBM must still have been installed) "
        "if the MBMStarter DLL is in the same directory.";
    const std::string percentage = ", FORMAT. Use FORMAT=\"%\" to display the value as a "
                                   "percentage, instead of an absolute value, which is the "
                                   "default";
    const Row rows[] = {
        {"temperature 2", TItem::Temp2,
         "Reports data from temperature sensor #2" + starter +
             " Uses SIZE, FORMAT. <NAME=Temp2>. Format tags are C or F, for Celsius and "
             "Fahrenheit respectively. Default Celsius."},
        {"fan 3 ends with a blank", TItem::Fan3,
         "Reports speed of Fan 3 Sensor" + starter + " Uses SIZE. <NAME=Fan3>. "},
        {"page total has no note", TItem::PageTotal,
         "Total Bytes in Pagefile, expressed in MB. <NAME=PageTotal>. Uses SIZE"},
        {"RAM free has the note", TItem::RAMFree,
         "Free Bytes in RAM, expressed in MB. <NAME=RAMFree>. Uses SIZE" + percentage},
        {"drive space counts eight slots", TItem::DriveSpace,
         "Free and Total disk space in MB's for drives or partitions. Use FORMAT to specify the "
         "drive letter and whether you want to see the free or total space; up to 8 drives can "
         "be requested at one time, with each as a different label. <NAME=DriveSpace "
         "FORMAT=\"C FREE\"> <NAME=DriveSpace FORMAT=\"D TOTAL\">. Uses SIZE, FORMAT, DECIMAL"},
        {"addresses", TItem::IPAddr,
         "Total number of IP addresses locally bound to adapters. Uses SIZE, LEADZERO, FORMAT. "
         "When LEADZERO is used in this context, each of the 3-digit numbers making up the "
         "address will be left-padded with zeroes. FORMAT is used to specify the character(s) "
         "separating each IP (Default is a comma and space)<NAME=IPAddr>."},
        {"uptime ends with its help text", TItem::Uptime,
         "Current System Uptime. <NAME=Uptime>. Uses FORMAT, SIZE, LEADZERO. LEADZERO in this "
         "context will force leading zeroes, even if the format string contains lowercase "
         "(non-leading) modifiers. Valid FORMAT items: " +
             UptimeHelpText()},
        {"date and time ends with its help text", TItem::DateTime,
         "Current local system Date and Time. <NAME=DateTime>. Uses FORMAT, SIZE. " +
             DateTimeHelpText()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ItemDescription(row.item), row.expected);
    }
}

TEST(Formatter, UptimeHelpTextLines)
{
    EXPECT_EQ(UptimeHelpText(),
              "For the Uptime, you have the option of using format strings which lets you "
              "customize the appearance of the data. First, any free form text will appear as "
              "is. Next, you can use any of the following items anywhere in the text to add "
              "particular numbers.\r\n"
              "*d* days, no leading zero\r\n*D* Days, with leading zero\r\n"
              "*h* hours, no leading zero\r\n*H* Hours, with leading zero\r\n"
              "*m* duh\r\n*M* duh\r\n*s* duh\r\n*S* duh\r\n");
}

TEST(Formatter, DateTimeHelpTextBytes)
{
    const std::string text = DateTimeHelpText();
    const std::string head =
        "For the Date and time, you have the option of using format strings which lets you "
        "customize the appearance of the data. First, any free form text should be enclosed in "
        "a pair of quotation marks \"just like so\" - this text will be displayed exactly as you "
        "enter it.\r\nInterspersed within the free-form text, you can enter any or all of the "
        "following letter combinations, which let you specify what data should appear and how "
        "it should be formatted. The default text is a good example of how the system works, I "
        "think.\r\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    const std::string lines[] = {
        "\r\nc    \t       Displays the date using the format given by the ShortDateFormat global "
        "variable, followed by the time using the format given by the LongTimeFormat global "
        "variable. The time is not displayed if the fractional part of the DateTime value \r\n",
        "\r\nd\t       Displays the day as a number without a leading zero (1-31).\r\n",
        "\r\ndddddd       Displays the date using the format given by the LongDateFormat global "
        "variable.\r\n",
        "\r\nam/pm\t       Uses the 12-hour clock",
        "\r\n:\t       Displays the time separator character given by the TimeSeparator global "
        "variable.\r\n'xx'  Characters enclosed in single quotes are displayed as-is, and do not "
        "affect formatting.\r\nSince you can also invoke the DateTime flag multiple times in a "
        "string, you can alternatively put characters between multiple DateTime tags to mimic "
        "this, and allow greater flexibility on spacing using SIZE and CHAR.\r\n",
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line.substr(0, 12));
        EXPECT_NE(text.find(line), std::string::npos);
    }
    EXPECT_TRUE(text.ends_with("using SIZE and CHAR.\r\n"));
    // Header, 26 specifier lines and the closing line.
    std::size_t breaks = 0;
    for (std::size_t pos = text.find("\r\n"); pos != std::string::npos;
         pos = text.find("\r\n", pos + 2))
        ++breaks;
    EXPECT_EQ(breaks, 2u + 27u + 1u);
}

TEST(Formatter, DecideIfActive)
{
    struct Row
    {
        const char* name;
        TFamily family;
        std::string_view templateText;
        bool active;
    };
    const Row rows[] = {
        {"lower-case tag", TFamily::Proc, "x <name=procusage>", true},
        {"blank after equals", TFamily::Proc, "<NAME= ProcUsage>", false},
        {"name as prefix", TFamily::Proc, "<NAME=ProcUsageXYZ", true},
        {"second line", TFamily::Network, "a\r\nb <NAME=NetWrite>", true},
        {"only uptime: memory inactive", TFamily::PageRAM, "<NAME=Uptime>", false},
        {"only uptime: uptime active", TFamily::UTP, "<NAME=Uptime>", true},
        {"empty template", TFamily::NonPerf, "", false},
        {"item name without tag opening", TFamily::MBM, "Temp1 Fan1", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TFormatRig rig;
        TFormatter& formatter = rig.Family(row.family);
        formatter.Active = !row.active;
        formatter.DecideIfActive(row.templateText);
        EXPECT_EQ(formatter.Active, row.active);
    }
}

TEST(Formatter, HostDecisionClearsDriveLettersOnly)
{
    TFormatRig rig;
    for (TDriveEntry& drive : rig.Shell.Data.Drives) {
        drive.Letter = 'C';
        drive.TotalMB = 10;
        drive.FreeMB = 5;
    }
    rig.Family(TFamily::NonPerf).DecideIfActive("<NAME=CompName>");
    EXPECT_TRUE(rig.Family(TFamily::NonPerf).Active);
    for (const TDriveEntry& drive : rig.Shell.Data.Drives) {
        EXPECT_EQ(drive.Letter, 0);
        EXPECT_EQ(drive.TotalMB, 10);
        EXPECT_EQ(drive.FreeMB, 5);
    }
}

} // namespace
} // namespace statlume
