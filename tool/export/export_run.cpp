#include "tool/export/export_run.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <utility>

#include "base/ascii_case.h"
#include "hostsim/drawing.h"
#include "hostsim/emulated_host.h"
#include "hostsim/record_check.h"
#include "plugin/host/host_abi.h"
#include "plugin/platform/files.h"
#include "tool/export/export_hooks.h"
#include "tool/export/export_host_dir.h"
#include "tool/export/export_module.h"
#include "tool/export/export_summary.h"
#include "tool/output/progress_line.h"
#include "tool/output/staging_file.h"
#include "tool/system/exit_status.h"
#include "tool/system/file_creation.h"
#include "tool/system/file_status.h"
#include "tool/system/interrupt.h"
#include "tool/system/interrupt_signal.h"
#include "tool/system/path_text.h"
#include "tool/system/terminal.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kActionRun = 3;
constexpr std::int32_t kMessageList = 11011;
constexpr std::int32_t kMessageWriteFailed = 2;
constexpr std::int32_t kMessageNothingToExport = 5;
constexpr const char* kPreferenceFile = "Data/Pelmora.pref";

// Where the tool's own words go: errors always on stderr, the rest unless
// --quiet; everything is also kept for the summary.
class Reporter {
public:
    Reporter(ExportSummary& summary, ProgressLine& progress, bool quiet)
        : summary_(summary), progress_(progress), quiet_(quiet) {}

    void error(const std::string& text) {
        summary_.errors.push_back(text);
        print(text);
    }
    void warning(const std::string& text) {
        summary_.warnings.push_back(text);
        if (!quiet_) print("warning: " + text);
    }
    void note(const std::string& text) {
        if (!quiet_) print(text);
    }
    void print(const std::string& text) {
        progress_.clear();
        std::fprintf(stderr, "pelmora: %s\n", text.c_str());
    }

private:
    ExportSummary& summary_;
    ProgressLine& progress_;
    bool quiet_;
};

// The input's kind, told by its extension and, for anything else, its first byte.
enum class InputKind { Drawing, Model };

int firstNonSpace(const std::string& path) {
    std::FILE* file = system::openFile(path, "rb");
    if (!file) return EOF;
    int c;
    do c = std::fgetc(file);
    while (c == ' ' || c == '\t' || c == '\r' || c == '\n');
    std::fclose(file);
    return c;
}

InputKind kindOf(const std::string& extension, bool modelFile, int firstByte) {
    if (extension == ".json") return InputKind::Drawing;
    if (modelFile) return InputKind::Model;
    return firstByte == '{' ? InputKind::Drawing : InputKind::Model;
}

// The objects of a layer and of every group in it.
long long objectCount(const std::vector<hostsim::DrawingObject>& objects) {
    long long n = 0;
    for (const auto& object : objects) n += 1 + objectCount(object.members);
    return n;
}

int interruptSeam() {
    const char* text = std::getenv("PELMORA_INTERRUPT_AT_POLL");
    return text ? std::atoi(text) : 0;
}

// Test seam: press Ctrl+C when the run reaches the named step ("loaded",
// "written" or "replaced"), as a user could at that moment.
void interruptAtStep(const char* step) {
    const char* wanted = std::getenv("PELMORA_INTERRUPT_AT_STEP");
    if (wanted && std::strcmp(wanted, step) == 0) system::simulateInterrupt();
}

using system::fileSize;
using FileState = system::FileIdentity;

bool copyFile(const std::string& from, const std::string& to) {
    std::error_code error;
    return fs::copy_file(system::pathOf(from), system::pathOf(to), fs::copy_options::overwrite_existing, error);
}

class ExportRun {
public:
    explicit ExportRun(const ExportRequest& request)
        : request_(request),
          terminal_(system::stderrIsTerminal()),
          progress_(terminal_ && !request.quiet),
          report_(summary_, progress_, request.quiet) {
        summary_.input = request.drawingPath;
        summary_.modeGiven = request.mode.has_value();
    }

    int run() {
        const auto start = std::chrono::steady_clock::now();
        int status = kExitFailure;
        {
            InterruptScope interrupt(terminal_);
            status = exportOnce();
        }
        summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        progress_.finish();
        return finish(status);
    }

private:
    int finish(int status) {
        summary_.exitStatus = status;
        summary_.status = status == kExitOk          ? (request_.dryRun ? "dry-run" : "written")
                          : status == kExitUsage     ? "bad-input"
                          : status == kExitCancelled ? (stoppedByUser_ ? "stopped" : "cancelled")
                                                     : "failed";
        if (request_.json) {
            std::cout << summaryJson(summary_).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                      << std::endl;
        } else if (!request_.quiet && status == kExitOk) {
            const std::string text = summaryText(summary_);
            if (!text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
        }
        return status;
    }

    bool stopped() {
        if (!InterruptScope::raised()) return false;
        stoppedByUser_ = true;
        report_.error("stopped by Ctrl+C; " +
                      (outputExisted_ ? summary_.output + " was left as it was" : std::string("nothing was written")));
        return true;
    }

    // The output path: checked before anything runs, so that no work is lost
    // to a name that cannot be written.
    int checkOutput() {
        const std::string& given = request_.outputPath;
        if (given == "-") {
            report_.error(
                "-o - is not supported: a QMX file is written in place and cannot go to standard output; "
                "give a file name such as scene.qmx");
            return kExitUsage;
        }
        std::error_code error;
        const std::string output = system::textOf(fs::absolute(system::pathOf(given), error).lexically_normal());
        if (error || output.empty() || system::endsWithSeparator(output)) {
            report_.error("bad output path \"" + given + "\": give a file name for the QMX file");
            return kExitUsage;
        }
        summary_.output = output;
        if (fs::is_directory(system::pathOf(output), error)) {
            report_.error(output + " is a folder; give a file name for the QMX file (or use --output-dir)");
            return kExitUsage;
        }
        const fs::path folder = system::pathOf(output).parent_path();
        if (!fs::is_directory(folder, error)) {
            report_.error("the output folder " + system::textOf(folder) +
                          " does not exist; create it or choose another -o");
            return kExitUsage;
        }
        if (std::string why; !request_.dryRun && !system::mayWriteIn(system::textOf(folder), why)) {
            report_.error("cannot write in the output folder " + system::textOf(folder) + ": " + why);
            return kExitUsage;
        }
        if (fs::exists(system::pathOf(output), error) &&
            fs::equivalent(system::pathOf(output), system::pathOf(request_.drawingPath), error)) {
            report_.error("the output would replace the drawing itself; give another file name");
            return kExitUsage;
        }
        outputExisted_ = fs::exists(system::pathOf(output), error);
        if (outputExisted_ && !request_.force && !request_.dryRun) {
            report_.error(output + " exists; give --force to replace it (nothing was changed)");
            return kExitUsage;
        }
        if (base::lowerExtension(output) != ".qmx")
            report_.warning("the output name " + system::textOf(system::pathOf(output).filename()) +
                            " does not end in .qmx; renderers look for .qmx files");
        return kExitOk;
    }

    int loadInput(hostsim::Drawing& drawing) {
        const std::string& path = request_.drawingPath;
        std::error_code error;
        if (!fs::exists(system::pathOf(path), error)) {
            report_.error(path + ": no such file");
            return kExitUsage;
        }
        if (fs::is_directory(system::pathOf(path), error)) {
            report_.error(path + " is a folder; give a drawing document (.json) or a 3D model file");
            return kExitUsage;
        }
        // The first byte tells a drawing named otherwise, an empty file, and JSON named as a model.
        const std::string ext = base::lowerExtension(path);
        const int firstByte = firstNonSpace(path);
        kind_ = kindOf(ext, isModelFile(path), firstByte);
        if (kind_ == InputKind::Drawing) {
            if (firstByte == EOF) {
                report_.error(path +
                              " is empty; a drawing document is a JSON object (see examples/house.json and "
                              "docs/drawing-format.md)");
                return kExitUsage;
            }
            progress_.phase("loading " + system::textOf(system::pathOf(path).filename()));
            // Taken before the reading: a drawing still in this state after the
            // export is the one that was read, and need not be read again.
            drawingAsRead_ = FileState::of(path);
            try {
                drawing = hostsim::loadDrawing(path);
                hostsim::checkRecordSizes(drawing);
            } catch (const hostsim::DocumentError& bad) {
                if (bad.path() == "pelmoraDrawing")
                    report_.error(path +
                                  " is not a Pelmora drawing document (it has no \"pelmoraDrawing\" format "
                                  "version); see examples/house.json and docs/drawing-format.md");
                else if (bad.path().empty())
                    report_.error(path + " cannot be read as a drawing document: " + bad.what() +
                                  " (see docs/drawing-format.md)");
                else report_.error(path + ": at " + bad.path() + ": " + bad.what());
                return kExitUsage;
            }
            return kExitOk;
        }
        if (ext != ".gltf" && firstByte == '{') {
            report_.error(path + " holds JSON, not a " + (ext.empty() ? "model" : ext.substr(1)) +
                          " model; a drawing document must be named *.json (see examples/house.json)");
            return kExitUsage;
        }
        progress_.phase("reading " + system::textOf(system::pathOf(path).filename()));
        ModelImportOptions options = request_.model;
        options.progress = [this](double done) {
            progress_.fraction(done);
            return !InterruptScope::raised();
        };
        options.warning = [this](const std::string& text) { report_.warning(text); };
        try {
            drawing = importModel(path, options);
            hostsim::checkRecordSizes(drawing);
        } catch (const hostsim::DocumentError& bad) {
            report_.error(path + (bad.path().empty() ? "" : ": at " + bad.path()) + ": " + bad.what());
            return kExitUsage;
        } catch (const ModelImportError& bad) {
            if (InterruptScope::raised()) return kExitCancelled;
            report_.error(bad.what());
            return kExitUsage;
        }
        // A model file has no selection: every object counts as selected.
        return kExitOk;
    }

    void printWarningsFrom(std::size_t first) {
        for (std::size_t i = first; i < summary_.warnings.size(); ++i) report_.note("warning: " + summary_.warnings[i]);
    }

    void reportHostMessage(const hostsim::ShownMessage& message, std::optional<int> mode) {
        std::string text =
            message.text + " (message " + std::to_string(message.list) + "/" + std::to_string(message.index) + ")";
        summary_.messages.push_back(text);
        if (message.list == kMessageList && message.index == kMessageWriteFailed) {
            text += ": writing beside " + summary_.output +
                    " failed (full disk or no permission?); the previous file is unchanged";
        } else if (message.list == kMessageList && message.index == kMessageNothingToExport) {
            if (kind_ == InputKind::Model && mode == 0)
                text += ": mode 0 exports the selected objects, and a model file has no selection; give --mode 1";
            else text += ": the chosen mode finds no polygons; try another --mode (2 takes every visible layer)";
        }
        report_.error(text);
    }

    int exportOnce() {
        if (int status = checkOutput(); status != kExitOk) return status;

        hostsim::Drawing drawing;
        if (int status = loadInput(drawing); status != kExitOk) {
            if (stopped()) return kExitCancelled;
            return status;
        }
        interruptAtStep("loaded");
        if (stopped()) return kExitCancelled;

        std::string hostDir;
        try {
            hostDir = prepareHostDir(request_.hostDir.empty() ? defaultHostDir() : request_.hostDir, true);
        } catch (const HostDirError& bad) {
            report_.error(bad.what());
            return kExitUsage;
        }

        std::unique_ptr<PluginModule> module;
        try {
            module =
                std::make_unique<PluginModule>(request_.modulePath.empty() ? defaultModulePath() : request_.modulePath);
        } catch (const ModuleError& bad) {
            report_.error(bad.what());
            return kExitFailure;
        }

        // The file the plug-in writes: beside the target, or for a dry run in
        // a private folder, where the preference file is a copy too.
        // A link named as the output stays a link: the file it points to is
        // replaced, from a staging file beside that one.
        const std::string target = platform::replacementTarget(summary_.output);
        StagingFile staging = request_.dryRun ? StagingFile::inPrivateFolder() : StagingFile(target);
        if (staging.path().empty()) {
            report_.error("cannot create a file in " + system::textOf(system::pathOf(summary_.output).parent_path()) +
                          " (path too long or no permission)");
            return kExitUsage;
        }
        std::string userDataDir = hostDir;
        if (request_.dryRun) {
            userDataDir = system::textOf(system::pathOf(staging.path()).parent_path()) + "/";
            fs::create_directories(system::pathOf(userDataDir + "Data"));
            if (fs::exists(system::pathOf(hostDir + kPreferenceFile)))
                copyFile(hostDir + kPreferenceFile, userDataDir + kPreferenceFile);
        }
        // The paths as the plug-in's file calls take them (on Windows in the
        // ANSI code page, in which a host gives its paths).
        std::string pluginStaging, pluginTarget, pluginHostDir, pluginUserDataDir;
        struct Narrowed {
            const std::string& path;
            std::string& narrow;
            const std::string& shown;  // what the user knows it by
        };
        for (const Narrowed& each :
             {Narrowed{staging.path(), pluginStaging, summary_.output}, Narrowed{target, pluginTarget, summary_.output},
              Narrowed{hostDir, pluginHostDir, hostDir}, Narrowed{userDataDir, pluginUserDataDir, userDataDir}}) {
            if (!system::narrowPath(each.path, each.narrow)) {
                report_.error(each.shown +
                              " cannot be given to the plug-in: the system's ANSI code page, in which "
                              "its file calls name files, has no character for part of it; choose a "
                              "path of other characters");
                return kExitUsage;
            }
        }

        if (stopped()) return kExitCancelled;

        long long activeLayerObjects = 0, visibleLayerObjects = 0;
        for (const auto& layer : drawing.layers) {
            const long long n = objectCount(layer.objects);
            if (layer.name == drawing.activeLayer) activeLayerObjects = n;
            if (layer.visible) visibleLayerObjects += n;
        }

        ExportHookState state;
        state.targetPath = summary_.output;
        state.answerPath = staging.path();
        state.writerPath = staging.writerPath();
        state.pluginAnswerPath = pluginStaging;
        state.force = request_.force || request_.dryRun;
        state.interruptAtPoll = interruptSeam();
        state.progress = &progress_;
        state.objectsActiveLayer = activeLayerObjects;
        state.objectsVisibleLayers = visibleLayerObjects;

        const int codePage = drawing.codePage;
        hostsim::EmulatedHost host(std::move(drawing));
        state.host = &host;
        host.setFolder(host::kFolderBase, pluginHostDir);
        host.setFolder(host::kFolderUserData, pluginUserDataDir);
        host.dialogScript().action = hostsim::DialogScript::Action::Confirm;
        host.dialogScript().mode = request_.mode;
        host.onMessage(
            [this, &host](const hostsim::ShownMessage& message) { reportHostMessage(message, chosenMode(host)); });

        progress_.phase("checking the drawing");
        {
            PelmoraPortableHooks hooks = state.hooks();
            // Template file names reach the plug-in in the host's code page, as on Windows.
            hooks.fileNameCodePage = codePage;
            module->setHooks(&hooks);
            module->pluginMain(kActionRun, host.callback());
            module->setHooks(nullptr);
        }
        progress_.clear();
        summary_.mode = chosenMode(host);
        for (const auto& text : state.messageBoxes) summary_.messages.push_back(text);

        for (const auto& fault : host.faults()) report_.error("host fault: " + fault);
        if (int leaked = host.leakedTemporaries(); leaked > 0)
            report_.error("host fault: " + std::to_string(leaked) + " temporary objects were never disposed");

        const long long staged = fileSize(staging.path());
        // The staging file is new and empty until the plug-in's write lands in it.
        const bool written = state.saveAnswered && staged > 0;

        if (!host.messages().empty()) return kExitFailure;
        if (!written) {
            if (stopped()) return kExitCancelled;
            if (state.refusedOverwrite) {
                report_.error(summary_.output + " exists; give --force to replace it (nothing was written)");
                return kExitUsage;
            }
            if (state.pathTooLong) {
                report_.error("the output path is too long for the save dialog");
                return kExitUsage;
            }
            bool started = false;
            for (const auto& call : host.commandLog()) started = started || call.service == host::kCommandPrologue;
            if (!started) {
                report_.error(
                    "the command did not run: the drawing's state or the host does not allow it "
                    "(\"canRun\" and \"currentItem\" of the drawing document)");
                return kExitFailure;
            }
            // Only a dialog that ran and was cancelled is a cancel; one the host
            // could not build or run is a failure.
            if (host.dialogs().empty() || !host.dialogs().back().ran) {
                report_.error("the options dialog could not be shown; nothing was written");
                return kExitFailure;
            }
            if (!summary_.mode) {
                report_.error("the options dialog was not confirmed; nothing was written");
                return kExitCancelled;
            }
            report_.error("the export ended without writing " + summary_.output);
            return kExitFailure;
        }

        interruptAtStep("written");
        if (stopped()) return kExitCancelled;
        progress_.phase("reading back");
        // Warnings so far were printed when they came; the reading back may add its own.
        const std::size_t printedWarnings = summary_.warnings.size();
        if (!readWrittenScene(pluginStaging, summary_, NameDecoder(codePage))) report_.print(summary_.errors.back());
        summary_.bytes = staged;
        progress_.clear();

        if (request_.dryRun) {
            if (stopped()) return kExitCancelled;
            report_.note("dry run: " + summary_.output + " would be written; nothing was changed");
            printWarningsFrom(printedWarnings);
            return kExitOk;
        }

        // The replacement: a Ctrl+C either comes before it (and the target
        // stays as it was) or after it (and the new file is complete).
        {
            InterruptScope::Hold hold;
            if (InterruptScope::raised()) {
                staging.remove();
                stopped();
                return kExitCancelled;
            }
            if (!platform::replaceFile(pluginStaging, pluginTarget)) {
                report_.error("cannot move the written file over " + summary_.output + ": " + system::lastFileError() +
                              "; the previous file is unchanged");
                return kExitFailure;
            }
            staging.release();
            interruptAtStep("replaced");
        }
        if (!request_.json) report_.note("wrote " + summary_.output);
        printWarningsFrom(printedWarnings);
        if (InterruptScope::raised())
            report_.note("Ctrl+C came after " + summary_.output + " was replaced; the file is complete");

        // Keep the light identities the export gave, so that the next export
        // finds them again. Nothing is written when nothing changed.
        if (kind_ == InputKind::Drawing && host.recordsChanged()) {
            hostsim::Drawing changed = host.drawing();
            bool same = false;
            // Unchanged on disk, the file holds the drawing as read, which differs
            // from ours by the records; only a file changed meanwhile is read again.
            if (!FileState::of(request_.drawingPath).sameAs(drawingAsRead_)) {
                try {
                    same = hostsim::loadDrawing(request_.drawingPath) == changed;
                } catch (const hostsim::DocumentError&) {
                    // Gone or changed into something unreadable meanwhile: write ours.
                }
            }
            if (!same) {
                try {
                    std::string drawingPath;
                    if (!system::narrowPath(request_.drawingPath, drawingPath))
                        throw std::runtime_error("the system's ANSI code page has no character for part of its path");
                    hostsim::saveDrawingAtomically(changed, drawingPath);
                    report_.note("updated the light records of " + request_.drawingPath);
                } catch (const std::exception& bad) {
                    report_.error(std::string("could not update the light records of the drawing: ") + bad.what());
                    return kExitFailure;
                }
            }
        }
        return kExitOk;
    }

    const ExportRequest& request_;
    const bool terminal_;
    ExportSummary summary_;
    ProgressLine progress_;
    Reporter report_;
    InputKind kind_ = InputKind::Drawing;
    bool outputExisted_ = false;
    bool stoppedByUser_ = false;
    FileState drawingAsRead_;
};

}  // namespace

int runExportRequest(const ExportRequest& request) {
    ExportRun run(request);
    return run.run();
}

}  // namespace pelmora::tool
