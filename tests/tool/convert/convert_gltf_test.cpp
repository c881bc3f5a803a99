// What `pelmora convert` puts into glTF besides the geometry: core materials
// (the opacity once, no unused extensions), the texture pictures embedded in
// a .glb, copied beside a .gltf or, when found nowhere, named in a warning and
// kept in the material's extras; texture coordinates at the texture's size;
// and a set of files replaced whole or not at all.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include <assimp/scene.h>
#include <assimp/Importer.hpp>
#include <nlohmann/json.hpp>

#include "preview/png_file.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using Json = nlohmann::json;
using namespace exporttest::outcome;

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t load32(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

struct Glb {
    Json json;
    std::string bin;
};

Glb readGlb(const std::string& path) {
    const std::string bytes = bytesOf(path);
    const std::uint32_t jsonLength = load32(bytes, 12);
    Glb glb{Json::parse(bytes.substr(20, jsonLength)), {}};
    const std::size_t binAt = 20 + jsonLength;
    if (binAt + 8 <= bytes.size()) glb.bin = bytes.substr(binAt + 8, load32(bytes, binAt));
    EXPECT_EQ(load32(bytes, 8), bytes.size()) << "the GLB's length";
    return glb;
}

const Json& materialNamed(const Json& gltf, const std::string& name) {
    for (const Json& m : gltf["materials"])
        if (m["name"] == name) return m;
    throw std::runtime_error("no material " + name);
}

class ConvertGltf : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy(std::string(PELMORA_SOURCE_DIR) + "/examples/host", folder_ / "host", fs::copy_options::recursive);
        house_ = folder_ / "house.qmx";
        ToolResult r = runTool({"export", std::string(PELMORA_SOURCE_DIR) + "/examples/house.json", "-o", house_,
                                "--host-dir", folder_ / "host", "--mode", "3"});
        ASSERT_EQ(r.status, kExitOk) << r.err;
        // Two small pictures under the names the house's templates give
        // (PNG bytes: glTF tells pictures by their content, not their name).
        fs::create_directories(folder_ / "pictures");
        for (const char* name : {"floor_tiles.jpg", "oak_boards.jpg"}) {
            preview::Image image(4, 2);
            for (std::size_t i = 0; i < image.rgb.size(); ++i)
                image.rgb[i] = static_cast<std::uint8_t>(i * 20 + name[0]);
            preview::writePngFile(image, folder_ / ("pictures/" + std::string(name)));
        }
    }
    TempFolder folder_;
    std::string house_;
};

TEST_F(ConvertGltf, MaterialsAreCoreMetallicRoughnessWithTheOpacityOnce) {
    ASSERT_EQ(runTool({"convert", house_, folder_ / "house.glb"}).status, kExitOk);
    const Json gltf = readGlb(folder_ / "house.glb").json;
    EXPECT_EQ(gltf["extensionsUsed"], Json::array({"KHR_lights_punctual"}));
    EXPECT_FALSE(gltf.contains("extensionsRequired"));
    // The house's templates: glass lets 0.92 through; shininess s gives
    // roughness sqrt(2 / (s + 2)).
    const std::map<std::string, std::pair<double, double>> expected{
        {"Glass", {0.08, -1.0}}, {"Floor", {1.0, 60.0}}, {"Brick", {1.0, -1.0}}};
    for (const Json& material : gltf["materials"]) {
        EXPECT_FALSE(material.contains("extensions")) << material["name"];
        EXPECT_EQ(material["doubleSided"], true);
        const Json& pbr = material["pbrMetallicRoughness"];
        const double alpha = pbr["baseColorFactor"][3].get<double>();
        EXPECT_EQ(material.contains("alphaMode"), alpha < 1.0) << material["name"];
        EXPECT_EQ(pbr["metallicFactor"], 0.0);
        auto found = expected.find(material["name"].get<std::string>());
        if (found == expected.end()) continue;
        EXPECT_NEAR(alpha, found->second.first, 1e-6) << material["name"];
        if (found->second.second >= 0.0) {
            EXPECT_NEAR(pbr["roughnessFactor"].get<double>(), std::sqrt(2.0 / (found->second.second + 2.0)), 1e-6);
        }
    }
    EXPECT_EQ(materialNamed(gltf, "Glass")["alphaMode"], "BLEND");
}

TEST_F(ConvertGltf, PicturesAreEmbeddedInGlbAndCopiedBesideGltf) {
    const std::string pictures = folder_ / "pictures";
    ToolResult r = runTool({"convert", house_, folder_ / "house.glb", "--textures", pictures});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_FALSE(contains(r.err, "warning")) << r.err;
    const Glb glb = readGlb(folder_ / "house.glb");
    ASSERT_EQ(glb.json["images"].size(), 2u);
    std::set<std::string> embedded;
    for (const Json& image : glb.json["images"]) {
        EXPECT_EQ(image["mimeType"], "image/png");
        const Json& view = glb.json["bufferViews"][image["bufferView"].get<std::size_t>()];
        embedded.insert(glb.bin.substr(view["byteOffset"].get<std::size_t>(), view["byteLength"].get<std::size_t>()));
    }
    EXPECT_EQ(embedded,
              (std::set<std::string>{bytesOf(pictures + "/floor_tiles.jpg"), bytesOf(pictures + "/oak_boards.jpg")}));
    EXPECT_EQ(glb.json["buffers"][0]["byteLength"].get<std::size_t>() + 3 >= glb.bin.size(), true);
    // The picture replaces the colour: the templates do not ask to mix them.
    const Json& floor = materialNamed(glb.json, "Floor")["pbrMetallicRoughness"];
    EXPECT_TRUE(floor.contains("baseColorTexture"));
    EXPECT_EQ(floor["baseColorFactor"], Json::array({1.0, 1.0, 1.0, 1.0}));

    fs::create_directories(folder_ / "out");
    r = runTool({"convert", house_, folder_ / "out/house.gltf", "--textures", pictures});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    std::ifstream in(folder_ / "out/house.gltf");
    const Json gltf = Json::parse(in);
    ASSERT_EQ(gltf["images"].size(), 2u);
    for (const Json& image : gltf["images"]) {
        const std::string uri = image["uri"];
        EXPECT_EQ(bytesOf(folder_ / ("out/" + uri)), bytesOf(pictures + "/" + uri)) << uri;
    }
}

TEST_F(ConvertGltf, PicturesFoundNowhereAreNamedOnceAndKeptInExtras) {
    ToolResult r = runTool({"convert", house_, folder_ / "house.glb"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(occurrences(r.err, "warning"), 1) << r.err;
    EXPECT_TRUE(contains(r.err, "floor_tiles.jpg, oak_boards.jpg")) << r.err;
    EXPECT_TRUE(contains(r.err, "--textures")) << r.err;
    const Json gltf = readGlb(folder_ / "house.glb").json;
    EXPECT_FALSE(gltf.contains("images"));
    const Json& floor = materialNamed(gltf, "Floor");
    EXPECT_FALSE(floor["pbrMetallicRoughness"].contains("baseColorTexture"));
    EXPECT_EQ(floor["extras"]["texture"], "floor_tiles.jpg");
    // A folder that is not there is a mistake on the command line.
    r = runTool({"convert", house_, folder_ / "again.glb", "--textures", folder_ / "no-such-folder"});
    EXPECT_EQ(r.status, kExitUsage) << r.err;
    EXPECT_TRUE(contains(r.err, "no-such-folder")) << r.err;
    EXPECT_FALSE(fs::exists(folder_ / "again.glb"));
}

// The floor's 0.6 m tiles: on its top face one picture spans 0.6 m east and
// 0.6 m north, counted from the floor's corner.
TEST_F(ConvertGltf, TheFloorTileRepeatsAtItsSize) {
    ASSERT_EQ(runTool({"convert", house_, folder_ / "house.glb"}).status, kExitOk);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(folder_ / "house.glb", 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    const aiMesh* floor = nullptr;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        if (std::string(scene->mMeshes[i]->mName.C_Str()) == "Floor") floor = scene->mMeshes[i];
    ASSERT_NE(floor, nullptr);
    ASSERT_TRUE(floor->HasTextureCoords(0));
    aiVector3D low = floor->mVertices[0];
    for (unsigned i = 0; i < floor->mNumVertices; ++i) {
        low.x = std::min(low.x, floor->mVertices[i].x);
        low.z = std::min(low.z, floor->mVertices[i].z);
    }
    int top = 0;
    for (unsigned i = 0; i < floor->mNumVertices; ++i) {
        if (floor->mNormals[i].y < 0.99f) continue;
        ++top;
        // V runs down the picture, from north to south.
        const aiVector3D& p = floor->mVertices[i];
        const aiVector3D& t = floor->mTextureCoords[0][i];
        EXPECT_NEAR(t.x * 0.6f, p.x - low.x, 1e-4f) << i;
        EXPECT_NEAR(t.y * 0.6f, p.z - low.z, 1e-4f) << i;
    }
    EXPECT_GE(top, 4);
}

// The files of a folder, by name, with their bytes.
std::map<std::string, std::string> filesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = entry.is_regular_file() ? bytesOf(entry.path()) : "(folder)";
    return files;
}

TEST_F(ConvertGltf, FormatsWithSideFilesReplaceTheWholeSetOrNothing) {
    fs::create_directories(folder_ / "out");
    // Not ours: a picture of a name the output's pictures have.
    std::ofstream(folder_ / "out/oak_boards.jpg") << "the user's own picture";
    for (const std::string name : {"house.gltf", "house.obj"}) {
        const std::vector<std::string> convert{"convert", house_,       folder_ / ("out/" + name),
                                               "--force", "--textures", folder_ / "pictures"};
        ToolResult r = runTool(convert);
        ASSERT_EQ(r.status, kExitOk) << r.err;
        const auto written = filesIn(folder_ / "out");
        EXPECT_EQ(written.at("oak_boards.jpg"), "the user's own picture");
        // A killed run's staging folder is left and named (a folder is never
        // taken for the tool's own); a writer that fails half way (the disk
        // full) leaves every file as it was.
        const std::string killedName = "." + name + ".999999999.part";
        const std::string killed = folder_ / ("out/" + killedName);
        fs::create_directories(killed);
        std::ofstream(killed + "/" + name) << "half";
        auto withKilled = written;
        withKilled[killedName] = "(folder)";
        exporttest::ToolOptions full;
        full.fileSizeLimit = 100;
        r = runTool(convert, full);
        EXPECT_EQ(r.status, kExitFailure) << name << ": " << r.err;
        EXPECT_EQ(filesIn(folder_ / "out"), withKilled) << name;
        // Written again whole: the same bytes.
        r = runTool(convert);
        ASSERT_EQ(r.status, kExitOk) << r.err;
        EXPECT_NE(r.err.find("left alone in " + folder_ / "out/: " + killedName), std::string::npos) << r.err;
        EXPECT_EQ(filesIn(folder_ / "out"), withKilled) << name;
        fs::remove_all(killed);
    }
    std::ifstream in(folder_ / "out/house.gltf");
    const Json gltf = Json::parse(in);
    std::set<std::string> uris;
    for (const Json& image : gltf["images"]) uris.insert(image["uri"]);
    EXPECT_EQ(uris, (std::set<std::string>{"floor_tiles.jpg", "../pictures/oak_boards.jpg"}));
}

}  // namespace
}  // namespace pelmora
