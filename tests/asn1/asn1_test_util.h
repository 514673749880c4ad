// Helpers of the ASN.1 tests: octets from hexadecimal text, decoding with the
// failure captured, and a one-line picture of a decoded tree.
#ifndef KRTOOLS_TESTS_ASN1_TEST_UTIL_H
#define KRTOOLS_TESTS_ASN1_TEST_UTIL_H

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "krtools/asn1.h"

namespace asn1test {

// "30 06 04 01" -> {0x30, 0x06, 0x04, 0x01}.
inline std::vector<unsigned char> Octets(const std::string& hex) {
    std::vector<unsigned char> octets;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) octets.push_back(static_cast<unsigned char>(std::stoul(pair, nullptr, 16)));
    return octets;
}

// The outcome of one decoding: rc and text of the failure, 0 and "" on success.
struct Outcome {
    int rc = 0;
    std::string text;
};

inline Outcome DecodeInto(KR_ASN1_STRUCTURE& structure, std::vector<unsigned char> octets) {
    Outcome outcome;
    try {
        structure.Decode(octets.data(), static_cast<int>(octets.size()));
    } catch (const KRException& e) {
        outcome.rc = e.rc;
        outcome.text = e.text;
    }
    return outcome;
}

// Each element as "ID:length@contentOffset", then "u<n>" for unused bits,
// "i" for the indefinite form, its children in brackets; siblings separated
// by blanks. A "!" marks a parent link or identifier field that does not
// match. Offsets count from |base|.
inline std::string Shape(const KR_ASN1_ELEMENT* e, const unsigned char* base) {
    std::string shape;
    for (; e != nullptr; e = e->sibling) {
        char text[64];
        std::snprintf(text, sizeof text, "%02X:%d@%d", e->id, e->length,
                      static_cast<int>(e->content - base));
        if (!shape.empty()) shape += ' ';
        shape += text;
        if (e->unusedBits != 0) shape += "u" + std::to_string(e->unusedBits);
        if (e->indefinite) shape += 'i';
        if (e->tagClass != (e->id & 0xC0) || e->tagNumber != (e->id & 0x1F) ||
            e->constructed != ((e->id & 0x20) != 0)) {
            shape += '!';
        }
        if (e->child != nullptr) {
            if (e->child->parent != e) shape += '!';
            shape += "[" + Shape(e->child, base) + "]";
        }
    }
    return shape;
}

inline std::string Shape(const KR_ASN1_STRUCTURE& s) {
    return s.root == nullptr ? "" : Shape(s.root, s.root->data);
}

}  // namespace asn1test

#endif  // KRTOOLS_TESTS_ASN1_TEST_UTIL_H
