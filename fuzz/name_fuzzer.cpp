// Parses arbitrary bytes as a distinguished name. A name that loads keeps
// its octets, parses into fields, and its fields build a name again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "krtools/cert.h"

namespace {

// The long-name record from the input's first bytes cut into ten texts.
void LongNameOfPieces(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size < 400 ? size : 400);
    std::string pieces[10];
    for (size_t i = 0; i < text.size(); ++i) pieces[i % 10] += text[i];
    NameStruct record{};
    NameStructEntry* entries = &record.country;
    for (int i = 0; i < 10; ++i) {
        entries[i].text = &pieces[i][0];
        // Lengths need not match the texts; the second octet decides.
        entries[i].length =
            static_cast<int32_t>(pieces[i].size()) * ((text.size() > 1 && text[1] & 1) ? 7 : 1);
    }
    char whole[4096];
    NameStructToLongName(whole, &record);
    char cut[32];
    const int length = NameStructToLongNameN(cut, sizeof cut, &record);
    if (length != static_cast<int>(std::strlen(whole))) abort();
    if (std::strncmp(whole, cut, sizeof cut - 1) != 0) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    LongNameOfPieces(data, size);
    POINTER source = nullptr;
    if (CreateNameObject(&source) != 0) abort();
    if (SetNameBER(source, data, static_cast<unsigned int>(size), nullptr) == 0) {
        unsigned char* der = nullptr;
        unsigned int derLen = 0;
        if (GetNameDER(&der, &derLen, source, nullptr) != 0) abort();
        if (derLen != size || std::memcmp(der, data, size) != 0) abort();
        TIPEM_NAME_OBJ name;
        try {
            name.SetNameObject(static_cast<unsigned char*>(source));
        } catch (const KRException& e) {
            // A value holding a control character is refused, never cut.
            if (e.text != "GetNameAVA" || e.rc != KM_ERROR_DATA) abort();
            DestroyNameObject(&source);
            return 0;
        }
        char longName[256], common[40];
        name.BuildLongName(longName, sizeof longName, common, sizeof common);
        if (std::strlen(longName) > 255 || std::strlen(common) > 30) abort();
        name.BuildDistinguishedName();
    }
    DestroyNameObject(&source);
    return 0;
}
