#include "tool/output/tool_message.h"

#include <cstdio>

#include "tool/output/progress_line.h"

namespace pelmora::tool {

void toolMessage(const std::string& command, const std::string& text) {
    const std::string line = "pelmora" + (command.empty() ? std::string() : " " + command) + ": " + text + "\n";
    std::fputs(line.c_str(), stderr);
}

std::string counted(long long count, const char* one, const char* many) {
    return ProgressLine::countText(count) + " " + (count == 1 ? one : many);
}

}  // namespace pelmora::tool
