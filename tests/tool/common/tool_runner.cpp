#include "tests/tool/common/tool_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace pelmora::exporttest {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

StartedTool startTool(const std::vector<std::string>& arguments, const ToolOptions& options) {
    static int serial = 0;
    const std::string base =
        ::testing::TempDir() + "/pelmora_tool_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    StartedTool started{-1, base + ".out", base + ".err"};
    const std::string& outPath = started.outPath;
    const std::string& errPath = started.errPath;

    std::vector<std::string> argv{options.program.empty() ? std::string(PELMORA_TOOL) : options.program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);

    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& name : options.unsetEnvironment) unsetenv(name.c_str());
        for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
        // The tests' own environment must not steer the tool's folders.
        if (!options.workingFolder.empty() && chdir(options.workingFolder.c_str()) != 0) _exit(126);
        if (options.fileSizeLimit) {
            // Past the limit a write fails with EFBIG, as on a full disk.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit), static_cast<rlim_t>(*options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        execv(raw[0], raw.data());
        _exit(127);
    }
    started.pid = child;
    return started;
}

ToolResult finishTool(const StartedTool& started) {
    ToolResult result;
    int status = 0;
    if (started.pid > 0 && waitpid(started.pid, &status, 0) == started.pid) {
        if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    }
    result.out = slurp(started.outPath);
    result.err = slurp(started.errPath);
    std::remove(started.outPath.c_str());
    std::remove(started.errPath.c_str());
    return result;
}

ToolResult runTool(const std::vector<std::string>& arguments, const ToolOptions& options) {
    return finishTool(startTool(arguments, options));
}

}  // namespace pelmora::exporttest
