// Password-based encryption (PKCS #5 v1.5 PBES1): the algorithm identifier
// in DER, key and IV derivation (PBKDF1 with MD5 or SHA-1), and DES-CBC with
// PKCS #5 padding. The padding and the block buffering are done here, with
// the cipher's own padding off, so every call writes an exactly known count.
#include <openssl/asn1.h>
#include <openssl/crypto.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <cstring>
#include <memory>

#include "krmepit/bsafe_internal.h"

namespace krmepit {
namespace {

constexpr unsigned int kBlock = 8;
constexpr unsigned int kSaltLength = 8;

// Content octets of the two object identifiers (1.2.840.113549.1.5.3 / .10).
const unsigned char kMd5DesOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x03};
const unsigned char kSha1DesOid[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x05, 0x0A};

void AppendLength(std::vector<unsigned char>& out, size_t length) {
    // Every identifier built here is shorter than 128 octets.
    out.push_back(static_cast<unsigned char>(length));
}

// DER AlgorithmIdentifier { oid, PBEParameter { salt, iterationCount } }.
std::vector<unsigned char> EncodeIdentifier(DigestKind digest, const unsigned char* salt,
                                            unsigned int iterations) {
    std::vector<unsigned char> count;
    for (unsigned int value = iterations; value != 0; value >>= 8) {
        count.insert(count.begin(), static_cast<unsigned char>(value & 0xFF));
    }
    if (count.empty() || (count[0] & 0x80) != 0) count.insert(count.begin(), 0);

    std::vector<unsigned char> parameters = {0x04, kSaltLength};
    parameters.insert(parameters.end(), salt, salt + kSaltLength);
    parameters.push_back(0x02);
    AppendLength(parameters, count.size());
    parameters.insert(parameters.end(), count.begin(), count.end());

    const unsigned char* oid = digest == DigestKind::MD5 ? kMd5DesOid : kSha1DesOid;
    std::vector<unsigned char> body = {0x06, sizeof kMd5DesOid};
    body.insert(body.end(), oid, oid + sizeof kMd5DesOid);
    body.push_back(0x30);
    AppendLength(body, parameters.size());
    body.insert(body.end(), parameters.begin(), parameters.end());

    std::vector<unsigned char> identifier = {0x30};
    AppendLength(identifier, body.size());
    identifier.insert(identifier.end(), body.begin(), body.end());
    return identifier;
}

void StoreParameters(AlgorithmObject& object, DigestKind digest, const unsigned char* salt,
                     unsigned int iterations) {
    PbeState& pbe = object.pbe;
    pbe.digest = digest;
    std::memcpy(pbe.salt, salt, kSaltLength);
    pbe.params.salt = pbe.salt;
    pbe.params.iterationCount = iterations;
    pbe.identifier = EncodeIdentifier(digest, salt, iterations);
    pbe.identifierItem.data = pbe.identifier.data();
    pbe.identifierItem.len = static_cast<unsigned int>(pbe.identifier.size());
}

struct AlgorFree {
    void operator()(X509_ALGOR* algor) const { X509_ALGOR_free(algor); }
};
struct PbeParamFree {
    void operator()(PBEPARAM* param) const { PBEPARAM_free(param); }
};

// The salt and iteration count of a PBEParameter; KM_ERROR_DATA when absent
// or out of range.
int ReadParameters(const X509_ALGOR& algor, unsigned char* salt, unsigned int* iterations) {
    const ASN1_OBJECT* oid = nullptr;
    int parameterType = 0;
    const void* parameterValue = nullptr;
    X509_ALGOR_get0(&oid, &parameterType, &parameterValue, &algor);
    if (parameterType != V_ASN1_SEQUENCE) return KM_ERROR_DATA;
    std::unique_ptr<PBEPARAM, PbeParamFree> parameters(static_cast<PBEPARAM*>(
        ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), algor.parameter)));
    if (parameters == nullptr || ASN1_STRING_length(parameters->salt) != kSaltLength) {
        return KM_ERROR_DATA;
    }
    long count = ASN1_INTEGER_get(parameters->iter);
    if (count < 1 || count > static_cast<long>(KM_PBE_MAX_ITERATIONS)) return KM_ERROR_DATA;
    std::memcpy(salt, ASN1_STRING_get0_data(parameters->salt), kSaltLength);
    *iterations = static_cast<unsigned int>(count);
    return KM_OK;
}

// PBKDF1: T1 = H(password || salt), Ti = H(Ti-1); key = T[0..7], iv = T[8..15].
bool DeriveKeyAndIv(const PbeState& pbe, const ITEM& password, unsigned char* keyAndIv) {
    const EVP_MD* md = FetchedDigest(pbe.digest);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    bool ok = md != nullptr && context != nullptr &&
              EVP_DigestInit_ex2(context, md, nullptr) == 1 &&
              EVP_DigestUpdate(context, password.data, password.len) == 1 &&
              EVP_DigestUpdate(context, pbe.salt, kSaltLength) == 1 &&
              EVP_DigestFinal_ex(context, digest, &length) == 1;
    for (unsigned int i = 1; ok && i < pbe.params.iterationCount; ++i) {
        ok = EVP_DigestInit_ex2(context, md, nullptr) == 1 &&
             EVP_DigestUpdate(context, digest, length) == 1 &&
             EVP_DigestFinal_ex(context, digest, &length) == 1;
    }
    if (ok) std::memcpy(keyAndIv, digest, 2 * kBlock);
    OPENSSL_cleanse(digest, sizeof digest);
    EVP_MD_CTX_free(context);
    return ok;
}

int CipherInit(AlgorithmObject* object, B_KEY_OBJ key, B_ALGORITHM_CHOOSER chooser, Phase phase) {
    KeyObject* password = AsKey(key);
    if (object == nullptr || password == nullptr || chooser == nullptr) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (object->pbe.params.iterationCount == 0) return KM_ERROR_NOT_INITIALIZED;
    if (password->infoType != KI_Item) return KM_ERROR_KEY;
    const EVP_CIPHER* des = FetchedDesCbc();
    if (des == nullptr) return KM_ERROR_INTERNAL;
    PbeState& pbe = object->pbe;
    object->phase = Phase::Idle;
    pbe.pendingLength = 0;
    if (pbe.cipher == nullptr) {
        pbe.cipher = EVP_CIPHER_CTX_new();
        if (pbe.cipher == nullptr) return KM_ERROR_ALLOC;
    }
    unsigned char keyAndIv[2 * kBlock];
    if (!DeriveKeyAndIv(pbe, password->octetsItem, keyAndIv)) return KM_ERROR_INTERNAL;
    int encrypt = phase == Phase::Encrypting ? 1 : 0;
    bool ok =
        EVP_CipherInit_ex2(pbe.cipher, des, keyAndIv, keyAndIv + kBlock, encrypt, nullptr) == 1 &&
        EVP_CIPHER_CTX_set_padding(pbe.cipher, 0) == 1;
    OPENSSL_cleanse(keyAndIv, sizeof keyAndIv);
    if (!ok) return KM_ERROR_INTERNAL;
    object->phase = phase;
    return KM_OK;
}

// Runs `length` octets (a multiple of 8) through the cipher.
bool RunBlocks(PbeState& pbe, unsigned char* out, const unsigned char* in, unsigned int length) {
    constexpr unsigned int kChunk = 1u << 30;
    while (length > 0) {
        unsigned int piece = length < kChunk ? length : kChunk;
        int written = 0;
        if (EVP_CipherUpdate(pbe.cipher, out, &written, in, static_cast<int>(piece)) != 1 ||
            written != static_cast<int>(piece)) {
            return false;
        }
        out += piece;
        in += piece;
        length -= piece;
    }
    return true;
}

// Passes `outCount` octets of the stream (held octets first, then `in`)
// through the cipher into `out` and holds the rest of `in`.
bool Stream(PbeState& pbe, unsigned char* out, unsigned int outCount, const unsigned char* in,
            unsigned int inLength) {
    unsigned int used = 0;
    if (outCount > 0 && pbe.pendingLength > 0) {
        used = kBlock - pbe.pendingLength;
        std::memcpy(pbe.pending + pbe.pendingLength, in, used);
        if (!RunBlocks(pbe, out, pbe.pending, kBlock)) return false;
        out += kBlock;
        outCount -= kBlock;
        pbe.pendingLength = 0;
    }
    if (!RunBlocks(pbe, out, in + used, outCount)) return false;
    used += outCount;
    if (inLength > used) {
        std::memcpy(pbe.pending + pbe.pendingLength, in + used, inLength - used);
        pbe.pendingLength += inLength - used;
    }
    return true;
}

int CipherUpdate(AlgorithmObject* object, Phase phase, unsigned char* out, unsigned int* outLength,
                 unsigned int maxOut, const unsigned char* in, unsigned int inLength) {
    if (object == nullptr || outLength == nullptr || (in == nullptr && inLength != 0) ||
        (out == nullptr && maxOut != 0)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (object->phase != phase) return KM_ERROR_NOT_INITIALIZED;
    *outLength = 0;
    PbeState& pbe = object->pbe;
    unsigned long long total = pbe.pendingLength + static_cast<unsigned long long>(inLength);
    unsigned long long held = total % kBlock;
    // Decryption keeps the last whole block back for the padding check.
    if (phase == Phase::Decrypting && held == 0 && total > 0) held = kBlock;
    unsigned long long count = total - held;
    if (count > maxOut) return KM_ERROR_OUTPUT_TOO_SMALL;
    if (!Stream(pbe, out, static_cast<unsigned int>(count), in, inLength)) {
        return KM_ERROR_INTERNAL;
    }
    *outLength = static_cast<unsigned int>(count);
    return KM_OK;
}

bool CheckArguments(AlgorithmObject* object, unsigned char* out, unsigned int* outLength) {
    return object != nullptr && outLength != nullptr && out != nullptr;
}

}  // namespace

int SetPbeParameters(AlgorithmObject& object, const B_PBE_PARAMS* params) {
    if (params == nullptr || params->salt == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (params->iterationCount < 1 || params->iterationCount > KM_PBE_MAX_ITERATIONS) {
        return KM_ERROR_DATA;
    }
    StoreParameters(object, DigestKind::MD5, params->salt, params->iterationCount);
    return KM_OK;
}

int SetPbeIdentifier(AlgorithmObject& object, DigestKind digest, const ITEM* identifier) {
    if (identifier == nullptr || (identifier->data == nullptr && identifier->len != 0)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    const unsigned char* cursor = identifier->data;
    std::unique_ptr<X509_ALGOR, AlgorFree> algor(
        d2i_X509_ALGOR(nullptr, &cursor, static_cast<long>(identifier->len)));
    if (algor == nullptr || cursor != identifier->data + identifier->len) return KM_ERROR_DATA;
    int wanted = digest == DigestKind::MD5 ? NID_pbeWithMD5AndDES_CBC : NID_pbeWithSHA1AndDES_CBC;
    if (OBJ_obj2nid(algor->algorithm) != wanted) return KM_ERROR_UNKNOWN_ALGORITHM;
    unsigned char salt[kSaltLength];
    unsigned int iterations = 0;
    int status = ReadParameters(*algor, salt, &iterations);
    if (status != KM_OK) return status;
    StoreParameters(object, digest, salt, iterations);
    return KM_OK;
}

}  // namespace krmepit

using krmepit::AlgorithmObject;
using krmepit::AsAlgorithm;
using krmepit::Phase;

int B_EncryptInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ key, B_ALGORITHM_CHOOSER chooser,
                  POINTER /*surrender*/) {
    return krmepit::CipherInit(AsAlgorithm(algorithmObject), key, chooser, Phase::Encrypting);
}

int B_DecryptInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ key, B_ALGORITHM_CHOOSER chooser,
                  POINTER /*surrender*/) {
    return krmepit::CipherInit(AsAlgorithm(algorithmObject), key, chooser, Phase::Decrypting);
}

int B_EncryptUpdate(B_ALGORITHM_OBJ algorithmObject, unsigned char* out, unsigned int* outLength,
                    unsigned int maxOut, const unsigned char* in, unsigned int inLength,
                    B_ALGORITHM_OBJ /*random*/, POINTER /*surrender*/) {
    return krmepit::CipherUpdate(AsAlgorithm(algorithmObject), Phase::Encrypting, out, outLength,
                                 maxOut, in, inLength);
}

int B_DecryptUpdate(B_ALGORITHM_OBJ algorithmObject, unsigned char* out, unsigned int* outLength,
                    unsigned int maxOut, const unsigned char* in, unsigned int inLength,
                    B_ALGORITHM_OBJ /*random*/, POINTER /*surrender*/) {
    return krmepit::CipherUpdate(AsAlgorithm(algorithmObject), Phase::Decrypting, out, outLength,
                                 maxOut, in, inLength);
}

int B_EncryptFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* out, unsigned int* outLength,
                   unsigned int maxOut, B_ALGORITHM_OBJ /*random*/, POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (!krmepit::CheckArguments(object, out, outLength)) return KM_ERROR_INVALID_ARGUMENT;
    if (object->phase != Phase::Encrypting) return KM_ERROR_NOT_INITIALIZED;
    if (maxOut < krmepit::kBlock) return KM_ERROR_OUTPUT_TOO_SMALL;
    krmepit::PbeState& pbe = object->pbe;
    auto pad = static_cast<unsigned char>(krmepit::kBlock - pbe.pendingLength);
    std::memset(pbe.pending + pbe.pendingLength, pad, pad);
    object->phase = Phase::Idle;
    pbe.pendingLength = 0;
    if (!krmepit::RunBlocks(pbe, out, pbe.pending, krmepit::kBlock)) return KM_ERROR_INTERNAL;
    *outLength = krmepit::kBlock;
    return KM_OK;
}

int B_DecryptFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* out, unsigned int* outLength,
                   unsigned int maxOut, B_ALGORITHM_OBJ /*random*/, POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || outLength == nullptr || (out == nullptr && maxOut != 0)) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (object->phase != Phase::Decrypting) return KM_ERROR_NOT_INITIALIZED;
    krmepit::PbeState& pbe = object->pbe;
    object->phase = Phase::Idle;
    bool whole = pbe.pendingLength == krmepit::kBlock;
    pbe.pendingLength = 0;
    if (!whole) return KM_ERROR_DATA;
    unsigned char block[krmepit::kBlock];
    if (!krmepit::RunBlocks(pbe, block, pbe.pending, krmepit::kBlock)) return KM_ERROR_INTERNAL;
    unsigned int pad = block[krmepit::kBlock - 1];
    bool padOk = pad >= 1 && pad <= krmepit::kBlock;
    for (unsigned int i = krmepit::kBlock - pad; padOk && i < krmepit::kBlock; ++i) {
        padOk = block[i] == pad;
    }
    int status = KM_OK;
    if (!padOk) {
        status = KM_ERROR_DECRYPT;
    } else if (maxOut < krmepit::kBlock - pad) {
        status = KM_ERROR_OUTPUT_TOO_SMALL;
    } else {
        *outLength = krmepit::kBlock - pad;
        if (*outLength > 0) std::memcpy(out, block, *outLength);
    }
    OPENSSL_cleanse(block, sizeof block);
    return status;
}
