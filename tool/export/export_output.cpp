#include "tool/export/export_output.h"

#include <filesystem>

#include "base/ascii_case.h"
#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/path_text.h"
#include "tool/output/exit_status.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

// The absolute, normalised output path; empty when `given` names no file.
std::string absoluteOutput(const std::string& given) {
    std::error_code error;
    const std::string output = system::textOf(fs::absolute(system::pathOf(given), error).lexically_normal());
    if (error || system::endsWithSeparator(output)) return {};
    return output;
}

int checkFolder(const ExportRequest& request, const std::string& output, ExportReporter& report) {
    std::error_code error;
    if (fs::is_directory(system::pathOf(output), error)) {
        report.error(output + " is a folder; give a file name for the QMX file (or use --output-dir)");
        return kExitUsage;
    }
    const fs::path folder = system::pathOf(output).parent_path();
    if (!fs::is_directory(folder, error)) {
        report.error("the output folder " + system::textOf(folder) + " does not exist; create it or choose another -o");
        return kExitUsage;
    }
    if (std::string why; !request.dryRun && !system::mayWriteIn(system::textOf(folder), why)) {
        report.error("cannot write in the output folder " + system::textOf(folder) + ": " + why);
        return kExitUsage;
    }
    return kExitOk;
}

int checkReplacement(const ExportRequest& request, CheckedOutput& checked, ExportReporter& report) {
    std::error_code error;
    const fs::path output = system::pathOf(checked.path);
    if (fs::exists(output, error) && fs::equivalent(output, system::pathOf(request.drawingPath), error)) {
        report.error("the output would replace the drawing itself; give another file name");
        return kExitUsage;
    }
    if (std::string refusal = system::outputKindRefusal(checked.path); !refusal.empty()) {
        report.error(refusal);
        return kExitUsage;
    }
    checked.existed = fs::exists(output, error);
    if (checked.existed && !request.force && !request.dryRun) {
        report.error(checked.path + " exists; give --force to replace it (nothing was changed)");
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int checkExportOutput(const ExportRequest& request, ExportReporter& report, CheckedOutput& checked) {
    const std::string& given = request.outputPath;
    if (given == "-") {
        report.error(
            "-o - is not supported: a QMX file is written in place and cannot go to standard output; "
            "give a file name such as scene.qmx");
        return kExitUsage;
    }
    checked.path = absoluteOutput(given);
    if (checked.path.empty()) {
        report.error("bad output path \"" + given + "\": give a file name for the QMX file");
        return kExitUsage;
    }
    if (int status = checkFolder(request, checked.path, report); status != kExitOk) return status;
    if (int status = checkReplacement(request, checked, report); status != kExitOk) return status;
    if (base::lowerExtension(checked.path) != ".qmx")
        report.warning("the output name " + system::textOf(system::pathOf(checked.path).filename()) +
                       " does not end in .qmx; renderers look for .qmx files");
    return kExitOk;
}

}  // namespace pelmora::tool
