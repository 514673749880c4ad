// Allocation and release of single KR_ASN1_ELEMENT objects.
//
// Released element blocks are kept in a small per-thread list and handed out
// again for the next elements built on the same thread, so that building and
// releasing trees of many small elements costs little. The list is emptied
// into the heap at thread exit. Sanitizer builds use the heap for every
// element, so that misuse of released elements is detected.
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

// A new undecoded element, or null when memory is exhausted.
inline KR_ASN1_ELEMENT* NewElement(KR_ASN1_ELEMENT* parent, unsigned char* data, int available) {
    void* block = AllocateElementBlock();
    if (block == nullptr) return nullptr;
    return ::new (block) KR_ASN1_ELEMENT(parent, data, available);
}

inline void ReleaseElement(KR_ASN1_ELEMENT* element) {
    element->~KR_ASN1_ELEMENT();
    ReleaseElementBlock(element);
}

// Releases many elements: their blocks are collected in a local list and
// handed to the thread's list in one step when the releaser goes away.
class ElementReleaser {
public:
    ElementReleaser() = default;
    ~ElementReleaser() { Flush(); }
    ElementReleaser(const ElementReleaser&) = delete;
    ElementReleaser& operator=(const ElementReleaser&) = delete;

    void Release(KR_ASN1_ELEMENT* element) {
        element->~KR_ASN1_ELEMENT();
        ReleaseBlock(element);
    }

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

// Releases a tree one element at a time, in the order of
// KR_ASN1_STRUCTURE::DeleteElement, while a new tree is being built: each
// released block is handed to the new tree as soon as it needs one, so that
// walking the old tree overlaps with decoding. Whatever is left of the old
// tree is released when the recycler goes away.
class TreeRecycler {
public:
    explicit TreeRecycler(KR_ASN1_ELEMENT* tree)
        : current_(tree), top_(tree != nullptr ? tree->parent : nullptr) {}
    ~TreeRecycler();
    TreeRecycler(const TreeRecycler&) = delete;
    TreeRecycler& operator=(const TreeRecycler&) = delete;

    // Destroys the next element of the walk and returns its block, or null
    // when the whole tree is released.
    void* Next() {
        if (current_ == nullptr) return nullptr;
        KR_ASN1_ELEMENT* element = current_;
        if (!climbed_) {
            while (element->child != nullptr) element = element->child;
        }
        KR_ASN1_ELEMENT* next = element->sibling;
        KR_ASN1_ELEMENT* up = element->parent;
        climbed_ = next == nullptr;
        current_ = next != nullptr ? next : (up != top_ ? up : nullptr);
        element->~KR_ASN1_ELEMENT();
        return element;
    }

private:
    KR_ASN1_ELEMENT* current_;
    KR_ASN1_ELEMENT* const top_;
    // True when |current_| was reached from its last child: its children are
    // released already.
    bool climbed_ = false;
};

// Hands out blocks for the elements of one decoding. The thread's list is
// taken over for the lifetime of the source, so that the list head stays in a
// register while the elements are built, and given back when the source goes
// away, also when decoding fails.
class ElementSource {
public:
    // |recycler|, when given, supplies blocks before the thread's list.
    explicit ElementSource(TreeRecycler* recycler = nullptr) : recycler_(recycler) {
#ifndef KR_ASN1_HEAP_ONLY
        ElementCache& cache = threadElementCache;
        head_ = cache.head;
        count_ = cache.count;
        cache.head = nullptr;
        cache.count = 0;
#endif
    }
    ~ElementSource() { GiveBack(); }
    ElementSource(const ElementSource&) = delete;
    ElementSource& operator=(const ElementSource&) = delete;

    // A block for one element, or null when memory is exhausted.
    void* Take() {
        if (recycler_ != nullptr) {
            if (void* block = recycler_->Next()) {
#ifndef KR_ASN1_HEAP_ONLY
                return block;
#else
                ::operator delete(block);
#endif
            } else {
                recycler_ = nullptr;
            }
        }
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
    // Returns the blocks not handed out to the thread's list.
    void GiveBack();

    TreeRecycler* recycler_;
    // Unused in sanitizer builds, which take every block from the heap.
    [[maybe_unused]] FreeElement* head_ = nullptr;
    [[maybe_unused]] size_t count_ = 0;
};

}  // namespace krasn1

#endif  // KRTOOLS_ASN1_ELEMENT_ALLOC_H
