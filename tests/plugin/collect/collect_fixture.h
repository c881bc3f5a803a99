// A drawing held by the emulated host, made current with its units, and a
// scene container to collect into; plus readers of what was collected.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/host/emulated_host.h"
#include "plugin/collect/mesh_source.h"
#include "plugin/collect/scene_container.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/services.h"
#include "plugin/host/unit_settings.h"
#include "plugin/platform/portable_hooks.h"

namespace pelmora::collect_test {

class HostedDrawing {
public:
    explicit HostedDrawing(const std::string& json, const TemplateLibrary* library = nullptr)
        : host(hostsim::parseDrawing(json)), scope(host.callback()) {
        units.detect();
        scene = std::make_unique<SceneContainer>(library);
    }
    ~HostedDrawing() {
        scene.reset();
        setCurrentUnits(nullptr);
    }

    hostsim::EmulatedHost host;
    host::CallbackScope scope;
    UnitSettings units;
    std::unique_ptr<SceneContainer> scene;
};

// Name of a class by index, through the host.
inline std::string classNameOf(std::int32_t classIndex) {
    HostName name = {};
    host::className(classIndex, name);
    return std::string(reinterpret_cast<const char*>(name + 1), name[0]);
}

// The mesh of a class, or null.
inline const MeshSource* meshOf(const SceneContainer& scene, const std::string& className) {
    for (const auto& mesh : scene.meshes) {
        if (classNameOf(mesh->classIndex()) == className) return mesh.get();
    }
    return nullptr;
}

// The tags of every polygon collected: polygons of the test drawings are tagged
// by their drawing x, in units of 10 metres (x from 10000 * tag millimetres).
inline std::vector<int> polygonTags(const SceneContainer& scene) {
    std::vector<int> tags;
    for (const auto& mesh : scene.meshes) {
        const auto& list = mesh->indexList();
        std::size_t at = 0;
        while (at < list.size()) {
            const std::int32_t n = list[at];
            const Vec3f first = mesh->vertices().at(list[at + 1]);
            tags.push_back(static_cast<int>(std::floor(first.x / 10.0f)));
            at += static_cast<std::size_t>(n) + 2;
        }
    }
    std::sort(tags.begin(), tags.end());
    return tags;
}

// A triangle in drawing millimetres, tagged as polygonTags reads it.
inline std::string taggedTriangle(int tag, double height = 0.0) {
    const double x = tag * 10000.0;
    auto point = [&](double dx, double dy) {
        return "[" + std::to_string(x + dx) + "," + std::to_string(dy) + "," + std::to_string(height) + "]";
    };
    return "[" + point(0, 0) + "," + point(1000, 0) + "," + point(0, 1000) + "]";
}

// Installs portable hooks for one test and removes them after.
class HookScope {
public:
    explicit HookScope(const PelmoraPortableHooks& hooks) { platform::setPortableHooks(&hooks); }
    ~HookScope() { platform::setPortableHooks(nullptr); }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;
};

}  // namespace pelmora::collect_test
