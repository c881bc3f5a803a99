// A whole export from fuzzed bytes: a drawing that loads (and that the host
// accepts) is exported by the plug-in inside the emulated host, and the file
// it reports written must read back with the QMX reader. A crash, a sanitizer
// report, a host fault, a leaked temporary object or an unreadable file is a
// finding; a refused document or a failure message is not.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "hostsim/document/drawing.h"
#include "hostsim/document/record_check.h"
#include "hostsim/host/emulated_host.h"
#include "plugin/command/plugin_main.h"
#include "plugin/host/host_abi.h"
#include "plugin/platform/portable_hooks.h"
#include "qmxread/qmx_reader.h"

namespace {

namespace fs = std::filesystem;

struct Folders {
    std::string host;
    std::string output;
};

const Folders& folders() {
    static const Folders made = [] {
        const fs::path base = fs::temp_directory_path() / ("pelmora_fuzz_export_" + std::to_string(getpid()));
        fs::remove_all(base);
        fs::create_directories(base / "host");
        // The sample templates, so that materials and textures are exported too.
        std::error_code ignored;
        fs::copy(fs::path(PELMORA_SOURCE_DIR) / "examples/host", base / "host", fs::copy_options::recursive, ignored);
        return Folders{(base / "host").string() + "/", (base / "scene.qmx").string()};
    }();
    return made;
}

extern "C" int answerSave(const char*, const char*, const char*, char* out, int capacity, void*) {
    const std::string& path = folders().output;
    if (static_cast<int>(path.size()) >= capacity) return 2;
    std::snprintf(out, static_cast<std::size_t>(capacity), "%s", path.c_str());
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelmora;
    hostsim::Drawing drawing;
    try {
        drawing = hostsim::parseDrawing(std::string_view(reinterpret_cast<const char*>(data), size));
        hostsim::checkRecordSizes(drawing);
    } catch (const hostsim::DocumentError&) { return 0; }
    const Folders& where = folders();
    std::remove(where.output.c_str());

    hostsim::EmulatedHost host(std::move(drawing));
    host.setFolder(host::kFolderBase, where.host);
    host.setFolder(host::kFolderUserData, where.host);
    host.dialogScript().mode = 3;
    PelmoraPortableHooks hooks{};
    hooks.saveDialog = answerSave;
    platform::setPortableHooks(&hooks);
    pluginMain(kActionRun, 0, 0, host.callback());
    platform::setPortableHooks(nullptr);

    if (!host.faults().empty() || host.leakedTemporaries() > 0) std::abort();
    if (host.messages().empty() && fs::exists(where.output)) {
        try {
            (void)qmxread::readQmxFile(where.output);
        } catch (const qmxread::ReadError&) {
            std::abort();  // the plug-in wrote a file its own format's reader refuses
        }
    }
    return 0;
}
