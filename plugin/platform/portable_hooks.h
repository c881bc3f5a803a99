// What a runner of the portable build (the command-line tool, the tests)
// supplies in place of the Windows dialogs, keys and cursors. Every hook may
// be null; a null hook behaves as a quiet default (no message shown, dialogs
// cancelled, no abort, no cursor).
#pragma once

#include <cstdint>

extern "C" {

struct PelmoraPortableHooks {
    // A modal message box with an OK button.
    void (*messageBox)(const char* text, void* user);
    // The save dialog: writes the chosen full path (NUL-terminated, at most
    // capacity - 1 bytes) and gives 1 for OK, anything else for cancel.
    // `existingPrompt` is 1: the runner must confirm replacing an existing file.
    int (*saveDialog)(const char* defaultExtension, const char* initialName, const char* filter, char* outPath,
                      int capacity, void* user);
    // Polled once per container walked: non-zero stops the export.
    int (*abortRequested)(void* user);
    // The busy cursor changed to `frame` (0 to 3) after `ticks` units of work.
    void (*busyCursor)(int frame, std::int32_t ticks, void* user);
    void* user;
};

}  // extern "C"

namespace pelmora::platform {
// Installs the hooks (copied); null restores the quiet defaults.
void setPortableHooks(const PelmoraPortableHooks* hooks);
const PelmoraPortableHooks& portableHooks();
}  // namespace pelmora::platform
