// This process: its id, whether another one still runs, and memory shared with helper processes it forks.
#pragma once

#include <atomic>

namespace pelmora::tool::system {

long processId();

// Whether a process of that id runs on this machine now (one of another
// user counts too). False only when the system says there is none.
bool processExists(long id);

// A counter that helper processes forked after this call (the model import)
// may set and this process reads; null when the system gives no such memory.
std::atomic<int>* makeSharedCounter(int initial);
void freeSharedCounter(std::atomic<int>* counter);

}  // namespace pelmora::tool::system
