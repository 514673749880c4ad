// Date and time conversions against gmtime_r, timegm and Python's datetime and zoneinfo.
#include "krtools/datetime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

const char* const kZones[] = {"UTC", "Europe/Berlin", "America/New_York"};
std::mt19937_64 random(1234567);

void UseZone(const char* zone) { setenv("TZ", zone, 1), tzset(); }

// Lines printed by the Python |body| run on each line of |input| as |zone| and fields |f|.
std::vector<std::string> RunPython(const std::string& body, const std::string& input) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.File("input.txt"), input);
    const std::string program =
        "import sys, datetime, zoneinfo\nfor line in sys.stdin:\n"
        "    zone, *f = line.split()\n" +
        body;
    const auto result = testutil::Run("python3 -c " + testutil::ShellQuote(program) + " < " +
                                      testutil::ShellQuote(dir.File("input.txt")));
    EXPECT_EQ(result.status, 0);
    std::vector<std::string> lines;
    std::istringstream stream(result.output);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// A date and time in 1971-3000 outside the reserved year 2038; every tenth in
// the small hours of a March or October day, when zone offsets change.
std::tm RandomTm(int index) {
    std::tm tm{};
    do {
        const time_t t = 31536000 + static_cast<time_t>(random() % 32471251200);
        gmtime_r(&t, &tm);
    } while (tm.tm_year == 138);
    if (index % 10 == 0) {
        tm.tm_mon = index % 20 ? 9 : 2;
        tm.tm_mday = 8 + static_cast<int>(random() % 24);
        tm.tm_hour = static_cast<int>(random() % 4);
    }
    return tm;
}

std::string Text(const std::tm& tm, const char* format) {
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, format, &tm));
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
    // A stride prime to 86400 meets every time of day; day boundaries and range ends exactly.
    for (unsigned long s = 0; s < 0xFFFFFFFFul - 7919; s += 7919) ExpectMatchesGmtime(s);
    for (unsigned long day = 1; day * 86400 <= 0xFFFFFFFFul; ++day) {
        ExpectMatchesGmtime(day * 86400);
        ExpectMatchesGmtime(day * 86400 - 1);
    }
    for (unsigned long s : {0ul, 0x7FFFFFFFul, 0x80000000ul, 0xFFFFFFFFul}) ExpectMatchesGmtime(s);
    for (int i = 0; i < 20000; ++i) ExpectMatchesGmtime(random() % 253402300800ul);
    DateFields d;
    SecondsToDate(&d, ~0ul);
    EXPECT_EQ(d.year, 2147483647);  // saturates instead of overflowing
}

TEST(DateTimeParsing, SpellingsRangesAndRejections) {
    for (const char* text : {"2001-02-03", "2001/02/03", "02/03/2001", "2-3-2001", "2001-2-3"}) {
        std::tm tm;
        std::memset(&tm, 0x55, sizeof tm);
        ASSERT_EQ(DateToTmStruct(text, &tm), 0) << text;
        EXPECT_EQ(Text(tm, "%F %T") + std::to_string(tm.tm_isdst), "2001-02-03 00:00:000") << text;
    }
    std::tm tm{};
    for (const char* text : {"2001-02-31", "1970-1-1", "3000/12/31"}) {
        EXPECT_EQ(DateToTmStruct(text, &tm), 0) << text;  // month length not checked
    }
    for (const char* text :
         {"1-2-3", "2001-02-03-04", "", "20010203", "2001-0203", "1969-12-31", "3001-01-01",
          "2001-13-01", "2001-00-10", "2001-01-00", "2001-01-32", "13/01/2001"}) {
        EXPECT_EQ(DateToTmStruct(text, &tm), -1) << text;
    }
    tm.tm_mday = 17;
    for (const char* text : {"04.05.06", "04:05:06", "4:5:6", "04.5:06"}) {
        ASSERT_EQ(TimeToTmStruct(text, &tm), 0) << text;
        EXPECT_EQ(Text(tm, "%d %H:%M:%S"), "17 04:05:06") << text;  // the day is untouched
    }
    for (const char* text : {"24:00:00", "04:05", "12:60:00", "12:00:60", "123456789", "1:2",
                             "-1:00:00", "12-00-00", "07:99:00"}) {
        EXPECT_EQ(TimeToTmStruct(text, &tm), -1) << text;
    }
    EXPECT_EQ(tm.tm_hour, 7);  // fields are stored as read: a bad minute leaves the hour
    EXPECT_EQ(DateToTmStruct(nullptr, &tm) + DateToTmStruct("2001-02-03", nullptr), -2);
    EXPECT_EQ(TimeToTmStruct(nullptr, &tm), -1);
}

TEST(DateTimeToSeconds, ReservedYearsNullsAndRejections) {
    UseZone("Europe/Berlin");
    for (int utc : {0, 1}) {
        long s = -5;
        EXPECT_EQ(DateTimeToSeconds("1970-06-01", "12:34:56", &s, utc), 0);
        EXPECT_EQ(s, 0);
        for (const char* date : {"2038/12/31", "01/01/2038"}) {
            EXPECT_EQ(DateTimeToSeconds(date, "23:59:59", &s, utc), 0);
            EXPECT_EQ(s, 2147483647L);
        }
        s = 42;
        EXPECT_EQ(DateTimeToSeconds(nullptr, "00:00:00", &s, utc) +
                      DateTimeToSeconds("2001-01-01", nullptr, &s, utc) +
                      DateTimeToSeconds("2001-01-01", "00:00:00", nullptr, utc) +
                      DateTimeToSeconds("2001-01-41", "00:00:00", &s, utc) +
                      DateTimeToSeconds("2001-01-01", "00:00", &s, utc),
                  -5);
        EXPECT_EQ(s, 42);
    }
    long s = 0;
    EXPECT_EQ(DateTimeToSeconds("2001-02-31", "10:00:00", &s, 1), 0);  // rolls over to March 3
    EXPECT_EQ(s, 983613600L);
}

// UTC readings against timegm, local ones against Python's zoneinfo, where a
// time that occurs twice (or never) in a zone may take either reading (fold 0 or 1).
TEST(DateTimeToSeconds, UtcAgreesWithTimegmAndLocalWithPythonZoneinfo) {
    const std::string program =
        "    t = [datetime.datetime(*map(int, f), tzinfo=zoneinfo.ZoneInfo(zone), fold=k)\n"
        "         .timestamp() for k in (0, 1)]\n"
        "    print(int(t[0]), int(t[1]))\n";
    std::string input;
    std::vector<std::pair<const char*, std::tm>> cases;
    for (const char* zone : kZones) {
        for (int i = 0; i < 2000; ++i) {
            cases.emplace_back(zone, RandomTm(i));
            input += std::string(zone) + Text(cases.back().second, " %Y %m %d %H %M %S\n");
        }
    }
    const std::vector<std::string> expected = RunPython(program, input);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        auto& [zone, tm] = cases[i];
        UseZone(zone);
        const std::string date = Text(tm, i % 2 ? "%Y-%m-%d" : "%m/%d/%Y"),
                          time = Text(tm, i % 3 ? "%H:%M:%S" : "%H.%M.%S");
        long utc = -1, local = -1, fold0 = 0, fold1 = 0;
        ASSERT_EQ(DateTimeToSeconds(date.c_str(), time.c_str(), &utc, 1), 0);
        ASSERT_EQ(DateTimeToSeconds(date.c_str(), time.c_str(), &local, 0), 0);
        ASSERT_EQ(std::sscanf(expected[i].c_str(), "%ld %ld", &fold0, &fold1), 2);
        EXPECT_TRUE(local == fold0 || local == fold1)
            << zone << " " << date << " " << time << ": " << local << " vs " << expected[i];
        ASSERT_EQ(utc, timegm(&tm)) << zone << " " << date << " " << time;
    }
}

TEST(StampReaders, StylesFractionBlanksAndRejections) {
    UseZone("America/New_York");
    const long t = 981173106L;  // 2001-02-03 04:05:06 UTC, 23:05:06 the day before in EST
    for (const char* stamp : {"2001-02-03 04:05:06", "2001-02-03-04.05.06.123456",
                              "  \t2001-02-03 \t 04:05:06 \r\n", "2001-02-03 \x01\xff 04:05:06",
                              "02/03/2001 04:05:06", "2001-02-03 04:05:06.1234567890123"}) {
        long utc = -1, local = -1;
        EXPECT_EQ(TimeStampToTime_t(stamp, &utc) + LocalTimeStampToTime_t(stamp, &local), 0);
        EXPECT_EQ(std::vector<long>({utc, local}), std::vector<long>({t, t + 5 * 3600})) << stamp;
    }
    // Not shaped like a stamp: 0 (the last has its time beyond the 29
    // characters read); a bad date or time: -1. The output is 0 either way.
    const std::vector<const char*> rejected[2] = {
        {"", "2001-02-03 04:0", "2001-02-03T04:05:06", "2001-02-03 1:2",
         "2001-02-03 \x80\x80\x80\x80\x80\x80", "2001-02-03                 04:05:06"},
        {"2001-13-03 04:05:06", "2001-02-03-25.05.06", "1969-02-03 04:05:06", "2001-02-03 04:05:61",
         "abcdefghij-04.05.06", nullptr}};
    for (int result : {0, -1}) {
        for (const char* stamp : rejected[-result]) {
            long utc = -1, local = -1;
            EXPECT_EQ(TimeStampToTime_t(stamp, &utc), result) << (stamp ? stamp : "null");
            EXPECT_EQ(LocalTimeStampToTime_t(stamp, &local), result) << (stamp ? stamp : "null");
            EXPECT_EQ(utc + local, 0);
        }
    }
    EXPECT_EQ(TimeStampToTime_t("2001-02-03", nullptr), -1);
}

// 0 renders in UTC and years past 9999 are refused; other values agree with Python
// and, read back, give the seconds again except in the reserved years 1970 and 2038.
TEST(StampWriters, EpochYear10000AndPythonAgreement) {
    UseZone("America/New_York");
    char stamp[25] = "########################";
    EXPECT_EQ(Time_tToLocalTimeStamp(0, stamp, 1), 19);  // 0 is rendered in UTC
    EXPECT_EQ(std::string(stamp, 21), std::string("1970-01-01-00.00.00\0#", 21));
    EXPECT_EQ(Time_tToTimeStamp(253402300800L, stamp, 0), 0);  // year 10000
    EXPECT_EQ(Time_tToLocalTimeStamp(0x7FFFFFFFFFFFFFFFL, stamp, 1), 0);
    EXPECT_EQ(stamp[20], '#');
    const std::string program =
        "    u = datetime.datetime.fromtimestamp(int(f[0]), datetime.timezone.utc)\n"
        "    l = datetime.datetime.fromtimestamp(int(f[0]), zoneinfo.ZoneInfo(zone))\n"
        "    print(u.strftime('%Y-%m-%d %H:%M:%S|') + l.strftime('%Y-%m-%d-%H.%M.%S'))\n";
    std::vector<std::pair<const char*, long>> cases = {{"America/New_York", 1}};
    for (const char* zone : kZones) {
        for (int i = 0; i < 1500; ++i) cases.emplace_back(zone, 1 + random() % 32503680000L);
    }
    std::string input;
    for (const auto& [zone, t] : cases) input += std::string(zone) + " " + std::to_string(t) + "\n";
    const std::vector<std::string> expected = RunPython(program, input);
    ASSERT_EQ(expected.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [zone, t] = cases[i];
        UseZone(zone);
        char utc[20], local[20];
        ASSERT_EQ(Time_tToTimeStamp(t, utc, 0) + Time_tToLocalTimeStamp(t, local, 1), 38);
        ASSERT_EQ(std::string(utc) + "|" + local, expected[i]) << zone << " " << t;
        long back = -1;
        ASSERT_EQ(TimeStampToTime_t(utc, &back), 0);
        const std::string year(utc, 4);
        EXPECT_EQ(back, year == "1970" ? 0 : year == "2038" ? 2147483647L : t) << utc;
    }
}

TEST(CmsDateTime, BothDirectionsAndShortTexts) {
    std::string stamp(21, '#'), date(10, '#'), time(10, '#');
    cmsDateTimeToTimestamp("20010203", "040506", &stamp[0]);
    EXPECT_EQ(stamp, std::string("2001-02-03-04.05.00\0#", 21));
    cmsDateTimeToTimestamp("2001", "4", &stamp[0]);  // read up to the NUL only
    EXPECT_EQ(stamp, std::string("2001-00-00-40.00.00\0#", 21));
    TimestampToCmsDateTime(&date[0], &time[0], "2001-02-03 04:05:06");
    EXPECT_EQ(date + time, std::string("20010203\0#040506\0\0\0#", 20));
    TimestampToCmsDateTime(&date[0], &time[0], "2001-02");
    EXPECT_EQ(date + time, std::string("200102\0\0\0#\0\0\0\0\0\0\0\0\0#", 20));
}

}  // namespace
