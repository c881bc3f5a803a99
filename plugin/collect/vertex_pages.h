// The vertices of one mesh: three floats each, addressed by index, stored in
// pages of 1024 so that a growing mesh never moves more than one page. The
// first page grows with the mesh, so a drawing of thousands of small classes
// does not hold a whole page for each; the later pages are taken whole.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/scene_file/records.h"

namespace pelmora {

class VertexPages {
public:
    static constexpr std::int32_t kPageSize = 1024;

    std::int32_t count() const { return count_; }

    // Writes slot `count()` and grows the count by one.
    void append(const Vec3f& v) { put(count_++, v); }
    // Writes slot `index` (>= 0), creating its page on first touch; the count is not changed.
    void put(std::int32_t index, const Vec3f& v);
    // Grows the count by `n` (slots written with put beforehand).
    void grow(std::int32_t n) { count_ += n; }
    // The vertex at `index`; a slot never written reads as (0, 0, 0).
    Vec3f at(std::int32_t index) const;
    // Number of pages created so far.
    std::size_t pageCount() const;
    // Vertices 0 to count() - 1, three floats each, in index order.
    void copyTo(float* out) const;

private:
    // A page holds its slots up to the highest one written; the rest read as (0, 0, 0).
    using Page = std::vector<Vec3f>;
    // Page number -> page; empty until one of its slots is touched.
    std::vector<Page> pages_;
    std::int32_t count_ = 0;
};

}  // namespace pelmora
