// Stored passwords and passphrases: RC2 with 40 effective key bits in CBC
// mode with a zero initial chaining value, without padding.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "krtools/des.h"

namespace {

constexpr size_t kBlock = 8;
constexpr size_t kPasswordBytes = 32;
constexpr size_t kPassphraseBytes = 64;
constexpr unsigned kKeyBytes = 8;
constexpr unsigned kEffectiveBits = 40;

// The passphrase key is the XOR of these two halves, combined only inside
// the passphrase functions; the volatile half keeps the compiler from folding
// them into one stored constant.
constexpr unsigned char kPassphraseMaskA[kKeyBytes] = {0x5b, 0xc2, 0x17, 0x8e,
                                                       0x39, 0xf4, 0x62, 0xad};
const volatile unsigned char kPassphraseMaskB[kKeyBytes] = {0x2f, 0x91, 0x6c, 0xd3,
                                                            0x48, 0x05, 0xbe, 0x7a};

void Wipe(void* data, size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) p[i] = 0;
}

void CbcEncrypt(unsigned char* data, size_t size, const uint16_t* key) {
    unsigned char chain[kBlock] = {};
    for (size_t i = 0; i < size; i += kBlock) {
        for (size_t j = 0; j < kBlock; ++j) data[i + j] ^= chain[j];
        EncryptRC2(data + i, key);
        std::memcpy(chain, data + i, kBlock);
    }
}

void CbcDecrypt(unsigned char* data, size_t size, const uint16_t* key) {
    unsigned char chain[kBlock] = {};
    unsigned char saved[kBlock];
    for (size_t i = 0; i < size; i += kBlock) {
        std::memcpy(saved, data + i, kBlock);
        DecryptRC2(data + i, key);
        for (size_t j = 0; j < kBlock; ++j) data[i + j] ^= chain[j];
        std::memcpy(chain, saved, kBlock);
    }
}

// The value of one hexadecimal digit: characters above '9' count from 'A'
// (so 'a' to 'f' work too); only the low four bits are kept.
unsigned HexDigit(char c) {
    const unsigned code = static_cast<unsigned char>(c);
    return (code > '9' ? code - 0x37 : code - 0x30) & 0x0f;
}

void PassphraseKey(unsigned char* key) {
    for (unsigned i = 0; i < kKeyBytes; ++i) {
        key[i] = static_cast<unsigned char>(kPassphraseMaskA[i] ^ kPassphraseMaskB[i]);
    }
}

void PassphraseCipher(unsigned char* field, bool encrypt) {
    unsigned char key[kKeyBytes];
    uint16_t expanded[64];
    PassphraseKey(key);
    InitRC2(key, kKeyBytes, kEffectiveBits, expanded);
    if (encrypt) {
        CbcEncrypt(field, kPassphraseBytes, expanded);
    } else {
        CbcDecrypt(field, kPassphraseBytes, expanded);
    }
    Wipe(key, sizeof key);
    Wipe(expanded, sizeof expanded);
}

}  // namespace

extern "C" {

void EncryptPassword(char* text, const unsigned char* key) {
    static const char kDigits[] = "0123456789ABCDEF";
    unsigned char field[kPasswordBytes];
    uint16_t expanded[64];
    std::memcpy(field, text, sizeof field);
    InitRC2(key, kKeyBytes, kEffectiveBits, expanded);
    CbcEncrypt(field, sizeof field, expanded);
    for (size_t i = 0; i < sizeof field; ++i) {
        text[2 * i] = kDigits[field[i] >> 4];
        text[2 * i + 1] = kDigits[field[i] & 0x0f];
    }
    Wipe(expanded, sizeof expanded);
}

void DecryptPassword(char* text, const unsigned char* key) {
    unsigned char field[kPasswordBytes];
    uint16_t expanded[64];
    for (size_t i = 0; i < sizeof field; ++i) {
        field[i] =
            static_cast<unsigned char>((HexDigit(text[2 * i]) << 4) | HexDigit(text[2 * i + 1]));
    }
    InitRC2(key, kKeyBytes, kEffectiveBits, expanded);
    CbcDecrypt(field, sizeof field, expanded);
    std::memcpy(text, field, sizeof field);
    Wipe(field, sizeof field);
    Wipe(expanded, sizeof expanded);
}

void EncryptPassphrase(unsigned char* field) { PassphraseCipher(field, true); }

void DecryptPassphrase(unsigned char* field) { PassphraseCipher(field, false); }

}  // extern "C"
