// pelmora preview SCENE.qmx -o VIEW.png: a flat-shaded software picture of a
// QMX scene seen from its own camera, to check framing, colours and lights
// before the file goes to the renderer; with --lit, --lux or a probe, what the
// scene's own lights do (tool/cli/preview_lit.h).
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "preview/png_file.h"
#include "preview/preview_scene.h"
#include "preview/render_preview.h"
#include "qmxread/read_error.h"
#include "tool/cli/cli_checks.h"
#include "tool/cli/code_page_option.h"
#include "tool/cli/commands.h"
#include "tool/cli/output_checks.h"
#include "tool/cli/picture_folders.h"
#include "tool/cli/preview_lit.h"
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
    // The lit preview, the false colours and the probe.
    bool lit = false;
    std::string luxPicture;
    std::string probePoint, probePixel;
    std::optional<double> exposure;
    double lightScale = preview::kDefaultLightScale;
    std::vector<std::string> textureFolders;
    int codePage = kDefaultNameCodePage;
    bool json = false;

    bool anyLit() const { return lit || !luxPicture.empty() || !probePoint.empty() || !probePixel.empty(); }
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

// "A,B" or "A,B,C": numbers, each finite, as many as asked.
bool parseNumbers(const std::string& text, std::size_t count, std::vector<double>& out) {
    out.clear();
    std::size_t from = 0;
    while (out.size() < count) {
        const std::size_t comma = text.find(',', from);
        const std::string part = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        try {
            std::size_t used = 0;
            const double value = std::stod(part, &used);
            if (used != part.size() || !std::isfinite(value)) return false;
            out.push_back(value);
        } catch (const std::exception&) { return false; }
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return out.size() == count && text.find(',', from) == std::string::npos;
}

// The lit options checked into a LitRequest; gives kExitOk or the refusal's status.
int litRequestOf(const PreviewRequest& request, LitRequest& lit) {
    lit.scene = request.scene;
    lit.picture = request.lit ? request.picture : std::string();
    lit.luxPicture = request.luxPicture;
    lit.exposure = request.exposure;
    lit.lightScale = request.lightScale;
    lit.codePage = request.codePage;
    lit.json = request.json;
    lit.pictureFolders = pictureFolders(request.textureFolders, request.scene);
    std::vector<double> numbers;
    if (!request.probePoint.empty()) {
        if (!parseNumbers(request.probePoint, 3, numbers))
            return badInput("--probe-point wants X,Y,Z in the scene's coordinates (got \"" + request.probePoint +
                            "\")");
        lit.probePoint = preview::Vec3d{numbers[0], numbers[1], numbers[2]};
    }
    if (!request.probePixel.empty()) {
        if (!parseNumbers(request.probePixel, 2, numbers) || numbers[0] != std::floor(numbers[0]) ||
            numbers[1] != std::floor(numbers[1]) || std::abs(numbers[0]) > 1e6 || std::abs(numbers[1]) > 1e6)
            return badInput("--probe wants the pixel X,Y, whole numbers from the top left (got \"" +
                            request.probePixel + "\")");
        lit.probePixel = std::pair<int, int>{static_cast<int>(numbers[0]), static_cast<int>(numbers[1])};
    }
    if (lit.probePoint && lit.probePixel) return badInput("give --probe-point or --probe, not both");
    if (request.exposure && !request.lit) return badInput("--exposure sets the --lit picture's exposure; add --lit");
    if (request.lit && request.picture.empty()) return badInput("--lit needs the picture to write: -o VIEW.png");
    return kExitOk;
}

int runPreview(const PreviewRequest& request) {
    preview::RenderOptions options;
    options.lights = request.lights;
    options.edges = request.edges;
    if (!request.size.empty() && !parseSize(request.size, options.width, options.height))
        return badInput("--size wants WIDTHxHEIGHT, each from 1 to " + std::to_string(preview::kMaxSide) +
                        " and at most " + std::to_string(preview::kMaxPixels) + " pixels (got \"" + request.size +
                        "\")");
    LitRequest lit;
    if (const int status = litRequestOf(request, lit); status != kExitOk) return status;
    if (request.picture.empty() && !request.anyLit())
        return badInput("nothing to do: give -o VIEW.png, --lux LUX.png, --probe-point X,Y,Z or --probe X,Y");
    for (const std::string* picture : {&request.picture, &request.luxPicture}) {
        if (picture->empty()) continue;
        std::error_code ec;
        if (std::filesystem::exists(*picture, ec) && std::filesystem::equivalent(request.scene, *picture, ec))
            return badInput(*picture + " is the scene file; write the picture to another path");
        if (const std::string refusal = outputRefusal(*picture, request.force, kPictureRule); !refusal.empty())
            return badInput(refusal);
    }
    if (!request.luxPicture.empty() && request.luxPicture == request.picture)
        return badInput("-o and --lux name the same file; give each picture its own");

    preview::PreviewScene scene;
    try {
        scene = preview::loadPreviewScene(request.scene);
    } catch (const qmxread::ReadError& error) { return fail(error.what()); }
    if (request.anyLit()) {
        if (const int status = runLitPreview(lit, scene, options);
            status != kExitOk || request.lit || request.picture.empty())
            return status;
    }
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
    cmd->add_option("-o,--output", request->picture, "PNG file to write");
    cmd->add_flag("--force", request->force, "replace the picture when it exists");
    cmd->add_option("--size", request->size,
                    "picture size WIDTHxHEIGHT (default: the camera's picture size, else 1280x720)");
    cmd->add_flag("--lights", request->lights, "mark each light (disc) and its target (cross, joined by a line)");
    cmd->add_flag("--edges", request->edges, "outline every polygon");
    cmd->add_flag("--lit", request->lit,
                  "light the picture by the scene's own lights only: shadows, textures, smoothed normals "
                  "(docs/light-model.md)");
    cmd->add_option("--exposure", request->exposure,
                    "--lit: the exposure in EV at ISO 100 (default: chosen from the picture and said)")
        ->check(CLI::Range(-20.0, 40.0));
    cmd->add_option("--light-scale", request->lightScale,
                    "candela (lux for a sun) a light of host intensity 1 gives (default 1000)")
        ->check(CLI::Range(1e-6, 1e9));
    cmd->add_option("--lux", request->luxPicture,
                    "also write the illuminance as false colours on a log scale, with its legend, to this PNG");
    cmd->add_option("--probe-point", request->probePoint,
                    "print the illuminance at X,Y,Z (a point on a surface, scene coordinates as inspect shows them) "
                    "and what each light gives it");
    cmd->add_option("--probe", request->probePixel, "the same at the surface the picture's pixel X,Y shows");
    cmd->add_option("--textures", request->textureFolders,
                    "--lit: a folder of texture pictures; repeatable, looked in before the scene's folder, its "
                    "textures/ folder and the host folder's Textures/")
        ->check(CLI::ExistingDirectory);
    addCodePageOption(*cmd, request->codePage);
    cmd->add_flag("--json", request->json, "the probe, the exposure and the warnings as one JSON document on stdout");
    return [request] { return runPreview(*request); };
}

}  // namespace pelmora::tool
