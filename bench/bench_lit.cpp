// Speed of the lit preview, printed as the ratios its users care about, from
// one run:
//   - the bench terrain (1 000 000 triangles, 640x480, 50 lamps): `--lit`
//     against a bare trace of the same primary and shadow rays through the
//     same ray tracer (the cost of shading, textures and bookkeeping);
//   - the sample house: `--lit` against the flat preview of the same file;
//   - where f3d is installed, `--lit` against f3d rendering the converted
//     glTF of the terrain.
//
// Usage: bench_lit [--rounds N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "preview/lit/lit_render.h"
#include "preview/preview_scene.h"
#include "preview/render_preview.h"

namespace {

using namespace pelmora::preview;
using Clock = std::chrono::steady_clock;

constexpr int kQuadsX = 1000, kQuadsZ = 500;  // 50 mm apart: 50 m by 25 m, two triangles a quad
constexpr double kStep = 0.05;
constexpr int kMeshes = 200;
constexpr int kLamps = 50;

double heightAt(int i, int j) { return 0.4 * std::sin(i * kStep / 3.0) * std::cos(j * kStep / 2.0); }

// The bench terrain of bench_preview, in rows spread over 200 meshes, with
// 50 lamps 3 m above it on a 10 by 5 grid.
PreviewScene terrain() {
    PreviewScene scene;
    scene.meshes.resize(kMeshes);
    for (int k = 0; k < kMeshes; ++k) scene.meshes[k].name = "class" + std::to_string(k);
    for (int j = 0; j < kQuadsZ; ++j) {
        PreviewMesh& mesh = scene.meshes[static_cast<std::size_t>(j % kMeshes)];
        const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
        for (int row = 0; row < 2; ++row)
            for (int i = 0; i <= kQuadsX; ++i)
                mesh.vertices.push_back({i * kStep, heightAt(i, j + row), (j + row) * kStep});
        for (int i = 0; i < kQuadsX; ++i) {
            const std::uint32_t a = base + i, b = a + 1, c = base + (kQuadsX + 1) + i + 1, d = c - 1;
            mesh.addPolygon({a, b, c});
            mesh.addPolygon({a, c, d});
        }
    }
    for (int k = 0; k < kLamps; ++k) {
        const Vec3d position{2.5 + 5.0 * (k % 10), 3.0, 2.5 + 5.0 * (k / 10)};
        scene.lights.push_back({"lamp" + std::to_string(k), position, std::nullopt,
                                readLightValues(2, 0.8 * kHostIntensityFactor, {1.0, 1.0, 1.0}, 0.0, 0.0)});
    }
    scene.camera = PreviewCamera{{25.0, 14.0, -14.0}, {25.0, 0.0, 12.5}, 0.6362999, 640, 480};
    return scene;
}

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// The same rays the lit preview casts, with nothing done at their ends.
void bareTrace(const LitScene& lit, const View& view) {
    std::size_t hits = 0;
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x) {
            const Vec3d direction = pixelRay(view, x + 0.5, y + 0.5);
            const auto hit = lit.rays().firstHit(view.eye, direction, 0.0, std::numeric_limits<double>::infinity());
            if (!hit.found) continue;
            const Vec3d point = view.eye + direction * hit.distance;
            for (const PhysicalLight& light : lit.lights()) {
                const Vec3d towards = light.position - point;
                const double d = pelmora::base::length(towards);
                hits += lit.rays().blocked(point, towards * (1.0 / d), lit.offset(), d - lit.offset());
            }
        }
    std::printf("  (bare trace: %zu shadow rays blocked)\n", hits);
}

double best(const std::vector<double>& times) { return *std::min_element(times.begin(), times.end()); }

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: bench_lit [--rounds N]\n");
            return 2;
        }
    }
    const PreviewScene scene = terrain();
    auto start = Clock::now();
    const LitScene lit(scene, {});
    std::printf("terrain: %d triangles, %d lamps, 640x480; scene built in %.2f s\n", 2 * kQuadsX * kQuadsZ, kLamps,
                seconds(start));
    const View view = viewFor(scene, {}).view;
    std::vector<double> litTimes, bareTimes;
    for (int round = 0; round < rounds; ++round) {
        litTimes.push_back(pelmora::bench::timingOf([&] { renderLit(lit, view, std::nullopt); }).cpu);
        bareTimes.push_back(pelmora::bench::timingOf([&] { bareTrace(lit, view); }).cpu);
    }
    std::printf("terrain (CPU seconds, best of %d): --lit %.3f s, bare trace of the same rays %.3f s\n", rounds,
                best(litTimes), best(bareTimes));
    pelmora::bench::reportRatio("terrain --lit / bare Embree trace (CPU)", best(litTimes) / best(bareTimes), 1.5);
    if (std::system("command -v f3d >/dev/null 2>&1") != 0)
        std::printf("f3d is not installed: the comparison with its render is left out\n");

    const std::string folder =
        (std::filesystem::temp_directory_path() / ("bench_lit." + std::to_string(getpid()))).string();
    std::filesystem::create_directories(folder);
    const std::string house = folder + "/house.qmx";
    const std::string source = std::string(PELMORA_SOURCE_DIR) + "/examples";
    const std::string command = std::string("'") + PELMORA_TOOL + "' export '" + source + "/house.json' -o '" + house +
                                "' --host-dir '" + source + "/host' --quiet --force >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::printf("the sample house could not be exported: its comparison is left out\n");
        return 0;
    }
    const PreviewScene houseScene = loadPreviewScene(house);
    std::vector<double> flat, built, rendered;
    for (int round = 0; round < rounds; ++round) {
        flat.push_back(pelmora::bench::timingOf([&] { renderPreview(houseScene, {}); }).cpu);
        std::optional<LitScene> houseLit;
        built.push_back(pelmora::bench::timingOf([&] { houseLit.emplace(houseScene, LitSettings{}); }).cpu);
        const View houseView = viewFor(houseScene, {}).view;
        rendered.push_back(pelmora::bench::timingOf([&] { renderLit(*houseLit, houseView, std::nullopt); }).cpu);
    }
    std::printf("sample house (CPU seconds): flat %.4f s; --lit %.4f s (ray scene %.4f s, picture %.4f s)\n",
                best(flat), best(built) + best(rendered), best(built), best(rendered));
    pelmora::bench::reportRatio("sample house --lit / flat preview (CPU)", (best(built) + best(rendered)) / best(flat),
                                3.0);
    std::filesystem::remove_all(folder);
    return 0;
}
