// Message digests of algorithm objects (AI_MD5, AI_SHA1). The digest method
// is fetched once per process and the object's context is reused by every
// B_DigestInit, so a digest costs no fetch and no allocation after the first.
#include "krmepit/bsafe_internal.h"

using krmepit::AlgorithmObject;
using krmepit::AsAlgorithm;
using krmepit::Phase;

int B_DigestInit(B_ALGORITHM_OBJ algorithmObject, B_KEY_OBJ /*key*/, B_ALGORITHM_CHOOSER chooser,
                 POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || chooser == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (object->infoType != AI_MD5 && object->infoType != AI_SHA1) {
        return KM_ERROR_NOT_INITIALIZED;
    }
    const EVP_MD* md = krmepit::FetchedDigest(
        object->infoType == AI_MD5 ? krmepit::DigestKind::MD5 : krmepit::DigestKind::SHA1);
    if (md == nullptr) return KM_ERROR_INTERNAL;
    if (object->digestContext == nullptr) {
        object->digestContext = EVP_MD_CTX_new();
        if (object->digestContext == nullptr) return KM_ERROR_ALLOC;
    }
    object->phase = Phase::Idle;
    if (EVP_DigestInit_ex2(object->digestContext, md, nullptr) != 1) return KM_ERROR_INTERNAL;
    object->phase = Phase::Digesting;
    return KM_OK;
}

int B_DigestUpdate(B_ALGORITHM_OBJ algorithmObject, const unsigned char* data, unsigned int length,
                   POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || (data == nullptr && length != 0)) return KM_ERROR_INVALID_ARGUMENT;
    if (object->phase != Phase::Digesting) return KM_ERROR_NOT_INITIALIZED;
    if (length == 0) return KM_OK;
    if (EVP_DigestUpdate(object->digestContext, data, length) != 1) return KM_ERROR_INTERNAL;
    return KM_OK;
}

int B_DigestFinal(B_ALGORITHM_OBJ algorithmObject, unsigned char* digest,
                  unsigned int* digestLength, unsigned int maxDigestLength, POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || digest == nullptr || digestLength == nullptr) {
        return KM_ERROR_INVALID_ARGUMENT;
    }
    if (object->phase != Phase::Digesting) return KM_ERROR_NOT_INITIALIZED;
    int size = EVP_MD_CTX_get_size(object->digestContext);
    if (size <= 0) return KM_ERROR_INTERNAL;
    if (maxDigestLength < static_cast<unsigned int>(size)) return KM_ERROR_OUTPUT_TOO_SMALL;
    object->phase = Phase::Idle;
    unsigned int written = 0;
    if (EVP_DigestFinal_ex(object->digestContext, digest, &written) != 1) {
        return KM_ERROR_INTERNAL;
    }
    *digestLength = written;
    return KM_OK;
}
