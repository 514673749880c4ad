// Helpers of the ASN.1 tests: octets from hexadecimal text and decoding
// with the failure captured.
#ifndef KRTOOLS_TESTS_ASN1_TEST_UTIL_H
#define KRTOOLS_TESTS_ASN1_TEST_UTIL_H

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

#include "krtools/asn1.h"

namespace asn1test {

// "30 06 04 01" -> {0x30, 0x06, 0x04, 0x01}; blanks are ignored.
inline std::vector<unsigned char> Octets(const std::string& hex) {
    std::vector<unsigned char> octets;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair) octets.push_back(static_cast<unsigned char>(std::stoul(pair, nullptr, 16)));
    return octets;
}

// The outcome of one decoding: the error (rc 0 and empty text on success).
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

// Offset of a pointer into the structure's buffer (whose start is the
// root's data).
inline std::ptrdiff_t Offset(const KR_ASN1_STRUCTURE& structure, const unsigned char* at) {
    return at - structure.root->data;
}

}  // namespace asn1test

#endif  // KRTOOLS_TESTS_ASN1_TEST_UTIL_H
