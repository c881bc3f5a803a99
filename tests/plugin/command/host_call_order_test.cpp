// The order in which one export asks the host for its services: the checks,
// the remembered mode, the options dialog, the stored mode, the units and the
// template folder, each before the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "plugin/command/plugin_main.h"
#include "plugin/host/host_abi.h"
#include "tests/support/export_run_fixture.h"

namespace pelmora {
namespace {

using exporttest::ExportRun;
using exporttest::kMinimalDrawing;

HostCallback g_inner = nullptr;
std::vector<std::int32_t> g_asked;

HostServiceAddress recordingLookup(std::int32_t service) {
    g_asked.push_back(service);
    return g_inner(service);
}

// Position of the `n`th (0-based) request for `service`, or -1.
long nth(std::int32_t service, int n) {
    int seen = 0;
    for (std::size_t i = 0; i < g_asked.size(); ++i)
        if (g_asked[i] == service && seen++ == n) return static_cast<long>(i);
    return -1;
}

TEST(HostCallOrder, ChecksModeDialogStoreUnitsThenTemplates) {
    ExportRun run(kMinimalDrawing);
    run.dialog().mode = 1;
    g_inner = run.host().callback();
    g_asked.clear();
    PelmoraPortableHooks hooks{};
    hooks.saveDialog = [](const char*, const char*, const char*, char*, int, void*) { return 2; };
    platform::setPortableHooks(&hooks);
    pluginMain(kActionRun, 0, 0, &recordingLookup);
    platform::setPortableHooks(nullptr);

    const long chainStart = nth(311, 0), currentItem = nth(123, 0), canRun = nth(480, 0), prologue = nth(148, 0),
               reset = nth(73, 0), loadFolder = nth(453, 0), firstText = nth(387, 0), create = nth(579, 0),
               ready = nth(589, 0), runDialog = nth(620, 0), storeFolder = nth(453, 1), units = nth(269, 0),
               templateFolder = nth(453, 2), guardReset = nth(73, 1);
    for (long at : {chainStart, currentItem, canRun, prologue, reset, loadFolder, firstText, create, ready, runDialog,
                    storeFolder, units, templateFolder, guardReset})
        ASSERT_GE(at, 0);
    EXPECT_LT(chainStart, currentItem);
    EXPECT_LT(currentItem, canRun);
    EXPECT_LT(canRun, prologue);
    EXPECT_LT(prologue, reset);
    EXPECT_LT(reset, loadFolder) << "the mode is read once the checks passed";
    EXPECT_LT(loadFolder, firstText);
    EXPECT_EQ(nth(387, 7), create - 1) << "all eight texts, then the dialog";
    EXPECT_LT(create, ready);
    EXPECT_LT(ready, runDialog);
    EXPECT_LT(runDialog, storeFolder) << "the mode is stored after the dialog";
    EXPECT_LT(storeFolder, units) << "then the units";
    EXPECT_LT(units, templateFolder) << "then the template folder";
    EXPECT_LT(templateFolder, guardReset);
    EXPECT_EQ(nth(73, 2), -1);
}

}  // namespace
}  // namespace pelmora
