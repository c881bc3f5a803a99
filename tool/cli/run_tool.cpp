#include "tool/cli/run_tool.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "platform/command_line.h"
#include "tool/cli/commands.h"
#include "tool/cli/suggestions.h"
#include "tool/output/tool_message.h"

namespace pelmora::tool {
namespace {

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

bool hasCommand(const CLI::App& app, const std::string& name) {
    return !app.get_subcommands([&name](const CLI::App* sub) { return sub->get_name() == name; }).empty();
}

// Whether the command line asks for JSON: a refusal is then given as JSON too.
bool asksForJson(int argc, char** argv) {
    for (int i = 1; i < argc && std::string(argv[i]) != "--"; ++i)
        if (std::string(argv[i]) == "--json") return true;
    return false;
}

// The first argument names the command; a slip gets the nearest name.
std::string commandRefusal(const CLI::App& app, const std::string& typed) {
    const std::vector<std::string> names = commandNames(app);
    std::string text = typed.empty() ? "give a command" : "unknown command " + typed;
    if (const std::string nearest = nearestName(typed, names); !typed.empty() && !nearest.empty())
        return text + "; did you mean " + nearest + "?";
    return text + ": " + listed(names) + " (`pelmora --help` tells what each does)";
}

// An option that takes one value given more than once ("--mode 1 --mode 2"):
// said so, with the values; empty when there is none.
std::string repeatedOption(const CLI::App& cmd) {
    for (const CLI::Option* option : cmd.get_options()) {
        if (option->get_positional() || option->count() < 2 || option->get_items_expected_max() != 1) continue;
        const std::string name = option->get_name();
        return name + " was given " + std::to_string(option->count()) + " times (" + listed(option->results()) +
               "); give it once";
    }
    return {};
}

// The command whose options were being read, and where its arguments begin.
const CLI::App* parsedCommand(const CLI::App& app, int argc, char** argv, int& from) {
    const CLI::App* cmd = &app;
    from = 1;
    for (const CLI::App* sub : app.get_subcommands()) cmd = sub;
    if (cmd != &app)
        for (int i = 1; i < argc; ++i)
            if (cmd->get_name() == argv[i]) {
                from = i + 1;
                break;
            }
    return cmd;
}

// A command line CLI11 refused, said in the tool's words: the command that
// was given, and for an unknown option the nearest one it has.
int refuseArguments(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv) {
    int from = 1;
    const CLI::App* cmd = parsedCommand(app, argc, argv, from);
    const std::string command = cmd == &app ? "" : cmd->get_name();
    const bool json = asksForJson(argc, argv);
    const std::string help = "`pelmora" + (command.empty() ? "" : " " + command) + " --help` lists the options";
    // A value refused says itself what it wants.
    if (dynamic_cast<const CLI::ValidationError*>(&error) || dynamic_cast<const CLI::ConversionError*>(&error))
        return toolRefusal(kExitUsage, command, error.what(), json);
    // An unknown option is the likelier slip whatever CLI11 noticed first.
    if (const std::string typed = unknownOption(*cmd, from, argc, argv); !typed.empty()) {
        const std::string nearest = nearestName(typed, optionNames(*cmd));
        return toolRefusal(
            kExitUsage, command,
            "unknown option " + typed + (nearest.empty() ? "" : "; did you mean " + nearest + "?") + " (" + help + ")",
            json);
    }
    if (const std::string repeated = repeatedOption(*cmd); !repeated.empty())
        return toolRefusal(kExitUsage, command, repeated, json);
    return toolRefusal(kExitUsage, command, std::string(error.what()) + " (" + help + ")", json);
}

int parseAndRun(int argc, char** argv, const InterruptPoints& testPoints) {
    // Named, so that the usage lines say "pelmora", not the path it was started by.
    CLI::App app{"pelmora: export drawings to QMX scene files and read them back", "pelmora"};
    // Windows paths from a POSIX-style shell begin with "/" too: they are
    // files, never options (which always begin with "-").
    app.allow_windows_style_options(false);
    app.set_version_flag(
        "--version", [] { return versionText(); },
        modelFilesSupported() ? "Print the tool's version, its plug-in module and Assimp's version"
                              : "Print the tool's version and its plug-in module");
    std::vector<std::pair<CLI::App*, Runner>> commands;
    auto add = [&](const std::function<Runner(CLI::App&)>& registerCommand) {
        std::size_t before = app.get_subcommands({}).size();
        Runner run = registerCommand(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before) commands.emplace_back(subs.back(), std::move(run));
    };
    add([&testPoints](CLI::App& parent) { return addExportCommand(parent, testPoints); });
    add(addImportCommand);
    add(addInspectCommand);
    add(addConvertCommand);
    add(addTemplatesCommand);
    add(addPreviewCommand);
    add(addFormatsCommand);
    const bool json = asksForJson(argc, argv);
    if (argc < 2) return toolRefusal(kExitUsage, "", commandRefusal(app, ""), json);
    if (const std::string first = argv[1]; first.empty() || (first[0] != '-' && !hasCommand(app, first)))
        return toolRefusal(kExitUsage, "", commandRefusal(app, first), json);
    app.require_subcommand(1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& shown) {  // --help, --version
        return app.exit(shown);
    } catch (const CLI::ParseError& refused) {
        if (refused.get_exit_code() == 0) return app.exit(refused);
        return refuseArguments(app, refused, argc, argv);
    }
    for (auto& [sub, run] : commands)
        if (sub->parsed()) return run();
    return toolRefusal(kExitUsage, "", commandRefusal(app, ""), json);
}

template <typename Run>
int handlingFailures(Run run) noexcept {
    // The messages are fixed texts: printing them must not need memory.
    try {
        return run();
    } catch (const std::bad_alloc&) {
        std::fputs("pelmora: out of memory; the run stopped (a file it was replacing is unchanged)\n", stderr);
    } catch (const std::exception& e) {
        std::fputs("pelmora: ", stderr);
        std::fputs(e.what(), stderr);
        std::fputs("\n", stderr);
    } catch (...) { std::fputs("pelmora: an unexpected failure stopped the run\n", stderr); }
    return kExitFailure;
}

}  // namespace

int runTool(int argc, char** argv, const InterruptPoints& testPoints) noexcept {
    return handlingFailures([&] { return parseAndRun(argc, argv, testPoints); });
}

int runProgram(int argc, char** argv) noexcept {
    return handlingFailures([&] {
        system::CommandLine arguments(argc, argv);
        return parseAndRun(arguments.argc(), arguments.argv(), InterruptPoints{});
    });
}

}  // namespace pelmora::tool
