#include "platform/system_status.h"

namespace statlume::platform {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil algorithm).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

} // namespace

double ToDayCount(int year, int month, int day, int hour, int minute, int second, int millisecond)
{
    const std::int64_t epochOffset = DaysFromCivil(1899, 12, 30);
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - epochOffset;
    const double msOfDay = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
    return static_cast<double>(days) + msOfDay / 86400000.0;
}

} // namespace statlume::platform
