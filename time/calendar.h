// Proleptic Gregorian calendar arithmetic on day counts from 1970-01-01.
#ifndef KRTOOLS_TIME_CALENDAR_H
#define KRTOOLS_TIME_CALENDAR_H

#include <cstdint>

namespace krtime {

struct CivilDate {
    int64_t year;
    int month;  // 1 to 12
    int day;    // 1 to 31
};

// Days from 1970-01-01 to the given date. `month` may lie outside 1 to 12 and
// `day` outside the month: they roll over into the neighbouring months and
// years as mktime normalises them.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);

// The date `days` days after 1970-01-01 (`days` may be negative).
CivilDate CivilFromDays(int64_t days);

}  // namespace krtime

#endif  // KRTOOLS_TIME_CALENDAR_H
