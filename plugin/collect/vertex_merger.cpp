#include "plugin/collect/vertex_merger.h"

#include <cassert>
#include <cmath>
#include <cstring>

namespace pelmora {
namespace {

// Cells are far wider than twice the tolerance, so a vertex mostly probes its
// own cell alone; the probe margin of 1.5 tolerances covers the rounding of
// single-precision differences near the bound.
constexpr double kCellsPerMetre = 4096.0;
constexpr double kProbeMargin = VertexMerger::kTolerance * 1.5;
// Cell numbers are clamped to +-2^30 (about 260 km): beyond that a float's
// step is far above the tolerance, so only equal values can join there.
constexpr double kCellLimit = 1073741824.0;

// One coordinate's cell and which neighbour cell (-1, +1 or 0 for none) it lies
// within reach of. Plain arithmetic: this runs three times per vertex.
struct AxisCell {
    std::int32_t cell;
    int side;
};

inline AxisCell axisCell(float coordinate) {
    // Cells are shifted by half their width so that round coordinates (whole
    // metres and their binary fractions down to 1/4096) fall in the middle of a
    // cell, not on its edge where every vertex would probe its neighbours too.
    const double scaled = static_cast<double>(coordinate) * kCellsPerMetre + 0.5;
    if (!(scaled > -kCellLimit && scaled < kCellLimit)) {
        // Beyond any drawing, infinite or NaN: one far cell each side, no neighbours.
        return AxisCell{scaled > 0.0 ? static_cast<std::int32_t>(kCellLimit) : static_cast<std::int32_t>(-kCellLimit),
                        0};
    }
    auto cell = static_cast<std::int32_t>(scaled);
    if (static_cast<double>(cell) > scaled) --cell;            // floor for negative values
    const double offset = scaled - static_cast<double>(cell);  // 0 <= offset < 1
    constexpr double reach = kProbeMargin * kCellsPerMetre;
    const int side = offset < reach ? -1 : (offset > 1.0 - reach ? 1 : 0);
    return AxisCell{cell, side};
}

bool within(float a, float b) {
    const float d = a - b;  // single precision, as the tolerance is defined
    const double dd = static_cast<double>(d);
    return (-VertexMerger::kTolerance < dd && dd < VertexMerger::kTolerance) || a == b;
}

// sameVertex, in a form the weld's own loops can inline.
inline bool joinable(const Vec3f& a, const Vec3f& b) {
    return within(a.z, b.z) && within(a.y, b.y) && within(a.x, b.x);
}

}  // namespace

VertexMerger::VertexMerger()
    : slots_(std::size_t{1} << kInitialBits, Slot{{0, 0, 0}, -1}),
      shift_(64 - kInitialBits),
      seen_(std::size_t{1} << kInitialBits, Seen{{0, 0, 0}, -1}),
      seenShift_(64 - kInitialBits) {
    // Sized like the tables: an object of about a thousand vertices never regrows them.
    vertices_.reserve(std::size_t{1} << (kInitialBits - 1));
    nextInCell_.reserve(std::size_t{1} << (kInitialBits - 1));
    polygons_.reserve(std::size_t{1} << (kInitialBits + 1));
}

bool VertexMerger::sameVertex(const Vec3f& a, const Vec3f& b) { return joinable(a, b); }

void VertexMerger::beginPolygon(std::int32_t n) {
    assert(n >= 0);
    polygons_.push_back(n);
    ++polygonCount_;
}

inline std::size_t VertexMerger::slotOf(const Cell& cell) const {
    // Multiplicative hashing: the top bits of the mixed product pick the slot.
    const std::uint64_t h = static_cast<std::uint64_t>(static_cast<std::uint32_t>(cell.x)) * 0x9E3779B97F4A7C15ULL ^
                            static_cast<std::uint64_t>(static_cast<std::uint32_t>(cell.y)) * 0xC2B2AE3D27D4EB4FULL ^
                            static_cast<std::uint64_t>(static_cast<std::uint32_t>(cell.z)) * 0x165667B19E3779F9ULL;
    const std::size_t mask = slots_.size() - 1;
    assert((slots_.size() & mask) == 0 && usedSlots_ < slots_.size());  // a power of two with an empty slot
    auto i = static_cast<std::size_t>((h ^ (h >> 31)) * 0xBF58476D1CE4E5B9ULL >> shift_);
    while (slots_[i].head >= 0 && !(slots_[i].cell == cell)) i = (i + 1) & mask;
    return i;
}

inline std::int32_t VertexMerger::earliestInCell(std::int32_t head, const Vec3f& v) const {
    // A cell's chain runs from its newest vertex to its oldest: the last match is the earliest.
    std::int32_t found = -1;
    for (std::int32_t k = head; k >= 0; k = nextInCell_[static_cast<std::size_t>(k)]) {
        if (joinable(v, vertices_[static_cast<std::size_t>(k)])) found = k;
    }
    return found;
}

inline std::int32_t VertexMerger::earliestMatch(const Vec3f& v, const Cell& home, int sx, int sy, int sz,
                                                std::size_t& homeSlot) const {
    homeSlot = slotOf(home);
    std::int32_t best = earliestInCell(slots_[homeSlot].head, v);
    if ((sx | sy | sz) == 0) return best;
    // Near a cell edge: the neighbour cells it lies within reach of, corners included.
    for (int dx = 0; dx <= (sx != 0 ? 1 : 0); ++dx) {
        for (int dy = 0; dy <= (sy != 0 ? 1 : 0); ++dy) {
            for (int dz = 0; dz <= (sz != 0 ? 1 : 0); ++dz) {
                if (dx + dy + dz == 0) continue;
                const Slot& slot = slots_[slotOf(Cell{home.x + dx * sx, home.y + dy * sy, home.z + dz * sz})];
                const std::int32_t found = earliestInCell(slot.head, v);
                if (found >= 0 && (best < 0 || found < best)) best = found;
            }
        }
    }
    return best;
}

inline void VertexMerger::insert(const Cell& cell, std::size_t i, std::int32_t index) {
    // The newest stored vertex, into the slot slotOf found for its cell.
    assert(index == vertexCount() - 1 && i < slots_.size());
    assert(slots_[i].head < 0 || slots_[i].cell == cell);
    if (slots_[i].head < 0) {
        slots_[i].cell = cell;
        ++usedSlots_;
    }
    nextInCell_.push_back(slots_[i].head);
    slots_[i].head = index;
    if (usedSlots_ * 2 > slots_.size()) rehash();
}

void VertexMerger::rehash() {
    std::vector<Slot> old(slots_.size() * kGrowth, Slot{{0, 0, 0}, -1});
    old.swap(slots_);
    shift_ -= kGrowthBits;
    for (const Slot& slot : old) {
        if (slot.head >= 0) slots_[slotOf(slot.cell)] = slot;
    }
}

inline std::size_t VertexMerger::seenSlotOf(const std::uint32_t (&bits)[3]) const {
    const std::uint64_t h =
        bits[0] * 0x9E3779B97F4A7C15ULL ^ bits[1] * 0xC2B2AE3D27D4EB4FULL ^ bits[2] * 0x165667B19E3779F9ULL;
    return static_cast<std::size_t>((h ^ (h >> 31)) * 0xBF58476D1CE4E5B9ULL >> seenShift_);
}

void VertexMerger::growSeen() {
    // What the smaller table held is only a shortcut: it starts again empty.
    std::vector<Seen>(seen_.size() * kGrowth, Seen{{0, 0, 0}, -1}).swap(seen_);
    seenShift_ -= kGrowthBits;
}

std::int32_t VertexMerger::addVertex(const Vec3f& v) {
    static_assert(sizeof(Vec3f) == 3 * sizeof(std::uint32_t));
    std::uint32_t bits[3];
    std::memcpy(bits, &v, sizeof bits);
    // NaN never equals itself, so a vertex holding one is never a repeat.
    const bool cacheable = v.x == v.x && v.y == v.y && v.z == v.z;
    std::size_t seenSlot = 0;
    if (cacheable) {
        seenSlot = seenSlotOf(bits);
        const Seen& seen = seen_[seenSlot];
        if (seen.index >= 0 && seen.bits[0] == bits[0] && seen.bits[1] == bits[1] && seen.bits[2] == bits[2]) {
            polygons_.push_back(seen.index);
            return seen.index;
        }
    }

    const AxisCell ax = axisCell(v.x), ay = axisCell(v.y), az = axisCell(v.z);
    const Cell home{ax.cell, ay.cell, az.cell};
    std::size_t homeSlot = 0;
    std::int32_t index = earliestMatch(v, home, ax.side, ay.side, az.side, homeSlot);
    if (index < 0) {
        index = static_cast<std::int32_t>(vertices_.size());
        vertices_.push_back(v);
        insert(home, homeSlot, index);
    }
    if (cacheable) seen_[seenSlot] = Seen{{bits[0], bits[1], bits[2]}, index};
    // Room for about two slots a stored vertex, up to what the caches hold.
    if (vertices_.size() * 2 > seen_.size() && seen_.size() < (std::size_t{1} << kMaxSeenBits)) growSeen();
    polygons_.push_back(index);
    return index;
}

}  // namespace pelmora
