// pelmora convert IN OUT [--format F] [--ascii|--binary]: reads a QMX file and
// writes it as a glTF, OBJ, PLY or STL scene (or any format Assimp writes) for
// viewers, or again as QMX through the plug-in's scene writer, in the same
// layout and with byte-sums when the input has them.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <assimp/Exporter.hpp>
#include <assimp/postprocess.h>

#include "platform/files.h"
#include "qmxread/qmx_reader.h"
#include "scene_file/result_code.h"
#include "scene_file/scene_writer.h"
#include "tool/code_page_option.h"
#include "tool/commands.h"
#include "tool/gltf_additions.h"
#include "tool/progress_line.h"
#include "tool/scene_to_model.h"
#include "tool/qmx_replay.h"

namespace pelmora::tool {

namespace {

namespace fs = std::filesystem;

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string format;  // empty: from the output's extension
    bool ascii = false;
    bool binary = false;
    int codePage = kDefaultNameCodePage;
};

// What the output is written as.
struct OutputFormat {
    std::string assimpId;  // empty: QMX
    std::string label;
    bool gltf = false, glb = false;
    bool triangles = false;  // the format holds triangles only
    bool scene = false;      // the format has a place for the camera and lights
};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// From --format, else from the output's extension; nullopt when neither tells.
std::optional<OutputFormat> outputFormat(const ConvertOptions& options) {
    std::string name = lower(options.format);
    if (name.empty()) {
        name = lower(fs::path(options.output).extension().string());
        if (!name.empty()) name.erase(0, 1);
    }
    if (name == "qmx") return OutputFormat{"", "QMX"};
    if (name == "glb" || name == "glb2") return OutputFormat{"glb2", "glTF binary", true, true, true, true};
    if (name == "gltf" || name == "gltf2") return OutputFormat{"gltf2", "glTF", true, false, true, true};
    if (name == "obj") return OutputFormat{"obj", "OBJ"};
    if (name == "ply" || name == "plyb") return OutputFormat{options.ascii ? "ply" : "plyb", "PLY"};
    if (name == "stl" || name == "stlb") return OutputFormat{options.ascii ? "stl" : "stlb", "STL", false, false, true};
    Assimp::Exporter exporter;
    for (std::size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const aiExportFormatDesc* desc = exporter.GetExportFormatDescription(i);
        if (name == lower(desc->id) || (options.format.empty() && name == lower(desc->fileExtension)))
            return OutputFormat{desc->id, desc->description, false, false, false, true};
    }
    return std::nullopt;
}

int badInput(const std::string& message) {
    std::fprintf(stderr, "pelmora convert: %s\n", message.c_str());
    return kExitUsage;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "pelmora convert: %s\n", message.c_str());
    return kExitFailure;
}

// Reserves a fresh name beside `target` (created empty with the usual
// permissions) for the writer to fill.
std::string reserveTempPath(const fs::path& target) {
    fs::path folder = target.parent_path();
    std::string stem = "." + target.filename().string() + ".tmp";
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The name is complete before the file exists: nothing allocates
        // between its creation and its guard.
        std::string candidate = (folder / (stem + std::to_string(::getpid()) + "-" + std::to_string(attempt))).string();
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) break;
    }
    return {};
}

int convertToModel(const ConvertOptions& options, const OutputFormat& format) {
    qmxread::QmxFile file;
    try {
        file = qmxread::readQmxFile(options.input);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
    ConvertedScene converted = convertScene(file, NameDecoder(options.codePage));
    if (converted.meshes == 0 && converted.cameras.empty() && converted.lights.empty())
        return fail(options.input + " holds no meshes, camera or lights: nothing to convert");

    // A single-file format is written beside the target and moved over it when
    // complete; formats with side files (.bin, .mtl) name them after the output.
    const bool singleFile = format.assimpId != "gltf2" && format.assimpId != "obj";
    const std::string target = singleFile ? platform::replacementTarget(options.output) : options.output;
    std::optional<platform::TemporaryFile> temp;
    if (singleFile) {
        std::string reserved = reserveTempPath(fs::path(target));
        if (reserved.empty()) return fail("cannot create a file beside " + target);
        temp.emplace(std::move(reserved));
    }
    const std::string written = singleFile ? temp->path() : options.output;
    unsigned steps = aiProcess_ValidateDataStructure;
    if (format.triangles) steps |= aiProcess_Triangulate;
    Assimp::Exporter exporter;
    if (exporter.Export(converted.scene.get(), format.assimpId, written, steps) != AI_SUCCESS)
        return fail("writing " + options.output + " as " + format.label + " failed: " + exporter.GetErrorString());
    if (format.gltf) {
        const std::string problem = addCamerasAndLights(written, format.glb, converted.cameras, converted.lights);
        if (!problem.empty()) return fail(problem);
    }
    if (singleFile) {
        if (!platform::replaceFile(temp->path(), target)) return fail("cannot move the written file to " + options.output);
        temp->keep();
    }
    std::string line = "pelmora: wrote " + options.output + " (" + format.label + "): " +
                       ProgressLine::countText(converted.meshes) + " meshes, " +
                       ProgressLine::countText(converted.vertices) + " vertices, " +
                       ProgressLine::countText(converted.polygons) + " polygons";
    if (format.scene)
        line += std::string(", ") + (converted.cameras.empty() ? "no camera" : "camera") + ", " +
                std::to_string(converted.lights.size()) + " lights";
    std::fprintf(stderr, "%s\n", line.c_str());
    if (!format.scene && (!converted.cameras.empty() || !converted.lights.empty()))
        std::fprintf(stderr, "pelmora: note: %s has no place for the camera and lights; use .glb to keep them\n",
                     format.label.c_str());
    if (converted.droppedHoles > 0)
        std::fprintf(stderr, "pelmora: warning: %lld holes of polygons were left out (filled)\n",
                     converted.droppedHoles);
    if (converted.skippedEmptyMeshes > 0)
        std::fprintf(stderr, "pelmora: note: %d meshes without polygons were left out\n",
                     converted.skippedEmptyMeshes);
    return kExitOk;
}

int runConvert(const ConvertOptions& options) {
    if (options.ascii && options.binary) return badInput("give --ascii or --binary, not both");
    std::error_code missing;
    if (!fs::exists(options.input, missing)) return badInput(options.input + ": no such file");
    const std::optional<OutputFormat> format = outputFormat(options);
    if (!format)
        return badInput(options.format.empty()
                            ? "cannot tell the format from the name " + options.output +
                                  ": end it in .glb, .gltf, .obj, .ply, .stl or .qmx, or give --format "
                                  "(`pelmora formats` lists every format)"
                            : "unknown format " + options.format + " (`pelmora formats` lists every format)");
    const fs::path folder = fs::absolute(options.output, missing).parent_path();
    if (!fs::is_directory(folder, missing))
        return badInput("the output folder " + folder.string() + " does not exist; create it or choose another path");
    if (!format->assimpId.empty()) {
        std::error_code ec;
        if (fs::exists(options.output, ec) && fs::equivalent(options.input, options.output, ec))
            return fail(options.output + " is the input file; write the conversion to another path");
        return convertToModel(options, *format);
    }

    std::error_code ec;
    if (fs::exists(options.output, ec) && fs::equivalent(options.input, options.output, ec)) {
        return fail(options.output + " is the input file; write the conversion to another path");
    }

    qmxread::ReadOptions readOptions;
    readOptions.decodePayloads = false;  // a faithful copy needs the bytes, not their meaning
    qmxread::QmxFile file;
    try {
        file = qmxread::readQmxFile(options.input, readOptions);
    } catch (const qmxread::ReadError& error) {
        return fail(error.what());
    }
    const std::string obstacle = replayObstacle(file);
    if (!obstacle.empty()) return fail(options.input + ": cannot be written again as read: " + obstacle);

    ReplayScene scene(file);
    SceneWriter writer;
    writer.binary = options.binary || (!options.ascii && file.encoding == qmxread::Encoding::Binary);
    writer.legacy = file.header.layout == qmxread::Layout::Legacy;
    writer.checksums = file.header.checksums;

    // A link named as the output stays a link: the file it points to is replaced.
    const std::string target = platform::replacementTarget(options.output);
    std::string reserved = reserveTempPath(fs::path(target));
    if (reserved.empty()) return fail("cannot create a file beside " + target);
    platform::TemporaryFile temp(std::move(reserved));
    const int result = writer.write(temp.path().c_str(), &scene);
    if (!succeeded(result)) return fail("writing " + options.output + " failed (result " + std::to_string(result) + ")");
    if (!platform::replaceFile(temp.path(), target)) return fail("cannot move the written file to " + options.output);
    temp.keep();
    return kExitOk;
}

}  // namespace

Runner addConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* sub = app.add_subcommand(
        "convert",
        "Write a QMX scene as glTF (.glb, .gltf), OBJ, PLY or STL for viewers (meshes, materials, and in glTF the "
        "camera and lights; metres, Y up), or again as QMX through the plug-in's scene writer");
    sub->add_option("input", options->input, "QMX file to read")->required();
    sub->add_option("output", options->output, "file to write; its extension picks the format")->required();
    sub->add_option("--format", options->format,
                    "glb, gltf, obj, ply, stl, qmx, or an Assimp export format id (see `pelmora formats`)");
    sub->add_flag("--ascii", options->ascii, "QMX, PLY and STL: write the text encoding");
    sub->add_flag("--binary", options->binary, "QMX: write the BINARY encoding");
    // A QMX copy keeps the bytes as they are; other formats get UTF-8 names.
    addCodePageOption(*sub, options->codePage);
    return [options] { return runConvert(*options); };
}

}  // namespace pelmora::tool
