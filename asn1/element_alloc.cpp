// The per-thread list of released element blocks and the class allocation
// functions of KR_ASN1_ELEMENT over it.
#include "asn1/element_alloc.h"

namespace krasn1 {

// Zero-initialised: an empty list.
__thread ElementCache threadElementCache __attribute__((tls_model("initial-exec")));

namespace {

// Empties the thread's list when the thread ends.
struct CacheRelease {
    CacheRelease() { threadElementCache.releaseRegistered = true; }
    ~CacheRelease() {
        ElementCache& cache = threadElementCache;
        while (cache.head != nullptr) {
            FreeElement* next = cache.head->next;
            ::operator delete(cache.head);
            cache.head = next;
        }
        cache.count = kMaxCachedElements;
    }
};

}  // namespace

void RegisterCacheRelease() {
    static thread_local CacheRelease release;
    (void)release;
}

TreeRecycler::~TreeRecycler() {
    ElementReleaser releaser;
    while (void* block = ReleaseNext(walk_)) releaser.ReleaseBlock(block);
}

void ElementSource::GiveBack([[maybe_unused]] FreeElement* head, [[maybe_unused]] size_t count) {
#ifndef KR_ASN1_HEAP_ONLY
    ElementCache& cache = threadElementCache;
    if (cache.head == nullptr) {
        // |count| is the maximum when the list was emptied at thread exit.
        cache.head = head;
        cache.count = count;
        return;
    }
    while (head != nullptr) {
        FreeElement* next = head->next;
        ReleaseElementBlock(head);
        head = next;
    }
#endif
}

void ElementReleaser::Flush() {
#ifndef KR_ASN1_HEAP_ONLY
    if (head_ == nullptr) return;
    ElementCache& cache = threadElementCache;
    if (!cache.releaseRegistered) RegisterCacheRelease();
    const size_t room = cache.count < kMaxCachedElements ? kMaxCachedElements - cache.count : 0;
    if (count_ <= room) {
        tail_->next = cache.head;
        cache.head = head_;
        cache.count += count_;
    } else {
        while (head_ != nullptr) {
            FreeElement* next = head_->next;
            ReleaseElementBlock(head_);
            head_ = next;
        }
    }
    head_ = tail_ = nullptr;
    count_ = 0;
#endif
}

}  // namespace krasn1

void* KR_ASN1_ELEMENT::operator new(size_t size, const std::nothrow_t&) noexcept {
    if (size != sizeof(KR_ASN1_ELEMENT)) return ::operator new(size, std::nothrow);
    return krasn1::AllocateElementBlock();
}

void* KR_ASN1_ELEMENT::operator new(size_t size) {
    void* block = operator new(size, std::nothrow);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void KR_ASN1_ELEMENT::operator delete(void* block, size_t size) noexcept {
    if (block == nullptr) return;
    if (size != sizeof(KR_ASN1_ELEMENT)) {
        ::operator delete(block);
        return;
    }
    krasn1::ReleaseElementBlock(block);
}

void KR_ASN1_ELEMENT::operator delete(void* block, const std::nothrow_t&) noexcept {
    operator delete(block, sizeof(KR_ASN1_ELEMENT));
}
