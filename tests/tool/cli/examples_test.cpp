// The shipped examples exported the way the README does it and read back: the
// sample house with the example host folder, in modes 2 and 3.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/common/tool_runner.h"

namespace pelmora {
namespace {

using exporttest::readFile;
using exporttest::runTool;
using exporttest::TempFolder;
using exporttest::ToolResult;
using Strings = std::vector<std::string>;

const std::string kExamples = std::string(PELMORA_SOURCE_DIR) + "/examples";

float coordinate(const qmxread::Node& node, int axis) {
    for (const auto& motion : node.motions)
        if (motion.name == "motionTranslate" && motion.payload) {
            const auto* field = motion.payload->find("translation");
            if (field && field->floats.size() == 3) return field->floats[static_cast<std::size_t>(axis)];
        }
    ADD_FAILURE() << "node " << node.id << " has no translation";
    return 0.0f;
}

class SampleHouse : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(kExamples + "/house.json", folder_ / "house.json");
        std::filesystem::copy(kExamples + "/host", folder_ / "host", std::filesystem::copy_options::recursive);
    }
    qmxread::QmxFile exportMode(int mode) {
        const std::string output = folder_ / ("house" + std::to_string(mode) + ".qmx");
        ToolResult r = runTool({"export", folder_ / "house.json", "-o", output, "--host-dir", folder_ / "host",
                                "--mode", std::to_string(mode)});
        EXPECT_EQ(r.status, 0) << r.err;
        return qmxread::readQmxFile(output);
    }
    static std::map<std::string, const qmxread::Node*> meshes(const qmxread::QmxFile& file) {
        std::map<std::string, const qmxread::Node*> out;
        for (const auto& child : file.roots.at(0).children)
            if (child.type == 8) out[child.name] = &child;
        return out;
    }
    TempFolder folder_;
};

TEST_F(SampleHouse, CameraLightsAndMeshesInOrder) {
    auto file = exportMode(3);
    const auto& c = file.roots.at(0).children;
    Strings names;
    std::vector<std::uint32_t> ids;
    for (const auto& child : c) {
        names.push_back(child.name);
        ids.push_back(child.id);
    }
    // The fixed names in code page 932: 注視点>カメラ, カメラ, 照射点>ライト-N, ライト-N, 照射点>.
    const std::string cameraTarget = "\x92\x8D\x8E\x8B\x93\x5F>\x83\x4A\x83\x81\x83\x89";
    const std::string camera = "\x83\x4A\x83\x81\x83\x89";
    const std::string target = "\x8F\xC6\x8E\xCB\x93\x5F>";
    const std::string light = "\x83\x89\x83\x43\x83\x67-";
    const Strings expectedNames = {cameraTarget, camera,         "Hall lamp", target + light + "1",
                                   light + "1",  "Bedroom lamp", light + "2", target + "Sun",
                                   "Sun",        "Floor",        "Brick",     "Glass",
                                   "Wood",       "Roof"};
    EXPECT_EQ(names, expectedNames);
    // Light ids kept in the document's records; mesh ids from the example id table.
    const std::vector<std::uint32_t> expectedIds = {1002, 1001, 1999, 1996, 1997, 1995, 1993,
                                                    1990, 1991, 5004, 5001, 5002, 5003, 1003};
    EXPECT_EQ(ids, expectedIds);
}

TEST_F(SampleHouse, CameraStandsWhereTheViewPutsIt) {
    auto file = exportMode(3);
    const auto& camera = file.roots.at(0).children.at(1);
    // Eye at (15000, -11000, 6500) mm in the drawing: (15, 6.5, -11) m in the file.
    EXPECT_NEAR(coordinate(camera, 0), 15.0f, 1e-3);
    EXPECT_NEAR(coordinate(camera, 1), 6.5f, 1e-3);
    EXPECT_NEAR(coordinate(camera, 2), -11.0f, 1e-3);
}

TEST_F(SampleHouse, LayerElevationsRaiseTheirContent) {
    auto file = exportMode(3);
    auto byName = meshes(file);
    ASSERT_TRUE(byName.count("Floor") && byName.count("Roof"));
    float floorTop = -1e9f, roofTop = -1e9f;
    for (const auto& v : byName["Floor"]->mesh->vertices) floorTop = std::max(floorTop, v.y);
    for (const auto& v : byName["Roof"]->mesh->vertices) roofTop = std::max(roofTop, v.y);
    EXPECT_NEAR(floorTop, 2.8f, 1e-4) << "the upper slab stands on the upper floor's elevation";
    EXPECT_NEAR(roofTop, 7.8f, 1e-4) << "roof layer at 5.6 m, ridge 2.2 m above it";
    // The Sun stands on the roof layer: 20 m above it.
    const auto& sun = file.roots.at(0).children.at(8);
    EXPECT_NEAR(coordinate(sun, 1), 25.6f, 1e-3);
}

TEST_F(SampleHouse, TemplatesGiveMaterialsExceptForTheRoof) {
    auto file = exportMode(3);
    auto byName = meshes(file);
    for (const char* name : {"Brick", "Glass", "Wood", "Floor"}) {
        ASSERT_TRUE(byName.count(name)) << name;
        ASSERT_FALSE(byName[name]->motions.empty()) << name;
        EXPECT_EQ(byName[name]->motions[0].name, "motionMaterial") << name;
    }
    EXPECT_TRUE(byName["Roof"]->motions.empty());
}

TEST_F(SampleHouse, OnlyModeThreeFollowsTheReferenceToTheFurniture) {
    auto withReferences = exportMode(3);
    auto layersOnly = exportMode(2);
    auto wood3 = meshes(withReferences)["Wood"]->mesh->polygonCount;
    auto wood2 = meshes(layersOnly)["Wood"]->mesh->polygonCount;
    EXPECT_EQ(wood3 - wood2, 5 * 6) << "the table top and its four legs, six faces each";
}

TEST_F(SampleHouse, ModeZeroTakesTheSelectedWalls) {
    auto file = exportMode(0);
    auto byName = meshes(file);
    ASSERT_EQ(byName.size(), 1u);
    EXPECT_EQ(byName.begin()->first, "Brick");
    // Three plain walls and the south wall around its openings, nine blocks: six faces each.
    EXPECT_EQ(byName.begin()->second->mesh->polygonCount, (3 + 9) * 6);
}

TEST_F(SampleHouse, TheDocumentAlreadyHoldsItsLightIds) {
    const std::string before = readFile(folder_ / "house.json");
    exportMode(3);
    exportMode(0);
    EXPECT_EQ(readFile(folder_ / "house.json"), before) << "nothing to write back";
}

// The summary the README shows is the one the sample house gives with the
// example host folder and its remembered mode, but for the path and the time.
TEST_F(SampleHouse, TheReadmeSummaryIsTheSampleHouses) {
    const std::string readme = readFile(std::string(PELMORA_SOURCE_DIR) + "/README.md");
    const std::size_t from = readme.find("```\npelmora export: wrote ");
    ASSERT_NE(from, std::string::npos);
    const std::string shown = readme.substr(from + 4, readme.find("```", from + 4) - from - 4);
    const ToolResult r =
        runTool({"export", folder_ / "house.json", "-o", folder_ / "house.qmx", "--host-dir", folder_ / "host"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex path("wrote [^\n]*\n"), time(", [0-9.]+ s\n");
    auto normal = [&](const std::string& text) {
        return std::regex_replace(std::regex_replace(text, path, "wrote PATH\n"), time, ", TIME\n");
    };
    EXPECT_EQ(normal(r.err), normal(shown));
}

}  // namespace
}  // namespace pelmora
