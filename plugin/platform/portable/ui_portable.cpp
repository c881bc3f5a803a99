// The portable user interface: every call goes to the runner's hooks.
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/portable_hooks.h"
#include "platform/ui.h"

namespace pelmora::platform {

void showMessageBox(const std::string& text) {
    const auto& hooks = portableHooks();
    if (hooks.messageBox) hooks.messageBox(text.c_str(), hooks.user);
}

bool askSavePath(const char* defaultExtension, const char* initialName, const char* filter, std::string& outPath) {
    const auto& hooks = portableHooks();
    if (!hooks.saveDialog) return false;
    std::vector<char> buffer(4096, '\0');
    int answer = hooks.saveDialog(defaultExtension, initialName, filter, buffer.data(),
                                  static_cast<int>(buffer.size()), hooks.user);
    if (answer != 1) return false;
    buffer.back() = '\0';
    outPath.assign(buffer.data());
    return !outPath.empty();
}

bool abortKeysDown() {
    const auto& hooks = portableHooks();
    return hooks.abortRequested && hooks.abortRequested(hooks.user) != 0;
}

void loadBusyCursors() {}

void showBusyCursor(int frame, long ticks) {
    const auto& hooks = portableHooks();
    if (hooks.busyCursor) hooks.busyCursor(frame, static_cast<std::int32_t>(ticks), hooks.user);
}

long processClockMs() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace pelmora::platform
