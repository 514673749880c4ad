// KR_ASN1_STRUCTURE: the buffer, the decoding entry points and the release
// of the element tree.
#include <cstring>
#include <utility>

#include "asn1/element_decode.h"
#include "asn1/element_pool.h"
#include "krtools/asn1.h"

namespace {

constexpr int kStructureErrorRc = -1;

// The position of a release walk over a tree: the first element without a
// child, then its siblings, each after its own descendants, then the
// parent; children before siblings before the element itself.
struct ReleaseWalk {
    KR_ASN1_ELEMENT* current;  // the next element to release; null at the end
    KR_ASN1_ELEMENT* top;      // the parent of the tree's first element
};

KR_ASN1_ELEMENT* FirstWithoutChild(KR_ASN1_ELEMENT* element) {
    while (element->child != nullptr) element = element->child;
    return element;
}

// The next element of |walk|, found before the current one is released, or
// null at the end: the first element without a child below its sibling,
// else its parent, whose children are then all released.
KR_ASN1_ELEMENT* Advance(ReleaseWalk& walk) {
    KR_ASN1_ELEMENT* element = walk.current;
    if (element == nullptr) return nullptr;
    if (element->sibling != nullptr) {
        walk.current = FirstWithoutChild(element->sibling);
    } else {
        walk.current = element->parent != walk.top ? element->parent : nullptr;
    }
    return element;
}

}  // namespace

KR_ASN1_STRUCTURE::KR_ASN1_STRUCTURE() : root(nullptr) {}

KR_ASN1_STRUCTURE::KR_ASN1_STRUCTURE(unsigned char* data, int length) : root(nullptr) {
    if (data != nullptr && length != 0) {
        buffer.Malloc(length);
        std::memcpy(buffer.ptr, data, static_cast<size_t>(length));
    }
}

KR_ASN1_STRUCTURE::~KR_ASN1_STRUCTURE() {
    DeleteElement(root);
    krasn1::FreePool(elementChunks_);
}

KR_ASN1_STRUCTURE::KR_ASN1_STRUCTURE(KR_ASN1_STRUCTURE&& other) noexcept
    : root(std::exchange(other.root, nullptr)),
      buffer(std::move(other.buffer)),
      elementChunks_(std::exchange(other.elementChunks_, nullptr)) {}

KR_ASN1_STRUCTURE& KR_ASN1_STRUCTURE::operator=(KR_ASN1_STRUCTURE&& other) noexcept {
    if (this != &other) {
        DeleteElement(root);
        krasn1::FreePool(elementChunks_);
        root = std::exchange(other.root, nullptr);
        buffer = std::move(other.buffer);
        elementChunks_ = std::exchange(other.elementChunks_, nullptr);
    }
    return *this;
}

void KR_ASN1_STRUCTURE::Decode(unsigned char* data, int length) {
    if (data != nullptr && length != 0) {
        buffer.Malloc(length);
        std::memcpy(buffer.ptr, data, static_cast<size_t>(length));
    }
    Decode();
}

// A tree built from the pool is not released up front: the new tree reuses
// its blocks in order, freeing an old element's text as its block is taken,
// and FinishDecoding frees the texts of the rest (also when decoding fails).
void KR_ASN1_STRUCTURE::Decode() {
    KR_ASN1_ELEMENT* oldTree = std::exchange(root, nullptr);
    if (oldTree != nullptr && !krasn1::PoolHolds(elementChunks_, oldTree)) DeleteElement(oldTree);
    krasn1::PoolPosition position =
        krasn1::StartOfPool(&elementChunks_, buffer.ptr != nullptr ? buffer.size : 0);
    struct Finish {
        const krasn1::PoolPosition& position;
        ~Finish() { krasn1::FinishDecoding(position); }
    } finish{position};

    if (buffer.ptr == nullptr) throw KRException(kStructureErrorRc, "Empty ASN1 structure");
    KR_ASN1_ELEMENT* block = krasn1::PoolTaker(position).Take();
    if (block == nullptr) {
        throw KRException(kStructureErrorRc, "Error creating root KR_ASN1_ELEMENT");
    }
    root = krasn1::PoolTaker::Init(block, nullptr, buffer.ptr, buffer.size);
    krasn1::DecodeChain(root, position);
}

// The whole tree of the pool (its first block) is released in block order;
// any other tree is walked, pooled elements are released in place and the
// others deleted.
void KR_ASN1_STRUCTURE::DeleteElement(KR_ASN1_ELEMENT* element) {
    if (element == nullptr) return;
    if (elementChunks_ != nullptr && element == elementChunks_->Blocks()) {
        krasn1::ReleaseAllElements(elementChunks_);
        return;
    }
    ReleaseWalk walk{FirstWithoutChild(element), element->parent};
    while (KR_ASN1_ELEMENT* next = Advance(walk)) {
        if (krasn1::PoolHolds(elementChunks_, next)) {
            krasn1::ReleaseInPlace(next);
        } else {
            delete next;
        }
    }
}
