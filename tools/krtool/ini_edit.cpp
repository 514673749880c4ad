// Line-preserving INI edits.
#include "ini_edit.h"

#include <vector>

#include "command.h"

namespace krtool {

namespace {

// Bracketed keywords of this length or more are entries, not headers.
constexpr size_t kSectionLimit = 128;

struct Line {
    std::string text;  // without the line end
    std::string end;   // "\n", "\r\n" or "" for a last line without one
};

// What the reader makes of one line: spans are offsets into Line::text.
struct Reading {
    enum Kind { kNothing, kHeader, kEntry } kind = kNothing;
    std::string name;  // section name or keyword
    size_t keywordEnd = 0;
    bool hasEquals = false;
    size_t valueStart = 0;
    size_t valueEnd = 0;
};

bool IsTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLeadingBlank(char c) { return c == ' ' || c == '\t'; }

void Trim(const std::string& text, size_t* start, size_t* end) {
    while (*end > *start && IsTrailingBlank(text[*end - 1])) --*end;
    while (*start < *end && IsLeadingBlank(text[*start])) ++*start;
}

Reading Read(const std::string& text) {
    size_t end = 0;
    size_t equals = std::string::npos;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c == '#' || c == ';' || c == '\0') break;
        if (c == '=' && equals == std::string::npos) equals = end;
    }
    Reading reading;
    size_t keyStart = 0, keyEnd = equals == std::string::npos ? end : equals;
    Trim(text, &keyStart, &keyEnd);
    if (keyStart == keyEnd) return reading;
    reading.name = text.substr(keyStart, keyEnd - keyStart);
    reading.keywordEnd = keyEnd;
    reading.hasEquals = equals != std::string::npos;
    if (reading.hasEquals) {
        reading.valueStart = equals + 1;
        reading.valueEnd = end;
        Trim(text, &reading.valueStart, &reading.valueEnd);
    }
    const std::string& k = reading.name;
    const bool emptyValue = reading.valueStart == reading.valueEnd;
    if (emptyValue && k.size() >= 2 && k.size() < kSectionLimit && k.front() == '[' &&
        k.back() == ']') {
        reading.kind = Reading::kHeader;
        reading.name = k.substr(1, k.size() - 2);
    } else {
        reading.kind = Reading::kEntry;
    }
    return reading;
}

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        Line line;
        if (end == std::string::npos) {
            line.text = text.substr(at);
            at = text.size();
        } else {
            line.text = text.substr(at, end - at);
            line.end = "\n";
            at = end + 1;
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.end = "\r\n";
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
    std::string text;
    for (const auto& line : lines) text += line.text + line.end;
    return text;
}

// The line end new lines get: CR LF when the file uses it, LF otherwise.
std::string LineEnd(const std::vector<Line>& lines) {
    for (const auto& line : lines) {
        if (!line.end.empty()) return line.end;
    }
    return "\n";
}

void CheckLength(const Line& line) {
    if (line.text.size() + line.end.size() > kIniLongestLine) {
        throw InputError("the line '" + line.text.substr(0, 40) + "...' would be longer than " +
                         std::to_string(kIniLongestLine) + " characters");
    }
}

std::string CheckText(const std::string& what, const std::string& text, const char* forbidden) {
    if (text.find_first_of(std::string(forbidden, std::char_traits<char>::length(forbidden) + 1)) !=
        std::string::npos) {
        return what + " may not contain '#', ';', line breaks or NUL" +
               (what == "the value" ? "" : " or '='");
    }
    if (!text.empty() && (IsLeadingBlank(text.front()) || IsLeadingBlank(text.back()))) {
        return what + " may not begin or end with a blank";
    }
    return "";
}

// Where line `index` (and the lines of its kind) belong: the section name
// in force at each line.
std::vector<std::string> SectionOfLines(const std::vector<Line>& lines) {
    std::vector<std::string> sections;
    std::string current;
    for (const auto& line : lines) {
        const Reading reading = Read(line.text);
        if (reading.kind == Reading::kHeader) current = reading.name;
        sections.push_back(current);
    }
    return sections;
}

bool IsEntryOf(const Line& line, const std::string& section, const std::string& lineSection,
               const std::string& key) {
    const Reading reading = Read(line.text);
    return lineSection == section && reading.kind == Reading::kEntry && reading.name == key;
}

void ReplaceValue(Line& line, const std::string& value) {
    const Reading reading = Read(line.text);
    if (reading.hasEquals) {
        line.text =
            line.text.substr(0, reading.valueStart) + value + line.text.substr(reading.valueEnd);
    } else {
        line.text = line.text.substr(0, reading.keywordEnd) + "=" + value +
                    line.text.substr(reading.keywordEnd);
    }
}

}  // namespace

std::string IniUnstorable(const std::string& section, const std::string& key,
                          const std::string& value) {
    static const char kForbiddenInNames[] = "#;=\r\n";
    static const char kForbiddenInValues[] = "#;\r\n";
    if (section.empty()) return "the section name may not be empty";
    if (section.size() > kSectionLimit - 3) {
        return "the section name may not be longer than " + std::to_string(kSectionLimit - 3) +
               " characters";
    }
    std::string why = CheckText("the section name", section, kForbiddenInNames);
    if (why.empty() && key.empty()) why = "the key may not be empty";
    if (why.empty()) why = CheckText("the key", key, kForbiddenInNames);
    if (why.empty() && key.front() == '[' && key.back() == ']') {
        why = "the key may not be enclosed in brackets";
    }
    if (why.empty()) why = CheckText("the value", value, kForbiddenInValues);
    if (why.empty() && key.size() + value.size() + 2 > kIniLongestLine) {
        why = "the line 'KEY=VALUE' may not be longer than " + std::to_string(kIniLongestLine - 1) +
              " characters";
    }
    return why;
}

std::string IniSetEntry(const std::string& text, const std::string& section, const std::string& key,
                        const std::string& value) {
    std::vector<Line> lines = SplitLines(text);
    const std::vector<std::string> sections = SectionOfLines(lines);
    size_t lastEntry = lines.size(), lastOfSection = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (IsEntryOf(lines[i], section, sections[i], key)) lastEntry = i;
        const Reading reading = Read(lines[i].text);
        if (sections[i] == section && reading.kind != Reading::kNothing &&
            (reading.kind == Reading::kEntry || reading.name == section)) {
            lastOfSection = i;
        }
    }
    if (lastEntry < lines.size()) {
        ReplaceValue(lines[lastEntry], value);
        CheckLength(lines[lastEntry]);
        return JoinLines(lines);
    }
    const size_t at = lastOfSection < lines.size() ? lastOfSection + 1 : lines.size();
    // New lines end like the line they follow, or like the file's first line.
    const std::string end =
        at > 0 && !lines[at - 1].end.empty() ? lines[at - 1].end : LineEnd(lines);
    if (at == lines.size() && !lines.empty() && lines.back().end.empty()) lines.back().end = end;
    std::vector<Line> added;
    if (lastOfSection == lines.size()) added.push_back(Line{"[" + section + "]", end});
    added.push_back(Line{key + "=" + value, end});
    lines.insert(lines.begin() + static_cast<long>(at), added.begin(), added.end());
    return JoinLines(lines);
}

std::string IniRemoveEntry(const std::string& text, const std::string& section,
                           const std::string& key) {
    const std::vector<Line> lines = SplitLines(text);
    const std::vector<std::string> sections = SectionOfLines(lines);
    std::vector<Line> kept;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!IsEntryOf(lines[i], section, sections[i], key)) kept.push_back(lines[i]);
    }
    if (kept.size() == lines.size()) {
        throw InputError("no entry '" + key + "' in section '" + section + "'");
    }
    return JoinLines(kept);
}

}  // namespace krtool
