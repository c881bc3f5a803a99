#include "plugin/collect/vertex_pages.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace pelmora {

namespace {
constexpr auto kPageSlots = static_cast<std::size_t>(VertexPages::kPageSize);
// Room the first page starts with: a triangle's worth and one more.
constexpr std::size_t kFirstPageRoom = 4;
}  // namespace

void VertexPages::put(std::int32_t index, const Vec3f& v) {
    assert(index >= 0);
    const auto page = static_cast<std::size_t>(index / kPageSize);
    const auto slot = static_cast<std::size_t>(index % kPageSize);
    if (page >= pages_.size()) pages_.resize(page + 1);
    Page& p = pages_[page];
    if (slot >= p.size()) {
        if (slot >= p.capacity()) {
            // Doubling from a few slots, never past the page: a mesh of three vertices holds 48 bytes, not 12 KiB.
            const std::size_t start = page == 0 ? kFirstPageRoom : kPageSlots;
            p.reserve(std::min(kPageSlots, std::max({slot + 1, 2 * p.capacity(), start})));
        }
        p.resize(slot + 1);
    }
    p[slot] = v;
}

Vec3f VertexPages::at(std::int32_t index) const {
    const auto page = static_cast<std::size_t>(index / kPageSize);
    const auto slot = static_cast<std::size_t>(index % kPageSize);
    if (index < 0 || page >= pages_.size() || slot >= pages_[page].size()) return Vec3f{};
    return pages_[page][slot];
}

std::size_t VertexPages::pageCount() const {
    std::size_t n = 0;
    for (const auto& page : pages_) n += page.empty() ? 0 : 1;
    return n;
}

void VertexPages::copyTo(float* out) const {
    std::int32_t done = 0;
    for (std::size_t page = 0; done < count_; ++page) {
        const auto n = static_cast<std::size_t>(std::min(kPageSize, count_ - done));
        const std::size_t held = page < pages_.size() ? std::min(n, pages_[page].size()) : 0;
        if (held > 0) std::memcpy(out, pages_[page].data(), held * sizeof(Vec3f));
        std::memset(out + held * 3, 0, (n - held) * sizeof(Vec3f));
        out += n * 3;
        done += static_cast<std::int32_t>(n);
    }
}

}  // namespace pelmora
