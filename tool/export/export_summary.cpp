#include "tool/export/export_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "qmxread/qmx_reader.h"
#include "tool/output/progress_line.h"

namespace pelmora::tool {
namespace {

using qmxread::kCameraNode;
using qmxread::kLightNode;
using qmxread::kMeshNode;

bool finite(const base::Vec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void countMesh(const qmxread::MeshPayload& mesh, ExportSummary& summary) {
    summary.vertices += mesh.vertexCount;
    summary.polygons += mesh.polygonCount;
    for (const auto& v : mesh.vertices)
        if (!finite(v)) ++summary.nonFiniteCoordinates;
}

void visit(const qmxread::Node& node, const NameDecoder& names, ExportSummary& summary,
           std::set<std::string>& textures) {
    if (node.type == kCameraNode) summary.camera = true;
    if (node.type == kLightNode) ++summary.lights;
    if (node.type == kMeshNode) {
        ++summary.meshes;
        const std::string name = names(node.name);
        (node.motions.empty() ? summary.classesWithoutTemplate : summary.classesWithTemplate).push_back(name);
    }
    for (const auto& motion : node.motions) {
        if (!motion.payload) continue;
        if (motion.name == "motionTexture") {
            const auto* file = motion.payload->find("fileName");
            if (file && !file->text.empty()) textures.insert(names(file->text));
        } else if (motion.name == "motionTranslate") {
            const auto* t = motion.payload->find("translation");
            if (t)
                for (float f : t->floats)
                    if (!std::isfinite(f)) {
                        ++summary.nonFiniteCoordinates;
                        break;
                    }
        }
    }
    for (const auto& child : node.children) visit(child, names, summary, textures);
}

std::string joined(const std::vector<std::string>& names, std::size_t most) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < most; ++i) text += (i ? ", " : "") + names[i];
    if (names.size() > most) text += ", \xE2\x80\xA6 (" + std::to_string(names.size() - most) + " more)";
    return text;
}

}  // namespace

bool readWrittenScene(const std::string& path, ExportSummary& summary, const NameDecoder& names) {
    qmxread::QmxFile file;
    // Each mesh counted as it is read and let go: the file's meshes decoded
    // at once took about four times the file.
    qmxread::ReadOptions options;
    options.meshRead = [&summary](const qmxread::MeshPayload& mesh) { countMesh(mesh, summary); };
    try {
        file = qmxread::readQmxFile(path, options);
    } catch (const std::exception& bad) {
        summary.vertices = summary.polygons = summary.nonFiniteCoordinates = 0;  // a file that does not read has none
        summary.errors.push_back("the written file does not read back: " + std::string(bad.what()));
        return false;
    }
    std::set<std::string> textures;
    for (const auto& root : file.roots) visit(root, names, summary, textures);
    summary.textures.assign(textures.begin(), textures.end());
    if (summary.nonFiniteCoordinates > 0)
        summary.warnings.push_back(
            "the file holds " + std::to_string(summary.nonFiniteCoordinates) +
            " coordinates that are not finite numbers (a drawing coordinate too large for a 32-bit float in "
            "metres); a renderer will not show those parts: check the drawing's units and far-away objects");
    summary.sceneRead = true;
    return true;
}

std::string summaryText(const ExportSummary& s) {
    std::string text;
    auto line = [&text](const std::string& l) { text += (text.empty() ? "" : "\n") + l; };
    if (s.mode) line("  mode      " + std::to_string(*s.mode) + (s.modeGiven ? " (--mode)" : " (remembered)"));
    if (s.sceneRead) {
        line(std::string("  camera    ") + (s.camera ? "yes" : "no (the view is not a perspective view)"));
        line("  lights    " + std::to_string(s.lights));
        line("  meshes    " + ProgressLine::countText(s.meshes) + " (" + ProgressLine::countText(s.vertices) +
             " vertices, " + ProgressLine::countText(s.polygons) + " polygons)");
        line("  classes   " + std::to_string(s.classesWithTemplate.size()) + " with a template" +
             (s.classesWithTemplate.empty() ? "" : ": " + joined(s.classesWithTemplate, 8)));
        line("            " + std::to_string(s.classesWithoutTemplate.size()) + " without" +
             (s.classesWithoutTemplate.empty() ? "" : ": " + joined(s.classesWithoutTemplate, 8)));
        line("  textures  " + std::to_string(s.textures.size()) +
             (s.textures.empty() ? "" : ": " + joined(s.textures, 8)));
    }
    char time[64];
    std::snprintf(time, sizeof time, "%.2f s", s.seconds);
    if (s.status == "written" || s.status == "written-drawing-not-updated" || s.status == "dry-run")
        line("  size      " + ProgressLine::bytesText(s.bytes) + " (" + std::to_string(s.bytes) + " bytes)" +
             (s.status == "dry-run" ? ", not written" : "") + ", " + time);
    return text;
}

nlohmann::ordered_json summaryJson(const ExportSummary& s) {
    nlohmann::ordered_json out;
    out["status"] = s.status;
    out["exitStatus"] = s.exitStatus;
    out["input"] = s.input;
    out["output"] = s.output;
    out["mode"] = s.mode ? nlohmann::ordered_json(*s.mode) : nlohmann::ordered_json();
    out["modeSource"] = s.mode ? (s.modeGiven ? "--mode" : "remembered") : nlohmann::ordered_json();
    if (!s.drawingNotUpdated.empty()) out["drawingNotUpdated"] = s.drawingNotUpdated;
    if (s.sceneRead) {
        out["camera"] = s.camera;
        out["lights"] = s.lights;
        out["meshes"] = s.meshes;
        out["vertices"] = s.vertices;
        out["polygons"] = s.polygons;
        out["classesWithTemplate"] = s.classesWithTemplate;
        out["classesWithoutTemplate"] = s.classesWithoutTemplate;
        out["textures"] = s.textures;
        out["nonFiniteCoordinates"] = s.nonFiniteCoordinates;
        out["bytes"] = s.bytes;
    }
    out["seconds"] = std::round(s.seconds * 1000.0) / 1000.0;
    out["messages"] = s.messages;
    out["warnings"] = s.warnings;
    out["errors"] = s.errors;
    return out;
}

}  // namespace pelmora::tool
