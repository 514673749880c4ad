// KR_ASN1_ELEMENT: decoding of a BER element chain into a tree.
//
// The decoder walks the tree with a loop instead of recursion: descending
// into a constructed element makes its first child the current element, and
// finishing a chain climbs back to the parent through the |parent| link, so
// the stack use is constant whatever the nesting depth.
#include "asn1/element_alloc.h"
#include "krtools/asn1.h"

namespace {

constexpr int kElementErrorRc = -2;

[[noreturn]] __attribute__((cold, noinline)) void Fail(const char* text) {
    throw KRException(kElementErrorRc, text);
}

// Octets from |from| to the end of |element|'s region.
uint32_t OctetsToRegionEnd(const KR_ASN1_ELEMENT* element, const unsigned char* from) {
    return static_cast<uint32_t>(element->data + static_cast<uint32_t>(element->available) - from);
}

bool IsEndOfContents(const unsigned char* at, uint32_t left) {
    return left >= 2 && at[0] == 0 && at[1] == 0;
}

KR_ASN1_ELEMENT* CreateElement(KR_ASN1_ELEMENT* parent, unsigned char* data, uint32_t available,
                               const char* failure) {
    KR_ASN1_ELEMENT* element = krasn1::NewElement(parent, data, static_cast<int>(available));
    if (element == nullptr) Fail(failure);
    return element;
}

// Reads the identifier and length octets of |e| (whose |data| and
// |available| are given again, as the caller has them at hand) and checks
// the length against the octets of its region.
inline void DecodeHeader(KR_ASN1_ELEMENT* e, const unsigned char* data, uint32_t available) {
    if (data == nullptr || available < 2) Fail("ASN1 element is EMPTY");

    const unsigned char identifier = data[0];
    e->id = identifier;
    if ((identifier & 0x1F) == 0x1F) Fail("ASN1 element 'high-tag-number' is unsupported");
    e->tagClass = identifier & 0xC0;
    e->tagNumber = identifier & 0x1F;
    e->constructed = (identifier & 0x20) != 0;

    const unsigned char first = data[1];
    uint32_t headerSize = 2;
    uint32_t length = first;
    if (first & 0x80) {
        const uint32_t lengthOctets = first & 0x7F;
        if (lengthOctets > available - 2) {
            e->length = -1;
            Fail("ASN1 element length is too large");
        }
        length = 0;
        for (uint32_t i = 0; i < lengthOctets; ++i) length = (length << 8) | data[2 + i];
        headerSize += lengthOctets;
        if (length == 0) {
            e->indefinite = true;
            e->length = 0;
            if (!e->constructed) {
                Fail("ASN1 element has indefinite length, but is not a constructed type");
            }
        }
    }
    e->length = static_cast<int32_t>(length);
    e->content = e->data + headerSize;  // |e->data| is |data|, writable
    if (length > available - headerSize) {
        e->length = -1;
        Fail("ASN1 element length is too large");
    }
}

// Completes |e| once its contents end at |endOfContents|: checks the
// length, strips the unused-bits octet and, for the indefinite form, the
// end-of-contents octets. Returns the end of |e|'s encoding.
unsigned char* FinishElement(KR_ASN1_ELEMENT* e, unsigned char* endOfContents) {
    const auto consumed = static_cast<int32_t>(endOfContents - e->content);
    if (e->indefinite) {
        e->length = consumed;
    } else if (e->length != consumed) {
        Fail("ASN1 element length does not match decoded size");
    }
    if (e->tagNumber == 3 && e->length != 0) {
        e->unusedBits = e->content[0];
        ++e->content;
        --e->length;
    }
    if (!e->indefinite) return endOfContents;
    if (OctetsToRegionEnd(e, endOfContents) < 2) {
        Fail("ASN1 element has indefinte length, but is not terminated by x'0000'");
    }
    return endOfContents + 2;
}

}  // namespace

unsigned char* KR_ASN1_ELEMENT::Decode() {
    KR_ASN1_ELEMENT* e = this;
    unsigned char* data = this->data;
    uint32_t available = static_cast<uint32_t>(this->available);
    size_t depth = 0;  // levels below the chain this call started on
    for (;;) {
        DecodeHeader(e, data, available);
        unsigned char* endOfContents = e->content + e->length;
        if (e->constructed && (e->length != 0 || e->indefinite)) {
            data = e->content;
            available =
                e->indefinite ? OctetsToRegionEnd(e, data) : static_cast<uint32_t>(e->length);
            if (!e->indefinite || !IsEndOfContents(data, available)) {
                e->child =
                    CreateElement(e, data, available, "Error creating child KR_ASN1_ELEMENT");
                e = e->child;
                ++depth;
                continue;
            }
        }
        // |e| is complete up to its contents; finish it and every enclosing
        // element whose chain ends with it.
        for (;;) {
            unsigned char* end = FinishElement(e, endOfContents);
            const uint32_t rest = OctetsToRegionEnd(e, end);
            const bool chainEnds = rest == 0 || (e->parent != nullptr && e->parent->indefinite &&
                                                 IsEndOfContents(end, rest));
            if (!chainEnds) {
                e->sibling =
                    CreateElement(e->parent, end, rest, "Error creating sibling KR_ASN1_ELEMENT");
                e = e->sibling;
                data = end;
                available = rest;
                break;
            }
            if (depth == 0) return end;
            --depth;
            e = e->parent;
            endOfContents = end;
        }
    }
}
