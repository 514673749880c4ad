// Splits arbitrary bytes with GetToken and checks that the tokens are
// non-empty, in order, inside the text, and that the walk ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "krtools/params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    char* const begin = text.data();
    char* const end = begin + text.size();
    char* cursor = begin;
    char* previous = begin;
    size_t tokens = 0;
    while (char* token = GetToken(&cursor)) {
        const size_t length = std::strlen(token);
        if (token < previous || token + length >= end || length == 0) std::abort();
        if (cursor != nullptr && (cursor <= token || cursor >= end)) std::abort();
        previous = token + length;
        if (++tokens > size) std::abort();
    }
    if (cursor != nullptr) std::abort();
    return 0;
}
