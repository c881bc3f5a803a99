#include "platform/child_processes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/interrupt_signal.h"

extern char** environ;

namespace pelmora::tool::system {
namespace {

// Ctrl+C in a batch: the children run in their own process group, so the
// terminal's signal reaches the batch alone, which hands each one on. SIGTERM
// and SIGHUP are handed on too, and end the batch at once, as they end each
// child once it has taken its files away.
volatile std::sig_atomic_t g_interrupts = 0;
volatile pid_t g_children[ChildProcesses::kMaxSlots] = {};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[3]{};

extern "C" void onBatchInterrupt(int signal) {
    g_interrupts = g_interrupts + 1;
    for (auto& child : g_children)
        if (child > 0) ::kill(child, signal);
    if (signal == SIGTERM) quitBy(StopSignal::Terminate);
    if (signal == SIGHUP) quitBy(StopSignal::HangUp);
    if (g_interrupts >= 2) {
        // The children quit at once on their second signal; so does the batch.
        quitAsInterrupted();
    }
}

}  // namespace

ChildProcesses::ChildProcesses() {
    struct sigaction action {};
    action.sa_handler = onBatchInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaddset(&action.sa_mask, signal);
    g_interrupts = 0;
    for (auto& child : g_children) child = 0;
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

ChildProcesses::~ChildProcesses() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

int ChildProcesses::interrupts() const { return g_interrupts; }

bool ChildProcesses::start(int slot, const std::vector<std::string>& arguments, const std::string& outFile,
                           const std::string& errFile, std::string& error) {
    std::vector<std::string> args = arguments;
    args.insert(args.begin(), "pelmora");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    pid_t pid = 0;
    // The children must not see a Ctrl+C twice; the batch's handler may
    // run only once the pid is in its table.
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigprocmask(SIG_BLOCK, &block, &old);
    int failed = posix_spawn(&pid, "/proc/self/exe", &files, &attributes, argv.data(), environ);
    if (failed == 0) {
        g_children[slot] = pid;
        if (g_interrupts > 0) ::kill(pid, SIGINT);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        error = std::string("cannot start the export process: ") + std::strerror(failed);
        return false;
    }
    return true;
}

std::optional<ChildProcesses::Ended> ChildProcesses::waitForOne() {
    for (;;) {
        int raw = 0;
        pid_t ended = ::waitpid(-1, &raw, 0);
        if (ended < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        for (int slot = 0; slot < kMaxSlots; ++slot) {
            if (g_children[slot] != ended) continue;
            g_children[slot] = 0;
            Ended result;
            result.slot = slot;
            result.exited = WIFEXITED(raw);
            result.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : 0;
            if (WIFSIGNALED(raw)) {
                result.byInterrupt = WTERMSIG(raw) == SIGINT;
                result.how = "the export process ended by signal " + std::to_string(WTERMSIG(raw));
            }
            return result;
        }
    }
}

}  // namespace pelmora::tool::system
