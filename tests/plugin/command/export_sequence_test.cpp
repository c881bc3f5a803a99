// The export command end to end in-process, against the emulated host: the
// options dialog and the preference file, the guarded steps in their order,
// the message of each failure, and a failed write never touching the file it
// was to replace.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "plugin/command/export_sequence.h"
#include "plugin/host/qmx_exception.h"
#include "plugin/scene_file/file_sink.h"
#include "qmxread/qmx_reader.h"
#include "tests/support/export_run_fixture.h"

namespace pelmora {
namespace {

using exporttest::ExportRun;
using exporttest::kLightsOnlyDrawing;
using exporttest::kMinimalDrawing;
using exporttest::listFolder;
using exporttest::readFile;
using exporttest::writeFile;
using Strings = std::vector<std::string>;

constexpr std::int32_t kGetUnitRecord = 269;
constexpr std::int32_t kRunDialog = 620;
constexpr std::int32_t kResetCommandState = 73;

int resetCalls(hostsim::EmulatedHost& host) {
    int n = 0;
    for (const auto& call : host.commandLog()) n += call.service == kResetCommandState;
    return n;
}

TEST(ExportSequence, ConfirmedExportWritesTheSceneAndRemembersTheMode) {
    ExportRun run(kMinimalDrawing);
    run.dialog().mode = 2;
    run.run();

    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(readFile(run.prefPath()), "v03");
    EXPECT_EQ(run.saveArguments, "qmx|untitled.qmx|VELTRAMOX File (*.qmx)|*.qmx||");
    ASSERT_TRUE(std::filesystem::exists(run.outputPath()));
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{"scene.qmx"}) << "no temporary file left";

    auto file = qmxread::readQmxFile(run.outputPath());
    ASSERT_EQ(file.roots.size(), 1u);
    const auto& root = file.roots[0];
    EXPECT_EQ(root.id, 1000u);
    ASSERT_EQ(root.children.size(), 5u) << "camera target, camera, light target, light, one mesh";
    EXPECT_EQ(root.children[0].id, 1002u);
    EXPECT_EQ(root.children[1].id, 1001u);
    EXPECT_EQ(root.children[2].id, 1998u);
    EXPECT_EQ(root.children[3].id, 1999u);
    EXPECT_EQ(root.children[3].name, "Sun");
    EXPECT_EQ(root.children[4].type, 8);
    EXPECT_EQ(root.children[4].id, 1003u);

    // The checks reset the command state once, the guard once more.
    EXPECT_EQ(resetCalls(run.host()), 2);
    EXPECT_TRUE(run.host().faults().empty());
    EXPECT_EQ(run.host().leakedTemporaries(), 0);
}

TEST(ExportSequence, WithoutAStoredModeTheDialogOffersModeThree) {
    ExportRun run(kMinimalDrawing);
    run.run();
    ASSERT_FALSE(run.host().dialogs().empty());
    const auto* item7 = run.host().dialogs().back().item(7);
    ASSERT_NE(item7, nullptr);
    EXPECT_TRUE(item7->state);
    EXPECT_EQ(readFile(run.prefPath()), "v04");
}

TEST(ExportSequence, TheStoredModeIsPreselected) {
    ExportRun run(kMinimalDrawing);
    writeFile(run.prefPath(), "v02");
    run.run();
    ASSERT_FALSE(run.host().dialogs().empty());
    const auto& dialog = run.host().dialogs().back();
    ASSERT_NE(dialog.item(5), nullptr);
    EXPECT_TRUE(dialog.item(5)->state);
    EXPECT_FALSE(dialog.item(7)->state);
    EXPECT_EQ(readFile(run.prefPath()), "v02");
}

TEST(ExportSequence, CancellingTheOptionsDialogPreparesNothing) {
    ExportRun run(kMinimalDrawing);
    writeFile(run.prefPath(), "v01");
    run.dialog().action = hostsim::DialogScript::Action::Cancel;
    run.dialog().mode = 2;
    run.run();

    EXPECT_EQ(readFile(run.prefPath()), "v01");
    EXPECT_EQ(run.count("save"), 0);
    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(run.host().callCount(kGetUnitRecord), 0) << "units are not even detected";
    EXPECT_FALSE(std::filesystem::exists(run.outputPath()));
    EXPECT_EQ(resetCalls(run.host()), 1) << "only the checks' reset; no guard ran";
}

TEST(ExportSequence, ADialogThatIsNotReadyEndsQuietly) {
    ExportRun run(kMinimalDrawing);
    run.dialog().action = hostsim::DialogScript::Action::NotReady;
    run.run();
    EXPECT_EQ(run.host().callCount(kRunDialog), 0);
    EXPECT_EQ(run.count("save"), 0);
    EXPECT_TRUE(run.messages().empty());
    EXPECT_FALSE(std::filesystem::exists(run.prefPath()));
}

TEST(ExportSequence, CancellingTheSaveDialogWritesNothingButKeepsTheNewMode) {
    ExportRun run(kMinimalDrawing);
    writeFile(run.prefPath(), "v04");
    run.dialog().mode = 1;
    run.save = ExportRun::Save::Cancel;
    run.run();

    EXPECT_EQ(run.count("save"), 1);
    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(run.count("poll"), 0) << "the geometry pass never started";
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{});
    EXPECT_EQ(readFile(run.prefPath()), "v02");
    EXPECT_EQ(resetCalls(run.host()), 2);
}

TEST(ExportSequence, APlatformWithoutASaveDialogCancels) {
    ExportRun run(kMinimalDrawing);
    run.save = ExportRun::Save::NoHook;
    run.run();
    EXPECT_TRUE(run.messages().empty());
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{});
}

TEST(ExportSequence, NothingExportableShowsMessageFiveBeforeTheSaveDialog) {
    ExportRun run(kLightsOnlyDrawing);
    run.run();
    EXPECT_EQ(run.messages(), Strings{"11011/5"});
    EXPECT_EQ(run.count("save"), 0);
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{});
    EXPECT_EQ(readFile(run.prefPath()), "v04") << "the mode was stored before the export work";
}

TEST(ExportSequence, ModeZeroWithNothingSelectedShowsMessageFive) {
    ExportRun run(R"({"pelmoraDrawing": 1, "layers": [{"name": "L", "objects": [
        {"type": "polygon", "points": [[0,0,0], [1,0,0], [1,1,0]]}]}]})");
    run.dialog().mode = 0;
    run.run();
    EXPECT_EQ(run.messages(), Strings{"11011/5"});
    EXPECT_EQ(run.count("save"), 0);
}

TEST(ExportSequence, GuardedStepsRunPreCheckSaveGeometryWrite) {
    ExportRun run(kMinimalDrawing);
    run.dialog().mode = 3;
    run.run();
    ASSERT_EQ(run.count("save"), 1);
    EXPECT_GT(run.forEachCallsBeforeSave, 0) << "the pre-check of mode 3 ran before the save dialog";
    EXPECT_EQ(run.pollsBeforeSave, 0) << "the geometry pass starts after the save dialog";
    EXPECT_GT(run.count("poll"), 0);
    EXPECT_FALSE(run.outputExistedAtSave);
    EXPECT_FALSE(run.outputExistedAtAnyPoll) << "the file is written after the geometry pass";
    EXPECT_TRUE(std::filesystem::exists(run.outputPath()));
}

TEST(ExportSequence, AnAbortDuringTheGeometryPassLeavesNoFile) {
    ExportRun run(kMinimalDrawing);
    run.abortAtPoll = 1;
    run.run();
    EXPECT_EQ(run.count("save"), 1) << "the path had been chosen";
    EXPECT_TRUE(run.messages().empty()) << "an abort shows nothing";
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{});
    EXPECT_EQ(resetCalls(run.host()), 2);
    EXPECT_EQ(run.host().leakedTemporaries(), 0);
}

TEST(ExportSequence, AnAbortKeepsTheFileItWasToReplace) {
    ExportRun run(kMinimalDrawing);
    writeFile(run.outputPath(), "previous scene");
    run.abortAtPoll = 1;
    run.run();
    EXPECT_EQ(readFile(run.outputPath()), "previous scene");
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{"scene.qmx"});
}

TEST(ExportSequence, AFullDiskShowsMessageTwoAndKeepsThePreviousFile) {
    for (long failingWrite : {1L, 2L, 5L}) {
        ExportRun run(kMinimalDrawing);
        writeFile(run.outputPath(), "previous scene");
        {
            ScopedFileSinkFault fault(failingWrite, false);
            run.run();
            EXPECT_GE(fault.writes(), failingWrite);
        }
        EXPECT_EQ(run.messages(), Strings{"11011/2"}) << "write " << failingWrite;
        EXPECT_EQ(readFile(run.outputPath()), "previous scene");
        EXPECT_EQ(listFolder(run.outputFolder()), Strings{"scene.qmx"}) << "the temporary file is removed";
        EXPECT_EQ(resetCalls(run.host()), 2);
    }
}

TEST(ExportSequence, AFailingFinalFlushIsAFailureToo) {
    ExportRun run(kMinimalDrawing);
    {
        ScopedFileSinkFault fault(0, true);
        run.run();
    }
    EXPECT_EQ(run.messages(), Strings{"11011/2"});
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{});
}

TEST(ExportSequence, AStreamThatCannotBeCreatedIsReportedNotCountedAsDone) {
    ExportRun run(kMinimalDrawing);
    run.setOutputPath(run.outputFolder() + "/missing/scene.qmx");
    run.run();
    EXPECT_EQ(run.messages(), Strings{"11011/2"});
    EXPECT_EQ(listFolder(run.outputFolder()), Strings{});
}

TEST(ExportSequence, EachMessageIsShownOnceThenTheStateIsReset) {
    ExportRun run(kMinimalDrawing);
    run.setOutputPath(run.outputFolder() + "/missing/scene.qmx");
    run.run();
    const auto& calls = run.host().commandLog();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().service, kResetCommandState);
    EXPECT_EQ(calls.back().argument, 0);
    EXPECT_EQ(run.messages().size(), 1u);
}

TEST(ExportSequence, LightIdsAreStoredOnTheDrawing) {
    ExportRun run(kMinimalDrawing);
    run.run();
    ASSERT_TRUE(run.host().recordsChanged());
    hostsim::Drawing after = run.host().drawing();
    const auto& light = after.layers[0].objects[1];
    ASSERT_EQ(light.records.size(), 1u);
    EXPECT_EQ(hostsim::charsFromTag(light.records[0].tag), "rDgN");
    ASSERT_EQ(light.records[0].bytes.size(), 132u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(light.records[0].bytes.data() + 64)), "Pelmora-Light");
    const auto* id = light.records[0].bytes.data() + 128;
    EXPECT_EQ(id[0] | id[1] << 8 | id[2] << 16 | id[3] << 24, 1998);
}

TEST(ExportSequence, EveryRunReadsTheTemplateFolderAgain) {
    auto meshMotionNames = [](const std::string& path) {
        Strings names;
        auto file = qmxread::readQmxFile(path);
        for (const auto& motion : file.roots.at(0).children.back().motions) names.push_back(motion.name);
        return names;
    };
    ExportRun first(kMinimalDrawing);
    first.run();
    ASSERT_TRUE(std::filesystem::exists(first.outputPath()));
    Strings before = meshMotionNames(first.outputPath());

    ExportRun second(kMinimalDrawing);
    writeFile(second.hostDir() + "Pelmora/Walls.qmt",
              "VELTRAMOX \"Walls\" Script File\nmotion create motionMaterial\nend\n");
    second.run();
    ASSERT_TRUE(std::filesystem::exists(second.outputPath()));
    Strings after = meshMotionNames(second.outputPath());
    EXPECT_EQ(std::count(before.begin(), before.end(), "motionMaterial"), 0);
    EXPECT_EQ(std::count(after.begin(), after.end(), "motionMaterial"), 1);
}

TEST(ExportSequence, AskOutputPathRaisesTheSilentExceptionOnCancel) {
    platform::setPortableHooks(nullptr);
    try {
        (void)askOutputPath();
        FAIL() << "no exception";
    } catch (const qmx_exception& e) {
        EXPECT_EQ(e.list, 0);
        EXPECT_EQ(e.index, 0);
    }
}

}  // namespace
}  // namespace pelmora
