// The program's arguments as UTF-8 texts (on Windows read as UTF-16 from the
// system, since the narrow arguments are in the ANSI code page), and a
// console that shows UTF-8 for the life of the object.
#pragma once

#include <string>
#include <vector>

namespace pelmora::tool::system {

class CommandLine {
public:
    CommandLine(int argc, char** argv);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    int argc() const { return static_cast<int>(pointers_.size()) - 1; }
    char** argv() { return pointers_.data(); }

private:
    std::vector<std::string> arguments_;
    std::vector<char*> pointers_;
    unsigned previousCodePage_ = 0;
};

}  // namespace pelmora::tool::system
