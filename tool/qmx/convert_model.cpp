#include "tool/qmx/convert_model.h"

#include <cstdio>
#include <optional>
#include <string>

#include <assimp/postprocess.h>
#include <assimp/Exporter.hpp>

#include "base/ascii_case.h"
#include "plugin/platform/files.h"
#include "qmxread/qmx_reader.h"
#include "tool/output/progress_line.h"
#include "tool/output/staging_file.h"
#include "tool/output/tool_message.h"
#include "tool/qmx/gltf_additions.h"
#include "tool/qmx/model_writer_child.h"
#include "tool/qmx/name_decoder.h"
#include "tool/qmx/scene_to_model.h"
#include "tool/system/exit_status.h"
#include "tool/system/interrupt.h"
#include "tool/system/path_text.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

int fail(const std::string& message) {
    std::fprintf(stderr, "pelmora convert: %s\n", message.c_str());
    return kExitFailure;
}

// One warning for every picture that could not be had.
void warnMissingPictures(const GltfPictures& pictures) {
    std::string names, folders;
    for (const std::string& name : pictures.missing) names += (names.empty() ? "" : ", ") + name;
    for (const std::string& folder : pictures.folders) folders += (folders.empty() ? "" : ", ") + folder;
    std::fprintf(
        stderr,
        "pelmora convert: warning: texture pictures left out: %s (looked in %s); their materials show their colour "
        "only; give the folder that holds them with --textures DIR\n",
        names.c_str(), folders.empty() ? "no folder" : folders.c_str());
}

}  // namespace

bool offeredModelFormat(const std::string& assimpId) {
    // Assimp 5.2's X3D and PBRT writers crash on the sample house; asked for
    // by --format they still run, in their child, and fail with a message.
    return assimpId != "x3d" && assimpId != "pbrt";
}

std::optional<OutputFormat> modelLibraryFormat(const std::string& name, bool byExtension) {
    Assimp::Exporter exporter;
    for (std::size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const aiExportFormatDesc* desc = exporter.GetExportFormatDescription(i);
        if (name == base::asciiLower(desc->id) || (byExtension && name == base::asciiLower(desc->fileExtension)))
            return OutputFormat{desc->id, desc->description, false, false, false, true};
    }
    return std::nullopt;
}

// What was written, and what the format or the scene could not carry.
void reportConverted(const ConvertOptions& options, const OutputFormat& format, const ConvertedScene& converted,
                     const GltfPictures& pictures) {
    std::string line =
        "wrote " + options.output + " (" + format.label + "): " + counted(converted.meshes, "mesh", "meshes") + ", " +
        counted(converted.vertices, "vertex", "vertices") + ", " + counted(converted.polygons, "polygon", "polygons");
    if (format.scene)
        line += std::string(", ") + (converted.cameras.empty() ? "no camera" : "camera") + ", " +
                counted(static_cast<long long>(converted.lights.size()), "light", "lights");
    toolMessage("convert", line);
    if (!format.scene && (!converted.cameras.empty() || !converted.lights.empty()))
        toolMessage("convert",
                    "note: " + format.label + " has no place for the camera and lights; use .glb to keep them");
    if (!pictures.missing.empty()) warnMissingPictures(pictures);
    if (converted.droppedHoles > 0)
        toolMessage("convert", "warning: " + counted(converted.droppedHoles, "hole", "holes") +
                                   " of polygons were left out (filled)");
    if (converted.droppedPolygons > 0)
        toolMessage("convert", "warning: " + counted(converted.droppedPolygons, "polygon", "polygons") +
                                   " with points that are not finite were left out");
    if (converted.skippedEmptyMeshes > 0)
        toolMessage("convert", "note: " + counted(converted.skippedEmptyMeshes, "mesh", "meshes") +
                                   " without polygons were left out");
}

int convertToModel(const ConvertOptions& options, const OutputFormat& format) {
    qmxread::QmxFile file;
    try {
        file = qmxread::readQmxFile(options.input);
    } catch (const std::exception& error) { return fail(error.what()); }
    ConvertedScene converted = convertScene(file, NameDecoder(options.codePage), !format.gltf);
    if (converted.meshes == 0 && converted.cameras.empty() && converted.lights.empty())
        return fail(options.input + " holds no meshes, camera or lights: nothing to convert");

    // A single-file format is written beside the target and moved over it when
    // complete; formats with side files (.bin, .mtl) name them after the output.
    const bool singleFile = format.assimpId != "gltf2" && format.assimpId != "obj";
    const std::string target = singleFile ? platform::replacementTarget(options.output) : options.output;
    std::optional<StagingFile> temp;
    if (singleFile) {
        temp.emplace(target);
        if (temp->path().empty()) return fail("cannot create a file beside " + target);
    }
    const std::string written = singleFile ? temp->path() : options.output;
    unsigned steps = aiProcess_ValidateDataStructure;
    if (format.triangles) steps |= aiProcess_Triangulate;
    // A file the crashed or failed writer began where the output goes, and
    // that was not there before, is removed: nothing half-written stays.
    std::error_code ec;
    const bool existed = fs::exists(system::pathOf(options.output), ec);
    const std::string error = writeModelInChild(*converted.scene, format.assimpId, written, steps);
    if (!error.empty()) {
        if (!singleFile && !existed) fs::remove(system::pathOf(options.output), ec);
        return fail("writing " + options.output + " as " + format.label + " failed: " + error);
    }
    GltfPictures pictures{options.textureFolders, {}};
    if (format.gltf) {
        const std::string problem = completeGltf(written, format.glb, converted, pictures);
        if (!problem.empty()) return fail(problem);
    }
    if (singleFile) {
        // Ctrl+C came before the replacement, and the target stays as it was, or after it.
        InterruptScope::Hold hold;
        if (InterruptScope::raised())
            return toolMessage(kExitCancelled, "convert", "stopped by Ctrl+C; " + options.output + " was not changed");
        if (!platform::replaceFile(temp->path(), target))
            return fail("cannot move the written file to " + options.output);
        temp->release();
    }
    reportConverted(options, format, converted, pictures);
    return kExitOk;
}

}  // namespace pelmora::tool
