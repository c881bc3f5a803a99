// pelmora convert IN OUT [--format F] [--ascii|--binary]: reads a QMX file and
// writes it as a glTF, OBJ, PLY or STL scene (or any format Assimp writes) for
// viewers, or again as QMX through the plug-in's scene writer, in the same
// layout and with byte-sums when the input has them.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "base/ascii_case.h"
#include "platform/interrupt.h"
#include "platform/path_text.h"
#include "platform/terminal.h"
#include "plugin/platform/files.h"
#include "plugin/scene_file/result_code.h"
#include "plugin/scene_file/scene_writer.h"
#include "qmxread/qmx_reader.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/code_page_option.h"
#include "tool/cli/commands.h"
#include "tool/cli/output_checks.h"
#include "tool/cli/picture_folders.h"
#include "tool/convert/convert_model.h"
#include "tool/convert/qmx_replay.h"
#include "tool/export/export_host_dir.h"
#include "tool/output/staging_file.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {

namespace {

namespace fs = std::filesystem;

// The format's name as given: --format, else the output's extension.
std::string formatName(const ConvertOptions& options) {
    std::string name = base::asciiLower(options.format);
    if (name.empty()) {
        name = base::lowerExtension(options.output);
        if (!name.empty()) name.erase(0, 1);
    }
    return name;
}

// A format `convert` writes itself (glTF completed after Assimp's writer).
OutputFormat ownFormat(const std::string& assimpId, const std::string& label, FormatEncoding encoding,
                       bool gltf = false) {
    OutputFormat format;
    format.assimpId = assimpId;
    format.label = label;
    format.encoding = encoding;
    format.gltf = format.triangles = format.camera = format.lights = gltf;
    return format;
}

// From --format, else from the output's extension; nullopt when neither tells.
std::optional<OutputFormat> outputFormat(const ConvertOptions& options) {
    using enum FormatEncoding;
    const std::string name = formatName(options);
    if (name == "qmx") return ownFormat("", "QMX", Either);
    if (name == "glb" || name == "glb2") {
        OutputFormat glb = ownFormat("glb2", "glTF binary", Binary, true);
        glb.glb = true;
        return glb;
    }
    if (name == "gltf" || name == "gltf2") return ownFormat("gltf2", "glTF", Text, true);
    if (name == "obj") return ownFormat("obj", "OBJ", Text);
    if (name == "ply" || name == "plyb") return ownFormat(options.ascii ? "ply" : "plyb", "PLY", Either);
    if (name == "stl" || name == "stlb") {
        OutputFormat stl = ownFormat(options.ascii ? "stl" : "stlb", "STL", Either);
        stl.triangles = true;
        return stl;
    }
    return modelLibraryFormat(name, options.format.empty());
}

// --ascii or --binary where the format has one encoding only; empty when it fits.
std::string encodingRefusal(const ConvertOptions& options, const OutputFormat& format) {
    const std::string name = formatName(options);
    if (options.ascii && format.encoding == FormatEncoding::Binary)
        return name + " is a binary format: --ascii applies to .qmx, .ply and .stl" +
               (format.gltf     ? " (.gltf writes glTF as text)"
                : name == "fbx" ? " (--format fbxa writes FBX as text)"
                                : "");
    if (options.binary && format.encoding == FormatEncoding::Text)
        return name + " is a text format: --binary applies to .qmx, .ply and .stl" +
               (format.gltf      ? " (.glb writes glTF as binary)"
                : name == "fbxa" ? " (--format fbx writes FBX as binary)"
                                 : "");
    return {};
}

// Texture pictures are looked for in the folders given, then beside the QMX
// file and in its textures/ folder, then in the host folder's Textures/.
ConvertOptions withPictureFolders(ConvertOptions options) {
    options.textureFolders = pictureFolders(std::move(options.textureFolders), options.input);
    return options;
}

int badInput(const std::string& message) { return toolMessage(kExitUsage, "convert", message); }
int fail(const std::string& message) { return toolMessage(kExitFailure, "convert", message); }

// The command line and the paths, checked before anything is read: gives
// kExitOk with `format` set, or the status after saying why.
int checkConvert(const ConvertOptions& options, std::optional<OutputFormat>& format) {
    if (options.ascii && options.binary) return badInput("give --ascii or --binary, not both");
    std::error_code missing;
    if (!fs::exists(system::pathOf(options.input), missing)) return badInput(options.input + ": no such file");
    const OutputRule rule{"OUTPUT", "the converted scene", "scene.glb"};
    if (const std::string refusal = outputRefusal(options.output, options.force, rule); !refusal.empty())
        return badInput(refusal);
    format = outputFormat(options);
    if (!format)
        return badInput(options.format.empty()
                            ? "cannot tell the format from the name " + options.output +
                                  ": end it in .glb, .gltf, .obj, .ply, .stl or .qmx, or give --format "
                                  "(`pelmora formats` lists every format)"
                            : "unknown format " + options.format + " (`pelmora formats` lists every format)");
    if (const std::string refusal = encodingRefusal(options, *format); !refusal.empty()) return badInput(refusal);
    std::error_code ec;
    if (fs::exists(system::pathOf(options.output), ec) &&
        fs::equivalent(system::pathOf(options.input), system::pathOf(options.output), ec)) {
        return fail(options.output + " is the input file; write the conversion to another path");
    }
    return kExitOk;
}

// The QMX reader and the plug-in's scene writer open files by their narrow
// name (on Windows in the ANSI code page).
int rewriteQmx(const ConvertOptions& options) {
    std::string input;
    if (!system::narrowPath(options.input, input)) return badInput(system::narrowPathRefusal(options.input));
    qmxread::ReadOptions readOptions;
    // The payloads are decoded only to be checked: what inspect refuses is not
    // copied either. The copy is made from the bytes, which the reader keeps.
    qmxread::QmxFile file;
    try {
        file = qmxread::readQmxFile(input, readOptions);
    } catch (const qmxread::ReadError& error) { return fail(error.what()); }
    const std::string obstacle = replayObstacle(file);
    if (!obstacle.empty()) return fail(options.input + ": cannot be written again as read: " + obstacle);

    ReplayScene scene(file);
    SceneWriter writer;
    writer.binary = options.binary || (!options.ascii && file.encoding == qmxread::Encoding::Binary);
    writer.legacy = file.header.layout == qmxread::Layout::Legacy;
    writer.checksums = file.header.checksums;

    // A link named as the output stays a link: the file it points to is replaced.
    const std::string target = platform::replacementTarget(options.output);
    std::string narrowTarget;
    if (!system::narrowPath(target, narrowTarget)) return badInput(system::narrowPathRefusal(options.output));
    // Removed unless moved into place.
    StagingFile staging(target);
    if (staging.path().empty()) return fail("cannot create a file beside " + target + ": " + staging.failure());
    options.reached("staged");
    // Named in the same characters as the target, so the narrow name exists.
    std::string narrowStaging;
    if (!system::narrowPath(staging.path(), narrowStaging)) return badInput(system::narrowPathRefusal(options.output));
    const int result = writer.write(narrowStaging.c_str(), &scene);
    if (!succeeded(result))
        return fail("writing " + options.output + " failed (result " + std::to_string(result) + ")");
    // Ctrl+C came before the replacement, and the target stays as it was, or after it.
    InterruptScope::Hold hold;
    if (InterruptScope::raised())
        return toolMessage(kExitCancelled, "convert", "stopped by Ctrl+C; " + options.output + " was not changed");
    if (!platform::replaceFile(narrowStaging, narrowTarget))
        return fail("cannot move the written file to " + options.output);
    staging.release();
    return kExitOk;
}

}  // namespace

int runConvert(const ConvertOptions& options) {
    std::optional<OutputFormat> format;
    if (int status = checkConvert(options, format); status != kExitOk) return status;
    // SIGTERM, SIGHUP and a second Ctrl+C take the staging file away; the
    // first Ctrl+C is seen before the replacement.
    InterruptScope interrupt(system::stderrIsTerminal());
    if (!format->assimpId.empty()) return convertToModel(withPictureFolders(options), *format);
    return rewriteQmx(options);
}

Runner addConvertCommand(CLI::App& app) {
    auto options = std::make_shared<ConvertOptions>();
    const bool models = modelFilesSupported();
    CLI::App* sub = app.add_subcommand(
        "convert",
        models ? "Write a QMX scene as glTF (.glb, .gltf), OBJ, PLY or STL for viewers (meshes, materials, and in glTF "
                 "the camera and lights; metres, Y up), or again as QMX through the plug-in's scene writer"
               : "Write a QMX scene again as QMX through the plug-in's scene writer, in the other encoding "
                 "(--ascii, --binary) or the same");
    sub->add_option("input", options->input, "QMX file to read")->required()->check(existingFile("a QMX file"));
    sub->add_option("output", options->output,
                    models ? "file to write; its extension picks the format" : "QMX file to write")
        ->required();
    sub->add_option("--format", options->format,
                    "glb, gltf, obj, ply, stl, qmx, or an Assimp export format id (see `pelmora formats`)")
        ->group(models ? "Options" : "");
    sub->add_option("--textures", options->textureFolders,
                    "glTF: a folder of texture pictures (PNG, JPEG) to embed or reference; repeatable, looked in "
                    "before the QMX file's folder, its textures/ folder and the host folder's Textures/")
        ->check(CLI::ExistingDirectory)
        ->group(models ? "Options" : "");
    sub->add_option("--light-scale", options->lightScale,
                    "glTF: candela (lux for a sun) a light of host intensity 1 gives (default 1000; see "
                    "docs/light-model.md)")
        ->check(CLI::Range(1e-6, 1e9))
        ->group(models ? "Options" : "");
    sub->add_flag("--force", options->force,
                  models ? "replace the output file, and the files written beside it (.bin, .mtl), when they exist"
                         : "replace the output file when it exists");
    sub->add_flag("--ascii", options->ascii,
                  models ? "QMX, PLY and STL: write the text encoding" : "write the text encoding");
    sub->add_flag("--binary", options->binary, "QMX: write the BINARY encoding");
    // A QMX copy keeps the bytes as they are; other formats get UTF-8 names.
    addCodePageOption(*sub, options->codePage);
    return [options] { return runConvert(*options); };
}

}  // namespace pelmora::tool
