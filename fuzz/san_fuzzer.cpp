// Decodes arbitrary subject alternative name values; whatever decodes must
// encode and decode to the same texts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "krtools/cert.h"

namespace {

const unsigned char kSubjectAltNameOid[3] = {0x55, 0x1D, 0x11};

int DecodeValue(const uint8_t* data, size_t size, char* email, char* party) {
    POINTER extensions = nullptr;
    if (CreateExtensionsObject(&extensions, EXTENSIONS_KIND_CERTIFICATE, nullptr) != 0) abort();
    POINTER extension = nullptr;
    CreateExtension(extensions, kSubjectAltNameOid, 3, &extension, 0, nullptr);
    ITEM item{const_cast<uint8_t*>(data), static_cast<unsigned int>(size)};
    AddExtensionValue(nullptr, extensions, extension, &item);
    const int status = DecodeSubjectAltNameExtension(extensions, email, party);
    DestroyExtensionsObject(&extensions);
    return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    char email[256], party[256];
    const int status = DecodeValue(data, size, email, party);
    if (status != 0 && status != KR_SAN_NOT_SEQUENCE && status != KR_SAN_TOO_LONG) abort();
    if (status != 0 || (email[0] == '\0' && party[0] == '\0')) return 0;

    std::string emailIn = email, partyIn = party;
    POINTER extensions = nullptr;
    CreateExtensionsObject(&extensions, EXTENSIONS_KIND_CERTIFICATE, nullptr);
    const int encoded = EncodeSubjectAltNameExtension(extensions, &emailIn[0], &partyIn[0]);
    if (encoded == 0) {
        ITEM* value = nullptr;
        if (GetExtensionValue(&value, extensions, 0, 0) != 0) abort();
        char email2[256], party2[256];
        if (DecodeValue(value->data, value->len, email2, party2) != 0) abort();
        if (std::strcmp(email, email2) != 0 || std::strcmp(party, party2) != 0) abort();
    } else if (encoded != KR_SAN_TOO_LONG) {
        abort();
    }
    DestroyExtensionsObject(&extensions);
    return 0;
}
