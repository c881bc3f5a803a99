#include "platform/interrupt.h"

#include <csignal>
#include <cstring>

#include "platform/process.h"

namespace pelmora::tool {
namespace {

volatile std::sig_atomic_t g_raised = 0;
volatile std::sig_atomic_t g_terminal = 0;
// Helper processes forked meanwhile (the model import) inherit the handler;
// only the tool itself speaks.
volatile long g_owner = 0;

constexpr std::size_t kPathCapacity = 4096;
char g_removeOnQuit[InterruptScope::kSlots][kPathCapacity];

void onInterrupt(system::StopSignal stop) {
    if (stop == system::StopSignal::Interrupt && !g_raised) {
        g_raised = 1;
        if (g_terminal && system::processId() == g_owner)
            system::writeToStderr(
                "\r\033[Kpelmora: stopping\xE2\x80\xA6 (the previous file stays as it was; Ctrl+C again quits at "
                "once)\n");
        return;
    }
    // Asked twice, or asked to end (SIGTERM, SIGHUP): out now, leaving no
    // partial file behind.
    for (int slot = 0; slot < InterruptScope::kSlots; ++slot) {
        const char* path = g_removeOnQuit[slot];
        if (path[0] == '\0') continue;
        if (slot == InterruptScope::kFolderSlot) system::removeFolderNow(path);
        else system::removeFileNow(path);
    }
    if (g_terminal && system::processId() == g_owner) system::writeToStderr("\r\033[K");
    system::quitBy(stop);
}

}  // namespace

InterruptScope::InterruptScope(bool terminal) {
    g_terminal = terminal ? 1 : 0;
    g_owner = system::processId();
    g_raised = 0;
    for (auto& path : g_removeOnQuit) path[0] = '\0';
    system::installInterruptHandler(onInterrupt);
}

InterruptScope::~InterruptScope() {
    system::restoreInterruptHandler();
    for (auto& path : g_removeOnQuit) path[0] = '\0';
}

bool InterruptScope::raised() { return g_raised != 0; }
void InterruptScope::clear() { g_raised = 0; }

void InterruptScope::removeOnQuit(int slot, const std::string& path) {
    if (slot < 0 || slot >= kSlots) return;
    InterruptScope::Hold hold;  // the handler never sees half a path
    char* target = g_removeOnQuit[slot];
    if (path.size() >= kPathCapacity) {
        target[0] = '\0';
        return;
    }
    std::memcpy(target, path.c_str(), path.size() + 1);
}

void InterruptScope::forgetRemovals() noexcept {
    InterruptScope::Hold hold;
    for (int slot = 0; slot < kSlots; ++slot)
        if (slot != kLockSlot) g_removeOnQuit[slot][0] = '\0';
}

}  // namespace pelmora::tool
