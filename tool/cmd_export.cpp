// pelmora export: runs the plug-in module on a drawing document or a 3D model
// file inside the emulated host and writes the QMX file it produces.
#include <cstdio>
#include <filesystem>
#include <string>

#include "tool/cli_checks.h"
#include "tool/commands.h"
#include "tool/export_run.h"
#include "tool/import_options.h"

namespace pelmora::tool {

Runner addExportCommand(CLI::App& app) {
    auto request = std::make_shared<ExportRequest>();
    auto previewPath = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand(
        "export",
        "Export a drawing document (JSON) or a 3D model file (OBJ, PLY, STL, glTF/GLB, ...) to a QMX scene file "
        "through the plug-in module. Exit status: 0 written, 1 the plug-in reported a failure (its message is "
        "printed), 2 bad input, bad command line or an existing output without --force, 3 stopped by Ctrl+C or "
        "cancelled.");
    cmd->add_option("DRAWING", request->drawingPath, "drawing document (.json) or 3D model file")
        ->required()
        ->check(existingFile());
    cmd->add_option("-o,--output", request->outputPath, "the QMX file to write (the answer of the save dialog)")
        ->required();
    cmd->add_option("--mode", request->mode,
                    "export mode chosen in the options dialog: 0 selected objects of the active layer, 1 visible "
                    "objects of the active layer, 2 all visible layers, 3 also through layer references "
                    "(default: the remembered mode)")
        ->check(CLI::Range(0, 3));
    cmd->add_option("--host-dir", request->hostDir,
                    "the host's folder: templates and _id_table.txt in DIR/Pelmora/, preferences in DIR/Data/ "
                    "(default: $XDG_DATA_HOME/pelmora or ~/.local/share/pelmora, created on first use)");
    cmd->add_flag("--force", request->force, "replace the output file when it exists");
    auto settleModel = addModelImportOptions(*cmd, request->model);
    cmd->add_option("--module", request->modulePath,
                    "the plug-in module to load (default: $PELMORA_MODULE or the module built with the tool)");
    cmd->add_option("--preview", *previewPath,
                    "after a successful export, render the written scene from its camera into this PNG file "
                    "(as `pelmora preview` does)");
    return [request, settleModel, previewPath] {
        settleModel();
        if (!previewPath->empty() && std::filesystem::path(*previewPath).lexically_normal() ==
                                         std::filesystem::path(request->outputPath).lexically_normal()) {
            std::fprintf(stderr, "pelmora: --preview names the output file; give the picture another path\n");
            return static_cast<int>(kExitUsage);
        }
        const int status = runExportRequest(*request);
        if (status != kExitOk || previewPath->empty()) return status;
        return previewAfterExport(request->outputPath, *previewPath);
    };
}

}  // namespace pelmora::tool
