#include "plugin/collect/collection.h"

namespace pelmora {

VisitedList::~VisitedList() {
    Chunk* chunk = head_.next;
    while (chunk != nullptr) {
        Chunk* next = chunk->next;
        delete chunk;
        chunk = next;
    }
}

bool VisitedList::contains(HostHandle handle) const {
    std::size_t seen = 0;
    for (const Chunk* chunk = &head_; chunk != nullptr && seen < count_; chunk = chunk->next) {
        for (std::size_t slot = 0; slot < kChunkSize && seen < count_; ++slot, ++seen) {
            if (chunk->slots[slot] == handle) return true;
        }
    }
    return false;
}

void VisitedList::add(HostHandle handle) {
    Chunk* chunk = &head_;
    for (std::size_t i = 0; i < count_ / kChunkSize; ++i) {
        if (chunk->next == nullptr) chunk->next = new Chunk;
        chunk = chunk->next;
    }
    chunk->slots[count_ % kChunkSize] = handle;
    ++count_;
}

std::size_t VisitedList::chunkCount() const {
    std::size_t n = 0;
    for (const Chunk* chunk = &head_; chunk != nullptr; chunk = chunk->next) ++n;
    return n;
}

}  // namespace pelmora
