// pelmora_runner: exports a drawing document with the Windows module, loaded
// the way a host loads it, and answers its dialogs itself, so that the module
// can be tested without a person (under Wine in CI).
//
//   pelmora_runner MODULE DRAWING HOSTDIR MODE OUT.qmx [OUT-ascii.qmx]
//
// HOSTDIR holds Pelmora\ (templates, id table) and receives Data\ (the
// preference file); MODE is the options dialog's answer (0 to 3). With a
// sixth argument the written file is also written again in the ASCII
// encoding through the scene writer of this platform (text mode: CR LF).
// Exit status 0 when the file was written and the host saw no message and no
// fault, else 1 (2 for wrong arguments).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "hostsim/drawing.h"
#include "hostsim/emulated_host.h"
#include "host/host_abi.h"
#include "platform/portable_hooks.h"
#include "qmxread/qmx_reader.h"
#include "scene_file/result_code.h"
#include "scene_file/scene_writer.h"
#include "tool/qmx_replay.h"

namespace {

using PluginMain = std::int32_t(PELMORA_HOST_CALL*)(std::int32_t, std::int32_t, std::int32_t, HostCallback);
using InstallHooks = void(PELMORA_HOST_CALL*)(const PelmoraPortableHooks*);

// A symbol of the module as the function it is; the detour through the
// generic function type is the documented way to convert GetProcAddress's type.
template <class Function>
Function symbol(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct RunState {
    std::string output;
    int saveDialogs = 0;
    int messageBoxes = 0;
};

void PELMORA_HOST_CALL onMessageBox(const char* text, void* user) {
    ++static_cast<RunState*>(user)->messageBoxes;
    std::fprintf(stderr, "pelmora_runner: message box: %s\n", text ? text : "");
}

int PELMORA_HOST_CALL onSaveDialog(const char*, const char*, const char*, char* outPath, int capacity, void* user) {
    auto& state = *static_cast<RunState*>(user);
    ++state.saveDialogs;
    if (capacity <= 0 || state.output.size() >= static_cast<std::size_t>(capacity)) return 2;
    std::memcpy(outPath, state.output.c_str(), state.output.size() + 1);
    return 1;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "pelmora_runner: %s\n", text.c_str());
    return 1;
}

int writeAscii(const std::string& input, const std::string& output) {
    pelmora::qmxread::ReadOptions options;
    options.decodePayloads = false;
    const pelmora::qmxread::QmxFile file = pelmora::qmxread::readQmxFile(input, options);
    if (const std::string obstacle = pelmora::tool::replayObstacle(file); !obstacle.empty())
        return fail(input + ": cannot be written again: " + obstacle);
    pelmora::tool::ReplayScene scene(file);
    pelmora::SceneWriter writer;
    writer.binary = false;
    writer.legacy = file.header.layout == pelmora::qmxread::Layout::Legacy;
    writer.checksums = file.header.checksums;
    const int result = writer.write(output.c_str(), &scene);
    if (!pelmora::succeeded(result)) return fail("writing " + output + " failed");
    return 0;
}

int run(int argc, char** argv) {
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: pelmora_runner MODULE DRAWING HOSTDIR MODE OUT.qmx [OUT-ascii.qmx]\n");
        return 2;
    }
    const std::string modulePath = argv[1], drawingPath = argv[2], output = argv[5];
    std::string hostDir = argv[3];
    if (hostDir.empty() || (hostDir.back() != '\\' && hostDir.back() != '/')) hostDir += '\\';
    const int mode = std::atoi(argv[4]);

    HMODULE module = LoadLibraryA(modulePath.c_str());
    if (!module) return fail("cannot load " + modulePath + " (error " + std::to_string(GetLastError()) + ")");
    const auto pluginMain = symbol<PluginMain>(module, "plugin_main");
    const auto installHooks = symbol<InstallHooks>(module, "pelmora_install_runner_hooks");
    if (!pluginMain || !installHooks) return fail(modulePath + " lacks plugin_main or pelmora_install_runner_hooks");

    pelmora::hostsim::EmulatedHost host(pelmora::hostsim::loadDrawing(drawingPath));
    host.setFolder(pelmora::host::kFolderBase, hostDir);
    host.setFolder(pelmora::host::kFolderUserData, hostDir);
    host.dialogScript().mode = mode;
    host.onMessage([](const pelmora::hostsim::ShownMessage& message) {
        std::fprintf(stderr, "pelmora_runner: host message %d/%d: %s\n", static_cast<int>(message.list),
                     static_cast<int>(message.index), message.text.c_str());
    });

    RunState state;
    state.output = output;
    PelmoraPortableHooks hooks{};
    hooks.messageBox = onMessageBox;
    hooks.saveDialog = onSaveDialog;
    hooks.user = &state;
    DeleteFileA(output.c_str());
    installHooks(&hooks);
    pluginMain(3, 0, 0, host.callback());
    installHooks(nullptr);

    for (const auto& fault : host.faults()) std::fprintf(stderr, "pelmora_runner: host fault: %s\n", fault.c_str());
    if (!host.messages().empty() || !host.faults().empty() || state.messageBoxes > 0) return 1;
    if (state.saveDialogs != 1 || GetFileAttributesA(output.c_str()) == INVALID_FILE_ATTRIBUTES)
        return fail("the export wrote no file");
    if (argc == 7) return writeAscii(output, argv[6]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
