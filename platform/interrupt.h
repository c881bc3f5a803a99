// Ctrl+C during a run of the tool. The first press only raises a flag, which
// the plug-in polls as its abort keys and the tool checks between its steps;
// on a terminal it is acknowledged at once. A second press ends the process
// at once, after taking away the files registered here (a staging file, the
// writer's partial file) and clearing the progress line. SIGTERM and SIGHUP
// (on Windows the console closed, a logoff, a shutdown) do what the second
// press does, and the process ends by that signal.
#pragma once

#include <string>

#include "platform/interrupt_signal.h"

namespace pelmora::tool {

class InterruptScope {
public:
    // `terminal`: stderr is a terminal (the acknowledgement and the clearing
    // of the progress line are written only there).
    explicit InterruptScope(bool terminal);
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    static bool raised();
    static void clear();

    // Files a second Ctrl+C removes before the process ends (the staging file
    // and the writer's file beside it, the drawing's lock file, a staging
    // folder with the files in it; empty slots are skipped). Paths are copied
    // into fixed storage, since the signal handler may not allocate.
    static void removeOnQuit(int slot, const std::string& path);
    static constexpr int kSlots = 4;
    static constexpr int kLockSlot = 2;
    static constexpr int kFolderSlot = 3;
    // Forgets the staging slots (all but kLockSlot); the drawing's lock stays
    // registered until the run lets go of it.
    static void forgetRemovals() noexcept;

    // Holds Ctrl+C back for the life of the object: a signal that comes
    // meanwhile is handled when it ends. Used around the final replacement, so
    // that a Ctrl+C is either before it (and stops the run) or after it.
    using Hold = system::InterruptHold;
};

}  // namespace pelmora::tool
