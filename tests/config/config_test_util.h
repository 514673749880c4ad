// Configuration test helpers: INI dumps, the configparser oracle, random INI
// text, the file object's error texts and generated parameter files.
#ifndef KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
#define KRTOOLS_TESTS_CONFIG_TEST_UTIL_H

#include <algorithm>
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
    for (size_t at = 0; at + 1 < list.size(); at += names.back().size() + 1) {
        names.push_back(list.substr(at, list.find('\0', at) - at));
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
    const std::string script = KRTOOLS_SOURCE_DIR "/tests/config/ini_oracle.py";
    const auto result =
        testutil::Run("python3 " + testutil::ShellQuote(script) + " " + testutil::ShellQuote(path));
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
    for (int i = 0; i < 30; ++i) keys.push_back("k" + RandomText(rng, nameChars, 0, 9) + "k");
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
            text += keys[rng() % keys.size()] + blanks(0, 2) + "=" + blanks(0, 2);
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
};

class ParamsGenerator {
public:
    ParamsGenerator(unsigned seed, ParamStyle style) : rng_(seed), style_(style) {}

    // `closed` records ended by ";", then one (maybe empty) ended by the file.
    GeneratedParams Generate(int closed) {
        GeneratedParams out;
        for (int r = 0; r <= closed; ++r) {
            std::string& record = out.records.emplace_back();
            for (int p = Range(0, 6); p > 0; --p) record += PutPair(record.empty());
            if (r == closed) break;
            text_ += Blanks(0, 2) + ";" + (Chance(40) ? Blanks(0, 2) + "junk(x) y=1" : "") + "\n";
        }
        out.text = text_ + (Chance(50) ? "\n" : "");
        return out;
    }

private:
    int Range(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    std::string Blanks(int low, int high) { return RandomText(rng_, "   \t", low, high); }
    std::string Keyword() {
        return RandomText(rng_, "abcdefghKLMNXYZ_", 1, 1) +
               RandomText(rng_, "abcdefghKLMNXYZ_0123456789.-", 0, 7);
    }

    // Moves to where the next pair may start: blanks on the same line (maybe
    // none after a ")"), or a line break, maybe after comments or blank lines.
    void Separate(bool firstOfRecord) {
        const bool lineStart = text_.empty() || text_.back() == '\n';
        const int kind = Range(0, 99);
        if (lineStart || (firstOfRecord && Chance(30))) {
            text_ += (lineStart ? "" : "\n") + Blanks(0, 3);
        } else if (kind < 70) {
            const bool afterValue = style_ != ParamStyle::kEqual && text_.back() == ')';
            text_ += afterValue && kind < 10 ? "" : Blanks(1, 3);
        } else {
            text_ += (Chance(40) ? Blanks(1, 2) + "# note (x ; y=1" : "") + "\n";
            while (Chance(30))
                text_ += (Chance(50) ? Blanks(0, 4) : Blanks(0, 2) + "#" + Keyword()) + "\n";
            text_ += Blanks(0, 3);
        }
    }

    // Appends one pair and returns what the parser reports for it.
    std::string PutPair(bool firstOfRecord) {
        Separate(firstOfRecord);
        const size_t column = text_.size() - (text_.rfind('\n') + 1);
        const auto line = 1 + std::count(text_.begin(), text_.end(), '\n');
        std::string keyword = Keyword(), value;
        text_ += keyword;
        const int kind = Range(0, 99);  // below 20: a keyword alone
        if (kind >= 20 && style_ == ParamStyle::kEqual) text_ += "=" + EqualValue(value);
        if (kind >= 20 && style_ != ParamStyle::kEqual) {
            text_ += "(" + (kind < 30 ? "" : ParenValue(value, 0)) + ")";
        }
        return std::to_string(line) + ":" + std::to_string(column) + " " + keyword + "=" + value +
               "\n";
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
            std::string c =
                RandomText(rng_, escaped && Chance(60) ? "()\\" : "abcXYZ019 #;=,.'\"", 1, 1);
            if (style_ == ParamStyle::kParen && Chance(5)) c = "\\";
            raw += (escaped ? "\\" : "") + c;
            value += c;
        }
        return raw;
    }

    // Unquoted, or quoted with blanks, "#", ";" and the other quote inside.
    std::string EqualValue(std::string& value) {
        if (Chance(60)) return value = RandomText(rng_, "abcXYZ019=.,()/:+", 1, 10);
        const char quote = Chance(50) ? '"' : '\'';
        value =
            RandomText(rng_, std::string("abc XYZ #;=(),\t") + (quote == '"' ? '\'' : '"'), 0, 12);
        return quote + value + quote;
    }

    std::mt19937 rng_;
    ParamStyle style_;
    std::string text_;
};

}  // namespace configtest

#endif  // KRTOOLS_TESTS_CONFIG_TEST_UTIL_H
