// ASN.1 element tree decoding and dump.
//
// KR_ASN1_STRUCTURE keeps a private copy of BER-encoded octets and decodes
// them into a tree of KR_ASN1_ELEMENT nodes, one per tag-length-value
// encoding. Nodes point into the structure's buffer; nothing is copied. The
// decoder is generic: it interprets no content except that it strips the
// unused-bits octet of elements with tag number 3.
//
// Decoding, releasing and printing walk the tree with loops over the parent,
// child and sibling links, never by recursion, so any nesting depth and any
// sibling count are handled within a constant amount of stack. Decoding time
// and memory grow linearly with the input (at most one element per two
// octets).
//
// Bounds: the input is at most INT_MAX octets (the int length of the
// constructor and Decode; a negative length is refused by the allocation).
// No element's length exceeds the octets left in its region, so lengths
// stay within int32_t; length octets beyond the last four are shifted out.
#ifndef KRTOOLS_ASN1_H
#define KRTOOLS_ASN1_H

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "krtools/console.h"
#include "krtools/exception.h"
#include "krtools/export.h"

// One decoded tag-length-value encoding. A plain value class: callers read
// the public members directly. Copies share the links and buffer pointers
// (only |hexText| is copied by value); the destructor releases only
// |hexText|, never children or siblings.
class KRTOOLS_API KR_ASN1_ELEMENT {
public:
    // The identifier octet exactly as read.
    uint8_t id;
    // Identifier octet AND 0xC0: 0x00 universal, 0x40 application,
    // 0x80 context-specific, 0xC0 private.
    int32_t tagClass;
    // Identifier octet AND 0x1F (0 to 30).
    int32_t tagNumber;
    // Bit 0x20 of the identifier octet.
    bool constructed;
    // True when the element uses the indefinite length form.
    bool indefinite;
    // For tag number 3 with contents: the first content octet (unused bits
    // of a BIT STRING); 0 otherwise.
    int32_t unusedBits;
    // First content octet inside the structure's buffer; for tag number 3
    // it points past the unused-bits octet.
    unsigned char* content;
    // Number of content octets (without the unused-bits octet for tag
    // number 3, without the end-of-contents octets for the indefinite form).
    // -1 before decoding, and when the length was found too large.
    int32_t length;
    // The enclosing element; null on the top level.
    KR_ASN1_ELEMENT* parent;
    // The next element at the same level; null for the last.
    KR_ASN1_ELEMENT* sibling;
    // The first element inside a constructed element; null otherwise.
    KR_ASN1_ELEMENT* child;
    // The text built by Hex2Char; empty otherwise.
    std::string hexText;
    // The identifier octet of this element inside the structure's buffer.
    unsigned char* data;
    // Octets from |data| to the end of the region holding this element and
    // its following siblings.
    int32_t available;

    // An undecoded element: numbers 0, flags false, |content| = |data|,
    // |length| -1, no sibling or child, empty |hexText|.
    KR_ASN1_ELEMENT(KR_ASN1_ELEMENT* parent, unsigned char* data, int available)
        : id(0),
          tagClass(0),
          tagNumber(0),
          constructed(false),
          indefinite(false),
          unusedBits(0),
          content(data),
          length(-1),
          parent(parent),
          sibling(nullptr),
          child(nullptr),
          data(data),
          available(available) {}

    // Decodes the element at |data| and every following sibling of its
    // region, with all their descendants, and returns the position just
    // after the last octet consumed. Elements are allocated singly with new
    // and linked into this element; the caller releases them with delete.
    // (KR_ASN1_STRUCTURE::Decode builds its tree from its own element pool
    // instead.)
    //
    // Throws KRException with rc -2 and one of these texts:
    //   "ASN1 element is EMPTY"  (no data, or fewer than 2 octets left)
    //   "ASN1 element 'high-tag-number' is unsupported"
    //   "ASN1 element length is too large"
    //   "ASN1 element has indefinite length, but is not a constructed type"
    //   "ASN1 element length does not match decoded size"
    //   "ASN1 element has indefinte length, but is not terminated by x'0000'"
    //   "Error creating child KR_ASN1_ELEMENT"
    //   "Error creating sibling KR_ASN1_ELEMENT"
    // The elements built before the failure stay linked. Length octets are
    // accumulated in 32-bit unsigned arithmetic and every length is compared
    // unsigned with the octets actually left, so no length makes the decoder
    // read outside the region given by |data| and |available|; the caller
    // guarantees that |available| octets are readable at |data|.
    unsigned char* Decode();

    // Fills |hexText| with the content octets as upper-case hexadecimal,
    // two octets per group, groups separated by one blank ("0102 0304 05"),
    // and returns its text. Empty when |content| is null or |length| is not
    // positive. The pointer is valid until |hexText| changes or the element
    // is destroyed.
    const char* Hex2Char();
};

namespace krasn1 {
struct ElementChunk;
}

// A private copy of BER octets and the element tree decoded from them.
// Owns the buffer and every element of the tree. Decode takes the elements
// one by one from a pool of blocks that the structure keeps between
// decodings, so decoding again reuses the memory of the previous tree; a
// tree that a caller builds and stores in |root| instead is released with
// delete. Elements that a caller links into a decoded tree remain the
// caller's to release. Not copyable; moving hands the buffer, the tree and
// the pool over and leaves the source empty.
class KRTOOLS_API KR_ASN1_STRUCTURE {
public:
    // The first element of the top level; null while there is no tree.
    KR_ASN1_ELEMENT* root;

    // No tree and no buffer.
    KR_ASN1_STRUCTURE();
    // No tree; when |data| is non-null and |length| non-zero, a private copy
    // of the |length| octets (throws the holder's "Malloc failed: " exception,
    // also for a negative length). Does not decode.
    KR_ASN1_STRUCTURE(unsigned char* data, int length);
    // Releases the tree, then the buffer.
    ~KR_ASN1_STRUCTURE();

    KR_ASN1_STRUCTURE(const KR_ASN1_STRUCTURE&) = delete;
    KR_ASN1_STRUCTURE& operator=(const KR_ASN1_STRUCTURE&) = delete;
    KR_ASN1_STRUCTURE(KR_ASN1_STRUCTURE&& other) noexcept;
    KR_ASN1_STRUCTURE& operator=(KR_ASN1_STRUCTURE&& other) noexcept;

    // When |data| is non-null and |length| non-zero, replaces the buffer by a
    // fresh copy of the octets; then decodes the buffer as Decode() does.
    void Decode(unsigned char* data, int length);

    // Releases the current tree and decodes the whole buffer into a new one;
    // every octet must belong to a complete element (octets after the first
    // top-level element become its siblings). Throws KRException with rc -1
    // and "Empty ASN1 structure" when there is no buffer, rc -1 and "Error
    // creating root KR_ASN1_ELEMENT" when the root cannot be allocated, and
    // the rc -2 errors of KR_ASN1_ELEMENT::Decode. After a failure the
    // elements built so far stay under |root| until the next Decode or the
    // destruction; the buffer is kept.
    void Decode();

    // Prints the tree to standard output, or "Empty ASN1 structure\n" when
    // there is none. One line per element: "%02X %04X" of the identifier and
    // length, " (ind) | " or "       | ", the indentation (two blanks per
    // level) and the description; below every primitive element with
    // contents its Hex2Char text in slices of 40 characters, each on a line
    // indented by 16 + level + 2 blanks. The indentation makes the output of
    // a tree nested N levels deep grow with N squared.
    void Print();
    // Print with the indentation capped: elements nested deeper than
    // |maxDepth| levels are indented as at |maxDepth| (2 * maxDepth blanks)
    // and their description starts with "[depth N] ", N their nesting depth
    // (the root is depth 0), so the output grows linearly with the input.
    // Elements at |maxDepth| or less print exactly as Print prints them.
    void PrintDepthCapped(int maxDepth);
    // Prints |element| and its following siblings at indentation |level|,
    // each followed by its descendants at |level| + 2 and deeper (pre-order).
    // |element| must be non-null.
    void PrintElementLevel(KR_ASN1_ELEMENT* element, int level);
    // Prints one element (header, description, hexadecimal dump) at
    // indentation |level|.
    void PrintElement(KR_ASN1_ELEMENT* element, int level);

protected:
    // Releases the tree below |element|'s child, the chain that begins at its
    // sibling, and |element| itself. Null does nothing. Elements of the pool
    // are destroyed and their blocks kept; others are deleted.
    void DeleteElement(KR_ASN1_ELEMENT* element);

    // The private copy of the encoded octets.
    KR_DYNAMIC_PTR buffer;

private:
    // The blocks of the elements that Decode builds, kept for the next
    // decoding and freed by the destructor.
    krasn1::ElementChunk* elementChunks_ = nullptr;
};

#endif  // KRTOOLS_ASN1_H
