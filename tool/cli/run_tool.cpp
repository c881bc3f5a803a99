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

// The first argument names the command; a slip gets the nearest name.
int refuseCommand(const CLI::App& app, const std::string& typed) {
    const std::vector<std::string> names = commandNames(app);
    std::string text = typed.empty() ? "give a command" : "unknown command " + typed;
    if (const std::string nearest = nearestName(typed, names); !typed.empty() && !nearest.empty())
        return toolMessage(kExitUsage, "", text + "; did you mean " + nearest + "?");
    return toolMessage(kExitUsage, "", text + ": " + listed(names) + " (`pelmora --help` tells what each does)");
}

// A command line CLI11 refused, said in the tool's words: the command that
// was given, and for an unknown option the nearest one it has.
int refuseArguments(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv) {
    const CLI::App* cmd = &app;
    int from = 1;
    for (const CLI::App* sub : app.get_subcommands()) cmd = sub;
    if (cmd != &app)
        for (int i = 1; i < argc; ++i)
            if (cmd->get_name() == argv[i]) {
                from = i + 1;
                break;
            }
    const std::string command = cmd == &app ? "" : cmd->get_name();
    const std::string help = "`pelmora" + (command.empty() ? "" : " " + command) + " --help` lists the options";
    // A value refused says itself what it wants.
    if (dynamic_cast<const CLI::ValidationError*>(&error) || dynamic_cast<const CLI::ConversionError*>(&error))
        return toolMessage(kExitUsage, command, error.what());
    // An unknown option is the likelier slip whatever CLI11 noticed first.
    if (const std::string typed = unknownOption(*cmd, from, argc, argv); !typed.empty()) {
        const std::string nearest = nearestName(typed, optionNames(*cmd));
        return toolMessage(
            kExitUsage, command,
            "unknown option " + typed + (nearest.empty() ? "" : "; did you mean " + nearest + "?") + " (" + help + ")");
    }
    return toolMessage(kExitUsage, command, std::string(error.what()) + " (" + help + ")");
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
    if (argc < 2) return refuseCommand(app, "");
    if (const std::string first = argv[1]; first.empty() || (first[0] != '-' && !hasCommand(app, first)))
        return refuseCommand(app, first);
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
    return refuseCommand(app, "");
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
