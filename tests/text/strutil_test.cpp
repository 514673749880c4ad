#include "krtools/strutil.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "testutil.h"

namespace {

std::mt19937 random(20240611);

std::string RandomBytes(size_t length) {
    std::string data(length, '\0');
    for (char& c : data) c = static_cast<char>(random());
    return data;
}

int Sign(int value) { return (value > 0) - (value < 0); }

TEST(Trim, StringTrimsAndTrimStringInPlace) {
    EXPECT_EQ(Trim("\tabc \r"), "abc \r");  // a carriage return is kept
    EXPECT_EQ(LTrim(" \n\tx y \n"), "x y \n");
    EXPECT_EQ(RTrim(" \n\tx y \n"), " \n\tx y");
    EXPECT_EQ(Trim(" \t\n"), "");
    EXPECT_EQ(Trim(std::string("a\0b", 3)), std::string("a\0b", 3));
    // TrimString: buffer, length, buffer after, length after; a '#' past the length stays.
    const std::tuple<std::string, int, std::string, int> cases[] = {
        {"\tabc \r", 6, std::string("abc\0\0\0", 6), 3},
        {"  x \r\n#", 6, std::string("x\0\0\0\0\0#", 7), 1},
        {std::string(" \t\0\n!", 5), 4, std::string("\0\0\0\0!", 5), 0},
        {"\t\ra\t", 4, std::string("\ra\0\0", 4), 2}};
    for (auto [buffer, length, expected, expectedLength] : cases) {
        TrimString(&buffer[0], &length);
        EXPECT_EQ(length, expectedLength);
        EXPECT_EQ(buffer, expected);
    }
}

TEST(Compare, FixedOrdersAndStrcasecmpOnLettersAndDigits) {
    EXPECT_EQ(CPStrisxdigit(""), 1);
    EXPECT_EQ(CPStrisxdigit("0123456789abcdefABCDEF"), 1);
    EXPECT_EQ(CPStrisxdigit("0x1F"), 0);
    EXPECT_EQ(CPStrisxdigit("\xC1"), 0);
    EXPECT_EQ(Stricmp(nullptr, "a"), -1);
    EXPECT_EQ(Stricmp("a", nullptr), -1);
    // Signed bytes: 128-255 before ASCII; no folding outside a-z; '_' between the cases.
    EXPECT_EQ(Stricmp("\x80", "a"), -1);
    EXPECT_EQ(Stricmp("\xE4", "\xC4"), 1);
    EXPECT_EQ(Stricmp("_", "a"), 1);
    EXPECT_EQ(Memicmp("a\0b", "A\0B", 3), 0);
    EXPECT_EQ(Memicmp("a\0b", "A\0c", 3), -1);
    EXPECT_EQ(Memicmp("x", "y", -5), 0);
    EXPECT_EQ(Memicmp(nullptr, "y", 1), -1);
    EXPECT_EQ(Memicmp("\x90", "\x10", 1), -1);
    // strcasecmp folds to lower case, Stricmp to upper case; on letters,
    // digits and '@' (below both cases) the two orders agree.
    auto word = [] {
        std::string w(random() % 7, ' ');
        for (char& c : w) c = "@0ABCabc"[random() % 8];
        return w;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string a = word(), b = word();
        const size_t shorter = std::min(a.size(), b.size());
        ASSERT_EQ(Stricmp(a.c_str(), b.c_str()), Sign(strcasecmp(a.c_str(), b.c_str())))
            << a << " vs " << b;
        ASSERT_EQ(Memicmp(a.c_str(), b.c_str(), static_cast<int>(shorter)),
                  Sign(strncasecmp(a.c_str(), b.c_str(), shorter)));
    }
}

TEST(BoundedCopy, StrncpyAndStrncatStayInTheBuffer) {
    char b[9] = "########";
    EXPECT_EQ(Strncpy(b, "hello", 4), 1);
    EXPECT_EQ(std::string(b, 8), std::string("hel\0####", 8));
    EXPECT_EQ(Strncpy(b, "hi", 4), 0);
    EXPECT_EQ(std::string(b, 8), std::string("hi\0\0####", 8));
    EXPECT_EQ(Strncpy(b, "x", 0), 1);
    EXPECT_EQ(Strncpy(b, "", -1), 0);
    EXPECT_EQ(std::string(b, 8), std::string("hi\0\0####", 8));
    EXPECT_EQ(Strncat(b, "cd", 8), 0);
    EXPECT_EQ(std::string(b, 8), std::string("hicd\0\0\0\0", 8));
    EXPECT_EQ(Strncat(b, "efgh", 8), 1);
    EXPECT_EQ(std::string(b, 8), std::string("hicdefg\0", 8));
    EXPECT_EQ(Strncat(b, "z", 8), 1);
    EXPECT_EQ(Strncat(b, "", 8), 0);
    char full[4] = {'a', 'b', 'c', 'd'};  // no NUL inside: nothing is written
    EXPECT_EQ(Strncat(full, "x", 4), 1);
    EXPECT_EQ(Strncat(full, "", 4) + Strncat(full, "", 0), 0);
    EXPECT_EQ(Strncat(full, "x", 0), 1);
    EXPECT_EQ(std::string(full, 4), "abcd");
}

TEST(Hex, Hex2CharMatchesPrintfAndChar2HexReadsItBack) {
    for (size_t size = 0; size < 64; ++size) {
        const std::string data = RandomBytes(size);
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        std::string hex(2 * size + 1, '#'), expected, back(size + 1, '#');
        EXPECT_EQ(Hex2Char(bytes, &hex[0], static_cast<int>(size)), bytes);
        char pair[3];
        for (unsigned char b : data) expected += (std::snprintf(pair, 3, "%02X", b), pair);
        EXPECT_EQ(hex, expected + "#");  // no terminating NUL
        auto* out = reinterpret_cast<unsigned char*>(&back[0]);
        EXPECT_EQ(Char2Hex(expected.c_str(), out, static_cast<int>(expected.size())), 0);
        EXPECT_EQ(back, data + "#");
    }
    unsigned char bytes[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Char2Hex("0aFf", bytes, 4), 0);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 3), std::vector<int>({0x0A, 0xFF, 0xEE}));
    EXPECT_EQ(Char2Hex("0G", bytes, 2), 1);  // G contributes its low four bits
    EXPECT_EQ(bytes[0], 0x07);
    EXPECT_EQ(Char2Hex("414", bytes, 3), 0);  // the odd digit is ignored
    EXPECT_EQ(std::vector<int>(bytes, bytes + 2), std::vector<int>({0x41, 0xFF}));
    EXPECT_EQ(Char2Hex("z1ab", bytes, 4), 1);  // goes on after a bad digit
    EXPECT_EQ(std::vector<int>(bytes, bytes + 2), std::vector<int>({0xA1, 0xAB}));
    EXPECT_EQ(Char2Hex(" :{~", bytes, 4), 1);  // below, between and above the digits
    EXPECT_EQ(std::vector<int>(bytes, bytes + 2), std::vector<int>({0x0A, 0xBE}));
    EXPECT_EQ(Char2Hex("z1ab", bytes, 4), 1);
    EXPECT_EQ(Char2Hex("4", bytes, 1) + Char2Hex("zz", bytes, -2), 0);
    EXPECT_EQ(bytes[0], 0xA1);
}

// Char2EDC or EDC2Char of |in|; checks the length and that nothing is written past it.
std::string Edc(bool encode, const std::string& in) {
    std::string out(in.size() + (in.size() + 6) / 7 + 1, '#');
    const auto* from = reinterpret_cast<const unsigned char*>(in.data());
    auto* to = reinterpret_cast<unsigned char*>(&out[0]);
    const auto length = static_cast<unsigned int>(in.size());
    const int n = encode ? Char2EDC(from, to, length) : EDC2Char(from, to, length);
    const size_t expected =
        encode ? in.size() + (in.size() + 6) / 7 : in.size() - (in.size() + 7) / 8;
    EXPECT_EQ(n, static_cast<int>(expected));
    EXPECT_EQ(out[expected], '#');
    return out.substr(0, expected);
}

TEST(EDC, HeaderFlagsAndRoundTrip) {
    const std::string seven("\x00\x01\x02\x03\x04\x05\x06", 7);
    EXPECT_EQ(Edc(true, seven), "\xFF@ABCDEF");
    EXPECT_EQ(Edc(false, "\xFF@ABCDEF"), seven);
    EXPECT_EQ(Edc(true, "A"), "@A");
    EXPECT_EQ(Edc(true, "ABC\x01XYZw"), "HABCAXYZ@w");  // header 0x48: position 3 flagged
    for (size_t size = 0; size < 100; ++size) {
        const std::string data = RandomBytes(size);
        const std::string stuffed = Edc(true, data);
        for (unsigned char b : stuffed) ASSERT_NE(b & 0x40, 0);
        EXPECT_EQ(Edc(false, stuffed), data);
        Edc(false, data);  // any bytes decode within bounds
    }
}

}  // namespace
