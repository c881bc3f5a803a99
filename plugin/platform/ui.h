// The few user-interface calls of the plug-in that are not host services:
// Windows dialogs and cursors, or the runner's hooks in the portable build.
#pragma once

#include <string>

namespace pelmora::platform {

// A modal message box with an OK button only.
void showMessageBox(const std::string& text);

// The standard save-file dialog; gives false on anything but OK.
bool askSavePath(const char* defaultExtension, const char* initialName, const char* filter, std::string& outPath);

// True while the abort keys are held (Escape, or Control with the keypad decimal key).
bool abortKeysDown();

// The busy cursor: frames are loaded once, then shown by index 0 to 3.
void loadBusyCursors();
void showBusyCursor(int frame, long ticks);

// Milliseconds since the process started.
long processClockMs();

}  // namespace pelmora::platform
