#include "tool/export/export_run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

#include "base/ascii_case.h"
#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/interrupt.h"
#include "platform/interrupt_signal.h"
#include "platform/path_text.h"
#include "platform/terminal.h"
#include "plugin/command/plugin_main.h"
#include "plugin/command/preferences.h"
#include "plugin/host/host_abi.h"
#include "plugin/platform/files.h"
#include "tool/export/drawing_write_back.h"
#include "tool/export/export_diagnosis.h"
#include "tool/export/export_hooks.h"
#include "tool/export/export_host_dir.h"
#include "tool/export/export_input.h"
#include "tool/export/export_module.h"
#include "tool/export/export_output.h"
#include "tool/export/export_reporter.h"
#include "tool/export/export_summary.h"
#include "tool/export/template_overlay.h"
#include "tool/export/templates_not_files.h"
#include "tool/output/exit_status.h"
#include "tool/output/leftover_files.h"
#include "tool/output/progress_line.h"
#include "tool/output/staging_file.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

const std::string kPreferenceFile = std::string(kPreferenceFolder) + "/" + kPreferenceFileName;

// The objects of a layer and of every group in it.
long long objectCount(const std::vector<hostsim::DrawingObject>& objects) {
    long long n = 0;
    for (const auto& object : objects) n += 1 + objectCount(object.members);
    return n;
}

// The paths of one run as the plug-in's file calls take them (on Windows in
// the ANSI code page, in which a host gives its paths).
struct PluginPaths {
    std::string staging, target, hostDir, userDataDir;
};

// One export, as a chain of steps: each gives kExitOk to go on or the exit
// status to end with, having said why.
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
            try {
                status = exportOnce();
            } catch (const std::bad_alloc&) {
                if (!outputReplaced_) throw;  // nothing changed: said as anywhere else
                status = faultAfterReplacing("out of memory");
            } catch (const std::exception& bad) {
                if (!outputReplaced_) throw;
                status = faultAfterReplacing(bad.what());
            }
            endRun();
        }
        summary_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        progress_.finish();
        try {
            return finish(status);
        } catch (const std::bad_alloc&) {
            if (!outputReplaced_) throw;
            return faultSaid_ ? status : faultAfterReplacing("out of memory");
        }
    }

private:
    int exportOnce() {
        if (int status = checkOutput(); status != kExitOk) return status;
        hostsim::Drawing drawing;
        if (int status = loadExportInput(request_, report_, progress_, drawing, input_); status != kExitOk)
            return stopped() ? kExitCancelled : status;
        reached("loaded");
        if (stopped()) return kExitCancelled;
        if (int status = openHostFolder(drawing.codePage); status != kExitOk) return status;
        if (int status = loadModule(); status != kExitOk) return status;
        if (int status = stageOutput(); status != kExitOk) return status;
        if (int status = narrowPaths(); status != kExitOk) return status;
        reached("staged");
        if (stopped()) return kExitCancelled;
        setUpHost(std::move(drawing));
        runPlugin();
        if (int status = checkWritten(); status != kExitOk) return status;
        reached("written");
        if (stopped()) return kExitCancelled;
        // A model file is not written back: its drawing goes before the
        // written file is read back, so that the two are not held at once.
        if (input_.kind != InputKind::Drawing) host_.reset();
        readBack();
        if (request_.dryRun) return endDryRun();
        return writeBackAndReplace();
    }

    // A fault once the output was replaced (memory run out, or anything else
    // thrown): the output is new and complete, and what happened to the
    // drawing is known. Said without allocating, since memory may be gone.
    int faultAfterReplacing(const char* what) noexcept {
        faultSaid_ = true;
        std::fputs("pelmora export: ", stderr);
        std::fputs(what, stderr);
        std::fputs(" after ", stderr);
        std::fputs(summary_.output.c_str(), stderr);
        std::fputs(" was replaced; it is the new, complete file. ", stderr);
        if (input_.kind != InputKind::Drawing) {
            std::fputs("The run ended there.\n", stderr);
        } else if (writeBack_.updated) {
            std::fputs(request_.drawingPath.c_str(), stderr);
            std::fputs(" was updated before it: the drawing keeps every light id the output holds.\n", stderr);
        } else if (!writeBack_.notUpdated.empty()) {
            std::fputs(request_.drawingPath.c_str(), stderr);
            std::fputs(" was not updated: ", stderr);
            std::fputs(writeBack_.notUpdated.c_str(), stderr);
            std::fputs("; the next export may give the lights other ids.\n", stderr);
        } else {
            std::fputs(request_.drawingPath.c_str(), stderr);
            std::fputs(" already held every light id the output holds and was left as it was.\n", stderr);
        }
        return kExitDrawingNotUpdated;
    }

    // The test point: Ctrl+C pressed as the run reaches `step`.
    void interruptAt(const char* step) const {
        if (request_.interruptAt.atStep == step) system::simulateInterrupt();
    }

    // As an editor saving the drawing in the middle of an export would.
    void replaceDrawingAt(const char* step) const {
        const InterruptPoints& points = request_.interruptAt;
        if (points.replaceDrawingAtStep != step || points.replacementDrawing.empty()) return;
        std::error_code error;
        fs::rename(system::pathOf(points.replacementDrawing), system::pathOf(request_.drawingPath), error);
    }

    // Everything the run held, let go while Ctrl+C is still ours: the host
    // before the module whose code it ran, and the staging file removed
    // unless it became the output.
    void endRun() {
        host_.reset();
        staging_.reset();
        module_.reset();
        overlay_.reset();
        InterruptScope::removeOnQuit(InterruptScope::kLockSlot, {});  // before: it may be another run's then
        input_.lock.release();
    }

    void reached(const char* moment) {
        interruptAt(moment);
        replaceDrawingAt(moment);
        if (request_.atMoment) request_.atMoment(moment);
    }

    int checkOutput() {
        CheckedOutput checked;
        const int status = checkExportOutput(request_, report_, checked);
        summary_.output = checked.path;
        outputExisted_ = checked.existed;
        return status;
    }

    int openHostFolder(int codePage) {
        try {
            hostDir_ = prepareHostDir(request_.hostDir.empty() ? defaultHostDir() : request_.hostDir, true);
        } catch (const HostDirError& bad) {
            report_.error(bad.what());
            return kExitUsage;
        }
        for (const SkippedTemplate& notFile : templatesNotFiles(hostDir_))
            report_.warning("the template " + hostDir_ + "Pelmora/" + notFile.file + " is " + notFile.reason +
                            " and was skipped");
        // A model file brings its own materials; anything else needs the host folder's.
        if (input_.materials.empty() && !hostDirHasTemplates(hostDir_))
            report_.warning("the host folder " + hostDir_ + (request_.hostDir.empty() ? " (the default)" : "") +
                            " has no templates (no .qmt file in Pelmora/ there): no class gets a material or "
                            "texture from it; give --host-dir a folder that has them (examples/host in the "
                            "sources) or put the templates there");
        templateDir_ = hostDir_;
        return input_.materials.empty() ? kExitOk : overlayModelTemplates(codePage);
    }

    // The model's materials as templates beside the host folder's own, in a
    // folder of the run's: the plug-in reads them as any other template. An
    // export without them would not be the scene asked for: it fails.
    int overlayModelTemplates(int codePage) {
        overlay_.emplace(hostDir_, input_.materials, codePage);
        if (overlay_->folder().empty()) {
            report_.error(overlay_->failure() + "; nothing was written");
            return kExitFailure;
        }
        for (const std::string& why : overlay_->leftOut())
            report_.warning("the model's material of class " + why + "; the class is exported without it");
        templateDir_ = overlay_->folder();
        return kExitOk;
    }

    int loadModule() {
        try {
            module_ =
                std::make_unique<PluginModule>(request_.modulePath.empty() ? defaultModulePath() : request_.modulePath);
        } catch (const ModuleError& bad) {
            report_.error(bad.what());
            return kExitFailure;
        }
        return kExitOk;
    }

    // The file the plug-in writes: beside the target, or for a dry run in a
    // private folder, where the preference file is a copy too. A link named
    // as the output stays a link: the file it points to is replaced, from a
    // staging file beside that one.
    int stageOutput() {
        target_ = platform::replacementTarget(summary_.output);
        if (!request_.dryRun) removeLeftoversOfKilledRuns();
        staging_.emplace(request_.dryRun ? StagingFile::inPrivateFolder() : StagingFile(target_));
        if (staging_->path().empty()) {
            report_.error("cannot create a file in " + system::textOf(system::pathOf(target_).parent_path()) + ": " +
                          staging_->failure() + "; nothing was written");
            // A full disk or one out of inodes is the system's failure, not a bad path.
            return staging_->failureIsOfThePath() ? kExitUsage : kExitFailure;
        }
        userDataDir_ = hostDir_;
        if (request_.dryRun) copyPreferencesForDryRun();
        return kExitOk;
    }

    // Staging files of an earlier run on this output, and replacement files of
    // a write-back of this drawing, that a killed process could not take away.
    // Files that only look like such leftovers are named once, and left.
    void removeLeftoversOfKilledRuns() {
        std::string note = lookalikesNote(target_, removeLeftovers(target_));
        std::error_code ignored;
        if (input_.kind == InputKind::Drawing) {
            const std::string drawing = platform::replacementTarget(
                system::textOf(fs::absolute(system::pathOf(request_.drawingPath), ignored).lexically_normal()));
            const std::string more = lookalikesNote(drawing, removeLeftovers(drawing));
            note += (note.empty() || more.empty() ? "" : "; ") + more;
        }
        if (!note.empty()) report_.warning(note);
    }

    void copyPreferencesForDryRun() {
        userDataDir_ = system::textOf(system::pathOf(staging_->path()).parent_path()) + "/";
        std::error_code error;
        fs::create_directories(system::pathOf(userDataDir_ + kPreferenceFolder), error);
        if (fs::exists(system::pathOf(hostDir_ + kPreferenceFile), error))
            fs::copy_file(system::pathOf(hostDir_ + kPreferenceFile), system::pathOf(userDataDir_ + kPreferenceFile),
                          fs::copy_options::overwrite_existing, error);
    }

    int narrowPaths() {
        struct Narrowed {
            const std::string& path;
            std::string& narrow;
            const std::string& shown;  // what the user knows it by
        };
        for (const Narrowed& each :
             {Narrowed{staging_->path(), paths_.staging, summary_.output},
              Narrowed{target_, paths_.target, summary_.output}, Narrowed{templateDir_, paths_.hostDir, hostDir_},
              Narrowed{userDataDir_, paths_.userDataDir, userDataDir_}}) {
            if (!system::narrowPath(each.path, each.narrow)) {
                report_.error(each.shown +
                              " cannot be given to the plug-in: the system's ANSI code page, in which "
                              "its file calls name files, has no character for part of it; choose a "
                              "path of other characters");
                return kExitUsage;
            }
        }
        return kExitOk;
    }

    void setUpHost(hostsim::Drawing drawing) {
        long long activeLayerObjects = 0, visibleLayerObjects = 0;
        for (const auto& layer : drawing.layers) {
            const long long n = objectCount(layer.objects);
            if (layer.name == drawing.activeLayer) activeLayerObjects = n;
            if (layer.visible) visibleLayerObjects += n;
        }
        state_.targetPath = summary_.output;
        state_.answerPath = staging_->path();
        state_.writerPath = staging_->writerPath();
        state_.pluginAnswerPath = paths_.staging;
        state_.force = request_.force || request_.dryRun;
        state_.interruptAtPoll = request_.interruptAt.atPoll;
        state_.progress = &progress_;
        state_.objectsActiveLayer = activeLayerObjects;
        state_.objectsVisibleLayers = visibleLayerObjects;

        codePage_ = drawing.codePage;
        host_ = std::make_unique<hostsim::EmulatedHost>(std::move(drawing));
        state_.host = host_.get();
        host_->setFolder(host::kFolderBase, paths_.hostDir);
        host_->setFolder(host::kFolderUserData, paths_.userDataDir);
        host_->dialogScript().action = hostsim::DialogScript::Action::Confirm;
        host_->dialogScript().mode = request_.mode;
        host_->onMessage([this](const hostsim::ShownMessage& message) {
            report_.error(explainHostMessage(message, input_.kind, chosenMode(*host_), summary_.output));
            summary_.messages.push_back(message.text + " (message " + std::to_string(message.list) + "/" +
                                        std::to_string(message.index) + ")");
        });
    }

    void runPlugin() {
        progress_.phase("checking the drawing");
        PelmoraPortableHooks hooks = state_.hooks();
        // Template file names reach the plug-in in the host's code page, as on Windows.
        hooks.fileNameCodePage = codePage_;
        module_->setHooks(&hooks);
        module_->pluginMain(kActionRun, host_->callback());
        module_->setHooks(nullptr);
        progress_.clear();
        summary_.mode = chosenMode(*host_);
        for (const auto& text : state_.messageBoxes) summary_.messages.push_back(text);
        for (const auto& fault : host_->faults()) report_.error("host fault: " + fault);
        if (int leaked = host_->leakedTemporaries(); leaked > 0)
            report_.error("host fault: " + std::to_string(leaked) + " temporary objects were never disposed");
    }

    int checkWritten() {
        staged_ = system::fileSize(staging_->path());
        if (!host_->messages().empty()) return kExitFailure;
        // The staging file is new and empty until the plug-in's write lands in it.
        if (state_.saveAnswered && staged_ > 0) return kExitOk;
        if (stopped()) return kExitCancelled;
        return diagnoseNothingWritten(*host_, state_, summary_.mode.has_value(), summary_.output, report_);
    }

    void readBack() {
        progress_.phase("reading back");
        // Warnings so far were printed when they came; the reading back may add its own.
        printedWarnings_ = summary_.warnings.size();
        if (!readWrittenScene(paths_.staging, summary_, NameDecoder(codePage_))) report_.print(summary_.errors.back());
        summary_.bytes = staged_;
        progress_.clear();
    }

    int endDryRun() {
        if (stopped()) return kExitCancelled;
        report_.note("dry run: " + summary_.output + " would be written; nothing was changed");
        report_.repeatWarningsFrom(printedWarnings_);
        return kExitOk;
    }

    // The drawing's light records are written before the output replaces the
    // old one, and SIGTERM, SIGHUP and Ctrl+C wait for both: however the run
    // ends, by a signal or killed at any moment, every light id the output
    // holds is in the drawing. A Ctrl+C comes before both (and the run stops)
    // or after both.
    int writeBackAndReplace() {
        {
            InterruptScope::Hold hold;
            if (InterruptScope::raised()) {
                staging_->remove();
                stopped();
                return kExitCancelled;
            }
            if (input_.kind == InputKind::Drawing)
                writeBack_ = writeBackLightRecords(request_.drawingPath, *host_, input_,
                                                   [this](const char* moment) { reached(moment); });
            if (int status = replaceOutput(); status != kExitOk) return status;
        }
        if (!request_.json) report_.note("wrote " + summary_.output);
        report_.repeatWarningsFrom(printedWarnings_);
        if (input_.kind == InputKind::Drawing) {
            reportWriteBack(writeBack_, request_.drawingPath, report_);
            summary_.drawingNotUpdated = writeBack_.notUpdated;
            if (writeBack_.unconfirmed) summary_.drawingNotUpdated = "it may have changed just before it was updated";
        }
        if (InterruptScope::raised())
            report_.note("Ctrl+C came after " + summary_.output + " was replaced; the file is complete");
        return writeBack_.status;
    }

    int replaceOutput() {
        if (!platform::replaceFile(paths_.staging, paths_.target)) {
            const std::string why = system::lastFileErrorIn(system::textOf(system::pathOf(target_).parent_path()));
            const std::string attribute = platform::attributeNotKept();
            report_.error("cannot move the written file over " + summary_.output + ": " + why +
                          (attribute.empty()
                               ? std::string()
                               : " (its extended attribute " + attribute + " could not be given to the new file)") +
                          "; the previous file is unchanged" +
                          (writeBack_.updated ? " (the light records of " + request_.drawingPath + " were updated)"
                                              : std::string()));
            return kExitFailure;
        }
        outputReplaced_ = true;
        staging_->release();
        reached("replaced");
        return kExitOk;
    }

    int finish(int status) {
        summary_.exitStatus = status;
        summary_.status = status == kExitOk                  ? (request_.dryRun ? "dry-run" : "written")
                          : status == kExitDrawingNotUpdated ? "written-drawing-not-updated"
                          : status == kExitUsage             ? "bad-input"
                          : status == kExitCancelled         ? (stoppedByUser_ ? "stopped" : "cancelled")
                                                             : "failed";
        if (request_.json) {
            std::cout << summaryJson(summary_).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                      << std::endl;
        } else if (!request_.quiet && (status == kExitOk || status == kExitDrawingNotUpdated)) {
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

    const ExportRequest& request_;
    const bool terminal_;
    ExportSummary summary_;
    ProgressLine progress_;
    ExportReporter report_;
    LoadedInput input_;
    bool outputExisted_ = false;
    bool outputReplaced_ = false;
    bool faultSaid_ = false;
    WriteBack writeBack_;
    bool stoppedByUser_ = false;
    std::string hostDir_, userDataDir_, target_;
    std::string templateDir_;  // the host folder the plug-in is given: hostDir_ or the overlay
    std::optional<TemplateOverlay> overlay_;
    std::unique_ptr<PluginModule> module_;
    std::optional<StagingFile> staging_;
    PluginPaths paths_;
    ExportHookState state_;
    std::unique_ptr<hostsim::EmulatedHost> host_;
    int codePage_ = 0;
    long long staged_ = 0;
    std::size_t printedWarnings_ = 0;
};

}  // namespace

int runExportRequest(const ExportRequest& request) {
    ExportRun run(request);
    return run.run();
}

}  // namespace pelmora::tool
