// Time of day and the process's time-zone conversions.
#include <time.h>

#include "platform/platform.h"

namespace krplatform {

int64_t CurrentTime() { return static_cast<int64_t>(::time(nullptr)); }

bool ToLocalTime(int64_t t, std::tm* out) {
    time_t value = static_cast<time_t>(t);
    return localtime_r(&value, out) != nullptr;
}

bool ToUtcTime(int64_t t, std::tm* out) {
    time_t value = static_cast<time_t>(t);
    return gmtime_r(&value, out) != nullptr;
}

int64_t FromLocalTime(std::tm* tm) { return static_cast<int64_t>(::mktime(tm)); }

}  // namespace krplatform
