// The Windows user interface of the plug-in: message box, save dialog, abort
// keys, the busy cursor from the module's own resources and the process clock;
// the runner's hooks instead of the dialogs, keys and cursor while a runner has
// installed them (a test run without a person in front of the screen).
// windows.h first: the dialog header needs its types.
#include <windows.h>

#include <commdlg.h>

#include <ctime>
#include <vector>

#include "plugin/platform/portable_hooks.h"
#include "plugin/platform/ui.h"

namespace pelmora::platform {
namespace {

constexpr const char* kCaption = "Pelmora";
constexpr int kFirstCursorResource = 151;
constexpr int kCursorFrames = 4;

HCURSOR g_cursors[kCursorFrames] = {};

bool held(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

// The module this code lives in (the plug-in, not the host's executable),
// found from the address of one of its functions.
HMODULE ownModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ownModule), &module);
    return module;
}

}  // namespace

void showMessageBox(const std::string& text) {
    if (runnerHooksInstalled()) return runner::showMessageBox(text.c_str());
    // No owner window: task-modal keeps the host's windows waiting for OK.
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_TASKMODAL);
}

bool askSavePath(const char* defaultExtension, const char* initialName, const char* filter, std::string& outPath) {
    if (runnerHooksInstalled()) return runner::askSavePath(defaultExtension, initialName, filter, outPath);
    // The filter is given with '|' between its parts; the dialog wants NULs
    // and a final double NUL.
    std::vector<char> filterText;
    for (const char* p = filter ? filter : ""; *p; ++p) filterText.push_back(*p == '|' ? '\0' : *p);
    filterText.push_back('\0');
    filterText.push_back('\0');

    char fileName[MAX_PATH] = {};
    if (initialName) {
        // Bounded: an initial name too long for the dialog is cut, never overrun.
        std::size_t i = 0;
        for (; initialName[i] != '\0' && i + 1 < sizeof fileName; ++i) fileName[i] = initialName[i];
        fileName[i] = '\0';
    }

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = nullptr;
    dialog.lpstrFilter = filterText.data();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = fileName;
    dialog.nMaxFile = sizeof fileName;
    dialog.lpstrDefExt = defaultExtension;
    dialog.Flags = OFN_OVERWRITEPROMPT;
    if (!GetSaveFileNameA(&dialog)) return false;
    fileName[sizeof fileName - 1] = '\0';
    outPath.assign(fileName);
    return !outPath.empty();
}

bool abortKeysDown() {
    if (runnerHooksInstalled()) return runner::abortKeysDown();
    return held(VK_ESCAPE) || (held(VK_CONTROL) && held(VK_DECIMAL));
}

void loadBusyCursors() {
    const HMODULE module = ownModule();
    for (int i = 0; i < kCursorFrames; ++i) {
        if (g_cursors[i] == nullptr) g_cursors[i] = LoadCursorA(module, MAKEINTRESOURCEA(kFirstCursorResource + i));
    }
}

void showBusyCursor(int frame, long ticks) {
    if (runnerHooksInstalled()) return runner::showBusyCursor(frame, ticks);
    if (frame < 0 || frame >= kCursorFrames || g_cursors[frame] == nullptr) return;
    SetCursor(g_cursors[frame]);
}

long processClockMs() {
    const std::clock_t ticks = std::clock();
    if (ticks == static_cast<std::clock_t>(-1)) return 0;
    return static_cast<long>(static_cast<long long>(ticks) * 1000 / CLOCKS_PER_SEC);
}

}  // namespace pelmora::platform
