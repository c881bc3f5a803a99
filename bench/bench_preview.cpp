// Speed of the scene preview: a terrain of 1 000 000 triangles rendered at
// 1280x720, first from memory (the renderer alone), then from a QMX file the
// tool exported (reading, rendering and PNG writing timed apart, and the whole
// `pelmora preview` command from a shell).
//
// Usage: bench_preview [--rounds N] [--no-file] [--keep DIR]
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "preview/png_file.h"
#include "preview/preview_scene.h"
#include "preview/render_preview.h"

namespace {

using namespace pelmora::preview;
using pelmora::bench::median;
using pelmora::bench::timingOf;

constexpr int kQuadsX = 1000, kQuadsZ = 500;  // 50 mm apart: 50 m by 25 m
constexpr double kStep = 0.05;
constexpr int kTileX = 25, kTileZ = 20;  // 1000 tiles
constexpr int kMeshes = 200;             // tile k in mesh k mod 200

double heightAt(int i, int j) { return 0.4 * std::sin(i * kStep / 3.0) * std::cos(j * kStep / 2.0); }

// The terrain as the exporter would give it: per tile its own corners (welded
// inside the tile), two triangles per quad, tiles spread over the meshes.
PreviewScene terrain() {
    PreviewScene scene;
    scene.meshes.resize(kMeshes);
    for (int k = 0; k < kMeshes; ++k) {
        scene.meshes[k].name = "class" + std::to_string(k);
        scene.meshes[k].colour = {0.3f + 0.5f * (k % 5) / 4.0f, 0.6f, 0.3f + 0.5f * (k % 7) / 6.0f};
    }
    int tile = 0;
    for (int tz = 0; tz < kQuadsZ; tz += kTileZ)
        for (int tx = 0; tx < kQuadsX; tx += kTileX, ++tile) {
            PreviewMesh& mesh = scene.meshes[static_cast<std::size_t>(tile % kMeshes)];
            const auto base = static_cast<std::uint32_t>(mesh.vertices.size());
            for (int j = 0; j <= kTileZ; ++j)
                for (int i = 0; i <= kTileX; ++i)
                    mesh.vertices.push_back({(tx + i) * kStep, heightAt(tx + i, tz + j), (tz + j) * kStep});
            auto at = [&](int i, int j) { return base + static_cast<std::uint32_t>(j * (kTileX + 1) + i); };
            for (int j = 0; j < kTileZ; ++j)
                for (int i = 0; i < kTileX; ++i) {
                    mesh.addPolygon({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
                    mesh.addPolygon({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
                }
        }
    // A camera south of the terrain and above it, aiming at its middle, with
    // the sample house's view angle: the terrain fills the picture.
    scene.camera = PreviewCamera{{25.0, 14.0, -14.0}, {25.0, 0.0, 12.5}, 0.6362999, 0, 0};
    return scene;
}

void writeObj(const PreviewScene& scene, const std::string& path) {
    std::ofstream out(path);
    std::size_t offset = 1;
    char line[96];
    for (const auto& mesh : scene.meshes) {
        out << "o " << mesh.name << "\nusemtl " << mesh.name << "\n";
        for (const auto& v : mesh.vertices) {
            // OBJ is Y-up like the scene file; the export maps it back.
            std::snprintf(line, sizeof line, "v %.4f %.4f %.4f\n", v.x, v.y, v.z);
            out << line;
        }
        for (std::size_t k = 0; k < mesh.polygonCount(); ++k) {
            out << "f";
            for (std::uint32_t i = mesh.starts[k]; i < mesh.starts[k + 1]; ++i) out << ' ' << offset + mesh.indices[i];
            out << '\n';
        }
        offset += mesh.vertices.size();
    }
}

std::size_t triangles(const PreviewScene& scene) {
    std::size_t n = 0;
    for (const auto& mesh : scene.meshes)
        for (std::size_t k = 0; k < mesh.polygonCount(); ++k) n += mesh.starts[k + 1] - mesh.starts[k] - 2;
    return n;
}

double coveredShare(const Image& image) {
    std::size_t covered = 0;
    for (float z : image.inverseDepth) covered += z > 0.0f;
    return static_cast<double>(covered) / static_cast<double>(image.inverseDepth.size());
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    bool withFile = true;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--no-file")) withFile = false;
        else if (!std::strcmp(argv[i], "--keep") && i + 1 < argc) keep = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench_preview [--rounds N] [--no-file] [--keep DIR]\n");
            return 2;
        }
    }
    const PreviewScene scene = terrain();
    const RenderOptions options{.width = 1280, .height = 720, .edges = false, .lights = false};
    std::printf("terrain: %zu triangles in %zu meshes, picture 1280x720\n", triangles(scene), scene.meshes.size());

    std::vector<double> wall, cpu;
    RenderResult last;
    for (int r = 0; r < rounds; ++r) {
        const auto t = timingOf([&] { last = renderPreview(scene, options); });
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::printf("render from memory: median %.3f s wall, %.3f s CPU (%d rounds); %.0f%% of the pixels covered\n",
                median(wall), median(cpu), rounds, 100.0 * coveredShare(last.image));
    std::vector<double> edges;
    for (int r = 0; r < rounds; ++r) {
        RenderOptions withEdges = options;
        withEdges.edges = true;
        edges.push_back(timingOf([&] { last = renderPreview(scene, withEdges); }).wall);
    }
    std::printf("render with --edges: median %.3f s wall\n", median(edges));
    if (!withFile) return 0;

    namespace fs = std::filesystem;
    const fs::path folder =
        keep.empty() ? fs::temp_directory_path() / ("bench_preview_" + std::to_string(::getpid())) : fs::path(keep);
    fs::create_directories(folder);
    const std::string obj = (folder / "terrain.obj").string(), qmx = (folder / "terrain.qmx").string();
    const std::string png = (folder / "terrain.png").string();
    writeObj(scene, obj);
    fs::create_directories(folder / "host");
    const std::string exportCommand = std::string("'") + PELMORA_TOOL + "' export '" + obj + "' -o '" + qmx +
                                      "' --host-dir '" + (folder / "host").string() + "' --force >/dev/null 2>&1";
    if (std::system(exportCommand.c_str()) != 0) {
        std::fprintf(stderr, "bench_preview: exporting %s failed\n", obj.c_str());
        return 1;
    }
    std::vector<double> load, render, write, command, loadCpu, renderCpu, writeCpu;
    for (int r = 0; r < rounds; ++r) {
        PreviewScene read;
        const auto l = timingOf([&] { read = loadPreviewScene(qmx); });
        const auto d = timingOf([&] { last = renderPreview(read, options); });
        const auto w = timingOf([&] { writePngFile(last.image, png); });
        load.push_back(l.wall), render.push_back(d.wall), write.push_back(w.wall);
        loadCpu.push_back(l.cpu), renderCpu.push_back(d.cpu), writeCpu.push_back(w.cpu);
        if (r == 0)
            std::printf("file: %ju bytes, %zu triangles, no camera (framed): %.0f%% of the pixels covered\n",
                        static_cast<std::uintmax_t>(fs::file_size(qmx)), triangles(read),
                        100.0 * coveredShare(last.image));
    }
    const std::string previewCommand =
        std::string("'") + PELMORA_TOOL + "' preview '" + qmx + "' -o '" + png + "' --size 1280x720 >/dev/null";
    for (int r = 0; r < std::min(rounds, 3); ++r)
        command.push_back(timingOf([&] { (void)std::system(previewCommand.c_str()); }).wall);
    std::printf("from the file (medians, wall / CPU): read %.3f / %.3f s, render %.3f / %.3f s, PNG %.3f / %.3f s\n",
                median(load), median(loadCpu), median(render), median(renderCpu), median(write), median(writeCpu));
    std::printf("`pelmora preview` from a shell: median %.3f s wall\n", median(command));
    if (keep.empty()) fs::remove_all(folder);
    return 0;
}
