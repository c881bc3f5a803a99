// Fault sweeps over whole runs of the tool: an export of the sample house, an
// export that writes the drawing back, an export of a model file (its import
// child and the handoff included), and two converts (to QMX, and to .gltf with its .bin), each run once for every
// allocation (failing just that one, or every one from there on), every file
// operation, and every size of a disk that fills up. Every case must end in
// success or in a clean failure: a message and a non-zero status, the previous
// files as they were or completely written, no temporary file left, no crash,
// no leak. PELMORA_SWEEP_CASES bounds the cases of each sweep (0: all).
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "hostsim/document/drawing.h"
#include "tests/sweep/alloc_fault.h"
#include "tests/sweep/io_fault.h"
#include "tests/sweep/tool_sweeps.h"
#include "tool/export/export_run.h"

namespace pelmora::sweep {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = PELMORA_SOURCE_DIR;
constexpr const char* kOldOutput = "the previous output, which a failed run must leave as it is\n";

void put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

long casesPerSweep(long fallback) {
    const char* text = std::getenv("PELMORA_SWEEP_CASES");
    return text ? std::atol(text) : fallback;
}

fs::path sweepBase(const std::string& name) {
    const fs::path base = fs::path(::testing::TempDir()) / ("pelmora_sweep_" + name + "_" + std::to_string(getpid()));
    fs::remove_all(base);
    fs::create_directories(base);
    return base;
}

// A host folder with the sample templates and a remembered mode.
void prepareHost(const fs::path& folder) {
    fs::copy(kSource / "examples/host", folder / "host", fs::copy_options::recursive);
    put(folder / "host/Data/Pelmora.pref", "v01");
}

std::vector<std::string> exportArguments(const fs::path& folder, const std::string& drawing) {
    return {"export",     (folder / drawing).string(), "-o", (folder / "out.qmx").string(), "--force", "--mode", "2",
            "--host-dir", (folder / "host").string()};
}

Scenario exportScenario() {
    const std::string house = slurp(kSource / "examples/house.json");
    return {"export",
            [house](const fs::path& folder) {
                put(folder / "house.json", house);
                put(folder / "out.qmx", kOldOutput);
                prepareHost(folder);
            },
            [](const fs::path& folder) { return exportArguments(folder, "house.json"); }};
}

// The house without its light records: the export gives the lights their
// identities and writes the drawing back.
Scenario writeBackScenario() {
    hostsim::Drawing drawing = hostsim::loadDrawing((kSource / "examples/house.json").string());
    std::function<void(std::vector<hostsim::DrawingObject>&)> strip =
        [&](std::vector<hostsim::DrawingObject>& objects) {
            for (auto& object : objects) {
                object.records.clear();
                strip(object.members);
            }
        };
    for (auto& layer : drawing.layers) strip(layer.objects);
    const std::string text = hostsim::serializeDrawing(drawing);
    return {"write-back",
            [text](const fs::path& folder) {
                put(folder / "drawing.json", text);
                put(folder / "out.qmx", kOldOutput);
                prepareHost(folder);
            },
            [](const fs::path& folder) { return exportArguments(folder, "drawing.json"); }};
}

// A model file with two objects and a material: the export imports it in a
// child process that hands the drawing over through an anonymous file. With
// its material library named, Assimp reads it; without, the import's own
// quick OBJ reader.
Scenario modelScenario(bool materialLibrary) {
    const std::string model = std::string(materialLibrary ? "mtllib none.mtl\n" : "") +
                              "o box\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\nusemtl stone\nf 1 2 3 4\nf 1 2 5\n"
                              "o roof\nv 0 0 2\nv 1 0 2\nv 0 1 2\nf 6 7 8\n";
    return {"model",
            [model](const fs::path& folder) {
                put(folder / "model.obj", model);
                put(folder / "out.qmx", kOldOutput);
                prepareHost(folder);
            },
            [](const fs::path& folder) { return exportArguments(folder, "model.obj"); }};
}

Scenario convertScenario(const std::string& scene) {
    return {"convert",
            [scene](const fs::path& folder) {
                put(folder / "in.qmx", scene);
                put(folder / "out.qmx", kOldOutput);
            },
            [](const fs::path& folder) {
                return std::vector<std::string>{"convert", (folder / "in.qmx").string(), (folder / "out.qmx").string(),
                                                "--ascii", "--force"};
            }};
}

// To .gltf over an earlier one and its .bin: the set is written in a staging
// folder and moved in, side file first.
Scenario convertGltfScenario(const std::string& scene) {
    return {"convert-gltf",
            [scene](const fs::path& folder) {
                put(folder / "in.qmx", scene);
                put(folder / "out.gltf", kOldOutput);
                put(folder / "out.bin", kOldOutput);
            },
            [](const fs::path& folder) {
                return std::vector<std::string>{"convert", (folder / "in.qmx").string(), (folder / "out.gltf").string(),
                                                "--force"};
            }};
}

void runSweeps(const Scenario& scenario, const std::vector<std::pair<FaultKind, long>>& sweeps) {
    ToolSweep sweep(sweepBase(scenario.name), scenario);
    sweep.prepareReference();
    for (const auto& [kind, cases] : sweeps) {
        const SweepCounts counts = sweep.sweep(kind, cases);
        std::printf("[sweep] %s, %s: %s\n", scenario.name.c_str(), faultKindName(kind), counts.summary().c_str());
        std::fflush(stdout);
        EXPECT_GT(counts.cases, 0);
        EXPECT_GE(counts.total, counts.cases > 1 ? 1 : 0);
        for (std::size_t i = 0; i < counts.problems.size() && i < 5; ++i)
            ADD_FAILURE() << scenario.name << ", " << faultKindName(kind) << ": " << counts.problems[i];
        EXPECT_TRUE(counts.problems.empty()) << counts.problems.size() << " cases ended badly";
    }
}

std::vector<std::pair<FaultKind, long>> allKinds() {
    return {{FaultKind::AllocationOnce, casesPerSweep(120)},
            {FaultKind::AllocationFromThereOn, casesPerSweep(40)},
            {FaultKind::FileOperation, casesPerSweep(120)},
            {FaultKind::DiskFull, casesPerSweep(30)}};
}

TEST(ToolSweep, ExportOfTheSampleHouse) { runSweeps(exportScenario(), allKinds()); }

TEST(ToolSweep, ExportThatWritesTheDrawingBack) { runSweeps(writeBackScenario(), allKinds()); }

// The drawing's disk full and the output's not: the output is written, the
// drawing kept as it was, nothing left beside it, and the reason said.
TEST(ToolSweep, AWriteBackOnAFullDiskSaysSo) {
    const fs::path base = sweepBase("full-drawing-disk");
    writeBackScenario().prepare(base / "drawing");
    const std::string drawing = slurp(base / "drawing/drawing.json");
    fs::create_directories(base / "out");
    const int status =
        runToolCapturing({"export", (base / "drawing/drawing.json").string(), "-o", (base / "out/out.qmx").string(),
                          "--mode", "2", "--host-dir", (base / "drawing/host").string()},
                         base / "err.txt", [&] { armDiskFull((base / "drawing").string(), 0); });
    const std::string err = slurp(base / "err.txt");
    EXPECT_EQ(status, 4) << err;
    EXPECT_NE(err.find("not updated: cannot write"), std::string::npos) << err;
    EXPECT_NE(err.find(": the disk is full"), std::string::npos) << err;
    EXPECT_EQ(slurp(base / "drawing/drawing.json"), drawing);
    EXPECT_TRUE(fs::exists(base / "out/out.qmx"));
    for (const auto& entry : fs::directory_iterator(base / "drawing"))
        EXPECT_TRUE(entry.path().filename() == "drawing.json" || entry.path().filename() == "host" ||
                    entry.path().filename() == "out.qmx")
            << entry.path();
    fs::remove_all(base);
}

// Memory gone once the output was replaced: the output is the new file, and
// the run says so and what became of the drawing, with status 4 (neither a
// failure that changed nothing nor a success).
TEST(ToolSweep, OutOfMemoryOnceTheOutputWasReplacedIsStatusFour) {
    const fs::path base = sweepBase("memory-after-replacing");
    writeBackScenario().prepare(base);
    const std::string before = slurp(base / "drawing.json");
    const CaseResult result = runCase([&] {
        const int err = ::open((base / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(err, 2);
        tool::ExportRequest request;
        request.drawingPath = (base / "drawing.json").string();
        request.outputPath = (base / "out.qmx").string();
        request.hostDir = (base / "host").string();
        request.mode = 2;
        request.force = true;
        request.atMoment = [](const char* moment) {
            if (std::strcmp(moment, "replaced") == 0) armAllocationFault(1, FaultMode::FromThereOn);
        };
        const int status = tool::runExportRequest(request);
        disarmAllocationFault();
        return CaseVerdict{status == 4 ? Outcome::CleanFailure : Outcome::Bad, allocationFaultFired(),
                           "status " + std::to_string(status)};
    });
    const std::string err = slurp(base / "err.txt");
    EXPECT_EQ(result.outcome, Outcome::CleanFailure) << result.detail << "\n" << err;
    EXPECT_TRUE(result.faultFired);
    EXPECT_NE(err.find("out of memory after " + (base / "out.qmx").string() + " was replaced; it is the new"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("drawing.json was updated before it"), std::string::npos) << err;
    EXPECT_NE(slurp(base / "out.qmx"), kOldOutput);
    EXPECT_NE(slurp(base / "drawing.json"), before);
    fs::remove_all(base);
}

// An output folder whose disk can take no new file: the run's failure
// (status 1), said as such, not a bad path given (status 2).
TEST(ToolSweep, AnOutputDiskThatTakesNoNewFileIsAFailure) {
    const fs::path base = sweepBase("full-output-disk");
    writeBackScenario().prepare(base / "drawing");
    fs::create_directories(base / "out");
    const int status =
        runToolCapturing({"export", (base / "drawing/drawing.json").string(), "-o", (base / "out/out.qmx").string(),
                          "--mode", "2", "--host-dir", (base / "drawing/host").string()},
                         base / "err.txt", [&] { armFileFault((base / "out").string(), 1); });
    const std::string err = slurp(base / "err.txt");
    EXPECT_EQ(status, 1) << err;
    EXPECT_NE(err.find("cannot create a file in"), std::string::npos) << err;
    EXPECT_NE(err.find(": the disk is full"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_empty(base / "out"));
    fs::remove_all(base);
}

TEST(ToolSweep, ExportOfAModelFile) { runSweeps(modelScenario(true), allKinds()); }

TEST(ToolSweep, ExportOfAPlainObjFile) { runSweeps(modelScenario(false), allKinds()); }

TEST(ToolSweep, ConvertToAscii) {
    // The scene to convert: the sample house as an export writes it.
    const fs::path base = sweepBase("convert_input");
    ToolSweep reference(base, exportScenario());
    reference.prepareReference();
    const std::string scene = slurp(base / "work/out.qmx");
    ASSERT_GT(scene.size(), 1000u);
    runSweeps(convertScenario(scene), allKinds());
}

TEST(ToolSweep, ConvertToGltf) {
    const fs::path base = sweepBase("convert_gltf_input");
    ToolSweep reference(base, exportScenario());
    reference.prepareReference();
    const std::string scene = slurp(base / "work/out.qmx");
    ASSERT_GT(scene.size(), 1000u);
    runSweeps(convertGltfScenario(scene), allKinds());
}

}  // namespace
}  // namespace pelmora::sweep
