// CRC-16 with the polynomial 0x1021 (most significant bit first, no final
// XOR) in three forms: byte and slicing-by-16 tables, 128-bit carry-less
// multiply folding (PCLMULQDQ) and 512-bit folding (VPCLMULQDQ). Each takes
// the running CRC and returns it after `length` more bytes.
#ifndef KRTOOLS_TEXT_CRC16_KERNELS_H
#define KRTOOLS_TEXT_CRC16_KERNELS_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace krtools::crc {

inline constexpr uint32_t kPolynomial = 0x11021;  // x^16 + x^12 + x^5 + 1

// x^n modulo the polynomial: the folding constants. Moving a 64-bit piece H
// of the message n bits further from its end multiplies it by x^n, and
// H * x^n is congruent to H * (x^n mod P), a product of at most 79 bits.
constexpr uint32_t XPowerMod(int n) {
    uint32_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & 0x10000) r ^= kPolynomial;
    }
    return r;
}

inline constexpr int kSlices = 16;
using CrcTables = std::array<std::array<uint16_t, 256>, kSlices>;

// tables[0] is the usual byte table; tables[k][b] is the CRC of the byte b
// followed by k zero bytes.
constexpr CrcTables MakeTables() {
    CrcTables tables{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t crc = b << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? (crc << 1) ^ kPolynomial : crc << 1;
        tables[0][b] = uint16_t(crc);
    }
    for (int k = 1; k < kSlices; ++k) {
        for (uint32_t b = 0; b < 256; ++b) {
            const uint16_t previous = tables[k - 1][b];
            tables[k][b] = uint16_t((previous << 8) ^ tables[0][previous >> 8]);
        }
    }
    return tables;
}

inline constexpr CrcTables kTables = MakeTables();

// One byte at a time through the byte table.
inline uint16_t CrcBytes(uint16_t crc, const unsigned char* data, size_t length) {
    for (size_t i = 0; i < length; ++i)
        crc = uint16_t((crc << 8) ^ kTables[0][(crc >> 8) ^ data[i]]);
    return crc;
}

// Sixteen bytes in one step of independent lookups.
inline uint16_t CrcSixteen(uint16_t crc, const unsigned char* p) {
    const auto& t = kTables;
    return uint16_t(t[15][p[0] ^ (crc >> 8)] ^ t[14][p[1] ^ (crc & 0xFF)] ^ t[13][p[2]] ^
                    t[12][p[3]] ^ t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^ t[7][p[8]] ^
                    t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]] ^ t[3][p[12]] ^ t[2][p[13]] ^
                    t[1][p[14]] ^ t[0][p[15]]);
}

// Slicing by 16, the rest byte by byte.
inline uint16_t CrcTable(uint16_t crc, const unsigned char* data, size_t length) {
    for (; length >= kSlices; length -= kSlices, data += kSlices) crc = CrcSixteen(crc, data);
    return CrcBytes(crc, data, length);
}

// Folding paths; they take any length and leave short inputs to CrcTable.
uint16_t CrcPclmul(uint16_t crc, const unsigned char* data, size_t length);
uint16_t CrcVpclmul(uint16_t crc, const unsigned char* data, size_t length);

}  // namespace krtools::crc

#endif  // KRTOOLS_TEXT_CRC16_KERNELS_H
