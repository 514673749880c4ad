// KR_ASN1_STRUCTURE: the buffer, the decoding entry points and the release
// of the element tree.
#include <cstring>
#include <utility>

#include "asn1/element_decode.h"
#include "krtools/asn1.h"

namespace {

constexpr int kStructureErrorRc = -1;

// Decodes |buffer| into a new tree stored in |root|, taking element blocks
// from |oldTree| first.
void DecodeBuffer(KR_ASN1_ELEMENT*& root, const KR_DYNAMIC_PTR& buffer,
                  krasn1::TreeRecycler& oldTree) {
    if (buffer.ptr == nullptr) throw KRException(kStructureErrorRc, "Empty ASN1 structure");
    void* block = oldTree.Take();
    if (block == nullptr) {
        throw KRException(kStructureErrorRc, "Error creating root KR_ASN1_ELEMENT");
    }
    root = ::new (block) KR_ASN1_ELEMENT(nullptr, buffer.ptr, buffer.size);
    krasn1::DecodeChain(root, &oldTree);
}

}  // namespace

KR_ASN1_STRUCTURE::KR_ASN1_STRUCTURE() : root(nullptr) {}

KR_ASN1_STRUCTURE::KR_ASN1_STRUCTURE(unsigned char* data, int length) : root(nullptr) {
    if (data != nullptr && length != 0) {
        buffer.Malloc(length);
        std::memcpy(buffer.ptr, data, static_cast<size_t>(length));
    }
}

KR_ASN1_STRUCTURE::~KR_ASN1_STRUCTURE() { DeleteElement(root); }

KR_ASN1_STRUCTURE::KR_ASN1_STRUCTURE(KR_ASN1_STRUCTURE&& other) noexcept
    : root(std::exchange(other.root, nullptr)), buffer(std::move(other.buffer)) {}

KR_ASN1_STRUCTURE& KR_ASN1_STRUCTURE::operator=(KR_ASN1_STRUCTURE&& other) noexcept {
    if (this != &other) {
        DeleteElement(root);
        root = std::exchange(other.root, nullptr);
        buffer = std::move(other.buffer);
    }
    return *this;
}

// The previous tree is released while the new one is built: its elements are
// released one by one, in the order of DeleteElement, as the new tree takes
// their blocks, and the rest when |oldTree| goes away (also on failure).
void KR_ASN1_STRUCTURE::Decode(unsigned char* data, int length) {
    krasn1::TreeRecycler oldTree(std::exchange(root, nullptr));
    if (data != nullptr && length != 0) {
        buffer.Malloc(length);
        std::memcpy(buffer.ptr, data, static_cast<size_t>(length));
    }
    DecodeBuffer(root, buffer, oldTree);
}

void KR_ASN1_STRUCTURE::Decode() {
    krasn1::TreeRecycler oldTree(std::exchange(root, nullptr));
    DecodeBuffer(root, buffer, oldTree);
}

// Children before the element, each chain from its first element on; see
// krasn1::ReleaseNext.
void KR_ASN1_STRUCTURE::DeleteElement(KR_ASN1_ELEMENT* element) {
    krasn1::ReleaseWalk walk = krasn1::StartReleaseWalk(element);
    krasn1::ElementReleaser releaser;
    while (void* block = krasn1::ReleaseNext(walk)) releaser.ReleaseBlock(block);
}
