#include "tool/cli/preview_lit.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "preview/lit/light_checks.h"
#include "preview/lit/lit_render.h"
#include "preview/lit/lux_picture.h"
#include "preview/lit/probe.h"
#include "preview/png_file.h"
#include "tool/convert/name_decoder.h"
#include "tool/output/exit_status.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {

namespace {

using Json = nlohmann::ordered_json;
constexpr auto kReplace = Json::error_handler_t::replace;

int fail(const std::string& message) { return toolMessage(kExitFailure, "preview", message); }
int badInput(const std::string& message) { return toolMessage(kExitUsage, "preview", message); }

std::string number(double value, const char* format = "%.4g") {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string pointText(const preview::Vec3d& p) {
    return "(" + number(p.x, "%.4f") + ", " + number(p.y, "%.4f") + ", " + number(p.z, "%.4f") + ")";
}

struct Names {
    std::vector<std::string> meshes, lights;
};

Names namesOf(const preview::LitScene& lit, const NameDecoder& decode) {
    Names names;
    for (const auto& mesh : lit.meshes()) names.meshes.push_back(decode(mesh.name));
    for (const auto& light : lit.lights()) names.lights.push_back(decode(light.name));
    return names;
}

// Where the probe stands: the point given, or what the pixel shows.
std::optional<preview::SurfacePoint> probedSurface(const LitRequest& request, const preview::LitScene& lit,
                                                   const preview::RenderReport& view, int& status) {
    if (request.probePixel) {
        const auto [x, y] = *request.probePixel;
        if (x < 0 || y < 0 || x >= view.view.width || y >= view.view.height) {
            status = badInput("--probe " + std::to_string(x) + "," + std::to_string(y) + " is outside the " +
                              std::to_string(view.view.width) + "x" + std::to_string(view.view.height) + " picture");
            return std::nullopt;
        }
        auto surface = preview::surfaceAtPixel(lit, view.view, x, y);
        if (!surface) status = badInput("pixel " + std::to_string(x) + "," + std::to_string(y) + " shows no surface");
        return surface;
    }
    // A point typed from `inspect`'s listing is good to a millimetre or so.
    const double tolerance = std::max(0.01, 1e-4 * lit.radius());
    double nearest = 0.0;
    // The side probed is the side the picture sees: the camera's, or the
    // framing view's from above, as a drawing's faces have no reliable front.
    auto surface = preview::surfaceNear(lit, *request.probePoint, &view.view.eye, tolerance, nearest);
    if (!surface)
        status = badInput("--probe-point " + pointText(*request.probePoint) + " lies on no surface" +
                          (std::isfinite(nearest) ? " (the nearest is " + number(nearest) + " m away)" : "") +
                          "; give a point on a surface, in the coordinates `pelmora inspect --geometry` shows");
    return surface;
}

void reportProbe(const preview::ProbeReport& report, const Names& names, Json& out, bool json) {
    const std::string surface = names.meshes[report.point.mesh];
    out["illuminance"] = report.illuminance;
    out["unit"] = "lx";
    out["point"] = {report.point.position.x, report.point.position.y, report.point.position.z};
    out["surface"] = surface;
    Json lights = Json::array();
    for (std::size_t l = 0; l < report.shares.size(); ++l) {
        const std::string reason = preview::reasonText(report.shares[l], names.meshes);
        lights.push_back({{"name", names.lights[l]},
                          {"illuminance", report.shares[l].illuminance},
                          {"reason", reason.empty() ? Json(nullptr) : Json(reason)}});
    }
    out["lights"] = std::move(lights);
    if (json) return;
    std::cout << "illuminance at " << pointText(report.point.position) << " on " << surface << ": "
              << number(report.illuminance) << " lx\n";
    for (const Json& light : out["lights"]) {
        std::cout << "  " << light["name"].get<std::string>() << ": " << number(light["illuminance"].get<double>())
                  << " lx";
        if (!light["reason"].is_null()) std::cout << " (" << light["reason"].get<std::string>() << ")";
        std::cout << "\n";
    }
}

std::string exposureNote(const preview::LitPicture& picture) {
    return "exposure EV " + number(picture.exposure, "%.2f") +
           (picture.exposureChosen ? " (chosen from the picture: its mean luminance shown as mid-grey)"
                                   : " (as given)");
}

// Writes the pictures asked for; gives kExitOk or the failure's status.
int writePictures(const LitRequest& request, const preview::LitPicture& picture, Json& out,
                  std::vector<std::string>& written) {
    try {
        if (!request.picture.empty()) {
            preview::writePngFile(picture.image, request.picture);
            written.push_back(request.picture);
            out["picture"] = request.picture;
        }
        if (!request.luxPicture.empty()) {
            const preview::LuxScale scale = preview::luxScaleOf(picture.illuminance);
            preview::writePngFile(
                preview::luxPicture(picture.illuminance, picture.image.width, picture.image.height, scale),
                request.luxPicture);
            written.push_back(request.luxPicture + " (illuminance from " + number(std::pow(10.0, scale.lowDecade)) +
                              " to " + number(std::pow(10.0, scale.highDecade)) + " lx, log scale)");
            out["lux"] = request.luxPicture;
            out["luxScale"] = {std::pow(10.0, scale.lowDecade), std::pow(10.0, scale.highDecade)};
        }
    } catch (const preview::PictureError& error) { return fail(error.what()); }
    out["exposure"] = picture.exposure;
    out["exposureChosen"] = picture.exposureChosen;
    return kExitOk;
}

}  // namespace

int runLitPreview(const LitRequest& request, const preview::PreviewScene& scene,
                  const preview::RenderOptions& options) {
    const NameDecoder decode(request.codePage);
    std::optional<preview::LitScene> lit;
    try {
        lit.emplace(scene, preview::LitSettings{request.lightScale, request.pictureFolders});
    } catch (const std::runtime_error& error) { return fail(error.what()); }
    const Names names = namesOf(*lit, decode);
    const preview::RenderReport view = preview::viewFor(scene, options);
    Json out = {{"scene", request.scene}};
    Json warnings = Json::array();
    for (const std::string& problem : lit->problems()) warnings.push_back("texture " + decode(problem));

    if (!request.picture.empty() || !request.luxPicture.empty()) {
        const preview::LitPicture picture = preview::renderLit(*lit, view.view, request.exposure);
        std::vector<std::string> written;
        if (const int status = writePictures(request, picture, out, written); status != kExitOk) return status;
        for (const auto& warning : preview::checkLights(*lit, picture))
            warnings.push_back(preview::warningText(warning, names.lights, names.meshes));
        if (!request.json) {
            toolMessage("preview", request.scene + ": " + view.viewNote + "; lit by " +
                                       counted(static_cast<long long>(lit->lights().size()), "light", "lights") + ", " +
                                       exposureNote(picture));
            for (const std::string& file : written) toolMessage("preview", "wrote " + file);
        }
    }
    int status = kExitOk;
    if (request.probePoint || request.probePixel) {
        const auto surface = probedSurface(request, *lit, view, status);
        if (!surface) return status;
        reportProbe(preview::probe(*lit, *surface), names, out, request.json);
    }
    out["warnings"] = warnings;
    if (request.json) std::cout << out.dump(2, ' ', false, kReplace) << "\n";
    else
        for (const Json& warning : warnings) toolMessage("preview", "warning: " + warning.get<std::string>());
    std::cout.flush();
    return kExitOk;
}

}  // namespace pelmora::tool
