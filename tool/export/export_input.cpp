#include "tool/export/export_input.h"

#include <chrono>
#include <cstdio>
#include <string_view>

#include "base/ascii_case.h"
#include "hostsim/document/record_check.h"
#include "platform/file_creation.h"
#include "platform/file_status.h"
#include "platform/interrupt.h"
#include "platform/path_text.h"
#include "tool/export/drawing_code_page.h"
#include "tool/import/model_import.h"
#include "tool/output/exit_status.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

constexpr auto kLockWait = std::chrono::minutes(10);

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

std::string fileName(const std::string& path) { return system::textOf(system::pathOf(path).filename()); }

// What is wrong, without the JSON path the error's text begins with.
std::string_view reasonOf(const hostsim::DocumentError& bad) {
    std::string_view text = bad.what();
    if (!bad.path().empty() && text.substr(0, bad.path().size() + 2) == bad.path() + ": ")
        text.remove_prefix(bad.path().size() + 2);
    return text;
}

void reportDocumentError(const std::string& path, const hostsim::DocumentError& bad, ExportReporter& report) {
    if (bad.path() == "pelmoraDrawing" && reasonOf(bad) == "required key is missing")
        report.error(path +
                     " is not a Pelmora drawing document (it has no \"pelmoraDrawing\" format "
                     "version); see examples/house.json and docs/drawing-format.md");
    else if (bad.path().empty())
        report.error(path + " cannot be read as a drawing document: " + bad.what() + " (see docs/drawing-format.md)");
    else report.error(path + ": at " + bad.path() + ": " + std::string(reasonOf(bad)));
}

// The drawing's lock, waited for while another export holds it (at most
// kLockWait, or until Ctrl+C). Without it the export still runs, and the
// write-back says why it cannot keep the records.
system::FileLock lockDrawing(const std::string& path, ExportReporter& report) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(system::pathOf(path), error);
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    bool told = false;
    return system::FileLock::take(error ? path : system::textOf(real), [&] {
        if (!told) report.note("waiting for another export of " + path + " to finish");
        told = true;
        return !InterruptScope::raised() && std::chrono::steady_clock::now() < deadline;
    });
}

int loadDrawingDocument(const ExportRequest& request, int firstByte, ExportReporter& report, ProgressLine& progress,
                        hostsim::Drawing& drawing, LoadedInput& loaded) {
    const std::string& path = request.drawingPath;
    if (firstByte == EOF) {
        report.error(path +
                     " is empty; a drawing document is a JSON object (see examples/house.json and "
                     "docs/drawing-format.md)");
        return kExitUsage;
    }
    if (const long names = system::linkCount(path); names > 1 && !request.dryRun) {
        // Its light records are written to a new file put in its place: the
        // other names would keep the old text, and the two would differ.
        report.error(path + " has " + std::to_string(names) +
                     " names (hard links), and its light records can be written under only one of them; nothing "
                     "was exported. Export a copy of it (cp " +
                     path + " copy.json), or remove its other names, or give --dry-run");
        return kExitUsage;
    }
    if (!request.dryRun) {
        loaded.lock = lockDrawing(path, report);
        if (InterruptScope::raised()) return kExitCancelled;
        if (loaded.lock.held()) InterruptScope::removeOnQuit(InterruptScope::kLockSlot, loaded.lock.lockPath());
    }
    progress.phase("loading " + fileName(path));
    // Taken before the reading, so that a change made while it reads counts as a change.
    loaded.asRead = system::FileIdentity::of(path);
    try {
        std::vector<std::string> cutAtNul;
        drawing = hostsim::loadDrawing(path, loaded.bytesHash, &cutAtNul);
        hostsim::checkRecordSizes(drawing);
        for (const std::string& at : cutAtNul)
            report.warning(path + ": at " + at +
                           ": the text holds a NUL character (\\u0000); the plug-in reads it only up to there, so it "
                           "may become the same as another name");
    } catch (const hostsim::DocumentError& bad) {
        reportDocumentError(path, bad, report);
        return kExitUsage;
    }
    if (const std::string refusal = drawingCodePageRefusal(path, drawing.codePage); !refusal.empty()) {
        report.error(refusal);
        return kExitUsage;
    }
    return kExitOk;
}

int importModelFile(const ExportRequest& request, std::chrono::steady_clock::time_point started, ExportReporter& report,
                    ProgressLine& progress, hostsim::Drawing& drawing, LoadedInput& loaded) {
    const std::string& path = request.drawingPath;
    progress.phase("reading " + fileName(path));
    ModelImportOptions options = request.model;
    options.startedAt = started;  // the time spent telling the kind counts too
    options.progress = [&progress](double done) {
        progress.fraction(done);
        return !InterruptScope::raised();
    };
    options.phase = [&progress, &path](ImportPhase phase) {
        progress.phase((phase == ImportPhase::Converting ? "converting " : "taking over ") + fileName(path));
    };
    options.warning = [&report](const std::string& text) { report.warning(text); };
    options.material = [&loaded](const ImportedMaterial& material) { loaded.materials.push_back(material); };
    try {
        drawing = importModel(path, options);
        hostsim::checkRecordSizes(drawing);
    } catch (const hostsim::DocumentError& bad) {
        report.error(path + (bad.path().empty() ? "" : ": at " + bad.path()) + ": " + std::string(reasonOf(bad)));
        return kExitUsage;
    } catch (const ModelImportError& bad) {
        if (InterruptScope::raised()) return kExitCancelled;
        report.error(bad.what());
        return kExitUsage;
    }
    // A model file has no selection: every object counts as selected.
    return kExitOk;
}

}  // namespace

int loadExportInput(const ExportRequest& request, ExportReporter& report, ProgressLine& progress,
                    hostsim::Drawing& drawing, LoadedInput& loaded) {
    const std::string& path = request.drawingPath;
    const auto started = std::chrono::steady_clock::now();
    // Asked before anything opens it: a named pipe would hold the run until a writer came.
    if (const std::string refusal = system::inputFileRefusal(path, "a drawing document (.json) or a 3D model file");
        !refusal.empty()) {
        report.error(refusal);
        return kExitUsage;
    }
    // The first byte tells a drawing named otherwise, an empty file, and JSON named as a model.
    const std::string ext = base::lowerExtension(path);
    const int firstByte = firstNonSpace(path);
    loaded.kind = kindOf(ext, isModelFile(path), firstByte);
    if (loaded.kind == InputKind::Drawing)
        return loadDrawingDocument(request, firstByte, report, progress, drawing, loaded);
    if (ext != ".gltf" && firstByte == '{') {
        report.error(path + " holds JSON, not a " + (ext.empty() ? "model" : ext.substr(1)) +
                     " model; a drawing document must be named *.json (see examples/house.json)");
        return kExitUsage;
    }
    return importModelFile(request, started, report, progress, drawing, loaded);
}

}  // namespace pelmora::tool
