// Runs GetElement and SkipElements over arbitrary records with parameters
// taken from the first bytes. The source buffers are exactly as large as the
// functions may read (twice the maximum count for GetElement; the record and
// two terminators for SkipElements), so AddressSanitizer flags any overrun.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "krtools/params.h"

namespace {

constexpr size_t kHeader = 8;

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeader) return 0;
    const int maxCount = static_cast<int8_t>(data[0]);
    const char escape = static_cast<char>(data[1]);
    const char stops[3] = {static_cast<char>(data[2]), static_cast<char>(data[3]),
                           static_cast<char>(data[4])};
    const char separator = static_cast<char>(data[5]);
    const char terminator = static_cast<char>(data[6]);
    const int count = static_cast<int8_t>(data[7]);
    const uint8_t* record = data + kHeader;
    const size_t length = size - kHeader;

    // GetElement: reads at most 2 * maxCount bytes.
    const size_t readable = maxCount > 0 ? 2 * static_cast<size_t>(maxCount) : 0;
    std::vector<char> source(readable > length ? readable : length);
    for (size_t i = 0; i < length; ++i) source[i] = static_cast<char>(record[i]);
    std::vector<char> destination(maxCount > 0 ? static_cast<size_t>(maxCount) : 1);
    const int copied = GetElement(source.data(), destination.data(), maxCount, escape, stops[0],
                                  stops[1], stops[2]);
    Check(copied >= 0 && copied <= (maxCount > 0 ? maxCount : 0));

    // SkipElements: the record followed by two terminators.
    std::vector<char> text(record, record + length);
    text.push_back(terminator);
    text.push_back(terminator);
    char* cursor = text.data();
    const int passed = SkipElements(&cursor, count, escape, separator, terminator);
    Check(passed == 0 || passed == count);
    Check(cursor >= text.data() && cursor <= text.data() + text.size());
    if (count < 1) Check(cursor == text.data() && passed == 0);
    return 0;
}
