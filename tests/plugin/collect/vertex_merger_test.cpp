// The weld of one object's vertices: tolerance bounds, first-seen order, the
// indices of a plain ordered map on data it handles, and data it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "plugin/collect/vertex_merger.h"

namespace pelmora {
namespace {

// The tolerant order as a plain ordered map uses it (y first, then height, then x).
struct TolerantLess {
    bool operator()(const Vec3f& a, const Vec3f& b) const {
        auto tied = [](float d) { return -0.00001 < d && d < 0.00001; };
        float d = a.z - b.z;
        if (!tied(d)) return a.z < b.z;
        d = a.y - b.y;
        if (!tied(d)) return a.y < b.y;
        d = a.x - b.x;
        if (tied(d)) return false;
        return a.x < b.x;
    }
};

// The straightforward weld with an ordered map, kept here as the reference.
std::vector<std::int32_t> orderedMapIndices(const std::vector<Vec3f>& stream, std::int32_t& stored) {
    std::map<Vec3f, std::int32_t, TolerantLess> map;
    std::vector<std::int32_t> indices;
    for (const Vec3f& v : stream) {
        auto it = map.lower_bound(v);
        if (it != map.end() && !TolerantLess{}(v, it->first)) {
            indices.push_back(it->second);
        } else {
            const auto index = static_cast<std::int32_t>(map.size());
            map.emplace(v, index);
            indices.push_back(index);
        }
    }
    stored = static_cast<std::int32_t>(map.size());
    return indices;
}

// The weld's definition taken literally: the earliest stored vertex within tolerance.
std::vector<std::int32_t> bruteForceIndices(const std::vector<Vec3f>& stream, std::int32_t& stored) {
    std::vector<Vec3f> keys;
    std::vector<std::int32_t> indices;
    for (const Vec3f& v : stream) {
        std::int32_t found = -1;
        for (std::size_t k = 0; k < keys.size() && found < 0; ++k) {
            const float dx = v.x - keys[k].x, dy = v.y - keys[k].y, dz = v.z - keys[k].z;
            if (-0.00001 < dx && dx < 0.00001 && -0.00001 < dy && dy < 0.00001 && -0.00001 < dz && dz < 0.00001) {
                found = static_cast<std::int32_t>(k);
            }
        }
        if (found < 0) {
            found = static_cast<std::int32_t>(keys.size());
            keys.push_back(v);
        }
        indices.push_back(found);
    }
    stored = static_cast<std::int32_t>(keys.size());
    return indices;
}

// Welds a stream as one polygon and gives the indices it was given.
std::vector<std::int32_t> weldIndices(const std::vector<Vec3f>& stream, std::int32_t& stored) {
    VertexMerger merger;
    merger.beginPolygon(static_cast<std::int32_t>(stream.size()));
    for (const Vec3f& v : stream) merger.addVertex(v);
    stored = merger.vertexCount();
    const auto& list = merger.polygonList();
    return std::vector<std::int32_t>(list.begin() + 1, list.end());
}

TEST(VertexMergerTolerance, BoundsOfOneVertex) {
    const Vec3f a{1.0f, 2.0f, 3.0f};
    EXPECT_TRUE(VertexMerger::sameVertex(a, Vec3f{1.000005f, 2.000005f, 3.000005f}));
    EXPECT_FALSE(VertexMerger::sameVertex(a, Vec3f{1.00002f, 2.0f, 3.0f}));
    EXPECT_FALSE(VertexMerger::sameVertex(a, Vec3f{1.0f, 2.00002f, 3.0f}));
    EXPECT_FALSE(VertexMerger::sameVertex(a, Vec3f{1.0f, 2.0f, 3.00002f}));
    EXPECT_FALSE(VertexMerger::sameVertex(Vec3f{0.0f, 0.0f, 0.0f}, Vec3f{-0.0000101f, 0.0f, 0.0f}));
    EXPECT_TRUE(VertexMerger::sameVertex(Vec3f{0.0f, 0.0f, 0.0f}, Vec3f{-0.0000099f, 0.0f, 0.0f}));
}

TEST(VertexMergerOrder, QuadOfNewCornersAndSharedEdge) {
    VertexMerger merger;
    merger.beginPolygon(4);
    for (const Vec3f& v : {Vec3f{0, 0, 0}, Vec3f{1, 0, 0}, Vec3f{1, 0, 1}, Vec3f{0, 0, 1}}) merger.addVertex(v);
    EXPECT_EQ(merger.polygonList(), (std::vector<std::int32_t>{4, 0, 1, 2, 3}));

    // Second triangle over the shared edge, within tolerance of its corners.
    merger.beginPolygon(3);
    merger.addVertex(Vec3f{1.000005f, 0.0f, 1.0f});
    merger.addVertex(Vec3f{2.0f, 0.0f, 1.0f});
    merger.addVertex(Vec3f{0.0f, -0.000005f, 1.000005f});
    EXPECT_EQ(merger.polygonList(), (std::vector<std::int32_t>{4, 0, 1, 2, 3, 3, 2, 4, 3}));
    EXPECT_EQ(merger.vertexCount(), 5);
    EXPECT_EQ(merger.polygonCount(), 2);
    // The key kept is the first vertex seen.
    EXPECT_EQ(merger.vertex(2).x, 1.0f);
    EXPECT_EQ(merger.vertex(3).y, 0.0f);
}

TEST(VertexMergerOrder, JoinsTheEarliestOfSeveralCandidates) {
    // 0 and 1 are 1.6e-5 apart (two vertices); the third lies within tolerance of both.
    std::int32_t stored = 0;
    auto indices = weldIndices({{0.0f, 0.0f, 0.0f}, {0.000016f, 0.0f, 0.0f}, {0.000008f, 0.0f, 0.0f}}, stored);
    EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1, 0}));
    EXPECT_EQ(stored, 2);
    indices = weldIndices({{0.000016f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.000008f, 0.0f, 0.0f}}, stored);
    EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1, 0}));
}

TEST(VertexMergerOrder, NeighbourCellsAreProbed) {
    // Vertices straddling cell edges at several scales and signs still join.
    std::int32_t stored = 0;
    std::vector<Vec3f> stream;
    // Cell edges lie at odd multiples of 1/8192 m; whole values lie mid-cell.
    for (float base : {0.5f / 4096.0f, -0.5f / 4096.0f, 1.5f / 4096.0f, 2047.5f / 4096.0f, -3.0f - 0.5f / 4096.0f, 0.0f,
                       1.0f / 4096.0f, -3.0f, 1234.5f}) {
        stream.push_back({base - 0.000004f, base + 0.000004f, base});
        stream.push_back({base + 0.000004f, base - 0.000004f, base - 0.000004f});
    }
    auto indices = weldIndices(stream, stored);
    std::int32_t reference = 0;
    EXPECT_EQ(indices, bruteForceIndices(stream, reference));
    EXPECT_EQ(stored, reference);
}

TEST(VertexMergerOrder, ManyVerticesGrowTheTable) {
    std::vector<Vec3f> stream;
    for (int i = 0; i < 5000; ++i) stream.push_back({static_cast<float>(i % 70), static_cast<float>(i / 70), 0.5f});
    for (int i = 0; i < 5000; ++i) stream.push_back({static_cast<float>(i % 70), static_cast<float>(i / 70), 0.5f});
    std::int32_t stored = 0;
    auto indices = weldIndices(stream, stored);
    EXPECT_EQ(stored, 5000);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(indices[static_cast<std::size_t>(5000 + i)], i);
}

// Points on a lattice of 1 mm with a noise of at most 2 micrometres per
// occurrence: stored vertices are never closer than twice the tolerance, and
// the tolerant order is consistent on them, so the ordered map is right.
TEST(VertexMergerReference, SameIndicesAsOrderedMapWithoutClusters) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> lattice(-500, 500);
    std::uniform_real_distribution<float> noise(-0.000002f, 0.000002f);
    std::vector<Vec3f> bases;
    for (int i = 0; i < 3000; ++i) {
        bases.push_back({lattice(random) * 0.001f, lattice(random) * 0.001f, lattice(random) * 0.001f});
    }
    std::uniform_int_distribution<std::size_t> pick(0, bases.size() - 1);
    std::vector<Vec3f> stream;
    for (int i = 0; i < 20000; ++i) {
        Vec3f v = bases[pick(random)];
        v.x += noise(random);
        v.y += noise(random);
        v.z += noise(random);
        stream.push_back(v);
    }
    std::int32_t weldStored = 0, mapStored = 0;
    EXPECT_EQ(weldIndices(stream, weldStored), orderedMapIndices(stream, mapStored));
    EXPECT_EQ(weldStored, mapStored);
}

// A terrain row that falls by 6 micrometres per metre: heights of neighbours tie
// while those two apart do not, so the tolerant order runs in circles and an
// ordered map loses vertices it holds. The corners are repeated bit for bit.
std::vector<Vec3f> gentleSlopeTriangles(int columns, int rows) {
    auto corner = [](int c, int r) {
        return Vec3f{static_cast<float>(c), 10.0f - 0.000006f * static_cast<float>(c) + 0.25f * static_cast<float>(r),
                     static_cast<float>(r) * 0.5f};
    };
    std::vector<Vec3f> stream;
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            for (const Vec3f& v : {corner(c, r), corner(c + 1, r), corner(c + 1, r + 1), corner(c, r),
                                   corner(c + 1, r + 1), corner(c, r + 1)}) {
                stream.push_back(v);
            }
        }
    }
    return stream;
}

TEST(VertexMergerReference, BitIdenticalVerticesAlwaysJoin) {
    const int columns = 200, rows = 20;
    const auto stream = gentleSlopeTriangles(columns, rows);
    std::int32_t weldStored = 0;
    const auto indices = weldIndices(stream, weldStored);
    // Corners are 1 m apart in x: every corner is one vertex, and equal vertices share their index.
    EXPECT_EQ(weldStored, columns * rows);
    std::map<std::tuple<float, float, float>, std::int32_t> seen;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        auto [it, added] = seen.emplace(std::make_tuple(stream[i].x, stream[i].y, stream[i].z), indices[i]);
        ASSERT_EQ(it->second, indices[i]) << "vertex " << i;
    }
    // The same data defeats the ordered map: the case the weld must get right.
    std::int32_t mapStored = 0;
    orderedMapIndices(stream, mapStored);
    EXPECT_GT(mapStored, columns * rows);
}

TEST(VertexMergerReference, JitteredTerrainMatchesBruteForce) {
    // Grid points 12 micrometres apart with a jitter of 5: chains of vertices
    // within tolerance of each other, the hard case for any order.
    std::mt19937 random(777);
    std::uniform_real_distribution<float> jitter(-0.000005f, 0.000005f);
    std::vector<Vec3f> stream;
    for (int r = 0; r < 40; ++r) {
        for (int c = 0; c < 60; ++c) {
            for (int copy = 0; copy < 2; ++copy) {
                stream.push_back({0.3f + 0.000012f * static_cast<float>(c) + jitter(random), 1.0f + jitter(random),
                                  -0.7f + 0.000012f * static_cast<float>(r) + jitter(random)});
            }
        }
    }
    std::shuffle(stream.begin(), stream.end(), random);
    // Every vertex again, bit for bit, in another order: repeats of joined and of new vertices.
    std::vector<Vec3f> again = stream;
    std::shuffle(again.begin(), again.end(), random);
    stream.insert(stream.end(), again.begin(), again.end());
    std::int32_t weldStored = 0, bruteStored = 0;
    EXPECT_EQ(weldIndices(stream, weldStored), bruteForceIndices(stream, bruteStored));
    EXPECT_EQ(weldStored, bruteStored);
}

TEST(VertexMergerOrder, NotANumberNeverJoinsInfinityJoinsItself) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::int32_t stored = 0;
    const auto indices = weldIndices({{nan, 0.0f, 0.0f},
                                      {nan, 0.0f, 0.0f},
                                      {inf, 1.0f, 0.0f},
                                      {inf, 1.0f, 0.0f},
                                      {0.0f, 0.0f, 0.0f},
                                      {-0.0f, 0.0f, 0.0f}},
                                     stored);
    EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1, 2, 2, 3, 3}));
    EXPECT_EQ(stored, 4);
}

}  // namespace
}  // namespace pelmora
