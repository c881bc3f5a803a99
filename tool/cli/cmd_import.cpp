// pelmora import MODEL -o DRAWING: imports a 3D model file (under the import's
// time and memory limits) and writes the drawing document the export would
// run on, so that it can be looked at, edited and exported later.
#include <filesystem>
#include <string>
#include <vector>

#include "hostsim/document/drawing.h"
#include "platform/path_text.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/commands.h"
#include "tool/cli/import_options.h"
#include "tool/cli/output_checks.h"
#include "tool/import/material_template.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

struct ImportRequest {
    std::string modelPath;
    std::string outputPath;
    bool force = false;
    std::string templateFolder;  // empty: no templates written
    ModelImportOptions model;
};

int say(int status, const std::string& text) { return toolMessage(status, "import", text); }

// The model's materials as templates in the folder the user named, made
// when missing; an existing template is kept unless --force.
int writeTemplates(const ImportRequest& request, const std::vector<ImportedMaterial>& materials, int codePage) {
    const std::string& folder = request.templateFolder;
    std::error_code error;
    std::filesystem::create_directories(system::pathOf(folder), error);
    if (error) return say(kExitFailure, "cannot create the template folder " + folder + ": " + error.message());
    const WrittenTemplates done = writeMaterialTemplates(folder, materials, codePage, request.force);
    for (const std::string& name : done.kept)
        say(kExitOk, "kept " + folder + "/" + name + ", which exists (--force replaces it)");
    for (const std::string& why : done.unnamed) say(kExitOk, "warning: no template for class " + why);
    for (const std::string& why : done.failed) say(kExitFailure, "template " + why);
    say(kExitOk, "wrote " + counted(static_cast<long long>(done.written.size()), "template", "templates") + " in " +
                     folder + (materials.empty() ? " (the model gives no materials)" : ""));
    return done.failed.empty() ? kExitOk : kExitFailure;
}

int runImport(const ImportRequest& request) {
    if (!isModelFile(request.modelPath))
        return say(kExitUsage, request.modelPath + " is not a model file the importer reads");
    const OutputRule rule{"-o", "a drawing document", "drawing.json"};
    if (const std::string refusal = outputRefusal(request.outputPath, request.force, rule); !refusal.empty())
        return say(kExitUsage, refusal);
    hostsim::Drawing drawing;
    ModelImportOptions options = request.model;
    options.warning = [](const std::string& text) { say(kExitOk, "warning: " + text); };
    std::vector<ImportedMaterial> materials;
    options.material = [&materials](const ImportedMaterial& material) { materials.push_back(material); };
    try {
        drawing = importModel(request.modelPath, options);
    } catch (const ModelImportError& refused) { return say(kExitUsage, refused.what()); }
    try {
        hostsim::saveDrawingAtomically(drawing, request.outputPath);
    } catch (const std::runtime_error& failed) { return say(kExitFailure, failed.what()); }
    std::size_t objects = 0;
    for (const auto& layer : drawing.layers) objects += layer.objects.size();
    say(kExitOk,
        "wrote " + request.outputPath + " (" + counted(static_cast<long long>(objects), "object", "objects") + ")");
    if (request.templateFolder.empty()) return kExitOk;
    return writeTemplates(request, materials, drawing.codePage);
}

}  // namespace

Runner addImportCommand(CLI::App& app) {
    auto request = std::make_shared<ImportRequest>();
    CLI::App* cmd = app.add_subcommand(
        "import",
        "Import a 3D model file (OBJ, PLY, STL, glTF/GLB, ...) into a drawing document (JSON), as the export does "
        "before it runs. The import runs in a separate process bounded in time and memory. Exit status: 0 written, "
        "1 the drawing could not be written, 2 bad input (a model the importer refuses or that exceeds a limit), bad "
        "command line or an existing output without --force.");
    if (!modelFilesSupported()) cmd->group("");  // asked for anyway, it says where to import instead
    cmd->add_option("MODEL", request->modelPath, "the 3D model file")
        ->required()
        ->check(existingFile("a 3D model file"));
    cmd->add_option("-o,--output", request->outputPath, "the drawing document to write")->required();
    cmd->add_flag("--force", request->force, "replace the output file, and templates, when they exist");
    cmd->add_option("--templates", request->templateFolder,
                    "write a material template (NAME.qmt) of each class the model's materials name into DIR, made "
                    "when missing, to edit and copy into the host folder's Pelmora/ folder")
        ->type_name("DIR");
    auto settle = addModelImportOptions(*cmd, request->model);
    return [request, settle] {
        settle();
        return runImport(*request);
    };
}

}  // namespace pelmora::tool
