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
std::mt19937_64 random(1234567);

struct Moment {
    int year, month, day, hour, minute, second;

    std::string Date(char sep = '-') const {
        char text[32];
        std::snprintf(text, sizeof text, "%04d%c%02d%c%02d", year, sep, month, sep, day);
        return text;
    }
    std::string Time(char sep = ':') const {
        char text[32];
        std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", hour, sep, minute, sep, second);
        return text;
    }
    std::string Fields() const { return Date(' ') + " " + Time(' '); }
};

// A valid moment in 1971-3000 outside the reserved year 2038; one in ten near
// the small hours of a March or October Sunday, where zone offsets change.
Moment RandomMoment(int index = 1) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    Moment m{};
    do m.year = 1971 + static_cast<int>(random() % 1030);
    while (m.year == 2038);
    m.month = 1 + static_cast<int>(random() % 12);
    const bool leap = (m.year % 4 == 0 && m.year % 100 != 0) || m.year % 400 == 0;
    m.day = 1 + static_cast<int>(random() % (kDays[m.month - 1] + (m.month == 2 && leap)));
    m.hour = static_cast<int>(random() % 24);
    m.minute = static_cast<int>(random() % 60);
    m.second = static_cast<int>(random() % 60);
    if (index % 10 == 0) {
        m.month = index % 20 == 0 ? 3 : 10;
        m.day = 8 + static_cast<int>(random() % 24);
        m.hour = static_cast<int>(random() % 4);
    }
    return m;
}

long Timegm(const Moment& m) {
    std::tm tm{};
    tm.tm_year = m.year - 1900;
    tm.tm_mon = m.month - 1;
    tm.tm_mday = m.day;
    tm.tm_hour = m.hour;
    tm.tm_min = m.minute;
    tm.tm_sec = m.second;
    return static_cast<long>(timegm(&tm));
}

void ExpectMatchesGmtime(unsigned long seconds) {
    DateFields d;
    SecondsToDate(&d, seconds);
    const time_t value = static_cast<time_t>(seconds);
    std::tm tm{};
    ASSERT_NE(gmtime_r(&value, &tm), nullptr);
    ASSERT_EQ(std::vector<int>({d.year, d.month, d.day, d.hour, d.minute, d.second}),
              std::vector<int>(
                  {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}))
        << seconds;
}

TEST(SecondsToDate, AgreesWithGmtimeUpTo2106AndBeyond) {
    // A stride prime to the day length visits every time of day; every day
    // boundary and the ends of the unsigned 32-bit range are checked exactly.
    for (unsigned long s = 0; s < 0xFFFFFFFFul - 7919; s += 7919) ExpectMatchesGmtime(s);
    for (unsigned long day = 1; day * 86400 <= 0xFFFFFFFFul; ++day) {
        ExpectMatchesGmtime(day * 86400);
        ExpectMatchesGmtime(day * 86400 - 1);
    }
    for (unsigned long s : {0ul, 94651200ul, 0x7FFFFFFFul, 0x80000000ul, 0xFFFFFFFFul}) {
        ExpectMatchesGmtime(s);
    }
    for (int i = 0; i < 20000; ++i) ExpectMatchesGmtime(random() % 253402300800ul);
    DateFields d;
    SecondsToDate(&d, ~0ul);  // saturates at the last second of year 2^31-1
    EXPECT_EQ(std::vector<int>({d.year, d.month, d.day, d.hour, d.minute, d.second}),
              std::vector<int>({2147483647, 12, 31, 23, 59, 59}));
}

TEST(DateTimeParsing, DateSpellingsAndRejections) {
    for (const char* text : {"2001-02-03", "2001/02/03", "02/03/2001", "2-3-2001", "2001-2-3"}) {
        std::tm tm;
        std::memset(&tm, 0x55, sizeof tm);
        ASSERT_EQ(DateToTmStruct(text, &tm), 0) << text;
        EXPECT_EQ(std::vector<int>({tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_isdst}),
                  std::vector<int>({101, 1, 3, 0, 0}))
            << text;
    }
    std::tm tm;
    for (const char* text : {"2001-02-31", "1970-1-1", "3000/12/31"}) {
        EXPECT_EQ(DateToTmStruct(text, &tm), 0) << text;  // month length not checked
    }
    for (const char* text :
         {"1-2-3", "2001-02-03-04", "", "20010203", "2001-0203", "1969-12-31", "3001-01-01",
          "2001-13-01", "2001-00-10", "2001-01-00", "2001-01-32", "13/01/2001"}) {
        EXPECT_EQ(DateToTmStruct(text, &tm), -1) << text;
    }
    EXPECT_EQ(DateToTmStruct(nullptr, &tm), -1);
    EXPECT_EQ(DateToTmStruct("2001-02-03", nullptr), -1);
}

TEST(DateTimeParsing, TimeSeparatorsRangesAndUntouchedFields) {
    std::tm tm{};
    tm.tm_mday = 17;
    for (const char* text : {"04.05.06", "04:05:06", "4:5:6", "04.5:06"}) {
        ASSERT_EQ(TimeToTmStruct(text, &tm), 0) << text;
        EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 40506) << text;
    }
    EXPECT_EQ(tm.tm_mday, 17);
    for (const char* text : {"24:00:00", "04:05", "12:60:00", "12:00:60", "123456789", "1:2",
                             "-1:00:00", "12-00-00"}) {
        EXPECT_EQ(TimeToTmStruct(text, &tm), -1) << text;
    }
    // Fields are stored as they are read: a bad minute leaves the new hour.
    EXPECT_EQ(TimeToTmStruct("07:99:00", &tm), -1);
    EXPECT_EQ(tm.tm_hour, 7);
    EXPECT_EQ(TimeToTmStruct(nullptr, &tm), -1);
}

TEST(DateTimeToSeconds, ReservedYearsNullsAndRejections) {
    ScopedTimeZone zone("Europe/Berlin");
    for (int utc : {0, 1}) {
        long s = -5;
        EXPECT_EQ(DateTimeToSeconds("1970-06-01", "12:34:56", &s, utc), 0);
        EXPECT_EQ(s, 0);
        EXPECT_EQ(DateTimeToSeconds("2038/12/31", "23:59:59", &s, utc), 0);
        EXPECT_EQ(s, 2147483647L);
        EXPECT_EQ(DateTimeToSeconds("01/01/2038", "00:00:00", &s, utc), 0);
        EXPECT_EQ(s, 2147483647L);
        s = 42;
        EXPECT_EQ(DateTimeToSeconds(nullptr, "00:00:00", &s, utc), -1);
        EXPECT_EQ(DateTimeToSeconds("2001-01-01", nullptr, &s, utc), -1);
        EXPECT_EQ(DateTimeToSeconds("2001-01-01", "00:00:00", nullptr, utc), -1);
        EXPECT_EQ(DateTimeToSeconds("2001-01-41", "00:00:00", &s, utc), -1);
        EXPECT_EQ(DateTimeToSeconds("2001-01-01", "00:00", &s, utc), -1);
        EXPECT_EQ(s, 42);
    }
    long s = 0;
    EXPECT_EQ(DateTimeToSeconds("2039-01-01", "00:00:00", &s, 1), 0);  // past 2038: 64-bit
    EXPECT_EQ(s, 2177452800L);
    EXPECT_EQ(DateTimeToSeconds("2001-02-31", "10:00:00", &s, 1), 0);  // rolls over
    EXPECT_EQ(s, Timegm(Moment{2001, 3, 3, 10, 0, 0}));
}

TEST(DateTimeToSeconds, UtcAgreesWithTimegmInEveryZone) {
    for (const char* name : kZones) {
        ScopedTimeZone zone(name);
        for (int i = 0; i < 3000; ++i) {
            const Moment m = RandomMoment(i);
            long s = -1;
            ASSERT_EQ(DateTimeToSeconds(m.Date(i % 2 ? '-' : '/').c_str(),
                                        m.Time(i % 3 ? ':' : '.').c_str(), &s, 1),
                      0);
            ASSERT_EQ(s, Timegm(m)) << name << " " << m.Fields();
        }
    }
}

// Python's zoneinfo as the oracle for local times. A time that occurs twice
// (or never) in a zone may take either reading (fold 0 or 1).
TEST(DateTimeToSeconds, LocalAgreesWithPythonZoneinfo) {
    const std::string program =
        "import sys, datetime, zoneinfo\n"
        "for line in sys.stdin:\n"
        "    zone, *f = line.split()\n"
        "    t = [datetime.datetime(*map(int, f), tzinfo=zoneinfo.ZoneInfo(zone), fold=k)\n"
        "         .timestamp() for k in (0, 1)]\n"
        "    print(int(t[0]), int(t[1]))\n";
    std::string input;
    std::vector<std::pair<std::string, Moment>> cases;
    for (const char* name : kZones) {
        for (int i = 0; i < 1500; ++i) {
            cases.emplace_back(name, RandomMoment(i));
            input += std::string(name) + " " + cases.back().second.Fields() + "\n";
        }
    }
    const std::vector<std::string> expected = RunPython(program, input);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        ScopedTimeZone zone(cases[i].first.c_str());
        const Moment& m = cases[i].second;
        long s = -1, fold0 = 0, fold1 = 0;
        ASSERT_EQ(DateTimeToSeconds(m.Date().c_str(), m.Time().c_str(), &s, 0), 0);
        ASSERT_EQ(std::sscanf(expected[i].c_str(), "%ld %ld", &fold0, &fold1), 2);
        EXPECT_TRUE(s == fold0 || s == fold1)
            << cases[i].first << " " << m.Fields() << ": " << s << " vs " << expected[i];
    }
}

TEST(StampReaders, StylesFractionBlanksAndRejections) {
    ScopedTimeZone zone("America/New_York");
    const long reference = 981173106L;  // 2001-02-03 04:05:06 UTC
    for (const char* stamp : {"2001-02-03 04:05:06", "2001-02-03-04.05.06.123456",
                              "  \t2001-02-03 \t 04:05:06 \r\n", "2001-02-03 \x01\xff 04:05:06",
                              "02/03/2001 04:05:06", "2001-02-03 04:05:06.1234567890123"}) {
        long s = -1;
        EXPECT_EQ(TimeStampToTime_t(stamp, &s), 0) << stamp;
        EXPECT_EQ(s, reference) << stamp;
        EXPECT_EQ(LocalTimeStampToTime_t(stamp, &s), 0) << stamp;
        EXPECT_EQ(s, reference + 5 * 3600) << stamp;  // EST is UTC-5
    }
    // Not shaped like a stamp: 0 with the output 0. The last one has its time
    // beyond the 29 characters that are read.
    for (const char* stamp :
         {"", "2001-02-03 04:0", "2001-02-03T04:05:06", "2001-02-03 1:2",
          "2001-02-03 \x80\x80\x80\x80\x80\x80", "2001-02-03                 04:05:06"}) {
        long s = -1;
        EXPECT_EQ(TimeStampToTime_t(stamp, &s), 0) << stamp;
        EXPECT_EQ(s, 0) << stamp;
    }
    // A bad date or time: -1 with the output 0.
    for (const char* stamp : {"2001-13-03 04:05:06", "2001-02-03-25.05.06", "1969-02-03 04:05:06",
                              "2001-02-03 04:05:61", "abcdefghij-04.05.06"}) {
        long s = -1;
        EXPECT_EQ(LocalTimeStampToTime_t(stamp, &s), -1) << stamp;
        EXPECT_EQ(s, 0) << stamp;
    }
    long s = -1;
    EXPECT_EQ(TimeStampToTime_t(nullptr, &s), -1);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(TimeStampToTime_t("2001-02-03", nullptr), -1);
}

TEST(StampWriters, StylesEpochAndUnrenderableYears) {
    ScopedTimeZone zone("America/New_York");
    char stamp[24];
    std::memset(stamp, '#', sizeof stamp);
    EXPECT_EQ(Time_tToTimeStamp(981173106L, stamp, 1), 19);
    EXPECT_EQ(std::string(stamp, 21), std::string("2001-02-03-04.05.06\0#", 21));
    EXPECT_EQ(Time_tToLocalTimeStamp(0, stamp, 0), 19);
    EXPECT_STREQ(stamp, "1970-01-01 00:00:00");
    EXPECT_EQ(Time_tToLocalTimeStamp(1, stamp, 0), 19);
    EXPECT_STREQ(stamp, "1969-12-31 19:00:01");
    EXPECT_EQ(Time_tToTimeStamp(253402300799L, stamp, 0), 19);
    EXPECT_STREQ(stamp, "9999-12-31 23:59:59");
    EXPECT_EQ(Time_tToTimeStamp(253402300800L, stamp, 0), 0);  // year 10000
    EXPECT_EQ(stamp[0], '\0');
    EXPECT_EQ(Time_tToTimeStamp(-62167219201L, stamp, 0), 0);  // year -1
    EXPECT_EQ(Time_tToLocalTimeStamp(0x7FFFFFFFFFFFFFFFL, stamp, 1), 0);
    EXPECT_EQ(stamp[20], '#');
}

TEST(StampWriters, AgreeWithPythonAndReadBack) {
    const std::string program =
        "import sys, datetime, zoneinfo\n"
        "for line in sys.stdin:\n"
        "    zone, t = line.split()\n"
        "    u = datetime.datetime.fromtimestamp(int(t), datetime.timezone.utc)\n"
        "    l = datetime.datetime.fromtimestamp(int(t), zoneinfo.ZoneInfo(zone))\n"
        "    print(u.strftime('%Y-%m-%d %H:%M:%S|') + l.strftime('%Y-%m-%d-%H.%M.%S'))\n";
    std::vector<std::pair<const char*, long>> cases;
    std::string input;
    for (const char* name : kZones) {
        for (int i = 0; i < 1500; ++i) {
            cases.emplace_back(name, 1 + static_cast<long>(random() % 32503680000L));
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
        long back = -1;
        ASSERT_EQ(TimeStampToTime_t(utc, &back), 0);
        const std::string year(utc, 4);
        EXPECT_EQ(back, year == "1970" ? 0 : year == "2038" ? 2147483647L : t) << utc;
    }
}

TEST(CmsDateTime, BothDirectionsAndShortTexts) {
    char stamp[21], date[10], time[10];
    std::memset(stamp, '#', sizeof stamp);
    cmsDateTimeToTimestamp("20010203", "040506", stamp);
    EXPECT_EQ(std::string(stamp, 21), std::string("2001-02-03-04.05.00\0#", 21));
    cmsDateTimeToTimestamp("2001", "4", stamp);  // read up to the NUL only
    EXPECT_EQ(std::string(stamp, 21), std::string("2001-00-00-40.00.00\0#", 21));

    std::memset(date, '#', sizeof date);
    std::memset(time, '#', sizeof time);
    TimestampToCmsDateTime(date, time, "2001-02-03 04:05:06");
    EXPECT_EQ(std::string(date, 10), std::string("20010203\0#", 10));
    EXPECT_EQ(std::string(time, 10), std::string("040506\0\0\0#", 10));
    TimestampToCmsDateTime(date, time, "1999-12-31-23.59.58.5");
    EXPECT_EQ(std::string(date) + std::string(time), "19991231235958");
    TimestampToCmsDateTime(date, time, "2001-02");
    EXPECT_EQ(std::string(date, 9), std::string("200102\0\0\0", 9));
    EXPECT_EQ(std::string(time, 9), std::string(9, '\0'));
}

TEST(DateTimeThreads, ConcurrentConversionsMatchSequentialResults) {
    ScopedTimeZone zone("Europe/Berlin");
    std::vector<long> inputs;
    for (int i = 0; i < 2000; ++i) inputs.push_back(1 + static_cast<long>(random() % 4102444800L));
    auto convert = [&](std::vector<std::string>* out) {
        for (long t : inputs) {
            char local[20], utc[20];
            long back = 0;
            Time_tToLocalTimeStamp(t, local, 0);
            Time_tToTimeStamp(t, utc, 1);
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
