// The portable user interface: there are no platform dialogs, keys or cursors,
// so every call goes to the runner's hooks.
#include <chrono>

#include "plugin/platform/portable_hooks.h"
#include "plugin/platform/ui.h"

namespace pelmora::platform {

void showMessageBox(const std::string& text) { runner::showMessageBox(text.c_str()); }

bool askSavePath(const char* defaultExtension, const char* initialName, const char* filter, std::string& outPath) {
    return runner::askSavePath(defaultExtension, initialName, filter, outPath);
}

bool abortKeysDown() { return runner::abortKeysDown(); }

void loadBusyCursors() {}

void showBusyCursor(int frame, long ticks) { runner::showBusyCursor(frame, ticks); }

long processClockMs() {
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace pelmora::platform
