// The write step replaces the chosen file only with a complete one: on any
// failure the previous file stays as it was and no temporary file is left.
#include <gtest/gtest.h>

#include "plugin/host/qmx_exception.h"
#include "plugin/payloads/scene_counters.h"
#include "plugin/platform/files.h"
#include "plugin/scene/write_scene.h"
#include "plugin/scene_file/file_sink.h"
#include "tests/plugin/scene/scene_run.h"

namespace pelmora::scene_test {
namespace {

constexpr const char* kPerspective = R"({"perspective": true, "distance": 5000})";
const std::string kPrevious = "the previous export";

// Runs writeScene and gives the message it raised, or (-1, -1) when it raised none.
std::pair<int, int> messageOf(SceneRun& run, const std::string& path) {
    try {
        writeScene(run.root(), path);
    } catch (const qmx_exception& e) { return {e.list, e.index}; }
    return {-1, -1};
}

TEST(WriteScene, TemporaryNameStaysWithinThePlatformPathLimit) {
    const std::size_t limit = platform::pathLengthLimit();
    EXPECT_EQ(temporaryPathFor("/out/scene.qmx"), "/out/scene.qmx.pelmora-tmp");
    // A chosen path just under the limit: a short name beside it instead.
    const std::string nearLimit = "/out/" + std::string(limit - 6, 'a');
    EXPECT_EQ(temporaryPathFor(nearLimit), "/out/~pelmora.tmp");
    // A folder that leaves no room for any other name: the file is written in place.
    const std::string deepFolder = std::string("/") + std::string(limit - 8, 'f') + "/x.qmx";
    EXPECT_EQ(temporaryPathFor(deepFolder), "");
    for (const std::string& path : {std::string("/out/scene.qmx"), nearLimit}) {
        EXPECT_LE(temporaryPathFor(path).size(), limit);
        EXPECT_NE(temporaryPathFor(path), path);
    }
}

TEST(WriteScene, ASuccessfulWriteReplacesThePreviousFileAndLeavesNoTemporary) {
    const std::string folder = freshFolder("write_success");
    const std::string path = folder + "scene.qmx";
    spit(path, kPrevious);
    SceneRun run(drawingJson(R"([{"type": "light"}])", kPerspective));
    run.addLight(0);
    EXPECT_EQ(messageOf(run, path), std::make_pair(-1, -1));
    EXPECT_FALSE(exists(temporaryPathFor(path)));
    const qmxread::QmxFile file = readBack(path);
    EXPECT_EQ(file.roots.at(0).children.size(), 4u);
    EXPECT_EQ(slurp(path).substr(0, 7), std::string("BINARY\0", 7));
}

TEST(WriteScene, TheTemporaryFileLiesBesideTheTarget) {
    const std::string path = "/some/folder/scene.qmx";
    const std::string temporary = temporaryPathFor(path);
    EXPECT_EQ(temporary.rfind("/some/folder/", 0), 0u);
    EXPECT_EQ(temporary.find('/', 13), std::string::npos);
    EXPECT_NE(temporary, path);
}

TEST(WriteScene, AFailedWriteKeepsThePreviousFileAndRaisesMessage2) {
    const std::string folder = freshFolder("write_fails");
    const std::string path = folder + "scene.qmx";
    spit(path, kPrevious);
    SceneRun run(drawingJson(R"([{"type": "light"}])", kPerspective));
    run.addLight(0);
    {
        ScopedFileSinkFault fault(5, false);  // the disk fills up in the middle of the file
        EXPECT_EQ(messageOf(run, path), std::make_pair(11011, 2));
        EXPECT_GE(fault.writes(), 5);
    }
    EXPECT_EQ(slurp(path), kPrevious);
    EXPECT_FALSE(exists(temporaryPathFor(path)));
}

TEST(WriteScene, AFailedFinalFlushKeepsThePreviousFile) {
    const std::string folder = freshFolder("flush_fails");
    const std::string path = folder + "scene.qmx";
    spit(path, kPrevious);
    SceneRun run(drawingJson("[]", kPerspective));
    {
        ScopedFileSinkFault fault(0, true);
        EXPECT_EQ(messageOf(run, path), std::make_pair(11011, 2));
    }
    EXPECT_EQ(slurp(path), kPrevious);
    EXPECT_FALSE(exists(temporaryPathFor(path)));
}

TEST(WriteScene, AFileThatCannotBeOpenedIsAFailureWithNothingLeftBehind) {
    const std::string folder = freshFolder("cannot_open");
    const std::string path = folder + "scene.qmx";
    SceneRun run(drawingJson("[]", kPerspective));
    setFileSinkFactoryForTesting([](const char*, const char*) { return std::unique_ptr<FileSink>(); });
    const auto message = messageOf(run, path);
    setFileSinkFactoryForTesting({});
    EXPECT_EQ(message, std::make_pair(11011, 2));
    EXPECT_FALSE(exists(path));
    EXPECT_FALSE(exists(temporaryPathFor(path)));

    // A folder that does not exist fails the same way.
    EXPECT_EQ(messageOf(run, folder + "missing/scene.qmx"), std::make_pair(11011, 2));
    EXPECT_FALSE(exists(folder + "missing"));
}

TEST(WriteScene, AFailureRaisedWhileTheTreeIsWalkedKeepsThePreviousFile) {
    const std::string folder = freshFolder("walk_fails");
    const std::string path = folder + "scene.qmx";
    spit(path, kPrevious);
    // The current item lies outside the chain: the camera computation raises 11011/6.
    SceneRun run(drawingJson("[]", kPerspective, R"(, "currentItem": 0)"));
    EXPECT_EQ(messageOf(run, path), std::make_pair(11011, 6));
    EXPECT_EQ(slurp(path), kPrevious);
    EXPECT_FALSE(exists(temporaryPathFor(path)));
}

TEST(WriteScene, AnEmptyPathWritesNothing) {
    SceneRun run(drawingJson("[]", kPerspective));
    EXPECT_EQ(messageOf(run, ""), std::make_pair(11011, 2));
    EXPECT_FALSE(exists(temporaryPathFor("")));
}

TEST(WriteScene, IdsAreAssignedAndTheMeshCounterSetBeforeWriting) {
    const std::string folder = freshFolder("before_writing");
    SceneRun run(drawingJson(R"([{"type": "light"}])", kPerspective));
    run.addLight(0);
    nextMeshNodeId = 4321;
    setFileSinkFactoryForTesting([](const char*, const char*) { return std::unique_ptr<FileSink>(); });
    const auto message = messageOf(run, folder + "scene.qmx");
    setFileSinkFactoryForTesting({});
    EXPECT_EQ(message, std::make_pair(11011, 2));
    EXPECT_EQ(nextMeshNodeId, 1003);
    EXPECT_TRUE(run.host().recordsChanged());
}

}  // namespace
}  // namespace pelmora::scene_test
