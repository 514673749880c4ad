// Name attributes from the DER of a toolkit name object.
#include "name_attributes.h"

#include <cstring>
#include <string>
#include <utility>

#include "command.h"
#include "krtools/asn1.h"

namespace krtool {

namespace {

constexpr int kObjectIdentifier = 6;

// The dotted form of an object identifier's content octets.
std::string DottedOid(const unsigned char* octets, size_t length) {
    std::string text;
    unsigned long value = 0;
    for (size_t i = 0; i < length; ++i) {
        value = (value << 7) | (octets[i] & 0x7F);
        if ((octets[i] & 0x80) != 0) continue;
        if (text.empty()) {
            const unsigned long first = value < 80 ? value / 40 : 2;
            text = std::to_string(first) + "." + std::to_string(value - 40 * first);
        } else {
            text += "." + std::to_string(value);
        }
        value = 0;
    }
    return text;
}

std::string AttributeName(const unsigned char* type, size_t length) {
    static const unsigned char kEmail[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x01};
    static const std::pair<unsigned char, const char*> kX520[] = {
        {3, "CN"},  {4, "SN"},     {5, "serialNumber"}, {6, "C"},
        {7, "L"},   {8, "ST"},     {9, "street"},       {10, "O"},
        {11, "OU"}, {12, "title"}, {17, "postalCode"},  {42, "GN"}};
    if (length == 3 && type[0] == 0x55 && type[1] == 0x04) {
        for (const auto& [number, name] : kX520) {
            if (type[2] == number) return name;
        }
    }
    if (length == sizeof kEmail && std::memcmp(type, kEmail, sizeof kEmail) == 0) {
        return "emailAddress";
    }
    return DottedOid(type, length);
}

std::string Octets(const KR_ASN1_ELEMENT* e) {
    if (e->content == nullptr || e->length <= 0) return "";
    return std::string(reinterpret_cast<const char*>(e->content), static_cast<size_t>(e->length));
}

}  // namespace

nlohmann::ordered_json NameAttributes(POINTER name) {
    unsigned char* der = nullptr;
    unsigned int length = 0;
    if (GetNameDER(&der, &length, name, nullptr) != 0 || der == nullptr) {
        throw InputError("cannot read the DER of a name");
    }
    KR_ASN1_STRUCTURE structure(der, static_cast<int>(length));
    structure.Decode();
    nlohmann::ordered_json attributes = nlohmann::ordered_json::array();
    const KR_ASN1_ELEMENT* sequence = structure.root;
    for (auto* set = sequence != nullptr ? sequence->child : nullptr; set; set = set->sibling) {
        for (auto* ava = set->child; ava != nullptr; ava = ava->sibling) {
            const KR_ASN1_ELEMENT* type = ava->child;
            if (type == nullptr || type->tagNumber != kObjectIdentifier || !type->sibling) continue;
            const std::string oid = Octets(type), value = Octets(type->sibling);
            const auto* octets = reinterpret_cast<const unsigned char*>(value.data());
            attributes.push_back(
                {{"type",
                  AttributeName(reinterpret_cast<const unsigned char*>(oid.data()), oid.size())},
                 {"value", value},
                 {"hex", ToHex(octets, value.size(), false)}});
        }
    }
    return attributes;
}

}  // namespace krtool
