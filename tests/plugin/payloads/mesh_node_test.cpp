// The mesh node payload in both layouts: header, vertices, polygon lists, the
// legacy 16-bit conversion and its limits.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/payloads/motion_builders.h"
#include "tests/plugin/payloads/fail_alloc.h"
#include "tests/plugin/payloads/payload_bytes.h"

namespace pelmora {
namespace {

using test::f32At;
using test::i16At;
using test::i32At;

const float kTriangle[9] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 2.5f, -1.0f};
const std::int32_t kTriangleList[5] = {3, 0, 1, 2, 0};

int build(NodeRecord& node, bool legacy, const std::vector<std::int32_t>& lists, std::int32_t polygons,
          std::int32_t vertexCount = 3) {
    std::vector<float> vertices(static_cast<std::size_t>(vertexCount) * 3 + 1, 0.5f);
    return fillMeshNode(node, legacy, 1003, "Walls", vertexCount, vertices.data(), polygons,
                        static_cast<std::int32_t>(lists.size() * 4), lists.data(), 0, 30.0f);
}

TEST(MeshNode, CurrentLayoutTriangle) {
    NodeRecord node;
    ASSERT_EQ(fillMeshNode(node, false, 1003, "Walls", 3, kTriangle, 1, 20, kTriangleList, 4, 30.0f), 1);
    EXPECT_EQ(node.kind, 5);
    EXPECT_EQ(node.id, 1003u);
    EXPECT_EQ(node.type, 8);
    EXPECT_STREQ(node.name, "Walls");
    EXPECT_EQ(node.dataFormat, 2);
    ASSERT_EQ(node.dataSize, 40 + 36 + 20);
    const std::uint8_t* p = node.data;
    EXPECT_EQ(i32At(p, 0), 3);
    EXPECT_EQ(i32At(p, 4), 1);
    EXPECT_EQ(i32At(p, 8), 20);
    EXPECT_EQ(i32At(p, 12), 0);
    EXPECT_EQ(f32At(p, 16), static_cast<float>(30.0 * 0.0174532));
    EXPECT_NEAR(f32At(p, 16), 0.523596, 1e-6);
    EXPECT_EQ(i32At(p, 20), 4);
    EXPECT_EQ(i32At(p, 24), -1);
    for (int off : {28, 32, 36}) EXPECT_EQ(i32At(p, off), 0) << off;
    for (int i = 0; i < 9; ++i) EXPECT_EQ(f32At(p, 40 + 4 * i), kTriangle[i]) << i;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(i32At(p, 76 + 4 * i), kTriangleList[i]) << i;
}

TEST(MeshNode, LegacyTriangleIsEightyBytes) {
    NodeRecord node;
    ASSERT_EQ(fillMeshNode(node, true, 1003, "Walls", 3, kTriangle, 1, 20, kTriangleList, 4, 30.0f), 1);
    EXPECT_EQ(node.kind, 4);
    EXPECT_EQ(node.type, 8);
    EXPECT_EQ(node.dataFormat, 1);
    ASSERT_EQ(node.dataSize, 80);
    const std::uint8_t* p = node.data;
    EXPECT_EQ(i32At(p, 0), 3);
    EXPECT_EQ(i32At(p, 4), 36);
    EXPECT_EQ(i32At(p, 8), 1);
    EXPECT_EQ(i32At(p, 12), 8);
    EXPECT_EQ(i32At(p, 16), 0);
    EXPECT_EQ(i32At(p, 20), 0);
    EXPECT_EQ(f32At(p, 24), static_cast<float>(30.0 * 0.0174532));
    EXPECT_EQ(i32At(p, 28), 4);
    EXPECT_EQ(i32At(p, 32), -1);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(f32At(p, 36 + 4 * i), kTriangle[i]) << i;
    EXPECT_EQ(i16At(p, 72), 3);
    EXPECT_EQ(i16At(p, 74), 0);
    EXPECT_EQ(i16At(p, 76), 1);
    EXPECT_EQ(i16At(p, 78), 2);
}

TEST(MeshNode, LegacyDropsNestedListsAndKeepsEveryPolygon) {
    // A quad with one nested list of 3 (occupying 3 + 2 ints), then a triangle.
    const std::vector<std::int32_t> lists = {4, 0, 1, 2, 3, 1, 3, 5, 6, 7, 0, 3, 0, 1, 2, 0};
    NodeRecord node;
    ASSERT_EQ(build(node, true, lists, 2, 8), 1);
    ASSERT_EQ(node.dataSize, 36 + 96 + 18);
    EXPECT_EQ(i32At(node.data, 8), 2);
    EXPECT_EQ(i32At(node.data, 12), 18);
    const std::int16_t expected[9] = {4, 0, 1, 2, 3, 3, 0, 1, 2};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(i16At(node.data, 132 + 2 * i), expected[i]) << i;

    NodeRecord current;
    ASSERT_EQ(build(current, false, lists, 2, 8), 1);
    ASSERT_EQ(current.dataSize, 40 + 96 + 64);
    EXPECT_EQ(std::memcmp(current.data + 136, lists.data(), 64), 0);
}

TEST(MeshNode, LegacyIndexLimits) {
    NodeRecord ok;
    EXPECT_EQ(build(ok, true, {3, 0, 65535, 40000, 0}, 1), 1);
    EXPECT_EQ(static_cast<std::uint16_t>(i16At(ok.data, 36 + 36 + 4)), 65535);
    EXPECT_EQ(static_cast<std::uint16_t>(i16At(ok.data, 36 + 36 + 6)), 40000);

    NodeRecord tooBig;
    EXPECT_EQ(build(tooBig, true, {3, 0, 1, 2, 0, 3, 0, 65536, 2, 0}, 2), 0);
    EXPECT_EQ(tooBig.type, 8);
    EXPECT_EQ(tooBig.id, 1003u);
    EXPECT_STREQ(tooBig.name, "Walls");
    EXPECT_EQ(tooBig.dataSize, 0);
    EXPECT_EQ(tooBig.data, nullptr);

    NodeRecord negative;
    EXPECT_EQ(build(negative, true, {3, 0, -1, 2, 0}, 1), 0);
    EXPECT_EQ(negative.data, nullptr);

    // The current layout keeps 32-bit indices as they are.
    NodeRecord current;
    EXPECT_EQ(build(current, false, {3, 0, 65536, 2, 0}, 1), 1);
    EXPECT_EQ(i32At(current.data, 40 + 36 + 8), 65536);
}

std::vector<std::int32_t> polygonOf(std::int32_t n) {
    std::vector<std::int32_t> lists;
    lists.push_back(n);
    for (std::int32_t i = 0; i < n; ++i) lists.push_back(i % 3);
    lists.push_back(0);
    return lists;
}

TEST(MeshNode, LegacyPolygonVertexCountLimit) {
    NodeRecord largest;
    ASSERT_EQ(build(largest, true, polygonOf(65535), 1), 1);
    EXPECT_EQ(largest.dataSize, 36 + 36 + 2 * 65536);
    EXPECT_EQ(static_cast<std::uint16_t>(i16At(largest.data, 72)), 65535);

    // 65536 would wrap to a count of 0 in 16 bits; beyond is refused as well.
    NodeRecord wraps;
    EXPECT_EQ(build(wraps, true, polygonOf(65536), 1), 0);
    EXPECT_EQ(wraps.data, nullptr);
    NodeRecord over;
    EXPECT_EQ(build(over, true, polygonOf(65537), 1), 0);
    EXPECT_EQ(over.type, 8);
    EXPECT_EQ(over.data, nullptr);
}

TEST(MeshNode, ListsThatRunPastTheirBytesAreRefused) {
    NodeRecord missingPolygon;
    EXPECT_EQ(build(missingPolygon, true, {3, 0, 1, 2, 0}, 2), 0);
    NodeRecord shortIndices;
    EXPECT_EQ(build(shortIndices, true, {3, 0, 1}, 1), 0);
    NodeRecord noHoleCount;
    EXPECT_EQ(build(noHoleCount, true, {3, 0, 1, 2}, 1), 0);
    NodeRecord nestedPastEnd;
    EXPECT_EQ(build(nestedPastEnd, true, {3, 0, 1, 2, 1, 4, 0}, 1), 0);
    EXPECT_EQ(nestedPastEnd.data, nullptr);
}

TEST(MeshNode, NegativeOrRaggedSizesAreRefused) {
    NodeRecord node;
    EXPECT_EQ(fillMeshNode(node, false, 1, "m", -1, kTriangle, 1, 20, kTriangleList, 0, 30.0f), 0);
    EXPECT_EQ(node.type, 8);
    EXPECT_EQ(node.data, nullptr);
    EXPECT_EQ(fillMeshNode(node, true, 1, "m", 3, kTriangle, -1, 20, kTriangleList, 0, 30.0f), 0);
    EXPECT_EQ(fillMeshNode(node, false, 1, "m", 3, kTriangle, 1, -4, kTriangleList, 0, 30.0f), 0);
    EXPECT_EQ(fillMeshNode(node, false, 1, "m", 3, kTriangle, 1, 18, kTriangleList, 0, 30.0f), 0);
    EXPECT_EQ(node.data, nullptr);
}

TEST(MeshNode, EmptyMeshStillGetsItsHeader) {
    const float noVertex[1] = {0};
    const std::int32_t noList[1] = {0};
    NodeRecord current;
    EXPECT_EQ(fillMeshNode(current, false, 1004, "Empty", 0, noVertex, 0, 0, noList, 0, 30.0f), 1);
    EXPECT_EQ(current.dataSize, 40);
    EXPECT_EQ(i32At(current.data, 0), 0);
    EXPECT_EQ(i32At(current.data, 24), -1);
    NodeRecord legacy;
    EXPECT_EQ(fillMeshNode(legacy, true, 1004, "Empty", 0, noVertex, 0, 0, noList, 0, 30.0f), 1);
    EXPECT_EQ(legacy.dataSize, 36);
    EXPECT_EQ(i32At(legacy.data, 32), -1);
}

TEST(MeshNode, AbsentArraysLeaveTheNodeUntouched) {
    NodeRecord node;
    node.id = 77;
    node.type = 16;
    EXPECT_EQ(fillMeshNode(node, false, 1003, "Walls", 3, nullptr, 1, 20, kTriangleList, 0, 30.0f), 2);
    EXPECT_EQ(fillMeshNode(node, true, 1003, "Walls", 3, kTriangle, 1, 20, nullptr, 0, 30.0f), 2);
    EXPECT_EQ(node.id, 77u);
    EXPECT_EQ(node.type, 16);
    EXPECT_EQ(node.name[0], '\0');
    EXPECT_EQ(node.data, nullptr);
}

TEST(MeshNode, OutOfMemoryFillsTheNodeWithoutPayload) {
    for (bool legacy : {false, true}) {
        test::FailAllocations fail;
        NodeRecord node;
        EXPECT_EQ(fillMeshNode(node, legacy, 1005, "Roof", 3, kTriangle, 1, 20, kTriangleList, 0, 30.0f), 4);
        EXPECT_EQ(node.id, 1005u);
        EXPECT_EQ(node.type, 8);
        EXPECT_STREQ(node.name, "Roof");
        EXPECT_EQ(node.dataSize, 0);
        EXPECT_EQ(node.data, nullptr);
    }
}

TEST(MeshNode, LargeMeshTakesOneAllocationInEitherLayout) {
    constexpr std::int32_t kTriangles = 20000;
    std::vector<float> vertices(3 * 3 * kTriangles);
    for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = static_cast<float>(i) * 0.25f;
    std::vector<std::int32_t> lists;
    for (std::int32_t t = 0; t < kTriangles; ++t) {
        for (std::int32_t v : {3, 3 * t, 3 * t + 1, 3 * t + 2, 0}) lists.push_back(v % 60000);
    }
    const auto indexBytes = static_cast<std::int32_t>(lists.size() * 4);
    for (bool legacy : {false, true}) {
        NodeRecord node;
        const long before = test::nothrowArrayAllocations();
        ASSERT_EQ(fillMeshNode(node, legacy, 1, "big", 3 * kTriangles, vertices.data(), kTriangles, indexBytes,
                               lists.data(), 0, 30.0f),
                  1);
        EXPECT_EQ(test::nothrowArrayAllocations() - before, 1);
        const int head = legacy ? 36 : 40;
        const int indexAt = head + 12 * 3 * kTriangles;
        ASSERT_EQ(node.dataSize, indexAt + (legacy ? 8 : 20) * kTriangles);
        EXPECT_EQ(std::memcmp(node.data + head, vertices.data(), vertices.size() * 4), 0);
        const std::int32_t last = kTriangles - 1;
        if (legacy) {
            EXPECT_EQ(i16At(node.data, indexAt + 8 * last), 3);
            EXPECT_EQ(static_cast<std::uint16_t>(i16At(node.data, indexAt + 8 * last + 6)), (3 * last + 2) % 60000);
        } else {
            EXPECT_EQ(std::memcmp(node.data + indexAt, lists.data(), lists.size() * 4), 0);
        }
    }
}

TEST(MeshNode, RefillingANodeFreesItsPayload) {
    NodeRecord node;
    ASSERT_EQ(fillMeshNode(node, false, 1, "a", 3, kTriangle, 1, 20, kTriangleList, 0, 30.0f), 1);
    ASSERT_EQ(fillMeshNode(node, true, 2, "b", 3, kTriangle, 1, 20, kTriangleList, 0, 30.0f), 1);
    EXPECT_EQ(node.dataSize, 80);
}

}  // namespace
}  // namespace pelmora
