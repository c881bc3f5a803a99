// The options dialog against a fake host that records how the dialog is built
// and plays the user's part: the first callback only sets the radio items, a
// click picks a mode, and only a result of 1 confirms.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/command/mode_dialog.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/host_abi.h"
#include "tests/support/fake_lookup.h"

namespace pelmora {
namespace {

constexpr std::int32_t kDialogId = 77;

struct Recorded {
    std::vector<std::string> calls;  // in order
    std::vector<std::pair<std::int32_t, bool>> states;
    std::string title, confirm, cancel;
    std::vector<std::string> radioTexts;
    bool ready = true;
    std::int32_t result = 1;
    std::vector<std::int32_t> items;  // item reported on each callback call
    std::int32_t firstItem = 0;
    bool longTitle = false;
} g;

void getIndexedString(std::int32_t list, std::int32_t index, char* out, std::int32_t a, std::int32_t b) {
    g.calls.push_back("text " + std::to_string(list) + "/" + std::to_string(index) + " " + std::to_string(a) + "," +
                      std::to_string(b));
    std::string text = "T" + std::to_string(index);
    if (index == 1 && g.longTitle) {
        std::memset(out, 'x', 64);  // fills the whole buffer, no NUL
        return;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
}
std::int32_t createDialog(const char* title, std::int32_t zero, const char* confirm, const char* cancel) {
    g.calls.push_back("create " + std::to_string(zero));
    g.title = title;
    g.confirm = confirm;
    g.cancel = cancel;
    return kDialogId;
}
void addGroup(std::int32_t d, std::int32_t item, const char* text, std::int32_t one) {
    g.calls.push_back("group " + std::to_string(d) + " " + std::to_string(item) + " " + text + " " +
                      std::to_string(one));
}
void addRadio(std::int32_t d, std::int32_t item, const char* text) {
    g.calls.push_back("radio " + std::to_string(d) + " " + std::to_string(item) + " " + text);
}
HostBool placeFirst(std::int32_t d, std::int32_t item) {
    g.calls.push_back("first " + std::to_string(d) + " " + std::to_string(item));
    return 1;
}
HostBool placeInside(std::int32_t d, std::int32_t item, std::int32_t inner) {
    g.calls.push_back("inside " + std::to_string(d) + " " + std::to_string(item) + " " + std::to_string(inner));
    return 1;
}
HostBool placeBelow(std::int32_t d, std::int32_t above, std::int32_t item, std::int32_t x, std::int32_t y) {
    g.calls.push_back("below " + std::to_string(d) + " " + std::to_string(above) + " " + std::to_string(item) + " " +
                      std::to_string(x) + " " + std::to_string(y));
    return 1;
}
HostBool dialogReady(std::int32_t d) {
    g.calls.push_back("ready " + std::to_string(d));
    return g.ready ? 1 : 0;
}
void setItemState(std::int32_t d, std::int32_t item, HostBool on) {
    EXPECT_EQ(d, kDialogId);
    g.states.emplace_back(item, on != 0);
}
std::int32_t runDialog(std::int32_t d, HostDialogCallback callback, void* context) {
    g.calls.push_back("run " + std::to_string(d));
    std::int32_t first = g.firstItem;
    callback(d, &first, 0, context);
    for (std::int32_t item : g.items) callback(d, &item, 0, context);
    return g.result;
}

class ModeDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = Recorded{};
        host_.set(host::kGetIndexedString, &getIndexedString);
        host_.set(host::kCreateDialog, &createDialog);
        host_.set(host::kAddGroup, &addGroup);
        host_.set(host::kAddRadioButton, &addRadio);
        host_.set(host::kPlaceFirstItem, &placeFirst);
        host_.set(host::kPlaceInside, &placeInside);
        host_.set(host::kPlaceBelow, &placeBelow);
        host_.set(host::kDialogReady, &dialogReady);
        host_.set(host::kSetItemState, &setItemState);
        host_.set(host::kRunDialog, &runDialog);
    }
    bool ask(std::int32_t& mode) {
        host::CallbackScope scope(host_.callback());
        return askMode(mode);
    }
    testing::FakeLookup host_;
};

TEST_F(ModeDialogTest, BuildsTheDialogInOrder) {
    std::int32_t mode = 3;
    ASSERT_TRUE(ask(mode));
    const std::vector<std::string> expected = {
        "text 12345/1 1,2", "text 12345/2 1,2", "text 12345/3 1,2", "text 12345/4 1,2", "text 12345/5 1,2",
        "text 12345/6 1,2", "text 12345/7 1,2", "text 12345/8 1,2", "create 0",         "group 77 3 T4 1",
        "first 77 3",       "radio 77 4 T5",    "inside 77 3 4",    "radio 77 5 T6",    "below 77 4 5 0 0",
        "radio 77 6 T7",    "below 77 5 6 0 0", "radio 77 7 T8",    "below 77 6 7 0 0", "ready 77",
        "run 77",
    };
    EXPECT_EQ(g.calls, expected);
    EXPECT_EQ(g.title, "T1");
    EXPECT_EQ(g.confirm, "T2");
    EXPECT_EQ(g.cancel, "T3");
}

TEST_F(ModeDialogTest, FirstCallbackSetsTheRadioItemsOfTheMode) {
    for (std::int32_t preselected = 0; preselected < 4; ++preselected) {
        g.states.clear();
        std::int32_t mode = preselected;
        ASSERT_TRUE(ask(mode));
        EXPECT_EQ(mode, preselected);
        std::vector<std::pair<std::int32_t, bool>> expected;
        for (std::int32_t item = 4; item <= 7; ++item) expected.emplace_back(item, item - 4 == preselected);
        EXPECT_EQ(g.states, expected) << "mode " << preselected;
    }
}

TEST_F(ModeDialogTest, FirstCallbackIgnoresTheItemItReports) {
    g.firstItem = 6;  // as if radio item 6 had been clicked
    std::int32_t mode = 1;
    ASSERT_TRUE(ask(mode));
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(g.states.size(), 4u);
}

TEST_F(ModeDialogTest, LaterClicksPickTheMode) {
    g.items = {6};
    std::int32_t mode = 3;
    ASSERT_TRUE(ask(mode));
    EXPECT_EQ(mode, 2);

    g.items = {7, 4};
    ASSERT_TRUE(ask(mode));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(g.states.size(), 8u) << "only first calls set item states";
}

TEST_F(ModeDialogTest, OtherItemsAreIgnored) {
    g.items = {1, 2, 3, 8, 0, -4};
    std::int32_t mode = 2;
    ASSERT_TRUE(ask(mode));
    EXPECT_EQ(mode, 2);
}

TEST_F(ModeDialogTest, OnlyResultOneConfirms) {
    for (std::int32_t result : {2, 0, -1, 3}) {
        g.result = result;
        g.items = {4};
        std::int32_t mode = 3;
        EXPECT_FALSE(ask(mode)) << "result " << result;
        EXPECT_EQ(mode, 3) << "a cancelled choice is not taken";
    }
}

TEST_F(ModeDialogTest, NotReadyEndsWithoutRunning) {
    g.ready = false;
    std::int32_t mode = 1;
    EXPECT_FALSE(ask(mode));
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(g.calls.back(), "ready 77");
    EXPECT_EQ(host_.lookups(host::kRunDialog), 0);
}

TEST_F(ModeDialogTest, AHostWithoutDialogsCancelsQuietly) {
    host_.remove(host::kDialogReady);
    host_.remove(host::kRunDialog);
    std::int32_t mode = 0;
    EXPECT_FALSE(ask(mode));
    EXPECT_EQ(mode, 0);
}

TEST_F(ModeDialogTest, AHostWithoutTextsGivesEmptyTexts) {
    host_.remove(host::kGetIndexedString);
    std::int32_t mode = 0;
    ASSERT_TRUE(ask(mode));
    EXPECT_EQ(g.title, "");
    EXPECT_EQ(g.confirm, "");
}

TEST_F(ModeDialogTest, AnUnterminatedTextIsCutAtItsBuffer) {
    g.longTitle = true;
    std::int32_t mode = 0;
    ASSERT_TRUE(ask(mode));
    EXPECT_EQ(g.title, std::string(63, 'x'));
}

TEST(ModeDialogCallback, ANullItemOrContextIsHarmless) {
    ModeDialogContext context;
    context.firstCall = 0;
    context.mode = 2;
    modeDialogCallback(kDialogId, nullptr, 0, &context);
    EXPECT_EQ(context.mode, 2);
    std::int32_t item = 5;
    modeDialogCallback(kDialogId, &item, 0, nullptr);
    modeDialogCallback(kDialogId, &item, 0, &context);
    EXPECT_EQ(context.mode, 1);
}

}  // namespace
}  // namespace pelmora
