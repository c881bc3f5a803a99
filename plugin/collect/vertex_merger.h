// Welds the vertices of one converted object: a vertex joins the earliest stored
// vertex whose three coordinates each differ from it by less than 0.00001
// (differences in single precision); otherwise it is stored with the next index.
#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

#include "plugin/scene_file/records.h"

namespace pelmora {

class VertexMerger {
public:
    static constexpr double kTolerance = 0.00001;

    VertexMerger();

    // Appends n to the polygon list and counts one polygon.
    void beginPolygon(std::int32_t n);
    // Appends the index of v (joined or new) to the polygon list; gives that index.
    std::int32_t addVertex(const Vec3f& v);

    std::int32_t vertexCount() const { return static_cast<std::int32_t>(vertices_.size()); }
    // The first vertex seen for index k.
    const Vec3f& vertex(std::int32_t k) const {
        assert(k >= 0 && k < vertexCount());
        return vertices_[static_cast<std::size_t>(k)];
    }
    const std::vector<Vec3f>& vertices() const { return vertices_; }
    // Per polygon: n, then n indices (no hole count).
    const std::vector<std::int32_t>& polygonList() const { return polygons_; }
    std::int32_t polygonCount() const { return polygonCount_; }

    // True when a and b are one vertex: each coordinate differs by less than
    // the tolerance (both bounds excluded), the differences taken in single
    // precision. Equal infinities count as one; a NaN coordinate never matches.
    static bool sameVertex(const Vec3f& a, const Vec3f& b);

private:
    struct Cell {
        std::int32_t x, y, z;
        bool operator==(const Cell&) const = default;
    };
    struct Slot {
        Cell cell;
        std::int32_t head;  // most recent vertex of the cell, -1 for an empty slot
    };

    // The helpers of addVertex are inline, defined in vertex_merger.cpp (the only
    // caller): the core is built position-independent for the module, and there
    // the compiler folds only inline functions into the weld's loop.
    inline std::size_t slotOf(const Cell& cell) const;  // the slot holding `cell`, or the empty one where it goes
    // Room for about a thousand vertices from the start: every converted object
    // gets a fresh merger, and growing small tables step by step (fresh blocks,
    // every entry placed again) cost more than the weld itself.
    static constexpr int kInitialBits = 11;
    // Tables double when half full.
    static constexpr int kGrowthBits = 1;
    static constexpr std::size_t kGrowth = std::size_t{1} << kGrowthBits;

    // sx, sy, sz: the neighbour cell along each axis that v lies within reach of
    // (-1, +1, or 0 for none). Gives the home cell's slot in `homeSlot`.
    inline std::int32_t earliestMatch(const Vec3f& v, const Cell& home, int sx, int sy, int sz,
                                      std::size_t& homeSlot) const;
    // The earliest vertex of one cell's chain that is one vertex with v, or -1.
    inline std::int32_t earliestInCell(std::int32_t head, const Vec3f& v) const;
    // Adds vertex `index` to `cell`, whose slot (found or empty) is `slot`.
    inline void insert(const Cell& cell, std::size_t slot, std::int32_t index);
    void rehash();

    // Vertices answered lately, by their exact bits, one per slot (a newer one
    // takes the slot of an older). A repeat gets the answer of its first
    // occurrence (stored vertices only ever gain higher indices), so it skips
    // the tolerance search: most vertices of a mesh are repeats of recent ones.
    // Any vertex not found here is answered by the search, with the same
    // result; so the table stays small enough for the processor's caches.
    struct Seen {
        std::uint32_t bits[3];
        std::int32_t index;  // -1 for an empty slot
    };
    static constexpr int kMaxSeenBits = 14;
    inline std::size_t seenSlotOf(const std::uint32_t (&bits)[3]) const;
    void growSeen();

    std::vector<Vec3f> vertices_;
    std::vector<std::int32_t> nextInCell_;  // per vertex: the previous vertex of its cell, or -1
    std::vector<Slot> slots_;               // open addressing, power-of-two size
    int shift_;                             // 64 - log2(slots_.size())
    std::size_t usedSlots_ = 0;
    std::vector<Seen> seen_;
    int seenShift_;
    std::vector<std::int32_t> polygons_;
    std::int32_t polygonCount_ = 0;
};

}  // namespace pelmora
