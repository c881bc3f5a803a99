// The whole `pelmora` command line as one call, so that tests can run it in
// their own process (under the allocation and file fault hooks).
#pragma once

#include "tool/export/export_run.h"

namespace pelmora::tool {

// Parses the arguments, runs the subcommand and gives the exit status. Never
// throws: out of memory anywhere, the parsing included, is a message and
// status 1. `testPoints` reach every export of the run (a test's entry point
// sets them; the tool's own main gives none).
int runTool(int argc, char** argv, const InterruptPoints& testPoints = {}) noexcept;

// The program's own entry: as runTool, with the arguments first read as
// UTF-8 (system::CommandLine) inside the same failure handler, so that even
// copying them may run out of memory cleanly.
int runProgram(int argc, char** argv) noexcept;

}  // namespace pelmora::tool
