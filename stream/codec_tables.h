// Constant lookup tables of the Base64 and hexadecimal coders, built at
// compile time from the alphabets.
#ifndef KRTOOLS_STREAM_CODEC_TABLES_H
#define KRTOOLS_STREAM_CODEC_TABLES_H

#include <array>
#include <cstdint>

namespace krtools::codec {

// The Base64 digits followed by the pad character.
inline constexpr char kBase64Alphabet[66] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
inline constexpr char kPad = '=';
inline constexpr char kHexDigits[17] = "0123456789ABCDEF";

// Value of a Base64 digit, or kNotDigit for any other byte.
inline constexpr uint8_t kNotDigit = 0xFF;

constexpr std::array<uint8_t, 256> MakeBase64Values() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) v = kNotDigit;
    for (int i = 0; i < 64; ++i) table[static_cast<uint8_t>(kBase64Alphabet[i])] = uint8_t(i);
    return table;
}
inline constexpr std::array<uint8_t, 256> kBase64Values = MakeBase64Values();

// Value of an upper-case hexadecimal digit, or kNotDigit.
constexpr std::array<uint8_t, 256> MakeHexValues() {
    std::array<uint8_t, 256> table{};
    for (auto& v : table) v = kNotDigit;
    for (int i = 0; i < 16; ++i) table[static_cast<uint8_t>(kHexDigits[i])] = uint8_t(i);
    return table;
}
inline constexpr std::array<uint8_t, 256> kHexValues = MakeHexValues();

// Two characters, in text order.
struct CharPair {
    char c[2];
};

// Two upper-case hexadecimal digits for each byte.
constexpr std::array<CharPair, 256> MakeHexPairs() {
    std::array<CharPair, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i].c[0] = kHexDigits[i >> 4];
        table[i].c[1] = kHexDigits[i & 15];
    }
    return table;
}
inline constexpr std::array<CharPair, 256> kHexPairs = MakeHexPairs();

// Decoding tables for four characters at once: the value of the digit at
// position k of a group, already shifted to its place in the 24-bit group.
// A byte outside the alphabet maps to kBadGroup, a bit no valid group sets.
inline constexpr uint32_t kBadGroup = 0x01000000u;
constexpr std::array<uint32_t, 256> MakeShiftedValues(int shift) {
    std::array<uint32_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint8_t v = kBase64Values[i];
        table[i] = v == kNotDigit ? kBadGroup : uint32_t(v) << shift;
    }
    return table;
}
inline constexpr std::array<uint32_t, 256> kGroupDigit0 = MakeShiftedValues(18);
inline constexpr std::array<uint32_t, 256> kGroupDigit1 = MakeShiftedValues(12);
inline constexpr std::array<uint32_t, 256> kGroupDigit2 = MakeShiftedValues(6);
inline constexpr std::array<uint32_t, 256> kGroupDigit3 = MakeShiftedValues(0);

}  // namespace krtools::codec

#endif  // KRTOOLS_STREAM_CODEC_TABLES_H
