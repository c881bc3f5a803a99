// pelmora export: runs the plug-in module on a drawing document or a 3D model
// file inside the emulated host and writes the QMX file it produces; with
// several inputs (or an output folder) one QMX file per input.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tool/cli/cli_checks.h"
#include "tool/cli/commands.h"
#include "tool/cli/import_options.h"
#include "tool/export/batch_export.h"
#include "tool/export/export_run.h"
#include "tool/system/file_status.h"
#include "tool/system/path_text.h"

namespace pelmora::tool {

Runner addExportCommand(CLI::App& app) {
    auto request = std::make_shared<ExportRequest>();
    auto batch = std::make_shared<BatchRequest>();
    auto previewPath = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand(
        "export",
        "Export a drawing document (JSON) or a 3D model file (OBJ, PLY, STL, glTF/GLB, ...) to a QMX scene file "
        "through the plug-in module, and print what went in. Exit status: 0 written, 1 the plug-in reported a "
        "failure (its message is printed), 2 bad input, bad command line or an existing output without --force, "
        "3 stopped by Ctrl+C or cancelled. With several inputs, the worst of them.");
    cmd->add_option("DRAWING", batch->inputs, "drawing documents (.json) or 3D model files")
        ->required()
        ->check(existingFile("a drawing document (.json) or a 3D model file"));
    cmd->add_option("-o,--output", request->outputPath,
                    "the QMX file to write (the answer of the save dialog); a name ending in / is an output folder");
    cmd->add_option("--output-dir", batch->outputDir, "write one QMX file per input into this folder, named after it");
    cmd->add_option("-j,--jobs", batch->jobs, "with several inputs: export this many at once, each in its own process")
        ->check(CLI::Range(1, 64));
    cmd->add_option("--mode", request->mode,
                    "export mode chosen in the options dialog: 0 selected objects of the active layer, 1 visible "
                    "objects of the active layer, 2 all visible layers, 3 also through layer references "
                    "(default: the remembered mode)")
        ->check(CLI::Range(0, 3));
    cmd->add_option("--host-dir", request->hostDir,
                    "the host's folder: templates and _id_table.txt in DIR/Pelmora/, preferences in DIR/Data/ "
                    "(default: $XDG_DATA_HOME/pelmora or ~/.local/share/pelmora; created when missing)");
    cmd->add_flag("--force", request->force, "replace the output file when it exists");
    cmd->add_flag("--dry-run", request->dryRun,
                  "load, check and collect as an export would and print the summary; write nothing (no output, "
                  "no remembered mode, no light records)");
    cmd->add_flag("--json", request->json,
                  "print the summary as one JSON object on stdout (also on failure, with \"status\")");
    cmd->add_flag("-q,--quiet", request->quiet, "print only errors");
    auto settleModel = addModelImportOptions(*cmd, request->model);
    cmd->add_option("--module", request->modulePath,
                    "the plug-in module to load (default: $PELMORA_MODULE or the module built with the tool)");
    cmd->add_option("--preview", *previewPath,
                    "after a successful export, render the written scene from its camera into this PNG file "
                    "(as `pelmora preview` does)");
    return [request, batch, settleModel, previewPath] {
        settleModel();
        if (const std::string why = previewUnavailable(); !previewPath->empty() && !why.empty()) {
            std::fprintf(stderr, "pelmora export: --preview: %s\n", why.c_str());
            return static_cast<int>(kExitUsage);
        }
        const bool toFolder = !batch->outputDir.empty() || system::endsWithSeparator(request->outputPath);
        if (batch->inputs.size() == 1 && !toFolder) {
            if (request->outputPath.empty()) {
                std::fprintf(stderr, "pelmora export: give the QMX file to write with -o FILE.qmx (or -o FOLDER/)\n");
                return static_cast<int>(kExitUsage);
            }
            request->drawingPath = batch->inputs.front();
            if (!previewPath->empty() && system::pathOf(*previewPath).lexically_normal() ==
                                             system::pathOf(request->outputPath).lexically_normal()) {
                std::fprintf(stderr, "pelmora: --preview names the output file; give the picture another path\n");
                return static_cast<int>(kExitUsage);
            }
            const int status = runExportRequest(*request);
            if (status != kExitOk || previewPath->empty() || request->dryRun) return status;
            return previewAfterExport(request->outputPath, *previewPath);
        }
        if (!previewPath->empty()) {
            std::fprintf(stderr, "pelmora export: --preview takes one input; run `pelmora preview` on each file\n");
            return static_cast<int>(kExitUsage);
        }
        if (batch->outputDir.empty()) batch->outputDir = request->outputPath;
        if (batch->outputDir.empty()) {
            std::fprintf(stderr,
                         "pelmora export: with several inputs give the output folder: -o FOLDER/ or "
                         "--output-dir FOLDER\n");
            return static_cast<int>(kExitUsage);
        }
        batch->single = *request;
        return runBatchExport(*batch);
    };
}

}  // namespace pelmora::tool
