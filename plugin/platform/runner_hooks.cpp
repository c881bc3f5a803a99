// The runner's hooks and the user-interface calls they answer, the same on
// every platform.
#include <vector>

#include "plugin/platform/portable_hooks.h"

namespace pelmora::platform {
namespace {
PelmoraPortableHooks g_hooks{};
bool g_installed = false;
}  // namespace

void setPortableHooks(const PelmoraPortableHooks* hooks) {
    g_hooks = hooks ? *hooks : PelmoraPortableHooks{};
    g_installed = hooks != nullptr;
}
const PelmoraPortableHooks& portableHooks() { return g_hooks; }
bool runnerHooksInstalled() { return g_installed; }

namespace runner {

void showMessageBox(const char* text) {
    if (g_hooks.messageBox) g_hooks.messageBox(text, g_hooks.user);
}

bool askSavePath(const char* defaultExtension, const char* initialName, const char* filter, std::string& outPath) {
    if (!g_hooks.saveDialog) return false;
    std::vector<char> buffer(4096, '\0');
    const int answer = g_hooks.saveDialog(defaultExtension, initialName, filter, buffer.data(),
                                          static_cast<int>(buffer.size()), g_hooks.user);
    if (answer != 1) return false;
    buffer.back() = '\0';
    outPath.assign(buffer.data());
    return !outPath.empty();
}

bool abortKeysDown() { return g_hooks.abortRequested && g_hooks.abortRequested(g_hooks.user) != 0; }

void showBusyCursor(int frame, long ticks) {
    if (g_hooks.busyCursor) g_hooks.busyCursor(frame, static_cast<std::int32_t>(ticks), g_hooks.user);
}

}  // namespace runner
}  // namespace pelmora::platform
