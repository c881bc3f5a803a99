#include "tool/export_hooks.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace pelmora::tool {
namespace {

volatile std::sig_atomic_t g_abortRaised = 0;

extern "C" void onInterrupt(int) {
    if (g_abortRaised) {
        // Asked twice: the user wants out now.
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    g_abortRaised = 1;
}

ExportHookState& stateOf(void* user) { return *static_cast<ExportHookState*>(user); }

extern "C" void hookMessageBox(const char* text, void* user) {
    ExportHookState& state = stateOf(user);
    state.endProgress();
    state.messageBoxes.emplace_back(text ? text : "");
    std::fprintf(stderr, "pelmora: plug-in message: %s\n", text ? text : "");
}

extern "C" int hookSaveDialog(const char*, const char*, const char*, char* outPath, int capacity, void* user) {
    ExportHookState& state = stateOf(user);
    ++state.saveDialogCalls;
    std::error_code error;
    // The overwrite prompt of the save dialog: only --force says yes.
    if (std::filesystem::exists(state.outputPath, error) && !state.force) {
        state.refusedOverwrite = true;
        return 2;
    }
    if (capacity <= 0 || state.outputPath.size() >= static_cast<std::size_t>(capacity)) {
        state.pathTooLong = true;
        return 2;
    }
    std::memcpy(outPath, state.outputPath.c_str(), state.outputPath.size() + 1);
    state.saveAnswered = true;
    return 1;
}

extern "C" int hookAbortRequested(void* user) {
    ExportHookState& state = stateOf(user);
    if (++state.abortPolls == state.interruptAtPoll) std::raise(SIGINT);
    return g_abortRaised ? 1 : 0;
}

extern "C" void hookBusyCursor(int frame, std::int32_t ticks, void* user) {
    ExportHookState& state = stateOf(user);
    ++state.progressUpdates;
    if (!state.showProgress) return;
    static const char kSpinner[] = {'|', '/', '-', '\\'};
    std::fprintf(stderr, "\rexporting %c %ld units of work", kSpinner[frame & 3], static_cast<long>(ticks));
    std::fflush(stderr);
    state.progressShown = true;
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

void ExportHookState::endProgress() {
    if (!progressShown) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    progressShown = false;
}

AbortOnInterrupt::AbortOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &previous_);
}

AbortOnInterrupt::~AbortOnInterrupt() { sigaction(SIGINT, &previous_, nullptr); }

bool AbortOnInterrupt::raised() { return g_abortRaised != 0; }
void AbortOnInterrupt::raise() { g_abortRaised = 1; }
void AbortOnInterrupt::clear() { g_abortRaised = 0; }

}  // namespace pelmora::tool
