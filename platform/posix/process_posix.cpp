#include "platform/process.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <new>

namespace pelmora::tool::system {

long processId() { return static_cast<long>(::getpid()); }

bool processExists(long id) {
    if (id <= 0) return true;  // never a single process: say nothing is known
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
}

std::atomic<int>* makeSharedCounter(int initial) {
    void* shared = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return shared == MAP_FAILED ? nullptr : new (shared) std::atomic<int>(initial);
}

void freeSharedCounter(std::atomic<int>* counter) {
    if (counter) ::munmap(counter, sizeof(std::atomic<int>));
}

}  // namespace pelmora::tool::system
