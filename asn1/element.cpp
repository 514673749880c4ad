// KR_ASN1_ELEMENT: decoding of a BER element chain into a tree.
//
// The decoder walks the tree with a loop instead of recursion: descending
// into a constructed element makes its first child the current element, and
// finishing a chain climbs back to the parent through the |parent| link, so
// the stack use is constant whatever the nesting depth.
//
// Each new element is created with its header already read: the common
// header forms are parsed into locals first and the element is then written
// once. Any other header (no room, high tag number, more than four length
// octets, a length beyond the region, the indefinite form on a primitive
// element) is read again octet by octet into the linked element, which
// records exactly what was read before the failure.
#include "asn1/element_decode.h"
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

// True when |e| lies in the contents of an indefinite-length element.
bool InIndefiniteContents(const KR_ASN1_ELEMENT* e) {
    return e->parent != nullptr && e->parent->indefinite;
}

// The header of an element in one of its common forms.
struct CommonHeader {
    unsigned char identifier;
    uint32_t headerSize;
    uint32_t length;  // 0 for the indefinite form
    bool indefinite;
};

// Parses the identifier and length octets at |data| (not null) when they are
// well formed and take at most four length octets. Returns false otherwise,
// without having decided which failure applies.
inline bool ReadCommonHeader(const unsigned char* data, uint32_t available, CommonHeader& header) {
    if (__builtin_expect(available < 2, 0)) return false;
    const unsigned char identifier = data[0];
    const uint32_t first = data[1];
    if (__builtin_expect((identifier & 0x1F) == 0x1F, 0)) return false;
    uint32_t length = first;
    uint32_t headerSize = 2;
    bool indefinite = false;
    if (first & 0x80) {
        const uint32_t lengthOctets = first & 0x7F;
        if (lengthOctets > 4 || lengthOctets > available - 2) return false;
        length = 0;
        for (uint32_t i = 0; i < lengthOctets; ++i) length = (length << 8) | data[2 + i];
        headerSize += lengthOctets;
        if (length == 0) {
            if ((identifier & 0x20) == 0) return false;
            indefinite = true;
        }
    }
    if (__builtin_expect(length > available - headerSize, 0)) return false;
    header = CommonHeader{identifier, headerSize, length, indefinite};
    return true;
}

// Stores a header read by ReadCommonHeader into |e|.
inline void StoreHeader(KR_ASN1_ELEMENT* e, unsigned char* data, const CommonHeader& header) {
    e->id = header.identifier;
    e->tagClass = header.identifier & 0xC0;
    e->tagNumber = header.identifier & 0x1F;
    e->constructed = (header.identifier & 0x20) != 0;
    e->indefinite = header.indefinite;
    e->content = data + header.headerSize;
    e->length = static_cast<int32_t>(header.length);
}

// Reads the identifier and length octets of |e| one step at a time,
// storing each field as it is read, and fails on the first malformed one.
__attribute__((noinline)) void DecodeHeaderExactly(KR_ASN1_ELEMENT* e) {
    unsigned char* const data = e->data;
    const auto available = static_cast<uint32_t>(e->available);
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
    e->content = data + headerSize;
    if (length > available - headerSize) {
        e->length = -1;
        Fail("ASN1 element length is too large");
    }
}

// What the decoding loop needs of the element it works on, kept in
// registers rather than read back from the element.
struct ElementView {
    unsigned char* content;
    uint32_t length;
    bool constructed;
    bool indefinite;
    bool bitString;  // tag number 3
};

inline ElementView ViewOf(const CommonHeader& header, unsigned char* data) {
    return ElementView{data + header.headerSize, header.length, (header.identifier & 0x20) != 0,
                       header.indefinite, (header.identifier & 0x1F) == 3};
}

inline ElementView ViewOf(const KR_ASN1_ELEMENT* e) {
    return ElementView{e->content, static_cast<uint32_t>(e->length), e->constructed, e->indefinite,
                       e->tagNumber == 3};
}

// Reads the header of an element that is already linked into the tree.
inline ElementView DecodeHeader(KR_ASN1_ELEMENT* e) {
    CommonHeader header;
    if (__builtin_expect(e->data != nullptr &&
                             ReadCommonHeader(e->data, static_cast<uint32_t>(e->available), header),
                         1)) {
        StoreHeader(e, e->data, header);
        return ViewOf(header, e->data);
    }
    DecodeHeaderExactly(e);
    return ViewOf(e);
}

// Creates the element at |data|, stores it in |*link|, reads its header and
// sets |view|. The header is parsed before the element is written, so that
// its fields are stored once, and after it is taken, so that the header's
// values need not be kept across the rare release of an old text.
template <class Taker>
inline KR_ASN1_ELEMENT* AddElement(Taker& source, KR_ASN1_ELEMENT** link, KR_ASN1_ELEMENT* parent,
                                   unsigned char* data, uint32_t available, const char* failure,
                                   ElementView& view) {
    auto* block = source.Take();
    if (__builtin_expect(block == nullptr, 0)) Fail(failure);
    CommonHeader header;
    const bool common = ReadCommonHeader(data, available, header);
    // Each branch sets the element up itself: linking it before its header
    // is stored, as the fallback must, kept the compiler from merging the
    // two sets of stores and made decoding a quarter slower.
    KR_ASN1_ELEMENT* e;
    if (__builtin_expect(common, 1)) {
        e = Taker::Init(block, parent, data, static_cast<int>(available));
        StoreHeader(e, data, header);
        *link = e;
        view = ViewOf(header, data);
    } else {
        e = Taker::Init(block, parent, data, static_cast<int>(available));
        *link = e;
        DecodeHeaderExactly(e);
        view = ViewOf(e);
    }
    return e;
}

// Moves the first content octet of |e| (tag number 3, contents not empty)
// into |unusedBits|.
inline void StripUnusedBits(KR_ASN1_ELEMENT* e) {
    e->unusedBits = e->content[0];
    ++e->content;
    --e->length;
}

// Completes |e| once its contents end at |endOfContents|: checks the
// length, strips the unused-bits octet and, for the indefinite form, the
// end-of-contents octets. Returns the end of |e|'s encoding.
inline unsigned char* FinishElement(KR_ASN1_ELEMENT* e, unsigned char* endOfContents) {
    const auto consumed = static_cast<int32_t>(endOfContents - e->content);
    if (__builtin_expect(e->indefinite, 0)) {
        e->length = consumed;
    } else if (__builtin_expect(e->length != consumed, 0)) {
        Fail("ASN1 element length does not match decoded size");
    }
    if (e->tagNumber == 3 && e->length != 0) StripUnusedBits(e);
    if (__builtin_expect(!e->indefinite, 1)) return endOfContents;
    if (OctetsToRegionEnd(e, endOfContents) < 2) {
        Fail("ASN1 element has indefinte length, but is not terminated by x'0000'");
    }
    return endOfContents + 2;
}

// Completes |e| once the chain of its children ends at |endOfChildren|.
// For the definite form the children's region, which ends at
// |childRegionEnd|, is exactly |e|'s contents, so that no field of |e| needs
// to be read for the length check.
inline unsigned char* FinishParent(KR_ASN1_ELEMENT* e, unsigned char* endOfChildren,
                                   const unsigned char* childRegionEnd) {
    if (__builtin_expect(e->indefinite, 0)) return FinishElement(e, endOfChildren);
    if (__builtin_expect(endOfChildren != childRegionEnd, 0)) {
        Fail("ASN1 element length does not match decoded size");
    }
    if (__builtin_expect(e->tagNumber == 3, 0) && e->length != 0) StripUnusedBits(e);
    return endOfChildren;
}

// Decodes the chain at |first|, taking the blocks of new elements from
// |source|.
template <class Taker>
unsigned char* DecodeChainWith(KR_ASN1_ELEMENT* first, Taker& source) {
    KR_ASN1_ELEMENT* e = first;
    ElementView view = DecodeHeader(e);
    // The end of the region of |e|'s chain.
    unsigned char* regionEnd = first->data + static_cast<uint32_t>(first->available);
    size_t depth = 0;  // levels below the chain this call started on
    // The elements being decoded on the upper levels and the ends of their
    // regions, so that climbing back needs no load through |parent|; deeper
    // levels are found through the links.
    struct Level {
        KR_ASN1_ELEMENT* element;
        unsigned char* regionEnd;
    };
    constexpr size_t kRememberedLevels = 32;
    Level levels[kRememberedLevels];
    for (;;) {
        if (view.constructed && (view.length != 0 || view.indefinite)) {
            unsigned char* inner = view.content;
            const auto innerSize =
                view.indefinite ? static_cast<uint32_t>(regionEnd - inner) : view.length;
            if (!view.indefinite || !IsEndOfContents(inner, innerSize)) {
                if (depth < kRememberedLevels) levels[depth] = Level{e, regionEnd};
                regionEnd = inner + innerSize;
                e = AddElement(source, &e->child, e, inner, innerSize,
                               "Error creating child KR_ASN1_ELEMENT", view);
                ++depth;
                continue;
            }
        }
        unsigned char* end = view.content + view.length;
        if (view.constructed) {
            end = FinishElement(e, end);
        } else if (view.bitString && view.length != 0) {
            StripUnusedBits(e);
        }
        // |e| is complete; go on with its sibling, or finish every enclosing
        // element whose chain ends with it.
        for (;;) {
            const auto rest = static_cast<uint32_t>(regionEnd - end);
            // Two zero octets are rare at a sibling's place, so the parent
            // is looked at only then.
            const bool chainEnds =
                rest == 0 || (IsEndOfContents(end, rest) && InIndefiniteContents(e));
            if (!chainEnds) {
                e = AddElement(source, &e->sibling, e->parent, end, rest,
                               "Error creating sibling KR_ASN1_ELEMENT", view);
                break;
            }
            if (depth == 0) return end;
            --depth;
            const unsigned char* const childRegionEnd = regionEnd;
            if (depth < kRememberedLevels) {
                e = levels[depth].element;
                regionEnd = levels[depth].regionEnd;
            } else {
                e = e->parent;
                regionEnd = e->data + static_cast<uint32_t>(e->available);
            }
            end = FinishParent(e, end, childRegionEnd);
        }
    }
}

}  // namespace

unsigned char* krasn1::DecodeChain(KR_ASN1_ELEMENT* first, PoolPosition& position) {
    PoolTaker source(position);
    return DecodeChainWith(first, source);
}

unsigned char* KR_ASN1_ELEMENT::Decode() {
    krasn1::HeapTaker source;
    return DecodeChainWith(this, source);
}
