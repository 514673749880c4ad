// Generates parameter files of known content: records of keyword(value) or
// keyword=value pairs with random blanks, comments, line breaks and escapes,
// and the pairs "line:column keyword=value\n" a correct parser delivers.
#ifndef KRTOOLS_TESTS_CONFIG_PARAMS_GENERATOR_H
#define KRTOOLS_TESTS_CONFIG_PARAMS_GENERATOR_H

#include <random>
#include <string>
#include <vector>

namespace configtest {

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
                Put(Blanks(0, 2) + ";" + (Chance(40) ? Blanks(0, 2) + "dropped(x) y=1" : ""));
                NewLine();
            }
            out.records.push_back(record);
        }
        if (Chance(50)) NewLine();
        out.text = text_;
        return out;
    }

private:
    int Range(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    char Pick(const std::string& alphabet) { return alphabet[rng_() % alphabet.size()]; }
    void Put(const std::string& s) {
        text_ += s;
        column_ += static_cast<int>(s.size());
    }
    void NewLine() {
        text_ += '\n';
        ++line_;
        column_ = 0;
        valuedLast_ = false;
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
    // after a ")"), or a line break, maybe after a comment, then comment or
    // blank lines.
    void Separate(bool firstOfRecord) {
        if (column_ == 0 || (firstOfRecord && Chance(30))) {
            if (column_ != 0) NewLine();
            return Put(Blanks(0, 3));
        }
        const int kind = Range(0, 99);
        if (kind < 70) return Put(!valuedLast_ || kind >= 10 ? Blanks(1, 3) : "");
        if (Chance(40)) Put(Blanks(1, 2) + "# note (x ; y=1");
        NewLine();
        for (; Chance(30); NewLine())
            Put(Chance(50) ? Blanks(0, 4) : Blanks(0, 2) + "#" + Keyword());
        Put(Blanks(0, 3));
    }

    std::string PutPair(bool firstOfRecord) {
        Separate(firstOfRecord);
        const std::string where = std::to_string(line_) + ":" + std::to_string(column_) + " ";
        std::string keyword = Keyword(), value, raw = keyword;
        const int kind = Range(0, 99);
        valuedLast_ = kind >= 20 && style_ != ParamStyle::kEqual;
        if (kind < 20) {
            // a keyword alone
        } else if (style_ == ParamStyle::kEqual) {
            raw += "=" + EqualValue(value);
        } else {
            raw += "(" + (kind < 30 ? "" : ParenValue(value, 0)) + ")";
        }
        Put(raw);
        return where + keyword + "=" + value + "\n";
    }

    // Blanks, "#", ";" and balanced groups; with escapes on also escaped
    // parentheses, backslashes and ordinary characters.
    std::string ParenValue(std::string& value, int depth) {
        const std::string plain = "abcXYZ019 #;=,.'\"";
        std::string raw;
        for (int n = Range(1, 8); n > 0; --n) {
            const int kind = Range(0, 99);
            if (kind < 12 && depth < 3) {
                std::string inner;
                raw += "(" + ParenValue(inner, depth + 1) + ")";
                value += "(" + inner + ")";
            } else if (kind < 30 && style_ == ParamStyle::kParenEscapes) {
                const char c = Chance(60) ? Pick("()\\") : Pick(plain);
                raw += std::string("\\") + c;
                value += c;
            } else {
                const char c = style_ == ParamStyle::kParen && Chance(5) ? '\\' : Pick(plain);
                raw += c;
                value += c;
            }
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

#endif  // KRTOOLS_TESTS_CONFIG_PARAMS_GENERATOR_H
