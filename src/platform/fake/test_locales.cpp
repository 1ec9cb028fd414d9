#include "platform/fake/test_locales.h"

namespace statlume::platform {

LocaleInfo EnglishUsLocale()
{
    return LocaleInfo{.DecimalSeparator = ".",
                      .ThousandSeparator = ",",
                      .DateSeparator = "/",
                      .TimeSeparator = ":",
                      .ShortDateFormat = "m/d/yyyy",
                      .LongDateFormat = "dddd, mmmm d, yyyy",
                      .ShortTimeFormat = "h:nn AMPM",
                      .LongTimeFormat = "h:nn:ss AMPM",
                      .TimeAMString = "AM",
                      .TimePMString = "PM",
                      .ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
                      .LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday",
                                       "Friday", "Saturday"},
                      .ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug",
                                          "Sep", "Oct", "Nov", "Dec"},
                      .LongMonthNames = {"January", "February", "March", "April", "May", "June",
                                         "July", "August", "September", "October", "November",
                                         "December"}};
}

LocaleInfo GermanLocale()
{
    return LocaleInfo{.DecimalSeparator = ",",
                      .ThousandSeparator = ".",
                      .DateSeparator = ".",
                      .TimeSeparator = ":",
                      .ShortDateFormat = "dd.mm.yyyy",
                      .LongDateFormat = "dddd, d. mmmm yyyy",
                      .ShortTimeFormat = "hh:nn",
                      .LongTimeFormat = "hh:nn:ss",
                      .TimeAMString = "",
                      .TimePMString = "",
                      .ShortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"},
                      .LongDayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag",
                                       "Freitag", "Samstag"},
                      .ShortMonthNames = {"Jan", "Feb", "M\u00e4r", "Apr", "Mai", "Jun", "Jul",
                                          "Aug", "Sep", "Okt", "Nov", "Dez"},
                      .LongMonthNames = {"Januar", "Februar", "M\u00e4rz", "April", "Mai", "Juni",
                                         "Juli", "August", "September", "Oktober", "November",
                                         "Dezember"}};
}

LocaleInfo FrenchLocale()
{
    return LocaleInfo{
        .DecimalSeparator = ",",
        .ThousandSeparator = "\u202f",
        .DateSeparator = "/",
        .TimeSeparator = ":",
        .ShortDateFormat = "dd/mm/yyyy",
        .LongDateFormat = "dddd d mmmm yyyy",
        .ShortTimeFormat = "hh:nn",
        .LongTimeFormat = "hh:nn:ss",
        .TimeAMString = "",
        .TimePMString = "",
        .ShortDayNames = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."},
        .LongDayNames = {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
        .ShortMonthNames = {"janv.", "f\u00e9vr.", "mars", "avr.", "mai", "juin", "juil.",
                            "ao\u00fbt", "sept.", "oct.", "nov.", "d\u00e9c."},
        .LongMonthNames = {"janvier", "f\u00e9vrier", "mars", "avril", "mai", "juin", "juillet",
                           "ao\u00fbt", "septembre", "octobre", "novembre", "d\u00e9cembre"}};
}

} // namespace statlume::platform
