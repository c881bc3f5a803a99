// Where the emulated host keeps the nodes its handles point to: in blocks of
// many nodes, so that telling a handle the host gave from any other pointer
// is a search among a few address ranges (the last one found is tried first)
// instead of a lookup in a set of every handle. Temporary objects take their
// nodes from blocks of their own; a disposed one's nodes stay, marked dead,
// until enough others have been disposed after it, and are used again then;
// meanwhile a block whose nodes are all disposed gives its memory back to the
// system and keeps only its address range, so a handle into it still reads
// as disposed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace pelmora::hostsim {

struct Node;

class NodeTable {
public:
    NodeTable();
    ~NodeTable();
    NodeTable(const NodeTable&) = delete;
    NodeTable& operator=(const NodeTable&) = delete;

    // A node of the drawing (or a record): it lives as long as the host.
    Node* add();
    // `count` contiguous nodes for one temporary object, set to their defaults.
    Node* addTemporary(std::size_t count);
    // The temporary object's nodes are disposed of (already marked dead). When
    // more than `keep` disposed nodes wait, the oldest blocks whose nodes are
    // all disposed become free again: their handles are then never given.
    void retireTemporary(const Node* first, std::size_t count, std::size_t keep);

    // The node at a handle's address when the host gave it (alive or
    // disposed), else null. Never reads memory the table does not hold.
    // The two blocks found last are tried first: a walk over a temporary
    // object goes back and forth between it and the drawing's objects.
    Node* find(const void* handle) const {
        const Block* b = recent_[0];
        if (b == nullptr || !b->holds(handle)) {
            b = recent_[1];
            if (b == nullptr || !b->holds(handle)) {
                b = blockAt(handle);
                if (b == nullptr) return nullptr;
            }
            recent_[1] = recent_[0];
            recent_[0] = b;
        }
        return b->nodeAt(handle);
    }

    // Handles given so far and still known (for bounding walks over them).
    std::size_t givenCount() const { return given_; }

private:
    struct Block {
        std::unique_ptr<Node[]> nodes;
        std::size_t capacity = 0;
        std::size_t used = 0;      // slots handed out, from the start
        std::size_t live = 0;      // temporary nodes not yet disposed of
        std::size_t disposed = 0;  // temporary nodes disposed of and kept
        bool temporary = false;
        // Every node disposed of and its memory given back to the system:
        // each slot handed out reads as `released`, a disposed node.
        const Node* released = nullptr;

        bool holds(const void* p) const {
            const auto begin = reinterpret_cast<std::uintptr_t>(nodes.get());
            const auto at = reinterpret_cast<std::uintptr_t>(p);
            return at >= begin && at - begin < bytes;
        }
        Node* nodeAt(const void* p) const;
        std::size_t bytes = 0;  // capacity * sizeof(Node)
    };

    Block& newBlock(std::size_t capacity, bool temporary);
    const Block* blockAt(const void* p) const;
    Block* blockOf(const Node* n);
    void freeBlock(Block* block);
    void releaseIfDisposed(Block* block);

    std::vector<std::unique_ptr<Block>> blocks_;  // every block, sorted by address
    Block* drawingBlock_ = nullptr;               // where the next drawing node goes
    Block* temporaryBlock_ = nullptr;             // where the next temporary object goes
    std::vector<Block*> temporaryOrder_;          // temporary blocks, oldest first
    std::vector<std::unique_ptr<Block>> spare_;   // freed blocks, kept for reuse
    std::size_t spareNodes_ = 0;
    std::size_t waiting_ = 0;  // disposed temporary nodes kept
    std::size_t given_ = 0;
    mutable const Block* recent_[2] = {nullptr, nullptr};
    std::unique_ptr<Node> released_;  // what every node of a released block reads as
};

}  // namespace pelmora::hostsim
