// Helpers of the configuration tests: dumps of the INI model, the Python
// configparser oracle and generators of INI text with known content.
#ifndef KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
#define KRTOOLS_TESTS_CONFIG_TEST_UTIL_H

#include <random>
#include <string>
#include <vector>

#include "krtools/ini.h"
#include "testutil.h"

namespace configtest {

// The names of a list built by GetAllSections/GetAllEntries (each name ended
// by NUL, the list by one more NUL).
inline std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start + 1 < list.size()) {
        const size_t end = list.find('\0', start);
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// "[section]\n" then "key=value\n" per entry, for every section in order.
inline std::string Dump(INIFile& ini, bool skipEmptyValues = false) {
    std::string out, sections, keys;
    ini.GetAllSections(sections);
    for (const auto& section : SplitNames(sections)) {
        out += "[" + section + "]\n";
        ini.GetAllEntries(keys, section.c_str());
        for (const auto& key : SplitNames(keys)) {
            const std::string& value = ini.GetEntry(section.c_str(), key.c_str());
            if (skipEmptyValues && value.empty()) continue;
            out += key + "=" + value + "\n";
        }
    }
    return out;
}

// The same dump of `path` as Python's configparser reads it.
inline std::string PythonDump(const std::string& path) {
    const auto result = testutil::Run(
        "python3 " +
        testutil::ShellQuote(std::string(KRTOOLS_SOURCE_DIR) + "/tests/config/ini_oracle.py") +
        " " + testutil::ShellQuote(path));
    EXPECT_EQ(result.status, 0) << "configparser failed on " << path;
    return result.output;
}

inline std::string RandomText(std::mt19937& rng, const std::string& alphabet, size_t minLength,
                              size_t maxLength) {
    std::uniform_int_distribution<size_t> length(minLength, maxLength);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::string text;
    for (size_t n = length(rng); n > 0; --n) text += alphabet[pick(rng)];
    return text;
}

// Trims blanks at both ends (what both readers do to names and values).
inline std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// INI text in the subset that configparser reads the same way: every line
// starts at column 0, a header first, keys from a small pool (so they
// repeat), sections that repeat, inline comments after a blank, comment and
// blank lines, LF or CRLF line ends.
inline std::string GenerateIni(std::mt19937& rng, int lines) {
    const std::string nameChars = "abcXYZ019_-. ";
    const std::string valueChars = "abcdefXYZ0123 =[]()!?._-:/\t";
    std::vector<std::string> sections, keys;
    for (int i = 0; i < 6; ++i) {
        std::string name = RandomText(rng, nameChars, 1, 12);
        if (Trimmed(name).empty()) name = "s" + std::to_string(i);
        sections.push_back(name);
    }
    for (int i = 0; i < 30; ++i) keys.push_back("k" + RandomText(rng, nameChars, 0, 10));
    std::uniform_int_distribution<int> percent(0, 99);
    auto pickFrom = [&](const std::vector<std::string>& pool) {
        return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(rng)];
    };
    auto lineEnd = [&]() { return percent(rng) < 20 ? "\r\n" : "\n"; };
    std::string text = "[" + sections[0] + "]" + lineEnd();
    for (int i = 0; i < lines; ++i) {
        const int kind = percent(rng);
        if (kind < 10) {
            text += "[" + pickFrom(sections) + "]" + (percent(rng) < 30 ? "  ; note" : "");
        } else if (kind < 15) {
            text += percent(rng) < 50 ? "# a comment = x" : "; another [comment]";
        } else if (kind < 20) {
            text += RandomText(rng, " \t", 0, 3);
        } else {
            std::string key = pickFrom(keys);
            while (!key.empty() && key.back() == ' ') key.pop_back();
            text += key + RandomText(rng, " \t", 0, 2) + "=" + RandomText(rng, " \t", 0, 2);
            text += RandomText(rng, valueChars, 0, 30);
            if (percent(rng) < 20) text += RandomText(rng, " \t", 1, 2) + "# trailing ; note";
        }
        text += lineEnd();
    }
    return text;
}

}  // namespace configtest

#endif  // KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
