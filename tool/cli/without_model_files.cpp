// The Windows build of the tool has neither the model library (Assimp) nor
// the PNG library: what needs them says so, with exit status 2, and says what
// to do instead. Everything about drawing documents and QMX files works.
#include <cstdio>
#include <string>

#include "base/ascii_case.h"
#include "tool/cli/commands.h"
#include "tool/convert/convert_model.h"
#include "tool/export/export_module.h"
#include "tool/import/model_import.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

constexpr const char* kNoModelFiles =
    "model files are not supported by the Windows build of pelmora; import on Linux with "
    "`pelmora import MODEL -o drawing.json` and export the drawing";
constexpr const char* kNoPreview =
    "preview is not supported by the Windows build of pelmora (it has no PNG library); render the QMX file "
    "with `pelmora preview` on Linux";

int unsupported(const char* command, const char* text) { return toolMessage(kExitUsage, command, text); }

}  // namespace

bool modelFilesSupported() { return false; }

// The usual model formats, so that asking for one gets the right message
// rather than an attempt to read it as a drawing document.
bool isModelFile(const std::string& path) {
    const std::string ext = base::lowerExtension(path);
    for (const char* known :
         {".obj", ".ply", ".stl", ".gltf", ".glb", ".fbx", ".dae",  ".3ds",     ".blend", ".off",     ".x",
          ".3mf", ".ifc", ".lwo", ".lws",  ".ase", ".ac",  ".ms3d", ".md2",     ".md3",   ".md5mesh", ".b3d",
          ".x3d", ".xgl", ".zgl", ".ogex", ".smd", ".cob", ".irr",  ".irrmesh", ".ter",   ".raw",     ".nff",
          ".q3o", ".q3s", ".mdl", ".hmp",  ".csm", ".bvh", ".ndo",  ".amf"})
        if (ext == known) return true;
    return false;
}

hostsim::Drawing importModel(const std::string&, const ModelImportOptions&) { throw ModelImportError(kNoModelFiles); }

void importModelInto(const std::string&, const ModelImportOptions&,
                     const std::function<bool(const char*, std::size_t)>&, ObjReader) {
    throw ModelImportError(kNoModelFiles);
}

std::optional<OutputFormat> modelLibraryFormat(const std::string&, bool) { return std::nullopt; }

int convertToModel(const ConvertOptions&, const OutputFormat& format) {
    const std::string text = "writing " + format.label +
                             " is not supported by the Windows build of pelmora (it has no model library); convert on "
                             "Linux, or convert to QMX here with --ascii or --binary";
    return unsupported("convert", text.c_str());
}

std::string versionText() {
    return std::string("pelmora ") + PELMORA_VERSION + " (Windows)\nplug-in module: " + defaultModulePath() +
           "\nmodel files: not supported by the Windows build";
}

Runner addFormatsCommand(CLI::App& app) {
    app.add_subcommand("formats", "List the formats export reads and convert writes");
    return [] {
        std::printf("export reads drawing documents (.json)\n");
        std::printf("\nconvert writes:\n");
        std::printf("  %-12s %s\n", "qmx", "QMX scene, again through the plug-in's writer (--ascii, --binary)");
        std::fflush(stdout);
        return static_cast<int>(kExitOk);
    };
}

std::string previewUnavailable() { return kNoPreview; }

int previewAfterExport(const std::string&, const std::string&) { return unsupported("preview", kNoPreview); }

Runner addPreviewCommand(CLI::App& app) {
    // Hidden from the help: asked for anyway, it says where to render instead.
    CLI::App* cmd = app.add_subcommand("preview", "");
    cmd->group("");
    cmd->allow_extras();
    return [] { return unsupported("preview", kNoPreview); };
}

}  // namespace pelmora::tool
