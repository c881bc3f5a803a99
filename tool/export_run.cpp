#include "tool/export_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <utility>

#include "hostsim/drawing.h"
#include "hostsim/emulated_host.h"
#include "hostsim/record_check.h"
#include "tool/commands.h"
#include "tool/export_host_dir.h"
#include "tool/export_hooks.h"
#include "tool/export_module.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kActionRun = 3;

void say(const std::string& text) { std::fprintf(stderr, "pelmora: %s\n", text.c_str()); }

// Enough of a file's identity to tell that it was replaced or written.
struct FileState {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileState of(const std::string& path) {
        FileState state;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) return state;
        state.exists = true;
        state.device = info.st_dev;
        state.inode = info.st_ino;
        state.size = info.st_size;
        state.modified = info.st_mtim;
        return state;
    }
    bool sameAs(const FileState& other) const {
        return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
    }
};

bool isDrawingDocument(const std::string& path) {
    if (fs::path(path).extension() == ".json") return true;
    if (isModelFile(path)) return false;
    // Anything else is read as a document when it looks like JSON.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return true;  // the loader reports the unreadable file
    int c;
    do c = std::fgetc(file);
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n');
    std::fclose(file);
    return c == '{' || c == EOF;
}

int interruptSeam() {
    const char* text = std::getenv("PELMORA_INTERRUPT_AT_POLL");
    return text ? std::atoi(text) : 0;
}

}  // namespace

int runExportRequest(const ExportRequest& request) {
    // The output: an absolute path, replaced only with --force.
    std::error_code error;
    const std::string output = fs::absolute(request.outputPath, error).lexically_normal().string();
    if (error || output.empty()) {
        say("bad output path " + request.outputPath);
        return kExitUsage;
    }
    if (fs::is_directory(output, error)) {
        say(output + " is a folder; give a file name for the QMX file");
        return kExitUsage;
    }
    if (fs::equivalent(output, request.drawingPath, error)) {
        say("the output would replace the drawing itself; give another file name");
        return kExitUsage;
    }
    if (fs::exists(output, error) && !request.force) {
        say(output + " exists; give --force to replace it (nothing was changed)");
        return kExitUsage;
    }

    // From here on Ctrl+C stops the run cleanly: before the plug-in runs it is
    // checked between the steps, during the export the plug-in polls it.
    AbortOnInterrupt interrupt;
    AbortOnInterrupt::clear();
    auto stopped = [] {
        if (!AbortOnInterrupt::raised()) return false;
        say("stopped by Ctrl+C; nothing was written");
        return true;
    };

    // The drawing, or the model file turned into one.
    const bool document = isDrawingDocument(request.drawingPath);
    hostsim::Drawing drawing;
    try {
        drawing = document ? hostsim::loadDrawing(request.drawingPath)
                           : importModel(request.drawingPath, request.model);
        hostsim::checkRecordSizes(drawing);
    } catch (const hostsim::DocumentError& bad) {
        say(request.drawingPath + (bad.path().empty() ? "" : ": at " + bad.path()) + ": " + bad.what());
        return kExitUsage;
    } catch (const ModelImportError& bad) {
        say(bad.what());
        return kExitUsage;
    }

    if (stopped()) return kExitCancelled;

    std::string hostDir;
    try {
        hostDir = request.hostDir.empty() ? prepareHostDir(defaultHostDir(), true)
                                          : prepareHostDir(request.hostDir, false);
    } catch (const HostDirError& bad) {
        say(bad.what());
        return kExitUsage;
    }

    std::unique_ptr<PluginModule> module;
    try {
        module = std::make_unique<PluginModule>(request.modulePath.empty() ? defaultModulePath() : request.modulePath);
    } catch (const ModuleError& bad) {
        say(bad.what());
        return kExitFailure;
    }

    if (stopped()) return kExitCancelled;

    ExportHookState state;
    state.outputPath = output;
    state.force = request.force;
    state.showProgress = isatty(STDERR_FILENO) != 0;
    state.interruptAtPoll = interruptSeam();

    const int codePage = drawing.codePage;
    hostsim::EmulatedHost host(std::move(drawing));
    host.setFolder(host::kFolderBase, hostDir);
    host.setFolder(host::kFolderUserData, hostDir);
    host.dialogScript().action = hostsim::DialogScript::Action::Confirm;
    host.dialogScript().mode = request.mode;
    host.onMessage([&state](const hostsim::ShownMessage& message) {
        state.endProgress();
        say(message.text + " (message " + std::to_string(message.list) + "/" + std::to_string(message.index) + ")");
    });

    const FileState before = FileState::of(output);
    {
        PelmoraPortableHooks hooks = state.hooks();
        // Template file names reach the plug-in in the host's code page, as on Windows.
        hooks.fileNameCodePage = codePage;
        module->setHooks(&hooks);
        module->pluginMain(kActionRun, host.callback());
        module->setHooks(nullptr);
    }
    state.endProgress();

    for (const auto& fault : host.faults()) say("host fault: " + fault);
    if (int leaked = host.leakedTemporaries(); leaked > 0)
        say("host fault: " + std::to_string(leaked) + " temporary objects were never disposed");

    const FileState after = FileState::of(output);
    const bool written = after.exists && !before.sameAs(after) && state.saveAnswered;

    if (!host.messages().empty()) return kExitFailure;
    if (!written) {
        if (stopped()) return kExitCancelled;
        if (state.refusedOverwrite) {
            say(output + " exists; give --force to replace it (nothing was written)");
            return kExitUsage;
        }
        if (state.pathTooLong) {
            say("the output path is too long for the save dialog");
            return kExitUsage;
        }
        bool started = false;
        for (const auto& call : host.commandLog()) started = started || call.service == host::kCommandPrologue;
        if (!started) {
            say("the command did not run: the drawing's state or the host does not allow it");
            return kExitFailure;
        }
        bool confirmed = !host.dialogs().empty() && host.dialogs().back().result == hostsim::kDialogConfirmed;
        if (!confirmed) {
            say("the options dialog was not confirmed; nothing was written");
            return kExitCancelled;
        }
        say("the export ended without writing " + output);
        return kExitFailure;
    }

    say("wrote " + output + " (" + std::to_string(static_cast<long long>(after.size)) + " bytes)");
    if (AbortOnInterrupt::raised()) say("Ctrl+C came after the drawing was collected; the file is complete");

    // Keep the light identities the export gave, so that the next export
    // finds them again. Nothing is written when nothing changed.
    if (document && host.recordsChanged()) {
        hostsim::Drawing changed = host.drawing();
        bool same = false;
        try {
            same = hostsim::loadDrawing(request.drawingPath) == changed;
        } catch (const hostsim::DocumentError&) {
            // Gone or changed into something unreadable meanwhile: write ours.
        }
        if (!same) {
            try {
                hostsim::saveDrawingAtomically(changed, request.drawingPath);
                say("updated the light records of " + request.drawingPath);
            } catch (const std::exception& bad) {
                say(std::string("could not update the light records of the drawing: ") + bad.what());
                return kExitFailure;
            }
        }
    }
    return kExitOk;
}

}  // namespace pelmora::tool
