// Long names: the components of a distinguished name joined by periods in a
// fixed order, country first.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "krtools/cert.h"

namespace {

// Appends up to `width` leading octets of a non-empty component and a period.
void AppendComponent(std::string& longName, const TIPEM_NAME_AVA& field, size_t width) {
    if (field.size() == 0) return;
    longName.append(field.value, 0, width);
    longName += '.';
}

// Writes at most size - 1 octets of `text` (up to its first NUL) and a NUL.
void WriteBounded(char* out, int size, const std::string& text) {
    std::snprintf(out, static_cast<size_t>(size), "%-.*s", size - 1, text.c_str());
}

bool Present(const NameStructEntry& entry) { return entry.length != 0 && entry.text != nullptr; }

void AppendEntry(std::string& longName, const NameStructEntry& entry) {
    if (!Present(entry)) return;
    longName += entry.text;
    longName += '.';
}

// True when the second street address is written first: its first
// min(length1, length2) octets sort before the first's, or they are equal and
// it is the shorter. strncmp never reads past either text's NUL.
bool SecondStreetFirst(const NameStructEntry& first, const NameStructEntry& second) {
    const int32_t length1 = first.length > 0 ? first.length : 0;
    const int32_t length2 = second.length > 0 ? second.length : 0;
    const size_t common = static_cast<size_t>(length1 < length2 ? length1 : length2);
    const int order = std::strncmp(first.text, second.text, common);
    return order > 0 || (order == 0 && length2 < length1);
}

std::string LongNameOf(const NameStruct& name) {
    std::string longName;
    AppendEntry(longName, name.country);
    AppendEntry(longName, name.organization);
    AppendEntry(longName, name.commonName);
    AppendEntry(longName, name.title);
    AppendEntry(longName, name.orgUnit);
    if (Present(name.streetAddress1) && Present(name.streetAddress2) &&
        SecondStreetFirst(name.streetAddress1, name.streetAddress2)) {
        AppendEntry(longName, name.streetAddress2);
        AppendEntry(longName, name.streetAddress1);
    } else {
        AppendEntry(longName, name.streetAddress1);
        AppendEntry(longName, name.streetAddress2);
    }
    AppendEntry(longName, name.locality);
    AppendEntry(longName, name.state);
    AppendEntry(longName, name.postalCode);
    if (!longName.empty() && longName.back() == '.') longName.pop_back();
    return longName;
}

}  // namespace

void TIPEM_NAME_OBJ::BuildLongName(char* out, int outLen, char* cnOut, int cnOutLen) {
    if (out == nullptr || outLen < 1) return;
    std::memset(out, 0, static_cast<size_t>(outLen));
    if (cnOut != nullptr && cnOutLen > 0) std::memset(cnOut, 0, static_cast<size_t>(cnOutLen));

    std::string longName;
    std::string common = commonName.value.substr(0, 30);
    AppendComponent(longName, country, 2);
    AppendComponent(longName, organization, 30);
    AppendComponent(longName, commonName, 30);
    AppendComponent(longName, title, 30);
    AppendComponent(longName, orgUnit, 30);
    const bool swapStreets = streetAddress1.size() != 0 && streetAddress2.size() != 0 &&
                             streetAddress2.value < streetAddress1.value;
    AppendComponent(longName, swapStreets ? streetAddress2 : streetAddress1, 30);
    AppendComponent(longName, swapStreets ? streetAddress1 : streetAddress2, 30);
    AppendComponent(longName, locality, 30);
    AppendComponent(longName, state, 30);
    AppendComponent(longName, postalCode, 11);
    if (!longName.empty()) longName.pop_back();

    WriteBounded(out, outLen, longName);
    if (!common.empty() && cnOut != nullptr && cnOutLen > 0) WriteBounded(cnOut, cnOutLen, common);
}

void TIPEM_NAME_OBJ::BuildLongName(char* out, int outLen, unsigned char* name) {
    ParseDistinguishedName(name);
    BuildLongName(out, outLen, nullptr, 0);
}

extern "C" {

void NameStructToLongName(char* out, NameStruct* name) {
    if (out == nullptr) return;
    out[0] = '\0';
    if (name == nullptr) return;
    try {
        const std::string longName = LongNameOf(*name);
        std::memcpy(out, longName.c_str(), longName.size() + 1);
    } catch (const std::bad_alloc&) {
        out[0] = '\0';
    }
}

int NameStructToLongNameN(char* out, int outLen, NameStruct* name) {
    if (out != nullptr && outLen > 0) out[0] = '\0';
    if (name == nullptr) return 0;
    try {
        const std::string longName = LongNameOf(*name);
        if (out != nullptr && outLen > 0) {
            const size_t room = static_cast<size_t>(outLen) - 1;
            const size_t length = longName.size() < room ? longName.size() : room;
            std::memcpy(out, longName.data(), length);
            out[length] = '\0';
        }
        return static_cast<int>(longName.size());
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

}  // extern "C"
