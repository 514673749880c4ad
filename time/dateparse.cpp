// Date and time texts to struct tm, and to seconds.
#include <cstring>
#include <ctime>

#include "krtools/datetime.h"
#include "platform/platform.h"
#include "time/calendar.h"

namespace {

constexpr int kReservedEpochYear = 70;  // 1970, as tm_year
constexpr int kReservedLastYear = 138;  // 2038, as tm_year
constexpr long kLastReservedSeconds = 2147483647L;

// Reads a number as atoi does (leading white space, a sign, digits up to the
// first other character), saturating instead of overflowing.
int ReadNumber(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value < 10000000000LL) {
            value = value * 10 + (*text - '0');
        }
    }
    if (value > 2147483647LL) {
        value = 2147483647LL;
    }
    return static_cast<int>(negative ? -value : value);
}

// Copies `text` (length already checked) to `copy`, replacing `from` by `to`,
// and finds the first two `to` separators. False when there are fewer.
bool SplitThree(const char* text, size_t length, char from, char to, char* copy,
                const char** second, const char** third) {
    for (size_t i = 0; i < length; ++i) {
        copy[i] = text[i] == from ? to : text[i];
    }
    copy[length] = '\0';
    const char* first = std::strchr(copy, to);
    if (first == nullptr) {
        return false;
    }
    const char* next = std::strchr(first + 1, to);
    if (next == nullptr) {
        return false;
    }
    *second = first + 1;
    *third = next + 1;
    return true;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

long UtcSeconds(const std::tm& tm) {
    const int64_t days = krtime::DaysFromCivil(tm.tm_year + 1900LL, tm.tm_mon + 1LL, tm.tm_mday);
    return static_cast<long>(days * 86400 + tm.tm_hour * 3600LL + tm.tm_min * 60LL + tm.tm_sec);
}

}  // namespace

int DateToTmStruct(const char* date, struct tm* tm) {
    if (tm == nullptr) {
        return -1;
    }
    std::memset(tm, 0, sizeof *tm);
    if (date == nullptr) {
        return -1;
    }
    const size_t length = strnlen(date, 11);
    if (length < 6 || length > 10) {
        return -1;
    }
    char copy[11];
    const char* second = nullptr;
    const char* third = nullptr;
    if (!SplitThree(date, length, '-', '/', copy, &second, &third)) {
        return -1;
    }
    const int first = ReadNumber(copy);
    int year = first, month = ReadNumber(second), day = ReadNumber(third);
    if (first < 1900) {
        month = first;
        day = ReadNumber(second);
        year = ReadNumber(third);
    }
    tm->tm_year = year - 1900;
    tm->tm_mon = month - 1;
    tm->tm_mday = day;
    const bool valid =
        InRange(tm->tm_year, 70, 1100) && InRange(tm->tm_mon, 0, 11) && InRange(tm->tm_mday, 1, 31);
    return valid ? 0 : -1;
}

int TimeToTmStruct(const char* time, struct tm* tm) {
    if (time == nullptr || tm == nullptr) {
        return -1;
    }
    const size_t length = strnlen(time, 9);
    if (length < 5 || length > 8) {
        return -1;
    }
    char copy[9];
    const char* minute = nullptr;
    const char* second = nullptr;
    if (!SplitThree(time, length, '.', ':', copy, &minute, &second)) {
        return -1;
    }
    tm->tm_hour = ReadNumber(copy);
    if (!InRange(tm->tm_hour, 0, 23)) {
        return -1;
    }
    tm->tm_min = ReadNumber(minute);
    if (!InRange(tm->tm_min, 0, 59)) {
        return -1;
    }
    tm->tm_sec = ReadNumber(second);
    return InRange(tm->tm_sec, 0, 59) ? 0 : -1;
}

int DateTimeToSeconds(const char* date, const char* time, long* seconds, int utc) {
    if (date == nullptr || time == nullptr || seconds == nullptr) {
        return -1;
    }
    std::tm tm;
    if (DateToTmStruct(date, &tm) != 0 || TimeToTmStruct(time, &tm) != 0) {
        return -1;
    }
    if (tm.tm_year == kReservedEpochYear) {
        *seconds = 0;
        return 0;
    }
    if (tm.tm_year == kReservedLastYear) {
        *seconds = kLastReservedSeconds;
        return 0;
    }
    if (utc != 0) {
        *seconds = UtcSeconds(tm);
        return 0;
    }
    tm.tm_isdst = -1;
    const int64_t local = krplatform::FromLocalTime(&tm);
    if (local == -1) {
        return -1;
    }
    *seconds = static_cast<long>(local);
    return 0;
}
