// Feeds arbitrary text to the date, time and stamp readers and the CMS
// converters. Checks that outputs stay within their documented sizes and
// that a stamp read as UTC renders and reads back to the same seconds.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "krtools/datetime.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckStampRoundTrip(const std::string& text) {
    long seconds = -1;
    const int result = TimeStampToTime_t(text.c_str(), &seconds);
    Check(result == 0 || result == -1);
    if (result != 0) {
        Check(seconds == 0);
        return;
    }
    char stamp[21];
    std::memset(stamp, '#', sizeof stamp);
    Check(Time_tToTimeStamp(seconds, stamp, seconds % 2 == 0 ? 0 : 1) == 19);
    Check(stamp[19] == '\0' && stamp[20] == '#');
    if (std::strncmp(stamp, "1970", 4) == 0 || std::strncmp(stamp, "2038", 4) == 0) return;
    long back = -1;
    Check(TimeStampToTime_t(stamp, &back) == 0 && back == seconds);

    long local = -1;
    const int localResult = LocalTimeStampToTime_t(text.c_str(), &local);
    Check(localResult == 0 || localResult == -1);
    std::memset(stamp, '#', sizeof stamp);
    const int written = Time_tToLocalTimeStamp(local, stamp, 1);
    Check(written == 19 || written == 0);
    Check(stamp[20] == '#');
}

void CheckParsers(const std::string& text) {
    std::tm tm;
    std::memset(&tm, 0x5A, sizeof tm);
    if (DateToTmStruct(text.c_str(), &tm) == 0) {
        Check(tm.tm_year >= 70 && tm.tm_year <= 1100 && tm.tm_mon >= 0 && tm.tm_mon <= 11 &&
              tm.tm_mday >= 1 && tm.tm_mday <= 31);
    }
    if (TimeToTmStruct(text.c_str(), &tm) == 0) {
        Check(tm.tm_hour >= 0 && tm.tm_hour <= 23 && tm.tm_min >= 0 && tm.tm_min <= 59 &&
              tm.tm_sec >= 0 && tm.tm_sec <= 59);
    }
}

void CheckCms(const std::string& text) {
    char date[10], time[10], stamp[21];
    std::memset(date, '#', sizeof date);
    std::memset(time, '#', sizeof time);
    TimestampToCmsDateTime(date, time, text.c_str());
    Check(date[8] == '\0' && date[9] == '#' && time[8] == '\0' && time[9] == '#');

    const size_t half = text.size() / 2;
    const std::string first = text.substr(0, half), second = text.substr(half);
    std::memset(stamp, '#', sizeof stamp);
    cmsDateTimeToTimestamp(first.c_str(), second.c_str(), stamp);
    Check(stamp[19] == '\0' && stamp[20] == '#');
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string terminated = text.substr(0, text.find('\0'));
    CheckParsers(terminated);
    CheckStampRoundTrip(terminated);
    CheckCms(terminated);
    return 0;
}
