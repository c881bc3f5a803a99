#include "platform/process.h"

#include <windows.h>

namespace pelmora::tool::system {

long processId() { return static_cast<long>(GetCurrentProcessId()); }

bool processExists(long id) {
    if (id <= 0) return true;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;  // no such id
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

// The Windows build forks no helper processes: nothing to share.
std::atomic<int>* makeSharedCounter(int) { return nullptr; }
void freeSharedCounter(std::atomic<int>*) {}

}  // namespace pelmora::tool::system
