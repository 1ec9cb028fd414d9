#include "platform/fake/test_locales.h"

namespace statlume::platform {

LocaleInfo EnglishUsLocale()
{
    LocaleInfo l;
    l.DecimalSeparator = ".";
    l.ThousandSeparator = ",";
    l.DateSeparator = "/";
    l.TimeSeparator = ":";
    l.ShortDateFormat = "m/d/yyyy";
    l.LongDateFormat = "dddd, mmmm d, yyyy";
    l.ShortTimeFormat = "h:nn AMPM";
    l.LongTimeFormat = "h:nn:ss AMPM";
    l.TimeAMString = "AM";
    l.TimePMString = "PM";
    l.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    l.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    l.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    l.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                        "July",    "August",   "September", "October", "November", "December"};
    return l;
}

LocaleInfo GermanLocale()
{
    LocaleInfo l;
    l.DecimalSeparator = ",";
    l.ThousandSeparator = ".";
    l.DateSeparator = ".";
    l.TimeSeparator = ":";
    l.ShortDateFormat = "dd.mm.yyyy";
    l.LongDateFormat = "dddd, d. mmmm yyyy";
    l.ShortTimeFormat = "hh:nn";
    l.LongTimeFormat = "hh:nn:ss";
    l.TimeAMString = "";
    l.TimePMString = "";
    l.ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    l.LongDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                      "Donnerstag", "Freitag", "Samstag"};
    l.ShortMonthNames = {"Jan", "Feb", "M\u00e4r", "Apr", "Mai", "Jun",
                         "Jul", "Aug", "Sep",      "Okt", "Nov", "Dez"};
    l.LongMonthNames = {"Januar", "Februar", "M\u00e4rz", "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    return l;
}

LocaleInfo FrenchLocale()
{
    LocaleInfo l;
    l.DecimalSeparator = ",";
    l.ThousandSeparator = "\u202f";
    l.DateSeparator = "/";
    l.TimeSeparator = ":";
    l.ShortDateFormat = "dd/mm/yyyy";
    l.LongDateFormat = "dddd d mmmm yyyy";
    l.ShortTimeFormat = "hh:nn";
    l.LongTimeFormat = "hh:nn:ss";
    l.TimeAMString = "";
    l.TimePMString = "";
    l.ShortDayNames = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};
    l.LongDayNames = {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"};
    l.ShortMonthNames = {"janv.", "f\u00e9vr.", "mars",  "avr.", "mai",  "juin",
                         "juil.", "ao\u00fbt",  "sept.", "oct.", "nov.", "d\u00e9c."};
    l.LongMonthNames = {"janvier",   "f\u00e9vrier", "mars",     "avril",
                        "mai",       "juin",         "juillet",  "ao\u00fbt",
                        "septembre", "octobre",      "novembre", "d\u00e9cembre"};
    return l;
}

} // namespace statlume::platform
