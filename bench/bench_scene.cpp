// Speed and memory of the export, measured in one process run against plain
// baselines on the reference scenes (see docs/performance.md):
//   1. the export path (pluginMain, dialogs answered, drawing in memory) against
//      fwrite of the same bytes in 64 KiB pieces;
//   2. the vertex weld against meshopt_generateVertexRemap on the same objects,
//      and the weld's vertex count on jittered corners;
//   3. byte-sum plus write of the payloads through the output stream against
//      their raw write;
//   4. the peak memory of the export call beyond the drawing against the file size;
//   5. `pelmora export` of the terrain as OBJ against `assimp export -jiv` to
//      binary PLY, both from a shell.
// Usage: bench_scene [--rounds N] [--keep DIR] [--no-e2e] [--obj FILE]
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "collect/vertex_merger.h"
#include "command/plugin_main.h"
#include "hostsim/emulated_host.h"
#include "platform/portable_hooks.h"
#include "qmxread/qmx_reader.h"
#include "reference_scene.h"
#include "scene_file/byte_sum.h"
#include "scene_file/output_stream.h"

#if defined(PELMORA_HAVE_MESHOPT)
#include <meshoptimizer.h>
#endif

// ---- Counting allocator: every operator new/delete of the process. ----------
namespace {
std::atomic<long long> gLiveBytes{0};
std::atomic<long long> gPeakBytes{0};

void* countedAlloc(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) return nullptr;
    const long long now = gLiveBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = gPeakBytes.load(std::memory_order_relaxed);
    while (now > peak && !gPeakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void countedFree(void* p) {
    if (p == nullptr) return;
    gLiveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = countedAlloc(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = countedAlloc(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }

namespace {

using namespace pelmora;
using namespace pelmora::bench;
namespace fs = std::filesystem;

constexpr std::size_t kPiece = 64 * 1024;

struct Options {
    int rounds = 5;
    std::string keepDir;
    bool e2e = true;
    std::string objOnly;
};

std::vector<std::uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// fwrite in 64 KiB pieces, then fclose: the plain way to put bytes in a file.
bool rawWrite(const std::string& path, const std::vector<std::vector<std::uint8_t>>& blocks) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = true;
    for (const auto& block : blocks) {
        for (std::size_t at = 0; at < block.size() && ok; at += kPiece) {
            const std::size_t n = std::min(kPiece, block.size() - at);
            ok = std::fwrite(block.data() + at, 1, n, file) == n;
        }
    }
    return std::fclose(file) == 0 && ok;
}

// ---- 1 and 4: the export path ---------------------------------------------

class ExportHarness {
public:
    ExportHarness(hostsim::Drawing drawing, const std::string& folder)
        : host_(std::make_unique<hostsim::EmulatedHost>(std::move(drawing))), folder_(folder) {
        fs::create_directories(folder_ + "/host/Pelmora");
        host_->setFolder(1, folder_ + "/host/");
        host_->setFolder(2, folder_ + "/host/");
        host_->dialogScript().mode = 2;  // every visible object of every visible layer
        host_->onMessage([this](const hostsim::ShownMessage& m) {
            std::fprintf(stderr, "host message %d/%d %s\n", m.list, m.index, m.text.c_str());
            ++messages_;
        });
        output_ = folder_ + "/scene.qmx";
    }

    const std::string& output() const { return output_; }
    int messages() const { return messages_; }

    // One export; gives the bytes allocated at the peak of the call beyond
    // what was allocated when it started.
    long long run() {
        PelmoraPortableHooks hooks{};
        hooks.user = this;
        hooks.saveDialog = [](const char*, const char*, const char*, char* out, int capacity, void* user) -> int {
            const std::string& path = static_cast<ExportHarness*>(user)->output_;
            if (static_cast<int>(path.size()) >= capacity) return 2;
            std::memcpy(out, path.c_str(), path.size() + 1);
            return 1;
        };
        hooks.messageBox = [](const char* text, void* user) {
            std::fprintf(stderr, "message box: %s\n", text);
            ++static_cast<ExportHarness*>(user)->messages_;
        };
        platform::setPortableHooks(&hooks);
        const long long before = gLiveBytes.load();
        gPeakBytes.store(before);
        pluginMain(kActionRun, 0, 0, host_->callback());
        const long long peak = gPeakBytes.load() - before;
        platform::setPortableHooks(nullptr);
        return peak;
    }

private:
    std::unique_ptr<hostsim::EmulatedHost> host_;
    std::string folder_;
    std::string output_;
    int messages_ = 0;
};

struct ExportFigures {
    double exportSeconds = 0;
    double rawSeconds = 0;
    long long peakBytes = 0;
    std::size_t fileBytes = 0;
    bool identical = true;
};

std::optional<ExportFigures> benchExport(const char* label, const TerrainShape& shape, const Options& options,
                                         const std::string& folder, std::vector<std::uint8_t>* keepBytes) {
    ExportHarness harness(makeReferenceDrawing(shape), folder);
    // The first run also creates the lights' identity records; later runs only read them.
    harness.run();
    const std::vector<std::uint8_t> reference = readAll(harness.output());
    if (reference.empty() || harness.messages() != 0) {
        std::fprintf(stderr, "%s: the export wrote no file\n", label);
        return std::nullopt;
    }
    try {
        const qmxread::QmxFile file = qmxread::readQmxFile(harness.output());
        long meshes = 0, polygons = 0, vertices = 0;
        for (const auto& root : file.roots) {
            for (const auto& child : root.children) {
                if (child.type != 8 || child.data.size() < 8) continue;
                ++meshes;
                vertices += static_cast<long>(child.data[0] | child.data[1] << 8 | child.data[2] << 16 |
                                              child.data[3] << 24);
                polygons += static_cast<long>(child.data[4] | child.data[5] << 8 | child.data[6] << 16 |
                                              child.data[7] << 24);
            }
        }
        std::printf("%s: %zu bytes, read back: %ld meshes, %ld vertices, %ld polygons\n", label, reference.size(),
                    meshes, vertices, polygons);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: the reader refused the file: %s\n", label, error.what());
        return std::nullopt;
    }
    if (keepBytes != nullptr) *keepBytes = reference;
    if (!options.keepDir.empty()) {
        fs::create_directories(options.keepDir);
        fs::copy_file(harness.output(), options.keepDir + "/" + label + ".qmx", fs::copy_options::overwrite_existing);
    }

    const std::vector<std::vector<std::uint8_t>> whole{reference};
    const std::string rawPath = folder + "/raw.bin";
    std::vector<double> exportTimes, rawTimes;
    ExportFigures figures;
    figures.fileBytes = reference.size();
    for (int round = 0; round < options.rounds; ++round) {
        long long peak = 0;
        exportTimes.push_back(secondsOf([&] { peak = harness.run(); }));
        figures.peakBytes = std::max(figures.peakBytes, peak);
        if (readAll(harness.output()) != reference) figures.identical = false;
        rawTimes.push_back(secondsOf([&] { rawWrite(rawPath, whole); }));
    }
    figures.exportSeconds = median(exportTimes);
    figures.rawSeconds = median(rawTimes);
    std::printf("%s: export %.3f s, fwrite %.3f s (medians of %d), peak %.1f MiB beyond the drawing, %s\n", label,
                figures.exportSeconds, figures.rawSeconds, options.rounds, figures.peakBytes / 1048576.0,
                figures.identical ? "every round byte-identical" : "ROUNDS DIFFER");
    return figures;
}

// ---- 2: the weld ------------------------------------------------------------

long weldAll(const std::vector<CornerStream>& streams) {
    long total = 0;
    for (const CornerStream& stream : streams) {
        VertexMerger merger;
        const float* v = stream.xyz.data();
        const std::size_t corners = stream.corners();
        for (std::size_t c = 0; c < corners; c += 3) {
            merger.beginPolygon(3);
            for (std::size_t k = c; k < c + 3; ++k) merger.addVertex(Vec3f{v[3 * k], v[3 * k + 1], v[3 * k + 2]});
        }
        total += merger.vertexCount();
    }
    return total;
}

#if defined(PELMORA_HAVE_MESHOPT)
long remapAll(const std::vector<CornerStream>& streams) {
    long total = 0;
    std::vector<unsigned> remap;
    for (const CornerStream& stream : streams) {
        remap.resize(stream.corners());
        total += static_cast<long>(meshopt_generateVertexRemap(remap.data(), nullptr, stream.corners(),
                                                               stream.xyz.data(), stream.corners(),
                                                               3 * sizeof(float)));
    }
    return total;
}
#endif

// Earliest-match weld by comparing with every stored vertex: the count it gives.
long bruteForceCount(const CornerStream& stream) {
    std::vector<Vec3f> stored;
    for (std::size_t c = 0; c < stream.corners(); ++c) {
        const Vec3f v{stream.xyz[3 * c], stream.xyz[3 * c + 1], stream.xyz[3 * c + 2]};
        bool found = false;
        for (const Vec3f& s : stored) {
            if (VertexMerger::sameVertex(v, s)) {
                found = true;
                break;
            }
        }
        if (!found) stored.push_back(v);
    }
    return static_cast<long>(stored.size());
}

struct WeldFigures {
    double weldSeconds = 0;
    double remapSeconds = 0;
    long extraJittered = 0;
    bool haveRemap = false;
};

WeldFigures benchWeld(const TerrainShape& shape, const Options& options) {
    WeldFigures figures;
    const std::vector<CornerStream> exact = makeCornerStreams(shape, 0.0, 1);
    const std::vector<CornerStream> jittered = makeCornerStreams(shape, 2.0e-6, 7);
    const long expected = gridPointsPerTile(shape) * shape.objects();

    std::vector<double> weldTimes, remapTimes;
    long welded = 0, remapped = 0;
    for (int round = 0; round < options.rounds; ++round) {
        weldTimes.push_back(secondsOf([&] { welded = weldAll(exact); }));
#if defined(PELMORA_HAVE_MESHOPT)
        remapTimes.push_back(secondsOf([&] { remapped = remapAll(exact); }));
        figures.haveRemap = true;
#endif
    }
    figures.weldSeconds = median(weldTimes);
    figures.remapSeconds = median(remapTimes);

    const long weldedJittered = weldAll(jittered);
    long remappedJittered = 0;
#if defined(PELMORA_HAVE_MESHOPT)
    remappedJittered = remapAll(jittered);
#endif
    figures.extraJittered = weldedJittered - expected;
    // The brute force over the first objects confirms the count vertex for vertex.
    long bruteSample = 0, weldSample = 0;
    const std::vector<CornerStream> sample(jittered.begin(), jittered.begin() + std::min<std::size_t>(20, jittered.size()));
    for (const CornerStream& stream : sample) bruteSample += bruteForceCount(stream);
    weldSample = weldAll(sample);

    std::printf("weld: %zu objects, %ld corners; exact: %ld vertices (grid %ld), meshopt %ld\n", exact.size(),
                static_cast<long>(shape.triangles() * 3), welded, expected, remapped);
    std::printf("weld: jittered by 2 um: %ld vertices (%ld extra), meshopt %ld; brute force on %zu objects %ld, weld %ld\n",
                weldedJittered, figures.extraJittered, remappedJittered, sample.size(), bruteSample, weldSample);
    if (bruteSample != weldSample) figures.extraJittered += weldSample - bruteSample + 1000000;
    std::printf("weld: %.3f s, meshopt_generateVertexRemap %.3f s (medians of %d)\n", figures.weldSeconds,
                figures.remapSeconds, options.rounds);
    return figures;
}

// ---- 3: byte-sum and write of the payloads -----------------------------------

void collectPayloads(const qmxread::Node& node, std::vector<std::vector<std::uint8_t>>& out) {
    if (!node.data.empty()) out.push_back(node.data);
    for (const auto& motion : node.motions)
        if (!motion.data.empty()) out.push_back(motion.data);
    for (const auto& child : node.children) collectPayloads(child, out);
}

struct PayloadFigures {
    double summedSeconds = 0;
    double rawSeconds = 0;
    std::size_t bytes = 0;
};

PayloadFigures benchPayloads(const std::vector<std::uint8_t>& fileBytes, const Options& options,
                             const std::string& folder) {
    std::vector<std::vector<std::uint8_t>> payloads;
    const qmxread::QmxFile file = qmxread::readQmx(fileBytes);
    for (const auto& root : file.roots) collectPayloads(root, payloads);
    PayloadFigures figures;
    for (const auto& p : payloads) figures.bytes += p.size();

    const std::string summedPath = folder + "/summed.bin";
    const std::string rawPath = folder + "/payloads.bin";
    std::vector<double> summed, raw;
    for (int round = 0; round < options.rounds; ++round) {
        summed.push_back(secondsOf([&] {
            OutputStream stream;
            if (!stream.open(summedPath.c_str(), true, false)) return;
            for (const auto& p : payloads) {
                stream.writeInt(static_cast<std::int32_t>(byteSum(p.data(), p.size())), true);
                stream.writeBytes(p.data(), p.size(), true);
            }
            stream.close();
        }));
        raw.push_back(secondsOf([&] { rawWrite(rawPath, payloads); }));
    }
    figures.summedSeconds = median(summed);
    figures.rawSeconds = median(raw);
    std::printf("payloads: %zu blocks, %zu bytes; byte-sum + write %.3f s, fwrite %.3f s (medians of %d)\n",
                payloads.size(), figures.bytes, figures.summedSeconds, figures.rawSeconds, options.rounds);
    return figures;
}

// ---- 5: end to end from a shell ----------------------------------------------

double shellSeconds(const std::string& command) {
    int status = 0;
    const double seconds = secondsOf([&] { status = std::system(command.c_str()); });
    if (status != 0) {
        std::fprintf(stderr, "failed (%d): %s\n", status, command.c_str());
        return -1.0;
    }
    return seconds;
}

struct ShellFigures {
    double pelmoraSeconds = 0;
    double assimpSeconds = 0;
    bool ran = false;
};

ShellFigures benchShell(const Options& options, const std::string& folder) {
    ShellFigures figures;
#if defined(PELMORA_TOOL)
    const std::string tool = PELMORA_TOOL;
    if (!fs::exists(tool) || std::system("command -v assimp >/dev/null 2>&1") != 0) {
        std::printf("shell: pelmora tool or assimp missing, skipped\n");
        return figures;
    }
    const std::string obj = folder + "/terrain.obj";
    if (!writeTerrainObj(standardTerrain(), obj)) return figures;
    fs::create_directories(folder + "/toolhost/Pelmora");
    const std::string pelmora = "'" + tool + "' export '" + obj + "' -o '" + folder + "/terrain.qmx' --mode 2 --force --host-dir '" +
                                folder + "/toolhost' >/dev/null 2>&1 </dev/null";
    const std::string assimp = "assimp export '" + obj + "' '" + folder + "/terrain.ply' -fplyb -jiv >/dev/null 2>&1 </dev/null";
    std::vector<double> p, a;
    const int rounds = std::max(3, options.rounds / 2 * 2 - 1);
    for (int round = 0; round < rounds; ++round) {
        const double tp = shellSeconds(pelmora);
        const double ta = shellSeconds(assimp);
        if (tp < 0 || ta < 0) return figures;
        p.push_back(tp);
        a.push_back(ta);
    }
    figures.pelmoraSeconds = median(p);
    figures.assimpSeconds = median(a);
    figures.ran = true;
    std::printf("shell: OBJ of %ld bytes; pelmora export %.3f s, assimp export -jiv %.3f s (medians of %d)\n",
                static_cast<long>(fs::file_size(obj)), figures.pelmoraSeconds, figures.assimpSeconds, rounds);
#else
    (void)options;
    (void)folder;
    std::printf("shell: built without the tool's path, skipped\n");
#endif
    return figures;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--keep" && i + 1 < argc) {
            options.keepDir = argv[++i];
        } else if (arg == "--obj" && i + 1 < argc) {
            options.objOnly = argv[++i];
        } else if (arg == "--no-e2e") {
            options.e2e = false;
        } else {
            std::fprintf(stderr, "usage: bench_scene [--rounds N] [--keep DIR] [--no-e2e] [--obj FILE]\n");
            std::exit(2);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    if (!options.objOnly.empty()) return writeTerrainObj(standardTerrain(), options.objOnly) ? 0 : 1;

    char folderTemplate[] = "/tmp/pelmora_bench_XXXXXX";
    if (mkdtemp(folderTemplate) == nullptr) return 1;
    const std::string folder = folderTemplate;

    std::vector<std::uint8_t> standardBytes;
    const auto standard = benchExport("terrain", standardTerrain(), options, folder + "/standard", &standardBytes);
    const auto large = benchExport("large-objects", largeObjectTerrain(), options, folder + "/large", nullptr);
    const WeldFigures weld = benchWeld(standardTerrain(), options);
    const PayloadFigures payloads =
        standardBytes.empty() ? PayloadFigures{} : benchPayloads(standardBytes, options, folder);
    const ShellFigures shell = options.e2e ? benchShell(options, folder) : ShellFigures{};

    std::printf("\n");
    int missed = 0;
    if (standard) {
        missed += !reportRatio("1. export / fwrite (terrain)", standard->exportSeconds / standard->rawSeconds, 12.0);
    }
    if (large) {
        missed += !reportRatio("1. export / fwrite (large objects)", large->exportSeconds / large->rawSeconds, 12.0);
    }
    if (weld.haveRemap) {
        missed += !reportRatio("2. weld / meshopt_generateVertexRemap", weld.weldSeconds / weld.remapSeconds, 1.5);
    }
    const bool noExtra = weld.extraJittered == 0;
    std::printf("RATIO %-44s %8ld    (goal 0)  %s\n", "2. extra vertices on jittered data", weld.extraJittered,
                noExtra ? "met" : "MISSED");
    missed += !noExtra;
    if (payloads.rawSeconds > 0) {
        missed += !reportRatio("3. byte-sum + write / fwrite", payloads.summedSeconds / payloads.rawSeconds, 1.5);
    }
    if (standard) {
        missed += !reportRatio("4. peak memory / file size (terrain)",
                               static_cast<double>(standard->peakBytes) / static_cast<double>(standard->fileBytes), 2.0);
    }
    if (large) {
        missed += !reportRatio("4. peak memory / file size (large objects)",
                               static_cast<double>(large->peakBytes) / static_cast<double>(large->fileBytes), 2.0);
    }
    if (shell.ran) {
        missed += !reportRatio("5. pelmora export / assimp export", shell.pelmoraSeconds / shell.assimpSeconds, 0.5);
    }
    if ((standard && !standard->identical) || (large && !large->identical)) {
        std::printf("the export rounds did not write identical bytes\n");
        ++missed;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return standard && large ? 0 : 1;
}
