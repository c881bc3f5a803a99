// The lit preview's reading of a scene: light values as the file gives them,
// a checker texture's texels where the conversion's texture coordinates put
// them, and the three light warnings on scenes made to raise each.
#include <gtest/gtest.h>

#include <cmath>

#include "preview/lit/light_checks.h"
#include "preview/lit/lit_render.h"
#include "preview/mesh_shading.h"
#include "preview/png_file.h"
#include "tests/preview/box_mesh.h"
#include "tests/support/temp_folder.h"

namespace pelmora::preview {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(LitScene, LightValuesReadAsTheHostGaveThem) {
    const LightReading spot = readLightValues(3, 0.9 * 1.3333333, {1.0, 0.5, 0.25}, 30.0, 50.0);
    EXPECT_EQ(spot.kind, LightKind::Spot);
    EXPECT_NEAR(spot.hostIntensity, 0.9, 1e-12);
    EXPECT_NEAR(spot.innerCone, 30.0 * kPi / 180.0, 1e-12);
    EXPECT_NEAR(spot.outerCone, 50.0 * kPi / 180.0, 1e-12);
    EXPECT_NEAR(physicalIntensity(spot, kDefaultLightScale), 900.0, 1e-9);
    EXPECT_NEAR(physicalIntensity(spot, 50.0), 45.0, 1e-9);
    const PhysicalLight placed = placeLight("s", spot, {0, 3, 0}, nullptr, kDefaultLightScale);
    EXPECT_NEAR(placed.outerHalf, 25.0 * kPi / 180.0, 1e-12);
    EXPECT_EQ(placed.direction, (Vec3d{0, -1, 0}));  // no target: straight down
    // A spot's inner cone never exceeds its outer one; a negative intensity
    // gives no light; other types are point lights but 1, a sun.
    EXPECT_NEAR(readLightValues(3, 1.0, {1, 1, 1}, 80.0, 40.0).innerCone, 40.0 * kPi / 180.0, 1e-12);
    EXPECT_EQ(readLightValues(2, -3.0, {1, 1, 1}, 0, 0).hostIntensity, 0.0);
    EXPECT_EQ(readLightValues(7, 1.0, {1, 1, 1}, 0, 0).kind, LightKind::Point);
    EXPECT_EQ(readLightValues(1, 1.0, {1, 1, 1}, 0, 0).kind, LightKind::Directional);
    // A coloured light's illuminance is its luminance's share.
    const PhysicalLight red =
        placeLight("r", readLightValues(2, 1.3333333, {1, 0, 0}, 0, 0), {0, 1, 0}, nullptr, kDefaultLightScale);
    EXPECT_NEAR(lightAtPoint(red, {0, 0, 0}, {0, 1, 0}).illuminance, 1000.0 * 0.2126, 1e-6);
}

TEST(LitScene, CheckerTexelsFallWhereTheConversionsCoordinatesPutThem) {
    exporttest::TempFolder folder;
    Image checker(2, 2);
    const Rgb white{255, 255, 255}, black{0, 0, 0};
    checker.set(checker.index(0, 0), white);
    checker.set(checker.index(1, 0), black);
    checker.set(checker.index(0, 1), black);
    checker.set(checker.index(1, 1), white);
    writePngFile(checker, folder / "checker.png");

    PreviewScene scene;
    PreviewMesh floor;
    floor.name = "Floor";
    floor.vertices = {{0, 0, 0}, {4, 0, 0}, {4, 0, 4}, {0, 0, 4}};
    floor.addPolygon({0, 1, 2, 3});
    TextureMapping mapping;
    mapping.type = 1;
    mapping.sizeU = 1.0, mapping.sizeV = 0.8, mapping.offsetU = 0.3, mapping.rotate = 0.4;
    floor.surface.mapping = mapping;
    floor.surface.pictureName = "checker.png";
    scene.meshes.push_back(floor);
    scene.lights.push_back({"Sun", {2, 10, 2}, Vec3d{2, 0, 2}, readLightValues(1, 1.3333333, {1, 1, 1}, 0, 0)});
    const LitScene lit(scene, {kDefaultLightScale, {folder / ""}});
    ASSERT_TRUE(lit.problems().empty()) << lit.problems().front();
    const View view = lookAt({2, 10, 2}, {2, 0, 2}, 0.3, 200, 200);
    const LitPicture picture = renderLit(lit, view, std::log2(1000.0 / kPi / 0.8 / 1.2));

    std::vector<Vec3f> corners;
    for (const auto& v : floor.vertices)
        corners.push_back(
            toOutputAxes(Vec3f{static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z)}));
    const BoundingBox box = boundingBoxOf(corners);
    int checked = 0;
    for (int y = 2; y < 200; y += 7)
        for (int x = 3; x < 200; x += 7) {
            const Vec3d ray = pixelRay(view, x + 0.5, y + 0.5);
            const Vec3d at = view.eye + ray * (10.0 / -ray.y);
            if (at.x < 0.05 || at.x > 3.95 || at.z < 0.05 || at.z > 3.95) continue;
            const Vec3f point = toOutputAxes(Vec3f{static_cast<float>(at.x), 0.0f, static_cast<float>(at.z)});
            const auto uv = polygonTextureCoordinates(mapping, box, {point}, Vec3f{0, 1, 0})[0];
            const double fu = uv[0] - std::floor(uv[0]), fv = uv[1] - std::floor(uv[1]);
            // Pixels that see a texel's edge are left out.
            auto nearEdge = [](double f) { return std::min({f, std::abs(f - 0.5), 1.0 - f}) < 0.03; };
            if (nearEdge(fu) || nearEdge(fv)) continue;
            const bool whiteTexel = (fu < 0.5) == (fv < 0.5);
            const Rgb shown = picture.image.at(x, y);
            if (whiteTexel) EXPECT_GT(shown.red, 150) << x << "," << y;
            else EXPECT_LT(shown.red, 10) << x << "," << y;
            ++checked;
        }
    EXPECT_GT(checked, 200);
}

TEST(LitScene, EmissiveShowsWithoutLightAndThroughAPaneByItsTransparency) {
    PreviewScene scene;
    PreviewMesh floor;
    floor.name = "Glow";
    floor.vertices = {{-5, 0, -5}, {5, 0, -5}, {5, 0, 5}, {-5, 0, 5}};
    floor.addPolygon({0, 1, 2, 3});
    floor.surface.emissive = {1.0f, 0.0f, 0.0f};
    scene.meshes.push_back(floor);
    PreviewMesh pane;
    pane.name = "Pane";
    pane.vertices = {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}};
    pane.addPolygon({0, 1, 2, 3});
    pane.surface.transparency = 0.5f;
    scene.meshes.push_back(pane);
    const LitScene lit(scene, {});
    const LitPicture picture = renderLit(lit, lookAt({0, 10, 0}, {0, 0, 0}, 0.5, 101, 101), 0.0);
    // Half the glow through the pane, shown in sRGB: 1.055 * 0.5^(1/2.4) - 0.055.
    const double half = 255.0 * (1.055 * std::pow(0.5, 1.0 / 2.4) - 0.055);
    EXPECT_NEAR(picture.image.at(50, 50).red, half, 1.0);
    EXPECT_EQ(picture.image.at(50, 50).green, 0);
    EXPECT_EQ(picture.image.at(2, 2).red, 255);                       // beside the pane
    EXPECT_EQ(picture.illuminance[picture.image.index(2, 2)], 0.0f);  // no light, only glow
}

TEST(LitScene, WarningsNameTheShutLightTheAimlessSpotAndTheUselessLight) {
    PreviewScene scene;
    scene.meshes.push_back(boxMesh("Ground", {-10, -1, -10}, {10, 0, 10}));
    scene.meshes.push_back(boxMesh("Cabinet", {2, 0, 2}, {3, 1, 3}));
    scene.camera = PreviewCamera{{0, 8, -12}, {0, 0, 0}, 0.6, 160, 120};
    auto point = [](const char* name, Vec3d at) {
        return PreviewLight{name, at, std::nullopt, readLightValues(2, 1.3333333, {1, 1, 1}, 0, 0)};
    };
    scene.lights.push_back(point("Good", {0, 3, 0}));
    scene.lights.push_back(point("Shut", {2.5, 0.5, 2.5}));
    scene.lights.push_back({"Skyward", {-3, 2, 0}, Vec3d{-3, 5, 0}, readLightValues(3, 1.3333333, {1, 1, 1}, 10, 20)});
    scene.lights.push_back(point("Faint", {0, 3, 0}));
    scene.lights.back().reading.hostIntensity = 0.001;
    const LitScene lit(scene, {});
    const View view = lookAt(scene.camera->eye, scene.camera->target, 0.6, 160, 120);
    const LitPicture picture = renderLit(lit, view, std::nullopt);
    std::vector<std::string> texts;
    for (const LightWarning& warning : checkLights(lit, picture))
        texts.push_back(warningText(warning, {"Good", "Shut", "Skyward", "Faint"}, {"Ground", "Cabinet"}));
    const std::vector<std::string> expected = {
        "light Shut is inside closed geometry (Cabinet), so it lights nothing outside it",
        "light Shut lights no pixel of the picture above 1% of the brightest",
        "light Skyward: its cone meets no surface; aim it at the scene or widen its cone",
        "light Skyward lights no pixel of the picture above 1% of the brightest",
        "light Faint lights no pixel of the picture above 1% of the brightest",
    };
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(picture.exposureChosen);
    EXPECT_GT(picture.brightest, 0.0);
}

}  // namespace
}  // namespace pelmora::preview
