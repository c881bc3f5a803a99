#include "tool/system/process.h"

#include <windows.h>

namespace pelmora::tool::system {

long processId() { return static_cast<long>(GetCurrentProcessId()); }

// The Windows build forks no helper processes: nothing to share.
std::atomic<int>* makeSharedCounter(int) { return nullptr; }
void freeSharedCounter(std::atomic<int>*) {}

}  // namespace pelmora::tool::system
