// krtool time: conversions between seconds, time stamps and CMS date/time.
#include <string>
#include <vector>

#include "command.h"
#include "krtools/datetime.h"

namespace {

const char kUsage[] =
    "usage: krtool time --from-seconds N [--local] [--dash]\n"
    "       krtool time --from-stamp TEXT [--local]\n"
    "       krtool time --to-cms TEXT\n"
    "       krtool time --from-cms DATE TIME\n"
    "\n"
    "--from-seconds  prints the stamp of N seconds since 1970-01-01 00:00:00\n"
    "                UTC, as \"YYYY-MM-DD hh:mm:ss\" (with --dash\n"
    "                \"YYYY-MM-DD-hh.mm.ss\"), in UTC or with --local in the\n"
    "                time zone of TZ (0 is always 1970-01-01 00:00:00).\n"
    "--from-stamp    prints the seconds of a stamp in either style, read as\n"
    "                UTC or with --local as local time. Dates in 1970 give 0,\n"
    "                dates in 2038 give 2147483647; a text not shaped like a\n"
    "                stamp also gives 0. A bad date or time fails.\n"
    "--to-cms        prints the CMS date and time (YYYYMMDD HHMMSS) of a stamp.\n"
    "--from-cms      prints the stamp of a CMS date (YYYYMMDD) and time\n"
    "                (HHMMSS); its seconds are always 00.\n";

const char* const kModes[] = {"--from-seconds", "--from-stamp", "--to-cms", "--from-cms"};

std::string SingleMode(const krtool::Args& args) {
    std::string mode;
    for (const char* candidate : kModes) {
        if (!args.Has(candidate)) continue;
        if (!mode.empty()) throw krtool::UsageError("give only one of " + mode + ", " + candidate);
        mode = candidate;
    }
    if (mode.empty()) throw krtool::UsageError("missing conversion");
    return mode;
}

void FromSeconds(const krtool::Args& args) {
    const long seconds = args.GetLong("--from-seconds", 0);
    const int style = args.Has("--dash") ? 1 : 0;
    char stamp[20];
    const int written = args.Has("--local") ? Time_tToLocalTimeStamp(seconds, stamp, style)
                                            : Time_tToTimeStamp(seconds, stamp, style);
    if (written == 0) {
        throw krtool::InputError("cannot render " + std::to_string(seconds) + " as a stamp");
    }
    krtool::WriteOutput(std::string(stamp) + "\n");
}

void FromStamp(const krtool::Args& args) {
    const std::string text = args.Get("--from-stamp");
    long seconds = 0;
    const int result = args.Has("--local") ? LocalTimeStampToTime_t(text.c_str(), &seconds)
                                           : TimeStampToTime_t(text.c_str(), &seconds);
    if (result != 0) throw krtool::InputError("invalid date or time in '" + text + "'");
    krtool::WriteOutput(std::to_string(seconds) + "\n");
}

void ToCms(const krtool::Args& args) {
    const std::string text = args.Get("--to-cms");
    if (text.size() < 19) throw krtool::InputError("a stamp has 19 characters");
    char date[9], time[9];
    TimestampToCmsDateTime(date, time, text.c_str());
    krtool::WriteOutput(std::string(date) + " " + time + "\n");
}

void FromCms(const krtool::Args& args) {
    args.ExpectPositional(1, 1);
    const std::string date = args.Get("--from-cms");
    const std::string& time = args.Positional()[0];
    if (date.size() != 8 || time.size() != 6) {
        throw krtool::InputError("a CMS date has 8 digits and a CMS time 6");
    }
    char stamp[20];
    cmsDateTimeToTimestamp(date.c_str(), time.c_str(), stamp);
    krtool::WriteOutput(std::string(stamp) + "\n");
}

int RunTime(const std::vector<std::string>& argv) {
    krtool::Args args(argv, {"--from-seconds", "--from-stamp", "--to-cms", "--from-cms"},
                      {"--local", "--dash"});
    const std::string mode = SingleMode(args);
    if (mode != "--from-cms") args.ExpectPositional(0, 0);
    if (mode == "--from-seconds") {
        FromSeconds(args);
    } else if (mode == "--from-stamp") {
        FromStamp(args);
    } else if (mode == "--to-cms") {
        ToCms(args);
    } else {
        FromCms(args);
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND("time", "conversions between seconds, time stamps and CMS date/time", kUsage,
               RunTime);
