#include "format/item_texts.h"

#include <array>
#include <string>

#include "record/raw_data.h"

namespace statlume {

namespace {

constexpr std::string_view CrLf = "\r\n";

constexpr std::string_view SensorStarterNote =
    " in MBM. Can be read without MBM running (though MBM must still have been installed) if "
    "the MBMStarter DLL is in the same directory.";

constexpr std::string_view PercentageNote =
    ", FORMAT. Use FORMAT=\"%\" to display the value as a percentage, instead of an absolute "
    "value, which is the default";

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

std::string TempHelp(char digit)
{
    std::string text = "Reports data from temperature sensor #";
    text += digit;
    text += SensorStarterNote;
    text += " Uses SIZE, FORMAT. <NAME=Temp";
    text += digit;
    text += ">. Format tags are C or F, for Celsius and Fahrenheit respectively. Default Celsius.";
    return text;
}

std::string FanHelp(char digit)
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

std::string PercentageHelp(std::string_view head)
{
    return Concat(head, PercentageNote);
}

std::string UptimeHelp()
{
    return Concat("Current System Uptime. <NAME=Uptime>. Uses FORMAT, SIZE, LEADZERO. LEADZERO in "
                  "this context will force leading zeroes, even if the format string contains "
                  "lowercase (non-leading) modifiers. Valid FORMAT items: ",
                  UptimeHelpText());
}

std::string DateTimeHelp()
{
    return Concat("Current local system Date and Time. <NAME=DateTime>. Uses FORMAT, SIZE. ",
                  DateTimeHelpText());
}

std::string DriveSpaceHelp()
{
    return "Free and Total disk space in MB's for drives or partitions. Use FORMAT to specify the "
           "drive letter and whether you want to see the free or total space; up to " +
           std::to_string(DriveSlots) +
           " drives can be requested at one time, with each as a different label. "
           "<NAME=DriveSpace FORMAT=\"C FREE\"> <NAME=DriveSpace FORMAT=\"D TOTAL\">. Uses SIZE, "
           "FORMAT, DECIMAL";
}

} // namespace statlume
