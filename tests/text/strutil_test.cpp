#include "krtools/strutil.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

std::mt19937& Random() {
    static std::mt19937 engine(20240611);
    return engine;
}

std::string RandomBytes(size_t length, int low = 0, int high = 255) {
    std::uniform_int_distribution<int> byte(low, high);
    std::string data(length, '\0');
    for (char& c : data) {
        c = static_cast<char>(byte(Random()));
    }
    return data;
}

int Sign(int value) { return (value > 0) - (value < 0); }

// ---------------------------------------------------------------- trimming

TEST(Trim, CarriageReturnIsNotWhiteSpaceButTrimStringRemovesIt) {
    const std::string text = "\tabc \r";
    EXPECT_EQ(Trim(text), "abc \r");
    std::vector<char> buffer(text.begin(), text.end());
    int length = static_cast<int>(buffer.size());
    TrimString(buffer.data(), &length);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string("abc\0\0\0", 6));
}

TEST(Trim, LeftRightAndAllBlankTexts) {
    EXPECT_EQ(LTrim(" \n\tx y \n"), "x y \n");
    EXPECT_EQ(RTrim(" \n\tx y \n"), " \n\tx y");
    EXPECT_EQ(Trim(" \t\n"), "");
    EXPECT_EQ(LTrim(""), "");
    EXPECT_EQ(Trim(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TrimString, MovesKeptBytesToFrontAndClearsTheRest) {
    char buffer[] = {' ', ' ', 'x', ' ', '\r', '\n', '#'};
    int length = 6;
    TrimString(buffer, &length);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(std::string(buffer, 7), std::string("x\0\0\0\0\0#", 7));
}

TEST(TrimString, AllSpaceAndZeroLength) {
    char blank[] = {' ', '\t', '\0', '\n', '!'};
    int length = 4;
    TrimString(blank, &length);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(std::string(blank, 5), std::string("\0\0\0\0!", 5));

    char untouched[] = {' ', 'a'};
    length = 0;
    TrimString(untouched, &length);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(untouched[0], ' ');
}

TEST(TrimString, LeadingCarriageReturnIsKept) {
    char buffer[] = {'\t', '\r', 'a', '\t'};
    int length = 4;
    TrimString(buffer, &length);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(std::string(buffer, 4), std::string("\ra\0\0", 4));
}

// ------------------------------------------------------------- comparisons

TEST(CPStrisxdigit, AcceptsOnlyHexDigits) {
    EXPECT_EQ(CPStrisxdigit(""), 1);
    EXPECT_EQ(CPStrisxdigit("0aF9"), 1);
    EXPECT_EQ(CPStrisxdigit("0123456789abcdefABCDEF"), 1);
    EXPECT_EQ(CPStrisxdigit("0x1F"), 0);
    EXPECT_EQ(CPStrisxdigit("12 "), 0);
    EXPECT_EQ(CPStrisxdigit("\xC1"), 0);
}

TEST(Stricmp, OrderAndNulls) {
    EXPECT_EQ(Stricmp("abc", "ABD"), -1);
    EXPECT_EQ(Stricmp("abc", "AB"), 1);
    EXPECT_EQ(Stricmp("AB", "abc"), -1);
    EXPECT_EQ(Stricmp("", ""), 0);
    EXPECT_EQ(Stricmp("Hello", "hELLO"), 0);
    EXPECT_EQ(Stricmp(nullptr, "a"), -1);
    EXPECT_EQ(Stricmp("a", nullptr), -1);
    EXPECT_EQ(Stricmp(nullptr, nullptr), -1);
}

TEST(Stricmp, HighBytesOrderBeforeAscii) {
    EXPECT_EQ(Stricmp("\x80", "a"), -1);
    EXPECT_EQ(Stricmp("a", "\xFF"), 1);
    EXPECT_EQ(Stricmp("\xE4", "\xC4"), 1);  // no folding outside a-z
    // '_' (0x5F) lies between the upper- and lower-case letters.
    EXPECT_EQ(Stricmp("_", "a"), 1);
}

TEST(Stricmp, AgreesWithStrcasecmpOnLettersDigitsAndAt) {
    // strcasecmp folds to lower case, Stricmp to upper case; on letters,
    // digits and '@' (below both cases) the two orders agree.
    const std::string alphabet = "@0ABCabc";
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 6);
    auto randomWord = [&] {
        std::string word;
        for (int n = length(Random()); n > 0; --n) {
            word += alphabet[pick(Random())];
        }
        return word;
    };
    for (int i = 0; i < 5000; ++i) {
        const std::string a = randomWord();
        const std::string b = randomWord();
        EXPECT_EQ(Stricmp(a.c_str(), b.c_str()), Sign(strcasecmp(a.c_str(), b.c_str())))
            << a << " vs " << b;
    }
}

TEST(Memicmp, ComparesNulBytesAndHonoursCount) {
    EXPECT_EQ(Memicmp("a\0b", "A\0B", 3), 0);
    EXPECT_EQ(Memicmp("a\0b", "A\0c", 3), -1);
    EXPECT_EQ(Memicmp("a\0c", "A\0b", 3), 1);
    EXPECT_EQ(Memicmp("abX", "ABY", 2), 0);
    EXPECT_EQ(Memicmp("x", "y", 0), 0);
    EXPECT_EQ(Memicmp("x", "y", -5), 0);
    EXPECT_EQ(Memicmp(nullptr, "y", 1), -1);
    EXPECT_EQ(Memicmp("\x90", "\x10", 1), -1);
}

// ------------------------------------------------------------------ copies

TEST(Strncpy, CutsAndPadsWithNul) {
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Strncpy(buffer, "hello", 4), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("hel\0####", 8));

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Strncpy(buffer, "hi", 4), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("hi\0\0####", 8));

    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(Strncpy(buffer, "abc", 4), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("abc\0####", 8));
}

TEST(Strncpy, SizeBelowOneWritesNothing) {
    char buffer[2] = {'#', '#'};
    EXPECT_EQ(Strncpy(buffer, "x", 0), 1);
    EXPECT_EQ(Strncpy(buffer, "", -1), 0);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(Strncpy(buffer, "x", 1), 1);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0#", 2));
}

TEST(Strncat, AppendsWithinTheWholeBuffer) {
    char buffer[8] = {'a', 'b', '\0', '#', '#', '#', '#', '#'};
    EXPECT_EQ(Strncat(buffer, "cd", 8), 0);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcd\0\0\0\0", 8));
    EXPECT_EQ(Strncat(buffer, "efgh", 8), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcdefg\0", 8));
    EXPECT_EQ(Strncat(buffer, "", 8), 0);
    EXPECT_EQ(Strncat(buffer, "z", 8), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("abcdefg\0", 8));
}

TEST(Strncat, UnterminatedDestinationIsLeftAlone) {
    char buffer[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(Strncat(buffer, "x", 4), 1);
    EXPECT_EQ(Strncat(buffer, "", 4), 0);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
}

// ------------------------------------------------------------- hexadecimal

TEST(Char2Hex, PairsOddLengthAndInvalidDigits) {
    unsigned char bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(Char2Hex("0aFf", bytes, 4), 0);
    EXPECT_EQ(bytes[0], 0x0A);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0xEE);

    EXPECT_EQ(Char2Hex("0G", bytes, 2), 1);
    EXPECT_EQ(bytes[0], 0x07);

    bytes[1] = 0xEE;
    EXPECT_EQ(Char2Hex("414", bytes, 3), 0);
    EXPECT_EQ(bytes[0], 0x41);
    EXPECT_EQ(bytes[1], 0xEE);

    // An invalid digit early on does not stop the conversion.
    EXPECT_EQ(Char2Hex("z1ab", bytes, 4), 1);
    EXPECT_EQ(bytes[0], 0xA1);
    EXPECT_EQ(bytes[1], 0xAB);
}

TEST(Char2Hex, ShortOrNegativeLengthWritesNothing) {
    unsigned char byte = 0xEE;
    EXPECT_EQ(Char2Hex("4", &byte, 1), 0);
    EXPECT_EQ(Char2Hex("zz", &byte, -2), 0);
    EXPECT_EQ(byte, 0xEE);
}

TEST(Hex2Char, MatchesPrintfAndRoundTrips) {
    for (int round = 0; round < 200; ++round) {
        const std::string data = RandomBytes(round % 40);
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        std::string hex(2 * data.size() + 1, '#');
        EXPECT_EQ(Hex2Char(bytes, hex.data(), static_cast<int>(data.size())), bytes);
        EXPECT_EQ(hex.back(), '#');  // no terminating NUL
        hex.pop_back();

        std::string expected;
        for (unsigned char b : data) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", b);
            expected += pair;
        }
        EXPECT_EQ(hex, expected);

        std::vector<unsigned char> back(data.size() + 1, 0xEE);
        EXPECT_EQ(Char2Hex(hex.c_str(), back.data(), static_cast<int>(hex.size())), 0);
        EXPECT_EQ(std::string(back.begin(), back.end() - 1), data);
        EXPECT_EQ(back.back(), 0xEE);
    }
}

// ----------------------------------------------------------- byte stuffing

std::string Stuff(const std::string& data) {
    std::string out(data.size() + (data.size() + 6) / 7 + 1, '#');
    const int n = Char2EDC(reinterpret_cast<const unsigned char*>(data.data()),
                           reinterpret_cast<unsigned char*>(out.data()),
                           static_cast<unsigned int>(data.size()));
    EXPECT_EQ(out.back(), '#');
    EXPECT_EQ(n, static_cast<int>(out.size()) - 1);
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

std::string Unstuff(const std::string& data) {
    std::string out(data.size() + 1, '#');
    const int n = EDC2Char(reinterpret_cast<const unsigned char*>(data.data()),
                           reinterpret_cast<unsigned char*>(out.data()),
                           static_cast<unsigned int>(data.size()));
    EXPECT_EQ(n, static_cast<int>(data.size() - (data.size() + 7) / 8));
    EXPECT_EQ(out[n], '#');
    out.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return out;
}

TEST(EDC, HeaderFlagsOfOneFullGroup) {
    EXPECT_EQ(Stuff(std::string("\x00\x01\x02\x03\x04\x05\x06", 7)), "\xFF@ABCDEF");
    EXPECT_EQ(Stuff("A"), "@A");
    EXPECT_EQ(Unstuff("\xFF@ABCDEF"), std::string("\x00\x01\x02\x03\x04\x05\x06", 7));
    EXPECT_EQ(Unstuff("@A"), "A");
    EXPECT_EQ(Stuff(""), "");
    // Position 3 alone lacks the bit: flag 0x08.
    EXPECT_EQ(Stuff("ABC\x01"
                    "EFGH"),
              "\x48"
              "ABCAEFG@H");
}

TEST(EDC, EveryOutputByteHasTheMarkerAndRoundTrips) {
    for (size_t length = 0; length < 100; ++length) {
        const std::string data = RandomBytes(length);
        const std::string stuffed = Stuff(data);
        for (unsigned char b : stuffed) {
            ASSERT_NE(b & 0x40, 0);
        }
        EXPECT_EQ(Unstuff(stuffed), data);
    }
}

TEST(EDC, DecodingArbitraryBytesStaysInBounds) {
    for (size_t length = 0; length < 40; ++length) {
        const std::string junk = RandomBytes(length);
        Unstuff(junk);
    }
}

// ------------------------------------------------------------------ CRC-16

// Bit-by-bit CRC-16 with polynomial 0x1021, MSB first: an independent
// formulation of the table-driven code.
unsigned short BitwiseCrc(unsigned short crc, const std::string& data) {
    unsigned int value = crc;
    for (unsigned char byte : data) {
        value ^= static_cast<unsigned int>(byte) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 0x8000) != 0 ? (value << 1) ^ 0x1021 : value << 1;
            value &= 0xFFFF;
        }
    }
    return static_cast<unsigned short>(value);
}

unsigned short CrcInChunks(unsigned short crc, const std::string& data,
                           const std::vector<size_t>& cuts) {
    size_t position = 0;
    for (size_t cut : cuts) {
        crc = AccumulateCRC(crc, reinterpret_cast<const unsigned char*>(data.data()) + position,
                            static_cast<unsigned short>(cut - position));
        position = cut;
    }
    return AccumulateCRC(crc, reinterpret_cast<const unsigned char*>(data.data()) + position,
                         static_cast<unsigned short>(data.size() - position));
}

TEST(AccumulateCRC, PublishedCheckValues) {
    const std::string check = "123456789";
    EXPECT_EQ(CrcInChunks(0, check, {}), 0x31C3);       // CRC-16/XMODEM
    EXPECT_EQ(CrcInChunks(0, check, {4}), 0x31C3);      // in calls of 4 and 5 bytes
    EXPECT_EQ(CrcInChunks(0xFFFF, check, {}), 0x29B1);  // CRC-16/CCITT-FALSE
    EXPECT_EQ(CrcInChunks(0xFFFF, check, {1, 2, 3, 8}), 0x29B1);
    EXPECT_EQ(AccumulateCRC(0x1234, nullptr, 0), 0x1234);
}

TEST(AccumulateCRC, AgreesWithBitwiseCrcForAnyChunking) {
    std::uniform_int_distribution<int> length(0, 3000);
    for (int round = 0; round < 300; ++round) {
        const std::string data = RandomBytes(static_cast<size_t>(length(Random())));
        std::vector<size_t> cuts;
        std::uniform_int_distribution<size_t> at(0, data.size());
        for (int i = round % 6; i > 0; --i) {
            cuts.push_back(at(Random()));
        }
        std::sort(cuts.begin(), cuts.end());
        const unsigned short start = round % 2 == 0 ? 0 : 0xFFFF;
        EXPECT_EQ(CrcInChunks(start, data, cuts), BitwiseCrc(start, data));
    }
}

TEST(AccumulateCRC, AgreesWithPythonCrcHqx) {
    testutil::TempDir dir;
    std::string script = "import binascii, sys\n";
    std::vector<std::string> samples;
    for (int i = 0; i < 40; ++i) {
        samples.push_back(RandomBytes(static_cast<size_t>(i * 131 % 2049)));
        const std::string file = dir.File("sample" + std::to_string(i));
        testutil::WriteFile(file, samples.back());
        script += "d = open('" + file + "', 'rb').read()\n";
        script += "print(binascii.crc_hqx(d, 0), binascii.crc_hqx(d, 0xFFFF))\n";
    }
    testutil::WriteFile(dir.File("oracle.py"), script);
    const auto result = testutil::Run("python3 " + testutil::ShellQuote(dir.File("oracle.py")));
    ASSERT_EQ(result.status, 0);
    std::istringstream lines(result.output);
    for (const std::string& data : samples) {
        unsigned int xmodem = 0, ccittFalse = 0;
        ASSERT_TRUE(lines >> xmodem >> ccittFalse);
        EXPECT_EQ(CrcInChunks(0, data, {data.size() / 3}), xmodem);
        EXPECT_EQ(CrcInChunks(0xFFFF, data, {}), ccittFalse);
    }
}

}  // namespace
