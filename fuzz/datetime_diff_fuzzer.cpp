// Date conversions against the C library in UTC: Time_tToTimeStamp and
// SecondsToDate against gmtime_r, TimeStampToTime_t and DateTimeToSeconds
// against timegm, for seconds taken from the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "krtools/datetime.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckRendering(long seconds, int style) {
    char stamp[21];
    std::memset(stamp, '#', sizeof stamp);
    const int written = Time_tToTimeStamp(seconds, stamp, style);
    std::tm tm;
    const time_t value = seconds;
    if (gmtime_r(&value, &tm) == nullptr || tm.tm_year < -1900 || tm.tm_year > 9999 - 1900) {
        Check(written == 0 && stamp[0] == '\0');
        return;
    }
    char expected[64];
    std::snprintf(expected, sizeof expected,
                  style == 0 ? "%04d-%02d-%02d %02d:%02d:%02d" : "%04d-%02d-%02d-%02d.%02d.%02d",
                  tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    Check(written == 19 && std::strcmp(stamp, expected) == 0 && stamp[20] == '#');

    // Reading back: 1970 reads as 0 and 2038 as 2147483647 by definition.
    long back = -1;
    const int year = tm.tm_year + 1900;
    if (year < 1970 || year > 3000) return;
    Check(TimeStampToTime_t(stamp, &back) == 0);
    const long expectedBack = year == 1970   ? 0
                              : year == 2038 ? 2147483647L
                                             : static_cast<long>(timegm(&tm));
    Check(back == expectedBack);

    char date[16], time[16];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", year, tm.tm_mon + 1, tm.tm_mday);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    long viaFields = -1;
    Check(DateTimeToSeconds(date, time, &viaFields, 1) == 0 && viaFields == expectedBack);
}

void CheckDate(unsigned long seconds) {
    DateFields date;
    SecondsToDate(&date, seconds);
    const time_t value = static_cast<time_t>(seconds);
    std::tm tm;
    if (seconds > 67767976233532799UL || gmtime_r(&value, &tm) == nullptr) return;
    Check(date.year == tm.tm_year + 1900 && date.month == tm.tm_mon + 1 && date.day == tm.tm_mday &&
          date.hour == tm.tm_hour && date.minute == tm.tm_min && date.second == tm.tm_sec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 9) return 0;
    int64_t raw = 0;
    std::memcpy(&raw, data, sizeof raw);
    const int scale = data[8] % 3;
    // Mostly plausible moments, sometimes any 64-bit value.
    const long seconds = scale == 0   ? static_cast<long>(raw % 40000000000LL)
                         : scale == 1 ? static_cast<long>(static_cast<uint32_t>(raw))
                                      : static_cast<long>(raw);
    CheckRendering(seconds, data[8] & 0x80 ? 1 : 0);
    CheckDate(static_cast<unsigned long>(seconds));
    return 0;
}
