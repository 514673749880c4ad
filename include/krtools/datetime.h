// Date and time conversions between seconds since 1970-01-01 00:00:00 UTC,
// 19-character time stamps, CMS date/time texts and broken-down dates.
//
// Stamp styles: 0 selects the space style "YYYY-MM-DD hh:mm:ss", any other
// value the dash style "YYYY-MM-DD-hh.mm.ss".
//
// Reserved values: every date in 1970 converts to 0 seconds and every date in
// 2038 to 2147483647; 0 seconds always renders as 1970-01-01 00:00:00. Other
// years, also those after 2038, convert with the platform's 64-bit time_t.
//
// Local-time results follow the process's time-zone setting (TZ, applied by
// tzset). The functions keep no state and use the reentrant localtime_r and
// gmtime_r, so they are safe to call from several threads at once. None of
// them throws.
#ifndef KRTOOLS_DATETIME_H
#define KRTOOLS_DATETIME_H

#include <cstdint>
#include <ctime>

#include "krtools/export.h"

KRTOOLS_EXTERN_C_BEGIN

// DateFields is a broken-down UTC date filled by SecondsToDate.
typedef struct DateFields {
    int32_t month;   // 1 to 12
    int32_t day;     // day of the month, from 1
    int32_t year;    // four digits for the range up to 2106
    int32_t hour;    // 0 to 23
    int32_t minute;  // 0 to 59
    int32_t second;  // 0 to 59
} DateFields;

// SecondsToDate stores the UTC calendar date and time of `seconds` (seconds
// since 1970-01-01 00:00:00 UTC) in `*date`, Gregorian calendar, no time
// zone. Every value is converted; values beyond the last second of the year
// 2147483647 are treated as that second.
KRTOOLS_API void SecondsToDate(DateFields* date, unsigned long seconds);

// DateTimeToSeconds converts a date text (as DateToTmStruct reads it) and a
// time text (as TimeToTmStruct reads it) to seconds in `*seconds`. With `utc`
// 0 the fields are local time, otherwise UTC. Dates in 1970 give 0, dates in
// 2038 give 2147483647. Returns 0 on success; -1 when an argument is null, a
// text is rejected or the local time cannot be represented, and then
// `*seconds` is left unchanged. A day beyond the month's end rolls over into
// the next month (31 February is 3 March in an ordinary year).
KRTOOLS_API int DateTimeToSeconds(const char* date, const char* time, long* seconds, int utc);

// LocalTimeStampToTime_t reads a stamp in either style as local time into
// `*seconds`. 0 is stored first. Blanks around the stamp are ignored and at
// most its first 29 characters are looked at; a fractional-seconds tail
// (2001-02-03-04.05.06.123456) is ignored. A text that is not shaped like a
// stamp (shorter than 16 characters, no date/time separator, time part
// shorter than 5 characters) gives 0 with `*seconds` 0, the same as the
// epoch. A stamp whose date or time DateTimeToSeconds rejects gives -1 with
// `*seconds` 0. A null `stamp` gives -1 (0 stored); a null `seconds` gives
// -1 and nothing is read.
KRTOOLS_API int LocalTimeStampToTime_t(const char* stamp, long* seconds);

// TimeStampToTime_t reads a stamp as UTC, otherwise as LocalTimeStampToTime_t.
KRTOOLS_API int TimeStampToTime_t(const char* stamp, long* seconds);

// Time_tToLocalTimeStamp writes the local time of `seconds` (0 as UTC, so it
// always renders as 1970-01-01 00:00:00) in the chosen style to `stamp`,
// which must hold at least 20 bytes, and returns 19. When the moment cannot
// be broken down or its year lies outside 0 to 9999, it writes an empty text
// and returns 0; `stamp` never receives more than 20 bytes.
KRTOOLS_API int Time_tToLocalTimeStamp(long seconds, char* stamp, int style);

// Time_tToTimeStamp is Time_tToLocalTimeStamp in UTC for every value.
KRTOOLS_API int Time_tToTimeStamp(long seconds, char* stamp, int style);

// cmsDateTimeToTimestamp writes the dash-style stamp of a CMS date (YYYYMMDD)
// and time (HHMMSS) to `stamp` (at least 20 bytes): YYYY-MM-DD-HH.MM.00. The
// seconds are always 00. Nothing is checked; a text that ends early is
// read up to its NUL only, and its missing characters are written as '0'.
KRTOOLS_API void cmsDateTimeToTimestamp(const char* date, const char* time, char* stamp);

// TimestampToCmsDateTime clears 9 bytes of `date` and of `time` and copies the
// stamp's digits (either style) into them as YYYYMMDD and HHMMSS. Nothing is
// checked; a stamp that ends early is read up to its NUL only, and the
// positions it lacks stay NUL.
KRTOOLS_API void TimestampToCmsDateTime(char* date, char* time, const char* stamp);

// DateToTmStruct clears `*tm` and reads a date of 6 to 10 characters with two
// separators, each "-" or "/": year/month/day, or month/day/year when the
// first field is below 1900. Fields are read like atoi. Stores tm_year, tm_mon
// and tm_mday. Returns 0, or -1 when the text has the wrong length or fewer
// than two separators, or the year is outside 1970-3000, the month outside
// 1-12 or the day outside 1-31 (the month's length is not checked).
KRTOOLS_API int DateToTmStruct(const char* date, struct tm* tm);

// TimeToTmStruct reads a time of 5 to 8 characters with two separators, each
// ":" or ".", into tm_hour, tm_min and tm_sec, leaving the other fields of
// `*tm` unchanged. Fields are read like atoi and each is checked right after
// it is stored: hour 0-23, minute 0-59, second 0-59. Returns 0, or -1 on the
// wrong length, fewer than two separators or a field out of range (fields
// stored before the failing one keep their new values).
KRTOOLS_API int TimeToTmStruct(const char* time, struct tm* tm);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_DATETIME_H
