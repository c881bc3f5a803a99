#include "preview/lit/lit_render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "preview/lit/lighting.h"

namespace pelmora::preview {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Transparent surfaces seen through each other: at most this many are shaded.
constexpr int kMostLayers = 8;
constexpr unsigned kMostWorkers = 16;

struct Radiance {
    std::array<double, 3> reflected{};  // cd/m² per channel
    std::array<double, 3> glow{};       // emissive colour, shown as it is
    double background = 1.0;            // how much of the background shows
};

double encodeSrgb(double linear) {
    linear = std::clamp(linear, 0.0, 1.0);
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

std::uint8_t toByte(double value) { return static_cast<std::uint8_t>(std::clamp(value, 0.0, 1.0) * 255.0 + 0.5); }

// One pixel: the surfaces along its ray, nearest first, each showing what its
// transparency leaves of it.
Radiance tracePixel(const LitScene& scene, const Vec3d& eye, const Vec3d& direction, float& illuminance,
                    std::vector<double>& brightestPerLight) {
    Radiance out;
    double near = 0.0;
    for (int layer = 0; layer < kMostLayers && out.background > 0.0; ++layer) {
        const RayScene::Hit hit = scene.rays().firstHit(eye, direction, near, std::numeric_limits<double>::infinity());
        if (!hit.found) return out;
        const SurfacePoint point = surfaceOf(scene, hit, eye, direction);
        const LitSurface& surface = scene.meshes()[hit.mesh].surface;
        const std::array<double, 3> albedo = albedoAt(scene, point);
        const double shown = out.background * (1.0 - surface.transparency);
        double total = 0.0;
        for (std::size_t l = 0; l < scene.lights().size(); ++l) {
            const LightShare share = shareOf(scene, scene.lights()[l], point, false);
            total += share.illuminance;
            if (layer == 0) brightestPerLight[l] = std::max(brightestPerLight[l], share.illuminance);
            for (int i = 0; i < 3; ++i) out.reflected[i] += shown * albedo[i] * share.rgb[i] / kPi;
        }
        for (int i = 0; i < 3; ++i) out.glow[i] += shown * surface.emissive[i];
        if (layer == 0) illuminance = static_cast<float>(total);
        out.background *= surface.transparency;
        near = hit.distance + scene.offset();
    }
    return out;
}

double chooseExposure(const std::vector<Radiance>& pixels) {
    double logSum = 0.0;
    std::size_t counted = 0;
    for (const Radiance& r : pixels) {
        const double luminance = luminanceOf(r.reflected);
        if (luminance > 0.0 && std::isfinite(luminance)) {
            logSum += std::log(luminance);
            ++counted;
        }
    }
    // A picture without light: the exposure of a dim room.
    return exposureForLuminance(counted ? std::exp(logSum / static_cast<double>(counted)) : 10.0);
}

// Rows y = first, first + step, ...: each worker keeps its own brightest values.
struct Rows {
    double brightest = 0.0;
    std::vector<double> brightestPerLight;
};

void traceRows(const LitScene& scene, const View& view, int first, int step, LitPicture& out,
               std::vector<Radiance>& pixels, Rows& rows) {
    rows.brightestPerLight.assign(scene.lights().size(), 0.0);
    for (int y = first; y < view.height; y += step)
        for (int x = 0; x < view.width; ++x) {
            const std::size_t pixel = out.image.index(x, y);
            pixels[pixel] = tracePixel(scene, view.eye, pixelRay(view, x + 0.5, y + 0.5), out.illuminance[pixel],
                                       rows.brightestPerLight);
            rows.brightest = std::max(rows.brightest, static_cast<double>(out.illuminance[pixel]));
        }
}

}  // namespace

Vec3d pixelRay(const View& view, double x, double y) {
    const double cx = (x - view.centreX) / view.focal, cy = (view.centreY - y) / view.focal;
    return base::normalised(view.right * cx + view.up * cy + view.forward);
}

double exposureForLuminance(double luminance) { return std::log2(luminance * 100.0 / 12.5); }

double whiteAt(double exposure) { return 1.2 * std::exp2(exposure); }

LitPicture renderLit(const LitScene& scene, const View& view, std::optional<double> exposure) {
    LitPicture out;
    out.image = Image(view.width, view.height);
    out.illuminance.assign(static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height), -1.0f);
    std::vector<Radiance> pixels(out.illuminance.size());
    // Rows interleaved over the cores: each pixel is the same whoever traces it.
    const int workers = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers));
    std::vector<Rows> rows(static_cast<std::size_t>(workers));
    std::vector<std::thread> threads;
    for (int w = 1; w < workers; ++w)
        threads.emplace_back(traceRows, std::cref(scene), std::cref(view), w, workers, std::ref(out), std::ref(pixels),
                             std::ref(rows[static_cast<std::size_t>(w)]));
    traceRows(scene, view, 0, workers, out, pixels, rows[0]);
    for (std::thread& thread : threads) thread.join();
    out.brightestPerLight.assign(scene.lights().size(), 0.0);
    for (const Rows& part : rows) {
        out.brightest = std::max(out.brightest, part.brightest);
        for (std::size_t l = 0; l < part.brightestPerLight.size(); ++l)
            out.brightestPerLight[l] = std::max(out.brightestPerLight[l], part.brightestPerLight[l]);
    }
    out.exposureChosen = !exposure.has_value();
    out.exposure = exposure ? *exposure : chooseExposure(pixels);
    const double scale = 1.0 / whiteAt(out.exposure);
    const double background[3] = {kLitBackground.red / 255.0, kLitBackground.green / 255.0,
                                  kLitBackground.blue / 255.0};
    for (std::size_t pixel = 0; pixel < pixels.size(); ++pixel) {
        const Radiance& r = pixels[pixel];
        std::array<std::uint8_t, 3> shown{};
        for (int i = 0; i < 3; ++i)
            shown[i] = toByte(encodeSrgb(r.reflected[i] * scale + r.glow[i]) + r.background * background[i]);
        out.image.set(pixel, {shown[0], shown[1], shown[2]});
    }
    return out;
}

}  // namespace pelmora::preview
