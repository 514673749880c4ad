// Generates parameter files of known content: records of keyword(value) or
// keyword=value pairs laid out with random blanks, comments, line breaks and
// escapes, together with the pairs (line, column, keyword, value) a correct
// parser delivers for each record.
#ifndef KRTOOLS_TESTS_CONFIG_PARAMS_GENERATOR_H
#define KRTOOLS_TESTS_CONFIG_PARAMS_GENERATOR_H

#include <random>
#include <string>
#include <vector>

namespace configtest {

struct ExpectedPair {
    int line;
    int column;
    std::string keyword;
    std::string value;
};

struct GeneratedParams {
    std::string text;
    std::vector<std::vector<ExpectedPair>> records;
    bool lastRecordClosed = false;
};

enum class ParamStyle { kParen, kParenEscapes, kEqual };

class ParamsGenerator {
public:
    ParamsGenerator(unsigned seed, ParamStyle style) : rng_(seed), style_(style) {}

    GeneratedParams Generate(int recordCount) {
        GeneratedParams out;
        for (int r = 0; r < recordCount; ++r) {
            std::vector<ExpectedPair> record;
            const int pairs = Range(0, 6);
            for (int p = 0; p < pairs; ++p) record.push_back(PutPair(p == 0));
            const bool closed = r + 1 < recordCount || Chance(50);
            if (closed) CloseRecord();
            out.records.push_back(record);
            out.lastRecordClosed = closed;
        }
        if (Chance(50)) NewLine();
        out.text = text_;
        return out;
    }

private:
    int Range(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int percent) { return Range(0, 99) < percent; }
    char Pick(const std::string& alphabet) {
        return alphabet[static_cast<size_t>(Range(0, static_cast<int>(alphabet.size()) - 1))];
    }

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

    // Moves to where the next pair may start: blanks on the same line, or a
    // line break (maybe after a comment) followed by comment or blank lines.
    void Separate(bool firstOfRecord) {
        if (column_ == 0 || (firstOfRecord && Chance(30))) {
            if (column_ != 0) NewLine();
            Put(Blanks(0, 3));
            return;
        }
        const int kind = Range(0, 99);
        if (kind < 70) {
            // A closing parenthesis may be followed by the next keyword directly.
            if (!valuedLast_ || kind >= 10) Put(Blanks(1, 3));
            return;
        }
        if (Chance(40)) Put(Blanks(1, 2) + "# note (x ; y=1");
        NewLine();
        while (Chance(30)) {
            Put(Chance(50) ? Blanks(0, 4) : Blanks(0, 2) + "#" + Keyword());
            NewLine();
        }
        Put(Blanks(0, 3));
    }

    std::string Keyword() {
        const std::string first = "abcdefghKLMNXYZ_";
        const std::string rest = "abcdefghKLMNXYZ_0123456789.-";
        std::string k(1, Pick(first));
        for (int n = Range(0, 7); n > 0; --n) k += Pick(rest);
        return k;
    }

    ExpectedPair PutPair(bool firstOfRecord) {
        Separate(firstOfRecord);
        ExpectedPair pair{line_, column_, Keyword(), ""};
        std::string raw = pair.keyword;
        const int kind = Range(0, 99);
        valuedLast_ = kind >= 20 && style_ != ParamStyle::kEqual;
        if (kind < 20) {
            // a keyword alone
        } else if (style_ == ParamStyle::kEqual) {
            raw += "=" + EqualValue(pair.value);
        } else if (kind < 30) {
            raw += "()";
        } else {
            raw += "(" + ParenValue(pair.value, 0) + ")";
        }
        Put(raw);
        return pair;
    }

    // A value with blanks, "#", ";" and balanced groups; with escapes on,
    // escaped parentheses, backslashes and ordinary characters as well.
    std::string ParenValue(std::string& value, int depth) {
        const std::string plain = "abcXYZ019 #;=,.'\"";
        std::string raw;
        for (int n = Range(1, 8); n > 0; --n) {
            const int kind = Range(0, 99);
            if (kind < 12 && depth < 3) {
                std::string inner;
                const std::string innerRaw = ParenValue(inner, depth + 1);
                raw += "(" + innerRaw + ")";
                value += "(" + inner + ")";
            } else if (kind < 30 && style_ == ParamStyle::kParenEscapes) {
                const char c = Chance(60) ? Pick("()\\") : Pick(plain);
                raw += std::string("\\") + c;
                value += c;
            } else {
                char c = Pick(plain);
                if (c == '\\' && style_ == ParamStyle::kParenEscapes) c = 'q';
                if (style_ == ParamStyle::kParen && Chance(5)) c = '\\';
                raw += c;
                value += c;
            }
        }
        return raw;
    }

    // An unquoted value, or a quoted one holding blanks, "#", ";" and the
    // other quote character.
    std::string EqualValue(std::string& value) {
        if (Chance(40)) {
            const char quote = Chance(50) ? '"' : '\'';
            const std::string inside =
                std::string("abc XYZ #;=(),\t") + (quote == '"' ? '\'' : '"');
            for (int n = Range(0, 12); n > 0; --n) value += Pick(inside);
            return quote + value + quote;
        }
        const std::string plain = "abcXYZ019=.,()/:+";
        for (int n = Range(1, 10); n > 0; --n) value += Pick(plain);
        return value;
    }

    void CloseRecord() {
        Put(Blanks(0, 2) + ";");
        if (Chance(40)) Put(Blanks(0, 2) + "dropped(x) y=1");
        NewLine();
    }

    std::mt19937 rng_;
    ParamStyle style_;
    std::string text_;
    int line_ = 1;
    int column_ = 0;
    // The last pair ended with ")".
    bool valuedLast_ = false;
};

}  // namespace configtest

#endif  // KRTOOLS_TESTS_CONFIG_PARAMS_GENERATOR_H
