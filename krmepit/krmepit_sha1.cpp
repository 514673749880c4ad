// SHA-1 over libcrypto's SHA1_ functions on storage laid out as its SHA_CTX.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "krmepit/krmepit_sha1.h"

#include <openssl/sha.h>

#include <cstring>

namespace {

static_assert(sizeof(KRMEPIT_SHA1_CTX) == sizeof(SHA_CTX), "same storage as SHA_CTX");
static_assert(alignof(KRMEPIT_SHA1_CTX) >= alignof(SHA_CTX), "alignment of SHA_CTX");

// The context is copied in and out, so the storage is never read through a
// pointer of another type.
template <typename Step>
int OnContext(KRMEPIT_SHA1_CTX* storage, Step step) {
    SHA_CTX context;
    std::memcpy(&context, storage, sizeof context);
    int result = step(&context);
    std::memcpy(storage, &context, sizeof context);
    return result;
}

}  // namespace

int KRMEPIT_SHA1Init(KRMEPIT_SHA1_CTX* context) {
    return OnContext(context, [](SHA_CTX* c) { return SHA1_Init(c); });
}

int KRMEPIT_SHA1Update(KRMEPIT_SHA1_CTX* context, const void* data, unsigned long length) {
    return OnContext(context, [&](SHA_CTX* c) { return SHA1_Update(c, data, length); });
}

int KRMEPIT_SHA1Final(unsigned char* digest, KRMEPIT_SHA1_CTX* context) {
    return OnContext(context, [&](SHA_CTX* c) { return SHA1_Final(digest, c); });
}
