// Decodes arbitrary octets into an element tree and prints whatever tree was
// built, also after a failure. Standard output goes to /dev/null.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "krtools/asn1.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<unsigned char> octets(data, data + size);
    KR_ASN1_STRUCTURE structure;
    try {
        structure.Decode(octets.data(), static_cast<int>(octets.size()));
    } catch (const KRException& e) {
        if (e.rc != -1 && e.rc != -2) __builtin_trap();
    }
    structure.Print();
    return 0;
}
