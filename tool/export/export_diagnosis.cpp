#include "tool/export/export_diagnosis.h"

#include <cstdint>
#include <filesystem>

#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/path_text.h"
#include "plugin/host/host_abi.h"
#include "plugin/host/qmx_exception.h"
#include "tool/output/exit_status.h"

namespace pelmora::tool {
namespace {

// Why writing in `folder` may have failed, as far as the file system tells
// after the fact: the plug-in has removed its partial file by then, so a disk
// it filled may have room again, though less than the file needed.
std::string writeFailureHint(const std::string& folder) {
    const std::string full = system::folderSpaceProblem(folder);
    if (!full.empty()) return ": " + full;
    std::string why;
    if (!system::mayWriteIn(folder, why)) return ": " + why;
    constexpr std::uintmax_t kLittleRoom = 64u << 20;
    std::error_code error;
    const std::filesystem::space_info space = std::filesystem::space(system::pathOf(folder), error);
    if (!error && space.available < kLittleRoom)
        return " (its disk has only " + std::to_string(space.available / 1024) +
               " KiB free: the file most likely did not fit; free some space or choose another disk)";
    return " (full disk or no permission?)";
}

bool commandStarted(const hostsim::EmulatedHost& host) {
    for (const auto& call : host.commandLog())
        if (call.service == host::kCommandPrologue) return true;
    return false;
}

}  // namespace

std::string explainHostMessage(const hostsim::ShownMessage& message, InputKind kind, std::optional<int> mode,
                               const std::string& output) {
    std::string text =
        message.text + " (message " + std::to_string(message.list) + "/" + std::to_string(message.index) + ")";
    if (message.list != kMessageList) return text;
    if (message.index == kMsgWriteFailed) {
        // The plug-in does not say why; the file system may.
        const std::string folder = system::textOf(system::pathOf(output).parent_path());
        return text + ": writing beside " + output + " failed" + writeFailureHint(folder.empty() ? "." : folder) +
               "; the previous file is unchanged";
    }
    if (message.index != kMsgNothingToExport) return text;
    if (kind == InputKind::Model && mode == 0)
        return text + ": mode 0 exports the selected objects, and a model file has no selection; give --mode 1";
    return text + ": the chosen mode finds no polygons; try another --mode (2 takes every visible layer)";
}

int diagnoseNothingWritten(const hostsim::EmulatedHost& host, const ExportHookState& state, bool modeChosen,
                           const std::string& output, ExportReporter& report) {
    if (state.refusedOverwrite) {
        report.error(output + " exists; give --force to replace it (nothing was written)");
        return kExitUsage;
    }
    if (state.pathTooLong) {
        report.error("the output path is too long for the save dialog");
        return kExitUsage;
    }
    if (!commandStarted(host)) {
        report.error(
            "the command did not run: the drawing's state or the host does not allow it "
            "(\"canRun\" and \"currentItem\" of the drawing document)");
        return kExitFailure;
    }
    // Only a dialog that ran and was cancelled is a cancel; one the host
    // could not build or run is a failure.
    if (host.dialogs().empty() || !host.dialogs().back().ran) {
        report.error("the options dialog could not be shown; nothing was written");
        return kExitFailure;
    }
    if (!modeChosen) {
        report.error("the options dialog was not confirmed; nothing was written");
        return kExitCancelled;
    }
    report.error("the export ended without writing " + output);
    return kExitFailure;
}

}  // namespace pelmora::tool
