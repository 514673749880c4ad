// Time stamps ("YYYY-MM-DD hh:mm:ss", "YYYY-MM-DD-hh.mm.ss") and CMS
// date/time texts.
#include <cstdio>
#include <cstring>
#include <ctime>

#include "krtools/datetime.h"
#include "krtools/strutil.h"
#include "platform/platform.h"

namespace {

constexpr int kStampLength = 19;
constexpr int kStampSize = kStampLength + 1;
constexpr int kLongestStampRead = 29;
constexpr int kShortestStamp = 16;
constexpr int kDashDatePosition = 10;
constexpr size_t kShortestTime = 5;
constexpr size_t kLongestTime = 8;
constexpr int kCmsSize = 9;

// Splits a trimmed stamp in place into a date and a time text. Returns
// false when the text is not shaped like a stamp.
bool SplitStamp(char* text, int length, const char** date, char** time) {
    if (length < kShortestStamp) {
        return false;
    }
    char* timeStart = nullptr;
    if (text[kDashDatePosition] == '-') {
        text[kDashDatePosition] = '\0';
        timeStart = text + kDashDatePosition + 1;
    } else {
        char* space = std::strchr(text, ' ');
        if (space == nullptr) {
            return false;
        }
        *space = '\0';
        timeStart = space + 1;
        while (*timeStart != '\0' && static_cast<signed char>(*timeStart) <= ' ') {
            ++timeStart;
        }
    }
    const size_t timeLength = std::strlen(timeStart);
    if (timeLength < kShortestTime) {
        return false;
    }
    if (timeLength > kLongestTime) {
        timeStart[kLongestTime] = '\0';
    }
    *date = text;
    *time = timeStart;
    return true;
}

int ReadStamp(const char* stamp, long* seconds, int utc) {
    if (seconds == nullptr) {
        return -1;
    }
    *seconds = 0;
    if (stamp == nullptr) {
        return -1;
    }
    char text[kLongestStampRead + 1];
    Strncpy(text, stamp, sizeof text);
    int length = static_cast<int>(std::strlen(text));
    TrimString(text, &length);
    const char* date = nullptr;
    char* time = nullptr;
    if (!SplitStamp(text, length, &date, &time)) {
        return 0;
    }
    return DateTimeToSeconds(date, time, seconds, utc);
}

int WriteStamp(const std::tm& tm, bool converted, char* stamp, int style) {
    const long long year = tm.tm_year + 1900LL;
    if (!converted || year < 0 || year > 9999) {
        stamp[0] = '\0';
        return 0;
    }
    const char* format =
        style == 0 ? "%04u-%02u-%02u %02u:%02u:%02u" : "%04u-%02u-%02u-%02u.%02u.%02u";
    const int written =
        std::snprintf(stamp, kStampSize, format, static_cast<unsigned>(year),
                      static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday),
                      static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                      static_cast<unsigned>(tm.tm_sec));
    return written == kStampLength ? written : 0;
}

// Copies `count` characters of `from` starting at `offset` to `to`, reading
// no further than `from`'s NUL; missing characters become `fill`.
// `available` is the number of characters `from` holds, already found.
void CopyDigits(char* to, const char* from, size_t available, size_t offset, size_t count,
                char fill) {
    for (size_t i = 0; i < count; ++i) {
        to[i] = offset + i < available ? from[offset + i] : fill;
    }
}

}  // namespace

int LocalTimeStampToTime_t(const char* stamp, long* seconds) {
    return ReadStamp(stamp, seconds, 0);
}

int TimeStampToTime_t(const char* stamp, long* seconds) { return ReadStamp(stamp, seconds, 1); }

int Time_tToLocalTimeStamp(long seconds, char* stamp, int style) {
    std::tm tm{};
    const bool converted =
        seconds == 0 ? krplatform::ToUtcTime(seconds, &tm) : krplatform::ToLocalTime(seconds, &tm);
    return WriteStamp(tm, converted, stamp, style);
}

int Time_tToTimeStamp(long seconds, char* stamp, int style) {
    std::tm tm{};
    const bool converted = krplatform::ToUtcTime(seconds, &tm);
    return WriteStamp(tm, converted, stamp, style);
}

void cmsDateTimeToTimestamp(const char* date, const char* time, char* stamp) {
    const size_t dateLength = strnlen(date, 8);
    const size_t timeLength = strnlen(time, 4);
    CopyDigits(stamp, date, dateLength, 0, 4, '0');
    stamp[4] = '-';
    CopyDigits(stamp + 5, date, dateLength, 4, 2, '0');
    stamp[7] = '-';
    CopyDigits(stamp + 8, date, dateLength, 6, 2, '0');
    stamp[10] = '-';
    CopyDigits(stamp + 11, time, timeLength, 0, 2, '0');
    stamp[13] = '.';
    CopyDigits(stamp + 14, time, timeLength, 2, 2, '0');
    std::memcpy(stamp + 16, ".00", 4);
}

void TimestampToCmsDateTime(char* date, char* time, const char* stamp) {
    std::memset(date, 0, kCmsSize);
    std::memset(time, 0, kCmsSize);
    const size_t length = strnlen(stamp, kStampLength);
    CopyDigits(date, stamp, length, 0, 4, '\0');
    CopyDigits(date + 4, stamp, length, 5, 2, '\0');
    CopyDigits(date + 6, stamp, length, 8, 2, '\0');
    CopyDigits(time, stamp, length, 11, 2, '\0');
    CopyDigits(time + 2, stamp, length, 14, 2, '\0');
    CopyDigits(time + 4, stamp, length, 17, 2, '\0');
}
