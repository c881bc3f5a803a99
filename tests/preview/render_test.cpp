// Properties of the preview renderer on small scenes built in memory: what a
// polygon covers, what hides what, what lies behind the camera, and the view
// chosen for a scene without camera.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "preview/render_preview.h"

namespace pelmora::preview {
namespace {

constexpr int kWidth = 200, kHeight = 150;
constexpr double kAngle = 0.5;

// A camera at the origin looking north (scene +Z): east is to the right.
PreviewScene northCamera() {
    PreviewScene scene;
    scene.camera = PreviewCamera{{0, 0, 0}, {0, 0, 10}, kAngle, kWidth, kHeight};
    return scene;
}

PreviewMesh quad(double west, double east, double low, double high, double z, Colour colour) {
    PreviewMesh mesh;
    mesh.colour = colour;
    mesh.vertices = {{west, low, z}, {east, low, z}, {east, high, z}, {west, high, z}};
    mesh.addPolygon({0, 1, 2, 3});
    return mesh;
}

const Colour kRed{1.0f, 0.0f, 0.0f};
const Colour kBlue{0.0f, 0.0f, 1.0f};

Image render(const PreviewScene& scene) { return renderPreview(scene, {}).image; }

bool isBackground(const Image& image, int x, int y) { return image.at(x, y) == backgroundAt(y, image.height); }

TEST(PreviewRender, QuadFacingTheCameraCoversItsProjection) {
    PreviewScene scene = northCamera();
    scene.meshes.push_back(quad(-2.0, 3.0, -1.0, 1.5, 10.0, kRed));
    const Image image = render(scene);
    ASSERT_EQ(image.width, kWidth);
    ASSERT_EQ(image.height, kHeight);

    // Half the diagonal spans the view angle; east (+X) is to the right, up (+Y) to the top.
    const double focal = 0.5 * std::hypot(kWidth, kHeight) / std::tan(kAngle);
    const double left = kWidth / 2.0 - focal * 2.0 / 10.0, right = kWidth / 2.0 + focal * 3.0 / 10.0;
    const double top = kHeight / 2.0 - focal * 1.5 / 10.0, bottom = kHeight / 2.0 + focal * 1.0 / 10.0;
    const Rgb faceColour = shade(kRed, {0, 0, -1});
    int covered = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double cx = x + 0.5, cy = y + 0.5;
            const double margin = std::min({cx - left, right - cx, cy - top, bottom - cy});
            if (margin > 0.01) {
                EXPECT_EQ(image.at(x, y), faceColour) << x << "," << y;
            } else if (margin < -0.01) {
                EXPECT_TRUE(isBackground(image, x, y)) << x << "," << y;
            }
            covered += image.at(x, y) == faceColour;
        }
    EXPECT_NEAR(covered, (right - left) * (bottom - top), 2 * (right - left + bottom - top));

    // Seen from behind (reversed corners), as a fanned pentagon with a corner
    // on an edge, or split in two triangles, the quad covers the same pixels.
    PreviewScene reversed = northCamera();
    reversed.meshes.push_back(quad(-2.0, 3.0, -1.0, 1.5, 10.0, kRed));
    reversed.meshes[0].indices = {3, 2, 1, 0};
    PreviewScene pentagon = northCamera();
    pentagon.meshes.push_back(quad(-2.0, 3.0, -1.0, 1.5, 10.0, kRed));
    pentagon.meshes[0].vertices.push_back({0.5, -1.0, 10.0});
    pentagon.meshes[0].indices = {0, 4, 1, 2, 3};
    pentagon.meshes[0].starts = {0, 5};
    PreviewScene halves = northCamera();
    halves.meshes.push_back(quad(-2.0, 3.0, -1.0, 1.5, 10.0, kRed));
    halves.meshes[0].indices = {0, 1, 2, 2, 3, 0};
    halves.meshes[0].starts = {0, 3, 6};
    EXPECT_EQ(render(reversed).rgb, image.rgb);
    EXPECT_EQ(render(pentagon).rgb, image.rgb);
    EXPECT_EQ(render(halves).rgb, image.rgb);
}

TEST(PreviewRender, ConcavePolygonLeavesItsNotchOpen) {
    // Each L starts at the outer corner next to its notch, from where a fan
    // would cover the notch.
    auto shownAt = [](const PreviewScene& scene, const Vec3d& point) {
        const RenderResult result = renderPreview(scene, {});
        const Vec3d c = result.report.view.toCamera(point);
        const int x = static_cast<int>(result.report.view.pictureX(c));
        const int y = static_cast<int>(result.report.view.pictureY(c));
        return !isBackground(result.image, x, y);
    };
    // Facing the camera at 10 m; the notch is the square x 1..2, y 1..2.
    PreviewScene upright = northCamera();
    PreviewMesh facing;
    facing.vertices = {{2, 1, 10}, {1, 1, 10}, {1, 2, 10}, {0, 2, 10}, {0, 0, 10}, {2, 0, 10}};
    facing.addPolygon({0, 1, 2, 3, 4, 5});
    upright.meshes.push_back(facing);
    EXPECT_FALSE(shownAt(upright, {1.25, 1.25, 10})) << "notch";
    EXPECT_FALSE(shownAt(upright, {1.6, 1.2, 10})) << "notch";
    EXPECT_TRUE(shownAt(upright, {0.5, 1.5, 10})) << "upright";
    EXPECT_TRUE(shownAt(upright, {1.5, 0.5, 10})) << "foot";

    // On the ground, reaching behind the camera: cut at the near plane first.
    // The notch is x 0..3, z 8..20.
    PreviewScene ground = northCamera();
    ground.camera->target = {0.0, -0.5, 10.0};
    PreviewMesh lying;
    lying.vertices = {{3, -1, 8}, {0, -1, 8}, {0, -1, 20}, {-3, -1, 20}, {-3, -1, -5}, {3, -1, -5}};
    lying.addPolygon({0, 1, 2, 3, 4, 5});
    ground.meshes.push_back(lying);
    EXPECT_FALSE(shownAt(ground, {1.0, -1, 12})) << "notch";
    EXPECT_TRUE(shownAt(ground, {-1.5, -1, 14})) << "upright";
    EXPECT_TRUE(shownAt(ground, {1.5, -1, 4})) << "foot";
}

TEST(PreviewRender, NearerPolygonHidesFartherOne) {
    // A red quad at 10 m and a blue one at 5 m that overlap, given in both orders.
    for (bool nearFirst : {false, true}) {
        PreviewScene scene = northCamera();
        PreviewMesh farther = quad(-2.0, 1.0, -1.0, 1.0, 10.0, kRed);
        PreviewMesh nearer = quad(0.0, 2.0, -0.5, 0.5, 5.0, kBlue);
        if (nearFirst) std::swap(farther, nearer);
        scene.meshes = {farther, nearer};
        const RenderResult result = renderPreview(scene, {});
        const View& view = result.report.view;
        auto pixelOf = [&](double x, double y, double z) {
            const Vec3d c = view.toCamera({x, y, z});
            return result.image.at(static_cast<int>(view.pictureX(c)), static_cast<int>(view.pictureY(c)));
        };
        const Rgb red = shade(kRed, {0, 0, -1}), blue = shade(kBlue, {0, 0, -1});
        EXPECT_EQ(pixelOf(0.2, 0.1, 5.0), blue) << "overlap";     // where both project
        EXPECT_EQ(pixelOf(-1.5, 0.0, 10.0), red) << "red alone";  // only the farther one
        EXPECT_EQ(pixelOf(1.5, 0.0, 5.0), blue) << "blue alone";  // beyond the red one
    }
}

TEST(PreviewRender, EdgesOutlineWhatIsSeenOnly) {
    // A red quad at 10 m, half hidden by a blue one at 5 m; outlines asked for.
    PreviewScene scene = northCamera();
    scene.meshes = {quad(-2.0, 1.0, -1.0, 1.0, 10.0, kRed), quad(0.0, 2.0, -0.5, 0.5, 5.0, kBlue)};
    RenderOptions options;
    options.edges = true;
    const RenderResult result = renderPreview(scene, options);
    const View& view = result.report.view;
    auto pixelOf = [&](double x, double y, double z) {
        const Vec3d c = view.toCamera({x, y, z});
        return result.image.at(static_cast<int>(view.pictureX(c)), static_cast<int>(view.pictureY(c)));
    };
    const Rgb edge{35, 35, 35};
    EXPECT_EQ(pixelOf(-2.0, 0.3, 10.0), edge) << "the red quad's west side";
    EXPECT_EQ(pixelOf(-1.0, 0.3, 10.0), shade(kRed, {0, 0, -1})) << "inside the red quad";
    EXPECT_EQ(pixelOf(1.0, 0.0, 10.0), shade(kBlue, {0, 0, -1})) << "the red quad's east side, hidden";
    EXPECT_EQ(pixelOf(2.0, 0.0, 5.0), edge) << "the blue quad's east side";
}

TEST(PreviewRender, WhatLiesBehindTheCameraDrawsNothing) {
    const Image empty = render(northCamera());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    PreviewScene behind = northCamera();
    behind.meshes.push_back(quad(-2.0, 2.0, -1.0, 1.0, -10.0, kRed));  // wholly behind
    behind.meshes.push_back(quad(-2.0, 2.0, -1.0, 1.0, 0.0, kRed));    // in the camera's plane
    behind.meshes.push_back(quad(-1.0, 1.0, -1.0, 1.0, 5.0, kRed));    // broken corners
    behind.meshes.back().vertices[1] = {nan, 0.0, 5.0};
    behind.meshes.back().vertices[2] = {inf, 0.0, 5.0};
    behind.meshes.push_back(quad(-1.0, 1.0, -1.0, 1.0, 5.0, kRed));  // too few corners, bad index
    behind.meshes.back().indices = {0, 1, 0, 1, 99};
    behind.meshes.back().starts = {0, 2, 5};
    const RenderResult result = renderPreview(behind, {.width = 0, .height = 0, .edges = true, .lights = false});
    EXPECT_EQ(result.image.rgb, empty.rgb);

    // A ground that runs from behind the camera to far ahead is cut at the
    // near plane: it fills the picture below the horizon and nothing above it.
    PreviewScene ground = northCamera();
    PreviewMesh floor;
    floor.colour = kBlue;
    floor.vertices = {{-1000, -1.0, -50}, {1000, -1.0, -50}, {1000, -1.0, 1000}, {-1000, -1.0, 1000}};
    floor.addPolygon({0, 1, 2, 3});
    ground.meshes.push_back(floor);
    const Image image = render(ground);
    for (int x = 0; x < kWidth; x += 7) {
        EXPECT_FALSE(isBackground(image, x, kHeight - 1)) << x;
        EXPECT_TRUE(isBackground(image, x, kHeight / 2 - 1)) << x;
    }

    // A quad much larger than the view, in front of the camera, covers every pixel.
    PreviewScene wall = northCamera();
    wall.meshes.push_back(quad(-1e6, 1e6, -1e6, 1e6, 0.5, kRed));
    const Image covered = render(wall);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) ASSERT_EQ(covered.at(x, y), shade(kRed, {0, 0, -1})) << x << "," << y;
}

TEST(PreviewRender, SceneWithoutCameraIsFramedFromDefaultPosition) {
    PreviewScene scene;
    PreviewMesh box;
    box.colour = kRed;
    for (int i = 0; i < 8; ++i) box.vertices.push_back({i & 1 ? 120.0 : 100.0, i & 2 ? 3.0 : 0.0, i & 4 ? 58.0 : 50.0});
    box.addPolygon({0, 1, 3, 2});
    box.addPolygon({4, 5, 7, 6});
    box.addPolygon({0, 1, 5, 4});
    box.addPolygon({2, 3, 7, 6});
    scene.meshes.push_back(box);
    scene.cameraProblem = "its camera has no target node";
    const RenderResult result = renderPreview(scene, {.width = 320, .height = 200});
    EXPECT_FALSE(result.report.fromCamera);
    EXPECT_NE(result.report.viewNote.find("its camera has no target node"), std::string::npos);
    EXPECT_NE(result.report.viewNote.find("default position"), std::string::npos);
    const View& view = result.report.view;
    for (const Vec3d& corner : box.vertices) {
        const Vec3d c = view.toCamera(corner);
        ASSERT_GT(c.z, 0.0);
        EXPECT_GE(view.pictureX(c), 0.0);
        EXPECT_LT(view.pictureX(c), 320.0);
        EXPECT_GE(view.pictureY(c), 0.0);
        EXPECT_LT(view.pictureY(c), 200.0);
    }
    EXPECT_FALSE(isBackground(result.image, 160, 100));
    // Seen from above: the eye stands higher than the box.
    EXPECT_GT(view.eye.y, 3.0);
    EXPECT_EQ(result.report.polygons, 4u);
}

}  // namespace
}  // namespace pelmora::preview
