// The tool's stand-ins for the plug-in's platform calls: the save dialog
// answered with the tool's staging path (the overwrite prompt answered by
// --force for the real target), message boxes on stderr, Ctrl+C as the abort
// keys, and the busy cursor turned into the progress line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/platform/portable_hooks.h"

namespace pelmora::hostsim {
class EmulatedHost;
}

namespace pelmora::tool {

class ProgressLine;

struct ExportHookState {
    // Set up by the caller.
    std::string targetPath;        // absolute: the file the user named
    std::string answerPath;        // what the save dialog answers: the staging file beside the target
    std::string pluginAnswerPath;  // the same as the plug-in's file calls take it (ANSI on Windows)
    std::string writerPath;        // where the plug-in's writer puts the bytes first
    bool force = false;
    ProgressLine* progress = nullptr;
    const hostsim::EmulatedHost* host = nullptr;
    // Drawing objects the chosen mode may visit, as the host knows them.
    long long objectsActiveLayer = 0;    // modes 0 and 1
    long long objectsVisibleLayers = 0;  // modes 2 and 3
    long long objectsInScope = 0;        // set once the mode is chosen
    // Test seam: press Ctrl+C at this abort poll (0: never), so that the
    // Ctrl+C path can be exercised without timing.
    int interruptAtPoll = 0;

    // What happened during the run.
    bool saveAnswered = false;      // the dialog was answered with the path
    bool refusedOverwrite = false;  // the file exists and --force was not given
    bool pathTooLong = false;
    std::vector<std::string> messageBoxes;
    int abortPolls = 0;
    int visitedBaseline = 0;  // visibility questions asked before the geometry pass

    PelmoraPortableHooks hooks();
    // Shows the objects visited so far on the progress line.
    void showCollection();
};

// The mode confirmed in the options dialog of the last run; none when the
// dialog did not run or was cancelled.
std::optional<int> chosenMode(const hostsim::EmulatedHost& host);

}  // namespace pelmora::tool
