// Helpers of the configuration tests: INI model dumps, the configparser
// oracle, random INI text, the file object's error texts and generated
// parameter files.
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

// Parameter files of known content: records of keyword(value) or
// keyword=value pairs with random blanks, comments, line breaks and escapes,
// each with the pairs "line:column keyword=value\n" a correct parser delivers.
enum class ParamStyle { kParen, kParenEscapes, kEqual };

struct GeneratedParams {
    std::string text;
    std::vector<std::string> records;
    bool lastRecordClosed = false;
};

class ParamsGenerator {
public:
    ParamsGenerator(unsigned seed, ParamStyle style) : rng_(seed), style_(style) {}

    GeneratedParams Generate(int recordCount) {
        GeneratedParams out;
        for (int r = 0; r < recordCount; ++r) {
            std::string record;
            for (int p = Range(0, 6); p > 0; --p) record += PutPair(record.empty());
            out.lastRecordClosed = r + 1 < recordCount || Chance(50);
            if (out.lastRecordClosed) {
                Put(Blanks(0, 2) + ";" + (Chance(40) ? Blanks(0, 2) + "dropped(x) y=1" : ""), true);
            }
            out.records.push_back(record);
        }
        if (Chance(50)) Put("", true);
        out.text = text_;
        return out;
    }

private:
    int Range(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    char Pick(const std::string& alphabet) { return alphabet[rng_() % alphabet.size()]; }
    void Put(const std::string& s, bool endLine = false) {
        text_ += s;
        column_ += static_cast<int>(s.size());
        if (endLine) {
            text_ += '\n';
            ++line_;
            column_ = 0;
            valuedLast_ = false;
        }
    }
    std::string Blanks(int low, int high) {
        std::string s;
        for (int n = Range(low, high); n > 0; --n) s += Chance(70) ? ' ' : '\t';
        return s;
    }
    std::string Keyword() {
        std::string k(1, Pick("abcdefghKLMNXYZ_"));
        for (int n = Range(0, 7); n > 0; --n) k += Pick("abcdefghKLMNXYZ_0123456789.-");
        return k;
    }

    // Moves to where the next pair may start: blanks on the same line (none
    // needed after a ")"), or a line break, maybe after a comment, then
    // comment or blank lines.
    void Separate(bool firstOfRecord) {
        if (column_ == 0 || (firstOfRecord && Chance(30))) {
            if (column_ != 0) Put("", true);
            return Put(Blanks(0, 3));
        }
        const int kind = Range(0, 99);
        if (kind < 70) return Put(!valuedLast_ || kind >= 10 ? Blanks(1, 3) : "");
        Put(Chance(40) ? Blanks(1, 2) + "# note (x ; y=1" : "", true);
        while (Chance(30)) Put(Chance(50) ? Blanks(0, 4) : Blanks(0, 2) + "#" + Keyword(), true);
        Put(Blanks(0, 3));
    }

    std::string PutPair(bool firstOfRecord) {
        Separate(firstOfRecord);
        const std::string where = std::to_string(line_) + ":" + std::to_string(column_) + " ";
        std::string keyword = Keyword(), value, raw = keyword;
        const int kind = Range(0, 99);  // below 20: a keyword alone
        valuedLast_ = kind >= 20 && style_ != ParamStyle::kEqual;
        if (kind >= 20 && style_ == ParamStyle::kEqual) raw += "=" + EqualValue(value);
        if (valuedLast_) raw += "(" + (kind < 30 ? "" : ParenValue(value, 0)) + ")";
        Put(raw);
        return where + keyword + "=" + value + "\n";
    }

    // Blanks, "#", ";" and balanced groups; with escapes on also escaped
    // parentheses, backslashes and ordinary characters.
    std::string ParenValue(std::string& value, int depth) {
        std::string raw;
        for (int n = Range(1, 8); n > 0; --n) {
            const int kind = Range(0, 99);
            if (kind < 12 && depth < 3) {
                std::string inner;
                raw += "(" + ParenValue(inner, depth + 1) + ")";
                value += "(" + inner + ")";
                continue;
            }
            const bool escaped = kind < 30 && style_ == ParamStyle::kParenEscapes;
            char c = Pick("abcXYZ019 #;=,.'\"");
            if (escaped && Chance(60)) c = Pick("()\\");
            if (style_ == ParamStyle::kParen && Chance(5)) c = '\\';
            raw += (escaped ? "\\" : "") + std::string(1, c);
            value += c;
        }
        return raw;
    }

    // Unquoted, or quoted with blanks, "#", ";" and the other quote inside.
    std::string EqualValue(std::string& value) {
        if (Chance(60)) {
            for (int n = Range(1, 10); n > 0; --n) value += Pick("abcXYZ019=.,()/:+");
            return value;
        }
        const char quote = Chance(50) ? '"' : '\'';
        const std::string inside = std::string("abc XYZ #;=(),\t") + (quote == '"' ? '\'' : '"');
        for (int n = Range(0, 12); n > 0; --n) value += Pick(inside);
        return quote + value + quote;
    }

    std::mt19937 rng_;
    ParamStyle style_;
    std::string text_;
    int line_ = 1, column_ = 0;
    bool valuedLast_ = false;  // the last pair ended with ")"
};

}  // namespace configtest

#endif  // KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
