// Gregorian calendar dates, for the birth dates that personal numbers carry.
#pragma once

#include <array>

namespace cobalis::algorithms {

constexpr bool is_leap_year(unsigned year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

namespace detail {
inline constexpr std::array<unsigned, 12> DAYS_IN_MONTH{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
}

constexpr bool is_calendar_date(unsigned year, unsigned month, unsigned day) noexcept {
    if (month < 1 || month > 12 || day < 1) return false;
    const unsigned last = month == 2 && is_leap_year(year) ? 29 : detail::DAYS_IN_MONTH[month - 1];
    return day <= last;
}

static_assert(is_calendar_date(2000, 2, 29) && !is_calendar_date(1900, 2, 29) && is_calendar_date(1896, 2, 29));
static_assert(!is_calendar_date(1999, 4, 31) && !is_calendar_date(1999, 13, 1) && !is_calendar_date(1999, 1, 0));
static_assert(is_calendar_date(1999, 12, 31) && !is_calendar_date(1999, 0, 1) && !is_calendar_date(2001, 2, 29));

}  // namespace cobalis::algorithms
