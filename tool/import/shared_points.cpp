#include "tool/import/shared_points.h"

#include <cassert>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace pelmora::tool {
namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Open addressing over the kept points, keyed by their bits.
class PointSlots {
public:
    explicit PointSlots(std::size_t points) {
        std::size_t size = 16;
        while (size < points * 2) size *= 2;
        slots_.assign(size, kNone);
    }

    // The kept point with the bits of `xyz`, or kNone after making `next` its slot.
    std::uint32_t findOrAdd(const float* xyz, const std::vector<float>& kept, std::uint32_t next) {
        std::uint32_t bits[3];
        std::memcpy(bits, xyz, sizeof bits);
        std::uint64_t h = (bits[0] * 0x9E3779B1ull) ^ (bits[1] * 0x85EBCA77ull) ^ (bits[2] * 0xC2B2AE3Dull);
        h ^= h >> 17;
        for (std::size_t at = h & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
            const std::uint32_t slot = slots_[at];
            if (slot == kNone) {
                slots_[at] = next;
                return kNone;
            }
            if (std::memcmp(&kept[std::size_t{slot} * 3], xyz, sizeof bits) == 0) return slot;
        }
    }

private:
    std::vector<std::uint32_t> slots_;
};

}  // namespace

void sharePoints(HandoffMesh& mesh) {
    const std::size_t count = mesh.points.size() / 3;
    std::vector<std::uint32_t> newIndex(count, kNone);
    std::vector<float> kept;
    kept.reserve(mesh.points.size());
    PointSlots slots(count);
    for (std::uint32_t& index : mesh.indices) {
        assert(index < count);
        std::uint32_t& mapped = newIndex[index];
        if (mapped == kNone) {
            const float* xyz = &mesh.points[std::size_t{index} * 3];
            const auto next = static_cast<std::uint32_t>(kept.size() / 3);
            mapped = slots.findOrAdd(xyz, kept, next);
            if (mapped == kNone) {
                kept.insert(kept.end(), xyz, xyz + 3);
                mapped = next;
            }
        }
        index = mapped;
    }
    kept.shrink_to_fit();
    mesh.points = std::move(kept);
}

}  // namespace pelmora::tool
