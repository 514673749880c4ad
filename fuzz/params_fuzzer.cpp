// Parses arbitrary bytes as a parameter file with ParseObj (the first byte
// picks the parenthesis style, with or without escapes, or the equal style)
// until the end of the file, and checks every stored pair against the raw
// file: its keyword stands at (line, column) exactly as read.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "krtools/file.h"
#include "krtools/params.h"
#include "platform/platform.h"

namespace {

// A scratch file of this process, removed when the fuzzer exits.
struct ScratchFile {
    ScratchFile() : path("/tmp/params_fuzzer." + std::to_string(krplatform::ProcessId())) {}
    ~ScratchFile() { std::remove(path.c_str()); }
    const std::string path;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

std::vector<std::string> RawLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

void CheckPairs(const ParseObj& parser, const std::vector<std::string>& lines, bool exactLines) {
    Check(parser.entryCount == static_cast<int>(parser.entries.size()));
    for (const auto& e : parser.entries) {
        Check(!e.keyword.empty() && e.lineNumber >= 1 && e.column >= 0);
        if (!exactLines) continue;
        Check(static_cast<size_t>(e.lineNumber) <= lines.size());
        const std::string& line = lines[static_cast<size_t>(e.lineNumber) - 1];
        Check(line.compare(static_cast<size_t>(e.column), e.keyword.size(), e.keyword) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const ScratchFile scratch;
    const std::string& path = scratch.path;
    const int mode = data[0] % 3;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    {
        PXMFile file(path.c_str(), "wb");
        file.Open();
        file.Fwrite(text.data(), static_cast<int>(text.size()));
        file.Close();
    }
    const std::vector<std::string> lines = RawLines(text);
    bool exactLines = true;  // lines split into buffer pieces renumber the rest
    for (const auto& line : lines) exactLines = exactLines && line.size() < 32767;

    ParseObj parser;
    Check(parser.Init(path.c_str()) == 0);
    for (size_t calls = 0; calls <= lines.size() + 1; ++calls) {
        const int result = mode == 2 ? parser.ParseEqualStyle() : parser.ParseParenStyle(mode == 1);
        Check(result == 1 || result == 2 || result == -2);
        CheckPairs(parser, lines, exactLines);
        if (result == 2) {
            Check(parser.GetLineNumber() == 0);
            Check(parser.ParseEqualStyle() == -1);
            return 0;
        }
    }
    std::abort();  // every call consumes at least one line
}
