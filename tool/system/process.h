// This process: its id, and memory shared with helper processes it forks.
#pragma once

#include <atomic>

namespace pelmora::tool::system {

long processId();

// A counter that helper processes forked after this call (the model import)
// may set and this process reads; null when the system gives no such memory.
std::atomic<int>* makeSharedCounter(int initial);
void freeSharedCounter(std::atomic<int>* counter);

}  // namespace pelmora::tool::system
