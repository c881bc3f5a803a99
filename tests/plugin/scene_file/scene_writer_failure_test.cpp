// Failing writes through the file seam. In BINARY every key and every value is
// one write, so a write is found by counting: the header takes 16, a node's
// "{" one, its 19 values one each, then byte-sum and payload.
#include <gtest/gtest.h>

#include "tests/plugin/scene_file/writer_fixture.h"

namespace pelmora {
namespace {

using namespace scene_test;

constexpr long kHeaderWrites = 16;
constexpr long kRootOpen = kHeaderWrites + 1;
constexpr long kRootDataSize = kRootOpen + 19;
// A motion item: "(", 15 values, byte-sum, payload, ")".
constexpr long kMotionDataSize = 16;  // counted from its "("
constexpr long kMotionByteSum = 17;

class WriterFailureTest : public WriterTest {
protected:
    // root (payload 1 2) with one motion item (payload 3 4 5) and two
    // children, the first with a payload (6).
    void buildTree() {
        root.payload = {1, 2};
        MotionPlan motion;
        motion.payload = {3, 4, 5};
        root.motions = {motion};
        first.payload = {6};
        root.children = {&first, &second};
    }

    ExpectedBinary upToRootValues() {
        ExpectedBinary expected;
        currentHeader(expected);
        expected.str("{");
        currentNodeValues(expected, nodeValues(1000, "root", 1, {1, 2}));
        return expected;
    }

    int writeWith(long failWrite, bool failClose) {
        ScopedFileSinkFault fault(failWrite, failClose);
        return writer.write(path.c_str(), &scene);
    }

    FakeSource root{ledger, 1000, 1, "root"};
    FakeSource first{ledger, 1001, 2, "first"};
    FakeSource second{ledger, 1002, 16, "second"};
    WatchedScene scene{&root, ledger};
    SceneWriter writer;
};

TEST_F(WriterFailureTest, TheUnbrokenTreeForReference) {
    buildTree();
    EXPECT_EQ(writeWith(0, false), 1);
    ExpectedBinary expected = upToRootValues();
    currentMotion(expected, motionValues("motionTranslate", {3, 4, 5}));
    expected.str("{");
    currentNodeValues(expected, nodeValues(1001, "first", 2, {6}));
    expected.str("}").str("{");
    currentNodeValues(expected, nodeValues(1002, "second", 16));
    expected.str("}").str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
}

TEST_F(WriterFailureTest, OpeningBraceOfTheRootFails) {
    buildTree();
    EXPECT_EQ(writeWith(kRootOpen, false), 0);
    ExpectedBinary expected;
    currentHeader(expected);
    EXPECT_EQ(fileBytes(path), expected.bytes());
    EXPECT_EQ(scene.finishResult, 0);
    expectAllReleased();
    EXPECT_EQ(ledger.handedOut.size(), 1u);
}

TEST_F(WriterFailureTest, DataSizeOfANodeFailsAndEndsIt) {
    buildTree();
    EXPECT_EQ(writeWith(kRootDataSize, false), 0);
    // Everything up to dataSize, then nothing: no sum, payload, items, children or brace.
    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    NodeValues values = nodeValues(1000, "root", 1);
    currentNodeValues(expected, values);
    std::vector<std::uint8_t> bytes = expected.bytes();
    bytes.resize(bytes.size() - 4);  // the refused dataSize
    EXPECT_EQ(fileBytes(path), bytes);
    EXPECT_EQ(scene.finishResult, 0);
    EXPECT_EQ(scene.releaseNodeCalls, 1);
    EXPECT_EQ(scene.releaseMotionCalls, 0);
    expectAllReleased();
}

TEST_F(WriterFailureTest, ByteSumOfANodeFailsAndEndsIt) {
    buildTree();
    EXPECT_EQ(writeWith(kRootDataSize + 1, false), 0);
    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "root", 1));
    std::vector<std::uint8_t> bytes = expected.bytes();
    bytes[bytes.size() - 4] = 2;  // dataSize 2, then nothing
    EXPECT_EQ(fileBytes(path), bytes);
    expectAllReleased();
}

TEST_F(WriterFailureTest, RefusedNodePayloadGoesOnButFailsTheWrite) {
    buildTree();
    // The payload's failure does not end the node; the file is still not whole.
    EXPECT_EQ(writeWith(kRootDataSize + 2, false), 0);
    std::vector<std::uint8_t> bytes = upToRootValues().bytes();
    bytes.resize(bytes.size() - 2);  // the refused payload 1 2
    ExpectedBinary rest;
    currentMotion(rest, motionValues("motionTranslate", {3, 4, 5}));
    rest.str("{");
    currentNodeValues(rest, nodeValues(1001, "first", 2, {6}));
    rest.str("}").str("{");
    currentNodeValues(rest, nodeValues(1002, "second", 16));
    rest.str("}").str("}");
    bytes.insert(bytes.end(), rest.bytes().begin(), rest.bytes().end());
    EXPECT_EQ(fileBytes(path), bytes);
    EXPECT_EQ(scene.finishResult, 0);
    expectAllReleased();
}

TEST_F(WriterFailureTest, DataSizeOfTheOnlyMotionItemFails) {
    buildTree();
    const long motionOpen = kRootDataSize + 3;
    EXPECT_EQ(writeWith(motionOpen + kMotionDataSize - 1, false), 0);
    // The item's values up to dataSize and its byte-sum and payload, no ")";
    // the items give 0, so the node ends there: no children, no "}".
    ExpectedBinary expected = upToRootValues();
    ExpectedBinary motion;
    currentMotion(motion, motionValues("motionTranslate", {3, 4, 5}));
    std::vector<std::uint8_t> item = motion.bytes();
    item.resize(item.size() - 2);                            // no ")"
    item.erase(item.end() - 3 - 4 - 4, item.end() - 3 - 4);  // the refused dataSize
    std::vector<std::uint8_t> bytes = expected.bytes();
    bytes.insert(bytes.end(), item.begin(), item.end());
    EXPECT_EQ(fileBytes(path), bytes);
    EXPECT_EQ(scene.finishResult, 0);
    EXPECT_EQ(scene.releaseMotionCalls, 1);
    EXPECT_EQ(scene.releaseNodeCalls, 1);
    expectAllReleased();
}

TEST_F(WriterFailureTest, DataSizeOfAnEarlierMotionItemIsForgivenByTheLastOne) {
    buildTree();
    MotionPlan later;
    later.name = "motionMaterial";
    root.motions.push_back(later);
    const long motionOpen = kRootDataSize + 3;
    // The first item fails on dataSize; the second closes, so the items give 1
    // and the tree goes on. The file is not whole: the write still fails.
    EXPECT_EQ(writeWith(motionOpen + kMotionDataSize - 1, false), 0);
    const std::vector<std::uint8_t> written = fileBytes(path);
    ExpectedBinary tail;
    currentMotion(tail, motionValues("motionMaterial"));
    tail.str("{");
    currentNodeValues(tail, nodeValues(1001, "first", 2, {6}));
    tail.str("}").str("{");
    currentNodeValues(tail, nodeValues(1002, "second", 16));
    tail.str("}").str("}");
    ASSERT_GE(written.size(), tail.bytes().size());
    EXPECT_TRUE(std::equal(tail.bytes().begin(), tail.bytes().end(), written.end() - tail.bytes().size()));
    EXPECT_EQ(scene.releaseMotionCalls, 2);
    expectAllReleased();
}

TEST_F(WriterFailureTest, ByteSumOfAMotionItemFailsAndTheItemGoesOn) {
    buildTree();
    const long motionOpen = kRootDataSize + 3;
    EXPECT_EQ(writeWith(motionOpen + kMotionByteSum - 1, false), 0);
    // Everything is there but the motion item's byte-sum.
    ExpectedBinary expected = upToRootValues();
    ExpectedBinary motion;
    currentMotion(motion, motionValues("motionTranslate", {3, 4, 5}));
    std::vector<std::uint8_t> item = motion.bytes();
    item.erase(item.end() - 2 - 3 - 4, item.end() - 2 - 3);  // the sum before payload and ")"
    std::vector<std::uint8_t> bytes = expected.bytes();
    bytes.insert(bytes.end(), item.begin(), item.end());
    ExpectedBinary rest;
    rest.str("{");
    currentNodeValues(rest, nodeValues(1001, "first", 2, {6}));
    rest.str("}").str("{");
    currentNodeValues(rest, nodeValues(1002, "second", 16));
    rest.str("}").str("}");
    bytes.insert(bytes.end(), rest.bytes().begin(), rest.bytes().end());
    EXPECT_EQ(fileBytes(path), bytes);
    EXPECT_EQ(scene.finishResult, 0);
    expectAllReleased();
}

TEST_F(WriterFailureTest, AFailingChildStopsItsSiblingsButNotTheParentsBrace) {
    buildTree();
    const long motionOpen = kRootDataSize + 3;
    const long childOpen = motionOpen + 19;
    EXPECT_EQ(writeWith(childOpen + 19, false), 0);  // the first child's dataSize
    const std::vector<std::uint8_t> written = fileBytes(path);
    // The second child is never written, the root's "}" is.
    ExpectedBinary expected = upToRootValues();
    currentMotion(expected, motionValues("motionTranslate", {3, 4, 5}));
    expected.str("{");
    currentNodeValues(expected, nodeValues(1001, "first", 2));
    std::vector<std::uint8_t> bytes = expected.bytes();
    bytes.resize(bytes.size() - 4);
    bytes.push_back('}');
    bytes.push_back(0);
    EXPECT_EQ(written, bytes);
    EXPECT_EQ(scene.releaseNodeCalls, 2);  // root and first; second never described
    expectAllReleased();
}

TEST_F(WriterFailureTest, ClosingBraceOfTheRootFails) {
    buildTree();
    ExpectedBinary whole = upToRootValues();
    currentMotion(whole, motionValues("motionTranslate", {3, 4, 5}));
    const long motionOpen = kRootDataSize + 3;
    const long childOpen = motionOpen + 19;
    const long secondOpen = childOpen + 23;
    const long rootClose = secondOpen + 21;
    EXPECT_EQ(writeWith(rootClose, false), 0);
    whole.str("{");
    currentNodeValues(whole, nodeValues(1001, "first", 2, {6}));
    whole.str("}").str("{");
    currentNodeValues(whole, nodeValues(1002, "second", 16));
    whole.str("}");
    EXPECT_EQ(fileBytes(path), whole.bytes());
    EXPECT_EQ(scene.finishResult, 0);
    expectAllReleased();
}

TEST_F(WriterFailureTest, ClosingBraceOfAChildFailsButTheParentCloses) {
    buildTree();
    const long motionOpen = kRootDataSize + 3;
    const long childOpen = motionOpen + 19;
    EXPECT_EQ(writeWith(childOpen + 22, false), 0);  // first child's "}"
    ExpectedBinary expected = upToRootValues();
    currentMotion(expected, motionValues("motionTranslate", {3, 4, 5}));
    expected.str("{");
    currentNodeValues(expected, nodeValues(1001, "first", 2, {6}));
    expected.str("}");  // the root's: the second child is not written
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
}

TEST_F(WriterFailureTest, FailedFinalFlushFailsTheWrite) {
    buildTree();
    EXPECT_EQ(writeWith(0, true), 0);
    EXPECT_EQ(scene.finishCalls, 1);
    EXPECT_EQ(scene.finishResult, 0);
    // Everything was handed over and stays on disk.
    ExpectedBinary expected = upToRootValues();
    currentMotion(expected, motionValues("motionTranslate", {3, 4, 5}));
    expected.str("{");
    currentNodeValues(expected, nodeValues(1001, "first", 2, {6}));
    expected.str("}").str("{");
    currentNodeValues(expected, nodeValues(1002, "second", 16));
    expected.str("}").str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    expectAllReleased();
}

TEST_F(WriterFailureTest, AFailedKeyIsPassedOverButTheWriteFails) {
    EXPECT_EQ(writeWith(kHeaderWrites, false), 0);  // "CheckSum"
    ExpectedBinary expected;
    currentHeader(expected, false);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "root", 1));
    expected.str("}");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    EXPECT_EQ(scene.releaseNodeCalls, 1);
}

TEST_F(WriterFailureTest, AFailedHeaderValueSkipsTheRest) {
    buildTree();
    EXPECT_EQ(writeWith(3, false), 0);  // the version text
    ExpectedBinary expected;
    expected.str("BINARY").str("version");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    EXPECT_EQ(scene.releaseNodeCalls, 0);
    EXPECT_TRUE(ledger.handedOut.empty());
    EXPECT_EQ(scene.finishResult, 0);
}

TEST_F(WriterFailureTest, ASizeWithoutBytesIsNotWrittenAsSuccess) {
    class HollowSource : public TreeSource {
    public:
        void describe(bool legacy, NodeRecord& node) override {
            node.fill(legacy, 1000, 8, "hollow");
            node.dataSize = 12;  // but no bytes
        }
    } hollow;
    WatchedScene hollowScene(&hollow, ledger);
    EXPECT_EQ(writer.write(path.c_str(), &hollowScene), 0);
    ExpectedBinary expected;
    currentHeader(expected);
    expected.str("{");
    currentNodeValues(expected, nodeValues(1000, "hollow", 8));
    std::vector<std::uint8_t> bytes = expected.bytes();
    bytes[bytes.size() - 4] = 12;
    ExpectedBinary rest;
    rest.u32(0).str("}");  // byte-sum of nothing, no payload, the brace
    bytes.insert(bytes.end(), rest.bytes().begin(), rest.bytes().end());
    EXPECT_EQ(fileBytes(path), bytes);
}

// ---- Failures before anything is written ----

TEST_F(WriterFailureTest, EmptyPathOrNoSceneDoesNothing) {
    EXPECT_EQ(writer.write("", &scene), 0);
    EXPECT_EQ(writer.write(nullptr, &scene), 0);
    EXPECT_EQ(writer.write(path.c_str(), nullptr), 0);
    EXPECT_EQ(scene.finishCalls, 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(WriterFailureTest, UnopenableFileFails) {
    const std::string missing = (folder / "missing" / "scene.qmx").string();
    EXPECT_EQ(writer.write(missing.c_str(), &scene), 0);
    EXPECT_EQ(scene.finishCalls, 1);
    EXPECT_EQ(scene.finishResult, 0);
    EXPECT_EQ(scene.releaseNodeCalls, 0);
}

class RefusingScene : public WatchedScene {
public:
    RefusingScene(TreeSource* root, PayloadLedger& ledger, int beginResult, int versionResult)
        : WatchedScene(root, ledger), begin_(beginResult), version_(versionResult) {}
    int begin() override { return begin_; }
    int version(bool legacy, char* out) override {
        WatchedScene::version(legacy, out);
        return version_;
    }

private:
    int begin_;
    int version_;
};

TEST_F(WriterFailureTest, ASceneThatWillNotBeginIsNotWritten) {
    RefusingScene refusing(&root, ledger, 4, 1);
    EXPECT_EQ(writer.write(path.c_str(), &refusing), 4);
    EXPECT_EQ(refusing.finishCalls, 1);
    EXPECT_EQ(refusing.finishResult, 4);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(WriterFailureTest, AVersionThatFailsEndsTheHeader) {
    RefusingScene refusing(&root, ledger, 1, 0);
    EXPECT_EQ(writer.write(path.c_str(), &refusing), 0);
    ExpectedBinary expected;
    expected.str("BINARY");
    EXPECT_EQ(fileBytes(path), expected.bytes());
    EXPECT_EQ(refusing.finishResult, 0);
}

}  // namespace
}  // namespace pelmora
