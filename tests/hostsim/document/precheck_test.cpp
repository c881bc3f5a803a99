// The plug-in's pre-export checks run against the emulated host, for each
// position of the current item in the host's chain.
#include <gtest/gtest.h>

#include "hostsim/host/emulated_host.h"
#include "plugin/command/plugin_main.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/host_abi.h"

namespace pelmora::hostsim {
namespace {

struct Outcome {
    bool passed;
    std::vector<ShownMessage> messages;
    std::vector<CommandCall> commands;
    std::vector<std::string> faults;
};

Outcome check(int currentItem, bool canRun = true) {
    EmulatedHost host(parseDrawing(R"({"pelmoraDrawing": 1, "canRun": )" + std::string(canRun ? "true" : "false") +
                                   R"(, "currentItem": )" + std::to_string(currentItem) +
                                   R"(, "layers": [{"name": "A"}]})"));
    host::CallbackScope scope(host.callback());
    bool passed = checkCommandState();
    return {passed, host.messages(), host.commandLog(), host.faults()};
}

TEST(PreExportChecks, ItemOutsideTheChainShowsMessage6) {
    Outcome o = check(0);
    EXPECT_FALSE(o.passed);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].list, 11011);
    EXPECT_EQ(o.messages[0].index, 6);
    EXPECT_TRUE(o.commands.empty());
    EXPECT_TRUE(o.faults.empty());
}

TEST(PreExportChecks, ChainStartPasses) {
    Outcome o = check(1);
    EXPECT_TRUE(o.passed);
    EXPECT_TRUE(o.messages.empty());
    ASSERT_EQ(o.commands.size(), 2u);
    EXPECT_EQ(o.commands[0].service, host::kCommandPrologue);
    EXPECT_EQ(o.commands[1].service, host::kResetCommandState);
    EXPECT_EQ(o.commands[1].argument, 0);
    EXPECT_TRUE(o.faults.empty());
}

TEST(PreExportChecks, ElementAfterTheStartPasses) {
    Outcome o = check(2);
    EXPECT_TRUE(o.passed);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(o.commands.size(), 2u);
    EXPECT_TRUE(o.faults.empty());
}

TEST(PreExportChecks, ThirdElementShowsMessage7) {
    Outcome o = check(3);
    EXPECT_FALSE(o.passed);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].list, 11011);
    EXPECT_EQ(o.messages[0].index, 7);
    EXPECT_TRUE(o.commands.empty());
    EXPECT_TRUE(o.faults.empty());
}

TEST(PreExportChecks, HostRefusingTheCommandEndsQuietly) {
    Outcome o = check(2, false);
    EXPECT_FALSE(o.passed);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_TRUE(o.commands.empty());
}

TEST(PreExportChecks, CallbackInForceBeforeIsBackAfterwards) {
    EmulatedHost host(parseDrawing(R"({"pelmoraDrawing": 1, "currentItem": 2})"));
    HostCallback before = host::currentCallback();
    {
        host::CallbackScope scope(host.callback());
        EXPECT_TRUE(checkCommandState());
        EXPECT_EQ(host::currentCallback(), host.callback());
    }
    EXPECT_EQ(host::currentCallback(), before);
}

}  // namespace
}  // namespace pelmora::hostsim
