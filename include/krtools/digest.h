// Message digests: KR_HASH (MD5 or SHA-1 through the crypto toolkit, with an
// optional octet translation table), the library's own MD5 (AA_MD5Init,
// AA_MD5Update, AA_MD5Final) and libcrypto's SHA-1 functions.
#ifndef KRTOOLS_DIGEST_H
#define KRTOOLS_DIGEST_H

#include <cstdint>

// SHA1_Init, SHA1_Update and SHA1_Final (SHA_CTX) are libcrypto's own
// functions, part of this library's interface: declared in <openssl/sha.h>,
// linked with krtools (the CMake target and krtools.pc carry libcrypto).

#include "krtools/export.h"
#include "krtools/toolkit.h"

// A digest computed by the crypto toolkit. Not copyable: the toolkit digester
// belongs to one object.
class KRTOOLS_API KR_HASH {
public:
    // Hashes with MD5 (algorithm 2) or SHA-1 (algorithm 5). When `table` is
    // non-null, every input octet b is hashed as table[b]; the 256-octet table
    // stays the caller's and must outlive the object. Throws:
    //   "B_CreateAlgorithmObject" (toolkit status) when no digester is made;
    //   rc -1, "KR_HASH::KR_HASH\nUnsupported hash algorithm" for another value;
    //   status, "KR_HASH::KR_HASH\nB_SetAlgorithmInfo failure";
    //   status, "KR_HASH::KR_HASH\nB_DigestInit failure".
    KR_HASH(int algorithm, unsigned char* table);
    ~KR_HASH() = default;
    KR_HASH(const KR_HASH&) = delete;
    KR_HASH& operator=(const KR_HASH&) = delete;

    // Adds `length` octets. With a table they are translated in slices of
    // at most 1000 octets through the object's own buffer (no allocation).
    // A length below 1 adds nothing. Throws status,
    // "KR_HASH::Update\nB_DigestUpdate failure"; slices already hashed stay.
    void Update(unsigned char* data, int length);

    // Writes the digest into the object: 16 octets for MD5, 20 for SHA-1.
    // Throws status, "KR_HASH::Final\nB_DigestFinal failure". The toolkit
    // digester then needs a new object: a further Update or Final throws
    // KM_ERROR_NOT_INITIALIZED.
    void Final();

    // The digest array (32 octets of room, valid after Final).
    unsigned char* GetDigest() { return digest; }
    // The digest length: 0 before Final, then 16 or 20.
    int GetDigestLen() { return digestLength; }

protected:
    unsigned char* table;
    int32_t algorithm;
    int32_t digestLength;
    unsigned char digest[32];
    unsigned char translateBuffer[1000];
    BSAFE_B_ALGORITHM_OBJ digester;
};

// The MD5 context of RFC 1321.
typedef struct {
    uint32_t state[4];         // A, B, C, D
    uint32_t count[2];         // input length in bits, low word first
    unsigned char buffer[64];  // input not yet transformed
} AA_MD5_CTX;

KRTOOLS_EXTERN_C_BEGIN

// Starts a digest: the RFC's initial state and a zero bit count.
KRTOOLS_API void AA_MD5Init(AA_MD5_CTX* context);
// Adds `length` octets of `input` (which may be null when length is 0).
KRTOOLS_API void AA_MD5Update(AA_MD5_CTX* context, unsigned char* input, unsigned int length);
// Pads, writes the 16-octet digest to `digest` (context first, output second)
// and re-initialises the context for a new digest.
KRTOOLS_API void AA_MD5Final(AA_MD5_CTX* context, unsigned char* digest);

KRTOOLS_EXTERN_C_END

#endif  // KRTOOLS_DIGEST_H
