// The tool's stand-ins for the plug-in's platform calls: the save dialog
// answered from -o (with the overwrite prompt answered by --force), message
// boxes and progress on stderr, and Ctrl+C as the abort keys.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/portable_hooks.h"

namespace pelmora::tool {

struct ExportHookState {
    // Set up by the caller.
    std::string outputPath;  // absolute
    bool force = false;
    bool showProgress = false;
    // Test seam: raise SIGINT at this abort poll (0: never), so that the
    // Ctrl+C path can be exercised without timing.
    int interruptAtPoll = 0;

    // What happened during the run.
    int saveDialogCalls = 0;
    bool saveAnswered = false;      // the dialog was answered with the path
    bool refusedOverwrite = false;  // the file exists and --force was not given
    bool pathTooLong = false;
    std::vector<std::string> messageBoxes;
    int abortPolls = 0;
    int progressUpdates = 0;
    bool progressShown = false;

    PelmoraPortableHooks hooks();
    // Clears the progress line when one was drawn.
    void endProgress();
};

// Ctrl+C raises the abort keys while the scope lives: the first SIGINT sets
// the flag that the plug-in polls once per container; a second one ends the
// process at once.
class AbortOnInterrupt {
public:
    AbortOnInterrupt();
    ~AbortOnInterrupt();
    AbortOnInterrupt(const AbortOnInterrupt&) = delete;
    AbortOnInterrupt& operator=(const AbortOnInterrupt&) = delete;

    static bool raised();
    // For tests and for a runner that raises the keys itself.
    static void raise();
    static void clear();

private:
    struct sigaction previous_ {};
};

}  // namespace pelmora::tool
