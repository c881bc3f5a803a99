#include "tool/cli/run_tool.h"

#include <cstdio>
#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "tool/cli/commands.h"
#include "tool/system/command_line.h"

namespace pelmora::tool {
namespace {

int parseAndRun(int argc, char** argv) {
    CLI::App app{"pelmora: export drawings to QMX scene files and read them back"};
    app.require_subcommand(1);
    // Windows paths from a POSIX-style shell begin with "/" too: they are
    // files, never options (which always begin with "-").
    app.allow_windows_style_options(false);
    app.set_version_flag(
        "--version", [] { return versionText(); }, "Print the tool's version, its plug-in module and Assimp's version");
    std::vector<std::pair<CLI::App*, Runner>> commands;
    auto add = [&](Runner (*registerCommand)(CLI::App&)) {
        std::size_t before = app.get_subcommands({}).size();
        Runner run = registerCommand(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before) commands.emplace_back(subs.back(), std::move(run));
    };
    add(addExportCommand);
    add(addImportCommand);
    add(addInspectCommand);
    add(addConvertCommand);
    add(addTemplatesCommand);
    add(addPreviewCommand);
    add(addFormatsCommand);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? kExitOk : kExitUsage;
    }
    for (auto& [sub, run] : commands)
        if (sub->parsed()) return run();
    return kExitUsage;
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

int runTool(int argc, char** argv) noexcept {
    return handlingFailures([&] { return parseAndRun(argc, argv); });
}

int runProgram(int argc, char** argv) noexcept {
    return handlingFailures([&] {
        system::CommandLine arguments(argc, argv);
        return parseAndRun(arguments.argc(), arguments.argv());
    });
}

}  // namespace pelmora::tool
