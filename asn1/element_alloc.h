// Allocation and release of single KR_ASN1_ELEMENT objects.
//
// Released element blocks are kept in a small per-thread list and handed out
// again for the next elements built on the same thread, so that building and
// releasing trees of many small elements costs little. The list is emptied
// into the heap at thread exit. A structure that decodes again hands the
// blocks of its previous tree straight to the new one (TreeRecycler).
// Sanitizer builds use the heap for every element, so that misuse of
// released elements is detected.
#ifndef KRTOOLS_ASN1_ELEMENT_ALLOC_H
#define KRTOOLS_ASN1_ELEMENT_ALLOC_H

#include <cstddef>
#include <new>

#include "krtools/asn1.h"

#if defined(__SANITIZE_ADDRESS__)
#define KR_ASN1_HEAP_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KR_ASN1_HEAP_ONLY 1
#endif
#endif

namespace krasn1 {

// At most this many released blocks are kept per thread (about 450 KiB).
constexpr size_t kMaxCachedElements = 4096;

struct FreeElement {
    FreeElement* next;
};

// The released blocks of one thread. |count| is raised to the maximum once
// the thread's list has been emptied at thread exit, so that later releases
// go to the heap.
struct ElementCache {
    FreeElement* head;
    size_t count;
    bool releaseRegistered;
};

// __thread rather than thread_local: constant-initialised, so no per-access
// initialisation call.
extern __thread ElementCache threadElementCache __attribute__((tls_model("initial-exec")));

// Arranges for the calling thread's list to be emptied at thread exit.
void RegisterCacheRelease();

// A block for one element, or null when memory is exhausted.
inline void* AllocateElementBlock() {
#ifndef KR_ASN1_HEAP_ONLY
    ElementCache& cache = threadElementCache;
    if (cache.head != nullptr) {
        FreeElement* block = cache.head;
        cache.head = block->next;
        --cache.count;
        return block;
    }
#endif
    return ::operator new(sizeof(KR_ASN1_ELEMENT), std::nothrow);
}

// Takes back a block of one element.
inline void ReleaseElementBlock(void* block) {
#ifndef KR_ASN1_HEAP_ONLY
    ElementCache& cache = threadElementCache;
    if (cache.count < kMaxCachedElements) {
        if (!cache.releaseRegistered) RegisterCacheRelease();
        auto* free = static_cast<FreeElement*>(block);
        free->next = cache.head;
        cache.head = free;
        ++cache.count;
        return;
    }
#endif
    ::operator delete(block);
}

// Releases many elements: their blocks are collected in a local list and
// handed to the thread's list in one step when the releaser goes away.
class ElementReleaser {
public:
    ElementReleaser() = default;
    ~ElementReleaser() { Flush(); }
    ElementReleaser(const ElementReleaser&) = delete;
    ElementReleaser& operator=(const ElementReleaser&) = delete;

    // Takes the block of an element already destroyed.
    void ReleaseBlock(void* raw) {
#ifndef KR_ASN1_HEAP_ONLY
        FreeElement* block = ::new (raw) FreeElement{head_};
        if (head_ == nullptr) tail_ = block;
        head_ = block;
        ++count_;
#else
        ::operator delete(raw);
#endif
    }

private:
    // Moves the collected blocks to the thread's list, as many as it may
    // hold, and the others back to the heap.
    void Flush();

    // Unused in sanitizer builds, which release every block at once.
    [[maybe_unused]] FreeElement* head_ = nullptr;
    [[maybe_unused]] FreeElement* tail_ = nullptr;
    [[maybe_unused]] size_t count_ = 0;
};

// The position of a release walk over a tree, in the order of
// KR_ASN1_STRUCTURE::DeleteElement: the first element without a child, then
// its siblings, each after its own descendants, then the parent.
struct ReleaseWalk {
    KR_ASN1_ELEMENT* current;  // the next element to release; null at the end
    KR_ASN1_ELEMENT* top;      // the parent of the tree's first element
};

inline KR_ASN1_ELEMENT* FirstWithoutChild(KR_ASN1_ELEMENT* element) {
    while (element->child != nullptr) element = element->child;
    return element;
}

// A walk over the tree that begins at |tree| (may be null).
inline ReleaseWalk StartReleaseWalk(KR_ASN1_ELEMENT* tree) {
    if (tree == nullptr) return ReleaseWalk{nullptr, nullptr};
    return ReleaseWalk{FirstWithoutChild(tree), tree->parent};
}

// Destroys the next element of |walk| and returns its block, or null when
// the whole tree is released. The element after it is found before it is
// destroyed: the first element without a child below its sibling, else its
// parent, whose children are then all released.
inline void* ReleaseNext(ReleaseWalk& walk) {
    KR_ASN1_ELEMENT* element = walk.current;
    if (element == nullptr) return nullptr;
    KR_ASN1_ELEMENT* next = element->sibling;
    KR_ASN1_ELEMENT* up = element->parent;
    if (next != nullptr) {
        walk.current = FirstWithoutChild(next);
    } else {
        walk.current = up != walk.top ? up : nullptr;
    }
    element->~KR_ASN1_ELEMENT();
    return element;
}

// The block of the next element of |walk| for reuse, or null when the tree
// is released. Sanitizer builds hand the block back to the heap instead, so
// that every element gets a fresh one.
inline void* TakeRecycled(ReleaseWalk& walk) {
    void* block = ReleaseNext(walk);
#ifdef KR_ASN1_HEAP_ONLY
    ::operator delete(block);
    block = nullptr;
#endif
    return block;
}

// Releases a tree one element at a time while a new tree is being built:
// each released block is handed to the new tree as soon as it needs one, so
// that walking the old tree overlaps with decoding. Whatever is left of the
// old tree is released when the recycler goes away.
class TreeRecycler {
public:
    explicit TreeRecycler(KR_ASN1_ELEMENT* tree) : walk_(StartReleaseWalk(tree)) {}
    ~TreeRecycler();
    TreeRecycler(const TreeRecycler&) = delete;
    TreeRecycler& operator=(const TreeRecycler&) = delete;

    // A block for one element: the next one of the old tree, else one of the
    // thread's list or the heap; null when memory is exhausted.
    void* Take() {
        if (void* block = TakeRecycled(walk_)) return block;
        return AllocateElementBlock();
    }

private:
    friend class ElementSource;
    ReleaseWalk walk_;
};

// Hands out blocks for the elements of one decoding: first those of a tree
// being recycled, then those of the thread's list, then the heap's. The walk
// and the thread's list are copied into the source for its lifetime, so that
// they stay in registers while the elements are built, and written back when
// the source goes away, also when decoding fails. A source must be a local
// object whose address does not escape.
class ElementSource {
public:
    explicit ElementSource(TreeRecycler* recycler)
        : recycler_(recycler),
          walk_(recycler != nullptr ? recycler->walk_ : ReleaseWalk{nullptr, nullptr}) {
#ifndef KR_ASN1_HEAP_ONLY
        ElementCache& cache = threadElementCache;
        head_ = cache.head;
        count_ = cache.count;
        cache.head = nullptr;
        cache.count = 0;
#endif
    }
    ~ElementSource() {
        if (recycler_ != nullptr) recycler_->walk_ = walk_;
        GiveBack(head_, count_);
    }
    ElementSource(const ElementSource&) = delete;
    ElementSource& operator=(const ElementSource&) = delete;

    // A block for one element, or null when memory is exhausted.
    void* Take() {
        if (void* block = TakeRecycled(walk_)) return block;
#ifndef KR_ASN1_HEAP_ONLY
        if (head_ != nullptr) {
            FreeElement* block = head_;
            head_ = block->next;
            --count_;
            return block;
        }
#endif
        return ::operator new(sizeof(KR_ASN1_ELEMENT), std::nothrow);
    }

private:
    // Returns the blocks |head| (|count| of them) not handed out to the
    // thread's list.
    static void GiveBack(FreeElement* head, size_t count);

    TreeRecycler* const recycler_;
    ReleaseWalk walk_;
    // Unused in sanitizer builds, which take every block from the heap.
    FreeElement* head_ = nullptr;
    size_t count_ = 0;
};

}  // namespace krasn1

#endif  // KRTOOLS_ASN1_ELEMENT_ALLOC_H
