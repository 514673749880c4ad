#include "krtools/strutil.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
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

TEST(Trim, StringTrimsKeepCarriageReturn) {
    EXPECT_EQ(Trim("\tabc \r"), "abc \r");
    EXPECT_EQ(LTrim(" \n\tx y \n"), "x y \n");
    EXPECT_EQ(RTrim(" \n\tx y \n"), " \n\tx y");
    EXPECT_EQ(Trim(" \t\n"), "");
    EXPECT_EQ(Trim(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Trim, TrimStringInPlace) {
    struct Case {
        std::string buffer;  // a '#' after the trimmed length must stay
        int length;
        std::string expected;
        int expectedLength;
    } cases[] = {
        {"\tabc \r", 6, std::string("abc\0\0\0", 6), 3},
        {"  x \r\n#", 6, std::string("x\0\0\0\0\0#", 7), 1},
        {std::string(" \t\0\n!", 5), 4, std::string("\0\0\0\0!", 5), 0},
        {"\t\ra\t", 4, std::string("\ra\0\0", 4), 2},
        {" a", 0, " a", 0},
    };
    for (Case& c : cases) {
        int length = c.length;
        TrimString(&c.buffer[0], &length);
        EXPECT_EQ(length, c.expectedLength);
        EXPECT_EQ(c.buffer, c.expected);
    }
}

TEST(Compare, HexDigitsAndFixedOrders) {
    EXPECT_EQ(CPStrisxdigit(""), 1);
    EXPECT_EQ(CPStrisxdigit("0123456789abcdefABCDEF"), 1);
    EXPECT_EQ(CPStrisxdigit("0x1F"), 0);
    EXPECT_EQ(CPStrisxdigit("\xC1"), 0);

    EXPECT_EQ(Stricmp("abc", "ABD"), -1);
    EXPECT_EQ(Stricmp("abc", "AB"), 1);
    EXPECT_EQ(Stricmp("", ""), 0);
    EXPECT_EQ(Stricmp(nullptr, "a"), -1);
    EXPECT_EQ(Stricmp("a", nullptr), -1);
    // Signed bytes: 128-255 order before ASCII; no folding outside a-z; '_'
    // lies between the cases.
    EXPECT_EQ(Stricmp("\x80", "a"), -1);
    EXPECT_EQ(Stricmp("\xE4", "\xC4"), 1);
    EXPECT_EQ(Stricmp("_", "a"), 1);

    EXPECT_EQ(Memicmp("a\0b", "A\0B", 3), 0);
    EXPECT_EQ(Memicmp("a\0b", "A\0c", 3), -1);
    EXPECT_EQ(Memicmp("abX", "ABY", 2), 0);
    EXPECT_EQ(Memicmp("x", "y", -5), 0);
    EXPECT_EQ(Memicmp(nullptr, "y", 1), -1);
    EXPECT_EQ(Memicmp("\x90", "\x10", 1), -1);
}

TEST(Compare, StricmpAgreesWithStrcasecmpOnLettersAndDigits) {
    // strcasecmp folds to lower case, Stricmp to upper case; on letters,
    // digits and '@' (below both cases) the two orders agree.
    const std::string alphabet = "@0ABCabc";
    auto word = [&] {
        std::string w(random() % 7, ' ');
        for (char& c : w) c = alphabet[random() % alphabet.size()];
        return w;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string a = word(), b = word();
        ASSERT_EQ(Stricmp(a.c_str(), b.c_str()), Sign(strcasecmp(a.c_str(), b.c_str())))
            << a << " vs " << b;
        ASSERT_EQ(Memicmp(a.c_str(), b.c_str(), static_cast<int>(std::min(a.size(), b.size()))),
                  Sign(strncasecmp(a.c_str(), b.c_str(), std::min(a.size(), b.size()))));
    }
}

TEST(BoundedCopy, StrncpyAndStrncatStayInTheBuffer) {
    char b[8];
    std::fill(b, b + 8, '#');
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
    // No NUL inside the buffer: nothing is written.
    char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(Strncat(full, "x", 4), 1);
    EXPECT_EQ(std::string(full, 4), "abcd");
}

TEST(Hex, Char2HexPairsOddLengthAndInvalidDigits) {
    unsigned char bytes[3] = {0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Char2Hex("0aFf", bytes, 4), 0);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 3), std::vector<int>({0x0A, 0xFF, 0xEE}));
    EXPECT_EQ(Char2Hex("0G", bytes, 2), 1);  // G contributes its low four bits
    EXPECT_EQ(bytes[0], 0x07);
    EXPECT_EQ(Char2Hex("414", bytes, 3), 0);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 2), std::vector<int>({0x41, 0xFF}));
    EXPECT_EQ(Char2Hex("z1ab", bytes, 4), 1);  // goes on after a bad digit
    EXPECT_EQ(std::vector<int>(bytes, bytes + 2), std::vector<int>({0xA1, 0xAB}));
    EXPECT_EQ(Char2Hex("4", bytes, 1), 0);
    EXPECT_EQ(Char2Hex("zz", bytes, -2), 0);
    EXPECT_EQ(bytes[0], 0xA1);
}

TEST(Hex, Hex2CharMatchesPrintfAndRoundTrips) {
    for (size_t size = 0; size < 64; ++size) {
        const std::string data = RandomBytes(size);
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        std::string hex(2 * size + 1, '#');
        EXPECT_EQ(Hex2Char(bytes, &hex[0], static_cast<int>(size)), bytes);
        EXPECT_EQ(hex.back(), '#');  // no terminating NUL
        hex.pop_back();
        std::string expected;
        char pair[3];
        for (unsigned char b : data) expected.append(pair, std::snprintf(pair, 3, "%02X", b));
        EXPECT_EQ(hex, expected);

        std::string back(size + 1, '#');
        EXPECT_EQ(Char2Hex(hex.c_str(), reinterpret_cast<unsigned char*>(&back[0]),
                           static_cast<int>(hex.size())),
                  0);
        EXPECT_EQ(back, data + "#");
    }
}

std::string Edc(bool encode, const std::string& in) {
    std::string out(in.size() + (in.size() + 6) / 7 + 1, '#');
    const auto* from = reinterpret_cast<const unsigned char*>(in.data());
    auto* to = reinterpret_cast<unsigned char*>(&out[0]);
    const auto length = static_cast<unsigned int>(in.size());
    const int n = encode ? Char2EDC(from, to, length) : EDC2Char(from, to, length);
    const size_t expected =
        encode ? in.size() + (in.size() + 6) / 7 : in.size() - (in.size() + 7) / 8;
    EXPECT_EQ(n, static_cast<int>(expected));
    EXPECT_EQ(out[expected], '#');  // nothing written past the result
    out.resize(expected);
    return out;
}

TEST(EDC, HeaderFlagsAndRoundTrip) {
    const std::string seven("\x00\x01\x02\x03\x04\x05\x06", 7);
    EXPECT_EQ(Edc(true, seven), "\xFF@ABCDEF");
    EXPECT_EQ(Edc(false, "\xFF@ABCDEF"), seven);
    EXPECT_EQ(Edc(true, "A"), "@A");
    EXPECT_EQ(Edc(true, "ABC\x01XYZw"),
              "\x48"
              "ABCAXYZ@w");  // position 3 flags 0x08
    for (size_t size = 0; size < 100; ++size) {
        const std::string data = RandomBytes(size);
        const std::string stuffed = Edc(true, data);
        for (unsigned char b : stuffed) ASSERT_NE(b & 0x40, 0);
        EXPECT_EQ(Edc(false, stuffed), data);
        Edc(false, data);  // any bytes decode within bounds
    }
}

// Bit-by-bit CRC-16 with polynomial 0x1021, MSB first.
unsigned short BitwiseCrc(unsigned int crc, const std::string& data) {
    for (unsigned char byte : data) {
        crc ^= static_cast<unsigned int>(byte) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1) & 0xFFFF;
    }
    return static_cast<unsigned short>(crc);
}

// AccumulateCRC over `data`, fed in calls that end at each of `cuts`.
unsigned short Crc(unsigned short crc, const std::string& data, std::vector<size_t> cuts = {}) {
    cuts.push_back(data.size());
    size_t at = 0;
    for (size_t cut : cuts) {
        crc = AccumulateCRC(crc, reinterpret_cast<const unsigned char*>(data.data()) + at,
                            static_cast<unsigned short>(cut - at));
        at = cut;
    }
    return crc;
}

TEST(AccumulateCRC, CheckValuesAndAnyChunking) {
    EXPECT_EQ(Crc(0, "123456789"), 0x31C3);  // CRC-16/XMODEM
    EXPECT_EQ(Crc(0, "123456789", {4}), 0x31C3);
    EXPECT_EQ(Crc(0xFFFF, "123456789", {1, 2, 3, 8}), 0x29B1);  // CRC-16/CCITT-FALSE
    EXPECT_EQ(AccumulateCRC(0x1234, nullptr, 0), 0x1234);
    for (int round = 0; round < 300; ++round) {
        const std::string data = RandomBytes(random() % 3000);
        std::vector<size_t> cuts;
        for (int i = round % 6; i > 0; --i) cuts.push_back(random() % (data.size() + 1));
        std::sort(cuts.begin(), cuts.end());
        const unsigned short start = round % 2 == 0 ? 0 : 0xFFFF;
        ASSERT_EQ(Crc(start, data, cuts), BitwiseCrc(start, data));
    }
}

TEST(AccumulateCRC, AgreesWithPythonCrcHqx) {
    testutil::TempDir dir;
    std::string script = "import binascii\n";
    std::vector<std::string> samples;
    for (int i = 0; i < 40; ++i) {
        samples.push_back(RandomBytes(static_cast<size_t>(i * 131 % 2049)));
        testutil::WriteFile(dir.File(std::to_string(i)), samples.back());
        script += "d = open('" + dir.File(std::to_string(i)) + "', 'rb').read()\n" +
                  "print(binascii.crc_hqx(d, 0), binascii.crc_hqx(d, 0xFFFF))\n";
    }
    testutil::WriteFile(dir.File("oracle.py"), script);
    const auto result = testutil::Run("python3 " + testutil::ShellQuote(dir.File("oracle.py")));
    ASSERT_EQ(result.status, 0);
    std::istringstream lines(result.output);
    for (const std::string& data : samples) {
        unsigned int xmodem = 0, ccittFalse = 0;
        ASSERT_TRUE(lines >> xmodem >> ccittFalse);
        EXPECT_EQ(Crc(0, data, {data.size() / 3}), xmodem);
        EXPECT_EQ(Crc(0xFFFF, data), ccittFalse);
    }
}

}  // namespace
