#include "plugin/collect/vertex_pages.h"

#include <algorithm>
#include <cstring>

namespace pelmora {

void VertexPages::put(std::int32_t index, const Vec3f& v) {
    const auto page = static_cast<std::size_t>(index / kPageSize);
    if (page >= pages_.size()) pages_.resize(page + 1);
    if (!pages_[page]) pages_[page] = std::make_unique<Page>();
    (*pages_[page])[static_cast<std::size_t>(index % kPageSize)] = v;
}

Vec3f VertexPages::at(std::int32_t index) const {
    const auto page = static_cast<std::size_t>(index / kPageSize);
    if (index < 0 || page >= pages_.size() || !pages_[page]) return Vec3f{};
    return (*pages_[page])[static_cast<std::size_t>(index % kPageSize)];
}

std::size_t VertexPages::pageCount() const {
    std::size_t n = 0;
    for (const auto& page : pages_) n += page ? 1 : 0;
    return n;
}

void VertexPages::copyTo(float* out) const {
    std::int32_t done = 0;
    for (std::size_t page = 0; done < count_; ++page) {
        const std::int32_t n = std::min(kPageSize, count_ - done);
        if (page < pages_.size() && pages_[page]) {
            std::memcpy(out, pages_[page]->data(), static_cast<std::size_t>(n) * sizeof(Vec3f));
        } else {
            std::memset(out, 0, static_cast<std::size_t>(n) * sizeof(Vec3f));
        }
        out += static_cast<std::size_t>(n) * 3;
        done += n;
    }
}

}  // namespace pelmora
