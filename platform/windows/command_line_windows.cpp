#include "platform/command_line.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "platform/windows/wide_text.h"

namespace pelmora::tool::system {

// The narrow arguments hold only what the ANSI code page can: a file named
// in other scripts would arrive with question marks. The UTF-16 command line
// holds every name.
CommandLine::CommandLine(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide) {
        for (int i = 0; i < count; ++i) arguments_.push_back(utf8Text(wide[i]));
        LocalFree(wide);
    } else {
        arguments_.assign(argv, argv + argc);
    }
    for (auto& argument : arguments_) pointers_.push_back(argument.data());
    pointers_.push_back(nullptr);
    // Messages hold UTF-8 names: the console shows them as such while the tool runs.
    previousCodePage_ = GetConsoleOutputCP();
    if (previousCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
}

CommandLine::~CommandLine() {
    std::fflush(nullptr);  // what is still buffered is UTF-8 too
    if (previousCodePage_ != 0) SetConsoleOutputCP(previousCodePage_);
}

}  // namespace pelmora::tool::system
