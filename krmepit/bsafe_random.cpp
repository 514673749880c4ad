// Random objects (AI_MD5Random): a hash generator keyed from the operating
// system's entropy at B_RandomInit. Caller seeds are mixed into a state that
// every output block depends on; block i is MD5(key || state || i).
#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <cstring>

#include "krmepit/bsafe_internal.h"
#include "krmepit/libctx.h"

namespace krmepit {
namespace {

constexpr unsigned int kBlock = 16;

RandomState* SeededState(B_ALGORITHM_OBJ handle, int* status) {
    AlgorithmObject* object = AsAlgorithm(handle);
    if (object == nullptr) {
        *status = KM_ERROR_INVALID_ARGUMENT;
        return nullptr;
    }
    if (object->infoType != AI_MD5Random || !object->random.seeded) {
        *status = KM_ERROR_NOT_INITIALIZED;
        return nullptr;
    }
    *status = KM_OK;
    return &object->random;
}

// MD5 over the parts, into `out` (16 octets).
bool Md5(const unsigned char* first, size_t firstLength, const unsigned char* second,
         size_t secondLength, const unsigned char* third, size_t thirdLength, unsigned char* out) {
    const EVP_MD* md = FetchedDigest(DigestKind::MD5);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool ok = md != nullptr && context != nullptr &&
              EVP_DigestInit_ex2(context, md, nullptr) == 1 &&
              EVP_DigestUpdate(context, first, firstLength) == 1 &&
              EVP_DigestUpdate(context, second, secondLength) == 1 &&
              EVP_DigestUpdate(context, third, thirdLength) == 1 &&
              EVP_DigestFinal_ex(context, out, nullptr) == 1;
    EVP_MD_CTX_free(context);
    return ok;
}

}  // namespace
}  // namespace krmepit

using krmepit::AlgorithmObject;
using krmepit::AsAlgorithm;
using krmepit::RandomState;

int B_RandomInit(B_ALGORITHM_OBJ algorithmObject, B_ALGORITHM_CHOOSER chooser,
                 POINTER /*surrender*/) {
    AlgorithmObject* object = AsAlgorithm(algorithmObject);
    if (object == nullptr || chooser == nullptr) return KM_ERROR_INVALID_ARGUMENT;
    if (object->infoType != AI_MD5Random) return KM_ERROR_NOT_INITIALIZED;
    RandomState& random = object->random;
    random = RandomState();
    if (RAND_bytes_ex(krmepit::LibraryContext(), random.key, sizeof random.key, 0) != 1 ||
        RAND_bytes_ex(krmepit::LibraryContext(), random.state, sizeof random.state, 0) != 1) {
        return KM_ERROR_INTERNAL;
    }
    random.seeded = true;
    return KM_OK;
}

int B_RandomUpdate(B_ALGORITHM_OBJ algorithmObject, unsigned char* seed, unsigned int length,
                   POINTER /*surrender*/) {
    int status = KM_OK;
    RandomState* random = krmepit::SeededState(algorithmObject, &status);
    if (random == nullptr) return status;
    if (seed == nullptr && length != 0) return KM_ERROR_INVALID_ARGUMENT;
    static const unsigned char kNothing = 0;
    if (!krmepit::Md5(random->state, sizeof random->state, seed != nullptr ? seed : &kNothing,
                      length, random->key, sizeof random->key, random->state)) {
        return KM_ERROR_INTERNAL;
    }
    return KM_OK;
}

int B_GenerateRandomBytes(B_ALGORITHM_OBJ algorithmObject, unsigned char* out, unsigned int length,
                          POINTER /*surrender*/) {
    int status = KM_OK;
    RandomState* random = krmepit::SeededState(algorithmObject, &status);
    if (random == nullptr) return status;
    if (out == nullptr && length != 0) return KM_ERROR_INVALID_ARGUMENT;
    while (length > 0) {
        unsigned char counter[8];
        for (int i = 0; i < 8; ++i)
            counter[i] = static_cast<unsigned char>(random->counter >> (8 * i));
        ++random->counter;
        unsigned char block[krmepit::kBlock];
        if (!krmepit::Md5(random->key, sizeof random->key, random->state, sizeof random->state,
                          counter, sizeof counter, block)) {
            return KM_ERROR_INTERNAL;
        }
        unsigned int piece = length < krmepit::kBlock ? length : krmepit::kBlock;
        std::memcpy(out, block, piece);
        OPENSSL_cleanse(block, sizeof block);
        out += piece;
        length -= piece;
    }
    return KM_OK;
}
