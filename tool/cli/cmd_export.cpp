// pelmora export: runs the plug-in module on a drawing document or a 3D model
// file inside the emulated host and writes the QMX file it produces; with
// several inputs (or an output folder) one QMX file per input.
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_status.h"
#include "platform/path_text.h"
#include "platform/user_folders.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/commands.h"
#include "tool/cli/import_options.h"
#include "tool/cli/output_checks.h"
#include "tool/export/batch_export.h"
#include "tool/export/export_run.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

std::string description() {
    const std::string inputs = modelFilesSupported()
                                   ? "a drawing document (JSON) or a 3D model file (OBJ, PLY, STL, glTF/GLB, ...)"
                                   : "a drawing document (JSON)";
    return "Export " + inputs +
           " to a QMX scene file through the plug-in module, and print what went in. Exit status: 0 written, 1 the "
           "plug-in reported a failure (its message is printed), 2 bad input, bad command line or an existing "
           "output without --force, 3 stopped by Ctrl+C or cancelled, 4 written but the drawing document not updated "
           "(read-only, locked, or edited during the export; the message says which). With several inputs, the "
           "worst of them (4 counts as worse than 0 only).";
}

std::string hostDirHelp() {
    return std::string(
               "the host's folder: templates and _id_table.txt in DIR/Pelmora/, preferences in DIR/Data/; "
               "it must exist (default: the program's own folder when a Pelmora folder is beside the "
               "program, as in the Windows ZIP, else ") +
           system::defaultDataFolderText() + ", created when missing)";
}

// The options each export of a batch runs with: every option given on the
// command line, as given, but those that name the inputs and outputs or shape
// the batch's own report. Read from the command's option table, so that an
// option added to `export` reaches the batch's exports by itself.
std::vector<std::string> optionsForEachInput(const CLI::App& cmd) {
    static const std::set<std::string> perBatch{"DRAWING", "--output", "--output-dir", "--jobs",
                                                "--json",  "--quiet",  "--preview",    "--help"};
    std::vector<std::string> arguments;
    for (const CLI::Option* option : cmd.get_options()) {
        const std::string name = option->get_name();
        if (option->count() == 0 || perBatch.count(name) != 0) continue;
        if (option->get_expected_min() == 0) {
            arguments.push_back(name);
            continue;
        }
        for (const std::string& value : option->results()) arguments.insert(arguments.end(), {name, value});
    }
    return arguments;
}

struct ExportCommand {
    ExportRequest request;
    BatchRequest batch;
    std::string previewPath;
    std::function<void()> settleModel;
    const CLI::App* cmd = nullptr;

    int run();
    int runOne();
    // Refused before any export ran: the message, and with --json as JSON.
    int badInput(const std::string& text) const { return toolRefusal(kExitUsage, "export", text, request.json); }
};

int ExportCommand::runOne() {
    if (request.outputPath.empty()) return badInput("give the QMX file to write with -o FILE.qmx (or -o FOLDER/)");
    request.drawingPath = batch.inputs.front();
    if (const std::string refusal = system::inputFileRefusal(request.drawingPath, "a drawing document or a model file");
        !refusal.empty())
        return badInput(refusal);
    if (!previewPath.empty()) {
        if (system::pathOf(previewPath).lexically_normal() == system::pathOf(request.outputPath).lexically_normal())
            return badInput("--preview names the output file; give the picture another path");
        // Checked before the export, so that its work is not lost to the picture's name.
        const OutputRule rule{"--preview", "a PNG picture", "view.png"};
        if (const std::string refusal = outputRefusal(previewPath, request.force || request.dryRun, rule);
            !refusal.empty())
            return badInput(refusal);
    }
    const int status = runExportRequest(request);
    if (status != kExitOk || previewPath.empty() || request.dryRun) return status;
    return previewAfterExport(request.outputPath, previewPath);
}

int ExportCommand::run() {
    settleModel();
    if (const std::string why = previewUnavailable(); !previewPath.empty() && !why.empty())
        return badInput("--preview: " + why);
    const bool toFolder = !batch.outputDir.empty() || system::endsWithSeparator(request.outputPath);
    if (batch.inputs.size() == 1 && !toFolder) return runOne();
    if (!previewPath.empty()) return badInput("--preview takes one input; run `pelmora preview` on each file");
    if (batch.outputDir.empty()) batch.outputDir = request.outputPath;
    if (batch.outputDir.empty())
        return badInput("with several inputs give the output folder: -o FOLDER/ or --output-dir FOLDER");
    batch.single = request;
    batch.optionsForEach = optionsForEachInput(*cmd);
    return runBatchExport(batch);
}

void addOutputOptions(CLI::App& cmd, ExportCommand& state) {
    cmd.add_option("-o,--output", state.request.outputPath,
                   "the QMX file to write (the answer of the save dialog); a name ending in / is an output folder");
    cmd.add_option("--output-dir", state.batch.outputDir,
                   "write one QMX file per input into this folder, named after it");
    cmd.add_option("-j,--jobs", state.batch.jobs,
                   "with several inputs: export this many at once, each in its own process (1 to 64)")
        ->check(CLI::Range(1, 64));
    cmd.add_flag("--force", state.request.force,
                 previewUnavailable().empty() ? "replace the output file (and the --preview picture) when it exists"
                                              : "replace the output file when it exists");
    cmd.add_flag("--dry-run", state.request.dryRun,
                 "load, check and collect as an export would and print the summary; write nothing (no output, "
                 "no remembered mode, no light records)");
    cmd.add_flag("--json", state.request.json,
                 "print the summary as one JSON object on stdout (also on failure, with \"status\")");
    cmd.add_flag("-q,--quiet", state.request.quiet, "print only errors");
}

}  // namespace

Runner addExportCommand(CLI::App& app, const InterruptPoints& testPoints) {
    auto state = std::make_shared<ExportCommand>();
    state->request.interruptAt = testPoints;
    CLI::App* cmd = app.add_subcommand("export", description());
    state->cmd = cmd;
    const char* inputs = modelFilesSupported() ? "drawing documents (.json) or 3D model files" : "drawing documents";
    // Checked when the run begins: in a batch a missing input is one failed
    // export, not a refused command line.
    cmd->add_option("DRAWING", state->batch.inputs, inputs)->required();
    addOutputOptions(*cmd, *state);
    cmd->add_option("--mode", state->request.mode,
                    "export mode chosen in the options dialog: 0 selected objects of the active layer, 1 visible "
                    "objects of the active layer, 2 all visible layers, 3 also through layer references "
                    "(default: the remembered mode)")
        ->check(CLI::Range(0, 3));
    cmd->add_option("--host-dir", state->request.hostDir, hostDirHelp())->check(existingFolder("host folder"));
    state->settleModel = addModelImportOptions(*cmd, state->request.model);
    cmd->add_option("--module", state->request.modulePath,
                    "the plug-in module to load (default: $PELMORA_MODULE or the module shipped with the tool)");
    CLI::Option* preview = cmd->add_option("--preview", state->previewPath,
                                           "after a successful export, render the written scene from its camera "
                                           "into this PNG file (as `pelmora preview` does)");
    if (!previewUnavailable().empty()) preview->group("");
    return [state] { return state->run(); };
}

}  // namespace pelmora::tool
