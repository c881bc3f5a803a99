// pelmora import MODEL -o DRAWING: imports a 3D model file (under the import's
// time and memory limits) and writes the drawing document the export would
// run on, so that it can be looked at, edited and exported later.
#include <string>

#include "hostsim/document/drawing.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/commands.h"
#include "tool/cli/import_options.h"
#include "tool/cli/output_checks.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

struct ImportRequest {
    std::string modelPath;
    std::string outputPath;
    bool force = false;
    ModelImportOptions model;
};

int say(int status, const std::string& text) { return toolMessage(status, "import", text); }

int runImport(const ImportRequest& request) {
    if (!isModelFile(request.modelPath))
        return say(kExitUsage, request.modelPath + " is not a model file the importer reads");
    const OutputRule rule{"-o", "a drawing document", "drawing.json"};
    if (const std::string refusal = outputRefusal(request.outputPath, request.force, rule); !refusal.empty())
        return say(kExitUsage, refusal);
    hostsim::Drawing drawing;
    ModelImportOptions options = request.model;
    options.warning = [](const std::string& text) { say(kExitOk, "warning: " + text); };
    try {
        drawing = importModel(request.modelPath, options);
    } catch (const ModelImportError& refused) { return say(kExitUsage, refused.what()); }
    try {
        hostsim::saveDrawingAtomically(drawing, request.outputPath);
    } catch (const std::runtime_error& failed) { return say(kExitFailure, failed.what()); }
    std::size_t objects = 0;
    for (const auto& layer : drawing.layers) objects += layer.objects.size();
    return say(kExitOk, "wrote " + request.outputPath + " (" +
                            counted(static_cast<long long>(objects), "object", "objects") + ")");
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
    cmd->add_flag("--force", request->force, "replace the output file when it exists");
    auto settle = addModelImportOptions(*cmd, request->model);
    return [request, settle] {
        settle();
        return runImport(*request);
    };
}

}  // namespace pelmora::tool
