// The export processes of a batch: this program started again with other
// arguments, standard input empty and standard output and error into files,
// each in a slot, up to 64 at once. Ctrl+C in a batch is counted here and
// reaches every child: a second press ends the batch at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pelmora::tool::system {

class ChildProcesses {
public:
    static constexpr int kMaxSlots = 64;

    ChildProcesses();   // takes Ctrl+C over
    ~ChildProcesses();  // gives it back
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    // Starts this program with `arguments` (without the program's name) in
    // the free `slot`; false with the reason in `error`.
    bool start(int slot, const std::vector<std::string>& arguments, const std::string& outFile,
               const std::string& errFile, std::string& error);

    struct Ended {
        int slot = -1;
        bool exited = false;  // it exited, with this status:
        int exitStatus = 0;
        bool byInterrupt = false;  // else it was ended, by Ctrl+C or otherwise:
        std::string how;           // how, in words
    };
    // Waits for a child to end; none when no child runs or waiting failed.
    std::optional<Ended> waitForOne();

    // Presses of Ctrl+C so far.
    int interrupts() const;
};

}  // namespace pelmora::tool::system
