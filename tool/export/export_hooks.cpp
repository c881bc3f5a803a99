#include "tool/export/export_hooks.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "hostsim/host/emulated_host.h"
#include "platform/interrupt.h"
#include "platform/interrupt_signal.h"
#include "platform/path_text.h"
#include "plugin/command/mode_dialog.h"
#include "plugin/host/host_abi.h"
#include "tool/output/progress_line.h"

namespace pelmora::tool {
namespace {

// Asked once of every object the walks visit.
constexpr std::int32_t kIsVisibleService = host::kIsVisible;

ExportHookState& stateOf(void* user) { return *static_cast<ExportHookState*>(user); }

extern "C" void hookMessageBox(const char* text, void* user) {
    ExportHookState& state = stateOf(user);
    if (state.progress) state.progress->clear();
    state.messageBoxes.emplace_back(text ? text : "");
    std::fprintf(stderr, "pelmora export: plug-in message: %s\n", text ? text : "");
}

extern "C" int hookSaveDialog(const char*, const char*, const char*, char* outPath, int capacity, void* user) {
    ExportHookState& state = stateOf(user);
    std::error_code error;
    // The overwrite prompt of the save dialog: only --force says yes.
    if (std::filesystem::exists(system::pathOf(state.targetPath), error) && !state.force) {
        state.refusedOverwrite = true;
        return 2;
    }
    const std::string& answer = state.pluginAnswerPath;
    if (capacity <= 0 || answer.size() >= static_cast<std::size_t>(capacity)) {
        state.pathTooLong = true;
        return 2;
    }
    std::memcpy(outPath, answer.c_str(), answer.size() + 1);
    state.saveAnswered = true;
    // The geometry pass follows the save dialog.
    if (state.host) {
        state.visitedBaseline = state.host->callCount(kIsVisibleService);
        const std::optional<int> mode = chosenMode(*state.host);
        state.objectsInScope = mode && *mode <= 1 ? state.objectsActiveLayer : state.objectsVisibleLayers;
    }
    if (state.progress) {
        state.progress->phase("collecting objects");
        state.showCollection();
        state.progress->show();
        // The writer's first file marks the end of the collection.
        state.progress->nextPhaseWhenFileAppears(
            state.writerPath, "writing " + system::textOf(system::pathOf(state.targetPath).filename()));
    }
    return 1;
}

extern "C" int hookAbortRequested(void* user) {
    ExportHookState& state = stateOf(user);
    if (++state.abortPolls == state.interruptAtPoll) system::simulateInterrupt();
    if (state.saveAnswered) state.showCollection();
    return InterruptScope::raised() ? 1 : 0;
}

extern "C" void hookBusyCursor(int, std::int32_t, void* user) {
    ExportHookState& state = stateOf(user);
    state.showCollection();
}

}  // namespace

PelmoraPortableHooks ExportHookState::hooks() {
    PelmoraPortableHooks hooks{};
    hooks.messageBox = hookMessageBox;
    hooks.saveDialog = hookSaveDialog;
    hooks.abortRequested = hookAbortRequested;
    hooks.busyCursor = hookBusyCursor;
    hooks.user = this;
    return hooks;
}

std::optional<int> chosenMode(const hostsim::EmulatedHost& host) {
    if (host.dialogs().empty()) return std::nullopt;
    const hostsim::DialogRecord& dialog = host.dialogs().back();
    if (dialog.result != hostsim::kDialogConfirmed) return std::nullopt;
    for (int mode = 0; mode < kModeCount; ++mode) {
        const hostsim::DialogItem* item = dialog.item(kFirstModeItem + mode);
        if (item && item->state) return mode;
    }
    return std::nullopt;
}

void ExportHookState::showCollection() {
    if (!progress || !progress->enabled() || !host) return;
    long long visited = host->callCount(kIsVisibleService) - visitedBaseline;
    if (objectsInScope > 0) {
        if (visited > objectsInScope) visited = objectsInScope;
        progress->fraction(static_cast<double>(visited) / static_cast<double>(objectsInScope));
        progress->detail(ProgressLine::countText(visited) + " of " + ProgressLine::countText(objectsInScope) +
                         " objects");
    } else {
        progress->detail(ProgressLine::countText(visited) + " objects");
    }
}

}  // namespace pelmora::tool
