// What a runner (the command-line tool on Linux and on Windows, the tests)
// supplies in place of the platform's dialogs, keys and cursors. Until a
// runner installs hooks the platform's own calls are used: the Windows dialogs,
// keys and cursors, or quiet defaults where there are none. Once installed,
// every call goes to the hooks, and a null hook behaves as a quiet default (no
// message shown, dialogs cancelled, no abort, no cursor).
#pragma once

#include <cstdint>
#include <string>

#include "plugin/host/host_abi.h"

extern "C" {

struct PelmoraPortableHooks {
    // A modal message box with an OK button.
    void(PELMORA_HOST_CALL* messageBox)(const char* text, void* user);
    // The save dialog: writes the chosen full path (NUL-terminated, at most
    // capacity - 1 bytes) and gives 1 for OK, anything else for cancel.
    // The runner must confirm replacing an existing file, as the Windows
    // dialog does.
    int(PELMORA_HOST_CALL* saveDialog)(const char* defaultExtension, const char* initialName, const char* filter,
                                       char* outPath, int capacity, void* user);
    // Polled once per container walked: non-zero stops the export.
    int(PELMORA_HOST_CALL* abortRequested)(void* user);
    // The busy cursor changed to `frame` (0 to 3) after `ticks` units of work.
    void(PELMORA_HOST_CALL* busyCursor)(int frame, std::int32_t ticks, void* user);
    void* user;
    // Portable build: the host's code page (1252 or 932), in which the
    // template enumeration gives file names, as Windows' ANSI calls do; 0 or
    // 65001: names as the file system has them. Windows uses its own.
    int fileNameCodePage;
};

}  // extern "C"

namespace pelmora::platform {
// Installs the hooks (copied); null goes back to the platform's own calls.
void setPortableHooks(const PelmoraPortableHooks* hooks);
const PelmoraPortableHooks& portableHooks();
// True between an install of hooks and the next install of null.
bool runnerHooksInstalled();

// The user-interface calls of platform/ui.h answered by the installed hooks.
namespace runner {
void showMessageBox(const char* text);
bool askSavePath(const char* defaultExtension, const char* initialName, const char* filter, std::string& outPath);
bool abortKeysDown();
void showBusyCursor(int frame, long ticks);
}  // namespace runner
}  // namespace pelmora::platform
