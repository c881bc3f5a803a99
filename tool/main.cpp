// pelmora: exports drawings through the plug-in module and reads QMX files back.
#include <cstdio>
#include <exception>
#include <vector>

#include "tool/commands.h"

int main(int argc, char** argv) {
    using namespace pelmora::tool;
    CLI::App app{"pelmora: export drawings to QMX scene files and read them back"};
    app.require_subcommand(1);
    app.set_version_flag("--version", [] { return versionText(); }, "Print the tool's version, its plug-in module and Assimp's version");
    std::vector<std::pair<CLI::App*, Runner>> commands;
    auto add = [&](Runner (*registerCommand)(CLI::App&)) {
        std::size_t before = app.get_subcommands({}).size();
        Runner run = registerCommand(app);
        auto subs = app.get_subcommands({});
        if (subs.size() > before) commands.emplace_back(subs.back(), std::move(run));
    };
    add(addExportCommand);
    add(addInspectCommand);
    add(addConvertCommand);
    add(addTemplatesCommand);
    add(addFormatsCommand);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? kExitOk : kExitUsage;
    }
    for (auto& [sub, run] : commands) {
        if (sub->parsed()) {
            try {
                return run();
            } catch (const std::exception& e) {
                std::fprintf(stderr, "pelmora: %s\n", e.what());
                return kExitFailure;
            }
        }
    }
    return kExitUsage;
}
