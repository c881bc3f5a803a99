// Reading OBJ files: Assimp's importer (as the tool's model import calls it)
// against Debian's tinyobjloader, on the bench's terrain and on every OBJ file
// given (for example those of assimp-testmodels). For each file: the time of
// each (median CPU seconds of a few rounds) and what each found: meshes (Assimp's
// meshes against tinyobjloader's shapes split by material, as Assimp splits
// them), materials, vertices of the faces and faces. Not a test: figures for
// docs/performance.md.
// Usage: bench_obj [--rounds N] [FILE.obj ...]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include "bench/bench_timing.h"
#include "bench/reference_scene.h"

#if defined(PELMORA_HAVE_TINYOBJ)
#include <tiny_obj_loader.h>
#endif

namespace {

using namespace pelmora::bench;

struct Found {
    bool ok = false;
    long meshes = 0, materials = 0, corners = 0, faces = 0;
    bool operator==(const Found& o) const {
        return ok == o.ok && meshes == o.meshes && materials == o.materials && corners == o.corners && faces == o.faces;
    }
};

Found withAssimp(const std::string& path) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_SortByPType | aiProcess_ValidateDataStructure);
    Found f;
    if (scene == nullptr) return f;
    f.ok = true;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        if ((mesh->mPrimitiveTypes & (aiPrimitiveType_TRIANGLE | aiPrimitiveType_POLYGON)) == 0) continue;
        ++f.meshes;
        for (unsigned k = 0; k < mesh->mNumFaces; ++k) {
            if (mesh->mFaces[k].mNumIndices < 3) continue;
            ++f.faces;
            f.corners += mesh->mFaces[k].mNumIndices;
        }
    }
    // Assimp adds a default material of its own when the file names none.
    f.materials = scene->mNumMaterials;
    return f;
}

#if defined(PELMORA_HAVE_TINYOBJ)
Found withTinyObj(const std::string& path) {
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    config.mtl_search_path = std::filesystem::path(path).parent_path().string();
    tinyobj::ObjReader reader;
    Found f;
    if (!reader.ParseFromFile(path, config)) return f;
    f.ok = true;
    for (const tinyobj::shape_t& shape : reader.GetShapes()) {
        std::set<int> materials;
        std::size_t at = 0;
        for (std::size_t k = 0; k < shape.mesh.num_face_vertices.size(); ++k) {
            const unsigned n = shape.mesh.num_face_vertices[k];
            if (n >= 3) {
                ++f.faces;
                f.corners += n;
                materials.insert(shape.mesh.material_ids[k]);
            }
            at += n;
        }
        f.meshes += static_cast<long>(materials.size());
    }
    f.materials = static_cast<long>(reader.GetMaterials().size());
    return f;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    int rounds = 3;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--rounds" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else files.push_back(arg);
    }
    char folder[] = "/tmp/pelmora_bench_obj_XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string terrain = std::string(folder) + "/terrain.obj";
    if (!writeTerrainObj(standardTerrain(), terrain)) return 1;
    files.insert(files.begin(), terrain);

#if !defined(PELMORA_HAVE_TINYOBJ)
    std::printf("built without tinyobjloader (libtinyobjloader-dev): only Assimp is timed\n");
#endif
    int differ = 0;
    double assimpTotal = 0, tinyTotal = 0;
    for (const std::string& file : files) {
        std::vector<double> a, t;
        Found fa, ft;
        for (int r = 0; r < rounds; ++r) {
            a.push_back(timingOf([&] { fa = withAssimp(file); }).cpu);
#if defined(PELMORA_HAVE_TINYOBJ)
            t.push_back(timingOf([&] { ft = withTinyObj(file); }).cpu);
#endif
        }
        const bool same = fa == ft;
        differ += !same;
        assimpTotal += median(a);
        tinyTotal += median(t);
        std::printf(
            "%-60s assimp %.4f s (%s%ld meshes, %ld materials, %ld corners, %ld faces)  tinyobj %.4f s (%s%ld, %ld, "
            "%ld, %ld)  %s\n",
            std::filesystem::path(file).filename().string().c_str(), median(a), fa.ok ? "" : "FAILED ", fa.meshes,
            fa.materials, fa.corners, fa.faces, median(t), ft.ok ? "" : "FAILED ", ft.meshes, ft.materials, ft.corners,
            ft.faces, same ? "same" : "DIFFER");
    }
    std::printf("%zu files: assimp %.3f s, tinyobjloader %.3f s in all; %d differ\n", files.size(), assimpTotal,
                tinyTotal, differ);
    std::filesystem::remove_all(folder);
    return 0;
}
