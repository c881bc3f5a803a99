// `pelmora preview` and `pelmora export --preview` on the sample house, run as
// a user runs them, with the pictures read back from their PNG files.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "preview/preview_scene.h"
#include "preview/render_preview.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/temp_folder.h"

namespace pelmora::preview {
namespace {

using exporttest::readFile;
using exporttest::TempFolder;
using exporttest::writeFile;

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

Image readPng(const std::string& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    Image image;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        ADD_FAILURE() << path << ": " << png.message;
        return image;
    }
    png.format = PNG_FORMAT_RGB;
    image = Image(static_cast<int>(png.width), static_cast<int>(png.height));
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr)) ADD_FAILURE() << png.message;
    return image;
}

class SampleHousePreview : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string examples = std::string(PELMORA_SOURCE_DIR) + "/examples";
        std::filesystem::copy(examples + "/house.json", folder_ / "house.json");
        std::filesystem::copy(examples + "/host", folder_ / "host", std::filesystem::copy_options::recursive);
    }
    ToolRun exportHouse(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments = {
            "export", folder_ / "house.json", "-o", scene_, "--host-dir", folder_ / "host", "--mode", "3", "--force"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return runTool(folder_, arguments);
    }
    TempFolder folder_;
    const std::string scene_ = folder_ / "house.qmx";
};

const qmxread::Node* meshNamed(const qmxread::QmxFile& file, const std::string& name) {
    for (const auto& node : file.roots.at(0).children)
        if (node.type == 8 && node.name == name) return &node;
    return nullptr;
}

TEST_F(SampleHousePreview, BrickColourAtTheProjectionOfTheCameraTarget) {
    ASSERT_EQ(exportHouse().status, 0);
    const std::string picture = folder_ / "view.png";
    const ToolRun run = runTool(folder_, {"preview", scene_, "-o", picture, "--size", "320x240"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("pelmora preview: " + scene_ + ": seen from its camera"), std::string::npos) << run.err;
    const Image image = readPng(picture);
    ASSERT_EQ(image.width, 320);
    ASSERT_EQ(image.height, 240);

    // The target is where the camera aims: the middle of the picture. The
    // pixel there is the brick's diffuse colour, lit somewhere between the
    // ambient part and full light.
    const auto file = qmxread::readQmxFile(scene_);
    const auto* brick = meshNamed(file, "Brick");
    ASSERT_NE(brick, nullptr);
    const auto& diffuse = brick->motions.at(0).payload->find("diffuse")->floats;
    const Rgb centre = image.at(160, 120);
    const double light = centre.red / (255.0 * diffuse[0]);
    EXPECT_GE(light, kAmbient - 0.01);
    EXPECT_LE(light, 1.01);
    EXPECT_NEAR(centre.green, 255.0 * diffuse[1] * light, 1.5);
    EXPECT_NEAR(centre.blue, 255.0 * diffuse[2] * light, 1.5);

    // The same picture comes out of the export when it is asked for there,
    // with the camera's own picture size.
    const std::string fromExport = folder_ / "export.png";
    const ToolRun exported = exportHouse({"--preview", fromExport});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const ToolRun direct = runTool(folder_, {"preview", scene_, "-o", picture, "--force"});
    ASSERT_EQ(direct.status, 0) << direct.err;
    EXPECT_EQ(readFile(fromExport), readFile(picture));
    EXPECT_EQ(readPng(fromExport).width, 640);

    // --lights marks the lamps; without it no marker colour is in the picture.
    auto markerPixels = [](const Image& shown) {
        int count = 0;
        for (int y = 0; y < shown.height; ++y)
            for (int x = 0; x < shown.width; ++x) count += shown.at(x, y) == Rgb{255, 196, 0};
        return count;
    };
    EXPECT_EQ(markerPixels(readPng(picture)), 0);
    const ToolRun marked = runTool(folder_, {"preview", scene_, "-o", picture, "--lights", "--force"});
    ASSERT_EQ(marked.status, 0) << marked.err;
    EXPECT_GT(markerPixels(readPng(picture)), 20);
    EXPECT_NE(marked.err.find("of 5 lights in the picture"), std::string::npos) << marked.err;
}

TEST_F(SampleHousePreview, SceneTakenFromTheExportedFile) {
    ASSERT_EQ(exportHouse().status, 0);
    auto file = qmxread::readQmxFile(scene_);
    PreviewScene scene = sceneFromQmx(file);
    ASSERT_TRUE(scene.camera.has_value()) << scene.cameraProblem;
    // Eye and target as the exported file has them (metres, Y up).
    EXPECT_NEAR(scene.camera->eye.x, 15.0, 1e-3);
    EXPECT_NEAR(scene.camera->eye.y, 6.5, 1e-3);
    EXPECT_NEAR(scene.camera->eye.z, -11.0, 1e-3);
    EXPECT_NEAR(scene.camera->target.x, 4.0, 1e-3);
    EXPECT_NEAR(scene.camera->target.y, 2.2, 1e-3);
    EXPECT_NEAR(scene.camera->target.z, 3.0, 1e-3);
    EXPECT_NEAR(scene.camera->viewAngle, 0.6363, 1e-3);
    EXPECT_EQ(scene.camera->pictureWidth, 640);
    EXPECT_EQ(scene.camera->pictureHeight, 480);
    ASSERT_EQ(scene.meshes.size(), 5u);
    std::size_t polygons = 0;
    for (const auto& mesh : scene.meshes) polygons += mesh.polygonCount();
    EXPECT_EQ(polygons, 222u);
    EXPECT_EQ(scene.meshes[1].name, "Brick");
    EXPECT_NEAR(scene.meshes[1].colour.red, 178 / 255.0, 1e-6);
    EXPECT_NEAR(scene.meshes[4].colour.red, Colour{}.red, 1e-6) << "a mesh without material keeps the default";
    // Five lights; the three that shine every way have no target node.
    ASSERT_EQ(scene.lights.size(), 5u);
    int aimed = 0;
    for (const auto& light : scene.lights) aimed += light.target.has_value();
    EXPECT_EQ(aimed, 2);

    // Without the camera's target node the camera cannot aim: framed instead.
    auto& children = file.roots.at(0).children;
    ASSERT_EQ(children.at(0).id, 1002u);
    children.erase(children.begin());
    scene = sceneFromQmx(file);
    EXPECT_FALSE(scene.camera.has_value());
    EXPECT_EQ(scene.cameraProblem, "its camera has no target node");
    const RenderResult framed = renderPreview(scene, {});
    EXPECT_FALSE(framed.report.fromCamera);
    EXPECT_EQ(framed.image.width, kDefaultWidth);
}

TEST_F(SampleHousePreview, CorruptOrMissingInputAndBadOutputAreRefused) {
    ASSERT_EQ(exportHouse().status, 0);
    const std::string picture = folder_ / "view.png";
    writeFile(picture, "an older picture");

    // One payload byte changed: the byte-sum no longer matches.
    std::string bytes = readFile(scene_);
    bytes[bytes.size() - 40] = static_cast<char>(bytes[bytes.size() - 40] ^ 0x5A);
    const std::string corrupt = folder_ / "corrupt.qmx";
    writeFile(corrupt, bytes);
    std::string readerMessage;
    try {
        qmxread::readQmxFile(corrupt);
    } catch (const qmxread::ReadError& error) { readerMessage = error.what(); }
    ASSERT_FALSE(readerMessage.empty());
    const ToolRun run = runTool(folder_, {"preview", corrupt, "-o", picture, "--force"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(readerMessage), std::string::npos) << run.err;
    EXPECT_EQ(readFile(picture), "an older picture");

    EXPECT_EQ(runTool(folder_, {"preview", scene_, "-o", picture, "--force", "--size", "0x10"}).status, 2);
    EXPECT_EQ(runTool(folder_, {"preview", scene_, "-o", picture, "--force", "--size", "640"}).status, 2);
    EXPECT_EQ(runTool(folder_, {"preview", scene_, "-o", picture, "--force", "--size", "16384x16384"}).status, 2);
    EXPECT_EQ(runTool(folder_, {"preview", scene_, "-o", scene_}).status, 2);
    EXPECT_EQ(runTool(folder_, {"preview", folder_ / "missing.qmx", "-o", picture, "--force"}).status, 2);
    const ToolRun nowhere = runTool(folder_, {"preview", scene_, "-o", folder_ / "no/such/folder/view.png"});
    EXPECT_EQ(nowhere.status, 2);
    EXPECT_NE(nowhere.err.find("the output folder " + folder_ / "no/such/folder" + " does not exist"),
              std::string::npos)
        << nowhere.err;
    EXPECT_EQ(readFile(picture), "an older picture");
    // Nothing but the files the test made is left in the folder.
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(SampleHousePreview, DrawingWithoutPerspectiveViewIsFramedAndSaysSo) {
    std::string document = readFile(folder_ / "house.json");
    const auto at = document.find("\"perspective\": true");
    ASSERT_NE(at, std::string::npos);
    document.replace(at, 19, "\"perspective\": false");
    writeFile(folder_ / "house.json", document);
    const std::string picture = folder_ / "view.png";
    const ToolRun run = exportHouse({"--preview", picture});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("the scene has no camera: seen from a default position"), std::string::npos) << run.err;
    const Image image = readPng(picture);
    ASSERT_EQ(image.width, kDefaultWidth);
    ASSERT_EQ(image.height, kDefaultHeight);
    // The house stands in the middle of the picture; the corners show the sky.
    EXPECT_NE(image.at(640, 360), backgroundAt(360, 720));
    EXPECT_EQ(image.at(0, 0), backgroundAt(0, 720));
    EXPECT_EQ(image.at(1279, 719), backgroundAt(719, 720));
}

}  // namespace
}  // namespace pelmora::preview
