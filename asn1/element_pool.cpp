// Chunk management of the element pool.
#include "asn1/element_pool.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace krasn1 {

namespace {

// Chunks double in size up to 65536 blocks (7 MiB), so that a large tree
// takes few chunks and wastes little of the last one.
size_t NextCapacity(size_t capacity) { return capacity < 32768 ? 2 * capacity : 65536; }

// A chunk whose blocks all hold empty elements, or null.
ElementChunk* NewChunk(size_t capacity) {
    const size_t limit = (SIZE_MAX - sizeof(ElementChunk)) / sizeof(KR_ASN1_ELEMENT);
    if (capacity > limit) return nullptr;
    void* memory = std::malloc(sizeof(ElementChunk) + capacity * sizeof(KR_ASN1_ELEMENT));
    if (memory == nullptr) return nullptr;
    auto* chunk = ::new (memory) ElementChunk{nullptr, capacity, 0};
    for (KR_ASN1_ELEMENT* block = chunk->Blocks(); block < chunk->End(); ++block) {
        ::new (block) KR_ASN1_ELEMENT(nullptr, nullptr, 0);
    }
    return chunk;
}

// Frees the texts of the elements in blocks [from, to).
void ReleaseTexts(KR_ASN1_ELEMENT* from, KR_ASN1_ELEMENT* to) {
    for (KR_ASN1_ELEMENT* block = from; block < to; ++block) {
        if (!block->hexText.empty()) ReleaseText(block);
    }
}

void ReleaseChunkTexts(ElementChunk* chunk) {
    ReleaseTexts(chunk->Blocks(), chunk->Blocks() + chunk->used);
    chunk->used = 0;
}

void FreeChunks(ElementChunk* chunk) {
    while (chunk != nullptr) {
        ElementChunk* next = chunk->next;
        for (KR_ASN1_ELEMENT* block = chunk->Blocks(); block < chunk->End(); ++block) {
            block->~KR_ASN1_ELEMENT();
        }
        std::free(chunk);
        chunk = next;
    }
}

// Frees the texts of the elements in the chunks after |last| (the last one
// used), |start| blocks from the pool's start. Those chunks stay for the
// next decodings as long as they start within max(4 * |usedBlocks|, 1024)
// blocks, so that inputs of varying size do not make chunks come and go;
// the others are freed.
void TrimSpareChunks(ElementChunk* last, size_t start, size_t usedBlocks) {
    const size_t keep = usedBlocks < 256 ? 1024 : 4 * usedBlocks;
    start += last->capacity;
    for (ElementChunk* chunk = last; chunk->next != nullptr; chunk = chunk->next) {
        ElementChunk* spare = chunk->next;
        if (start >= keep) {
            FreeChunks(spare);
            chunk->next = nullptr;
            return;
        }
        ReleaseChunkTexts(spare);
        start += spare->capacity;
    }
}

}  // namespace

BlockRange EnterNextChunk(PoolPosition& position) {
    ElementChunk* current = position.chunk;
    ElementChunk* next = current != nullptr ? current->next : *position.first;
    if (next == nullptr) {
        next =
            NewChunk(current != nullptr ? NextCapacity(current->capacity) : position.firstCapacity);
        if (next == nullptr) return BlockRange{nullptr, nullptr};
        (current != nullptr ? current->next : *position.first) = next;
    }
    if (current != nullptr) current->used = current->capacity;
    position.chunk = next;
    position.cursor = next->Blocks();
    return BlockRange{next->Blocks(), next->End()};
}

void FinishDecoding(const PoolPosition& position) {
    ElementChunk* chunk = position.chunk;
    if (chunk == nullptr) {
        ReleaseAllElements(*position.first);
        return;
    }
    ReleaseTexts(position.cursor, chunk->Blocks() + chunk->used);
    chunk->used = static_cast<size_t>(position.cursor - chunk->Blocks());
    size_t start = 0;  // blocks before |chunk|
    for (ElementChunk* before = *position.first; before != chunk; before = before->next) {
        start += before->capacity;
    }
    TrimSpareChunks(chunk, start, start + chunk->used);
}

void ReleaseAllElements(ElementChunk* first) {
    for (ElementChunk* chunk = first; chunk != nullptr; chunk = chunk->next) {
        ReleaseChunkTexts(chunk);
    }
}

void FreePool(ElementChunk*& first) {
    FreeChunks(first);
    first = nullptr;
}

bool PoolHolds(const ElementChunk* first, const KR_ASN1_ELEMENT* element) {
    const auto address = reinterpret_cast<uintptr_t>(element);
    for (const ElementChunk* chunk = first; chunk != nullptr; chunk = chunk->next) {
        const auto blocks = reinterpret_cast<uintptr_t>(chunk + 1);
        if (address >= blocks && address < blocks + chunk->capacity * sizeof(KR_ASN1_ELEMENT)) {
            return true;
        }
    }
    return false;
}

void ReleaseText(KR_ASN1_ELEMENT* element) { std::string().swap(element->hexText); }

void ReleaseInPlace(KR_ASN1_ELEMENT* element) {
    element->~KR_ASN1_ELEMENT();
    ::new (element) KR_ASN1_ELEMENT(nullptr, nullptr, 0);
}

}  // namespace krasn1
