#include "tool/export/export_input.h"

#include <cstdio>
#include <filesystem>

#include "hostsim/record_check.h"
#include "tool/cli/commands.h"
#include "tool/export/drawing_code_page.h"
#include "tool/model/model_import.h"
#include "tool/system/file_creation.h"
#include "tool/system/interrupt.h"
#include "tool/system/lower_case.h"
#include "tool/system/path_text.h"

namespace pelmora::tool {
namespace {

namespace fs = std::filesystem;

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

void reportDocumentError(const std::string& path, const hostsim::DocumentError& bad, ExportReporter& report) {
    if (bad.path() == "pelmoraDrawing")
        report.error(path +
                     " is not a Pelmora drawing document (it has no \"pelmoraDrawing\" format "
                     "version); see examples/house.json and docs/drawing-format.md");
    else if (bad.path().empty())
        report.error(path + " cannot be read as a drawing document: " + bad.what() + " (see docs/drawing-format.md)");
    else report.error(path + ": at " + bad.path() + ": " + bad.what());
}

int loadDrawingDocument(const std::string& path, int firstByte, ExportReporter& report, ProgressLine& progress,
                        hostsim::Drawing& drawing, LoadedInput& loaded) {
    if (firstByte == EOF) {
        report.error(path +
                     " is empty; a drawing document is a JSON object (see examples/house.json and "
                     "docs/drawing-format.md)");
        return kExitUsage;
    }
    progress.phase("loading " + fileName(path));
    // Taken before the reading, so that a change made while it reads counts as a change.
    loaded.asRead = system::FileIdentity::of(path);
    try {
        drawing = hostsim::loadDrawing(path);
        hostsim::checkRecordSizes(drawing);
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

int importModelFile(const ExportRequest& request, ExportReporter& report, ProgressLine& progress,
                    hostsim::Drawing& drawing) {
    const std::string& path = request.drawingPath;
    progress.phase("reading " + fileName(path));
    ModelImportOptions options = request.model;
    options.progress = [&progress](double done) {
        progress.fraction(done);
        return !InterruptScope::raised();
    };
    options.warning = [&report](const std::string& text) { report.warning(text); };
    try {
        drawing = importModel(path, options);
        hostsim::checkRecordSizes(drawing);
    } catch (const hostsim::DocumentError& bad) {
        report.error(path + (bad.path().empty() ? "" : ": at " + bad.path()) + ": " + bad.what());
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
    std::error_code error;
    if (!fs::exists(system::pathOf(path), error)) {
        report.error(path + ": no such file");
        return kExitUsage;
    }
    if (fs::is_directory(system::pathOf(path), error)) {
        report.error(path + " is a folder; give a drawing document (.json) or a 3D model file");
        return kExitUsage;
    }
    // The first byte tells a drawing named otherwise, an empty file, and JSON named as a model.
    const std::string ext = lowerExtension(path);
    const int firstByte = firstNonSpace(path);
    loaded.kind = kindOf(ext, isModelFile(path), firstByte);
    if (loaded.kind == InputKind::Drawing)
        return loadDrawingDocument(path, firstByte, report, progress, drawing, loaded);
    if (ext != ".gltf" && firstByte == '{') {
        report.error(path + " holds JSON, not a " + (ext.empty() ? "model" : ext.substr(1)) +
                     " model; a drawing document must be named *.json (see examples/house.json)");
        return kExitUsage;
    }
    return importModelFile(request, report, progress, drawing);
}

}  // namespace pelmora::tool
