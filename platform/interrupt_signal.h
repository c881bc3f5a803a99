// The system's side of Ctrl+C and of the requests to end: a handler called at
// each press or request (from a signal handler on POSIX systems, from the
// console's control thread on Windows), a way to hold them back for a while,
// and the few calls the handler may make.
#pragma once

#include <functional>
#include <thread>

namespace pelmora::tool::system {

// What reached the process: Ctrl+C (SIGINT; Ctrl+Break on Windows), a request
// to end (SIGTERM; on Windows a logoff or shutdown), or its terminal gone
// (SIGHUP; on Windows the console window closed).
enum class StopSignal { Interrupt, Terminate, HangUp };

// Called once per press or request. It may only use the calls marked
// "handler-safe" below, and must not allocate.
using InterruptHandler = void (*)(StopSignal);

// The handler takes Ctrl+C, SIGTERM and SIGHUP over until restoreInterruptHandler().
void installInterruptHandler(InterruptHandler handler);
void restoreInterruptHandler();

// What one press of Ctrl+C does, for the tool's test seams: the handler runs
// at once, or when the outermost InterruptHold of this thread ends.
void simulateInterrupt();

// Holds Ctrl+C (and SIGTERM, SIGHUP) back for the life of the object; one that
// comes meanwhile reaches the handler when the outermost hold ends. Nestable.
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
// Handler-safe: removes the folder (a UTF-8 path) with the plain files in it,
// if it can; a folder inside it keeps it.
void removeFolderNow(const char* path);
// Handler-safe: ends the process the way the unhandled signal ends it (for
// Ctrl+C: SIGINT, exit status 130 in a shell; SIGTERM: 143; SIGHUP: 129; on
// Windows the status of a process Ctrl+C ended), at the latest when the
// handler returns.
void quitBy(StopSignal signal);
inline void quitAsInterrupted() { quitBy(StopSignal::Interrupt); }

}  // namespace pelmora::tool::system
