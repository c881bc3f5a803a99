// pelmora preview SCENE.qmx -o VIEW.png: a flat-shaded software picture of a
// QMX scene seen from its own camera, to check framing, colours and lights
// before the file goes to the renderer.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "preview/png_file.h"
#include "preview/preview_scene.h"
#include "preview/render_preview.h"
#include "qmxread/read_error.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/commands.h"
#include "tool/cli/output_checks.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {

namespace {

constexpr OutputRule kPictureRule{"-o", "a PNG picture", "view.png"};

struct PreviewRequest {
    std::string scene;
    std::string picture;
    std::string size;
    bool lights = false;
    bool edges = false;
    bool force = false;
};

int fail(const std::string& message) { return toolMessage(kExitFailure, "preview", message); }
int badInput(const std::string& message) { return toolMessage(kExitUsage, "preview", message); }

// "WxH" within the sizes the renderer accepts.
bool parseSize(const std::string& text, int& width, int& height) {
    const auto cross = text.find_first_of("xX");
    if (cross == std::string::npos || cross == 0 || cross + 1 >= text.size()) return false;
    try {
        std::size_t usedW = 0, usedH = 0;
        const std::string w = text.substr(0, cross), h = text.substr(cross + 1);
        const long wide = std::stol(w, &usedW), high = std::stol(h, &usedH);
        if (usedW != w.size() || usedH != h.size()) return false;
        if (!preview::pictureSizeAccepted(wide, high)) return false;
        width = static_cast<int>(wide);
        height = static_cast<int>(high);
        return true;
    } catch (const std::exception&) { return false; }
}

int runPreview(const PreviewRequest& request) {
    preview::RenderOptions options;
    options.lights = request.lights;
    options.edges = request.edges;
    if (!request.size.empty() && !parseSize(request.size, options.width, options.height))
        return badInput("--size wants WIDTHxHEIGHT, each from 1 to " + std::to_string(preview::kMaxSide) +
                        " and at most " + std::to_string(preview::kMaxPixels) + " pixels (got \"" + request.size +
                        "\")");
    std::error_code ec;
    if (std::filesystem::exists(request.picture, ec) && std::filesystem::equivalent(request.scene, request.picture, ec))
        return badInput(request.picture + " is the scene file; write the picture to another path");
    if (const std::string refusal = outputRefusal(request.picture, request.force, kPictureRule); !refusal.empty())
        return badInput(refusal);

    preview::PreviewScene scene;
    try {
        scene = preview::loadPreviewScene(request.scene);
    } catch (const qmxread::ReadError& error) { return fail(error.what()); }
    const preview::RenderResult result = preview::renderPreview(scene, options);
    try {
        preview::writePngFile(result.image, request.picture);
    } catch (const preview::PictureError& error) { return fail(error.what()); }
    const auto& report = result.report;
    toolMessage("preview", request.scene + ": " + report.viewNote);
    std::string lights;
    if (request.lights)
        lights = ", " + std::to_string(report.lightsMarked) + " of " +
                 counted(static_cast<long long>(scene.lights.size()), "light", "lights") + " in the picture";
    return toolMessage(kExitOk, "preview",
                       "wrote " + request.picture + " (" + std::to_string(result.image.width) + "x" +
                           std::to_string(result.image.height) + ", " +
                           counted(static_cast<long long>(report.polygons), "polygon", "polygons") + " in " +
                           counted(static_cast<long long>(report.meshes), "mesh", "meshes") + lights + ")");
}

}  // namespace

std::string previewUnavailable() { return {}; }

int previewAfterExport(const std::string& scenePath, const std::string& picturePath) {
    PreviewRequest request;
    request.scene = scenePath;
    request.picture = picturePath;
    request.force = true;  // the export checked the picture's path before it ran
    return runPreview(request);
}

Runner addPreviewCommand(CLI::App& app) {
    auto request = std::make_shared<PreviewRequest>();
    CLI::App* cmd = app.add_subcommand(
        "preview",
        "Render a QMX scene file from its camera into a PNG picture: flat-shaded in each mesh's material colour, "
        "with a depth buffer. A scene without a usable camera is seen from a default position that frames it. "
        "Exit status: 0 written, 1 unreadable scene or picture not written, 2 bad command line.");
    cmd->add_option("SCENE", request->scene, "QMX file to render")->required()->check(existingFile("a QMX file"));
    cmd->add_option("-o,--output", request->picture, "PNG file to write")->required();
    cmd->add_flag("--force", request->force, "replace the picture when it exists");
    cmd->add_option("--size", request->size,
                    "picture size WIDTHxHEIGHT (default: the camera's picture size, else 1280x720)");
    cmd->add_flag("--lights", request->lights, "mark each light (disc) and its target (cross, joined by a line)");
    cmd->add_flag("--edges", request->edges, "outline every polygon");
    return [request] { return runPreview(*request); };
}

}  // namespace pelmora::tool
