// DES, triple-DES and RC2 ciphers, the cipher context, the DES MAC and stored passwords.
//
// Every function here is a plain C function over memory owned by the caller:
// nothing is allocated, nothing is kept between calls, and none of them
// throws. Contexts, key schedules and buffers may be used from several threads
// as long as each one is used by one thread at a time.
#ifndef KRTOOLS_DES_H
#define KRTOOLS_DES_H

#include <stddef.h>
#include <stdint.h>

#include "krtools/export.h"

KRTOOLS_EXTERN_C_BEGIN

// The state of one DES, triple-DES or RC2 CBC stream (or of one DES MAC).
//
// The caller fills `key`, `iv`, `mode`, and for RC2 `rc2KeyLen` and
// `rc2EffectiveBits`, sets `desRefused` as wanted and starts with
// `partialCount` 0 (a zeroed record). The functions below keep the rest. The
// record has a fixed layout of 724 bytes shared with other applications; the
// two `app` regions are never read or written by this library.
typedef struct EncryptContext {
    // Stage 1 DES schedule; for RC2 the 64 16-bit words of the expanded key.
    uint32_t keySchedule1[32];
    uint32_t keySchedule2[32];     // stage 2 DES schedule (triple DES only)
    uint32_t keySchedule3[32];     // stage 3 DES schedule (triple DES only)
    uint32_t rc2KeyLen;            // RC2 key length in bytes (1 to 24), set by the caller
    uint32_t rc2EffectiveBits;     // RC2 effective key bits (1 to 1024), set by the caller
    int32_t partialCount;          // input bytes waiting in `partial` (0 to 7)
    uint32_t blockReady;           // nonzero when the last call left a block in `lastBlock`
    int32_t padCount;              // pad bytes added by the last EncryptFinal that made a block
    uint32_t desRefused;           // set by the caller: nonzero refuses every DES/3DES step
    int32_t status;                // 0 after a successful call, -1 after a refused one
    uint32_t reserved;             // set to 0 by EncryptInit, EncryptUpdate and EncryptFinal
    unsigned char key[24];         // DES keys 1, 2 and 3; RC2 takes its key from the start
    unsigned char iv[8];           // initial chaining value, set by the caller
    unsigned char chain[8];        // current chaining value; after the last block, the MAC
    unsigned char savedBlock[8];   // ciphertext block being decrypted
    unsigned char partial[8];      // input bytes waiting for a full block
    unsigned char lastBlock[8];    // block completed by EncryptUpdate or padded by EncryptFinal
    unsigned char appData1[210];   // belongs to the applications sharing the record
    unsigned char authTrailer[8];  // "LAST    " when DESAuthFinal refuses
    unsigned char appData2[24];    // belongs to the applications sharing the record
    // 'D' DES encrypt, 'd' DES decrypt, 'T' triple-DES encrypt, 't' triple-DES
    // decrypt, 'R' RC2 encrypt, 'r' RC2 decrypt.
    char mode;
} EncryptContext;

// deskey builds the DES key schedule of the 8-byte `key` into the 32 words at
// `schedule`: two words per round, each holding four 6-bit groups of the round
// key, one per byte (S-boxes 1, 3, 5, 7 in the first word, 2, 4, 6, 8 in the
// second). `mode` 'd' or 't' gives the decryption order (round keys reversed);
// any other value the encryption order. The key's parity bits are ignored.
KRTOOLS_API void deskey(const unsigned char* key, char mode, uint32_t* schedule);

// Sdes runs the DES block function in place over the 8 bytes at `block` (read
// and written big-endian) with `schedule` from deskey: it encrypts with an
// encryption schedule and decrypts with a decryption schedule.
KRTOOLS_API void Sdes(unsigned char* block, const uint32_t* schedule);

// EncryptInit starts a message: it sets `status` and `reserved` to 0, sets
// `chain` to `iv` and builds the schedules that `mode` needs ('T' uses keys
// 1, 2, 3 as encrypt-decrypt-encrypt; 't' the inverse). For DES and triple DES
// with `desRefused` set nothing is built and `status` becomes -1. An RC2 key
// error (a length outside 1 to 1024 bits or 1 to 24 bytes: the key is never
// read beyond the `key` field) leaves the schedule unchanged and is not
// reported. Any other `mode`
// builds nothing and leaves `chain` as it was. `partialCount` is not reset.
KRTOOLS_API void EncryptInit(EncryptContext* ctx);

// EncryptUpdate takes *len bytes at `data` and processes whole blocks in CBC
// mode in place. Bytes that do not fill a block wait in `partial`. On return
// the output is `lastBlock` (when `blockReady` is set) followed by the first
// *len bytes of `data`. A DES step with `desRefused` set leaves the bytes and
// `chain` unchanged and sets `status` to -1. With a mode other than the six
// letters the blocks are only XORed with the chaining value. A negative *len
// is taken as 0; a `partialCount` outside 0 to 7 is taken as 0. `data` may be
// null when *len is 0.
KRTOOLS_API void EncryptUpdate(EncryptContext* ctx, unsigned char* data, int* len);

// EncryptFinal pads the waiting bytes and processes the last block into
// `lastBlock`, setting `blockReady`. padMode 1: zero bytes, no block when
// nothing waits; 2: zero bytes and the pad count as last byte, a whole block
// when nothing waits; 3: '0' bytes and the count OR 0x30 (OR 0xF0 when
// `markHigh` is nonzero) as last byte, a whole block when nothing waits; any
// other value pads with its low byte, no block when nothing waits. `padCount`
// receives the number of pad bytes. Nothing is removed on decryption.
KRTOOLS_API void EncryptFinal(EncryptContext* ctx, int padMode, int markHigh);

// DESAuthInit starts a DES CBC-MAC under `key` (key 1) and `iv`: it sets
// `mode` to 'D' and runs EncryptInit. `status` is -1 when `desRefused` is set.
KRTOOLS_API void DESAuthInit(EncryptContext* ctx);

// DESAuthUpdate adds `len` bytes at `data` to the MAC; the caller's bytes are
// not changed. Nothing happens for len < 1.
KRTOOLS_API void DESAuthUpdate(EncryptContext* ctx, const unsigned char* data, int len);

// DESAuthFinal zero-pads a trailing partial block and encrypts it; the MAC is
// then `chain`: the last block of DES-CBC over the data padded with zeros to a
// multiple of 8 (the IV itself for an empty message). When refused, `status`
// is -1 and `authTrailer` receives "LAST    ".
KRTOOLS_API void DESAuthFinal(EncryptContext* ctx);

// InitRC2 expands an RC2 key (RFC 2268 section 2) of `keyLen` bytes (1 to 128)
// with `effectiveBits` effective key bits (1 to 1024) into the 64 words at
// `expandedKey`. Returns 0, or 99 when a length is out of range (then nothing
// is written).
KRTOOLS_API int InitRC2(const unsigned char* key, unsigned int keyLen, unsigned int effectiveBits,
                        uint16_t* expandedKey);

// EncryptRC2 encrypts the 8 bytes at `block` in place (words little-endian).
KRTOOLS_API void EncryptRC2(unsigned char* block, const uint16_t* expandedKey);

// DecryptRC2 decrypts the 8 bytes at `block` in place.
KRTOOLS_API void DecryptRC2(unsigned char* block, const uint16_t* expandedKey);

// EncryptPassword encrypts the 32-byte password field at `text` (RC2, 8-byte
// `key`, 40 effective bits, CBC with a zero IV) and writes the ciphertext as 64
// upper-case hexadecimal characters over `text`, which must hold 64 bytes. No
// terminator is written.
KRTOOLS_API void EncryptPassword(char* text, const unsigned char* key);

// DecryptPassword reads 64 hexadecimal characters at `text` (either case;
// other characters give wrong digits without an error), decrypts them under
// the 8-byte `key` and writes the 32 plaintext bytes over the start of `text`.
KRTOOLS_API void DecryptPassword(char* text, const unsigned char* key);

// EncryptPassphrase encrypts the 64 bytes at `field` in place under the
// library's fixed passphrase key (RC2, 40 effective bits, CBC, zero IV).
KRTOOLS_API void EncryptPassphrase(unsigned char* field);

// DecryptPassphrase decrypts the 64 bytes at `field` in place; the inverse of
// EncryptPassphrase.
KRTOOLS_API void DecryptPassphrase(unsigned char* field);

KRTOOLS_EXTERN_C_END

#ifdef __cplusplus
static_assert(offsetof(EncryptContext, keySchedule2) == 128, "EncryptContext layout");
static_assert(offsetof(EncryptContext, keySchedule3) == 256, "EncryptContext layout");
static_assert(offsetof(EncryptContext, rc2KeyLen) == 384, "EncryptContext layout");
static_assert(offsetof(EncryptContext, rc2EffectiveBits) == 388, "EncryptContext layout");
static_assert(offsetof(EncryptContext, partialCount) == 392, "EncryptContext layout");
static_assert(offsetof(EncryptContext, blockReady) == 396, "EncryptContext layout");
static_assert(offsetof(EncryptContext, padCount) == 400, "EncryptContext layout");
static_assert(offsetof(EncryptContext, desRefused) == 404, "EncryptContext layout");
static_assert(offsetof(EncryptContext, status) == 408, "EncryptContext layout");
static_assert(offsetof(EncryptContext, reserved) == 412, "EncryptContext layout");
static_assert(offsetof(EncryptContext, key) == 416, "EncryptContext layout");
static_assert(offsetof(EncryptContext, iv) == 440, "EncryptContext layout");
static_assert(offsetof(EncryptContext, chain) == 448, "EncryptContext layout");
static_assert(offsetof(EncryptContext, savedBlock) == 456, "EncryptContext layout");
static_assert(offsetof(EncryptContext, partial) == 464, "EncryptContext layout");
static_assert(offsetof(EncryptContext, lastBlock) == 472, "EncryptContext layout");
static_assert(offsetof(EncryptContext, appData1) == 480, "EncryptContext layout");
static_assert(offsetof(EncryptContext, authTrailer) == 690, "EncryptContext layout");
static_assert(offsetof(EncryptContext, appData2) == 698, "EncryptContext layout");
static_assert(offsetof(EncryptContext, mode) == 722, "EncryptContext layout");
static_assert(sizeof(EncryptContext) == 724, "EncryptContext is 723 bytes and one of padding");
#endif

#endif  // KRTOOLS_DES_H
