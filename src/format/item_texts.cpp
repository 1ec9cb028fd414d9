#include "format/item_texts.h"

#include <array>

#include "record/raw_data.h"

namespace statlume {

namespace {

constexpr std::string_view CrLf = "\r\n";

// The temperature lines end with a degree sign, U+00BA in UTF-8.
constexpr std::array<TItemNames, ItemCount> Names{{
    {"Temperature 1", "Temp1", "Temp1: <NAME=Temp1 FORMAT=\"F\">\xC2\xBA"},
    {"Temperature 2", "Temp2", "Temp2: <NAME=Temp2 FORMAT=\"F\">\xC2\xBA"},
    {"Temperature 3", "Temp3", "Temp3: <NAME=Temp3 FORMAT=\"F\">\xC2\xBA"},
    {"Fan 1", "Fan1", "Fan1: <NAME=Fan1>"},
    {"Fan 2", "Fan2", "Fan2: <NAME=Fan2>"},
    {"Fan 3", "Fan3", "Fan3: <NAME=Fan3>"},
    {"Uptime", "Uptime", "<NAME=Uptime FORMAT=\"*d* days, *H* hrs, *M* mins, *S* secs\" SIZE=20>"},
    {"System Thread Count", "Threads", "Threads: <NAME=Threads SIZE=5>"},
    {"System Processes Count", "Processes", "Processes: <NAME=Processes SIZE=5>"},
    {"PageTotal", "PageTotal", "PageTotal: <NAME=PageTotal>"},
    {"PageUsed", "PageUsed", "PageUsed: <NAME=PageUsed>"},
    {"PageFree", "PageFree", "PageFree: <NAME=PageFree>"},
    {"RAMTotal", "RAMTotal", "RAMTotal: <NAME=RAMTotal>"},
    {"RAMUsed", "RAMUsed", "RAMUsed: <NAME=RAMUsed>"},
    {"RAMFree", "RAMFree", "RAMFree: <NAME=RAMFree>"},
    {"Processor Usage", "ProcUsage",
     "Proc %: <NAME=ProcUsage LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">"},
    {"Network Read Stats", "NetRead",
     "KB Read: <NAME=NetRead LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">"},
    {"Network Write Stats", "NetWrite",
     "KB Write: <NAME=NetWrite LEADZERO DECIMAL SIZE=5 FORMAT=\"ALL\">"},
    {"IP Addresses", "IPAddr", "<NAME=IPAddr>"},
    {"Computer Name", "CompName", "<NAME=CompName>"},
    {"User Name", "UserName", "<NAME=UserName>"},
    {"Date and Time", "DateTime", "<NAME=DateTime FORMAT=\"'Date' dd/mm/yy 'Time' hh:nn\">"},
    {"Blank", "Blank", "<NAME=Blank SIZE=5>"},
    {"Drive Space", "DriveSpace", "Drive C: <NAME=DriveSpace SIZE=5 FORMAT=\"C FREE\">"},
}};

constexpr std::string_view SensorStarterNote =
    " in MBM. Can be read without MBM running (though MBM must still have been installed) if "
    "the MBMStarter DLL is in the same directory.";

constexpr std::string_view PercentageNote =
    ", FORMAT. Use FORMAT=\"%\" to display the value as a percentage, instead of an absolute "
    "value, which is the default";

std::string TempDescription(char digit)
{
    std::string text = "Reports data from temperature sensor #";
    text += digit;
    text += SensorStarterNote;
    text += " Uses SIZE, FORMAT. <NAME=Temp";
    text += digit;
    text += ">. Format tags are C or F, for Celsius and Fahrenheit respectively. Default Celsius.";
    return text;
}

std::string FanDescription(char digit)
{
    std::string text = "Reports speed of Fan ";
    text += digit;
    text += " Sensor";
    text += SensorStarterNote;
    text += " Uses SIZE. <NAME=Fan";
    text += digit;
    text += ">. ";
    return text;
}

std::string Concat(std::string_view head, std::string_view tail)
{
    std::string text(head);
    text += tail;
    return text;
}

struct TDateTimeLine
{
    std::string_view Specifier;
    std::string_view Gap;
    std::string_view Text;
};

constexpr std::string_view TabGap = "\t       ";

constexpr std::array<TDateTimeLine, 27> DateTimeLines{{
    {"c", "    \t       ",
     "Displays the date using the format given by the ShortDateFormat global variable, followed "
     "by the time using the format given by the LongTimeFormat global variable. The time is not "
     "displayed if the fractional part of the DateTime value "},
    {"d", TabGap, "Displays the day as a number without a leading zero (1-31)."},
    {"dd", TabGap, "Displays the day as a number with a leading zero (01-31)."},
    {"ddd", TabGap,
     "Displays the day as an abbreviation (Sun-Sat) using the strings given by the ShortDayNames "
     "global variable."},
    {"dddd", TabGap,
     "Displays the day as a full name (Sunday-Saturday) using the strings given by the "
     "LongDayNames global variable."},
    {"ddddd", TabGap,
     "Displays the date using the format given by the ShortDateFormat global variable."},
    {"dddddd", "       ",
     "Displays the date using the format given by the LongDateFormat global variable."},
    {"m", TabGap,
     "Displays the month as a number without a leading zero (1-12). If the m specifier "
     "immediately follows an h or hh specifier, the minute rather than the month is displayed."},
    {"mm", TabGap,
     "Displays the month as a number with a leading zero (01-12). If the mm specifier "
     "immediately follows an h or hh specifier, the minute rather than the month is displayed."},
    {"mmm", TabGap,
     "Displays the month as an abbreviation (Jan-Dec) using the strings given by the "
     "ShortMonthNames global variable."},
    {"mmmm", TabGap,
     "Displays the month as a full name (January-December) using the strings given by the "
     "LongMonthNames global variable."},
    {"yy", TabGap, "Displays the year as a two-digit number (00-99)."},
    {"yyyy", TabGap, "Displays the year as a four-digit number (0000-9999)."},
    {"h", TabGap, "Displays the hour without a leading zero (0-23)."},
    {"hh", TabGap, "Displays the hour with a leading zero (00-23)."},
    {"n", TabGap, "Displays the minute without a leading zero (0-59)."},
    {"nn", TabGap, "Displays the minute with a leading zero (00-59)."},
    {"s", TabGap, "Displays the second without a leading zero (0-59)."},
    {"ss", TabGap, "Displays the second with a leading zero (00-59)."},
    {"t", TabGap,
     "Displays the time using the format given by the ShortTimeFormat global variable."},
    {"tt", TabGap,
     "Displays the time using the format given by the LongTimeFormat global variable."},
    {"am/pm", TabGap,
     "Uses the 12-hour clock for the preceding h or hh specifier, and displays 'am' for any hour "
     "before noon, and 'pm' for any hour after noon. The am/pm specifier can use lower, upper, or "
     "mixed case, and the result is displayed accordingly."},
    {"a/p", TabGap,
     "Uses the 12-hour clock for the preceding h or hh specifier, and displays 'a' for any hour "
     "before noon, and 'p' for any hour after noon. The a/p specifier can use lower, upper, or "
     "mixed case, and the result is displayed accordingly."},
    {"ampm", TabGap,
     "Uses the 12-hour clock for the preceding h or hh specifier, and displays the contents of "
     "the TimeAMString global variable for any hour before noon, and the contents of the "
     "TimePMString global variable for any hour after noon."},
    {"/", TabGap,
     "Displays the date separator character given by the DateSeparator global variable."},
    {":", TabGap,
     "Displays the time separator character given by the TimeSeparator global variable."},
    {"'xx'", "  ",
     "Characters enclosed in single quotes are displayed as-is, and do not affect formatting."},
}};

} // namespace

TItemNames ItemNamesOf(TItem item)
{
    return Names.at(static_cast<std::size_t>(item));
}

std::string UptimeHelpText()
{
    std::string text = "For the Uptime, you have the option of using format strings which "
                       "lets you customize the appearance of the data. First, any free form "
                       "text will appear as is. Next, you can use any of the following items "
                       "anywhere in the text to add particular numbers.";
    text += CrLf;
    for (std::string_view line :
         {"*d* days, no leading zero", "*D* Days, with leading zero", "*h* hours, no leading zero",
          "*H* Hours, with leading zero", "*m* duh", "*M* duh", "*s* duh", "*S* duh"}) {
        text += line;
        text += CrLf;
    }
    return text;
}

std::string DateTimeHelpText()
{
    std::string text =
        "For the Date and time, you have the option of using format strings which lets you "
        "customize the appearance of the data. First, any free form text should be enclosed in "
        "a pair of quotation marks \"just like so\" - this text will be displayed exactly as you "
        "enter it.";
    text += CrLf;
    text += "Interspersed within the free-form text, you can enter any or all of the following "
            "letter combinations, which let you specify what data should appear and how it "
            "should be formatted. The default text is a good example of how the system works, I "
            "think.";
    text += CrLf;
    for (const TDateTimeLine& line : DateTimeLines) {
        text += line.Specifier;
        text += line.Gap;
        text += line.Text;
        text += CrLf;
    }
    text += "Since you can also invoke the DateTime flag multiple times in a string, you can "
            "alternatively put characters between multiple DateTime tags to mimic this, and "
            "allow greater flexibility on spacing using SIZE and CHAR.";
    text += CrLf;
    return text;
}

std::string ItemDescription(TItem item)
{
    switch (item) {
    case TItem::Temp1:
        return TempDescription('1');
    case TItem::Temp2:
        return TempDescription('2');
    case TItem::Temp3:
        return TempDescription('3');
    case TItem::Fan1:
        return FanDescription('1');
    case TItem::Fan2:
        return FanDescription('2');
    case TItem::Fan3:
        return FanDescription('3');
    case TItem::Uptime:
        return Concat("Current System Uptime. <NAME=Uptime>. Uses FORMAT, SIZE, LEADZERO. "
                      "LEADZERO in this context will force leading zeroes, even if the format "
                      "string contains lowercase (non-leading) modifiers. Valid FORMAT items: ",
                      UptimeHelpText());
    case TItem::Threads:
        return "Total number of Threads active across the system. Uses SIZE. <NAME=Threads>.";
    case TItem::Processes:
        return "Total number of Processes active across the system. Uses SIZE. "
               "<NAME=Processes>.";
    case TItem::PageTotal:
        return "Total Bytes in Pagefile, expressed in MB. <NAME=PageTotal>. Uses SIZE";
    case TItem::PageUsed:
        return Concat("Used Bytes in Pagefile, expressed in MB. <NAME=PageUsed>. Uses SIZE",
                      PercentageNote);
    case TItem::PageFree:
        return Concat("Free Bytes in Pagefile, expressed in MB. <NAME=PageFree>. Uses SIZE",
                      PercentageNote);
    case TItem::RAMTotal:
        return "Total Bytes in RAM, expressed in MB. <NAME=RAMTotal>. Uses SIZE";
    case TItem::RAMUsed:
        return Concat("Used Bytes in RAM, expressed in MB. <NAME=RAMUsed>. Uses SIZE",
                      PercentageNote);
    case TItem::RAMFree:
        return Concat("Free Bytes in RAM, expressed in MB. <NAME=RAMFree>. Uses SIZE",
                      PercentageNote);
    case TItem::ProcUsage:
        return "Displays processor usage as a percentage. <NAME=ProcUsage>. Uses FORMAT, "
               "LEADZERO, DECIMAL, SIZE. Set Format to the number processor you would like to "
               "display (1-4), or ALL for the total.";
    case TItem::NetRead:
        return "Bytes Read from all network adapters, in KB/sec. <NAME=NetRead>. Uses FORMAT, "
               "LEADZERO, DECIMAL, SIZE. Set Format to the number NIC you would like to display "
               "(1-4), or ALL for the total.";
    case TItem::NetWrite:
        return "Bytes Written to all network adapters, in KB/sec. <NAME=NetWrite>. Uses FORMAT, "
               "LEADZERO, DECIMAL, SIZE. Set Format to the number NIC you would like to display "
               "(1-4), or ALL for the total.";
    case TItem::IPAddr:
        return "Total number of IP addresses locally bound to adapters. Uses SIZE, LEADZERO, "
               "FORMAT. When LEADZERO is used in this context, each of the 3-digit numbers "
               "making up the address will be left-padded with zeroes. FORMAT is used to specify "
               "the character(s) separating each IP (Default is a comma and space)"
               "<NAME=IPAddr>.";
    case TItem::CompName:
        return "Local computer name, specified in Network Identification. 15 character max. "
               "Uses SIZE. <NAME=CompName>.";
    case TItem::UserName:
        return "Logged in User name. 15 character max. Uses SIZE. <NAME=UserName>.";
    case TItem::DateTime:
        return Concat("Current local system Date and Time. <NAME=DateTime>. Uses FORMAT, SIZE. ",
                      DateTimeHelpText());
    case TItem::Blank:
        return "Blank tag which doesn't actually format data, and is basically used to let you "
               "apply the SIZE tag to space things. <NAME=Blank>. Uses SIZE";
    case TItem::DriveSpace:
        return "Free and Total disk space in MB's for drives or partitions. Use FORMAT to "
               "specify the drive letter and whether you want to see the free or total space; "
               "up to " +
               std::to_string(DriveSlots) +
               " drives can be requested at one time, with each as a different label. "
               "<NAME=DriveSpace FORMAT=\"C FREE\"> <NAME=DriveSpace FORMAT=\"D TOTAL\">. Uses "
               "SIZE, FORMAT, DECIMAL";
    }
    return {};
}

} // namespace statlume
