// Reading INI files into the model and writing the model back, all through
// PXMFile.
#include <algorithm>
#include <string>
#include <string_view>

#include "krtools/file.h"
#include "krtools/ini.h"

namespace {

// The working buffer of the file object: lines of at most 2047 characters.
constexpr int kLineBufferSize = 2048;
// Longest text handed to Fputs at once (the buffer keeps a terminating NUL).
constexpr size_t kWritePiece = kLineBufferSize - 1;
// Bracketed keywords of this length or more are entries, not headers.
constexpr size_t kSectionLimit = 128;

bool IsTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLeadingBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimField(std::string_view text) {
    while (!text.empty() && IsTrailingBlank(text.back())) text.remove_suffix(1);
    while (!text.empty() && IsLeadingBlank(text.front())) text.remove_prefix(1);
    return text;
}

// One line split into trimmed keyword and value; "#", ";" or NUL end the
// text, the first "=" separates keyword from value.
struct SplitLine {
    std::string_view keyword;
    std::string_view value;
};

SplitLine Split(const char* line, size_t length) {
    size_t end = 0;
    size_t equals = std::string_view::npos;
    for (; end < length; ++end) {
        const char c = line[end];
        if (c == '#' || c == ';' || c == '\0') break;
        if (c == '=' && equals == std::string_view::npos) equals = end;
    }
    if (equals == std::string_view::npos) {
        return {TrimField(std::string_view(line, end)), std::string_view()};
    }
    return {TrimField(std::string_view(line, equals)),
            TrimField(std::string_view(line + equals + 1, end - equals - 1))};
}

bool IsSectionHeader(const SplitLine& split) {
    const std::string_view k = split.keyword;
    return split.value.empty() && k.size() < kSectionLimit && k.size() >= 2 && k.front() == '[' &&
           k.back() == ']';
}

// Hands `text` to the file in pieces that fit the working buffer.
void WriteText(PXMFile& file, std::string_view text) {
    for (size_t offset = 0; offset < text.size(); offset += kWritePiece) {
        const size_t piece = std::min(kWritePiece, text.size() - offset);
        file.SetBuffer(text.data() + offset, static_cast<int>(piece));
        file.Fputs();
    }
}

}  // namespace

void INIFile::LoadFile(const char* fileName) {
    PXMFile file(fileName == nullptr ? "" : fileName, "r");
    file.Open();
    file.AllocateBuffer(kLineBufferSize);
    std::string sectionName;
    long current = -1;  // position of the section named sectionName, once known
    for (;;) {
        const int length = file.Fgets();
        if (length <= 0) {
            if (file.GetEOFSwitch()) break;
            continue;  // a line that starts with NUL
        }
        const SplitLine split = Split(file.GetBuffer(), static_cast<size_t>(length));
        if (split.keyword.empty()) continue;
        if (IsSectionHeader(split)) {
            sectionName.assign(split.keyword.substr(1, split.keyword.size() - 2));
            current = static_cast<long>(SectionPosition(sectionName));
            continue;
        }
        if (current < 0) current = static_cast<long>(SectionPosition(sectionName));
        sections_[static_cast<size_t>(current)].AddEntry(split.keyword, split.value, true);
    }
    file.Close();
}

void INIFile::WriteFile(const char* fileName) {
    PXMFile file(fileName == nullptr ? "" : fileName, "w");
    file.Open();
    file.AllocateBuffer(kLineBufferSize);
    std::string header;
    for (auto& section : sections_) {
        header.assign("\n[");
        header += section.GetSection();
        header += "]\n";
        WriteText(file, header);
        section.WriteEntries(file);
    }
    file.Close();
}

void INIFileSection::WriteEntries(PXMFile& file) {
    std::string line;
    for (const auto& entry : entries_) {
        if (entry.GetValue().empty()) continue;
        line.assign(entry.GetKeyword());
        line += '=';
        line += entry.GetValue();
        line += '\n';
        WriteText(file, line);
    }
}
