// --code-page for the commands that show or convert names read from a QMX
// file (inspect, convert).
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "platform/code_page.h"
#include "tool/convert/name_decoder.h"

namespace pelmora::tool {

inline CLI::Option* addCodePageOption(CLI::App& cmd, int& codePage) {
    return cmd
        .add_option("--code-page", codePage,
                    "the host's code page, in which the file's names are: 1252 (Western, the default), 932 "
                    "(Japanese) or 65001 (UTF-8); the plug-in's own camera and light names are read as 932 "
                    "whatever it is")
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                try {
                    std::size_t used = 0;
                    const int value = std::stoi(text, &used);
                    if (used == text.size() && base::knownCodePage(value)) return {};
                } catch (const std::exception&) {}
                return text +
                       " is not a code page the tool decodes; give 1252 (Western), 932 (Japanese) or 65001 "
                       "(UTF-8)";
            },
            "N"));
}

}  // namespace pelmora::tool
