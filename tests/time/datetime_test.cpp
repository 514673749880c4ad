#include "krtools/datetime.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "oracle.h"
#include "testutil.h"

namespace {

using timetest::RunPython;
using timetest::ScopedTimeZone;

const char* const kZones[] = {"UTC", "Europe/Berlin", "America/New_York"};

std::mt19937& Random() {
    static std::mt19937 engine(1234567);
    return engine;
}

struct Moment {
    int year, month, day, hour, minute, second;
    std::string Date(char separator) const {
        char text[32];
        std::snprintf(text, sizeof text, "%04d%c%02d%c%02d", year, separator, month, separator,
                      day);
        return text;
    }
    std::string Time(char separator) const {
        char text[32];
        std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", hour, separator, minute, separator,
                      second);
        return text;
    }
};

int DaysIn(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// A valid moment in 1971-3000 outside the reserved year 2038.
Moment RandomMoment() {
    std::uniform_int_distribution<int> year(1971, 3000), month(1, 12), hour(0, 23), sixty(0, 59);
    Moment m{};
    do {
        m.year = year(Random());
    } while (m.year == 2038);
    m.month = month(Random());
    m.day = std::uniform_int_distribution<int>(1, DaysIn(m.year, m.month))(Random());
    m.hour = hour(Random());
    m.minute = sixty(Random());
    m.second = sixty(Random());
    return m;
}

long TimegmOf(const Moment& m) {
    std::tm tm{};
    tm.tm_year = m.year - 1900;
    tm.tm_mon = m.month - 1;
    tm.tm_mday = m.day;
    tm.tm_hour = m.hour;
    tm.tm_min = m.minute;
    tm.tm_sec = m.second;
    return static_cast<long>(timegm(&tm));
}

// --------------------------------------------------------------- SecondsToDate

void ExpectMatchesGmtime(unsigned long seconds) {
    DateFields date;
    SecondsToDate(&date, seconds);
    const time_t value = static_cast<time_t>(seconds);
    std::tm tm{};
    ASSERT_NE(gmtime_r(&value, &tm), nullptr);
    ASSERT_EQ(date.year, tm.tm_year + 1900) << seconds;
    ASSERT_EQ(date.month, tm.tm_mon + 1) << seconds;
    ASSERT_EQ(date.day, tm.tm_mday) << seconds;
    ASSERT_EQ(date.hour, tm.tm_hour) << seconds;
    ASSERT_EQ(date.minute, tm.tm_min) << seconds;
    ASSERT_EQ(date.second, tm.tm_sec) << seconds;
}

TEST(SecondsToDate, KnownDates) {
    DateFields d;
    SecondsToDate(&d, 0);
    EXPECT_EQ(std::vector<int>({d.month, d.day, d.year, d.hour, d.minute, d.second}),
              std::vector<int>({1, 1, 1970, 0, 0, 0}));
    SecondsToDate(&d, 94651200);
    EXPECT_EQ(std::vector<int>({d.month, d.day, d.year, d.hour, d.minute, d.second}),
              std::vector<int>({12, 31, 1972, 12, 0, 0}));
    SecondsToDate(&d, 94694400);
    EXPECT_EQ(std::vector<int>({d.month, d.day, d.year}), std::vector<int>({1, 1, 1973}));
}

TEST(SecondsToDate, AgreesWithGmtimeAcrossTheUnsigned32BitRange) {
    // A stride that is prime to the day length visits every time of day and
    // every day; day boundaries and the ends of the range are checked exactly.
    for (unsigned long s = 0; s < 0xFFFFFFFFul - 7919; s += 7919) ExpectMatchesGmtime(s);
    for (unsigned long day = 0; day * 86400 <= 0xFFFFFFFFul; day += 1) {
        ExpectMatchesGmtime(day * 86400);
        if (day > 0) ExpectMatchesGmtime(day * 86400 - 1);
    }
    for (unsigned long s : {0x7FFFFFFFul, 0x80000000ul, 0xFFFFFFFFul}) ExpectMatchesGmtime(s);
}

TEST(SecondsToDate, AgreesWithGmtimeBeyond2106) {
    std::uniform_int_distribution<unsigned long> seconds(0x100000000ul, 253402300799ul);
    for (int i = 0; i < 20000; ++i) ExpectMatchesGmtime(seconds(Random()));
    ExpectMatchesGmtime(253402300799ul);  // 9999-12-31 23:59:59
}

TEST(SecondsToDate, HugeValuesSaturate) {
    DateFields d;
    SecondsToDate(&d, ~0ul);
    EXPECT_EQ(d.year, 2147483647);
    EXPECT_EQ(std::vector<int>({d.month, d.day, d.hour, d.minute, d.second}),
              std::vector<int>({12, 31, 23, 59, 59}));
}

// --------------------------------------------------------- date/time parsing

TEST(DateToTmStruct, ThreeSpellingsOfOneDate) {
    for (const char* text : {"2001-02-03", "2001/02/03", "02/03/2001", "2-3-2001", "2001-2-3"}) {
        std::tm tm;
        std::memset(&tm, 0x55, sizeof tm);
        ASSERT_EQ(DateToTmStruct(text, &tm), 0) << text;
        EXPECT_EQ(tm.tm_year, 101) << text;
        EXPECT_EQ(tm.tm_mon, 1) << text;
        EXPECT_EQ(tm.tm_mday, 3) << text;
        EXPECT_EQ(tm.tm_hour, 0) << text;  // cleared
        EXPECT_EQ(tm.tm_isdst, 0) << text;
    }
}

TEST(DateToTmStruct, Rejections) {
    std::tm tm;
    for (const char* text :
         {"1-2-3", "2001-02-03-04", "", "20010203", "2001-0203", "1969-12-31", "3001-01-01",
          "2001-13-01", "2001-00-10", "2001-01-00", "2001-01-32", "13/01/2001"}) {
        EXPECT_EQ(DateToTmStruct(text, &tm), -1) << text;
    }
    EXPECT_EQ(DateToTmStruct(nullptr, &tm), -1);
    EXPECT_EQ(DateToTmStruct("2001-02-03", nullptr), -1);
    // Only the range of the day is checked, not the month's length.
    EXPECT_EQ(DateToTmStruct("2001-02-31", &tm), 0);
    EXPECT_EQ(DateToTmStruct("1970-1-1", &tm), 0);
    EXPECT_EQ(DateToTmStruct("3000/12/31", &tm), 0);
}

TEST(TimeToTmStruct, SeparatorsRangesAndUntouchedFields) {
    std::tm tm{};
    tm.tm_mday = 17;
    ASSERT_EQ(TimeToTmStruct("04.05.06", &tm), 0);
    EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 40506);
    ASSERT_EQ(TimeToTmStruct("23:59:59", &tm), 0);
    EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 235959);
    ASSERT_EQ(TimeToTmStruct("1:2:3", &tm), 0);
    EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 10203);
    EXPECT_EQ(tm.tm_mday, 17);

    for (const char* text : {"24:00:00", "04:05", "12:60:00", "12:00:60", "123456789", "1:2",
                             "-1:00:00", "12-00-00"}) {
        EXPECT_EQ(TimeToTmStruct(text, &tm), -1) << text;
    }
    // Fields are stored as they are read: a bad minute leaves the new hour.
    tm.tm_hour = 9;
    EXPECT_EQ(TimeToTmStruct("07:99:00", &tm), -1);
    EXPECT_EQ(tm.tm_hour, 7);
    EXPECT_EQ(TimeToTmStruct(nullptr, &tm), -1);
}

// ------------------------------------------------------------ to seconds

TEST(DateTimeToSeconds, ReservedYears) {
    ScopedTimeZone zone("Europe/Berlin");
    for (int utc : {0, 1}) {
        long seconds = -5;
        EXPECT_EQ(DateTimeToSeconds("1970-06-01", "12:34:56", &seconds, utc), 0);
        EXPECT_EQ(seconds, 0);
        EXPECT_EQ(DateTimeToSeconds("2038/12/31", "23:59:59", &seconds, utc), 0);
        EXPECT_EQ(seconds, 2147483647L);
        EXPECT_EQ(DateTimeToSeconds("01/01/2038", "00:00:00", &seconds, utc), 0);
        EXPECT_EQ(seconds, 2147483647L);
        // 2037 and 2039 convert normally.
        EXPECT_EQ(DateTimeToSeconds("2039-01-01", "00:00:00", &seconds, 1), 0);
        EXPECT_EQ(seconds, 2177452800L);
    }
}

TEST(DateTimeToSeconds, NullsAndBadTextsLeaveOutputAlone) {
    long seconds = 42;
    EXPECT_EQ(DateTimeToSeconds(nullptr, "00:00:00", &seconds, 1), -1);
    EXPECT_EQ(DateTimeToSeconds("2001-01-01", nullptr, &seconds, 1), -1);
    EXPECT_EQ(DateTimeToSeconds("2001-01-01", "00:00:00", nullptr, 1), -1);
    EXPECT_EQ(DateTimeToSeconds("2001-01-41", "00:00:00", &seconds, 1), -1);
    EXPECT_EQ(DateTimeToSeconds("2001-01-01", "00:00", &seconds, 0), -1);
    EXPECT_EQ(seconds, 42);
}

TEST(DateTimeToSeconds, UtcAgreesWithTimegmInEveryZone) {
    for (const char* name : kZones) {
        ScopedTimeZone zone(name);
        for (int i = 0; i < 3000; ++i) {
            const Moment m = RandomMoment();
            long seconds = -1;
            ASSERT_EQ(DateTimeToSeconds(m.Date(i % 2 ? '-' : '/').c_str(),
                                        m.Time(i % 3 ? ':' : '.').c_str(), &seconds, 1),
                      0);
            ASSERT_EQ(seconds, TimegmOf(m)) << name << " " << m.Date('-') << " " << m.Time(':');
        }
    }
}

TEST(DateTimeToSeconds, DayBeyondMonthEndRollsOver) {
    long seconds = 0;
    ASSERT_EQ(DateTimeToSeconds("2001-02-31", "10:00:00", &seconds, 1), 0);
    EXPECT_EQ(seconds, TimegmOf(Moment{2001, 3, 3, 10, 0, 0}));
}

// Python's zoneinfo as the oracle for local times. For a time that occurs
// twice (or never) in a zone, both readings (fold 0 and 1) are accepted.
TEST(DateTimeToSeconds, LocalAgreesWithPythonZoneinfo) {
    const std::string program =
        "import sys, datetime, zoneinfo\n"
        "for line in sys.stdin:\n"
        "    zone, y, mo, d, h, mi, s = line.split()\n"
        "    z = zoneinfo.ZoneInfo(zone)\n"
        "    t = [datetime.datetime(int(y), int(mo), int(d), int(h), int(mi), int(s),\n"
        "                           tzinfo=z, fold=f).timestamp() for f in (0, 1)]\n"
        "    print(int(t[0]), int(t[1]))\n";
    std::string input;
    std::vector<std::pair<std::string, Moment>> cases;
    for (const char* name : kZones) {
        for (int i = 0; i < 1500; ++i) {
            Moment m = RandomMoment();
            if (i % 10 == 0) {
                // Around the small hours of the last Sundays of March and
                // October and the second Sunday of March, where offsets change.
                m.month = i % 20 == 0 ? 3 : 10;
                m.day = std::uniform_int_distribution<int>(8, 31)(Random());
                m.hour = std::uniform_int_distribution<int>(0, 3)(Random());
            }
            cases.emplace_back(name, m);
            input += std::string(name) + " " + std::to_string(m.year) + " " +
                     std::to_string(m.month) + " " + std::to_string(m.day) + " " +
                     std::to_string(m.hour) + " " + std::to_string(m.minute) + " " +
                     std::to_string(m.second) + "\n";
        }
    }
    const std::vector<std::string> expected = RunPython(program, input);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        ScopedTimeZone zone(cases[i].first.c_str());
        const Moment& m = cases[i].second;
        long seconds = -1;
        ASSERT_EQ(DateTimeToSeconds(m.Date('-').c_str(), m.Time(':').c_str(), &seconds, 0), 0);
        long fold0 = 0, fold1 = 0;
        ASSERT_EQ(std::sscanf(expected[i].c_str(), "%ld %ld", &fold0, &fold1), 2);
        EXPECT_TRUE(seconds == fold0 || seconds == fold1)
            << cases[i].first << " " << m.Date('-') << " " << m.Time(':') << ": " << seconds
            << " vs " << expected[i];
    }
}

// ------------------------------------------------------------ stamp readers

TEST(StampReaders, BothStylesFractionAndBlanks) {
    ScopedTimeZone zone("America/New_York");
    long reference = 0;
    ASSERT_EQ(DateTimeToSeconds("2001-02-03", "04:05:06", &reference, 1), 0);
    EXPECT_EQ(reference, 981173106L);
    for (const char* stamp :
         {"2001-02-03 04:05:06", "2001-02-03-04.05.06", "2001-02-03-04.05.06.123456",
          "  \t2001-02-03 \t 04:05:06 \r\n", "2001-02-03 \x01\xff 04:05:06",
          "2001-02-03 04:05:06.999", "02/03/2001 04:05:06"}) {
        long seconds = -1;
        EXPECT_EQ(TimeStampToTime_t(stamp, &seconds), 0) << stamp;
        EXPECT_EQ(seconds, reference) << stamp;
        EXPECT_EQ(LocalTimeStampToTime_t(stamp, &seconds), 0) << stamp;
        EXPECT_EQ(seconds, reference + 5 * 3600) << stamp;  // EST is UTC-5
    }
}

TEST(StampReaders, MalformedTextsGiveZero) {
    for (const char* stamp : {"", "2001-02-03 04:0", "2001-02-03T04:05:06", "2001-02-03 1:2",
                              "                    2001", "2001-02-03 \x80\x80\x80\x80\x80\x80"}) {
        long seconds = -1;
        EXPECT_EQ(TimeStampToTime_t(stamp, &seconds), 0) << stamp;
        EXPECT_EQ(seconds, 0) << stamp;
    }
    long seconds = -1;
    EXPECT_EQ(TimeStampToTime_t(nullptr, &seconds), -1);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(TimeStampToTime_t("2001-02-03", nullptr), -1);
}

TEST(StampReaders, BadDateOrTimeGivesMinusOne) {
    for (const char* stamp : {"2001-13-03 04:05:06", "2001-02-03-25.05.06", "1969-02-03 04:05:06",
                              "2001-02-03 04:05:61", "abcdefghij-04.05.06"}) {
        long seconds = -1;
        EXPECT_EQ(LocalTimeStampToTime_t(stamp, &seconds), -1) << stamp;
        EXPECT_EQ(seconds, 0) << stamp;
    }
}

TEST(StampReaders, OnlyTheFirst29CharactersCount) {
    long seconds = 0;
    // 29 characters end inside the fraction: accepted.
    EXPECT_EQ(TimeStampToTime_t("2001-02-03 04:05:06.1234567890123", &seconds), 0);
    EXPECT_EQ(seconds, 981173106L);
    // Padding pushes the time past position 29: too short a time is left.
    EXPECT_EQ(TimeStampToTime_t("2001-02-03                 04:05:06", &seconds), 0);
    EXPECT_EQ(seconds, 0);
}

// ------------------------------------------------------------ stamp writers

TEST(StampWriters, UtcStylesAndEpoch) {
    char stamp[24];
    std::memset(stamp, '#', sizeof stamp);
    EXPECT_EQ(Time_tToTimeStamp(981173106L, stamp, 1), 19);
    EXPECT_EQ(std::string(stamp, 21), std::string("2001-02-03-04.05.06\0#", 21));
    EXPECT_EQ(Time_tToTimeStamp(981173106L, stamp, 0), 19);
    EXPECT_STREQ(stamp, "2001-02-03 04:05:06");

    ScopedTimeZone zone("America/New_York");
    EXPECT_EQ(Time_tToLocalTimeStamp(0, stamp, 0), 19);
    EXPECT_STREQ(stamp, "1970-01-01 00:00:00");
    EXPECT_EQ(Time_tToLocalTimeStamp(1, stamp, 0), 19);
    EXPECT_STREQ(stamp, "1969-12-31 19:00:01");
}

TEST(StampWriters, UnrenderableYearsWriteNothingBeyondTheBuffer) {
    char stamp[24];
    std::memset(stamp, '#', sizeof stamp);
    EXPECT_EQ(Time_tToTimeStamp(253402300800L, stamp, 0), 0);  // year 10000
    EXPECT_EQ(stamp[0], '\0');
    EXPECT_EQ(Time_tToTimeStamp(-62167219201L, stamp, 0), 0);  // year -1
    EXPECT_EQ(Time_tToLocalTimeStamp(0x7FFFFFFFFFFFFFFFL, stamp, 1), 0);
    EXPECT_EQ(stamp[1], '#');
    EXPECT_EQ(Time_tToTimeStamp(253402300799L, stamp, 0), 19);
    EXPECT_STREQ(stamp, "9999-12-31 23:59:59");
}

TEST(StampWriters, AgreeWithPythonAndRoundTrip) {
    const std::string program =
        "import sys, datetime, zoneinfo\n"
        "for line in sys.stdin:\n"
        "    zone, t = line.split()\n"
        "    z = zoneinfo.ZoneInfo(zone)\n"
        "    u = datetime.datetime.fromtimestamp(int(t), datetime.timezone.utc)\n"
        "    l = datetime.datetime.fromtimestamp(int(t), z)\n"
        "    print(u.strftime('%Y-%m-%d %H:%M:%S') + '|' + l.strftime('%Y-%m-%d-%H.%M.%S'))\n";
    std::uniform_int_distribution<long> seconds(1, 32503680000L);  // up to 3000
    std::vector<std::pair<const char*, long>> cases;
    std::string input;
    for (const char* name : kZones) {
        for (int i = 0; i < 1500; ++i) {
            cases.emplace_back(name, seconds(Random()));
            input += std::string(name) + " " + std::to_string(cases.back().second) + "\n";
        }
    }
    const std::vector<std::string> expected = RunPython(program, input);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        ScopedTimeZone zone(cases[i].first);
        const long t = cases[i].second;
        char utc[20], local[20];
        ASSERT_EQ(Time_tToTimeStamp(t, utc, 0), 19);
        ASSERT_EQ(Time_tToLocalTimeStamp(t, local, 1), 19);
        ASSERT_EQ(std::string(utc) + "|" + local, expected[i]) << cases[i].first << " " << t;

        long expectedBack = t;
        if (std::strncmp(utc, "1970", 4) == 0) expectedBack = 0;
        if (std::strncmp(utc, "2038", 4) == 0) expectedBack = 2147483647L;
        long back = -1;
        ASSERT_EQ(TimeStampToTime_t(utc, &back), 0);
        EXPECT_EQ(back, expectedBack) << utc;
    }
}

// ------------------------------------------------------------------- CMS

TEST(CmsDateTime, BothDirections) {
    char stamp[24];
    std::memset(stamp, '#', sizeof stamp);
    cmsDateTimeToTimestamp("20010203", "040506", stamp);
    EXPECT_EQ(std::string(stamp, 21), std::string("2001-02-03-04.05.00\0#", 21));

    char date[10], time[10];
    std::memset(date, '#', sizeof date);
    std::memset(time, '#', sizeof time);
    TimestampToCmsDateTime(date, time, "2001-02-03 04:05:06");
    EXPECT_EQ(std::string(date, 10), std::string("20010203\0#", 10));
    EXPECT_EQ(std::string(time, 10), std::string("040506\0\0\0#", 10));
    TimestampToCmsDateTime(date, time, "1999-12-31-23.59.58.5");
    EXPECT_STREQ(date, "19991231");
    EXPECT_STREQ(time, "235958");
}

TEST(CmsDateTime, ShortTextsAreReadOnlyToTheirEnd) {
    char stamp[21];
    std::memset(stamp, '#', sizeof stamp);
    cmsDateTimeToTimestamp("2001", "4", stamp);
    EXPECT_EQ(std::string(stamp, 21), std::string("2001-00-00-40.00.00\0#", 21));

    char date[10], time[10];
    TimestampToCmsDateTime(date, time, "2001-02");
    EXPECT_EQ(std::string(date, 9), std::string("200102\0\0\0", 9));
    EXPECT_EQ(std::string(time, 9), std::string(9, '\0'));
}

// ---------------------------------------------------------------- threads

TEST(DateTimeThreads, ConcurrentConversionsMatchSequentialResults) {
    ScopedTimeZone zone("Europe/Berlin");
    std::vector<long> inputs;
    std::uniform_int_distribution<long> seconds(1, 4102444800L);
    for (int i = 0; i < 2000; ++i) inputs.push_back(seconds(Random()));
    auto convert = [&](std::vector<std::string>* out) {
        for (long t : inputs) {
            char local[20], utc[20];
            Time_tToLocalTimeStamp(t, local, 0);
            Time_tToTimeStamp(t, utc, 1);
            long back = 0;
            LocalTimeStampToTime_t(local, &back);
            out->push_back(std::string(local) + utc + std::to_string(back));
        }
    };
    std::vector<std::string> sequential;
    convert(&sequential);
    std::vector<std::vector<std::string>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results) threads.emplace_back(convert, &result);
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) EXPECT_EQ(result, sequential);
}

}  // namespace
