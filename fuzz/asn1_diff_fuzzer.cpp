// The element tree of KR_ASN1_STRUCTURE against a walk of the same octets
// with OpenSSL's ASN1_get_object. On input in the DER shape (definite
// lengths in minimal form, low tag numbers; anything else, such as the more
// than four length octets the decoder cuts to four, ends the comparison)
// both accept or both reject, and when they accept they find the same
// elements in the same order: identifier octet, constructed flag, content
// position and length (the unused-bits octet of tag number 3 stripped as the
// decoder does).
#include <openssl/asn1.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "krtools/asn1.h"

namespace {

struct Element {
    int id;
    bool constructed;
    long offset, length;
    bool operator!=(const Element& o) const {
        return id != o.id || constructed != o.constructed || offset != o.offset ||
               length != o.length;
    }
};

// DER writes a low tag number in the identifier octet and a length in the
// fewest octets: the long form only from 128 on, without leading zero
// octets (and so in at most four octets for any input here). Headers cut
// short by the end of the input count as DER-shaped: both must reject them.
bool DerShapedHeader(const unsigned char* header, long left) {
    if ((header[0] & 0x1F) == 0x1F) return false;
    if (left < 2 || (header[1] & 0x80) == 0) return true;
    const int octets = header[1] & 0x7F;
    if (octets == 0 || octets > 4) return false;
    if (left < 3) return true;
    return header[2] != 0 && (octets > 1 || header[2] >= 0x80);
}

enum class Verdict { kAccept, kReject, kNotDer };

// Pre-order elements as ASN1_get_object finds them.
Verdict OpenSSLWalk(const uint8_t* data, size_t size, std::vector<Element>& out) {
    std::vector<const unsigned char*> ends{data + size};
    const unsigned char* p = data;
    while (!ends.empty()) {
        if (p == ends.back()) {
            ends.pop_back();
            continue;
        }
        const unsigned char* header = p;
        long length = 0;
        int tag = 0, xclass = 0;
        if (!DerShapedHeader(header, ends.back() - header)) return Verdict::kNotDer;
        const int flags = ASN1_get_object(&p, &length, &tag, &xclass, ends.back() - header);
        if (flags & 0x80) return Verdict::kReject;
        if (flags == 0x21) return Verdict::kNotDer;
        const bool constructed = (flags & V_ASN1_CONSTRUCTED) != 0;
        // Tag number 3 (any class) loses its first content octet.
        const long skip = ((header[0] & 0x1F) == 3 && length > 0) ? 1 : 0;
        out.push_back({header[0], constructed, (p - data) + skip, length - skip});
        if (constructed) {
            ends.push_back(p + length);
        } else {
            p += length;
        }
    }
    return Verdict::kAccept;
}

void Collect(const KR_ASN1_STRUCTURE& s, const uint8_t* base, std::vector<Element>& out) {
    const KR_ASN1_ELEMENT* e = s.root;
    while (e != nullptr) {
        const uint8_t* content = e->content;
        out.push_back({e->id, e->constructed, content - base, e->length});
        if (e->child != nullptr) {
            e = e->child;
            continue;
        }
        while (e != nullptr && e->sibling == nullptr) e = e->parent;
        if (e != nullptr) e = e->sibling;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<Element> expected;
    const Verdict verdict = OpenSSLWalk(data, size, expected);
    if (verdict == Verdict::kNotDer) return 0;
    std::vector<unsigned char> octets(data, data + size);
    KR_ASN1_STRUCTURE structure(octets.data(), static_cast<int>(size));
    bool accepted = true;
    try {
        structure.Decode();
    } catch (const KRException&) {
        accepted = false;
    }
    if (accepted != (verdict == Verdict::kAccept)) std::abort();
    if (!accepted) return 0;
    std::vector<Element> found;
    // The structure decodes its own copy: positions are relative to it.
    Collect(structure, structure.root->data, found);
    if (found.size() != expected.size()) std::abort();
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i] != expected[i]) std::abort();
    }
    return 0;
}
