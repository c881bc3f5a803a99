// What one export collects: the light and mesh tree sources, plus the state the
// passes share (elevation offset in force, busy cursor, template library).
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace pelmora {

class LightSource;
class MeshSource;
class TemplateLibrary;

class SceneContainer {
public:
    // Loads the four busy-cursor frames.
    explicit SceneContainer(const TemplateLibrary* library);
    // Frees every light, then every mesh.
    ~SceneContainer();
    SceneContainer(const SceneContainer&) = delete;
    SceneContainer& operator=(const SceneContainer&) = delete;

    // One unit of work done: turns the busy cursor at most four times a second,
    // reading the clock only on every 256th call.
    void tick();

    // The first mesh of `classIndex` in `meshes`, or null. Remembers what it
    // finds, so that hundreds of classes do not make every lookup a scan.
    MeshSource* findMesh(std::int32_t classIndex);
    // Notes that meshes[position] is the first mesh of `classIndex`.
    void rememberMesh(std::int32_t classIndex, std::size_t position);

    std::vector<std::unique_ptr<LightSource>> lights;  // in the order met
    std::vector<std::unique_ptr<MeshSource>> meshes;   // one per class, in order of first use
    std::int32_t cursorIndex = 0;
    std::int32_t lastQuarter = 0;
    std::int32_t tickCount = 0;
    double elevation = 0.0;  // metres
    const TemplateLibrary* library;

private:
    std::unordered_map<std::int32_t, std::size_t> meshByClass_;
};

}  // namespace pelmora
