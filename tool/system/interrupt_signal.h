// The system's side of Ctrl+C: a handler called at each press (from a signal
// handler on POSIX systems, from the console's control thread on Windows), a
// way to hold presses back for a while, and the few calls the handler may make.
#pragma once

#include <functional>
#include <thread>

namespace pelmora::tool::system {

// Called once per press. It may only use the calls marked "handler-safe"
// below, and must not allocate.
using InterruptHandler = void (*)();

// The handler takes Ctrl+C over until restoreInterruptHandler().
void installInterruptHandler(InterruptHandler handler);
void restoreInterruptHandler();

// What one press of Ctrl+C does, for the tool's test seams: the handler runs
// at once, or when the outermost InterruptHold of this thread ends.
void simulateInterrupt();

// Holds Ctrl+C back for the life of the object; a press that comes
// meanwhile reaches the handler when the outermost hold ends. Nestable.
class InterruptHold {
public:
    InterruptHold();
    ~InterruptHold();
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;
};

// A thread that never runs the handler (the main thread does).
std::thread threadWithoutInterrupts(std::function<void()> body);

// Handler-safe: writes the text to standard error as it is.
void writeToStderr(const char* text);
// Handler-safe: removes the file (a UTF-8 path) if it can.
void removeFileNow(const char* path);
// Handler-safe: ends the process the way an unhandled Ctrl+C ends it, at the
// latest when the handler returns.
void quitAsInterrupted();

}  // namespace pelmora::tool::system
