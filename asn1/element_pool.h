// The element pool of a KR_ASN1_STRUCTURE.
//
// A structure takes the elements of its tree one by one from a list of
// chunks that it keeps between decodings: each element has a block of its
// own, handed out in order, so taking one costs a pointer increment. Every
// block of a chunk holds an element at all times (an empty one when it is
// not part of the tree), so taking a block means setting the members of the
// element it holds; its text is freed first in the rare case that it has
// one. A new decoding reuses the blocks of the previous tree from the first on;
// releasing a tree only frees the texts its elements hold, in block order,
// without walking the links.
#ifndef KRTOOLS_ASN1_ELEMENT_POOL_H
#define KRTOOLS_ASN1_ELEMENT_POOL_H

#include <algorithm>
#include <cstddef>
#include <new>

#include "krtools/asn1.h"

namespace krasn1 {

// One allocation of element blocks; the blocks follow the header.
struct ElementChunk {
    ElementChunk* next;
    size_t capacity;  // blocks in this chunk
    size_t used;      // blocks [0, used) may belong to the current tree

    KR_ASN1_ELEMENT* Blocks() { return reinterpret_cast<KR_ASN1_ELEMENT*>(this + 1); }
    KR_ASN1_ELEMENT* End() { return Blocks() + capacity; }
};
static_assert(sizeof(ElementChunk) % alignof(KR_ASN1_ELEMENT) == 0,
              "the blocks after a chunk header are aligned for elements");

// Where the next block of a decoding comes from. |chunk| is null before the
// first block is taken.
struct PoolPosition {
    ElementChunk** first;  // the structure's chunk list
    size_t firstCapacity;  // blocks in the first chunk when it is created
    ElementChunk* chunk;
    KR_ASN1_ELEMENT* cursor;
};

// Blocks [begin, end) of a chunk.
struct BlockRange {
    KR_ASN1_ELEMENT* begin;
    KR_ASN1_ELEMENT* end;
};

// A position at the start of |*first|'s chunks; |inputSize| (octets to
// decode) sizes the first chunk when there is none yet.
inline PoolPosition StartOfPool(ElementChunk** first, size_t inputSize) {
    // A DER certificate has about one element per 16 octets.
    const size_t capacity = std::clamp<size_t>(inputSize / 16, 16, 1024);
    return PoolPosition{first, capacity, nullptr, nullptr};
}

// Moves |position| to the start of the chunk after its current one (or to
// the first chunk), creating that chunk when it does not exist, and returns
// that chunk's blocks; an empty range when memory is exhausted.
BlockRange EnterNextChunk(PoolPosition& position);

// Ends a decoding that stopped at |position|: frees the texts of the old
// elements after it, and the chunks that lie far beyond what it used.
void FinishDecoding(const PoolPosition& position);

// Frees the texts of every element of the pool; the tree is gone.
void ReleaseAllElements(ElementChunk* first);

// Destroys every element and frees every chunk.
void FreePool(ElementChunk*& first);

// True when |element| lies in one of the chunks.
bool PoolHolds(const ElementChunk* first, const KR_ASN1_ELEMENT* element);

// Replaces the pooled |element| by an empty element.
void ReleaseInPlace(KR_ASN1_ELEMENT* element);

// Frees the text of the pooled |element|.
void ReleaseText(KR_ASN1_ELEMENT* element);

// Hands out pool blocks during one decoding. The cursor and the end of the
// current chunk are copied in and the cursor is written back when the taker
// goes away, also when decoding fails, so that both stay in registers; it
// must be a local object whose address does not escape.
class PoolTaker {
public:
    explicit PoolTaker(PoolPosition& position)
        : position_(position),
          cursor_(position.cursor),
          end_(position.chunk != nullptr ? position.chunk->End() : nullptr) {}
    ~PoolTaker() { position_.cursor = cursor_; }
    PoolTaker(const PoolTaker&) = delete;
    PoolTaker& operator=(const PoolTaker&) = delete;

    // The next element of the pool, to be set up with Init before use, or
    // null when memory is exhausted. Its text is already empty.
    KR_ASN1_ELEMENT* Take() {
        if (__builtin_expect(cursor_ == end_, 0)) {
            const BlockRange next = EnterNextChunk(position_);
            if (next.begin == next.end) return nullptr;
            cursor_ = next.begin;
            end_ = next.end;
        }
        KR_ASN1_ELEMENT* element = cursor_++;
        if (__builtin_expect(!element->hexText.empty(), 0)) ReleaseText(element);
        return element;
    }

    // Makes the taken |element| an undecoded element, as the constructor
    // does; its empty text is kept.
    static KR_ASN1_ELEMENT* Init(KR_ASN1_ELEMENT* element, KR_ASN1_ELEMENT* parent,
                                 unsigned char* data, int available) {
        element->id = 0;
        element->tagClass = 0;
        element->tagNumber = 0;
        element->constructed = false;
        element->indefinite = false;
        element->unusedBits = 0;
        element->content = data;
        element->length = -1;
        element->parent = parent;
        element->sibling = nullptr;
        element->child = nullptr;
        element->data = data;
        element->available = available;
        return element;
    }

private:
    PoolPosition& position_;
    KR_ASN1_ELEMENT* cursor_;
    KR_ASN1_ELEMENT* end_;
};

// Hands out heap blocks, for elements that the caller releases with delete.
class HeapTaker {
public:
    // A block for one element, or null when memory is exhausted.
    void* Take() { return ::operator new(sizeof(KR_ASN1_ELEMENT), std::nothrow); }

    // Constructs an undecoded element in the taken |block|.
    static KR_ASN1_ELEMENT* Init(void* block, KR_ASN1_ELEMENT* parent, unsigned char* data,
                                 int available) {
        return ::new (block) KR_ASN1_ELEMENT(parent, data, available);
    }
};

}  // namespace krasn1

#endif  // KRTOOLS_ASN1_ELEMENT_POOL_H
