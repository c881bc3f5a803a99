// What an export that wrote nothing tells the user: the host's messages with
// a hint at their cause, and the reason when the plug-in stopped without one.
#pragma once

#include <optional>
#include <string>

#include "hostsim/host/emulated_host.h"
#include "tool/export/export_hooks.h"
#include "tool/export/export_input.h"
#include "tool/export/export_reporter.h"

namespace pelmora::tool {

// The text of a message the plug-in showed, with what the user can do about it.
std::string explainHostMessage(const hostsim::ShownMessage& message, InputKind kind, std::optional<int> mode,
                               const std::string& output);

// Says why the run ended without a written file and gives its exit status:
// kExitUsage for what the command line can mend, kExitCancelled for a
// dialog that was not confirmed, kExitFailure for the rest.
int diagnoseNothingWritten(const hostsim::EmulatedHost& host, const ExportHookState& state, bool modeChosen,
                           const std::string& output, ExportReporter& report);

}  // namespace pelmora::tool
