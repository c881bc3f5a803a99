#include "platform/command_line.h"

namespace pelmora::tool::system {

// The arguments are the bytes the shell gave, UTF-8 on any current system.
CommandLine::CommandLine(int argc, char** argv) : arguments_(argv, argv + argc) {
    for (auto& argument : arguments_) pointers_.push_back(argument.data());
    pointers_.push_back(nullptr);
}

CommandLine::~CommandLine() = default;

}  // namespace pelmora::tool::system
