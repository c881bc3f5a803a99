#include "tool/convert/model_writer_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <assimp/scene.h>
#include <assimp/Exporter.hpp>

#include "tool/convert/checked_model_io.h"

namespace pelmora::tool {
namespace {

[[noreturn]] void runChild(int out, const aiScene& scene, const std::string& assimpId, const std::string& path,
                           unsigned steps, pid_t parent) {
    // Ended with the tool, however it ends: a writer left running would make
    // the staging file again after the tool took it away.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) _exit(1);
    Assimp::Exporter exporter;
    auto* files = new CheckedModelFiles;
    exporter.SetIOHandler(files);  // the exporter owns it
    const bool exported = exporter.Export(&scene, assimpId, path, steps) == AI_SUCCESS;
    if (exported && files->failure().empty()) _exit(0);
    const char* error = exported ? files->failure().c_str() : exporter.GetErrorString();
    std::size_t size = std::strlen(error);
    while (size > 0) {
        const ssize_t n = ::write(out, error, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        error += n;
        size -= static_cast<std::size_t>(n);
    }
    _exit(1);
}

std::string readAll(int in) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace

std::string writeModelInChild(const aiScene& scene, const std::string& assimpId, const std::string& path,
                              unsigned steps) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::string("cannot start the writer: ") + std::strerror(errno);
    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    const pid_t child = fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return std::string("cannot start the writer: ") + std::strerror(errno);
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        runChild(pipeFds[1], scene, assimpId, path, steps, parent);
    }
    ::close(pipeFds[1]);
    std::string error = readAll(pipeFds[0]);
    ::close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (WIFSIGNALED(status))
        return "the model library's writer crashed (" + std::string(strsignal(WTERMSIG(status))) +
               "); this format cannot hold this scene, choose another";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return error.empty() ? "the writer failed" : error;
    return {};
}

}  // namespace pelmora::tool
