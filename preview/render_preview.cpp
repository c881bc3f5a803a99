#include "preview/render_preview.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "preview/rasterizer.h"

namespace pelmora::preview {

namespace {

const Vec3d kLightTowards = normalised(Vec3d{-0.4, 0.6, -0.7});  // camera frame
const Rgb kEdgeColour{35, 35, 35};
const Rgb kLightFill{255, 196, 0};
const Rgb kLightOutline{60, 40, 0};
const Rgb kLightLine{230, 120, 0};

std::uint8_t toByte(double value) { return static_cast<std::uint8_t>(std::clamp(value, 0.0, 1.0) * 255.0 + 0.5); }

struct Picture {
    int width, height;
};

Picture pictureSize(const PreviewScene& scene, const RenderOptions& options) {
    if (pictureSizeAccepted(options.width, options.height)) return {options.width, options.height};
    if (scene.camera && pictureSizeAccepted(scene.camera->pictureWidth, scene.camera->pictureHeight))
        return {scene.camera->pictureWidth, scene.camera->pictureHeight};
    return {kDefaultWidth, kDefaultHeight};
}

// A half angle: from nearly nothing to nearly a right angle.
bool usableAngle(double angle) { return std::isfinite(angle) && angle > 1e-4 && angle < 1.55; }

std::string formatPoint(const Vec3d& p) {
    char text[96];
    std::snprintf(text, sizeof text, "(%.3f, %.3f, %.3f)", p.x, p.y, p.z);
    return text;
}

void chooseView(const PreviewScene& scene, Picture size, RenderReport& report) {
    if (scene.camera) {
        const PreviewCamera& camera = *scene.camera;
        double angle = camera.viewAngle;
        std::string angleNote;
        if (!usableAngle(angle)) {
            angleNote = " (its view angle is unusable; " + std::to_string(kDefaultViewAngle) + " taken)";
            angle = kDefaultViewAngle;
        }
        report.view = lookAt(camera.eye, camera.target, angle, size.width, size.height);
        report.fromCamera = true;
        char degrees[32];
        std::snprintf(degrees, sizeof degrees, "%.1f", angle * 180.0 / 3.14159265358979);
        report.viewNote = "seen from its camera at " + formatPoint(camera.eye) + " looking at " +
                          formatPoint(camera.target) + ", view angle " + degrees + " degrees (half the diagonal)" +
                          angleNote;
        return;
    }
    report.view = framingView(sceneBounds(scene), size.width, size.height);
    const std::string why = scene.cameraProblem.empty() ? "the scene has no camera" : scene.cameraProblem;
    report.viewNote = why + ": seen from a default position at " + formatPoint(report.view.eye) +
                      " that frames the scene's bounding box";
}

void paintBackground(Image& image) {
    for (int y = 0; y < image.height; ++y) {
        const Rgb colour = backgroundAt(y, image.height);
        for (int x = 0; x < image.width; ++x) image.set(image.index(x, y), colour);
    }
}

// Newell's normal of a polygon, turned to face the eye (the origin of the frame).
Vec3d facingNormal(const Vec3d* c, std::size_t n) {
    Vec3d normal;
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3d& p = c[i];
        const Vec3d& q = c[i + 1 < n ? i + 1 : 0];
        normal.x += (p.y - q.y) * (p.z + q.z);
        normal.y += (p.z - q.z) * (p.x + q.x);
        normal.z += (p.x - q.x) * (p.y + q.y);
    }
    normal = normalised(normal);
    if (dot(normal, c[0]) > 0.0) normal = normal * -1.0;
    return normal;
}

bool finitePoint(const Vec3d& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

struct Corner {
    Vec3d camera;
    std::array<double, 3> picture;  // x, y, 1 / depth; valid when `inside`
    bool inside;
    bool finite;
};

void drawMesh(const PreviewMesh& mesh, const View& view, Rasterizer& raster, std::vector<Corner>& corners,
              std::vector<Vec3d>& polygon, std::vector<const double*>& pictured, RenderReport& report) {
    corners.resize(mesh.vertices.size());
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
        Corner& corner = corners[i];
        corner.camera = view.toCamera(mesh.vertices[i]);
        const Vec3d& c = corner.camera;
        corner.finite = std::isfinite(c.x) && std::isfinite(c.y) && std::isfinite(c.z);
        corner.inside = corner.finite && raster.insideGuard(c);
        if (corner.inside) corner.picture = {view.pictureX(c), view.pictureY(c), 1.0 / c.z};
    }
    const std::size_t count = mesh.polygonCount();
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t begin = mesh.starts[k], end = mesh.starts[k + 1];
        const std::size_t n = end - begin;
        if (n < 3) continue;
        polygon.clear();
        bool inside = true, usable = true;
        for (std::uint32_t i = begin; i < end && usable; ++i) {
            const std::uint32_t index = mesh.indices[i];
            usable = index < corners.size() && corners[index].finite;
            if (!usable) break;
            inside = inside && corners[index].inside;
            polygon.push_back(corners[index].camera);
        }
        if (!usable) continue;
        ++report.polygons;
        const Rgb colour = shade(mesh.colour, facingNormal(polygon.data(), n));
        if (!inside) {
            raster.fillPolygon(polygon.data(), n, colour);
            continue;
        }
        if (n == 3) {
            raster.fillTriangle(corners[mesh.indices[begin]].picture.data(),
                                corners[mesh.indices[begin + 1]].picture.data(),
                                corners[mesh.indices[begin + 2]].picture.data(), colour);
            continue;
        }
        pictured.clear();
        for (std::uint32_t i = begin; i < end; ++i) pictured.push_back(corners[mesh.indices[i]].picture.data());
        raster.fillProjected(pictured.data(), n, colour);
    }
}

void drawEdges(const PreviewMesh& mesh, const View& view, Rasterizer& raster, std::vector<Vec3d>& camera) {
    camera.resize(mesh.vertices.size());
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) camera[i] = view.toCamera(mesh.vertices[i]);
    const std::size_t count = mesh.polygonCount();
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint32_t begin = mesh.starts[k], end = mesh.starts[k + 1];
        // Only the polygons that were filled get outlines.
        if (end - begin < 3) continue;
        bool valid = true;
        for (std::uint32_t i = begin; i < end && valid; ++i) {
            const std::uint32_t index = mesh.indices[i];
            valid = index < camera.size() && finitePoint(camera[index]);
        }
        if (!valid) continue;
        for (std::uint32_t i = begin; i < end; ++i)
            raster.drawLine(camera[mesh.indices[i]], camera[mesh.indices[i + 1 < end ? i + 1 : begin]], kEdgeColour,
                            true);
    }
}

void markLights(const PreviewScene& scene, const View& view, Rasterizer& raster, RenderReport& report) {
    auto onPicture = [&](const Vec3d& c) {
        if (c.z < view.nearZ) return false;
        const double x = view.pictureX(c), y = view.pictureY(c);
        return x >= 0.0 && y >= 0.0 && x < view.width && y < view.height;
    };
    for (const auto& light : scene.lights) {
        if (light.target)
            raster.drawLine(view.toCamera(light.position), view.toCamera(*light.target), kLightLine, false);
    }
    for (const auto& light : scene.lights) {
        if (light.target) {
            const Vec3d t = view.toCamera(*light.target);
            if (onPicture(t)) raster.drawCross(view.pictureX(t), view.pictureY(t), 4.0, kLightLine);
        }
        const Vec3d p = view.toCamera(light.position);
        if (!onPicture(p)) continue;
        raster.fillDisc(view.pictureX(p), view.pictureY(p), 6.0, kLightFill, kLightOutline);
        ++report.lightsMarked;
    }
}

}  // namespace

Rgb shade(const Colour& colour, const Vec3d& normal) {
    const double light = kAmbient + (1.0 - kAmbient) * std::max(0.0, dot(normal, kLightTowards));
    return {toByte(colour.red * light), toByte(colour.green * light), toByte(colour.blue * light)};
}

Rgb backgroundAt(int row, int height) {
    const double t = height > 1 ? static_cast<double>(row) / (height - 1) : 0.0;
    auto mix = [t](int top, int bottom) { return static_cast<std::uint8_t>(std::lround(top + (bottom - top) * t)); };
    return {mix(176, 234), mix(198, 236), mix(226, 238)};
}

RenderReport viewFor(const PreviewScene& scene, const RenderOptions& options) {
    RenderReport report;
    chooseView(scene, pictureSize(scene, options), report);
    return report;
}

RenderResult renderPreview(const PreviewScene& scene, const RenderOptions& options) {
    RenderResult result;
    const Picture size = pictureSize(scene, options);
    chooseView(scene, size, result.report);
    result.image = Image(size.width, size.height);
    paintBackground(result.image);

    const View& view = result.report.view;
    Rasterizer raster(result.image, view);
    std::vector<Corner> corners;
    std::vector<Vec3d> polygon;
    std::vector<const double*> pictured;
    for (const auto& mesh : scene.meshes) drawMesh(mesh, view, raster, corners, polygon, pictured, result.report);
    result.report.meshes = scene.meshes.size();
    if (options.edges)
        for (const auto& mesh : scene.meshes) drawEdges(mesh, view, raster, polygon);
    if (options.lights) markLights(scene, view, raster, result.report);
    return result;
}

}  // namespace pelmora::preview
