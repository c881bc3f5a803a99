// Dialogs of the emulated host: built as asked, run by a script, calling the
// callback as a modal dialog loop does; also the plug-in's own options dialog.
#include <gtest/gtest.h>

#include "plugin/command/mode_dialog.h"
#include "plugin/host/current_callback.h"
#include "plugin/host/services.h"
#include "tests/hostsim/host/host_fixture.h"

namespace pelmora::hostsim {
namespace {

using testing::HostRun;

struct CallbackLog {
    std::vector<std::int32_t> items;
    std::vector<HostCallback> current;
    bool setUp = false;
};

void recordingCallback(std::int32_t dialog, std::int32_t* item, std::int32_t, void* context) {
    auto* log = static_cast<CallbackLog*>(context);
    log->items.push_back(*item);
    log->current.push_back(host::currentCallback());
    if (!log->setUp) {
        log->setUp = true;
        // Re-entrant: host services while the dialog runs.
        host::setItemState(dialog, 5, true);
    }
}

std::int32_t buildDialog() {
    std::int32_t d = host::createDialog("Title", "OK", "Stop");
    host::addGroup(d, 3, "Group");
    EXPECT_TRUE(host::placeFirstItem(d, 3));
    host::addRadioButton(d, 4, "zero");
    EXPECT_TRUE(host::placeInside(d, 3, 4));
    for (int k = 0; k < 3; ++k) {
        host::addRadioButton(d, 5 + k, ("choice " + std::to_string(k + 1)).c_str());
        EXPECT_TRUE(host::placeBelow(d, 4 + k, 5 + k));
    }
    return d;
}

TEST(HostDialog, KeepsTheDialogAsBuilt) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    std::int32_t d = buildDialog();
    ASSERT_EQ(run.host.dialogs().size(), 1u);
    const DialogRecord& dialog = run.host.dialogs()[0];
    EXPECT_EQ(dialog.id, d);
    EXPECT_EQ(dialog.title, "Title");
    EXPECT_EQ(dialog.confirm, "OK");
    EXPECT_EQ(dialog.cancel, "Stop");
    ASSERT_EQ(dialog.items.size(), 5u);
    EXPECT_EQ(dialog.item(3)->kind, DialogItem::Kind::Group);
    EXPECT_TRUE(dialog.item(3)->placedFirst);
    EXPECT_EQ(dialog.item(4)->inside, 3);
    EXPECT_EQ(dialog.item(6)->below, 5);
    EXPECT_EQ(dialog.item(7)->inside, 3);
    EXPECT_EQ(dialog.item(7)->text, "choice 3");
    EXPECT_FALSE(dialog.ran);
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostDialog, ConfirmRunsFirstCallClicksAndTheConfirmButton) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    run.host.dialogScript().clicks = {6, 9};
    run.host.dialogScript().mode = 1;
    std::int32_t d = buildDialog();
    EXPECT_TRUE(host::dialogReady(d));
    CallbackLog log;
    const HostCallback before = host::currentCallback();
    EXPECT_EQ(host::runDialog(d, &recordingCallback, &log), kDialogConfirmed);
    EXPECT_EQ(log.items, (std::vector<std::int32_t>{0, 6, 9, 5, kDialogConfirmed}));
    for (HostCallback c : log.current) EXPECT_EQ(c, before);
    EXPECT_EQ(host::currentCallback(), before);
    const DialogRecord& dialog = run.host.dialogs()[0];
    EXPECT_TRUE(dialog.ran);
    EXPECT_EQ(dialog.result, kDialogConfirmed);
    EXPECT_EQ(dialog.callbackItems, log.items);
    EXPECT_EQ(dialog.stateLog, (std::vector<std::pair<std::int32_t, bool>>{{5, true}}));
    // The last radio click leaves its item on and the others off.
    EXPECT_TRUE(dialog.item(5)->state);
    EXPECT_FALSE(dialog.item(6)->state);
    EXPECT_TRUE(run.host.faults().empty());  // the click on the unknown item 9 is just a click
}

TEST(HostDialog, CancelEndsWithTheCancelButton) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    run.host.dialogScript().action = DialogScript::Action::Cancel;
    run.host.dialogScript().firstCallItem = 4;
    std::int32_t d = buildDialog();
    CallbackLog log;
    EXPECT_EQ(host::runDialog(d, &recordingCallback, &log), kDialogCancelled);
    EXPECT_EQ(log.items, (std::vector<std::int32_t>{4, kDialogCancelled}));
}

TEST(HostDialog, NotReadyDialogs) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    run.host.dialogScript().action = DialogScript::Action::NotReady;
    std::int32_t d = buildDialog();
    EXPECT_FALSE(host::dialogReady(d));
    EXPECT_TRUE(run.host.faults().empty());
    CallbackLog log;
    host::runDialog(d, &recordingCallback, &log);  // the plug-in must not run it
    EXPECT_EQ(run.host.faults().size(), 1u);
    EXPECT_TRUE(log.items.empty());
}

TEST(HostDialog, UnknownDialogsAndItemsAreFaults) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    std::int32_t d = buildDialog();
    host::setItemState(d + 1, 4, true);
    EXPECT_FALSE(host::placeBelow(d, 4, 42));
    host::addRadioButton(d, 4, "again");
    EXPECT_EQ(run.host.faults().size(), 3u);
}

TEST(HostDialog, ThePluginsOptionsDialogPicksTheScriptedMode) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    run.host.dialogScript().mode = 2;
    run.host.dialogScript().firstCallItem = 7;  // the first call only sets the radio items
    std::int32_t mode = 0;
    EXPECT_TRUE(askMode(mode));
    EXPECT_EQ(mode, 2);
    const DialogRecord& dialog = run.host.dialogs().at(0);
    EXPECT_EQ(dialog.title, EmulatedHost::indexedString(12345, 1));
    EXPECT_EQ(dialog.item(7)->text, EmulatedHost::indexedString(12345, 8));
    EXPECT_EQ(dialog.stateLog,
              (std::vector<std::pair<std::int32_t, bool>>{{4, true}, {5, false}, {6, false}, {7, false}}));
    EXPECT_TRUE(run.host.faults().empty());
}

TEST(HostDialog, ThePluginsOptionsDialogCancelled) {
    HostRun run(R"({"pelmoraDrawing": 1})");
    run.host.dialogScript().action = DialogScript::Action::Cancel;
    run.host.dialogScript().mode = 0;
    std::int32_t mode = 3;
    EXPECT_FALSE(askMode(mode));
    EXPECT_EQ(mode, 3);
}

}  // namespace
}  // namespace pelmora::hostsim
