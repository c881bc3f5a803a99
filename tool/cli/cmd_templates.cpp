// pelmora templates: lists what the export would load from a host folder's
// Pelmora/ templates and id table, and what it would skip and why.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "hostsim/document/drawing.h"
#include "platform/path_text.h"
#include "plugin/platform/portable_hooks.h"
#include "plugin/templates/template_library.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/commands.h"
#include "tool/export/export_host_dir.h"
#include "tool/export/templates_not_files.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

// Keys in the order written, as the parameter tables list them.
using json = nlohmann::ordered_json;

// A float as the shortest decimal that reads back as the same float, so that
// 0.2f prints as 0.2 and not as the double nearest to it.
double shortest(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    double out = value;
    std::from_chars(text, result.ptr, out);
    return out;
}

struct TemplatesRequest {
    std::string hostDir;
    std::string drawingPath;
    bool asJson = false;
};

json colour(const ColorValue& c) {
    return json::array({shortest(c.red), shortest(c.green), shortest(c.blue), shortest(c.alpha)});
}
template <std::size_t N>
json floats(const float (&v)[N]) {
    json out = json::array();
    for (float f : v) out.push_back(shortest(f));
    return out;
}

// Each parameter object holds only the values a template names.
template <class T>
void putGiven(json& out, const char* key, const Given<T>& field) {
    if (field.given) out[key] = field.value;
}
void putGiven(json& out, const char* key, const ColorValue& field) {
    if (field.given) out[key] = colour(field);
}
void putGiven(json& out, const char* key, const Given<Float2>& field) {
    if (field.given) out[key] = floats(field.value.v);
}
void putGiven(json& out, const char* key, const Given<Float3>& field) {
    if (field.given) out[key] = floats(field.value.v);
}

json layerJson(const MaterialLayer& layer) {
    json out = json::object();
    putGiven(out, "diffuse", layer.diffuse);
    putGiven(out, "specular", layer.specular);
    putGiven(out, "transparent", layer.transparent);
    putGiven(out, "reflexion", layer.reflexion);
    putGiven(out, "ambient", layer.ambient);
    putGiven(out, "emissive", layer.emissive);
    putGiven(out, "specularpower", layer.specularpower);
    putGiven(out, "refractionindex", layer.refractionindex);
    putGiven(out, "maxreflexiondistance", layer.maxreflexiondistance);
    putGiven(out, "maxtransparencedistance", layer.maxtransparencedistance);
    return out;
}

json materialJson(const MaterialParams& material) {
    if (!material.hasMaterial) return nullptr;
    json out = json::object();
    out["kind"] = material.kind;
    putGiven(out, "type", material.type);
    putGiven(out, "noise", material.noise);
    putGiven(out, "noiseamplitude", material.noiseamplitude);
    putGiven(out, "noisefrequence", material.noisefrequence);
    putGiven(out, "size", material.size);
    json layers = json::array();
    for (const MaterialLayer& layer : material.layers) layers.push_back(layerJson(layer));
    out["layers"] = std::move(layers);
    return out;
}

json textureJson(const TextureParams& t) {
    json out = json::object();
    out["fileName"] = t.fileName;
    putGiven(out, "keepratio", t.keepratio);
    putGiven(out, "position", t.position);
    putGiven(out, "size", t.size);
    putGiven(out, "rotate", t.rotate);
    putGiven(out, "repeatx", t.repeatx);
    putGiven(out, "repeaty", t.repeaty);
    putGiven(out, "invertx", t.invertx);
    putGiven(out, "inverty", t.inverty);
    putGiven(out, "bump", t.bump);
    putGiven(out, "apply", t.apply);
    putGiven(out, "mappingtype", t.mappingtype);
    putGiven(out, "cutout", t.cutout);
    putGiven(out, "cutoutcolor", t.cutoutcolor);
    putGiven(out, "deltacutout", t.deltacutout);
    putGiven(out, "mixcolor", t.mixcolor);
    return out;
}

json reportJson(const TemplateLibrary& library, const LoadReport& report, const hostsim::Drawing* drawing) {
    json out = json::object();
    json templates = json::array();
    for (const auto& [name, found] : library.templates()) {
        json entry = json::object();
        entry["name"] = name;
        entry["material"] = materialJson(found->material);
        json textures = json::array();
        for (const TextureParams& t : found->textures) textures.push_back(textureJson(t));
        entry["textures"] = std::move(textures);
        templates.push_back(std::move(entry));
    }
    out["templates"] = std::move(templates);

    std::vector<SkippedTemplate> skipped = report.skipped;
    std::stable_sort(skipped.begin(), skipped.end(),
                     [](const SkippedTemplate& a, const SkippedTemplate& b) { return a.file < b.file; });
    json skippedJson = json::array();
    for (const SkippedTemplate& s : skipped) skippedJson.push_back({{"file", s.file}, {"reason", s.reason}});
    out["skipped"] = std::move(skippedJson);

    json idLines = json::array();
    for (const IdTableLine& line : report.idLines) {
        json entry = {{"name", line.name}, {"value", line.value}};
        if (line.rejected) {
            entry["rejected"] = "class name longer than " + std::to_string(kMaxClassNameLength) + " characters";
        } else if (drawing) {
            entry["class"] = line.classIndex > 0 ? json(line.classIndex) : json(nullptr);
        }
        idLines.push_back(std::move(entry));
    }
    out["idTable"] = {{"file", report.idTablePath}, {"read", report.idTableRead}, {"lines", std::move(idLines)}};
    if (drawing) {
        // The ids the export would give, after later lines have replaced earlier ones.
        json ids = json::array();
        for (const auto& [index, id] : library.idTable()) {
            const auto position = static_cast<std::size_t>(index - 1);
            const std::string name = position < drawing->classes.size() ? drawing->classes[position] : "";
            ids.push_back({{"class", name}, {"index", index}, {"id", id}});
        }
        out["ids"] = std::move(ids);
    }
    return out;
}

std::string text(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// key=value pairs of one parameter object, in the order written.
std::string pairs(const json& object) {
    std::string out;
    for (const auto& [key, value] : object.items()) {
        if (key == "layers") continue;
        out += (out.empty() ? "" : " ") + key + "=" + text(value);
    }
    return out;
}

void printText(const json& report, const std::string& folder, bool withDrawing) {
    std::printf("Templates in %s: %zu\n", folder.c_str(), report["templates"].size());
    for (const json& t : report["templates"]) {
        std::printf("  %s\n", t["name"].get<std::string>().c_str());
        if (t["material"].is_null()) {
            std::printf("    material: none\n");
        } else {
            std::printf("    material: %s\n", pairs(t["material"]).c_str());
            int index = 1;
            for (const json& layer : t["material"]["layers"]) {
                const bool onlyDefault = layer.size() == 1 && layer.contains("diffuse") &&
                                         layer["diffuse"] == json::array({0.0, 0.0, 0.0, 0.0});
                if (index == 1 || !onlyDefault) std::printf("      layer %d: %s\n", index, pairs(layer).c_str());
                ++index;
            }
        }
        int index = 1;
        for (const json& texture : t["textures"]) std::printf("    texture %d: %s\n", index++, pairs(texture).c_str());
    }
    std::printf("Skipped: %zu\n", report["skipped"].size());
    for (const json& s : report["skipped"]) {
        std::printf("  %s: %s\n", s["file"].get<std::string>().c_str(), s["reason"].get<std::string>().c_str());
    }
    const json& table = report["idTable"];
    std::printf("Id table %s: %s\n", table["file"].get<std::string>().c_str(),
                table["read"].get<bool>() ? "read" : "absent or empty");
    for (const json& line : table["lines"]) {
        std::string note;
        if (line.contains("rejected")) note = " (ignored: " + line["rejected"].get<std::string>() + ")";
        else if (withDrawing)
            note = line["class"].is_null() ? " (no such class)" : " (class " + text(line["class"]) + ")";
        std::printf("  %s -> %s%s\n", text(line["name"]).c_str(), text(line["value"]).c_str(), note.c_str());
    }
}

void messageToStderr(const char* message, void*) { std::fprintf(stderr, "%s\n", message); }

int runTemplates(const TemplatesRequest& request) {
    std::string base;
    try {
        base = prepareHostDir(request.hostDir, false);
    } catch (const HostDirError& e) { return toolRefusal(kExitUsage, "templates", e.what(), request.asJson); }
    // As the plug-in's file calls take it (ANSI on Windows).
    std::string narrowBase;
    if (!system::narrowPath(base, narrowBase)) {
        return toolRefusal(kExitUsage, "templates",
                           base +
                               ": the system's ANSI code page, in which the plug-in names files, has no character "
                               "for part of this path",
                           request.asJson);
    }
    std::unique_ptr<hostsim::Drawing> drawing;
    if (!request.drawingPath.empty()) {
        try {
            drawing = std::make_unique<hostsim::Drawing>(hostsim::loadDrawing(request.drawingPath));
        } catch (const hostsim::DocumentError& e) {
            return toolRefusal(kExitUsage, "templates",
                               request.drawingPath + ": " + e.path() + (e.path().empty() ? "" : ": ") + e.what(),
                               request.asJson);
        }
    }

    TemplateLibrary library;
    LoadReport report;
    library.setLoadReport(&report);
    // As the host answers: the class index of a name in the drawing, none without one.
    library.setClassLookup([&drawing](const std::uint8_t* name) -> std::int32_t {
        if (!drawing) return 0;
        const std::string wanted(reinterpret_cast<const char*>(name + 1), name[0]);
        const auto& classes = drawing->classes;
        const auto found = std::find(classes.begin(), classes.end(), wanted);
        return found == classes.end() ? 0 : static_cast<std::int32_t>(found - classes.begin() + 1);
    });
    // The one message the loader may show goes to stderr, as the host would show it.
    PelmoraPortableHooks hooks{};
    hooks.messageBox = &messageToStderr;
    platform::setPortableHooks(&hooks);
    library.loadFrom(narrowBase);
    platform::setPortableHooks(nullptr);
    for (SkippedTemplate& notFile : templatesNotFiles(base)) report.skipped.push_back(std::move(notFile));
    // Shown as the user gave them, in UTF-8.
    for (std::string* shown : {&report.templateFolder, &report.idTablePath})
        if (shown->compare(0, narrowBase.size(), narrowBase) == 0) *shown = base + shown->substr(narrowBase.size());

    const json result = reportJson(library, report, drawing.get());
    if (request.asJson) {
        std::printf("%s\n", result.dump(2, ' ', false, json::error_handler_t::replace).c_str());
    } else {
        printText(result, report.templateFolder, drawing != nullptr);
    }
    return kExitOk;
}

}  // namespace

Runner addTemplatesCommand(CLI::App& app) {
    auto request = std::make_shared<TemplatesRequest>();
    CLI::App* cmd = app.add_subcommand(
        "templates",
        "List the material templates and id table entries an export would load from DIR/Pelmora/, and the "
        "template files it would skip with the reason. Exit status: 0 listed, 2 bad command line, folder or "
        "drawing.");
    cmd->add_option("--host-dir", request->hostDir, "the host's folder (templates and _id_table.txt in DIR/Pelmora/)")
        ->required();
    cmd->add_option("--drawing", request->drawingPath,
                    "a drawing document (JSON): id table names are resolved against its classes")
        ->check(existingFile("a drawing document (.json)"));
    cmd->add_flag("--json", request->asJson, "print the listing as JSON");
    return [request] { return runTemplates(*request); };
}

}  // namespace pelmora::tool
