// Bench (not a test): the export path on a large generated drawing held by the
// emulated host in memory, against writing the same number of bytes with
// plain fwrite, and the plug-in's peak memory beyond the drawing.
//
//   bench_export [--objects N] [--grid G] [--classes C] [--lights L] [--rounds R] [--dir DIR]
//   bench_export --many layers|classes [--rounds R] [--dir DIR]
//
// Each object is a G x G patch of terrain, 2 G^2 triangles, converted by the
// host with vertex merging; the defaults give 2000 objects of 512 triangles
// (1 024 000 triangles) in 200 classes on 10 layers, 50 lights and a camera.
// With --many: drawings of 12 500, 25 000 and 50 000 layers of one triangle of
// its own class each (or as many classes in one layer), exported in this
// process and by the built tool, to show how the cost grows with the count.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "bench/many_layers.h"
#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "plugin/command/plugin_main.h"
#include "plugin/platform/portable_hooks.h"

namespace {

using pelmora::hostsim::Drawing;
using pelmora::hostsim::DrawingObject;
using pelmora::hostsim::GeometryEntry;
using pelmora::hostsim::Point3;
using pelmora::hostsim::PropertyValue;
using Clock = std::chrono::steady_clock;

struct Settings {
    int objects = 2000;
    int grid = 16;
    int classes = 200;
    int lights = 50;
    int layers = 10;
    int rounds = 5;
    std::string dir;
    std::string many;  // "layers" or "classes": the many-layers drawings instead
};

double terrainHeight(double x, double y) { return 1500.0 * std::sin(x * 0.0007) * std::cos(y * 0.0011); }

Drawing generateDrawing(const Settings& s) {
    Drawing d;
    d.classes.clear();
    for (int c = 0; c < s.classes; ++c) {
        char name[32];
        std::snprintf(name, sizeof name, "Class%03d", c);
        d.classes.emplace_back(name);
    }
    pelmora::hostsim::View view;
    view.origin = {-60000.0, -60000.0, -5000.0};
    view.distance = 90000.0;
    view.focal = 1.0;
    d.view = view;

    const double cell = 500.0;  // mm
    const int perRow = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(s.objects))));
    for (int l = 0; l < s.layers; ++l) {
        pelmora::hostsim::Layer layer;
        layer.name = "Layer" + std::to_string(l);
        layer.elevation = 100.0 * l;
        d.layers.push_back(std::move(layer));
    }
    d.activeLayer = d.layers.front().name;
    for (int o = 0; o < s.objects; ++o) {
        DrawingObject object;
        object.type = 24;
        object.className = d.classes[static_cast<std::size_t>(o % s.classes)];
        const double x0 = (o % perRow) * s.grid * cell;
        const double y0 = (o / perRow) * s.grid * cell;
        std::vector<GeometryEntry> polygons;
        polygons.reserve(static_cast<std::size_t>(2 * s.grid * s.grid));
        auto corner = [&](int i, int j) {
            double x = x0 + i * cell, y = y0 + j * cell;
            return Point3{x, y, terrainHeight(x, y)};
        };
        for (int i = 0; i < s.grid; ++i)
            for (int j = 0; j < s.grid; ++j) {
                GeometryEntry a, b;
                a.points = {corner(i, j), corner(i + 1, j), corner(i + 1, j + 1)};
                b.points = {corner(i, j), corner(i + 1, j + 1), corner(i, j + 1)};
                polygons.push_back(std::move(a));
                polygons.push_back(std::move(b));
            }
        object.polygons = std::move(polygons);
        d.layers[static_cast<std::size_t>(o % s.layers)].objects.push_back(std::move(object));
    }
    for (int i = 0; i < s.lights; ++i) {
        DrawingObject light;
        light.type = 81;
        light.className = d.classes.front();
        if (i % 2 == 0) light.name = "Light " + std::to_string(i);
        auto point = [](double x, double y, double z) {
            PropertyValue v;
            v.kind = PropertyValue::Kind::Point;
            v.pointValue = {x, y, z};
            return v;
        };
        PropertyValue kind;
        kind.kind = PropertyValue::Kind::Int16;
        kind.intValue = static_cast<std::int16_t>(i % 3);
        PropertyValue intensity;
        intensity.kind = PropertyValue::Kind::Double;
        intensity.doubleValue = 1.0;
        light.properties[51] = intensity;
        light.properties[52] = point(1.0, 0.95, 0.9);
        light.properties[54] = point(1000.0 * i, 2000.0, 8000.0);
        light.properties[55] = kind;
        light.properties[56] = point(0.0, 0.3, -1.0);
        d.layers[static_cast<std::size_t>(i % s.layers)].objects.push_back(std::move(light));
    }
    return d;
}

long statusKilobytes(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

// Resets the peak resident size to the current one (Linux 4.0 and later).
bool resetPeakMemory() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

struct SaveAnswer {
    std::string path;
};

extern "C" int answerSave(const char*, const char*, const char*, char* out, int capacity, void* user) {
    const auto& answer = *static_cast<SaveAnswer*>(user);
    if (static_cast<int>(answer.path.size()) >= capacity) return 2;
    std::memcpy(out, answer.path.c_str(), answer.path.size() + 1);
    return 1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Writes `bytes` bytes in 64 KiB pieces and closes the file.
double timeFwrite(const std::string& path, std::uintmax_t bytes) {
    std::vector<char> block(64 * 1024, 'x');
    auto start = Clock::now();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return -1.0;
    std::uintmax_t left = bytes;
    while (left > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uintmax_t>(left, block.size()));
        if (std::fwrite(block.data(), 1, n, file) != n) break;
        left -= n;
    }
    std::fclose(file);
    return seconds(Clock::now() - start);
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (a == "--objects" && (v = next())) s.objects = std::atoi(v);
        else if (a == "--grid" && (v = next())) s.grid = std::atoi(v);
        else if (a == "--classes" && (v = next())) s.classes = std::atoi(v);
        else if (a == "--lights" && (v = next())) s.lights = std::atoi(v);
        else if (a == "--rounds" && (v = next())) s.rounds = std::atoi(v);
        else if (a == "--dir" && (v = next())) s.dir = v;
        else if (a == "--many" && (v = next())) s.many = v;
        else return false;
    }
    if (!s.many.empty() && s.many != "layers" && s.many != "classes") return false;
    return s.objects > 0 && s.grid > 0 && s.classes > 0 && s.lights >= 0 && s.rounds > 0;
}

// One export of `document` through plugin_main in this process: its CPU
// seconds, or a negative number when it failed. (The peak resident size is
// taken from the tool's run: in this process the allocator keeps what the
// rounds before freed, and the growth would hide the peak.)
double exportInProcess(const std::string& document, const std::string& hostDir) {
    pelmora::hostsim::EmulatedHost host(pelmora::hostsim::parseDrawing(document));
    host.setFolder(1, hostDir);
    host.setFolder(2, hostDir);
    host.dialogScript().mode = 2;
    const double cpu =
        pelmora::bench::timingOf([&] { pelmora::pluginMain(pelmora::kActionRun, 0, 0, host.callback()); }).cpu;
    return host.messages().empty() ? cpu : -1.0;
}

// The many-layers drawings: medians of the rounds for each count, in this
// process (the drawing already held by the host) and by `pelmora export`.
int runMany(const Settings& s, const std::filesystem::path& dir, const std::string& hostDir, const SaveAnswer& answer) {
    namespace fs = std::filesystem;
    const std::string document = (dir / "many.json").string();
    for (int n : {12500, 25000, 50000}) {
        const std::string text = pelmora::bench::manyLayersDocument(s.many == "layers", n);
        std::vector<double> pluginCpu, toolCpu;
        long toolPeakKb = 0;
        for (int round = 0; round < s.rounds; ++round) {
            pluginCpu.push_back(exportInProcess(text, hostDir));
            // A fresh document each round: the export writes the light ids back into it.
            std::ofstream(document, std::ios::binary | std::ios::trunc) << text;
            const pelmora::bench::ToolRun run =
                pelmora::bench::runTool({PELMORA_TOOL, "export", document, "-o", answer.path, "--mode", "2", "--force",
                                         "-q", "--host-dir", hostDir});
            if (pluginCpu.back() < 0 || run.status != 0) {
                std::fprintf(stderr, "bench_export: the export of %d %s failed (tool status %d)\n", n, s.many.c_str(),
                             run.status);
                return 1;
            }
            toolCpu.push_back(run.cpu);
            toolPeakKb = std::max(toolPeakKb, run.peakKiB);
        }
        std::error_code error;
        std::printf(
            "%d %s (document %zu bytes, file %ju bytes): plugin_main %.3f s cpu; pelmora export %.3f s cpu, "
            "peak resident %.1f MiB (medians of %d)\n",
            n, s.many.c_str(), text.size(), fs::file_size(answer.path, error), median(pluginCpu), median(toolCpu),
            toolPeakKb / 1024.0, s.rounds);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!parse(argc, argv, s)) {
        std::fprintf(
            stderr,
            "usage: bench_export [--objects N] [--grid G] [--classes C] [--lights L] [--rounds R] [--dir DIR]\n"
            "       bench_export --many layers|classes [--rounds R] [--dir DIR]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path dir =
        s.dir.empty() ? fs::temp_directory_path() / ("pelmora_bench_" + std::to_string(getpid())) : fs::path(s.dir);
    fs::create_directories(dir / "host" / "Pelmora");
    const std::string hostDir = (dir / "host").string() + "/";
    SaveAnswer answer{(dir / "bench.qmx").string()};
    PelmoraPortableHooks hooks{};
    hooks.saveDialog = answerSave;
    hooks.user = &answer;
    pelmora::platform::setPortableHooks(&hooks);
    if (!s.many.empty()) {
        const int status = runMany(s, dir, hostDir, answer);
        pelmora::platform::setPortableHooks(nullptr);
        if (s.dir.empty()) fs::remove_all(dir);
        return status;
    }

    auto genStart = Clock::now();
    const Drawing drawing = generateDrawing(s);
    const double genSeconds = seconds(Clock::now() - genStart);
    const long triangles = 2L * s.grid * s.grid * s.objects;
    std::printf("drawing: %d objects, %ld triangles, %d classes, %d lights, %zu layers (generated in %.2f s)\n",
                s.objects, triangles, s.classes, s.lights, drawing.layers.size(), genSeconds);

    std::vector<double> exportTimes, writeTimes;
    long peakBeyondDrawingKb = 0;
    std::uintmax_t fileBytes = 0;
    for (int round = 0; round < s.rounds; ++round) {
        fs::remove(answer.path);
        pelmora::hostsim::EmulatedHost host(drawing);
        host.setFolder(1, hostDir);
        host.setFolder(2, hostDir);
        host.dialogScript().mode = 3;

        const bool peakReset = resetPeakMemory();
        const long baseKb = statusKilobytes("VmRSS:");
        auto start = Clock::now();
        pelmora::pluginMain(pelmora::kActionRun, 0, 0, host.callback());
        exportTimes.push_back(seconds(Clock::now() - start));
        const long peakKb = statusKilobytes("VmHWM:");
        if (peakReset && baseKb >= 0 && peakKb >= 0)
            peakBeyondDrawingKb = std::max(peakBeyondDrawingKb, peakKb - baseKb);

        std::error_code error;
        fileBytes = fs::file_size(answer.path, error);
        if (error || !host.messages().empty()) {
            std::fprintf(stderr, "bench_export: the export failed (%zu messages)\n", host.messages().size());
            return 1;
        }
        writeTimes.push_back(timeFwrite((dir / "fwrite.bin").string(), fileBytes));
        std::printf("round %d: export %.3f s, fwrite %.3f s\n", round + 1, exportTimes.back(), writeTimes.back());
    }
    pelmora::platform::setPortableHooks(nullptr);

    const double exportMedian = median(exportTimes);
    const double writeMedian = median(writeTimes);
    std::printf("file: %ju bytes\n", fileBytes);
    std::printf("export path (plugin_main, drawing in memory): median %.3f s over %d rounds\n", exportMedian, s.rounds);
    std::printf("fwrite of the same bytes in 64 KiB pieces:     median %.3f s\n", writeMedian);
    std::printf("ratio export / fwrite: %.1f\n", writeMedian > 0 ? exportMedian / writeMedian : 0.0);
    std::printf("peak memory beyond the drawing: %.1f MiB (%.2f x the file)\n", peakBeyondDrawingKb / 1024.0,
                fileBytes ? peakBeyondDrawingKb * 1024.0 / static_cast<double>(fileBytes) : 0.0);
    fs::remove(dir / "fwrite.bin");
    fs::remove(answer.path);
    if (s.dir.empty()) fs::remove_all(dir);
    return 0;
}
