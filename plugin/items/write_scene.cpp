#include "items/write_scene.h"

#include "command/qmx_exception.h"
#include "collect/scene_container.h"
#include "items/light_identity.h"
#include "items/root_source.h"
#include "items/scene_counters.h"
#include "platform/files.h"
#include "scene_file/result_code.h"
#include "scene_file/scene_description.h"
#include "scene_file/scene_writer.h"

namespace pelmora {

std::string temporaryPathFor(const std::string& outputPath) { return outputPath + ".pelmora-tmp"; }

void writeScene(RootSource& root, const std::string& outputPath) {
    assignLightIds(root.scene.lights);
    nextMeshNodeId = kFirstMeshNodeId;
    if (outputPath.empty()) raiseMessage(kMsgWriteFailed);

    // The file the user chose is only replaced by a complete one: a failed
    // write, a stream that could not be made, or a failure raised while the
    // tree is walked leaves it as it was and takes the partial file away.
    const std::string temporary = temporaryPathFor(outputPath);
    int result = kFailed;
    try {
        SceneDescription scene(&root);
        SceneWriter writer;
        result = writer.write(temporary.c_str(), &scene);
    } catch (...) {
        platform::removeFile(temporary);
        throw;
    }
    if (!succeeded(result) || !platform::replaceFile(temporary, outputPath)) {
        platform::removeFile(temporary);
        raiseMessage(kMsgWriteFailed);
    }
}

}  // namespace pelmora
