// Gregorian calendar arithmetic in whole 400-year eras of 146097 days, and
// SecondsToDate on top of it.
#include "time/calendar.h"

#include <cstdint>

#include "krtools/datetime.h"

namespace krtime {

namespace {

constexpr int64_t kDaysPerEra = 146097;
// Days from 0000-03-01 to 1970-01-01.
constexpr int64_t kEpochShift = 719468;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
    // Fold the month into 1 to 12; the year takes the carry.
    year += FloorDiv(month - 1, 12);
    month -= 12 * FloorDiv(month - 1, 12);
    // Count years from March, so that a leap day ends its year.
    if (month <= 2) {
        --year;
    }
    const int64_t era = FloorDiv(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * shiftedMonth + 2) / 5;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * kDaysPerEra + dayOfEra - kEpochShift + (day - 1);
}

CivilDate CivilFromDays(int64_t days) {
    days += kEpochShift;
    const int64_t era = FloorDiv(days, kDaysPerEra);
    const int64_t dayOfEra = days - era * kDaysPerEra;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
    return date;
}

}  // namespace krtime

namespace {

constexpr uint64_t kSecondsPerDay = 86400;
// The last second of the year 2147483647, the largest year DateFields holds.
const uint64_t kLastSecond =
    static_cast<uint64_t>(krtime::DaysFromCivil(2147483648LL, 1, 1)) * kSecondsPerDay - 1;

}  // namespace

void SecondsToDate(DateFields* date, unsigned long seconds) {
    uint64_t value = seconds;
    if (value > kLastSecond) {
        value = kLastSecond;
    }
    const uint64_t secondOfDay = value % kSecondsPerDay;
    const krtime::CivilDate civil =
        krtime::CivilFromDays(static_cast<int64_t>(value / kSecondsPerDay));
    date->month = civil.month;
    date->day = civil.day;
    date->year = static_cast<int32_t>(civil.year);
    date->hour = static_cast<int32_t>(secondOfDay / 3600);
    date->minute = static_cast<int32_t>(secondOfDay % 3600 / 60);
    date->second = static_cast<int32_t>(secondOfDay % 60);
}
