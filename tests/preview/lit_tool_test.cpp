// End to end: a drawing document with a lamp and a spot, exported by the
// plug-in, probed by `pelmora preview --probe-point --json`, and converted to
// glTF; every number is worked out here from the drawing's own values
// (millimetres, the drawing's z up becoming the scene's Y, the intensity
// written times 1.3333333 and read back, 1000 cd per unit of it) as
// docs/light-model.md tells.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/temp_folder.h"

namespace pelmora {
namespace {

using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::writeFile;
using Json = nlohmann::json;

constexpr double kPi = 3.14159265358979323846;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun runTool(const TempFolder& folder, const std::vector<std::string>& arguments) {
    std::string command = quoted(PELMORA_TOOL);
    for (const auto& a : arguments) command += " " + quoted(a);
    command += " >" + quoted(folder / "run.out") + " 2>" + quoted(folder / "run.err");
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(folder / "run.out"), readFile(folder / "run.err")};
}

// A floor of 10 m by 10 m, a box, a white lamp of intensity 0.9 at
// (500, -300, 2000) mm and a spot of 1.2 at (3000, 3000, 2500) mm aimed
// straight down, cones 20 and 40 degrees.
const char* kDrawing = R"({
  "pelmoraDrawing": 1, "unitsPerInch": 25.4, "classes": ["None", "Floor", "Crate"],
  "layers": [{"name": "Ground", "elevation": 0, "objects": [
    {"type": "polygon", "class": "Floor", "points": [[-5000, -5000, 0], [5000, -5000, 0], [5000, 5000, 0], [-5000, 5000, 0]]},
    {"type": 24, "class": "Crate", "polygons": [
      {"points": [[-2000, 1000, 1000], [-1000, 1000, 1000], [-1000, 2000, 1000], [-2000, 2000, 1000]]}]},
    {"type": "light", "name": "Lamp", "properties": {"50": true, "51": 0.9, "52": [1.0, 1.0, 1.0], "53": false,
      "54": [500, -300, 2000], "55": 1, "56": [0, 0, -1]}},
    {"type": "light", "name": "Spot", "properties": {"50": true, "51": 1.2, "52": [1.0, 1.0, 1.0], "53": false,
      "54": [3000, 3000, 2500], "55": 2, "56": [0, 0, -1], "61": 20.0, "62": 40.0}}
  ]}]
})";

// What a light gives a floor point (drawing millimetres), from the page's formulas.
double pointLightLux(double candela, const double light[3], const double point[3]) {
    const double dx = (light[0] - point[0]) / 1000.0, dy = (light[1] - point[1]) / 1000.0,
                 dz = (light[2] - point[2]) / 1000.0;
    const double d2 = dx * dx + dy * dy + dz * dz;
    return candela * (dz / std::sqrt(d2)) / d2;
}

class LitEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(folder_ / "room.json", kDrawing);
        std::filesystem::create_directories(folder_ / "host/Pelmora");
        const ToolRun run = runTool(folder_, {"export", folder_ / "room.json", "-o", scene_, "--host-dir",
                                              folder_ / "host", "--mode", "3", "--force"});
        ASSERT_EQ(run.status, 0) << run.err;
    }
    Json probe(double x, double y, double z) {
        char point[96];
        std::snprintf(point, sizeof point, "%.6f,%.6f,%.6f", x, y, z);
        const ToolRun run = runTool(folder_, {"preview", scene_, "--probe-point", point, "--json"});
        EXPECT_EQ(run.status, 0) << run.err;
        return Json::parse(run.out, nullptr, false);
    }
    TempFolder folder_;
    const std::string scene_ = folder_ / "room.qmx";
};

TEST_F(LitEndToEnd, ProbeGivesWhatTheLightModelPagePredicts) {
    const double lamp[3] = {500, -300, 2000}, spot[3] = {3000, 3000, 2500};
    // Floor points in drawing millimetres; the scene point is (x, z, y) in metres.
    for (const auto& at : std::vector<std::array<double, 3>>{{1500, 700, 0}, {3000, 3000, 0}, {-1200, 2500, 0}}) {
        const double point[3] = {at[0], at[1], at[2]};
        const Json report = probe(at[0] / 1000.0, at[2] / 1000.0, at[1] / 1000.0);
        ASSERT_TRUE(report.is_object());
        const double fromLamp = pointLightLux(900.0, lamp, point);
        const double r = std::hypot(point[0] - spot[0], point[1] - spot[1]) / 1000.0;
        const double fromSpot = r < 2.5 * std::tan(10.0 * kPi / 180.0) ? pointLightLux(1200.0, spot, point) : 0.0;
        ASSERT_EQ(report["lights"].size(), 2u) << report.dump();
        EXPECT_EQ(report["lights"][0]["name"], "Lamp");
        EXPECT_EQ(report["lights"][1]["name"], "Spot");
        EXPECT_EQ(report["surface"], "Floor");
        EXPECT_NEAR(report["lights"][0]["illuminance"].get<double>(), fromLamp, 1e-4 * fromLamp) << report.dump();
        EXPECT_NEAR(report["lights"][1]["illuminance"].get<double>(), fromSpot, 1e-4 * fromSpot + 1e-9);
        EXPECT_NEAR(report["illuminance"].get<double>(), fromLamp + fromSpot, 1e-4 * (fromLamp + fromSpot));
        EXPECT_TRUE(report["lights"][0]["reason"].is_null());
        if (fromSpot == 0.0) { EXPECT_EQ(report["lights"][1]["reason"], "outside its cone"); }
    }
    // Where the crate (1 m up, halfway to the lamp) stands in between, it blocks the lamp.
    const Json shaded = probe(-3.5, 0.0, 3.3);
    EXPECT_EQ(shaded["lights"][0]["reason"], "blocked by Crate") << shaded.dump();
}

TEST_F(LitEndToEnd, GltfLightsCarryTheSameCandelaAndAngles) {
    const std::string gltf = folder_ / "room.gltf";
    const ToolRun run = runTool(folder_, {"convert", scene_, gltf});
    ASSERT_EQ(run.status, 0) << run.err;
    const Json file = Json::parse(readFile(gltf));
    const Json& lights = file["extensions"]["KHR_lights_punctual"]["lights"];
    ASSERT_EQ(lights.size(), 2u);
    EXPECT_EQ(lights[0]["type"], "point");
    EXPECT_NEAR(lights[0]["intensity"].get<double>(), 900.0, 900.0 * 1e-6);
    EXPECT_EQ(lights[1]["type"], "spot");
    EXPECT_NEAR(lights[1]["intensity"].get<double>(), 1200.0, 1200.0 * 1e-6);
    EXPECT_NEAR(lights[1]["spot"]["innerConeAngle"].get<double>(), 10.0 * kPi / 180.0, 1e-6);
    EXPECT_NEAR(lights[1]["spot"]["outerConeAngle"].get<double>(), 20.0 * kPi / 180.0, 1e-6);

    // --light-scale changes both alike.
    const ToolRun scaled = runTool(folder_, {"convert", scene_, gltf, "--force", "--light-scale", "100"});
    ASSERT_EQ(scaled.status, 0) << scaled.err;
    const Json rescaled = Json::parse(readFile(gltf));
    EXPECT_NEAR(rescaled["extensions"]["KHR_lights_punctual"]["lights"][0]["intensity"].get<double>(), 90.0, 90e-6);
    const ToolRun probed =
        runTool(folder_, {"preview", scene_, "--probe-point", "1.5,0,0.7", "--json", "--light-scale", "100"});
    ASSERT_EQ(probed.status, 0) << probed.err;
    const double lamp[3] = {500, -300, 2000}, point[3] = {1500, 700, 0};
    const double expected = pointLightLux(90.0, lamp, point);
    const Json report = Json::parse(probed.out);
    EXPECT_NEAR(report["lights"][0]["illuminance"].get<double>(), expected, 1e-4 * expected);
}

TEST_F(LitEndToEnd, PicturesPixelProbeAndRefusals) {
    const std::string lit = folder_ / "lit.png", lux = folder_ / "lux.png";
    const ToolRun run = runTool(folder_, {"preview", scene_, "-o", lit, "--lit", "--lux", lux, "--exposure", "5",
                                          "--size", "160x120", "--probe", "80,100", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Json report = Json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    EXPECT_EQ(report["exposure"], 5.0);
    EXPECT_EQ(report["exposureChosen"], false);
    EXPECT_FALSE(readFile(lit).empty());
    EXPECT_FALSE(readFile(lux).empty());
    // The scale's decades hold the probed pixel's illuminance.
    const double shown = report["illuminance"].get<double>();
    EXPECT_GT(shown, 0.0) << run.out;
    EXPECT_LE(report["luxScale"][0].get<double>(), shown);
    EXPECT_GE(report["luxScale"][1].get<double>(), shown);
    // The pixel's surface point probed by its coordinates gives the same.
    const Json& point = report["point"];
    const Json again = probe(point[0].get<double>(), point[1].get<double>(), point[2].get<double>());
    EXPECT_NEAR(again["illuminance"].get<double>(), shown, 1e-3 * shown);
    // The spot, aimed down at the floor, warns of nothing; nothing is inside anything.
    for (const Json& warning : report["warnings"])
        EXPECT_EQ(warning.get<std::string>().find("inside closed geometry"), std::string::npos) << warning;

    for (const auto& refused :
         std::vector<std::vector<std::string>>{{"preview", scene_, "--probe-point", "0,7,0"},
                                               {"preview", scene_, "--probe-point", "1,2"},
                                               {"preview", scene_, "--probe", "5000,5000"},
                                               {"preview", scene_, "-o", lit, "--exposure", "3", "--force"},
                                               {"preview", scene_},
                                               {"preview", scene_, "-o", lit, "--lux", lit, "--force"}}) {
        const ToolRun no = runTool(folder_, refused);
        EXPECT_EQ(no.status, 2) << refused.back() << ": " << no.err;
        EXPECT_NE(no.err.find("pelmora preview: "), std::string::npos) << no.err;
    }
    EXPECT_NE(runTool(folder_, {"preview", scene_, "--probe-point", "0,7,0"}).err.find("lies on no surface"),
              std::string::npos);
}

// The worked example of docs/light-model.md, on the sample house itself.
TEST(LitSampleHouse, HallLampGivesTheFloorBelowItWhatThePageWorksOut) {
    TempFolder folder;
    const std::string examples = std::string(PELMORA_SOURCE_DIR) + "/examples";
    std::filesystem::copy(examples + "/house.json", folder / "house.json");
    std::filesystem::copy(examples + "/host", folder / "host", std::filesystem::copy_options::recursive);
    const std::string scene = folder / "house.qmx";
    ASSERT_EQ(runTool(folder, {"export", folder / "house.json", "-o", scene, "--host-dir", folder / "host"}).status, 0);
    const ToolRun run = runTool(folder, {"preview", scene, "--probe-point", "4,0,1.5", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const Json report = Json::parse(run.out);
    EXPECT_EQ(report["lights"][0]["name"], "Hall lamp");
    // 0.8 x 1000 cd, colour (1, 0.9, 0.75) of luminance 0.910, 2.5 m straight above.
    const double luminance = 0.2126 * 1.0 + 0.7152 * 0.9 + 0.0722 * 0.75;
    EXPECT_NEAR(report["lights"][0]["illuminance"].get<double>(), 800.0 * luminance / (2.5 * 2.5), 1e-3);
}

}  // namespace
}  // namespace pelmora
