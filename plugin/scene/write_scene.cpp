#include "plugin/scene/write_scene.h"

#include "plugin/collect/scene_container.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/payloads/light_identity.h"
#include "plugin/payloads/scene_counters.h"
#include "plugin/platform/files.h"
#include "plugin/scene/root_source.h"
#include "plugin/scene_file/result_code.h"
#include "plugin/scene_file/scene_description.h"
#include "plugin/scene_file/scene_writer.h"

namespace pelmora {

std::string temporaryPathFor(const std::string& outputPath) {
    std::string candidate = outputPath + ".pelmora-tmp";
    if (candidate.size() <= platform::pathLengthLimit()) return candidate;
    // A chosen path close to the platform's limit: a short name in the same
    // folder keeps the replacement in one file system.
    const std::string separators = std::string("/") + platform::pathSeparator();
    const std::size_t slash = outputPath.find_last_of(separators);
    const std::string folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash + 1);
    candidate = folder + "~pelmora.tmp";
    if (candidate.size() <= platform::pathLengthLimit() && candidate != outputPath) return candidate;
    return {};
}

void writeScene(RootSource& root, const std::string& outputPath) {
    assignLightIds(root.scene.lights);
    nextMeshNodeId = kFirstMeshNodeId;
    if (outputPath.empty()) raiseMessage(kMsgWriteFailed);

    // The file the user chose is only replaced by a complete one: a failed
    // write, a stream that could not be made, or a failure raised while the
    // tree is walked leaves it as it was and takes the partial file away. A
    // chosen link stays a link: the file it points to is the one replaced.
    const auto write = [&root](const std::string& path) {
        SceneDescription scene(&root);
        SceneWriter writer;
        return succeeded(writer.write(path.c_str(), &scene));
    };
    const base::Replaced replaced =
        base::writeBesideAndReplace(outputPath, platform::replaceCalls(), &temporaryPathFor, write);
    // No room for any temporary name beside the target: write it directly.
    if (replaced == base::Replaced::NoTemporaryName && write(outputPath)) return;
    if (replaced != base::Replaced::Done) raiseMessage(kMsgWriteFailed);
}

}  // namespace pelmora
