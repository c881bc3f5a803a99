#include "collect/vertex_merger.h"

#include <cmath>

namespace pelmora {
namespace {

// Cells are far wider than twice the tolerance, so a vertex mostly probes its
// own cell alone; the probe margin of 1.5 tolerances covers the rounding of
// single-precision differences near the bound.
constexpr double kCellsPerMetre = 4096.0;
constexpr double kProbeMargin = VertexMerger::kTolerance * 1.5;
// Cell numbers of coordinates beyond any drawing (and of NaN) are clamped.
constexpr double kCellLimit = 4.0e18;

std::int64_t cellNumber(float coordinate) {
    const double scaled = std::floor(static_cast<double>(coordinate) * kCellsPerMetre);
    if (!(scaled > -kCellLimit)) return static_cast<std::int64_t>(-kCellLimit);  // also NaN
    if (scaled > kCellLimit) return static_cast<std::int64_t>(kCellLimit);
    return static_cast<std::int64_t>(scaled);
}

// Which neighbour along one axis the coordinate lies within reach of: -1, +1 or 0.
int neighbourSide(float coordinate, std::int64_t cell) {
    const double c = static_cast<double>(coordinate);
    if (!std::isfinite(c)) return 0;
    const double low = static_cast<double>(cell) / kCellsPerMetre;
    const double high = static_cast<double>(cell + 1) / kCellsPerMetre;
    if (c - low < kProbeMargin) return -1;
    if (high - c < kProbeMargin) return 1;
    return 0;
}

bool within(float a, float b) {
    const float d = a - b;  // single precision, as the tolerance is defined
    const double dd = static_cast<double>(d);
    return (-VertexMerger::kTolerance < dd && dd < VertexMerger::kTolerance) || a == b;
}

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

}  // namespace

VertexMerger::VertexMerger() : slots_(256, Slot{{0, 0, 0}, -1}) {}

bool VertexMerger::sameVertex(const Vec3f& a, const Vec3f& b) {
    return within(a.z, b.z) && within(a.y, b.y) && within(a.x, b.x);
}

void VertexMerger::beginPolygon(std::int32_t n) {
    polygons_.push_back(n);
    ++polygonCount_;
}

VertexMerger::Cell VertexMerger::cellOf(const Vec3f& v) { return Cell{cellNumber(v.x), cellNumber(v.y), cellNumber(v.z)}; }

std::size_t VertexMerger::slotOf(const Cell& cell) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>(mix(static_cast<std::uint64_t>(cell.x) * 0x9E3779B97F4A7C15ULL ^
                                                 static_cast<std::uint64_t>(cell.y) * 0xC2B2AE3D27D4EB4FULL ^
                                                 static_cast<std::uint64_t>(cell.z) * 0x165667B19E3779F9ULL)) &
                    mask;
    while (slots_[i].head >= 0 && !(slots_[i].cell == cell)) i = (i + 1) & mask;
    return i;
}

std::int32_t VertexMerger::earliestMatch(const Vec3f& v, const Cell& home) const {
    const int sx = neighbourSide(v.x, home.x);
    const int sy = neighbourSide(v.y, home.y);
    const int sz = neighbourSide(v.z, home.z);
    std::int32_t best = -1;
    for (int dx = 0; dx <= (sx != 0 ? 1 : 0); ++dx) {
        for (int dy = 0; dy <= (sy != 0 ? 1 : 0); ++dy) {
            for (int dz = 0; dz <= (sz != 0 ? 1 : 0); ++dz) {
                const Cell cell{home.x + dx * sx, home.y + dy * sy, home.z + dz * sz};
                const Slot& slot = slots_[slotOf(cell)];
                // A cell's chain runs from its newest vertex to its oldest.
                for (std::int32_t k = slot.head; k >= 0; k = nextInCell_[static_cast<std::size_t>(k)]) {
                    if (best >= 0 && k > best) continue;
                    if (sameVertex(v, vertices_[static_cast<std::size_t>(k)])) best = k;
                }
            }
        }
    }
    return best;
}

void VertexMerger::insert(const Cell& cell, std::int32_t index) {
    std::size_t i = slotOf(cell);
    if (slots_[i].head < 0) {
        slots_[i].cell = cell;
        ++usedSlots_;
    }
    nextInCell_.push_back(slots_[i].head);
    slots_[i].head = index;
    if (usedSlots_ * 2 > slots_.size()) rehash();
}

void VertexMerger::rehash() {
    std::vector<Slot> old(slots_.size() * 2, Slot{{0, 0, 0}, -1});
    old.swap(slots_);
    for (const Slot& slot : old) {
        if (slot.head >= 0) slots_[slotOf(slot.cell)] = slot;
    }
}

std::int32_t VertexMerger::addVertex(const Vec3f& v) {
    const Cell home = cellOf(v);
    std::int32_t index = earliestMatch(v, home);
    if (index < 0) {
        index = static_cast<std::int32_t>(vertices_.size());
        vertices_.push_back(v);
        insert(home, index);
    }
    polygons_.push_back(index);
    return index;
}

}  // namespace pelmora
