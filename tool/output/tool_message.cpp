#include "tool/output/tool_message.h"

#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "tool/output/exit_status.h"

#include "tool/output/progress_line.h"

namespace pelmora::tool {

void toolMessage(const std::string& command, const std::string& text) {
    const std::string line = "pelmora" + (command.empty() ? std::string() : " " + command) + ": " + text + "\n";
    std::fputs(line.c_str(), stderr);
}

int toolRefusal(int status, const std::string& command, const std::string& text, bool json) {
    toolMessage(command, text);
    if (json) {
        const nlohmann::ordered_json refused{{"status", status == kExitUsage ? "bad-input" : "failed"},
                                             {"exitStatus", status},
                                             {"errors", nlohmann::ordered_json::array({text})}};
        std::cout << refused.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << std::endl;
    }
    return status;
}

std::string counted(long long count, const char* one, const char* many) {
    return ProgressLine::countText(count) + " " + (count == 1 ? one : many);
}

}  // namespace pelmora::tool
