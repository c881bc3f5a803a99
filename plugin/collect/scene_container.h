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

    // The first mesh of `classIndex` in `meshes`, or null, in constant time: an
    // index by class takes in the meshes appended since the last call. `meshes`
    // is meant to be appended to only; a list that shrank, or a position that
    // lost its class, makes the index be built again from the whole list.
    MeshSource* findMesh(std::int32_t classIndex);

    std::vector<std::unique_ptr<LightSource>> lights;  // in the order met
    std::vector<std::unique_ptr<MeshSource>> meshes;   // one per class, in order of first use
    std::int32_t cursorIndex = 0;
    std::int32_t lastQuarter = 0;
    std::int32_t tickCount = 0;
    double elevation = 0.0;  // metres
    const TemplateLibrary* library;

private:
    // Takes meshes[indexed_, size) into the index.
    void indexNewMeshes();
    void reindexMeshes();
    bool holds(std::size_t position, std::int32_t classIndex) const;

    std::unordered_map<std::int32_t, std::size_t> meshByClass_;  // class -> position of its first mesh
    std::size_t indexed_ = 0;                                    // meshes taken into the index
};

}  // namespace pelmora
