// One export of a drawing against the emulated host, as the export sequence
// would run it from the unit settings to the write step, and the written file
// read back with the project's QMX reader.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hostsim/host/emulated_host.h"
#include "plugin/collect/scene_container.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/unit_settings.h"
#include "plugin/scene/root_source.h"
#include "qmxread/qmx_tree.h"

namespace pelmora::scene_test {

// A fresh, empty folder for one test.
std::string freshFolder(const std::string& name);
bool exists(const std::string& path);
std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& bytes);

// The hex text of a light id record as the drawing document stores it.
std::string lightRecordHex(std::int32_t id, const std::string& name = "Pelmora-Light");
// A drawing document with a "Ground" layer holding `objects` (a JSON array text).
std::string drawingJson(const std::string& objects, const std::string& view = "null", const std::string& extra = "");

qmxread::QmxFile readBack(const std::string& path);

// The host, the current callback, the units, the container and the root of one export.
class SceneRun {
public:
    explicit SceneRun(const std::string& drawingJsonText);
    explicit SceneRun(hostsim::Drawing drawing);
    ~SceneRun();

    hostsim::EmulatedHost& host() { return host_; }
    SceneContainer& scene() { return *scene_; }
    RootSource& root() { return *root_; }

    // A light source for object `index` of the layer "Ground".
    LightSource& addLight(int index, double baseHeight = 0.0, std::int32_t nodeCount = 2);
    // Fills the container as the geometry pass of the given mode does.
    void collect(std::int32_t mode = 1);
    // writeScene into `path`, then the file read back.
    qmxread::QmxFile write(const std::string& path);
    // A new container and root over the same host, as a second export would make.
    void restart();

private:
    hostsim::EmulatedHost host_;
    host::CallbackScope scope_;
    UnitSettings units_;
    std::unique_ptr<SceneContainer> scene_;
    std::unique_ptr<RootSource> root_;
};

// The payload floats of a motionTranslate.
std::vector<float> translation(const qmxread::Motion& motion);

}  // namespace pelmora::scene_test
