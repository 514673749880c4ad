// Helpers of the configuration tests: INI model dumps, the configparser
// oracle, random INI text and the file object's error texts.
#ifndef KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
#define KRTOOLS_TESTS_CONFIG_TEST_UTIL_H

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "krtools/ini.h"
#include "testutil.h"

namespace configtest {

// The names of a NUL-separated list ended by one more NUL.
inline std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    for (size_t start = 0, end; start + 1 < list.size(); start = end + 1) {
        end = list.find('\0', start);
        names.push_back(list.substr(start, end - start));
    }
    return names;
}

// "[section]\n" then "key=value\n" per entry, everything in model order.
inline std::string Dump(INIFile& ini, bool skipEmptyValues = false) {
    std::string out, sections, keys;
    ini.GetAllSections(sections);
    for (const auto& section : SplitNames(sections)) {
        out += "[" + section + "]\n";
        ini.GetAllEntries(keys, section.c_str());
        for (const auto& key : SplitNames(keys)) {
            const std::string& value = ini.GetEntry(section.c_str(), key.c_str());
            if (!skipEmptyValues || !value.empty()) out += key + "=" + value + "\n";
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
    std::string text(std::uniform_int_distribution<size_t>(minLength, maxLength)(rng), ' ');
    for (char& c : text) c = alphabet[rng() % alphabet.size()];
    return text;
}

// INI text that configparser reads the same way: lines start at column 0, a
// header first, repeating keys and sections, inline comments after a blank,
// comment and blank lines, LF or CR LF line ends.
inline std::string GenerateIni(std::mt19937& rng, int lines) {
    const std::string nameChars = "abcXYZ019_-. ";
    std::vector<std::string> sections, keys;
    for (int i = 0; i < 6; ++i) sections.push_back("s" + RandomText(rng, nameChars, 0, 11));
    for (int i = 0; i < 30; ++i) keys.push_back("k" + RandomText(rng, nameChars, 0, 10));
    auto percent = [&] { return static_cast<int>(rng() % 100); };
    auto blanks = [&](size_t low, size_t high) { return RandomText(rng, " \t", low, high); };
    std::string text = "[" + sections[0] + "]\n";
    for (int i = 0; i < lines; ++i) {
        const int kind = percent();
        if (kind < 10) {
            text += "[" + sections[rng() % 6] + "]" + (percent() < 30 ? "  ; note" : "");
        } else if (kind < 15) {
            text += percent() < 50 ? "# a comment = x" : "; another [comment]";
        } else if (kind < 20) {
            text += blanks(0, 3);
        } else {
            std::string key = keys[rng() % keys.size()];
            key.erase(key.find_last_not_of(' ') + 1);
            text += key + blanks(0, 2) + "=" + blanks(0, 2);
            text += RandomText(rng, "abcdefXYZ0123 =[]()!?._-:/\t", 0, 30);
            if (percent() < 20) text += blanks(1, 2) + "# trailing ; note";
        }
        text += percent() < 20 ? "\r\n" : "\n";
    }
    return text;
}

// The text of a failed file operation: call line, message, code, system text.
inline std::string FileErrorText(const std::string& function, const std::string& path,
                                 const std::string& mode, const std::string& what, int code) {
    char rcLine[40];
    std::snprintf(rcLine, sizeof rcLine, "Windows rc: 0x%08X\n", static_cast<unsigned>(code));
    return "Function: " + function + ", Filename: " + path + ", Mode: " + mode + "\r\n" + what +
           "\n" + rcLine + std::strerror(code) + "\n";
}

}  // namespace configtest

#endif  // KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
