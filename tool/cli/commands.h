// The tool's subcommands. Each registers its options on the app and gives the
// function that runs it; a run gives the process exit status.
#pragma once

#include <functional>
#include <string>

#include <CLI/CLI.hpp>

#include "tool/convert/convert_model.h"
#include "tool/export/export_run.h"
#include "tool/output/exit_status.h"

namespace pelmora::tool {

using Runner = std::function<int()>;

Runner addInspectCommand(CLI::App& app);
Runner addConvertCommand(CLI::App& app);
// `pelmora convert` with its options as parsed: the exit status, after saying why.
int runConvert(const ConvertOptions& options);
Runner addTemplatesCommand(CLI::App& app);
// `testPoints` go into every export's request.
Runner addExportCommand(CLI::App& app, const InterruptPoints& testPoints);
Runner addFormatsCommand(CLI::App& app);

// What --version prints: the tool's version, the module it loads, Assimp's version.
std::string versionText();
Runner addImportCommand(CLI::App& app);
Runner addPreviewCommand(CLI::App& app);

// Whether this build reads and writes model files (the Windows build has no
// model library): help texts describe only what the build does.
bool modelFilesSupported();

// Renders an exported scene into a PNG picture as `pelmora preview` does.
int previewAfterExport(const std::string& scenePath, const std::string& picturePath);
// Why this build renders no pictures; empty when it does.
std::string previewUnavailable();

}  // namespace pelmora::tool
