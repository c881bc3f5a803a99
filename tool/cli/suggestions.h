// "Did you mean …?" for a mistyped command or option: the known name nearest
// to what was typed, when it is near enough to be a slip of the fingers.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace pelmora::tool {

// The candidate nearest to `typed` (in letters added, removed or changed),
// or empty when none is within a third of its length (and at least 2).
std::string nearestName(const std::string& typed, const std::vector<std::string>& candidates);

// The names of the subcommands `app` shows in its help.
std::vector<std::string> commandNames(const CLI::App& app);

// The first argument of argv[from..argc) that looks like an option and that
// `cmd` does not have (such as "--forse" or "--forse=1", given as typed); empty when
// there is none.
std::string unknownOption(const CLI::App& cmd, int from, int argc, const char* const* argv);

// Every option name of `cmd` as typed: "--force", "-o".
std::vector<std::string> optionNames(const CLI::App& cmd);

}  // namespace pelmora::tool
