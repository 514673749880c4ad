// Message digests of algorithm objects (AI_MD5, AI_SHA1) through libcrypto's
// plain MD5 and SHA-1 functions on a state inside the object: the same
// digests as the fetched methods, without the allocation that every
// EVP_DigestInit_ex2 makes, so that a short message costs no allocation.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>
#include <openssl/sha.h>

#include "krmepit/bsafe_internal.h"

using krmepit::AlgorithmObject;
using krmepit::AsAlgorithm;
using krmepit::Phase;

namespace {

static_assert(sizeof(MD5_CTX) <= sizeof(AlgorithmObject::digestState) &&
                  sizeof(SHA_CTX) <= sizeof(AlgorithmObject::digestState),
              "the digest states fit the object");

MD5_CTX* Md5State(AlgorithmObject* object) {
    return reinterpret_cast<MD5_CTX*>(object->digestState);
}

SHA_CTX* Sha1State(AlgorithmObject* object) {
    return reinterpret_cast<SHA_CTX*>(object->digestState);
}

bool IsMd5(const AlgorithmObject* object) { return object->infoType == AI_MD5; }

}  // namespace

int B_DigestInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ /*key*/, B_ALGORITHM_CHOOSER chooser,
                 POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || chooser == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (object->infoType != AI_MD5 && object->infoType != AI_SHA1) {
        return KM_ERROR_NOT_INITIALIZED;
    }
    object->phase = Phase::Idle;
    const int ok = IsMd5(object) ? MD5_Init(Md5State(object)) : SHA1_Init(Sha1State(object));
    if (ok != 1) return KM_ERROR_INTERNAL;
    object->phase = Phase::Digesting;
    return KM_OK;
}

int B_DigestUpdate(B_ALGORITHM_OBJ algorithmObject, const unsigned char* data, unsigned int length,
                   POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || (data == nullptr && length != 0)) return KM_ERROR_INVALID_ARGUMENT;
    if (object->phase != Phase::Digesting) return KM_ERROR_NOT_INITIALIZED;
    if (length == 0) return KM_OK;
    const int ok = IsMd5(object) ? MD5_Update(Md5State(object), data, length)
                                 : SHA1_Update(Sha1State(object), data, length);
    return ok == 1 ? KM_OK : KM_ERROR_INTERNAL;
}

int B_DigestFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* digest,
                  unsigned int* digestLength, unsigned int maxDigestLength, POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || digest == nullptr || digestLength == nullptr) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (object->phase != Phase::Digesting) return KM_ERROR_NOT_INITIALIZED;
    const unsigned int size = IsMd5(object) ? MD5_DIGEST_LENGTH : SHA_DIGEST_LENGTH;
    if (maxDigestLength < size) return KM_ERROR_OUTPUT_TOO_SMALL;
    object->phase = Phase::Idle;
    const int ok =
        IsMd5(object) ? MD5_Final(digest, Md5State(object)) : SHA1_Final(digest, Sha1State(object));
    if (ok != 1) return KM_ERROR_INTERNAL;
    *digestLength = size;
    return KM_OK;
}
