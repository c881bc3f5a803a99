#include "tool/model/obj_fast_scene.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include <assimp/material.h>

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
aiMesh* meshOf(const ObjMesh& source, Faces kind, const std::vector<float>& positions,
               std::vector<std::uint32_t>& local) {
    auto* mesh = new aiMesh();
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

class SceneBuilder {
public:
    explicit SceneBuilder(ObjModel& model) : model_(model), local_(model.positions.size() / 3, kUnset) {}

    std::unique_ptr<aiScene> build(const std::string& rootName) {
        auto scene = std::make_unique<aiScene>();
        scene->mRootNode = new aiNode(rootName);
        for (ObjObject& object : model_.objects) addObject(object);
        model_.objects.clear();
        scene->mRootNode->addChildren(static_cast<unsigned>(nodes_.size()), nodes_.data());
        scene->mNumMeshes = static_cast<unsigned>(meshes_.size());
        scene->mMeshes = new aiMesh*[meshes_.size()];
        std::copy(meshes_.begin(), meshes_.end(), scene->mMeshes);
        scene->mNumMaterials = static_cast<unsigned>(materials_.size());
        scene->mMaterials = new aiMaterial*[materials_.size()];
        std::copy(materials_.begin(), materials_.end(), scene->mMaterials);
        return scene;
    }

private:
    void addObject(ObjObject& object) {
        auto* node = new aiNode(object.name);
        std::vector<unsigned> indices;
        for (ObjMesh& source : object.meshes) {
            for (Faces kind : {Faces::Triangles, Faces::Polygons}) {
                if (!hasFaces(source, kind)) continue;
                aiMesh* mesh = meshOf(source, kind, model_.positions, local_);
                mesh->mMaterialIndex = materialIndex(source.material);
                indices.push_back(static_cast<unsigned>(meshes_.size()));
                meshes_.push_back(mesh);
            }
            source = ObjMesh{};  // its faces are in the scene now
        }
        node->mNumMeshes = static_cast<unsigned>(indices.size());
        node->mMeshes = new unsigned[indices.size()];
        std::copy(indices.begin(), indices.end(), node->mMeshes);
        nodes_.push_back(node);
    }

    unsigned materialIndex(const std::string& name) {
        const std::string shown = name.empty() ? AI_DEFAULT_MATERIAL_NAME : name;
        const auto [found, added] = materialByName_.emplace(shown, static_cast<unsigned>(materials_.size()));
        if (added) {
            auto* material = new aiMaterial();
            const aiString text(shown);
            material->AddProperty(&text, AI_MATKEY_NAME);
            materials_.push_back(material);
        }
        return found->second;
    }

    ObjModel& model_;
    std::vector<std::uint32_t> local_;
    std::vector<aiNode*> nodes_;
    std::vector<aiMesh*> meshes_;
    std::vector<aiMaterial*> materials_;
    std::map<std::string, unsigned> materialByName_;
};

}  // namespace

std::unique_ptr<aiScene> objScene(ObjModel&& model, const std::string& rootName) {
    return SceneBuilder(model).build(rootName);
}

}  // namespace pelmora::tool
