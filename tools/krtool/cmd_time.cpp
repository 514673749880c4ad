// krtool time: conversions between seconds, time stamps and CMS date/time.
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "command.h"
#include "json_out.h"
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
    "                dates in 2038 give 2147483647.\n"
    "--to-cms        prints the CMS date and time (YYYYMMDD HHMMSS) of a stamp.\n"
    "--from-cms      prints the stamp of a CMS date (YYYYMMDD) and time\n"
    "                (HHMMSS); its seconds are always 00.\n"
    "\n"
    "A stamp is \"YYYY-MM-DD hh:mm:ss\" or \"YYYY-MM-DD-hh.mm.ss\", optionally\n"
    "followed by \".\" and up to six digits of fractional seconds (ignored), with\n"
    "blanks around it allowed. Any other text, or a date or time that does not\n"
    "exist, fails with exit status 1.\n";

const std::vector<krtool::Option> kOptions = {
    {0, "from-seconds", "N", "print the stamp of N seconds since 1970 (decimal)"},
    {0, "from-stamp", "TEXT", "print the seconds of a stamp"},
    {0, "to-cms", "TEXT", "print the CMS date and time of a stamp"},
    {0, "from-cms", "DATE", "print the stamp of a CMS date and the TIME argument"},
    {0, "local", nullptr, "local time (TZ) instead of UTC"},
    {0, "dash", nullptr, "with --from-seconds: the YYYY-MM-DD-hh.mm.ss style"},
    krtool::kJsonOption,
};

bool Matches(const std::string& text, const char* pattern) {
    if (text.size() != std::strlen(pattern)) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

// The stamp without surrounding blanks; InputError unless it has one of the
// two shapes.
std::string CheckedStamp(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    const std::string stamp =
        first == std::string::npos ? "" : text.substr(first, last - first + 1);
    const std::string head = stamp.substr(0, 19);
    const std::string tail = stamp.size() > 19 ? stamp.substr(19) : "";
    const bool shaped =
        Matches(head, "9999-99-99 99:99:99") || Matches(head, "9999-99-99-99.99.99");
    const bool fraction =
        tail.empty() || (tail.size() >= 2 && tail.size() <= 7 && tail[0] == '.' &&
                         tail.find_first_not_of("0123456789", 1) == std::string::npos);
    if (!shaped || !fraction) {
        throw krtool::InputError("cannot read the time stamp '" + text +
                                 "': expected YYYY-MM-DD hh:mm:ss or YYYY-MM-DD-hh.mm.ss");
    }
    return stamp;
}

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

// One conversion's result: the text line and the same as JSON members.
struct Conversion {
    std::string text;
    nlohmann::json json;
};

Conversion FromSeconds(const krtool::Args& args) {
    const long seconds = args.Number("from-seconds", std::numeric_limits<long>::min(),
                                     std::numeric_limits<long>::max(), 0);
    const int style = args.Has("dash") ? 1 : 0;
    char stamp[20];
    const int written = args.Has("local") ? Time_tToLocalTimeStamp(seconds, stamp, style)
                                          : Time_tToTimeStamp(seconds, stamp, style);
    if (written == 0) {
        throw krtool::InputError("cannot render " + std::to_string(seconds) + " as a stamp");
    }
    return {stamp, {{"seconds", seconds}, {"stamp", stamp}}};
}

Conversion FromStamp(const krtool::Args& args) {
    const std::string text = CheckedStamp(args.Get("from-stamp"));
    long seconds = 0;
    const int result = args.Has("local") ? LocalTimeStampToTime_t(text.c_str(), &seconds)
                                         : TimeStampToTime_t(text.c_str(), &seconds);
    if (result != 0) throw krtool::InputError("no such date or time: '" + text + "'");
    return {std::to_string(seconds), {{"stamp", text}, {"seconds", seconds}}};
}

Conversion ToCms(const krtool::Args& args) {
    const std::string text = CheckedStamp(args.Get("to-cms"));
    char date[9], time[9];
    TimestampToCmsDateTime(date, time, text.c_str());
    return {std::string(date) + " " + time,
            {{"stamp", text}, {"cms_date", date}, {"cms_time", time}}};
}

Conversion FromCms(const krtool::Args& args) {
    args.ExpectPositional(1, 1);
    const std::string date = args.Get("from-cms");
    const std::string& time = args.Positional()[0];
    if (!Matches(date, "99999999") || !Matches(time, "999999")) {
        throw krtool::InputError("a CMS date has 8 digits and a CMS time 6");
    }
    char stamp[20];
    cmsDateTimeToTimestamp(date.c_str(), time.c_str(), stamp);
    return {stamp, {{"cms_date", date}, {"cms_time", time}, {"stamp", stamp}}};
}

int RunTime(const krtool::Args& args) {
    const std::string mode = SingleMode(args);
    if (mode != "--from-cms") args.ExpectPositional(0, 0);
    const Conversion result = mode == "--from-seconds" ? FromSeconds(args)
                              : mode == "--from-stamp" ? FromStamp(args)
                              : mode == "--to-cms"     ? ToCms(args)
                                                       : FromCms(args);
    if (args.Has("json")) {
        krtool::WriteJson(result.json);
    } else {
        krtool::WriteOutput(result.text + "\n");
    }
    return 0;
}

}  // namespace

KRTOOL_COMMAND_TABLE("time", "conversions between seconds, time stamps and CMS date/time", kUsage,
                     kOptions, RunTime);
