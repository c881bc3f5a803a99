#include "hostsim/host/node_table.h"

#include <algorithm>
#include <cstdint>

#include "hostsim/host/host_node.h"
#include "platform/memory_pages.h"

namespace pelmora::hostsim {
namespace {

// Nodes per block: a few hundred kilobytes, so that a drawing of a million
// objects needs a few hundred ranges and a temporary object of a thousand
// polygons fits a block several times.
constexpr std::size_t kBlockNodes = 4096;
// Nodes of freed blocks kept for reuse.
constexpr std::size_t kSpareNodes = std::size_t{1} << 20;

std::uintptr_t address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

}  // namespace

Node* NodeTable::Block::nodeAt(const void* p) const {
    const std::uintptr_t offset = address(p) - address(nodes.get());
    if (offset % sizeof(Node) != 0) return nullptr;
    const std::size_t index = offset / sizeof(Node);
    if (index >= used) return nullptr;
    // The address is a node's start: the handle a released node had.
    if (released != nullptr) return const_cast<Node*>(released);
    return nodes[index].given ? &nodes[index] : nullptr;
}

NodeTable::NodeTable() : released_(std::make_unique<Node>()) {
    released_->kind = NodeKind::Temporary;
    released_->given = true;
    released_->alive = false;
}
NodeTable::~NodeTable() = default;

NodeTable::Block& NodeTable::newBlock(std::size_t capacity, bool temporary) {
    std::unique_ptr<Block> block;
    // A freed block large enough is used again: a large object converted
    // once per export needs the same room each time.
    auto fits = spare_.end();
    for (auto it = spare_.begin(); it != spare_.end(); ++it) {
        if ((*it)->capacity >= capacity && (fits == spare_.end() || (*it)->capacity < (*fits)->capacity)) fits = it;
    }
    if (fits != spare_.end()) {
        block = std::move(*fits);
        spare_.erase(fits);
        spareNodes_ -= block->capacity;
    } else {
        block = std::make_unique<Block>();
        block->nodes = std::make_unique<Node[]>(capacity);
        block->capacity = capacity;
        block->bytes = capacity * sizeof(Node);
    }
    block->temporary = temporary;
    block->released = nullptr;
    Block& made = *block;
    const auto at =
        std::upper_bound(blocks_.begin(), blocks_.end(), address(made.nodes.get()),
                         [](std::uintptr_t p, const std::unique_ptr<Block>& b) { return p < address(b->nodes.get()); });
    blocks_.insert(at, std::move(block));
    return made;
}

const NodeTable::Block* NodeTable::blockAt(const void* p) const {
    // The last block starting at or before p is the only one that can hold it.
    auto it =
        std::upper_bound(blocks_.begin(), blocks_.end(), address(p),
                         [](std::uintptr_t q, const std::unique_ptr<Block>& b) { return q < address(b->nodes.get()); });
    if (it == blocks_.begin()) return nullptr;
    const Block* b = (--it)->get();
    return b->holds(p) ? b : nullptr;
}

NodeTable::Block* NodeTable::blockOf(const Node* n) { return const_cast<Block*>(blockAt(n)); }

Node* NodeTable::add() {
    if (drawingBlock_ == nullptr || drawingBlock_->used == drawingBlock_->capacity)
        drawingBlock_ = &newBlock(kBlockNodes, false);
    Node* n = &drawingBlock_->nodes[drawingBlock_->used++];
    *n = Node{};
    n->given = true;
    ++given_;
    return n;
}

Node* NodeTable::addTemporary(std::size_t count) {
    Block* block = temporaryBlock_;
    if (block == nullptr || block->capacity - block->used < count) {
        block = &newBlock(std::max(count, kBlockNodes), true);
        temporaryOrder_.push_back(block);
        // A block of its own for a large object; small ones share blocks.
        if (count <= kBlockNodes) {
            Block* filled = temporaryBlock_;
            temporaryBlock_ = block;
            if (filled != nullptr) releaseIfDisposed(filled);
        }
    }
    Node* first = &block->nodes[block->used];
    for (std::size_t i = 0; i < count; ++i) {
        first[i] = Node{};
        first[i].given = true;
    }
    block->used += count;
    block->live += count;
    given_ += count;
    return first;
}

void NodeTable::retireTemporary(const Node* first, std::size_t count, std::size_t keep) {
    Block* block = blockOf(first);
    if (block == nullptr) return;
    block->live -= count;
    block->disposed += count;
    waiting_ += count;
    releaseIfDisposed(block);
    // The oldest blocks whose objects are all disposed of go first.
    for (std::size_t i = 0; i < temporaryOrder_.size() && waiting_ > keep;) {
        Block* b = temporaryOrder_[i];
        if (b->live != 0) {
            ++i;
            continue;
        }
        waiting_ -= b->disposed;
        temporaryOrder_.erase(temporaryOrder_.begin() + static_cast<std::ptrdiff_t>(i));
        if (b == temporaryBlock_) temporaryBlock_ = nullptr;
        freeBlock(b);
    }
}

// A temporary block no longer filled whose nodes are all disposed of: its
// whole pages go back to the system (they read as zeros if touched again,
// and are written before any use when the block is reused). Disposed nodes
// would otherwise hold about 128 bytes each, a million of them at a time.
void NodeTable::releaseIfDisposed(Block* block) {
    if (block->live != 0 || block == temporaryBlock_ || block->released != nullptr) return;
    block->released = released_.get();
    tool::system::dropWholePagesWithin(block->nodes.get(), block->bytes);
}

void NodeTable::freeBlock(Block* block) {
    for (const Block*& recent : recent_)
        if (recent == block) recent = nullptr;
    given_ -= block->used;
    // Its nodes are no longer found: only slots below `used` are.
    block->used = block->live = block->disposed = 0;
    block->released = nullptr;
    auto it =
        std::find_if(blocks_.begin(), blocks_.end(), [&](const std::unique_ptr<Block>& b) { return b.get() == block; });
    std::unique_ptr<Block> owned = std::move(*it);
    blocks_.erase(it);
    // Kept for reuse up to as many nodes as the disposed ones waiting: the
    // host then holds at most about twice that.
    if (spareNodes_ + owned->capacity <= kSpareNodes) {
        spareNodes_ += owned->capacity;
        spare_.push_back(std::move(owned));
    }
}

}  // namespace pelmora::hostsim
