// The entry point, the pre-export checks and the failure guard against a fake host.
#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "plugin/command/plugin_main.h"
#include "plugin/command/run_guarded.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/qmx_exception.h"
#include "tests/support/fake_lookup.h"

namespace pelmora {
namespace {

// A host chain of four elements; the test picks which one is current.
int g_chain[4];
HostHandle g_current = nullptr;
bool g_canRun = true;
std::vector<std::pair<int, int>> g_messages;
std::vector<int> g_calls;  // 148 and 73, in order
std::vector<int> g_resetArgs;
std::vector<std::size_t> g_resetsAtMessage;  // resets already made when each message was shown
HostCallback g_seenDuringMessage = nullptr;

HostHandle chainStart() { return &g_chain[0]; }
HostHandle currentItem() { return g_current; }
HostHandle nextInChain(HostHandle h) {
    for (int i = 0; i < 3; ++i)
        if (h == &g_chain[i]) return &g_chain[i + 1];
    return nullptr;
}
HostBool canRun() { return g_canRun ? 1 : 0; }
void showMessage(std::int32_t list, std::int32_t index) {
    g_seenDuringMessage = host::currentCallback();
    g_messages.emplace_back(list, index);
    g_resetsAtMessage.push_back(g_resetArgs.size());
}
void prologue() { g_calls.push_back(148); }
void reset(std::int32_t arg) {
    g_calls.push_back(73);
    g_resetArgs.push_back(arg);
}

// Stands for whatever callback was current before the host called in.
HostServiceAddress otherHostLookup(std::int32_t) { return nullptr; }

class EntryPointTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_current = &g_chain[1];
        g_canRun = true;
        g_messages.clear();
        g_calls.clear();
        g_resetArgs.clear();
        g_resetsAtMessage.clear();
        host_.set(host::kChainStart, &chainStart);
        host_.set(host::kCurrentItem, &currentItem);
        host_.set(host::kNextInChain, &nextInChain);
        host_.set(host::kCanRunCommand, &canRun);
        host_.set(host::kShowMessage, &showMessage);
        host_.set(host::kCommandPrologue, &prologue);
        host_.set(host::kResetCommandState, &reset);
    }
    bool check() {
        host::CallbackScope scope(host_.callback());
        return checkCommandState();
    }
    testing::FakeLookup host_;
};

TEST_F(EntryPointTest, OnlyActionThreeTalksToTheHost) {
    for (int action : {0, 1, 2, 4, -1}) EXPECT_EQ(pluginMain(action, 0, 0, host_.callback()), 0);
    EXPECT_EQ(host_.lookups(host::kChainStart), 0);
    EXPECT_EQ(pluginMain(kActionRun, 0, 0, host_.callback()), 0);
    EXPECT_EQ(host_.lookups(host::kChainStart), 1);
}

TEST_F(EntryPointTest, CallbackInForceBeforeTheCallIsBackAfterIt) {
    HostCallback before = &otherHostLookup;
    host::setCurrentCallback(before);
    pluginMain(kActionRun, 0, 0, host_.callback());
    EXPECT_EQ(host::currentCallback(), before);
    host::setCurrentCallback(nullptr);
}

TEST_F(EntryPointTest, ChainStartAndTheElementAfterItPass) {
    for (int position : {0, 1}) {
        g_current = &g_chain[position];
        g_calls.clear();
        EXPECT_TRUE(check()) << position;
        EXPECT_EQ(g_calls, (std::vector<int>{148, 73}));
        EXPECT_EQ(g_resetArgs.back(), 0);
    }
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(EntryPointTest, DeeperOrUnreachableCurrentItemShowsItsMessage) {
    g_current = &g_chain[2];
    EXPECT_FALSE(check());
    g_current = &g_chain[3];
    EXPECT_FALSE(check());
    int outside = 0;
    g_current = &outside;
    EXPECT_FALSE(check());
    EXPECT_EQ(g_messages, (std::vector<std::pair<int, int>>{{11011, 7}, {11011, 7}, {11011, 6}}));
    EXPECT_TRUE(g_calls.empty()) << "no prologue after a failed check";
}

TEST_F(EntryPointTest, HostThatRefusesTheCommandEndsQuietly) {
    g_canRun = false;
    EXPECT_FALSE(check());
    host_.remove(host::kCanRunCommand);  // a host without the service refuses too
    g_canRun = true;
    EXPECT_FALSE(check());
    EXPECT_TRUE(g_messages.empty());
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(EntryPointTest, ServiceCallsKeepTheCurrentCallback) {
    g_current = &g_chain[3];
    check();
    EXPECT_EQ(g_seenDuringMessage, host_.callback());
}

TEST_F(EntryPointTest, GuardShowsOneMessagePerFailureAndAlwaysResets) {
    host::CallbackScope scope(host_.callback());
    int ran = 0;
    EXPECT_TRUE(runGuarded({[&] { ++ran; }, [&] { ++ran; }}));
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(runGuarded({[] { raiseMessage(kMsgNothingToExport); }, [&] { ++ran; }}));
    EXPECT_EQ(ran, 2) << "no step runs after a failure";
    EXPECT_FALSE(runGuarded({[] { raiseSilent(); }}));
    EXPECT_FALSE(runGuarded({[] { throw std::runtime_error("boom"); }}));
    EXPECT_FALSE(runGuarded({[] { throw 42; }}));
    EXPECT_EQ(g_messages, (std::vector<std::pair<int, int>>{{11011, 5}, {11011, 4}, {11011, 4}}));
    EXPECT_EQ(g_resetArgs, (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST_F(EntryPointTest, GuardShowsTheMessageBeforeItResetsTheCommandState) {
    host::CallbackScope scope(host_.callback());
    runGuarded({[] { raiseMessage(kMsgWriteFailed); }});
    runGuarded({[] { throw std::runtime_error("boom"); }});
    EXPECT_EQ(g_messages, (std::vector<std::pair<int, int>>{{11011, 2}, {11011, 4}}));
    EXPECT_EQ(g_resetsAtMessage, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(g_resetArgs, (std::vector<int>{0, 0}));
}

std::int32_t folderPathOutOfMemory(std::int32_t, char*, std::int32_t) { throw std::bad_alloc(); }
void showMessageOutOfMemory(std::int32_t, std::int32_t) { throw std::bad_alloc(); }

// Before the guard the preference file, the options dialog and the templates
// are prepared; a failure there (the host out of memory) is shown as the
// guard shows one, once, and the command state is reset after it.
TEST_F(EntryPointTest, FailureBeforeTheGuardShowsItsMessageOnceAndResets) {
    host_.set(host::kGetFolderPath, &folderPathOutOfMemory);
    EXPECT_EQ(pluginMain(kActionRun, 0, 0, host_.callback()), 0);
    EXPECT_EQ(g_messages, (std::vector<std::pair<int, int>>{{11011, 4}}));
    EXPECT_EQ(g_calls, (std::vector<int>{148, 73, 73})) << "prologue, the checks' reset, the failure's reset";
    EXPECT_EQ(g_resetsAtMessage, (std::vector<std::size_t>{1}));

    // A host that cannot even show the message: nothing escapes into it.
    host_.set(host::kShowMessage, &showMessageOutOfMemory);
    g_calls.clear();
    EXPECT_NO_THROW(pluginMain(kActionRun, 0, 0, host_.callback()));
    EXPECT_EQ(g_calls, (std::vector<int>{148, 73, 73}));
    host::CallbackScope scope(host_.callback());
    EXPECT_NO_THROW(runGuarded({[] { throw std::bad_alloc(); }}));
}

}  // namespace
}  // namespace pelmora
