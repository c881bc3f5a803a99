// Normals from the smoothing angle and texture coordinates from the mapping
// values, on meshes made for the purpose.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "preview/mesh_shading.h"
#include "preview/texture_mapping.h"

namespace pelmora::preview {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A prism of n sides round the Y axis, 1 m tall, its quads turning outwards.
void prism(int n, std::vector<Vec3f>& points, std::vector<std::vector<std::uint32_t>>& quads) {
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * kPi * i / n;
        const float x = static_cast<float>(std::cos(a)), z = static_cast<float>(-std::sin(a));
        points.push_back({x, 0, z});
        points.push_back({x, 1, z});
    }
    for (int i = 0; i < n; ++i) {
        const auto b = static_cast<std::uint32_t>(2 * i), c = static_cast<std::uint32_t>(2 * ((i + 1) % n));
        quads.push_back({b, c, c + 1, b + 1});
    }
}

TEST(MeshShading, EdgesSharperThanTheSmoothingAngleStayHard) {
    const double smoothing = 30.0 * kPi / 180.0;
    for (int sides : {3, 4, 6, 11, 12, 13, 36}) {
        std::vector<Vec3f> points;
        std::vector<std::vector<std::uint32_t>> quads;
        prism(sides, points, quads);
        const ShadedMesh mesh = shadeMesh(points, quads, smoothing, std::nullopt);
        const bool smooth = 360.0 / sides <= 30.0;
        ASSERT_EQ(mesh.faces.size(), static_cast<std::size_t>(sides));
        EXPECT_EQ(mesh.positions.size(), static_cast<std::size_t>(smooth ? 2 * sides : 4 * sides)) << sides;
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            for (std::uint32_t v : mesh.faces[f]) {
                const Vec3f& n = mesh.normals[v];
                EXPECT_NEAR(base::length(n), 1.0f, 1e-5f);
                EXPECT_NEAR(n.y, 0.0f, 1e-5f) << "side normals lie flat";
                // Outwards, as the corners turn; smooth ones point from the axis
                // through the vertex, hard ones through the face's middle.
                const Vec3f& p = mesh.positions[v];
                const Vec3f radial = base::normalised(Vec3f{p.x, 0, p.z});
                if (smooth) {
                    EXPECT_NEAR(base::dot(n, radial), 1.0f, 1e-4f) << sides;
                } else {
                    const double middle = 2.0 * kPi * (static_cast<double>(f) + 0.5) / sides;
                    EXPECT_NEAR(n.x, std::cos(middle), 1e-4) << sides;
                    EXPECT_NEAR(n.z, -std::sin(middle), 1e-4) << sides;
                }
            }
        }
    }
}

TEST(MeshShading, BadPolygonsAreLeftOut) {
    std::vector<Vec3f> points{{0, 0, 0}, {1, 0, 0}, {1, 0, -1}, {NAN, 0, 0}};
    const ShadedMesh mesh = shadeMesh(points, {{0, 1}, {0, 1, 7}, {0, 1, 3}, {0, 1, 2}}, 0.5, std::nullopt);
    ASSERT_EQ(mesh.faces.size(), 1u);
    EXPECT_EQ(mesh.leftOut, 2u) << "the one with an index out of range and the one with a point that is not finite";
    EXPECT_NEAR(mesh.normals[0].y, 1.0f, 1e-6f);
}

// The change of texture coordinates between two points, in pictures.
std::array<float, 2> step(const TextureMapping& mapping, const BoundingBox& box, const Vec3f& from, const Vec3f& to,
                          const Vec3f& normal) {
    const auto uv = polygonTextureCoordinates(mapping, box, {from, to}, normal);
    return {uv[1][0] - uv[0][0], uv[1][1] - uv[0][1]};
}

TEST(TextureMapping, APictureRepeatsEverySizeTurnedAndFlippedAsAsked) {
    const BoundingBox box{{0, 0, -4}, {6, 3, 0}};
    struct Case {
        int type;
        Vec3f from, to, normal;
        float expectU, expectV;  // the change in pictures for size 0.5 x 0.25
    };
    // Output axes: X east, Y up, Z south. V runs down the picture.
    const Case cases[] = {
        {0, {1, 0, -1}, {1.5f, 0, -1}, {0, 1, 0}, 1, 0},    // floor: east is across
        {0, {1, 0, -1}, {1, 0, -1.25f}, {0, 1, 0}, 0, -1},  // floor: north is up the picture
        {0, {1, 1, 0}, {1.5f, 1, 0}, {0, 0, 1}, 1, 0},      // south wall: east is across
        {0, {1, 1, 0}, {1, 1.25f, 0}, {0, 0, 1}, 0, -1},    // walls: up is up
        {0, {6, 1, -1}, {6, 1, -1.5f}, {1, 0, 0}, 1, 0},    // east wall: north is across
        {7, {1, 0, -1}, {1.5f, 0, -1}, {0, 1, 0}, 1, 0},    // unknown types project as box
        {1, {1, 1, -1}, {1, 1, -1.25f}, {0, 0, 1}, 0, -1},  // planar: the plane across the thinnest side (Y)
        {2, {3, 2, -2}, {3, 2.25f, -2}, {1, 0, 0}, 0, -1},  // cylindrical: up is up
    };
    for (const Case& c : cases) {
        for (int rotation : {0, 90}) {
            for (int invert = 0; invert < 4; ++invert) {
                TextureMapping mapping;
                mapping.type = c.type;
                mapping.sizeU = rotation ? 0.25 : 0.5;
                mapping.sizeV = rotation ? 0.5 : 0.25;
                mapping.offsetU = 0.3;
                mapping.rotate = rotation * kPi / 180.0;
                mapping.invertU = invert & 1;
                mapping.invertV = invert & 2;
                auto [du, dv] = step(mapping, box, c.from, c.to, c.normal);
                // A quarter turn of the picture: across becomes down.
                float u = c.expectU, v = c.expectV;
                if (rotation) std::tie(u, v) = std::pair{-v, u};
                if (mapping.invertU) u = -u;
                if (mapping.invertV) v = -v;
                EXPECT_NEAR(du, u, 1e-4f) << "type " << c.type << " rotate " << rotation << " invert " << invert;
                EXPECT_NEAR(dv, v, 1e-4f) << "type " << c.type << " rotate " << rotation << " invert " << invert;
            }
        }
    }
}

TEST(TextureMapping, RoundMappingsDoNotTearAcrossTheSeam) {
    const BoundingBox box{{-1, 0, -1}, {1, 2, 1}};
    TextureMapping mapping;
    for (int type : {2, 3}) {
        mapping.type = type;
        // A polygon across the seam west of the axis (angle ±180 degrees).
        const std::vector<Vec3f> corners{{-1, 1, -0.1f}, {-1, 1, 0.1f}, {-1, 1.5f, 0.1f}};
        const auto uv = polygonTextureCoordinates(mapping, box, corners, {-1, 0, 0});
        EXPECT_LT(std::abs(uv[1][0] - uv[0][0]), 0.5f) << type;
    }
}

}  // namespace
}  // namespace pelmora::preview
