#include "tool/cli/suggestions.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace pelmora::tool {
namespace {

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool looksLikeNumber(const std::string& text) {
    return text.size() > 1 && (std::isdigit(static_cast<unsigned char>(text[1])) || text[1] == '.');
}

// The option name in an argument: "--force=1" gives "--force", "-j4" gives "-j".
std::string optionPart(const std::string& argument) {
    if (argument.rfind("--", 0) == 0) return argument.substr(0, argument.find('='));
    return argument.substr(0, 2);
}

}  // namespace

std::string nearestName(const std::string& typed, const std::vector<std::string>& candidates) {
    const std::size_t allowed = std::max<std::size_t>(2, typed.size() / 3);
    std::string best;
    std::size_t bestDistance = allowed + 1;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = editDistance(typed, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<std::string> commandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        if (!sub->get_group().empty()) names.push_back(sub->get_name());
    return names;
}

std::vector<std::string> optionNames(const CLI::App& cmd) {
    std::vector<std::string> names;
    for (const CLI::Option* option : cmd.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

std::string unknownOption(const CLI::App& cmd, int from, int argc, const char* const* argv) {
    for (int i = from; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--") break;
        if (argument.size() < 2 || argument[0] != '-' || looksLikeNumber(argument)) continue;
        const std::string name = optionPart(argument);
        if (!cmd.get_option_no_throw(name)) return name;
    }
    return {};
}

}  // namespace pelmora::tool
