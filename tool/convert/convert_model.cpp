#include "tool/convert/convert_model.h"

#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <assimp/postprocess.h>
#include <assimp/Exporter.hpp>

#include "base/ascii_case.h"
#include "platform/file_status.h"
#include "platform/interrupt.h"
#include "platform/path_text.h"
#include "plugin/platform/files.h"
#include "qmxread/qmx_reader.h"
#include "tool/convert/fbx_block_sentinels.h"
#include "tool/convert/gltf_additions.h"
#include "tool/convert/model_writer_child.h"
#include "tool/convert/name_decoder.h"
#include "tool/convert/scene_to_model.h"
#include "tool/output/exit_status.h"
#include "tool/output/leftover_files.h"
#include "tool/output/progress_line.h"
#include "tool/output/staging_file.h"
#include "tool/output/staging_folder.h"
#include "tool/output/tool_message.h"

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
    // Assimp 5.2's X3D and PBRT writers crash on the sample house; its XML and
    // JSON dumps have no reader, and the STEP file it writes is of a schema
    // its reader (IFC only) refuses. Asked for by --format they still run.
    for (const char* left : {"x3d", "pbrt", "assxml", "assjson", "stp"})
        if (assimpId == left) return false;
    return true;
}

namespace {

struct LibraryFormatTraits {
    const char* id;
    bool camera, lights;
    FormatEncoding encoding;
    bool triangles = false;  // the writer keeps three corners of each polygon
};

// What each of the library's writers keeps of a scene, as read back: its FBX
// writer drops the camera, and most formats have no place for either.
constexpr LibraryFormatTraits kLibraryFormats[] = {
    {"collada", true, true, FormatEncoding::Text},    {"x", false, false, FormatEncoding::Text},
    {"stp", false, false, FormatEncoding::Text},      {"obj", false, false, FormatEncoding::Text},
    {"objnomtl", false, false, FormatEncoding::Text}, {"3ds", false, false, FormatEncoding::Binary, true},
    {"assbin", true, true, FormatEncoding::Binary},   {"assxml", true, true, FormatEncoding::Text},
    {"assjson", true, true, FormatEncoding::Text},    {"fbx", false, true, FormatEncoding::Binary},
    {"fbxa", false, true, FormatEncoding::Text},      {"3mf", false, false, FormatEncoding::Binary, true},
    {"x3d", false, false, FormatEncoding::Text},      {"pbrt", false, false, FormatEncoding::Text, true},
};

OutputFormat libraryFormat(const aiExportFormatDesc& desc) {
    OutputFormat format;
    format.assimpId = desc.id;
    format.label = desc.description;
    for (const LibraryFormatTraits& traits : kLibraryFormats)
        if (std::string(traits.id) == desc.id) {
            format.camera = traits.camera;
            format.lights = traits.lights;
            format.encoding = traits.encoding;
            format.triangles = traits.triangles;
        }
    return format;
}

}  // namespace

std::optional<OutputFormat> modelLibraryFormat(const std::string& name, bool byExtension) {
    Assimp::Exporter exporter;
    for (std::size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const aiExportFormatDesc* desc = exporter.GetExportFormatDescription(i);
        if (name == base::asciiLower(desc->id) || (byExtension && name == base::asciiLower(desc->fileExtension)))
            return libraryFormat(*desc);
    }
    return std::nullopt;
}

// What was written, and what the format or the scene could not carry.
void reportConverted(const ConvertOptions& options, const OutputFormat& format, const ConvertedScene& converted,
                     const GltfPictures& pictures) {
    std::string line =
        "wrote " + options.output + " (" + format.label + "): " + counted(converted.meshes, "mesh", "meshes") + ", " +
        counted(converted.vertices, "vertex", "vertices") + ", " + counted(converted.polygons, "polygon", "polygons");
    // Only what the file holds: a format without a place for them names neither.
    if (format.camera) line += converted.cameras.empty() ? ", no camera" : ", camera";
    if (format.lights) line += ", " + counted(static_cast<long long>(converted.lights.size()), "light", "lights");
    toolMessage("convert", line);
    const bool cameraLost = !format.camera && !converted.cameras.empty();
    const bool lightsLost = !format.lights && !converted.lights.empty();
    if (cameraLost && lightsLost)
        toolMessage("convert",
                    "note: " + format.label + " has no place for the camera and lights; use .glb to keep them");
    else if (cameraLost || lightsLost)
        toolMessage("convert", "note: " + format.label + " as written here holds no " +
                                   (cameraLost ? "camera" : "lights") + "; use .glb to keep " +
                                   (cameraLost ? "it" : "them"));
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

namespace {

// Writes the scene where `written` says, and completes a glTF; empty text when done.
std::string writeModel(const ConvertOptions& options, const OutputFormat& format, const ConvertedScene& converted,
                       const std::string& written, GltfPictures& pictures) {
    unsigned steps = aiProcess_ValidateDataStructure;
    if (format.triangles) steps |= aiProcess_Triangulate;
    const std::string error = writeModelInChild(*converted.scene, format.assimpId, written, steps);
    if (!error.empty()) return "writing " + options.output + " as " + format.label + " failed: " + error;
    if (format.gltf) return completeGltf(written, format.glb, converted, pictures);
    if (format.assimpId == "fbx") return completeFbxFile(written);
    return {};
}

// Ctrl+C came before the replacement, and the target stays as it was, or after it.
int stoppedBeforeReplacing(const ConvertOptions& options) {
    return toolMessage(kExitCancelled, "convert", "stopped by Ctrl+C; " + options.output + " was not changed");
}

// Side files of the output's name that are there already: as the output
// itself, replaced only with --force.
int refuseReplacing(const ConvertOptions& options, const std::vector<std::string>& taken) {
    std::string names;
    for (const std::string& path : taken) names += (names.empty() ? "" : ", ") + path;
    return toolMessage(kExitUsage, "convert",
                       names + (taken.size() == 1 ? " exists" : " exist") + " beside " + options.output +
                           " and would be replaced by the conversion's own; give --force to replace " +
                           (taken.size() == 1 ? "it" : "them") + " (nothing was changed)");
}

// A single-file format is written beside the target and moved over it when complete.
int convertSingleFile(const ConvertOptions& options, const OutputFormat& format, const ConvertedScene& converted,
                      GltfPictures& pictures) {
    const std::string target = platform::replacementTarget(options.output);
    StagingFile temp(target);
    if (temp.path().empty()) return fail("cannot create a file beside " + target + ": " + temp.failure());
    options.reached("staged");
    if (const std::string problem = writeModel(options, format, converted, temp.path(), pictures); !problem.empty())
        return fail(problem);
    InterruptScope::Hold hold;
    if (InterruptScope::raised()) return stoppedBeforeReplacing(options);
    if (!platform::replaceFile(temp.path(), target)) return fail("cannot move the written file to " + options.output);
    temp.release();
    return kExitOk;
}

// A format with side files (.bin and pictures, .mtl) is written whole into a
// staging folder under the output's name, so that the side files are named
// and referred to rightly; then they, and last the main file, are moved over
// their targets. The writer's own side files replace those of the name; a
// picture copied for the output does not replace a file of its name.
int convertWithSideFiles(const ConvertOptions& options, const OutputFormat& format, const ConvertedScene& converted,
                         GltfPictures& pictures) {
    StagingFolder staging(options.output);
    if (staging.mainPath().empty())
        return fail("cannot create a staging folder beside " + options.output + ": " + staging.failure());
    options.reached("staged");
    const std::size_t slash = options.output.find_last_of(system::kPathSeparators);
    pictures.finalFolder = slash == std::string::npos ? std::string(".") : options.output.substr(0, slash + 1);
    unsigned steps = aiProcess_ValidateDataStructure;
    if (format.triangles) steps |= aiProcess_Triangulate;
    const std::string error = writeModelInChild(*converted.scene, format.assimpId, staging.mainPath(), steps);
    if (!error.empty()) return fail("writing " + options.output + " as " + format.label + " failed: " + error);
    const std::set<std::string> ownSideFiles = staging.files();
    if (format.gltf) {
        const std::string problem = completeGltf(staging.mainPath(), format.glb, converted, pictures);
        if (!problem.empty()) return fail(problem);
    }
    if (const std::vector<std::string> taken = staging.takenBeside(ownSideFiles); !taken.empty() && !options.force)
        return refuseReplacing(options, taken);
    InterruptScope::Hold hold;
    if (InterruptScope::raised()) return stoppedBeforeReplacing(options);
    const std::string unmoved = staging.moveInPlace(ownSideFiles, platform::replacementTarget(options.output));
    if (!unmoved.empty()) return fail("cannot move the written file to " + unmoved);
    return kExitOk;
}

}  // namespace

int convertToModel(const ConvertOptions& options, const OutputFormat& format) {
    qmxread::QmxFile file;
    try {
        file = qmxread::readQmxFile(options.input);
    } catch (const std::exception& error) { return fail(error.what()); }
    ConvertedScene converted = convertScene(file, NameDecoder(options.codePage), !format.gltf, options.lightScale);
    if (converted.meshes == 0 && converted.cameras.empty() && converted.lights.empty())
        return fail(options.input + " holds no meshes, camera or lights: nothing to convert");
    if (const std::string note = lookalikesNote(options.output, removeLeftovers(options.output)); !note.empty())
        toolMessage("convert", "warning: " + note);
    GltfPictures pictures{options.textureFolders, {}, {}};
    const bool sideFiles = format.assimpId == "gltf2" || format.assimpId == "obj";
    const int status = sideFiles ? convertWithSideFiles(options, format, converted, pictures)
                                 : convertSingleFile(options, format, converted, pictures);
    if (status == kExitOk) reportConverted(options, format, converted, pictures);
    return status;
}

}  // namespace pelmora::tool
