// Internal state of the BSAFE-style objects (not installed).
#ifndef KRMEPIT_BSAFE_INTERNAL_H
#define KRMEPIT_BSAFE_INTERNAL_H

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "krmepit/bsafe.h"

namespace krmepit {

// Digests the toolkit fetches once from its library context.
enum class DigestKind { MD5, SHA1 };

// The fetched digest, or null when the provider does not offer it.
const EVP_MD* FetchedDigest(DigestKind kind);
// The fetched DES-CBC cipher (legacy provider), or null.
const EVP_CIPHER* FetchedDesCbc();

// Where a streaming operation of an algorithm object stands.
enum class Phase { Idle, Digesting, Encrypting, Decrypting };

struct PbeState {
    DigestKind digest = DigestKind::MD5;
    unsigned char salt[8] = {};
    B_PBE_PARAMS params = {};
    std::vector<unsigned char> identifier;  // DER AlgorithmIdentifier
    ITEM identifierItem = {};
    EVP_CIPHER_CTX* cipher = nullptr;
    unsigned char pending[8] = {};  // octets not yet passed to the cipher
    unsigned int pendingLength = 0;
};

struct RandomState {
    bool seeded = false;
    unsigned char key[16] = {};    // from the operating system, fixed
    unsigned char state[16] = {};  // mixed with every caller seed
    uint64_t counter = 0;
};

struct AlgorithmObject {
    int infoType = 0;  // a B_INFO_TYPE, or 0 before B_SetAlgorithmInfo
    Phase phase = Phase::Idle;
    // The running MD5 or SHA-1 of B_DigestInit (bsafe_digest.cpp).
    alignas(16) unsigned char digestState[128] = {};
    PbeState pbe;
    RandomState random;

    AlgorithmObject() = default;
    ~AlgorithmObject();
    AlgorithmObject(const AlgorithmObject&) = delete;
    AlgorithmObject& operator=(const AlgorithmObject&) = delete;

    // Drops the algorithm and any operation in progress.
    void Reset();
};

struct KeyObject {
    int infoType = 0;                   // KI_Item or KI_RSAPublic (an RSA key), 0 when empty
    std::vector<unsigned char> octets;  // KI_Item value
    ITEM octetsItem = {};
    std::vector<unsigned char> modulus;
    std::vector<unsigned char> exponent;
    A_RSA_KEY rsaKey = {};
    std::vector<unsigned char> publicKeyInfo;  // DER SubjectPublicKeyInfo
    ITEM publicKeyInfoItem = {};

    KeyObject() = default;
    ~KeyObject() { Clear(); }
    KeyObject(const KeyObject&) = delete;
    KeyObject& operator=(const KeyObject&) = delete;

    // Wipes and drops the value.
    void Clear();
};

inline AlgorithmObject* AsAlgorithm(B_ALGORITHM_OBJ handle) {
    return static_cast<AlgorithmObject*>(handle);
}
inline KeyObject* AsKey(B_KEY_OBJ handle) { return static_cast<KeyObject*>(handle); }

// Algorithm-specific parts of B_SetAlgorithmInfo (bsafe_pbe.cpp).
int SetPbeParameters(AlgorithmObject& object, const B_PBE_PARAMS* params);
int SetPbeIdentifier(AlgorithmObject& object, DigestKind digest, const ITEM* identifier);

}  // namespace krmepit

#endif  // KRMEPIT_BSAFE_INTERNAL_H
