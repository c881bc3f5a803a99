// One case of a fault sweep, run in a child process so that a crash, an abort
// or a leak found at exit ends only that case and is reported with its number.
#pragma once

#include <functional>
#include <string>

namespace pelmora::sweep {

enum class Outcome {
    Completed,     // the run succeeded and left exactly what a clean run leaves
    CleanFailure,  // the run failed with a message and left every file as the rules allow
    Bad,           // the run ended in a state the rules do not allow (detail says which)
    Crashed,       // the child died on a signal (detail holds the backtrace)
    Leaked,        // LeakSanitizer found memory never freed
    ScopedOut,     // aborted inside the drawing loader, which is being replaced
};

const char* outcomeName(Outcome outcome);

struct CaseResult {
    Outcome outcome = Outcome::Bad;
    bool faultFired = false;  // false: the run never reached the fault, the sweep is over
    std::string detail;
};

// What the body gives: its outcome (Completed, CleanFailure or Bad), whether
// the fault fired, and a detail for a Bad outcome.
struct CaseVerdict {
    Outcome outcome = Outcome::Bad;
    bool faultFired = false;
    std::string detail;
};

CaseResult runCase(const std::function<CaseVerdict()>& body);

}  // namespace pelmora::sweep
