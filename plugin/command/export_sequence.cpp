#include "plugin/command/export_sequence.h"

#include <cstdint>
#include <memory>

#include "plugin/collect/collection.h"
#include "plugin/collect/scene_container.h"
#include "plugin/command/mode_dialog.h"
#include "plugin/command/preferences.h"
#include "plugin/command/run_guarded.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/host/unit_settings.h"
#include "plugin/platform/ui.h"
#include "plugin/scene/root_source.h"
#include "plugin/scene/write_scene.h"
#include "plugin/templates/template_library.h"

namespace pelmora {
namespace {

// Keeps the unit settings current for the export and withdraws them however
// the export ends, so that nothing points at them after the call.
class CurrentUnitsScope {
public:
    CurrentUnitsScope() { units_.detect(); }
    ~CurrentUnitsScope() { setCurrentUnits(nullptr); }
    CurrentUnitsScope(const CurrentUnitsScope&) = delete;
    CurrentUnitsScope& operator=(const CurrentUnitsScope&) = delete;

private:
    UnitSettings units_;
};

}  // namespace

std::string askOutputPath() {
    std::string path;
    if (!platform::askSavePath(kSaveExtension, kSaveInitialName, kSaveFilter, path)) raiseSilent();
    return path;
}

void runExport() {
    std::int32_t mode = loadMode();
    if (!askMode(mode)) return;
    storeMode(mode);

    // Created in this order and destroyed in the reverse one.
    CurrentUnitsScope units;
    auto library = std::make_unique<TemplateLibrary>();
    library->load();
    auto scene = std::make_unique<SceneContainer>(library.get());
    auto root = std::make_unique<RootSource>(*scene);
    std::string outputPath;

    runGuarded({
        [&] { checkExportable(mode); },
        [&] { outputPath = askOutputPath(); },
        [&] { extractGeometry(*scene, mode); },
        [&] { writeScene(*root, outputPath); },
    });

    outputPath.clear();
    root.reset();
    scene.reset();
    library.reset();
}

}  // namespace pelmora
