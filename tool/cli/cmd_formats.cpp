// pelmora formats: the model formats `export` reads (through Assimp, besides
// drawing documents) and the formats `convert` writes.
#include <cstdio>
#include <string>

#include <assimp/importerdesc.h>
#include <assimp/version.h>
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>

#include "tool/cli/commands.h"
#include "tool/convert/convert_model.h"
#include "tool/export/export_module.h"

namespace pelmora::tool {

std::string versionText() {
    char assimp[64];
    std::snprintf(assimp, sizeof assimp, "%u.%u.%u", aiGetVersionMajor(), aiGetVersionMinor(), aiGetVersionPatch());
    return std::string("pelmora ") + PELMORA_VERSION + "\nplug-in module: " + defaultModulePath() +
           "\nAssimp: " + assimp;
}

bool modelFilesSupported() { return true; }

namespace {

// The formats `convert` writes itself, listed first; Assimp's own entries for
// them are left out, so that each format is listed once.
bool writtenNatively(const std::string& id) {
    for (const char* own : {"glb", "glb2", "gltf", "gltf2", "obj", "ply", "plyb", "stl", "stlb"})
        if (id == own) return true;
    return false;
}

int runFormats() {
    Assimp::Importer importer;
    std::printf("export reads drawing documents (.json) and these model formats:\n");
    for (std::size_t i = 0; i < importer.GetImporterCount(); ++i) {
        const aiImporterDesc* desc = importer.GetImporterInfo(i);
        if (!desc) continue;
        std::string extensions;
        for (const char* c = desc->mFileExtensions; *c; ++c) extensions += *c;
        std::printf("  %-50s %s\n", desc->mName, extensions.c_str());
    }
    Assimp::Exporter exporter;
    std::printf("\nconvert writes (by the output's extension, or --format ID):\n");
    std::printf("  %-12s %s\n", "qmx", "QMX scene, again through the plug-in's writer");
    std::printf("  %-12s %s\n", "glb, gltf", "glTF 2 with the camera and lights (viewers: f3d, Blender, browsers)");
    std::printf("  %-12s %s\n", "obj", "Wavefront OBJ with its .mtl materials");
    std::printf("  %-12s %s\n", "ply, stl", "geometry only (binary; --ascii for text)");
    for (std::size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const aiExportFormatDesc* desc = exporter.GetExportFormatDescription(i);
        if (writtenNatively(desc->id) || !offeredModelFormat(desc->id)) continue;
        std::printf("  %-12s %s (.%s)\n", desc->id, desc->description, desc->fileExtension);
    }
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace

Runner addFormatsCommand(CLI::App& app) {
    app.add_subcommand("formats", "List the model formats export reads and the formats convert writes");
    return [] { return runFormats(); };
}

}  // namespace pelmora::tool
