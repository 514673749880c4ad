// Decodes arbitrary octets into an element tree and prints whatever tree was
// built, also after a failure; then the same structure decodes the second
// half of the input over that tree and prints again, so that reused element
// memory is exercised too. Standard output goes to /dev/null.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "krtools/asn1.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    return 0;
}

namespace {

void DecodeAndPrint(KR_ASN1_STRUCTURE& structure, std::vector<unsigned char> octets) {
    try {
        structure.Decode(octets.data(), static_cast<int>(octets.size()));
    } catch (const KRException& e) {
        if (e.rc != -1 && e.rc != -2) __builtin_trap();
    }
    structure.Print();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KR_ASN1_STRUCTURE structure;
    DecodeAndPrint(structure, std::vector<unsigned char>(data, data + size));
    DecodeAndPrint(structure, std::vector<unsigned char>(data + size / 2, data + size));
    return 0;
}
