#include <unistd.h>

#include "tests/plugin/scene/scene_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plugin/collect/collection.h"
#include "plugin/collect/mesh_source.h"
#include "plugin/payloads/light_source.h"
#include "plugin/scene/write_scene.h"
#include "qmxread/payload_decode.h"
#include "qmxread/qmx_reader.h"

namespace pelmora::scene_test {

std::string freshFolder(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("scene_items_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder.string() + "/";
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string lightRecordHex(std::int32_t id, const std::string& name) {
    std::uint8_t bytes[132] = {};
    std::memcpy(bytes + 64, name.data(), std::min<std::size_t>(name.size(), 64));
    const auto v = static_cast<std::uint32_t>(id);
    for (int i = 0; i < 4; ++i) bytes[128 + i] = static_cast<std::uint8_t>(v >> (8 * i));
    std::string hex;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

std::string drawingJson(const std::string& objects, const std::string& view, const std::string& extra) {
    return R"({"pelmoraDrawing": 1, "unitsPerInch": 25.4, "classes": ["None", "Walls"], "view": )" + view +
           R"(, "layers": [{"name": "Ground", "objects": )" + objects + "}]" + extra + "}";
}

SceneRun::SceneRun(const std::string& drawingJsonText) : SceneRun(hostsim::parseDrawing(drawingJsonText)) {}

SceneRun::SceneRun(hostsim::Drawing drawing) : host_(std::move(drawing)), scope_(host_.callback()) {
    units_.detect();
    restart();
}

SceneRun::~SceneRun() {
    root_.reset();
    scene_.reset();
    setCurrentUnits(nullptr);
    EXPECT_TRUE(host_.faults().empty()) << host_.faults().front();
}

void SceneRun::restart() {
    root_.reset();
    scene_ = std::make_unique<SceneContainer>(nullptr);
    root_ = std::make_unique<RootSource>(*scene_);
}

LightSource& SceneRun::addLight(int index, double baseHeight, std::int32_t nodeCount) {
    scene_->lights.push_back(
        std::make_unique<LightSource>(host_.objectHandle("Ground", {index}), baseHeight, nodeCount));
    return *scene_->lights.back();
}

void SceneRun::collect(std::int32_t mode) { extractGeometry(*scene_, mode); }

qmxread::QmxFile SceneRun::write(const std::string& path) {
    writeScene(*root_, path);
    return readBack(path);
}

qmxread::QmxFile readBack(const std::string& path) { return qmxread::readQmxFile(path); }

std::vector<float> translation(const qmxread::Motion& motion) {
    EXPECT_EQ(motion.name, "motionTranslate");
    EXPECT_EQ(motion.dataSize, 12);
    std::vector<float> xyz;
    for (std::size_t i = 0; i + 4 <= motion.data.size(); i += 4) xyz.push_back(qmxread::loadFloat(&motion.data[i]));
    return xyz;
}

}  // namespace pelmora::scene_test
