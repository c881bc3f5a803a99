// Any bytes as the preference file: reading it gives a mode 0 to 3, and
// storing a mode and reading it back gives that mode.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "hostsim/document/drawing.h"
#include "hostsim/host/emulated_host.h"
#include "plugin/command/preferences.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/host_abi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace fs = std::filesystem;
    using namespace pelmora;
    static const fs::path folder = fs::temp_directory_path() / ("pelmora_fuzz_pref_" + std::to_string(getpid()));
    fs::create_directories(folder / "Data");
    {
        std::ofstream out(folder / "Data/Pelmora.pref", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    hostsim::Drawing drawing;
    hostsim::EmulatedHost host(std::move(drawing));
    host.setFolder(host::kFolderUserData, folder.string() + "/");
    host::CallbackScope scope(host.callback());

    const std::int32_t mode = loadMode();
    if (mode < 0 || mode > 3) std::abort();
    const std::int32_t next = (mode + 1) % 4;
    storeMode(next);
    if (loadMode() != next) std::abort();
    return 0;
}
