#include "tool/import/quick_obj_scene.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include <assimp/material.h>

#include "tool/import/material_property.h"

namespace pelmora::tool {
namespace {

constexpr std::uint32_t kUnset = std::numeric_limits<std::uint32_t>::max();

// The faces of one mesh that are triangles, or those that are larger.
enum class Faces { Triangles, Polygons };

bool hasFaces(const ObjMesh& mesh, Faces kind) {
    for (std::uint32_t count : mesh.counts)
        if ((count == 3) == (kind == Faces::Triangles)) return true;
    return false;
}

// Each position the faces use, once, in the order of first use; `local` maps
// the file's position indices to the mesh's and is left all unset again.
std::unique_ptr<aiMesh> meshOf(const ObjMesh& source, Faces kind, const std::vector<float>& positions,
                               std::vector<std::uint32_t>& local) {
    auto mesh = std::make_unique<aiMesh>();
    mesh->mName.Set(source.name);
    mesh->mPrimitiveTypes = kind == Faces::Triangles ? aiPrimitiveType_TRIANGLE : aiPrimitiveType_POLYGON;
    std::vector<std::uint32_t> used;
    std::size_t faces = 0;
    for (std::size_t f = 0, at = 0; f < source.counts.size(); at += source.counts[f++]) {
        if ((source.counts[f] == 3) != (kind == Faces::Triangles)) continue;
        ++faces;
        for (std::uint32_t i = 0; i < source.counts[f]; ++i) {
            std::uint32_t& slot = local[source.corners[at + i]];
            if (slot == kUnset) {
                slot = static_cast<std::uint32_t>(used.size());
                used.push_back(source.corners[at + i]);
            }
        }
    }
    mesh->mNumVertices = static_cast<unsigned>(used.size());
    mesh->mVertices = new aiVector3D[used.size()];
    for (std::size_t v = 0; v < used.size(); ++v) {
        const float* xyz = &positions[std::size_t{used[v]} * 3];
        mesh->mVertices[v] = aiVector3D(xyz[0], xyz[1], xyz[2]);
    }
    mesh->mNumFaces = static_cast<unsigned>(faces);
    mesh->mFaces = new aiFace[faces];
    aiFace* face = mesh->mFaces;
    for (std::size_t f = 0, at = 0; f < source.counts.size(); at += source.counts[f++]) {
        if ((source.counts[f] == 3) != (kind == Faces::Triangles)) continue;
        face->mNumIndices = source.counts[f];
        face->mIndices = new unsigned[source.counts[f]];
        for (std::uint32_t i = 0; i < source.counts[f]; ++i) face->mIndices[i] = local[source.corners[at + i]];
        ++face;
    }
    for (std::uint32_t position : used) local[position] = kUnset;
    return mesh;
}

// Everything made so far is owned here until the scene takes it, so that an
// allocation that fails half way frees what was made.
class SceneBuilder {
public:
    explicit SceneBuilder(ObjModel& model) : model_(model), local_(model.positions.size() / 3, kUnset) {}

    std::unique_ptr<aiScene> build(const std::string& rootName) {
        for (ObjObject& object : model_.objects) addObject(object);
        model_.objects.clear();
        auto scene = std::make_unique<aiScene>();
        scene->mRootNode = new aiNode(rootName);
        scene->mMeshes = new aiMesh*[meshes_.size()];
        scene->mMaterials = new aiMaterial*[materials_.size()];
        std::vector<aiNode*> nodes;
        for (const auto& node : nodes_) nodes.push_back(node.get());
        scene->mRootNode->addChildren(static_cast<unsigned>(nodes.size()), nodes.data());
        for (auto& node : nodes_) node.release();  // the root node's now
        for (auto& mesh : meshes_) scene->mMeshes[scene->mNumMeshes++] = mesh.release();
        for (auto& material : materials_) scene->mMaterials[scene->mNumMaterials++] = material.release();
        return scene;
    }

private:
    void addObject(ObjObject& object) {
        auto node = std::make_unique<aiNode>(object.name);
        std::vector<unsigned> indices;
        for (ObjMesh& source : object.meshes) {
            for (Faces kind : {Faces::Triangles, Faces::Polygons}) {
                if (!hasFaces(source, kind)) continue;
                std::unique_ptr<aiMesh> mesh = meshOf(source, kind, model_.positions, local_);
                mesh->mMaterialIndex = materialIndex(source.material);
                indices.push_back(static_cast<unsigned>(meshes_.size()));
                meshes_.push_back(std::move(mesh));
            }
            source = ObjMesh{};  // its faces are in the scene now
        }
        node->mMeshes = new unsigned[indices.size()];
        node->mNumMeshes = static_cast<unsigned>(indices.size());
        std::copy(indices.begin(), indices.end(), node->mMeshes);
        nodes_.push_back(std::move(node));
    }

    unsigned materialIndex(const std::string& name) {
        const std::string shown = name.empty() ? AI_DEFAULT_MATERIAL_NAME : name;
        const auto [found, added] = materialByName_.emplace(shown, static_cast<unsigned>(materials_.size()));
        if (added) {
            auto material = std::make_unique<aiMaterial>();
            setMaterialProperty(*material, aiString(shown), AI_MATKEY_NAME);
            materials_.push_back(std::move(material));
        }
        return found->second;
    }

    ObjModel& model_;
    std::vector<std::uint32_t> local_;
    std::vector<std::unique_ptr<aiNode>> nodes_;
    std::vector<std::unique_ptr<aiMesh>> meshes_;
    std::vector<std::unique_ptr<aiMaterial>> materials_;
    std::map<std::string, unsigned> materialByName_;
};

}  // namespace

std::unique_ptr<aiScene> objScene(ObjModel&& model, const std::string& rootName) {
    return SceneBuilder(model).build(rootName);
}

}  // namespace pelmora::tool
