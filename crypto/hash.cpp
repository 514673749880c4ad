// KR_HASH: MD5 or SHA-1 through the crypto toolkit, with optional octet
// translation.
#include <cstring>

#include "krtools/digest.h"

namespace {

constexpr int kMd5 = 2;
constexpr int kSha1 = 5;

}  // namespace

KR_HASH::KR_HASH(int algorithm, unsigned char* table)
    : table(table), algorithm(algorithm), digestLength(0), digest{} {
    const char* where = "KR_HASH::KR_HASH";
    B_INFO_TYPE infoType;
    if (algorithm == kMd5) {
        infoType = AI_MD5;
    } else if (algorithm == kSha1) {
        infoType = AI_SHA1;
    } else {
        throw KRException(-1, where, "Unsupported hash algorithm");
    }
    int status = B_SetAlgorithmInfo(digester.handle, infoType, nullptr);
    if (status != 0) throw KRException(status, where, "B_SetAlgorithmInfo failure");
    status = B_DigestInit(digester.handle, nullptr, DEMO_ALGORITHM_CHOOSER, nullptr);
    if (status != 0) throw KRException(status, where, "B_DigestInit failure");
}

void KR_HASH::Update(unsigned char* data, int length) {
    if (length < 1) return;
    if (table == nullptr) {
        int status =
            B_DigestUpdate(digester.handle, data, static_cast<unsigned int>(length), nullptr);
        if (status != 0) throw KRException(status, "KR_HASH::Update", "B_DigestUpdate failure");
        return;
    }
    while (length > 0) {
        int slice = length < static_cast<int>(sizeof translateBuffer)
                        ? length
                        : static_cast<int>(sizeof translateBuffer);
        for (int i = 0; i < slice; ++i) translateBuffer[i] = table[data[i]];
        int status = B_DigestUpdate(digester.handle, translateBuffer,
                                    static_cast<unsigned int>(slice), nullptr);
        if (status != 0) throw KRException(status, "KR_HASH::Update", "B_DigestUpdate failure");
        data += slice;
        length -= slice;
    }
}

void KR_HASH::Final() {
    unsigned int length = 0;
    int status = B_DigestFinal(digester.handle, digest, &length, sizeof digest, nullptr);
    if (status != 0) throw KRException(status, "KR_HASH::Final", "B_DigestFinal failure");
    digestLength = static_cast<int32_t>(length);
}
