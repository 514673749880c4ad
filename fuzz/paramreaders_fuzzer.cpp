// Reads arbitrary bytes with the plain pair readers over a ParseContext (the
// first byte picks the style) until the end of the file, and checks that
// every result points inside the line buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "krtools/file.h"
#include "krtools/params.h"
#include "platform/platform.h"

namespace {

constexpr long kLineBuffer = 1024;

// A scratch file of this process, removed when the fuzzer exits.
struct ScratchFile {
    ScratchFile() : path("/tmp/paramreaders_fuzzer." + std::to_string(krplatform::ProcessId())) {}
    ~ScratchFile() { std::remove(path.c_str()); }
    const std::string path;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckInside(const ParseContext& c, const char* start, int length) {
    Check(length >= 0);
    Check(start >= c.buffer && start + length < c.buffer + kLineBuffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    const bool paren = data[0] % 2 == 0;
    {
        PXMFile file(path.c_str(), "wb");
        file.Open();
        file.Fwrite(reinterpret_cast<const char*>(data) + 1, static_cast<int>(size - 1));
        file.Close();
    }
    ParseContext context{};
    context.fileName = path.c_str();
    for (size_t calls = 0; calls <= size + 1; ++calls) {
        const int result = paren ? ParseParenStyle(&context) : ParseEqualStyle(&context);
        if (result == 2) {
            Check(context.fp == nullptr && context.buffer == nullptr);
            return 0;
        }
        Check(result == 0 || (paren && result == 1));
        CheckInside(context, context.keyword, context.keywordLength);
        if (!paren) Check(context.keywordLength > 0 && context.keyword[context.keywordLength] == 0);
        if (context.value != nullptr) CheckInside(context, context.value, context.valueLength);
    }
    std::abort();  // every call consumes at least one character
}
